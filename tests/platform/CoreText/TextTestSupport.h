#pragma once
// Attributed strings built as the layer drawing builds them, frames, and ink in rows from the top.

#include <string_view>
#include <vector>

#include "../CoreGraphics/ContextTestSupport.h"
#include "CGPath.h"
#include "CTFramesetter.h"
#include "NSAttributedString.h"
#include "NSColor.h"
#include "NSFont.h"
#include "NSParagraphStyle.h"

namespace TextTestSupport {

using namespace ContextTestSupport;

inline size_t inkInRows(const CGContextRef& context, size_t top, size_t bottom) {
    return inkIn(context, 0, top, CGBitmapContextGetWidth(context), bottom);
}

// Exactly font, black foreground colour and paragraph style (a copy of the default).
inline std::shared_ptr<NSDictionary> attributes(
    std::string_view fontName, double size, NSTextAlignment alignment = NSTextAlignmentLeft,
    NSLineBreakMode lineBreakMode = NSLineBreakByWordWrapping) {
    auto style = NSParagraphStyle::defaultParagraphStyle()->mutableCopy();
    style->setLineBreakMode(lineBreakMode);
    style->setAlignment(alignment);
    return NSDictionary::dictionaryWithEntries({
        {NSFontAttributeName, NSFont::fontWithName_size(fontName, size)},
        {NSForegroundColorAttributeName,
         NSColor::colorWithCGColor(
             CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceSRGB), {0, 0, 0, 1}))},
        {NSParagraphStyleAttributeName, style},
    });
}

inline CTFrameRef frameOf(const std::shared_ptr<NSAttributedString>& string, CGRect rect) {
    return CTFramesetterCreateFrame(CTFramesetterCreateWithAttributedString(string),
                                    CFRangeMake(0, 0), CGPathCreateWithRect(rect, nullptr),
                                    nullptr);
}

// Helvetica of `size` points.
inline CTFrameRef frameOf(std::string_view text, CGRect rect, double size = 20,
                          NSTextAlignment alignment = NSTextAlignmentLeft,
                          NSLineBreakMode lineBreakMode = NSLineBreakByWordWrapping) {
    return frameOf(NSAttributedString::initWithString_attributes(
                       text, attributes("Helvetica", size, alignment, lineBreakMode)),
                   rect);
}

inline std::vector<CGPoint> originsOf(const CTFrameRef& frame) {
    std::vector<CGPoint> origins(CTFrameGetLines(frame).size());
    CTFrameGetLineOrigins(frame, CFRangeMake(0, 0), origins.data());
    return origins;
}

// Liberation Sans' (= Arial's) ascender, descender and line gap in units of 2048 to the em.
inline constexpr double kSansAscent = 1854.0 / 2048, kSansDescent = 434.0 / 2048,
                        kSansLeading = 67.0 / 2048;

}  // namespace TextTestSupport
