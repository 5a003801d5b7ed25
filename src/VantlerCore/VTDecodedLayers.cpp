#include "VTDecodedLayers.h"

#include <algorithm>
#include <unordered_map>

#include "KeyedArchive.h"
#include "PropertyListDictionary.h"
#include "VTLayer.h"
#include "VTScreen.h"

namespace {

thread_local VTDecodedLayers* current = nullptr;

// Whether objects of a class decode as layers: its name or one of the fallback names the decoder
// would try instead is a layer class. (Counting a class that would resolve elsewhere only makes
// the count err on the side of refusing.)
bool isLayerClass(const KeyedArchiveClass& cls) {
    const auto isLayerName = [](const std::string& name) {
        return name == VTLayer::objcClass().name || name == VTScreen::objcClass().name;
    };
    return isLayerName(cls.name) || std::ranges::any_of(cls.hints, isLayerName);
}

}  // namespace

VTDecodedLayers::VTDecodedLayers() : previous_(current) {
    current = this;
}

VTDecodedLayers::~VTDecodedLayers() {
    current = previous_;
}

std::optional<std::string> VTDecodedLayers::problemBeforeDecoding(const NSData& data) {
    KeyedArchive archive(data);
    // An archive of fewer objects cannot hold too many layers; only big ones are looked through.
    if (archive.objectCount() <= kMaxLayers) return std::nullopt;
    const auto& list = archive.plist();
    plist::PropertyListKeyNumbers keyNumbers(list, [&](uint64_t bytes) { archive.charge(bytes); });
    std::unordered_map<uint64_t, bool> layerClassUIDs;
    uint64_t layers = 0;
    for (uint64_t uid = 1; uid < archive.objectCount(); ++uid) {
        const auto entry = archive.entry(uid);
        if (entry.kind != plist::Kind::Dictionary) continue;
        const auto classValue =
            plist::PropertyListDictionary(list, entry, keyNumbers).lookup("$class");
        if (!classValue) continue;  // not an object; decoding would refuse it only if asked for
        const auto classReference = list.object(*classValue);
        if (classReference.kind != plist::Kind::UID) continue;
        const uint64_t classUID = list.uidValue(classReference);
        auto known = layerClassUIDs.find(classUID);
        if (known == layerClassUIDs.end())
            known =
                layerClassUIDs
                    .emplace(classUID, isLayerClass(archive.classNamedBy(*classValue, entry, uid)))
                    .first;
        if (known->second && ++layers > kMaxLayers)
            return "Document holds more than " + std::to_string(kMaxLayers) + " layers";
    }
    return std::nullopt;
}

void VTDecodedLayers::noteDecodedLayer(std::shared_ptr<VTLayer> layer) {
    if (current) current->layers_.push_back(std::move(layer));
}

std::optional<std::string> VTDecodedLayers::problem() const {
    // One depth-first walk over what each layer owns (its sublayers, its component screen),
    // without recursion: a layer met again while it is still on the path closes a cycle; depth
    // and the count of layers below are summed up as the walk comes back.
    struct Visit {
        bool onPath = false;
        uint64_t depth = 1;
        uint64_t expanded = 1;
    };
    std::unordered_map<const VTLayer*, Visit> visits;
    visits.reserve(layers_.size());
    struct Frame {
        const VTLayer* layer;
        size_t next;
    };
    std::vector<Frame> path;
    const auto owned = [](const VTLayer& layer, size_t index) -> const VTLayer* {
        if (index < layer.sublayers_.size()) return layer.sublayers_[index].get();
        if (index == layer.sublayers_.size()) return layer.componentScreen_.get();
        return nullptr;
    };
    std::optional<std::string> found;
    const auto addChild = [&](Visit& parent, const Visit& child) {
        parent.depth = std::max(parent.depth, child.depth + 1);
        parent.expanded = std::min(parent.expanded + child.expanded, kMaxExpandedLayers + 1);
        if (parent.depth > kMaxLayerDepth)
            found = "Layers are nested more than " + std::to_string(kMaxLayerDepth) + " deep";
        else if (parent.expanded > kMaxExpandedLayers)
            found = "Components show more than " + std::to_string(kMaxExpandedLayers) + " layers";
    };
    for (const auto& start : layers_) {
        if (visits.contains(start.get())) continue;
        visits[start.get()].onPath = true;
        path.push_back({start.get(), 0});
        while (!path.empty() && !found) {
            Frame& frame = path.back();
            const size_t index = frame.next++;
            if (index > frame.layer->sublayers_.size()) {
                Visit& done = visits[frame.layer];
                done.onPath = false;
                path.pop_back();
                if (!path.empty()) addChild(visits[path.back().layer], done);
                continue;
            }
            const VTLayer* child = owned(*frame.layer, index);
            if (!child) continue;
            const auto [entry, isNew] = visits.try_emplace(child);
            if (isNew) {
                entry->second.onPath = true;
                path.push_back({child, 0});
            } else if (entry->second.onPath) {
                found = "A component screen shows itself";
            } else {
                addChild(visits[frame.layer], entry->second);
            }
        }
        if (found) return found;
    }
    return std::nullopt;
}

void VTDecodedLayers::takeApart() {
    // Every layer is still held here, so clearing a list or a link frees nothing yet; each layer
    // is then freed on its own, without children to take along.
    for (const auto& layer : layers_) {
        layer->unlinkComponentScreen();
        layer->sublayers_.clear();
        layer->superPicture_.reset();
    }
}
