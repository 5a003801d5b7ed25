#pragma once
// Questions about lists of layers and the trees below them: the one depth-first walk that visual
// bounds and the pairing of layers between screens are built on, hit testing, the screens a set of
// layers lives on or affects through components, combined extents, and whether a behaviour
// scrolls. Nothing is kept between calls.

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

#include "CGGeometry.h"

#pragma GCC visibility push(default)  // exported from libVantler

class VTLayer;
class VTPrototype;
class VTScreen;

// How a visitor steers the walk after it has seen a layer. The walk sets the action to
// kVTWalkGoOn before each visit; any value not listed here counts as kVTWalkGoOn.
inline constexpr int64_t kVTWalkGoOn = 0;  // walk the layer's sublayers
// Walk the screens of the layer's component (the screens of its component screen's prototype)
// instead of its sublayers; a layer that is no instance walks its sublayers.
inline constexpr int64_t kVTWalkEnterComponent = 1;
inline constexpr int64_t kVTWalkSkipChildren = 2;  // go on with the next sibling
inline constexpr int64_t kVTWalkStop = 3;          // end the whole walk at once

using VTLayerTreeVisitor =
    std::function<void(const std::shared_ptr<VTLayer>& layer, int64_t& action)>;

// Sets of screens and of prototypes, by identity; they keep their members alive and have no order.
using VTScreenSet = std::unordered_set<std::shared_ptr<VTScreen>>;
using VTPrototypeSet = std::unordered_set<std::shared_ptr<VTPrototype>>;

// Visits `layers` and the trees below them depth first, each layer before its children, children
// in list order. Every list is copied before it is walked, and a layer's children are taken after
// its visit, so the visitor may change the trees: a layer added to a list being walked is not
// visited, a layer removed from it still is. False when the visitor stopped the walk, else true.
bool enumerateLayerTrees(const std::vector<std::shared_ptr<VTLayer>>& layers,
                         const VTLayerTreeVisitor& visitor);
// The same walk showing the visitor only component instances; unless it answers otherwise, the
// walk then goes on inside the instance's component.
void enumerateComponentsInTrees(const std::vector<std::shared_ptr<VTLayer>>& layers,
                                const VTLayerTreeVisitor& visitor);
// The front-most of the listed layers (the last in the list) whose extents hold `point`, given in
// world coordinates; sublayers are not looked at. None when no layer does.
std::shared_ptr<VTLayer> layerAtLocation(const std::vector<std::shared_ptr<VTLayer>>& layers,
                                         CGPoint point);
// The screens the layers are on, in the order first met, each once; a layer outside any screen
// gives none.
std::vector<std::shared_ptr<VTScreen>> screensOfLayers(
    const std::vector<std::shared_ptr<VTLayer>>& layers);
// The screens the layers are on, and every screen that shows one of those screens through a
// component instance, up the chain of components.
VTScreenSet screensAffectedByLayers(const std::vector<std::shared_ptr<VTLayer>>& layers);
// The same, with the prototypes already expanded in `visited` (none: a fresh set). Each prototype
// is expanded once, through the screen it is first reached by, which also ends any cycle of
// components.
VTScreenSet _screensAffectedByLayers(const std::vector<std::shared_ptr<VTLayer>>& layers,
                                     VTPrototypeSet* visited);
// The union of the layers' extents in world coordinates; CGRectZero for no layers.
CGRect extentsForLayers(const std::vector<std::shared_ptr<VTLayer>>& layers);
// Behaviours 1 and 2 scroll; none, drag and every other number do not.
bool isScrollableBehavior(int64_t behavior);

#pragma GCC visibility pop
