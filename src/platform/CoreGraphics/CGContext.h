#pragma once
// CoreGraphics drawing contexts with CoreGraphics' names, over cairo: what thumbnails, previews,
// mipmaps, image scaling, layer drawing and offscreen images draw into.
//
// `CGContext` is the one context type: bitmap contexts (CGBitmapContextCreate) and the host's
// vector contexts (PDF and SVG, CGPDFContextCreateWithPath & co), with paths, clipping, colours,
// shadows and transparency layers. `CGContextRef` shares it; "release" is the end of the last
// reference. A context is used by one thread at a time. Every function accepts a null context and
// then does nothing (or answers 0, null, the identity).
//
// Conventions: user space starts with y upwards and the origin at the lower left; a
// bitmap context's user space is its pixel grid (one unit per pixel, pixel (0, 0) of the bitmap's
// first row at the top left, so user point (0, height) is the top-left corner); a vector context's
// is its page in points. The CTM maps user space to that y-up device space;
// CGContextTranslateCTM, ScaleCTM, RotateCTM and ConcatCTM prepend their step (it acts first on
// user-space points). The current path and the clip are fixed in device space when they are made:
// a later CTM change moves neither (as in CoreGraphics).
//
// Colour: a context draws in its colour space. Images and colours are matched into it from their
// own space (relative colorimetric, lcms2); device RGB is taken as sRGB, so drawing into a device
// RGB context (as every drawing of a document does) gives sRGB output. Vector contexts draw in
// sRGB.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CGColor.h"
#include "CGColorSpace.h"
#include "CGGeometry.h"
#include "CGGradient.h"
#include "CGImage.h"
#include "CGPath.h"

#pragma GCC visibility push(default)  // exported from libVantler

class CGContext;  // opaque; defined in CGContextPrivate.h for the CoreGraphics sources
using CGContextRef = std::shared_ptr<CGContext>;
class NSDictionary;

// Ends the caller's reference now (release is otherwise by scope); a vector context whose last
// reference this was is finished (CGPDFContextClose).
void CGContextRelease(CGContextRef& context);

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

// ---- Vector contexts (the host's, for previews)
// A context drawing `mediaBox` (points; its origin is the page's lower-left corner in user space)
// into a PDF or SVG document of one page: vector output, except shadows, which are rasterised at
// kCGVectorContextShadowScale pixels per point. User space is in points, y up, with the identity
// CTM, as for bitmap contexts. The file at `path` is created (replaced) at once; the Data forms
// append the document's bytes to `*out` (kept by the caller, alive until the context is closed or
// released) and write no file. Null on failure: a media box whose size is not finite and positive
// or larger than kCGVectorContextMaxDimension, a null sink, a file that cannot be created.
// Write errors after creation (a full disk) leave the file incomplete; nothing reports them, as in
// CoreGraphics.
inline constexpr double kCGVectorContextShadowScale = 2;
inline constexpr double kCGVectorContextMaxDimension = 1 << 20;  // points (about 370 m)
CGContextRef CGPDFContextCreateWithPath(const std::string& path, CGRect mediaBox);
CGContextRef CGSVGContextCreateWithPath(const std::string& path, CGRect mediaBox);
CGContextRef CGPDFContextCreateWithData(std::vector<uint8_t>* out, CGRect mediaBox);
CGContextRef CGSVGContextCreateWithData(std::vector<uint8_t>* out, CGRect mediaBox);
// Finishes the document (writes everything out; later drawing is ignored). For both kinds; the
// last release does it too. Nothing for a bitmap context or a closed one.
void CGPDFContextClose(const CGContextRef& context);

// ---- Graphics state. Save and restore nest strictly; a restore without
// a matching save does nothing, as does one that would end a transparency layer's own save.
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
// User space to the context's y-up device space; the identity for a new context.
CGAffineTransform CGContextGetCTM(const CGContextRef& context);

void CGContextSetInterpolationQuality(const CGContextRef& context, CGInterpolationQuality quality);
CGInterpolationQuality CGContextGetInterpolationQuality(const CGContextRef& context);

// Device space (y up, pixels of a bitmap or points of a vector page) from user space: the CTM
// without its translation for a size (layer drawing converts shadow offsets with it), the bounding
// box of the mapped corners for a rectangle.
CGSize CGContextConvertSizeToDeviceSpace(const CGContextRef& context, CGSize size);
CGRect CGContextConvertRectToDeviceSpace(const CGContextRef& context, CGRect rect);

// ---- Paint state (part of the graphics state)
// Colours are matched into the context's space when set; a null colour paints nothing visible.
void CGContextSetFillColorWithColor(const CGContextRef& context, const CGColorRef& color);
void CGContextSetStrokeColorWithColor(const CGContextRef& context, const CGColorRef& color);
// User-space units, centred on the path (half on each side); 1 at first. A negative or non-finite
// width is ignored; 0 strokes nothing.
void CGContextSetLineWidth(const CGContextRef& context, CGFloat width);
// REPLACES the alpha applied to everything painted (layer drawing relies on it not multiplying);
// clamped to 0…1, NaN ignored. 1 at first.
void CGContextSetAlpha(const CGContextRef& context, CGFloat alpha);
// A shadow under everything painted from now on: the painted shape's alpha, moved by `offset` in
// DEVICE space (y up; neither moved, turned nor scaled by the CTM, as in CoreGraphics), blurred,
// in `color`. `blur` is in device units too: a Gaussian of standard deviation blur / 2 (the look of
// CoreGraphics' shadow blur), computed as three box blurs; negative or NaN reads as 0, more than
// kCGShadowMaxBlur as that. A null colour, or one with alpha 0, clears the shadow; a non-finite
// offset too. The whole shape casts the shadow, also where the clip hides the shape; the shadow is
// clipped like the shape. Shadows are rasterised (on a vector page at kCGVectorContextShadowScale
// pixels per point); one reaching over more than 8 million pixels is rasterised coarser.
inline constexpr CGFloat kCGShadowMaxBlur = 4096;
void CGContextSetShadowWithColor(const CGContextRef& context, CGSize offset, CGFloat blur,
                                 const CGColorRef& color);
