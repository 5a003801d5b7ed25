// The preview handler (every screen side by side) and its cancel entry.

#include "GeneratorRequest.h"
#include "QuickLookGeneratorPlugIn.h"
#include "VTLayer+Drawing.h"

namespace {

// Screens stand side by side, 30 points apart; the first gap is not there, so the sheet starts at
// minus one gap.
constexpr double kScreenGap = 30.0;
constexpr double kStartingSheetWidth = -30.0;

}  // namespace

OSStatus GeneratePreviewForURL(void*, QLPreviewRequestRef preview, CFURLRef url, CFStringRef,
                               CFDictionaryRef) {
    return runRequest([&] {
        const auto document = readDocument(url);
        if (auto bytes = copyEmbeddedThumbnail(document)) {
            QLPreviewRequestSetDataRepresentation(preview, bytes.get(), kUTTypeImage,
                                                  NSDictionary::dictionaryWithEntries({}).get());
            return kGeneratorSuccess;
        }
        std::string reason;
        auto prototype = loadPrototypeToDraw(document, &reason);
        if (!prototype) {
            QLPreviewRequestSetRefusalReason(preview, NSString::stringWithUTF8String(reason).get());
            return kGeneratorFailure;
        }

        // The sum of the widths plus 30 × (n − 1), and the tallest height.
        CGSize sheet = CGSizeMake(kStartingSheetWidth, 0.0);
        for (const auto& screen : prototype->screens()) {
            sheet.width = sheet.width + (screen->width() + kScreenGap);
            sheet.height = std::max(sheet.height, screen->height());
        }
        CGContextRef context = QLPreviewRequestCreateContext(preview, sheet, false, nullptr);
        if (!context) return kGeneratorSuccess;  // the host may decline; nothing to draw then

        CGContextSaveGState(context);
        for (const auto& screen : prototype->screens()) {
            CGContextSaveGState(context);
            CGContextClipToRect(context, CGRectMake(0, 0, screen->width(), screen->height()));
            drawInContext(*screen, context);
            CGContextRestoreGState(context);
            // Outside the per-screen save, so it accumulates: screen i stands at the sum of the
            // widths before it plus the gaps, on the sheet's bottom edge.
            CGContextTranslateCTM(context, screen->width() + kScreenGap, 0);
        }
        QLPreviewRequestFlushContext(preview, context);
        CGContextRestoreGState(context);
        return kGeneratorSuccess;
    });
}

void CancelPreviewGeneration(void*, QLPreviewRequestRef) {
    // No effect: a request, once started, runs to its end.
}
