// Part 1.1: the preview handler (every screen side by side) and its cancel entry.

#include "GeneratorRequest.h"
#include "QuickLookGeneratorPlugIn.h"
#include "VTLayer+Drawing.h"

namespace {

// Part 1.1 "Data model".
constexpr double kScreenGap = 30.0;
constexpr double kStartingSheetWidth = -30.0;

}  // namespace

OSStatus GeneratePreviewForURL(void*, QLPreviewRequestRef preview, CFURLRef url, CFStringRef,
                               CFDictionaryRef) {
    return runRequest([&] {
        if (auto bytes = copyEmbeddedThumbnail(url)) {
            QLPreviewRequestSetDataRepresentation(preview, bytes.get(), kUTTypeImage,
                                                  NSDictionary::dictionaryWithEntries({}).get());
            return kGeneratorSuccess;
        }
        auto prototype = loadPrototypeToDraw(url);
        if (!prototype) return kGeneratorFailure;

        // Step 8: the sum of the widths plus 30 × (n − 1), and the tallest height.
        CGSize sheet = CGSizeMake(kStartingSheetWidth, 0.0);
        for (const auto& screen : prototype->screens()) {
            sheet.width = sheet.width + (screen->width() + kScreenGap);
            sheet.height = std::max(sheet.height, screen->height());
        }
        CGContextRef context = QLPreviewRequestCreateContext(preview, sheet, false, nullptr);
        if (!context) return kGeneratorSuccess;  // step 9

        CGContextSaveGState(context);  // step 10
        for (const auto& screen : prototype->screens()) {  // step 11, read again from the prototype
            CGContextSaveGState(context);
            CGContextClipToRect(context, CGRectMake(0, 0, screen->width(), screen->height()));
            drawInContext(*screen, context);
            CGContextRestoreGState(context);
            // Outside the per-screen save, so it accumulates: screen i stands at the sum of the
            // widths before it plus the gaps, on the sheet's bottom edge.
            CGContextTranslateCTM(context, screen->width() + kScreenGap, 0);
        }
        QLPreviewRequestFlushContext(preview, context);  // step 12
        CGContextRestoreGState(context);
        return kGeneratorSuccess;
    });
}

void CancelPreviewGeneration(void*, QLPreviewRequestRef) {
    // No effect: a request, once started, runs to its end.
}
