// The layer tree: inserting, removing and reordering sublayers, index paths and depth order.
// The list changes only through the two "sublayers" accessors (insertObject_inSublayersAtIndex,
// removeObjectFromSublayersAtIndex), which tell observers of each insertion and removal with its
// index, and through orderLayer_toIndex, which announces the whole list.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "NSLog.h"
#include "VTLayer.h"

namespace {

// The index of the first element equal to `layer` (layers are equal only to themselves), or
// NSNotFound.
int64_t indexOfLayer(const std::vector<std::shared_ptr<VTLayer>>& list, const VTLayer* layer) {
    const auto found = std::find_if(list.begin(), list.end(),
                                    [&](const auto& element) { return element.get() == layer; });
    return found == list.end() ? NSNotFound : found - list.begin();
}

// The truncation toward zero to a 32-bit integer that a root's index path starts with; values
// outside that range (and NaN) give what the platform's conversion gives there, 0 for NaN and the
// nearest bound otherwise.
int64_t truncateToInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace

const std::shared_ptr<VTLayer>& VTLayer::objectInSublayersAtIndex(int64_t index) const {
    return sublayers_.at(static_cast<size_t>(index));
}

void VTLayer::addSublayer(const std::shared_ptr<VTLayer>& layer) {
    insertLayer_atIndex(layer, countOfSublayers());
}

void VTLayer::insertLayer_atIndex(const std::shared_ptr<VTLayer>& layer, int64_t index) {
    if (layer && layer->superPicture().get() == this) {
        orderLayer_toIndex(layer, index);
        return;
    }
    insertObject_inSublayersAtIndex(layer, std::clamp<int64_t>(index, 0, countOfSublayers()));
}

void VTLayer::insertObject_inSublayersAtIndex(const std::shared_ptr<VTLayer>& layer,
                                              int64_t index) {
    if (!layer || !canHostSubLayers()) return;
    if (layer.get() == this) {
        NSLog("Trying to add picture to itself");
        return;
    }
    layer->removeFromSuperPicture();  // it leaves its old parent, possibly this one
    // Callers pass an index within the list as it is once the layer has left; a wrong one is held
    // to the list rather than written outside it.
    index = std::clamp<int64_t>(index, 0, countOfSublayers());
    layer->setSuperPicture(self());
    willChange_valueAtIndex_forKey(NSKeyValueChangeKind::Insertion, index, "sublayers");
    sublayers_.insert(sublayers_.begin() + index, layer);
    didChange_valueAtIndex_forKey(NSKeyValueChangeKind::Insertion, index, "sublayers");
}

void VTLayer::removeObjectFromSublayersAtIndex(int64_t index) {
    if (index < 0 || index >= countOfSublayers()) return;
    willChange_valueAtIndex_forKey(NSKeyValueChangeKind::Removal, index, "sublayers");
    // The layer stays alive until observers have been told.
    const auto removed = sublayers_[static_cast<size_t>(index)];
    sublayers_.erase(sublayers_.begin() + index);
    didChange_valueAtIndex_forKey(NSKeyValueChangeKind::Removal, index, "sublayers");
}

void VTLayer::removeSublayer(const std::shared_ptr<VTLayer>& layer) {
    if (!layer) return;
    removeObjectFromSublayersAtIndex(indexOfLayer(sublayers_, layer.get()));
    if (layer->superPicture().get() == this) layer->setSuperPicture(nullptr);
}

void VTLayer::removeFromSuperPicture() {
    if (const auto parent = superPicture()) parent->removeSublayer(self());
}

int64_t VTLayer::orderOfPicture(const VTLayer* layer) const {
    return indexOfLayer(sublayers_, layer);
}

int64_t VTLayer::indexInSuperlayer() const {
    const auto parent = superPicture();
    return parent ? parent->orderOfPicture(this) : 0;
}

bool VTLayer::orderLayer_toIndex(const std::shared_ptr<VTLayer>& layer, int64_t index) {
    const int64_t from = indexOfLayer(sublayers_, layer.get());
    // Compared as unsigned values: an empty list makes count − 1 the largest index of all, so a
    // layer that is not here is caught by `from` alone.
    const uint64_t to = std::min(static_cast<uint64_t>(countOfSublayers() - 1),
                                 static_cast<uint64_t>(std::max<int64_t>(index, 0)));
    if (from == NSNotFound || static_cast<uint64_t>(from) == to) return false;
    const auto moving = sublayers_[static_cast<size_t>(from)];
    willChangeValueForKey("sublayers");
    sublayers_.erase(sublayers_.begin() + from);
    sublayers_.insert(sublayers_.begin() + static_cast<int64_t>(to), moving);
    didChangeValueForKey("sublayers");
    return true;
}

bool VTLayer::shiftIndexOfPicture_by(const std::shared_ptr<VTLayer>& layer, int64_t delta) {
    const int64_t from = indexOfLayer(sublayers_, layer.get());
    // A layer that is not here has index NSNotFound; the sum wraps as the platform's does and the
    // move is refused either way.
    const int64_t to =
        static_cast<int64_t>(static_cast<uint64_t>(from) + static_cast<uint64_t>(delta));
    return orderLayer_toIndex(layer, to);
}

bool VTLayer::moveForward() {
    const auto parent = superPicture();
    return parent && parent->shiftIndexOfPicture_by(self(), +1);
}

bool VTLayer::moveBackward() {
    const auto parent = superPicture();
    return parent && parent->shiftIndexOfPicture_by(self(), -1);
}

void VTLayer::orderPictureForward(const std::shared_ptr<VTLayer>& layer) {
    shiftIndexOfPicture_by(layer, +1);
}

std::vector<int64_t> VTLayer::indexPath() const {
    // Upward, then reversed: the walk is as long as the tree is deep, without recursion.
    std::vector<int64_t> path;
    const VTLayer* layer = this;
    for (auto parent = superPicture(); parent; parent = parent->superPicture()) {
        path.push_back(parent->orderOfPicture(layer));
        layer = parent.get();
    }
    path.push_back(truncateToInt32(layer->position_.x) + 1);
    std::reverse(path.begin(), path.end());
    return path;
}

std::shared_ptr<VTLayer> VTLayer::layerAtIndexPath(std::span<const int64_t> path) {
    std::shared_ptr<VTLayer> layer = self();
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] < 0 || path[i] >= layer->countOfSublayers()) return nullptr;
        layer = layer->sublayers_[static_cast<size_t>(path[i])];
    }
    return layer;
}

int64_t VTLayer::depthCompare(const VTLayer& other) const {
    const auto mine = indexPath();
    const auto theirs = other.indexPath();
    const size_t common = std::min(mine.size(), theirs.size());
    for (size_t i = 0; i < common; ++i)
        if (mine[i] != theirs[i]) return mine[i] < theirs[i] ? -1 : +1;
    if (mine.size() == theirs.size()) return 0;
    return mine.size() > theirs.size() ? -1 : +1;
}
