// libFuzzer target for whole documents decoded through the model: load the bytes as a document and,
// when they load, compare it with itself, copy and compare every screen, describe and place every
// layer, walk the trees into every component, apply the links, and name and map every transition.
// The reading error is the documented failure; a crash, a hang, a leak or unbounded recursion is a
// bug.
//
// Built with -fsanitize=fuzzer when VANTLER_FUZZ is on; otherwise built with fuzz_replay.cpp as a
// plain program that runs this function over files (the seed corpus in CTest).

#include <cstddef>
#include <cstdint>

#include "DispatchQueue.h"
#include "NSData.h"
#include "VTEvent.h"
#include "VTLayerTreeQueries.h"
#include "VTPrototype.h"

namespace {

void exerciseDocument(const uint8_t* bytes, size_t size) {
    const auto prototype =
        VTPrototype::prototypeFromData_error(NSData::dataWithBytes_length(bytes, size), nullptr);
    if (!prototype) return;
    prototype->isEqualToPrototype(*prototype);
    const auto screens = prototype->screens();
    enumerateLayerTrees({screens.begin(), screens.end()},
                        [](const auto&, int64_t& action) { action = kVTWalkEnterComponent; });
    for (const auto& event : prototype->transitions()) {
        event->description();
        event->mappingOutRemoved_outAdded(nullptr, nullptr);
    }
    for (const auto& screen : screens) {
        screen->applyLinks();
        screen->copy()->isApproximatlyEqualToLayerHierarchy(*screen);
        std::vector<std::shared_ptr<VTLayer>> pending{screen};
        while (!pending.empty()) {
            const auto layer = pending.back();
            pending.pop_back();
            layer->description();
            layer->parentRepresentingAScreen();
            if (layer->countOfSublayers() > 0)
                layer->depthCompare(
                    *layer->objectInSublayersAtIndex(layer->countOfSublayers() - 1));
            for (const auto& sublayer : layer->sublayers()) pending.push_back(sublayer);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    exerciseDocument(bytes, size);
    // As a host's main loop would between documents: decoded images answer their mipmap
    // generation on the main queue, and until those answers run they hold the images.
    dispatchMainQueueDrain();
    return 0;
}