// The same with CoreGraphics' default colour: black at alpha 1/3.
void CGContextSetShadow(const CGContextRef& context, CGSize offset, CGFloat blur);

// CoreGraphics' enumeration, with its values: the two blend modes the system draws with. Normal
// paints over what is there; Multiply multiplies the colours where both are, so it darkens, and
// white changes nothing.
enum CGBlendMode : int32_t {
    kCGBlendModeNormal = 0,
    kCGBlendModeMultiply = 1,
};
// How everything painted from now on combines with what is there (the PDF blend modes of those
// names; a shape painted with an alpha below 1 or a shadow is blended as a whole, shadow included).
// Part of the graphics state; Normal at first; a value that is neither is ignored.
void CGContextSetBlendMode(const CGContextRef& context, CGBlendMode mode);

// ---- Paths and clipping. The current path is not part of the graphics state; each part is fixed
// in device space by the CTM in force when it is added.
void CGContextBeginPath(const CGContextRef& context);  // empties the current path
void CGContextAddRect(const CGContextRef& context, CGRect rect);
void CGContextAddPath(const CGContextRef& context, const CGPathRef& path);
// Paint the current path (non-zero winding) and empty it.
void CGContextFillPath(const CGContextRef& context);
void CGContextStrokePath(const CGContextRef& context);  // line width of the CTM at the stroke
// Fills the rectangle; empties the current path, as CoreGraphics does.
void CGContextFillRect(const CGContextRef& context, CGRect rect);
// Intersects the clip with the current path (non-zero winding) and empties the path. An empty path
// leaves nothing drawable.
void CGContextClip(const CGContextRef& context);
void CGContextClipToRect(const CGContextRef& context, CGRect rect);  // the path is kept
// The clip's bounding box in user space (the device box mapped back by the CTM): the whole page
// without a clip; null when the clip is empty or the CTM cannot be inverted.
CGRect CGContextGetClipBoundingBox(const CGContextRef& context);

// ---- Transparency layers (a layer below full opacity is composited with its sublayers as one
// group, so nested opacities multiply). Everything drawn until the matching End is composited as
// one group with the alpha, shadow and blend mode in force at the Begin; inside, the alpha starts
// at 1, there is no shadow and the blend mode is Normal. Begin saves the graphics state and End
// restores it (first ending any save made inside and left open). Layers nest. `auxInfo` is
// CoreGraphics' reserved dictionary: pass null; it is ignored. WithRect limits the layer to the
// device pixels of `rect` (user space): what is drawn outside is clipped, and the clip bounding box
// inside says so; the layer's shadow may fall outside.
void CGContextBeginTransparencyLayer(const CGContextRef& context, const NSDictionary* auxInfo);
void CGContextBeginTransparencyLayerWithRect(const CGContextRef& context, CGRect rect,
                                             const NSDictionary* auxInfo);
void CGContextEndTransparencyLayer(const CGContextRef& context);  // no open layer: nothing

// ---- Text state. The text matrix is NOT part of the graphics state (CoreGraphics documents that
// saving and restoring leave it alone); the text position is its translation.
void CGContextSetTextMatrix(const CGContextRef& context, CGAffineTransform t);
CGAffineTransform CGContextGetTextMatrix(const CGContextRef& context);
void CGContextSetTextPosition(const CGContextRef& context, CGFloat x, CGFloat y);
CGPoint CGContextGetTextPosition(const CGContextRef& context);

// ---- Drawing
// The whole image scaled into `rect` (user space), its first row at the rectangle's maximum y and
// its first column at the minimum x, composited over what is there (source-over). Filtering follows
// the interpolation quality (nearest pixel for an image made with shouldInterpolate false); the
// image's edges are not blurred into transparency. The clip, alpha and shadow apply as to every
// painting operation. Nothing is drawn for a null image, a rectangle
// of zero or non-finite size, a CTM that cannot be inverted, or an image whose space lcms2 cannot
// match into the context's.
void CGContextDrawImage(const CGContextRef& context, CGRect rect, const CGImageRef& image);

// Paints `gradient` along the axis from `startPoint` (its location 0) to `endPoint` (location 1),
// in user space, across the clip: each point takes the colour of its projection onto the axis.
// Before the start and past the end nothing is painted unless `options` extend the first or the
// last colour there. Colours are interpolated in the context's colour space (CoreGraphics
// interpolates in the gradient's: the same for colours that differ only in alpha, or when the two
// spaces are one). The alpha, shadow, blend mode and clip apply as to every painting operation.
// Nothing is drawn for a null gradient, ends that are not finite or coincide, or a CTM that cannot
// be inverted.
void CGContextDrawLinearGradient(const CGContextRef& context, const CGGradientRef& gradient,
                                 CGPoint startPoint, CGPoint endPoint,
                                 CGGradientDrawingOptions options);

// Brings a bitmap context's bytes up to date with what was drawn (as CGBitmapContextGetData does);
// writes a vector context's pending output.
void CGContextFlush(const CGContextRef& context);

#pragma GCC visibility pop
