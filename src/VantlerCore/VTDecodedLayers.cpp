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
    // One depth-first walk over what each layer holds (its sublayers, its component screen and,
    // for a screen, the layers its links hold strongly), without recursion: a layer met again
    // while it is still on the path closes a cycle. Depth and the count of layers below are summed
    // up as the walk comes back. Depth follows links too, since letting a layer go lets go what
    // its links alone hold, one level deeper each; the count does not, since drawing never
    // follows a link.
    struct Visit {
        bool onPath = false;
        uint64_t depth = 1;
        uint64_t expanded = 1;
    };
    std::unordered_map<const VTLayer*, Visit> visits;
    visits.reserve(layers_.size());
    struct Frame {
        const VTLayer* layer;
        const std::vector<std::shared_ptr<VTLink>>* links;  // a screen's, else none
        bool owned;  // reached as a sublayer or component screen, not through a link
        size_t next = 0;
    };
    std::vector<Frame> path;
    const auto edges = [](const Frame& frame) {
        return frame.layer->sublayers_.size() + 1 + (frame.links ? 2 * frame.links->size() : 0);
    };
    const auto held = [](const Frame& frame, size_t index) -> const VTLayer* {
        const auto& sublayers = frame.layer->sublayers_;
        if (index < sublayers.size()) return sublayers[index].get();
        if (index == sublayers.size()) return frame.layer->componentScreen_.get();
        const size_t end = index - sublayers.size() - 1;
        const VTLink& link = *(*frame.links)[end / 2];
        return (end % 2 == 0 ? link.inputLayer_ : link.outputLayer_).strong.get();
    };
    const auto enter = [&](const VTLayer* layer, bool owned) {
        visits[layer].onPath = true;
        const auto* screen = dynamic_cast<const VTScreen*>(layer);
        path.push_back({layer, screen ? &screen->links_ : nullptr, owned});
    };
    std::optional<std::string> found;
    const auto addChild = [&](Visit& parent, const Visit& child, bool owned) {
        parent.depth = std::max(parent.depth, child.depth + 1);
        if (owned)
            parent.expanded = std::min(parent.expanded + child.expanded, kMaxExpandedLayers + 1);
        if (parent.depth > kMaxLayerDepth)
            found = "Layers are nested more than " + std::to_string(kMaxLayerDepth) + " deep";
        else if (parent.expanded > kMaxExpandedLayers)
            found = "Components show more than " + std::to_string(kMaxExpandedLayers) + " layers";
    };
    // Whether the cycle that `child` closes from the top of the path runs through a link.
    const auto cycleRunsThroughLink = [&](const VTLayer* child, bool owned) {
        for (auto frame = path.rbegin(); frame != path.rend() && frame->layer != child; ++frame)
            if (!frame->owned) return true;
        return !owned;
    };
    for (const auto& start : layers_) {
        if (visits.contains(start.get())) continue;
        enter(start.get(), true);
        while (!path.empty() && !found) {
            Frame& frame = path.back();
            const size_t index = frame.next++;
            if (index >= edges(frame)) {
                Visit& done = visits[frame.layer];
                done.onPath = false;
                const bool owned = frame.owned;
                path.pop_back();
                if (!path.empty()) addChild(visits[path.back().layer], done, owned);
                continue;
            }
            const bool owned = index <= frame.layer->sublayers_.size();
            const VTLayer* child = held(frame, index);
            if (!child) continue;
            const auto known = visits.find(child);
            if (known == visits.end()) {
                enter(child, owned);
            } else if (known->second.onPath) {
                found = cycleRunsThroughLink(child, owned)
                            ? "A link holds a layer that holds the link"
                            : "A component screen shows itself";
            } else {
                addChild(visits[frame.layer], known->second, owned);
            }
        }
        if (found) return found;
    }
    return std::nullopt;
}

void VTDecodedLayers::takeApart() {
    // Every layer is still held here, so clearing a list or a link frees no layer yet; each layer
    // is then freed on its own, without children or links to take along.
    for (const auto& layer : layers_) {
        if (auto* screen = dynamic_cast<VTScreen*>(layer.get())) screen->links_.clear();
        layer->unlinkComponentScreen();
        layer->sublayers_.clear();
        layer->superPicture_.reset();
    }
}
