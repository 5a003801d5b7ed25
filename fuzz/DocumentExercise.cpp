#include "DocumentExercise.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "NSError.h"
#include "VTAnimationCurve.h"
#include "VTAnimationInfo.h"
#include "VTEvent.h"
#include "VTKeyframe.h"
#include "VTLayerTreeQueries.h"
#include "VTLink.h"
#include "VTProperty.h"
#include "VTPrototype+Writing.h"
#include "VTScreen.h"

namespace {

// How many layers the edits visit in all, screen by screen, each screen's in drawing order from the
// screen down; and how many keyframes of each link are looked up. Each visit costs a few hundred
// operations, and some cost as much as the document is large, so the numbers stay small whatever
// the document holds.
constexpr size_t kEditedLayers = 256;
constexpr size_t kLookedUpKeyframes = 16;

// The catalogue's numbers that read and write as numbers (media, text and the component screen
// are objects, and reading them only logs).
bool isNumericProperty(VTValueType property) {
    return (kVTPropertyValidityMask >> property & 1) && property != kVTPropertyNone &&
           property != kVTPropertyMedia && property != kVTPropertyText &&
           property != kVTPropertyComponentArtboard;
}

// The layers of `screen`, itself first, each before its sublayers, at most `limit` of them.
std::vector<std::shared_ptr<VTLayer>> firstLayers(const std::shared_ptr<VTLayer>& screen,
                                                  size_t limit) {
    std::vector<std::shared_ptr<VTLayer>> layers;
    enumerateLayerTrees({screen}, [&](const std::shared_ptr<VTLayer>& layer, int64_t& action) {
        layers.push_back(layer);
        if (layers.size() >= limit) action = kVTWalkStop;
    });
    return layers;
}

void editValues(VTLayer& layer) {
    for (VTValueType property = 1; property <= kVTPropertyLast; ++property) {
        if (!isNumericProperty(property)) continue;
        const double value = layer.valueForProperty(property);
        layer.setValue_forType(value, property);
        layer.setValue_forType(value * 2 + 1, property);
        layer.setValue_forType(value, property);

        const auto timing = layer.animationInfoForProperty(property);
        timing->visibleDuration();
        timing->description();
        const auto copied = timing->copy();
        copied->isEqual(*timing);
        copied->hash();
        if (const auto& curve = copied->curve()) {
            curve->description();
            curve->setControlPoint_atIndex(curve->controlPointAtIndex(1), 1);
            curve->copy()->isEqual(*curve);
        }
        layer.setAnimationInfo_forProperty(copied, property);
    }
}

void moveThroughSpaces(const std::shared_ptr<VTLayer>& layer,
                       const std::shared_ptr<VTLayer>& screen) {
    const CGRect bounds = layer->bounds();
    const CGRect inScreen = layer->convertRect_toPicture(bounds, screen.get());
    layer->convertRect_fromPicture(inScreen, screen.get());
    layer->containsPoint_inPicture(CGPointMake(CGRectGetMidX(inScreen), CGRectGetMidY(inScreen)),
                                   screen.get());
    layer->convertNormalizedPositionToParent(CGPointMake(0.5, 0.5));
    layer->extentsInSuperLayer();
    layer->fromWorldTransform();
    layer->positionInScreen();
    layer->setAngleInWorld(layer->angleInWorld());
    layer->setScaleInWorld(layer->scaleInWorld());

    screen->layerAtIndexPath(layer->indexPath());
    if (layer->moveForward()) layer->moveBackward();
}

void editLinks(const VTScreen& screen) {
    for (const auto& link : screen.links()) {
        link->description();
        link->copy()->isApproximatlyEqualToLink(link.get());
        const auto keyframes = link->keyframes();
        for (size_t i = 0; i < keyframes.size() && i < kLookedUpKeyframes; ++i) {
            const auto& keyframe = keyframes[i];
            keyframe->description();
            link->outputForInput_defaultValue(keyframe->input(), keyframe->output());
            link->canUpdateKeyframe(keyframe.get());
            link->keyframeNearest(keyframe->input());
        }
        link->updateIfPossible();
        link->sort();
        link->apply();
    }
}

}  // namespace

void readWholeDocument(const VTPrototype& prototype) {
    prototype.isEqualToPrototype(prototype);
    const auto screens = prototype.screens();
    enumerateLayerTrees({screens.begin(), screens.end()},
                        [](const auto&, int64_t& action) { action = kVTWalkEnterComponent; });
    for (const auto& event : prototype.transitions()) {
        event->description();
        event->mappingOutRemoved_outAdded(nullptr, nullptr);
    }
    for (const auto& screen : screens) {
        screen->applyLinks();
        screen->copy()->isApproximatlyEqualToLayerHierarchy(*screen);
    }
    enumerateLayerTrees({screens.begin(), screens.end()}, [](const std::shared_ptr<VTLayer>& layer,
                                                             int64_t&) {
        layer->description();
        layer->parentRepresentingAScreen();
        if (layer->countOfSublayers() > 0)
            layer->depthCompare(*layer->objectInSublayersAtIndex(layer->countOfSublayers() - 1));
    });
}

void editDocument(const std::shared_ptr<VTPrototype>& prototype) {
    std::vector<std::shared_ptr<VTScreen>> screens;
    size_t edited = 0;
    for (const auto& screen : prototype->screens()) {
        if (edited >= kEditedLayers) break;
        screens.push_back(screen);
        const auto layers = firstLayers(screen, kEditedLayers - edited);
        edited += layers.size();
        for (const auto& layer : layers) {
            editValues(*layer);
            moveThroughSpaces(layer, screen);
        }
        const auto sublayers = screen->sublayers();
        const CGRect extents = extentsForLayers(sublayers);
        layerAtLocation(sublayers, CGPointMake(CGRectGetMidX(extents), CGRectGetMidY(extents)));
        screensAffectedByLayers(layers);
        screensOfLayers(layers);
        editLinks(*screen);
        prototype->transitionsEnteringScreen(screen.get());
    }
    for (size_t i = 1; i < screens.size(); ++i) {
        std::vector<std::shared_ptr<VTLayer>> removed, added;
        VTEvent::mappingFrom_to_outRemoved_outAdded(screens[i - 1], screens[i], &removed, &added);
    }
    for (const auto& event : prototype->transitions()) {
        event->copy()->isApproximatlyEqualToEvent(*event);
        event->name();
        event->sourceArtboard();
    }
    for (const auto& component : prototype->masterComponents())
        for (const auto& screen : component->screens()) screen->createComponentInstance();

    if (screens.empty()) return;
    // A copy of the first screen, added and taken out again: the document then saves as it loaded.
    if (auto copy = std::dynamic_pointer_cast<VTScreen>(screens.front()->copy())) {
        prototype->addScreen(copy);
        prototype->removeScreen(copy);
    }
}

void requireSavesAndLoadsAgain(const std::shared_ptr<const VTPrototype>& prototype) {
    std::shared_ptr<NSError> error;
    const auto saved = dataFromPrototype_error(prototype, &error);
    if (saved && VTPrototype::prototypeFromData_error(saved, &error)) return;
    std::fprintf(stderr, "a document that opened %s: %s\n",
                 saved ? "does not load once saved" : "cannot be saved",
                 error ? error->localizedFailureReason().value_or("").c_str() : "no reason");
    std::abort();
}
