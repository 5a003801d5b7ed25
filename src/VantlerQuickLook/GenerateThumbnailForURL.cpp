// Part 1.1: the thumbnail handler and its cancel entry.

#include "GeneratorRequest.h"
#include "QuickLookGeneratorPlugIn.h"
#include "VTLayer+Drawing.h"

OSStatus GenerateThumbnailForURL(void*, QLThumbnailRequestRef thumbnail, CFURLRef url, CFStringRef,
                                 CFDictionaryRef, CGSize) {
    // The content type, the options and the maximum size are not used: the thumbnail's size never
    // depends on the maximum size.
    return runRequest([&] {
        if (auto bytes = copyEmbeddedThumbnail(url)) {
            QLThumbnailRequestSetImageWithData(thumbnail, bytes.get(), NSDictionary::dictionaryWithEntries({}).get());
            return kGeneratorSuccess;
        }
        auto prototype = loadPrototypeToDraw(url);
        if (!prototype) return kGeneratorFailure;
        auto screen = prototype->entryScreen();
        // Steps 8 to 11: a context of the entry screen's size; no clip, saved state or background.
        CGContextRef context = QLThumbnailRequestCreateContext(thumbnail, screen->size(), false, nullptr);
        if (context) {
            drawInContext(*screen, context);
            QLThumbnailRequestFlushContext(thumbnail, context);
        }
        return kGeneratorSuccess;
    });
}

void CancelThumbnailGeneration(void*, QLThumbnailRequestRef) {
    // No effect: a request, once started, runs to its end.
}
