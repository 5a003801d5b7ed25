#pragma once
// The inside of CGImage and the pixel conversions shared by images, bitmap contexts (CGContext.cpp)
// and the codecs (src/platform/ImageIO/). Not platform API: code outside src/platform/ uses
// CGImage.h.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "CGColorSpace.h"
#include "CGImage.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSData;

namespace CoreGraphicsPrivate {

// Where the bytes of one pixel are, for one of the formats CGImage.h lists.
struct PixelLayout {
    enum class Alpha : uint8_t {
        none,           // opaque, no alpha byte
        skip,           // an ignored byte; opaque
        straight,       // colour not multiplied by alpha
        premultiplied,  // colour multiplied by alpha
        only,           // alpha only, no colour
    };
    uint8_t bytesPerPixel = 0;     // 1 to 4
    uint8_t colorComponents = 0;   // 0 (alpha only), 1 (grey) or 3 (RGB)
    uint8_t color[3] = {0, 0, 0};  // byte offsets of R, G, B (grey: color[0]) within the pixel
    uint8_t alphaOffset = 0;       // byte offset of alpha (or of the skipped byte)
    Alpha alpha = Alpha::none;

    bool hasAlphaByte() const { return alpha != Alpha::none; }
    bool isOpaque() const { return alpha == Alpha::none || alpha == Alpha::skip; }
    friend bool operator==(const PixelLayout&, const PixelLayout&) = default;
};

// The layout for 8-bit components, `colorComponents` (0, 1 or 3), `bitsPerPixel` and the bitmap
// info; false when CGImage.h's table has no such format.
bool pixelLayoutFor(size_t bitsPerComponent, size_t bitsPerPixel, size_t colorComponents,
                    CGBitmapInfo bitmapInfo, PixelLayout* layout);

// Cairo's CAIRO_FORMAT_ARGB32 (premultiplied, one native-endian 32-bit word A R G B per pixel):
// kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host.
inline constexpr CGBitmapInfo kNativeARGBBitmapInfo =
    kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host;
// Cairo's CAIRO_FORMAT_RGB24 (the same word with the top byte ignored).
inline constexpr CGBitmapInfo kNativeXRGBBitmapInfo =
    kCGImageAlphaNoneSkipFirst | kCGBitmapByteOrder32Host;

// ---- Row conversions. `width` pixels each; no colour matching.
// Straight (not premultiplied) components with alpha: R G B A per pixel for RGB and alpha-only
// layouts (alpha-only pixels are black), W A for grey. Opaque layouts give alpha 255.
void readStraightRow(const PixelLayout& layout, const uint8_t* in, size_t width, uint8_t* out);
// The inverse for layouts with colour: from R G B A (RGB) or W A (grey) straight pixels into the
// layout (premultiplying for premultiplied layouts, dropping alpha for opaque ones).
void writeStraightRow(const PixelLayout& layout, const uint8_t* in, size_t width, uint8_t* out);
// Between a 32-bit RGB layout (premultiplied or skip) and native premultiplied ARGB words.
void unpackToNative(const PixelLayout& layout, const uint8_t* in, size_t width, uint32_t* out);
void packFromNative(const PixelLayout& layout, const uint32_t* in, size_t width, uint8_t* out);

// Byte-exact 8-bit arithmetic: round(c × a / 255) and round(c × 255 / a) (clamped to 255).
inline uint8_t premultiply(uint32_t component, uint32_t alpha) {
    const uint32_t t = component * alpha + 128;
    return static_cast<uint8_t>((t + (t >> 8)) >> 8);
}
inline uint8_t unpremultiply(uint32_t component, uint32_t alpha) {
    if (alpha == 0) return 0;
    const uint32_t value = (component * 255 + alpha / 2) / alpha;
    return static_cast<uint8_t>(value > 255 ? 255 : value);
}

// ---- Colour matching of 8-bit pixels (lcms2's optimised 8-bit transforms, cached per pair of
// spaces). Straight R G B A (or W A when `from` is grey) in `from` → straight R G B A in `to` (an
// RGB space), alpha copied, relative colorimetric. Device grey into an sRGB-based space is the
// neutral axis, exactly. False when lcms2 cannot build the transform. Safe from several threads.
bool matchStraightPixels(const CGColorSpace& from, const CGColorSpace& to, const uint8_t* in,
                         uint8_t* out, size_t count);
// Whether pixels in `from` are the same colours in `to` without matching (the same profile).
bool sameColorimetry(const CGColorSpace& from, const CGColorSpace& to);

// The image's rows firstRow … firstRow + rowCount − 1 (within the image) as premultiplied native
// ARGB words in `destination` (an RGB space), `strideWords` words from row to row, the first of
// them at `out`. False when matching fails.
bool imageToNativeARGB(const CGImage& image, const CGColorSpace& destination, uint32_t* out,
                       size_t strideWords, size_t firstRow, size_t rowCount);

}  // namespace CoreGraphicsPrivate

class CGDataProvider {
  public:
    std::shared_ptr<const NSData> data;
};

class CGImage {
  public:
    size_t width = 0;
    size_t height = 0;
    size_t bitsPerComponent = 0;
    size_t bitsPerPixel = 0;
    size_t bytesPerRow = 0;
    CGColorSpaceRef space;  // null for alpha-only
    CGBitmapInfo bitmapInfo = 0;
    CoreGraphicsPrivate::PixelLayout layout;
    CGDataProviderRef provider;
    std::span<const uint8_t> bytes;  // the provider's bytes
    bool shouldInterpolate = true;
    CGColorRenderingIntent intent = kCGRenderingIntentDefault;

    const uint8_t* row(size_t y) const { return bytes.data() + y * bytesPerRow; }
};

namespace CoreGraphicsPrivate {

// A new image owning `pixels` (moved into an NSData, no copy): for the codecs and contexts, which
// produce tightly known formats. Null when CGImageCreate would refuse the format.
CGImageRef makeImage(size_t width, size_t height, size_t bitsPerPixel, size_t bytesPerRow,
                     CGColorSpaceRef space, CGBitmapInfo bitmapInfo, std::vector<uint8_t> pixels);

// Whether width × height is within the limits of CGImage.h.
bool sizeWithinLimits(size_t width, size_t height);

}  // namespace CoreGraphicsPrivate

#pragma GCC visibility pop
