#pragma once
// Helpers of the text tests: attributed strings built the way the layer drawing builds them,
// frames, and where ink landed (rows and columns counted from the top left of the bitmap; user
// space has y up, so user y = height − row).

#include <gtest/gtest.h>

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

// The first and one past the last column that have ink; {0, 0} for none.
inline std::pair<size_t, size_t> inkColumns(const CGContextRef& context) {
    size_t first = SIZE_MAX, last = 0;
    for (size_t row = 0; row < CGBitmapContextGetHeight(context); ++row)
        for (size_t x = 0; x < CGBitmapContextGetWidth(context); ++x)
            if (pixelAt(context, x, row).a > 0) {
                first = std::min(first, x);
                last = std::max(last, x + 1);
            }
    return first == SIZE_MAX ? std::pair<size_t, size_t>{0, 0} : std::pair{first, last};
}

inline CGColorRef srgb(double r, double g, double b, double a = 1) {
    return CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceSRGB), {r, g, b, a});
}

// Exactly font, foreground colour and paragraph style (a word-wrapping copy of the default).
inline std::shared_ptr<NSDictionary> attributes(std::string_view fontName, double size,
                                                NSTextAlignment alignment = NSTextAlignmentLeft,
                                                CGColorRef color = srgb(0, 0, 0)) {
    auto font = NSFont::fontWithName_size(fontName, size);
    if (!font) font = NSFont::systemFontOfSize(size);
    auto style = NSParagraphStyle::defaultParagraphStyle()->mutableCopy();
    style->setLineBreakMode(NSLineBreakByWordWrapping);
    style->setAlignment(alignment);
    return NSDictionary::dictionaryWithEntries({
        {NSFontAttributeName, font},
        {NSForegroundColorAttributeName, NSColor::colorWithCGColor(std::move(color))},
        {NSParagraphStyleAttributeName, style},
    });
}

inline CTFrameRef frameOf(const std::shared_ptr<NSAttributedString>& string, CGRect rect) {
    return CTFramesetterCreateFrame(CTFramesetterCreateWithAttributedString(string),
                                    CFRangeMake(0, 0), CGPathCreateWithRect(rect, nullptr),
                                    nullptr);
}

inline CTFrameRef frameOf(std::string_view text, CGRect rect, double size = 20,
                          NSTextAlignment alignment = NSTextAlignmentLeft,
                          std::string_view font = "Helvetica") {
    return frameOf(
        NSAttributedString::initWithString_attributes(text, attributes(font, size, alignment)),
        rect);
}

inline std::vector<CGPoint> originsOf(const CTFrameRef& frame) {
    std::vector<CGPoint> origins(CTFrameGetLines(frame).size());
    CTFrameGetLineOrigins(frame, CFRangeMake(0, 0), origins.data());
    return origins;
}

// Liberation Sans' horizontal header (= Arial's): ascender 1854, descender 434, line gap 67 units
// of 2048 to the em.
inline constexpr double kSansAscent = 1854.0 / 2048, kSansDescent = 434.0 / 2048,
                        kSansLeading = 67.0 / 2048;

}  // namespace TextTestSupport
