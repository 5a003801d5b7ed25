#include "VTLayerTreeQueries.h"

#include <algorithm>

#include "NSArray+Utilities.h"
#include "VTDecodedLayers.h"
#include "VTLayer.h"
#include "VTPrototype.h"
#include "VTScreen.h"

namespace {

using LayerList = std::vector<std::shared_ptr<VTLayer>>;

// One list being walked: a copy, so that the visitor may change the original; the prototype whose
// screens it is, when the list was entered through a component instance.
struct WalkLevel {
    LayerList layers;
    size_t next = 0;
    const VTPrototype* enteredComponent = nullptr;
};

// The walk keeps its own stack of lists rather than recursing, so that neither a deep tree nor a
// long chain of components inside components can exhaust the thread's stack.
class LayerTreeWalk {
  public:
    explicit LayerTreeWalk(const VTLayerTreeVisitor& visitor) : visitor_(visitor) {}

    bool run(const LayerList& layers) {
        levels_.push_back({layers});
        while (!levels_.empty()) {
            WalkLevel& level = levels_.back();
            if (level.next == level.layers.size()) {
                leaveLevel();
                continue;
            }
            // Held here, so that a visitor removing the layer from its tree does not free it.
            const std::shared_ptr<VTLayer> layer = level.layers[level.next++];
            ++visited_;
            int64_t action = kVTWalkGoOn;
            visitor_(layer, action);
            if (action == kVTWalkStop) return false;
            if (action == kVTWalkSkipChildren) continue;
            if (action == kVTWalkEnterComponent && layer->componentScreen())
                enterComponentOf(*layer);
            else
                levels_.push_back({layer->sublayers()});
        }
        return true;
    }

  private:
    void leaveLevel() {
        if (levels_.back().enteredComponent) entered_.erase(levels_.back().enteredComponent);
        levels_.pop_back();
    }

    // The screens of the instance's component. A component whose screens hold an instance of one
    // of its own screens would be entered again and again: it is entered once per path down, and
    // an instance met inside its own component shows nothing more. The loader refuses a screen that
    // shows itself, but not one that shows a sibling screen of its component, and a document built
    // in code can hold either. For the same reason instances are not entered once the walk has met
    // as many layers as the loader lets one layer show: screens showing each other's instances
    // several times over would otherwise multiply the walk beyond any document's size. A tree
    // without such cycles is walked exactly as it stands.
    void enterComponentOf(const VTLayer& instance) {
        const auto prototype = instance.componentScreen()->prototype();
        if (!prototype || visited_ > VTDecodedLayers::kMaxExpandedLayers ||
            !entered_.insert(prototype.get()).second) {
            levels_.push_back({});
            return;
        }
        const auto screens = prototype->screens();
        levels_.push_back({LayerList(screens.begin(), screens.end()), 0, prototype.get()});
    }

    const VTLayerTreeVisitor& visitor_;
    std::vector<WalkLevel> levels_;
    std::unordered_set<const VTPrototype*> entered_;
    uint64_t visited_ = 0;
};

}  // namespace

bool enumerateLayerTrees(const LayerList& layers, const VTLayerTreeVisitor& visitor) {
    return LayerTreeWalk(visitor).run(layers);
}

void enumerateComponentsInTrees(const LayerList& layers, const VTLayerTreeVisitor& visitor) {
    enumerateLayerTrees(layers, [&](const std::shared_ptr<VTLayer>& layer, int64_t& action) {
        if (!layer->isComponentInstance()) return;
        visitor(layer, action);
        if (action == kVTWalkGoOn) action = kVTWalkEnterComponent;
    });
}

std::shared_ptr<VTLayer> layerAtLocation(const LayerList& layers, CGPoint point) {
    const auto found = std::find_if(layers.rbegin(), layers.rend(), [&](const auto& layer) {
        return CGRectContainsPoint(layer->extents(), point);
    });
    return found == layers.rend() ? nullptr : *found;
}

std::vector<std::shared_ptr<VTScreen>> screensOfLayers(const LayerList& layers) {
    std::vector<std::shared_ptr<VTScreen>> screens;
    std::unordered_set<const VTScreen*> met;
    for (const auto& layer : layers)
        if (auto screen = layer->screen(); screen && met.insert(screen.get()).second)
            screens.push_back(std::move(screen));
    return screens;
}

VTScreenSet screensAffectedByLayers(const LayerList& layers) {
    return _screensAffectedByLayers(layers, nullptr);
}

VTScreenSet _screensAffectedByLayers(const LayerList& layers, VTPrototypeSet* visited) {
    VTScreenSet affected;
    VTPrototypeSet ownVisited;
    if (!visited) visited = &ownVisited;
    // Depth first, in list order, with a stack of layers still to look at instead of recursion: a
    // layer's instances are looked at before the layers listed after it, as a recursive walk would.
    LayerList pending(layers.rbegin(), layers.rend());
    while (!pending.empty()) {
        const auto layer = std::move(pending.back());
        pending.pop_back();
        const auto screen = layer->screen();
        if (!screen) continue;
        affected.insert(screen);
        const auto prototype = screen->prototype();
        if (!prototype || !visited->insert(prototype).second) continue;
        const LayerList instances =
            filter(prototype->instances().allLayers(),
                   [&](const auto& instance) { return instance->componentScreen() == screen; });
        pending.insert(pending.end(), instances.rbegin(), instances.rend());
    }
    return affected;
}

CGRect extentsForLayers(const LayerList& layers) {
    if (layers.empty()) return CGRectZero;
    CGRect extents = CGRectNull;
    for (const auto& layer : layers) extents = CGRectUnion(extents, layer->extents());
    return extents;
}

bool isScrollableBehavior(int64_t behavior) {
    // On the unsigned value, so that negative numbers come out far above 2.
    return static_cast<uint64_t>(behavior) - 1 < 2;
}
