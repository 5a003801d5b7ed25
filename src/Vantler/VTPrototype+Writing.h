#pragma once
// Writing documents: a prototype as the bytes of a document that carries a picture of its entry
// screen (which the preview host hands to file managers without decoding the model), and the
// message names its transitions use.
//
// Both are class-level operations of VTPrototype. The writer draws the entry screen, and drawing
// builds on the model, so they live with drawing, as free functions.

#include <concepts>
#include <memory>

#include "NSData.h"
#include "NSError.h"
#include "NSString.h"
#include "VTPrototype.h"

#pragma GCC visibility push(default)  // exported from libVantler

// `dataFromPrototype:error:`: the document bytes of the prototype, a keyed archive holding the
// prototype as its root, format version 15 and, under kVantlerThumbnailKey, the PNG of the entry
// screen drawn with its sublayers at one pixel per point (zero bytes without an entry screen, or
// with one of no area). A screen that no bitmap holds at one pixel per point (CGContext.h) is
// fitted into kVantlerLargeScreenThumbnailSide pixels a side instead. None for no prototype,
// leaving `error` alone; none when the archive cannot be written (objects nested too deep), with
// `error`, when not null, set to a document error of code VTDocumentWriteErrorCode whose failure
// reason says why.
std::shared_ptr<NSMutableData> dataFromPrototype_error(
    const std::shared_ptr<const VTPrototype>& prototype, std::shared_ptr<NSError>* error);

// The longer side of the picture carried by a document whose entry screen is too large for a
// bitmap: the largest thumbnail file managers ask for (freedesktop.org's xx-large), quick to draw
// and encode however large the screen.
inline constexpr double kVantlerLargeScreenThumbnailSide = 1024;

// Anything that takes objects with addObject: (NSMutableArray, NSMutableSet, ...).
template <typename Collection>
concept VTObjectCollection = requires(Collection& collection, std::shared_ptr<NSObject> object) {
    collection.addObject(object);
};

// Adds, for each transition of the prototype in order, its sent message and then its trigger
// message, each when it has one, as strings. Nothing for no prototype.
template <VTObjectCollection Collection>
void addMessagesFromPrototype(Collection& collection,
                              const std::shared_ptr<const VTPrototype>& prototype) {
    if (!prototype) return;
    for (const auto& transition : prototype->transitions()) {
        if (!transition) continue;
        for (const auto& message : {transition->sentMessage(), transition->triggerMessage()})
            if (message) collection.addObject(NSString::stringWithUTF8String(*message));
    }
}

#pragma GCC visibility pop
