#pragma once
// CoreGraphics bitmap images with CoreGraphics' names: the pictures of image assets, mipmaps,
// decoded files and offscreen drawing.
//
// An image is an immutable grid of pixels with a colour space, shared through `CGImageRef`;
// identity is pointer identity. Its bytes are held in an NSData (shared, never copied here)
// wrapped in a data provider, as CoreGraphics holds them in a CGDataProvider. Every image is fully
// decoded in memory, so `kCGImageSourceShouldCache` holds for every image by
// construction.
//
// Pixel formats: 8 bits per component only (CoreGraphics also has 5, 16 and 32; the codecs of
// ImageIO reduce 16-bit files to 8 bits). What `CGImageCreate` accepts, with the colour space's
// model, bits per pixel and the CGImageAlphaInfo part of the bitmap info:
//
//   space        bits/pixel  alpha info                                   bytes in memory order
//   RGB          24          None                                         R G B
//   RGB          32          PremultipliedLast, Last, NoneSkipLast        R G B A (or X)
//   RGB          32          PremultipliedFirst, First, NoneSkipFirst     A (or X) R G B
//   Monochrome   8           None                                         W
//   Monochrome   16          PremultipliedLast, Last, NoneSkipLast        W A
//   Monochrome   16          PremultipliedFirst, First, NoneSkipFirst     A W
//   null         8           Only                                         A
//
// with the default byte order (= big-endian, as above), kCGBitmapByteOrder32Big (the same) or, for
// 32 bits per pixel only, kCGBitmapByteOrder32Little (the four bytes reversed: B G R A for
// PremultipliedFirst, which is cairo's ARGB32 on a little-endian machine); kCGBitmapByteOrder16Big
// and 16Little likewise for 16 bits per pixel. Premultiplied components are at most their alpha in
// a valid image; larger values are not refused (CoreGraphics does not check either) and draw as if
// clamped to alpha.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "CGColorSpace.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSData;

// ---- Bitmap info (CoreGraphics' values)
// CGImageAlphaInfo: where alpha is and whether the colour components are multiplied by it.
enum CGImageAlphaInfo : uint32_t {
    kCGImageAlphaNone = 0,                // no alpha; opaque
    kCGImageAlphaPremultipliedLast = 1,   // alpha after the colour, colour premultiplied
    kCGImageAlphaPremultipliedFirst = 2,  // alpha before the colour, colour premultiplied
    kCGImageAlphaLast = 3,                // alpha after the colour, straight
    kCGImageAlphaFirst = 4,               // alpha before the colour, straight
    kCGImageAlphaNoneSkipLast = 5,        // an ignored byte after the colour; opaque
    kCGImageAlphaNoneSkipFirst = 6,       // an ignored byte before the colour; opaque
    kCGImageAlphaOnly = 7,                // alpha only, no colour space
};

// CGBitmapInfo: a CGImageAlphaInfo in the low 5 bits, flags and a byte order above. A plain integer
// (CoreGraphics' is a uint32_t enumeration) so that `kCGImageAlphaPremultipliedFirst |
// kCGBitmapByteOrder32Little` is a CGBitmapInfo, as in C.
using CGBitmapInfo = uint32_t;
inline constexpr CGBitmapInfo kCGBitmapAlphaInfoMask = 0x1F;
inline constexpr CGBitmapInfo kCGBitmapFloatInfoMask = 0xF00;
inline constexpr CGBitmapInfo kCGBitmapFloatComponents = 1u << 8;  // refused: no float formats
inline constexpr CGBitmapInfo kCGBitmapByteOrderMask = 0x7000;
inline constexpr CGBitmapInfo kCGBitmapByteOrderDefault = 0u << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder16Little = 1u << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Little = 2u << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder16Big = 3u << 12;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Big = 4u << 12;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
inline constexpr CGBitmapInfo kCGBitmapByteOrder16Host = kCGBitmapByteOrder16Big;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Host = kCGBitmapByteOrder32Big;
#else
inline constexpr CGBitmapInfo kCGBitmapByteOrder16Host = kCGBitmapByteOrder16Little;
inline constexpr CGBitmapInfo kCGBitmapByteOrder32Host = kCGBitmapByteOrder32Little;
#endif

