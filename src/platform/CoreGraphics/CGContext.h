#pragma once
// CoreGraphics drawing contexts with CoreGraphics' names, over cairo (Part 4.1; used by Parts 1.1,
// 3.2, 3.3, 4.2, 4.3).
//
// `CGContext` is the one context type: bitmap contexts now (CGBitmapContextCreate, below); the
// host's contexts, paths, clipping, colours, shadows, transparency layers and text join it later.
// `CGContextRef` shares it; "release" is the end of the last reference. A context is used by one
// thread at a time. Every function accepts a null context and then does nothing (or answers 0,
// null, the identity).
//
// Conventions (Part 4.1): user space starts with y upwards and the origin at the lower left; a
// bitmap context's user space is its pixel grid (one unit per pixel, pixel (0, 0) of the bitmap's
// first row at the top left, so user point (0, height) is the top-left corner). The CTM maps user
// space to that y-up pixel space; CGContextTranslateCTM, ScaleCTM, RotateCTM and ConcatCTM prepend
// their step (it acts first on user-space points).
//
// Colour: a context draws in its colour space. Images are matched into it from their own space
// (relative colorimetric, lcms2); device RGB is taken as sRGB, so drawing into a device RGB context
// (every call site of the spec) gives sRGB output.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "CGColorSpace.h"
#include "CGGeometry.h"
#include "CGImage.h"

class CGContext;  // opaque; defined in CGContextPrivate.h for the CoreGraphics sources
using CGContextRef = std::shared_ptr<CGContext>;

// CoreGraphics' enumeration, with its values.
enum CGInterpolationQuality : int32_t {
    kCGInterpolationDefault = 0,  // = Medium
    kCGInterpolationNone = 1,     // nearest pixel
    kCGInterpolationLow = 2,      // bilinear
    kCGInterpolationMedium = 4,   // bilinear when enlarging, box filter when reducing
    kCGInterpolationHigh = 3,     // Catmull-Rom when reducing
};

// ---- Bitmap contexts
// A context drawing into width × height pixels of 8 bits per component in an RGB colour space
// (grey and alpha-only contexts are not supported), in one of these formats (see CGImage.h):
// kCGImageAlphaPremultipliedFirst, PremultipliedLast, NoneSkipFirst or NoneSkipLast, 32 bits per
// pixel, with the default, 32Big or 32Little byte order. PremultipliedFirst | 32Little (cairo's own
// ARGB32 on a little-endian machine; kCGBitmapByteOrder32Host in general) and NoneSkipFirst |
// 32Host are drawn into directly; the others go through a cairo surface of the context's own and
// are converted when their bytes are read (see CGBitmapContextGetData).
//
// `data` null: the context allocates zeroed memory, so it starts transparent (opaque black for the
// skip formats); `bytesPerRow` 0 then chooses width × 4. With `data`, the context draws into those
// bytes (kept by the caller, at least bytesPerRow × height of them, for the context's lifetime) and
// starts with what they hold; `bytesPerRow` must then be at least width × 4.
// Null on failure: a width or height of 0, more than kCGImageMaxDimension or kCGImageMaxPixelCount
// (CGImage.h), bitsPerComponent other than 8, a null or non-RGB space, an unsupported bitmap info,
// or a bytesPerRow too small.
CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, CGColorSpaceRef space,
                                   CGBitmapInfo bitmapInfo);
// The context's pixels in its format, brought up to date with everything drawn so far. The caller
// may change them; the next drawing operation starts from what they then hold. Null for a context
// that is not a bitmap context.
void* CGBitmapContextGetData(const CGContextRef& context);
size_t CGBitmapContextGetWidth(const CGContextRef& context);
size_t CGBitmapContextGetHeight(const CGContextRef& context);
size_t CGBitmapContextGetBytesPerRow(const CGContextRef& context);
size_t CGBitmapContextGetBitsPerComponent(const CGContextRef& context);
size_t CGBitmapContextGetBitsPerPixel(const CGContextRef& context);
CGColorSpaceRef CGBitmapContextGetColorSpace(const CGContextRef& context);
CGBitmapInfo CGBitmapContextGetBitmapInfo(const CGContextRef& context);
CGImageAlphaInfo CGBitmapContextGetAlphaInfo(const CGContextRef& context);
// A new image of the context's current pixels (copied: later drawing does not change it), in the
// context's format and colour space; null for a null or non-bitmap context.
CGImageRef CGBitmapContextCreateImage(const CGContextRef& context);

// ---- Graphics state (Part 4.1 "Context state"). Save and restore nest strictly; a restore without
// a matching save does nothing.
void CGContextSaveGState(const CGContextRef& context);
void CGContextRestoreGState(const CGContextRef& context);
// How many saves are not yet restored (ours: tests check that drawing leaves it unchanged).
size_t CGContextGetGStateDepth(const CGContextRef& context);
// A save that restores at the end of its scope (STYLE.md: every save is a scope guard).
class [[nodiscard]] CGContextGStateScope {
  public:
    explicit CGContextGStateScope(CGContextRef context) : context_(std::move(context)) {
        CGContextSaveGState(context_);
    }
    ~CGContextGStateScope() { CGContextRestoreGState(context_); }
    CGContextGStateScope(const CGContextGStateScope&) = delete;
    CGContextGStateScope& operator=(const CGContextGStateScope&) = delete;

  private:
    CGContextRef context_;
};

void CGContextTranslateCTM(const CGContextRef& context, CGFloat tx, CGFloat ty);
void CGContextScaleCTM(const CGContextRef& context, CGFloat sx, CGFloat sy);
void CGContextRotateCTM(const CGContextRef& context, CGFloat angle);  // radians, counter-clockwise
void CGContextConcatCTM(const CGContextRef& context, CGAffineTransform transform);
// User space to the context's y-up pixel space; the identity for a new bitmap context.
CGAffineTransform CGContextGetCTM(const CGContextRef& context);

void CGContextSetInterpolationQuality(const CGContextRef& context, CGInterpolationQuality quality);
CGInterpolationQuality CGContextGetInterpolationQuality(const CGContextRef& context);

// ---- Drawing
// The whole image scaled into `rect` (user space), its first row at the rectangle's maximum y and
// its first column at the minimum x, composited over what is there (source-over). Filtering follows
// the interpolation quality (nearest pixel for an image made with shouldInterpolate false); the
// image's edges are not blurred into transparency. Nothing is drawn for a null image, a rectangle
// of zero or non-finite size, a CTM that cannot be inverted, or an image whose space lcms2 cannot
// match into the context's.
void CGContextDrawImage(const CGContextRef& context, CGRect rect, const CGImageRef& image);

// Brings the context's bytes up to date with what was drawn (as CGBitmapContextGetData does).
void CGContextFlush(const CGContextRef& context);
