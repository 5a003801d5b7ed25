// The thumbnail handler and its cancel entry.

#include "GeneratorRequest.h"
#include "QuickLookGeneratorPlugIn.h"
#include "VTLayer+Drawing.h"

OSStatus GenerateThumbnailForURL(void*, QLThumbnailRequestRef thumbnail, CFURLRef url, CFStringRef,
                                 CFDictionaryRef, CGSize) {
    // The content type, the options and the maximum size are not used: the thumbnail's size never
    // depends on the maximum size.
    return runRequest([&] {
        const auto document = readDocument(url);
        if (auto bytes = copyEmbeddedThumbnail(document)) {
            QLThumbnailRequestSetImageWithData(thumbnail, bytes.get(),
                                               NSDictionary::dictionaryWithEntries({}).get());
            return kGeneratorSuccess;
        }
        std::string reason;
        auto prototype = loadPrototypeToDraw(document, &reason);
        if (!prototype) {
            QLThumbnailRequestSetRefusalReason(thumbnail,
                                               NSString::stringWithUTF8String(reason).get());
            return kGeneratorFailure;
        }
        auto screen = prototype->entryScreen();
        // A context of the entry screen's size; no clip, saved state or background.
        CGContextRef context =
            QLThumbnailRequestCreateContext(thumbnail, screen->size(), false, nullptr);
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