// ---- Limits on every image and bitmap context (also the codecs' limits on what a file declares).
// A side of at most 32767 pixels: cairo's image surfaces refuse larger ones (they keep sizes in
// pixman's 16-bit fixed point), so every image can be drawn; phone panoramas (about 16000 to
// 20000 pixels wide) fit.
inline constexpr size_t kCGImageMaxDimension = 32767;
// At most 100 million pixels, 400 MB as 8-bit RGBA: twice the largest camera still a user is likely
// to drop into a design (48-megapixel phone photos), while a hostile file declaring 32767 × 32767
// (a 4 GiB bitmap) is refused before anything is allocated.
inline constexpr size_t kCGImageMaxPixelCount = 100'000'000;

// ---- Data providers: the bytes behind an image.
class CGDataProvider;
using CGDataProviderRef = std::shared_ptr<const CGDataProvider>;
// A provider sharing `data`'s bytes (kept, not copied); null for null data.
CGDataProviderRef CGDataProviderCreateWithCFData(std::shared_ptr<const NSData> data);
// The provider's bytes as a new data object sharing them (no copy); null for a null provider.
std::shared_ptr<const NSData> CGDataProviderCopyData(const CGDataProviderRef& provider);

// ---- Images
class CGImage;  // opaque; defined in CGImagePrivate.h for the CoreGraphics and ImageIO sources
using CGImageRef = std::shared_ptr<const CGImage>;

// A new image over the provider's bytes (kept, never copied or changed). Null on any nonsense:
// a width or height of 0 or above kCGImageMaxDimension, more than kCGImageMaxPixelCount pixels, a
// format outside the table at the top of this header (bits per component other than 8, float
// components, a byte order that does not fit the pixel size, an alpha info outside 0…7 or that does
// not fit the space), a colour space other than RGB or grey (null only with kCGImageAlphaOnly),
// bytesPerRow smaller than a row of pixels, a null provider, or fewer bytes than the last row
// needs. `decode` must be null (decode arrays are not supported: a non-null one gives null rather
// than a wrong picture). `shouldInterpolate` and `intent` are kept and reported; an image made
// with shouldInterpolate false is drawn with the nearest pixel, others with the context's
// interpolation quality; drawing matches colours relative colorimetric whatever the intent.
CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                         CGDataProviderRef provider, const double* decode, bool shouldInterpolate,
                         CGColorRenderingIntent intent);
// The same over a data object (a provider is made for it).
CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                         std::shared_ptr<const NSData> data);

// ---- Queries; a null image answers 0, null or kCGImageAlphaNone.
size_t CGImageGetWidth(const CGImageRef& image);   // pixels
size_t CGImageGetHeight(const CGImageRef& image);  // pixels
size_t CGImageGetBitsPerComponent(const CGImageRef& image);
size_t CGImageGetBitsPerPixel(const CGImageRef& image);
size_t CGImageGetBytesPerRow(const CGImageRef& image);
CGColorSpaceRef CGImageGetColorSpace(const CGImageRef& image);  // null for an alpha-only image
CGBitmapInfo CGImageGetBitmapInfo(const CGImageRef& image);
CGImageAlphaInfo CGImageGetAlphaInfo(const CGImageRef& image);
bool CGImageGetShouldInterpolate(const CGImageRef& image);
CGColorRenderingIntent CGImageGetRenderingIntent(const CGImageRef& image);
// The provider of the image's bytes (shared).
CGDataProviderRef CGImageGetDataProvider(const CGImageRef& image);
// The image's bytes, rows bytesPerRow apart, first row first; empty for a null image. Valid while
// the image lives.
std::span<const uint8_t> CGImageGetBytes(const CGImageRef& image);

#pragma GCC visibility pop
