#pragma once
// Helpers of the text tests: bitmap contexts to draw frames into, attributed strings built the way
// Part 4.2 builds them, and probes of where ink landed (rows and columns counted from the top left
// of the bitmap; user space has y up, so user y = height − row).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "CGColor.h"
#include "CGContext.h"
#include "CGPath.h"
#include "CTFramesetter.h"
#include "NSAttributedString.h"
#include "NSColor.h"
#include "NSFont.h"
#include "NSParagraphStyle.h"

namespace TextTestSupport {

struct RGBA {
    int r, g, b, a;
    friend bool operator==(const RGBA&, const RGBA&) = default;
};
inline std::ostream& operator<<(std::ostream& out, const RGBA& p) {
    return out << "(" << p.r << ", " << p.g << ", " << p.b << ", " << p.a << ")";
}

inline CGContextRef bitmap(size_t width, size_t height) {
    return CGBitmapContextCreate(nullptr, width, height, 8, 0, CGColorSpaceCreateDeviceRGB(),
                                 kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host);
}

// The premultiplied pixel at column x, row `row` (0 = top).
inline RGBA pixelAt(const CGContextRef& context, size_t x, size_t row) {
    const auto* data = static_cast<const uint8_t*>(CGBitmapContextGetData(context));
    uint32_t word;
    std::memcpy(&word, data + row * CGBitmapContextGetBytesPerRow(context) + 4 * x, 4);
    return {int(word >> 16 & 255), int(word >> 8 & 255), int(word & 255), int(word >> 24)};
}

// How many pixels of columns [x0, x1) and rows [row0, row1) have any ink (alpha above 0).
inline size_t inkIn(const CGContextRef& context, size_t x0, size_t row0, size_t x1, size_t row1) {
    size_t count = 0;
    for (size_t row = row0; row < row1; ++row)
        for (size_t x = x0; x < x1; ++x) count += pixelAt(context, x, row).a > 0;
    return count;
}
inline size_t inkInRows(const CGContextRef& context, size_t row0, size_t row1) {
    return inkIn(context, 0, row0, CGBitmapContextGetWidth(context), row1);
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

// Part 4.2 step 3's dictionary: exactly font, foreground colour and paragraph style.
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
    const CTFramesetterRef framesetter = CTFramesetterCreateWithAttributedString(string);
    return CTFramesetterCreateFrame(framesetter, CFRangeMake(0, 0), CGPathCreateWithRect(rect, nullptr),
                                    nullptr);
}

inline CTFrameRef frameOf(std::string_view text, CGRect rect, double size = 20,
                          NSTextAlignment alignment = NSTextAlignmentLeft,
                          std::string_view font = "Helvetica") {
    return frameOf(NSAttributedString::initWithString_attributes(text, attributes(font, size, alignment)),
                   rect);
}

inline std::vector<CGPoint> originsOf(const CTFrameRef& frame) {
    std::vector<CGPoint> origins(CTFrameGetLines(frame).size());
    CTFrameGetLineOrigins(frame, CFRangeMake(0, 0), origins.data());
    return origins;
}

// Liberation Sans' horizontal header (= Arial's): ascender 1854, descender 434, line gap 67 units of
// 2048 to the em.
inline constexpr double kSansAscent = 1854.0 / 2048, kSansDescent = 434.0 / 2048,
                        kSansLeading = 67.0 / 2048;

}  // namespace TextTestSupport
