#pragma once
// Native bitmap contexts and pixel probes for the drawing and text tests.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <vector>

#include "CGColor.h"
#include "CGColorSpace.h"
#include "CGContext.h"
#include "CGImage.h"
#include "NSData.h"

namespace ContextTestSupport {

inline constexpr CGBitmapInfo kNative = kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host;

struct RGBA {
    int r, g, b, a;
    friend bool operator==(const RGBA&, const RGBA&) = default;
};
inline std::ostream& operator<<(std::ostream& out, const RGBA& p) {
    return out << "(" << p.r << ", " << p.g << ", " << p.b << ", " << p.a << ")";
}

inline const RGBA kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255},
    kWhite{255, 255, 255, 255}, kBlack{0, 0, 0, 255}, kClear{0, 0, 0, 0};

inline CGContextRef nativeContext(size_t width, size_t height,
                                  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB()) {
    return CGBitmapContextCreate(nullptr, width, height, 8, 0, std::move(space), kNative);
}

// The premultiplied pixel at column x of memory row `row` (row 0 = top); pixelUp counts y up.
inline RGBA pixelAt(const CGContextRef& context, size_t x, size_t row) {
    const auto* data = static_cast<const uint8_t*>(CGBitmapContextGetData(context));
    uint32_t word;
    std::memcpy(&word, data + row * CGBitmapContextGetBytesPerRow(context) + 4 * x, 4);
    return {int(word >> 16 & 255), int(word >> 8 & 255), int(word & 255), int(word >> 24)};
}

inline RGBA pixelUp(const CGContextRef& context, size_t x, size_t y) {
    return pixelAt(context, x, CGBitmapContextGetHeight(context) - 1 - y);
}

inline CGImageRef imageRGBA(size_t width, size_t height, const std::vector<RGBA>& pixels,
                            CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB()) {
    std::vector<uint8_t> bytes;
    for (const auto& p : pixels)
        bytes.insert(bytes.end(), {uint8_t(p.r), uint8_t(p.g), uint8_t(p.b), uint8_t(p.a)});
    return CGImageCreate(width, height, 8, 32, width * 4, std::move(space), kCGImageAlphaLast,
                         NSData::dataWithVector(std::move(bytes)));
}

inline bool near(const RGBA& a, const RGBA& b, int tolerance) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b),
                     std::abs(a.a - b.a)}) <= tolerance;
}

inline CGColorRef deviceColor(CGFloat r, CGFloat g, CGFloat b, CGFloat a = 1) {
    return CGColorCreate(CGColorSpaceCreateDeviceRGB(), {r, g, b, a});
}

inline void fillRect(const CGContextRef& context, CGRect rect, const CGColorRef& color) {
    CGContextSetFillColorWithColor(context, color);
    CGContextFillRect(context, rect);
}

// Over columns [left, right) and memory rows [top, bottom): the summed alpha in opaque pixels, and
// the count of pixels holding any ink.
inline double coverage(const CGContextRef& context, size_t left, size_t top, size_t right,
                       size_t bottom) {
    double sum = 0;
    for (size_t row = top; row < bottom; ++row)
        for (size_t x = left; x < right; ++x) sum += pixelAt(context, x, row).a;
    return sum / 255;
}
inline size_t inkIn(const CGContextRef& context, size_t left, size_t top, size_t right,
                    size_t bottom) {
    size_t count = 0;
    for (size_t row = top; row < bottom; ++row)
        for (size_t x = left; x < right; ++x) count += pixelAt(context, x, row).a > 0;
    return count;
}

}  // namespace ContextTestSupport
