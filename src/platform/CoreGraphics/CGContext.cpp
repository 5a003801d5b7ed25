// CoreGraphics contexts over cairo. See CGContext.h for the contract and CGContextPrivate.h for
// how drawing operations use cairo.

#include "CGContext.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "CGColorSpacePrivate.h"
#include "CGContextPrivate.h"
#include "CheckedArithmetic.h"

using namespace CoreGraphicsPrivate;

namespace {

// The most bytes a context allocates for itself: the largest bitmap CGImage.h allows, 4 bytes a
// pixel, with rows padded to at most twice their width. Without it, a caller's bytesPerRow alone
// could ask for terabytes.
constexpr uint64_t kMaxOwnedBitmapBytes = 2 * 4 * uint64_t{kCGImageMaxPixelCount};

// Cairo keeps its filter kernels to 16 source pixels per destination pixel (cairo-image-source.c
// clips the box filter there "to prevent extreme slowness"); beyond that a reduction would alias,
// so the source is first reduced by this factor per step until the rest is within cairo's range.
constexpr double kMaxCairoReduction = 16;
constexpr double kPreReductionStep = 8;

const PixelLayout& nativeLayout(CGBitmapInfo info) {
    static const PixelLayout argb = [] {
        PixelLayout layout;
        pixelLayoutFor(8, 32, 3, kNativeARGBBitmapInfo, &layout);
        return layout;
    }();
    static const PixelLayout xrgb = [] {
        PixelLayout layout;
        pixelLayoutFor(8, 32, 3, kNativeXRGBBitmapInfo, &layout);
        return layout;
    }();
    return info == kNativeARGBBitmapInfo ? argb : xrgb;
}

bool isNativeARGB(const PixelLayout& layout) {
    return layout == nativeLayout(kNativeARGBBitmapInfo);
}
bool isNativeXRGB(const PixelLayout& layout) {
    return layout == nativeLayout(kNativeXRGBBitmapInfo);
}

// Whether cairo can use `bytes` with `stride` as the pixels of an image surface.
bool cairoCanUse(const void* bytes, size_t stride) {
    return stride % 4 == 0 && stride <= static_cast<size_t>(INT_MAX) &&
           reinterpret_cast<uintptr_t>(bytes) % 4 == 0;
}

cairo_filter_t filterFor(CGInterpolationQuality quality, bool shouldInterpolate) {
    if (!shouldInterpolate) return CAIRO_FILTER_NEAREST;
    switch (quality) {
        case kCGInterpolationNone:
            return CAIRO_FILTER_NEAREST;
        case kCGInterpolationLow:
            return CAIRO_FILTER_BILINEAR;
        case kCGInterpolationHigh:
            return CAIRO_FILTER_BEST;
        case kCGInterpolationMedium:
        case kCGInterpolationDefault:
        default:
            return CAIRO_FILTER_GOOD;
    }
}

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

// `source` (width × height) reduced to newWidth × newHeight with cairo's box filter.
Surface reduced(cairo_surface_t* source, int width, int height, int newWidth, int newHeight) {
    Surface result(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, newWidth, newHeight));
    if (cairo_surface_status(result.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    cairo_t* cr = cairo_create(result.get());
    cairo_scale(cr, static_cast<double>(newWidth) / width, static_cast<double>(newHeight) / height);
    cairo_set_source_surface(cr, source, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    return ok ? std::move(result) : nullptr;
}

// An image that is not in the context's own pixels, converted and reduced by kPreReductionStep
// along the axes that ask for it in one pass, each pixel of the result the average of its block:
// a band of rows at a time, so that the whole image is never held converted (an image at the size
// limit would otherwise take another 400 MB just to be drawn small). Null on failure.
Surface convertedAndReduced(const CGImage& image, const CGColorSpace& destination, bool alongX,
                            bool alongY) {
    const size_t stepX = alongX ? size_t(kPreReductionStep) : 1;
    const size_t stepY = alongY ? size_t(kPreReductionStep) : 1;
    const size_t width = image.width, height = image.height;
    const size_t newWidth = (width + stepX - 1) / stepX, newHeight = (height + stepY - 1) / stepY;
    Surface result(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(newWidth), int(newHeight)));
    if (cairo_surface_status(result.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
    cairo_surface_flush(result.get());
    uint8_t* pixels = cairo_image_surface_get_data(result.get());
    const size_t stride = size_t(cairo_image_surface_get_stride(result.get()));
    std::vector<uint32_t> band(width * stepY);
    std::vector<uint64_t> sums(newWidth * 4);
    for (size_t row = 0; row < newHeight; ++row) {
        const size_t firstRow = row * stepY, rows = std::min(stepY, height - firstRow);
        if (!imageToNativeARGB(image, destination, band.data(), width, firstRow, rows))
            return nullptr;
        std::fill(sums.begin(), sums.end(), 0);
        for (size_t y = 0; y < rows; ++y)
            for (size_t x = 0; x < width; ++x) {
                const uint32_t word = band[y * width + x];
                uint64_t* sum = &sums[x / stepX * 4];
                for (int channel = 0; channel < 4; ++channel)
                    sum[channel] += word >> (8 * channel) & 255;
            }
        auto* out = reinterpret_cast<uint32_t*>(pixels + row * stride);
        for (size_t x = 0; x < newWidth; ++x) {
            // Averages of premultiplied pixels are premultiplied pixels.
            const uint64_t count = rows * std::min(stepX, width - x * stepX);
            uint32_t word = 0;
            for (int channel = 0; channel < 4; ++channel)
                word |= uint32_t((sums[x * 4 + channel] + count / 2) / count) << (8 * channel);
            out[x] = word;
        }
    }
    cairo_surface_mark_dirty(result.get());
    return result;
}

}  // namespace

// ---- CGContext

CGContext::~CGContext() {
    if (vector) {
        finishVector();
    } else {
        // Layers left open are dropped (a bitmap's pixels are not changed by them).
        for (const Group& group : groups)
            if (group.recording) {
                cairo_destroy(group.cr);
                cairo_surface_destroy(group.recording);
            }
    }
    if (bitmap && bitmap->callerData) syncVisible();
    if (cr) cairo_destroy(cr);
    if (surface) cairo_surface_destroy(surface);
}

void CGContext::takeInVisible() {
    if (!bitmap || !bitmap->visibleAhead) return;
    bitmap->visibleAhead = false;
    if (!bitmap->direct) {
        cairo_surface_flush(surface);
        uint8_t* pixels = cairo_image_surface_get_data(surface);
        const size_t stride = static_cast<size_t>(cairo_image_surface_get_stride(surface));
        for (size_t y = 0; y < bitmap->height; ++y)
            unpackToNative(bitmap->layout, bitmap->visible + y * bitmap->bytesPerRow, bitmap->width,
                           reinterpret_cast<uint32_t*>(pixels + y * stride));
    }
    cairo_surface_mark_dirty(surface);
}

void CGContext::syncVisible() {
    if (!bitmap || !bitmap->surfaceAhead) return;
    bitmap->surfaceAhead = false;
    cairo_surface_flush(surface);
    if (bitmap->direct) return;
    const uint8_t* pixels = cairo_image_surface_get_data(surface);
    const size_t stride = static_cast<size_t>(cairo_image_surface_get_stride(surface));
    for (size_t y = 0; y < bitmap->height; ++y)
        packFromNative(bitmap->layout, reinterpret_cast<const uint32_t*>(pixels + y * stride),
                       bitmap->width, bitmap->visible + y * bitmap->bytesPerRow);
}

void CGContext::markDrawn() {
    // Open groups have not reached the surface yet.
    if (!bitmap || !groups.empty()) return;
    bitmap->surfaceAhead = true;
    // Memory the caller supplied is the caller's view of the bitmap: keep it current.
    if (bitmap->callerData && !bitmap->direct) syncVisible();
}

// ---- Bitmap contexts

CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, CGColorSpaceRef space,
                                   CGBitmapInfo bitmapInfo) {
    if (bitsPerComponent != 8 || CGColorSpaceGetModel(space) != kCGColorSpaceModelRGB)
        return nullptr;
    if (!sizeWithinLimits(width, height)) return nullptr;
    PixelLayout layout;
    if (!pixelLayoutFor(8, 32, 3, bitmapInfo, &layout)) return nullptr;
    if (layout.alpha != PixelLayout::Alpha::premultiplied &&
        layout.alpha != PixelLayout::Alpha::skip)
        return nullptr;  // CoreGraphics has no contexts with straight alpha either
    const size_t rowBytes = width * 4;
    if (bytesPerRow == 0) bytesPerRow = rowBytes;
    if (bytesPerRow < rowBytes) return nullptr;

    auto bitmap = std::make_unique<CGContext::Bitmap>();
    bitmap->width = width;
    bitmap->height = height;
    bitmap->bytesPerRow = bytesPerRow;
    bitmap->bitmapInfo = bitmapInfo;
    bitmap->layout = layout;
    if (data) {
        bitmap->visible = static_cast<uint8_t*>(data);
        bitmap->callerData = true;
    } else {
        const auto total = checkedMultiply(bytesPerRow, height);
        if (!total || *total > kMaxOwnedBitmapBytes) return nullptr;
        bitmap->ownedVisible.assign(*total, 0);
        bitmap->visible = bitmap->ownedVisible.data();
    }
    const bool skip = layout.alpha == PixelLayout::Alpha::skip;
    const cairo_format_t format = skip ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32;
    bitmap->direct = (skip ? isNativeXRGB(layout) : isNativeARGB(layout)) &&
                     cairoCanUse(bitmap->visible, bytesPerRow);

    auto context = std::make_shared<CGContext>();
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    context->surface = bitmap->direct
                           ? cairo_image_surface_create_for_data(bitmap->visible, format, w, h,
                                                                 static_cast<int>(bytesPerRow))
                           : cairo_image_surface_create(format, w, h);
    if (cairo_surface_status(context->surface) != CAIRO_STATUS_SUCCESS) return nullptr;
    context->cr = cairo_create(context->surface);
    if (cairo_status(context->cr) != CAIRO_STATUS_SUCCESS) return nullptr;
    context->space = std::move(space);
    context->page = CGRectMake(0, 0, double(width), double(height));
    cairo_matrix_init(&context->deviceToCairo, 1, 0, 0, -1, 0, double(height));
    context->gstate.clipBox = context->page;
    // The caller's bytes are the starting picture; the context's own start zeroed, as does a new
    // cairo surface.
    bitmap->visibleAhead = bitmap->callerData;
    context->bitmap = std::move(bitmap);
    return context;
}

void* CGBitmapContextGetData(const CGContextRef& context) {
    if (!context || !context->bitmap) return nullptr;
    context->syncVisible();
    context->bitmap->visibleAhead = true;
    return context->bitmap->visible;
}

size_t CGBitmapContextGetWidth(const CGContextRef& context) {
    return context && context->bitmap ? context->bitmap->width : 0;
}
size_t CGBitmapContextGetHeight(const CGContextRef& context) {
    return context && context->bitmap ? context->bitmap->height : 0;
}
size_t CGBitmapContextGetBytesPerRow(const CGContextRef& context) {
    return context && context->bitmap ? context->bitmap->bytesPerRow : 0;
}
size_t CGBitmapContextGetBitsPerComponent(const CGContextRef& context) {
    return context && context->bitmap ? 8 : 0;
}
size_t CGBitmapContextGetBitsPerPixel(const CGContextRef& context) {
    return context && context->bitmap ? 32 : 0;
}
CGColorSpaceRef CGBitmapContextGetColorSpace(const CGContextRef& context) {
    return context && context->bitmap ? context->space : nullptr;
}
CGBitmapInfo CGBitmapContextGetBitmapInfo(const CGContextRef& context) {
    return context && context->bitmap ? context->bitmap->bitmapInfo : 0;
}
CGImageAlphaInfo CGBitmapContextGetAlphaInfo(const CGContextRef& context) {
    return static_cast<CGImageAlphaInfo>(CGBitmapContextGetBitmapInfo(context) &
                                         kCGBitmapAlphaInfoMask);
}

CGImageRef CGBitmapContextCreateImage(const CGContextRef& context) {
    if (!context || !context->bitmap) return nullptr;
    context->syncVisible();
    const CGContext::Bitmap& bitmap = *context->bitmap;
    const size_t length = bitmap.bytesPerRow * bitmap.height;
    std::vector<uint8_t> copy(bitmap.visible, bitmap.visible + length);
    return makeImage(bitmap.width, bitmap.height, 32, bitmap.bytesPerRow, context->space,
                     bitmap.bitmapInfo, std::move(copy));
}

// ---- Graphics state

void CGContextSaveGState(const CGContextRef& context) {
    if (context) context->stack.push_back(context->gstate);
}

void CGContextRestoreGState(const CGContextRef& context) {
    if (!context || context->stack.size() <= context->layerStackFloor()) return;
    context->gstate = std::move(context->stack.back());
    context->stack.pop_back();
}

size_t CGContextGetGStateDepth(const CGContextRef& context) {
    return context ? context->stack.size() : 0;
}

void CGContextTranslateCTM(const CGContextRef& context, CGFloat tx, CGFloat ty) {
    if (context) context->gstate.ctm = CGAffineTransformTranslate(context->gstate.ctm, tx, ty);
}

void CGContextScaleCTM(const CGContextRef& context, CGFloat sx, CGFloat sy) {
    if (context) context->gstate.ctm = CGAffineTransformScale(context->gstate.ctm, sx, sy);
}

void CGContextRotateCTM(const CGContextRef& context, CGFloat angle) {
    if (context) context->gstate.ctm = CGAffineTransformRotate(context->gstate.ctm, angle);
}

void CGContextConcatCTM(const CGContextRef& context, CGAffineTransform transform) {
    if (context) context->gstate.ctm = CGAffineTransformConcat(transform, context->gstate.ctm);
}

CGAffineTransform CGContextGetCTM(const CGContextRef& context) {
    return context ? context->gstate.ctm : CGAffineTransformIdentity;
}

CGSize CGContextConvertSizeToDeviceSpace(const CGContextRef& context, CGSize size) {
    return context ? CGSizeApplyAffineTransform(size, context->gstate.ctm) : size;
}

CGRect CGContextConvertRectToDeviceSpace(const CGContextRef& context, CGRect rect) {
    return context ? CGRectApplyAffineTransform(rect, context->gstate.ctm) : rect;
}

void CGContextSetInterpolationQuality(const CGContextRef& context, CGInterpolationQuality quality) {
    if (context) context->gstate.interpolation = quality;
}

CGInterpolationQuality CGContextGetInterpolationQuality(const CGContextRef& context) {
    return context ? context->gstate.interpolation : kCGInterpolationDefault;
}

// ---- Drawing

void CGContextDrawImage(const CGContextRef& context, CGRect rect, const CGImageRef& image) {
    if (!context || !image || !image->bytes.data()) return;
    const double x = rect.origin.x, y = rect.origin.y;
    const double w = rect.size.width, h = rect.size.height;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(w) || !std::isfinite(h) ||
        w == 0 || h == 0)
        return;

    const cairo_filter_t filter =
        filterFor(context->gstate.interpolation, image->shouldInterpolate);
    // Image pixels per device pixel along each image axis.
    const CGAffineTransform& t = context->gstate.ctm;
    const double deviceWidth = std::fabs(w) * std::hypot(t.a, t.b);
    const double deviceHeight = std::fabs(h) * std::hypot(t.c, t.d);
    // (A singular CTM gives a device size of 0; beginPaint below then paints nothing.)
    const bool smoothed = (filter == CAIRO_FILTER_GOOD || filter == CAIRO_FILTER_BEST) &&
                          deviceWidth > 0 && deviceHeight > 0 && std::isfinite(deviceWidth) &&
                          std::isfinite(deviceHeight);
    const auto reducesWidth = [&](int sourceWidth) {
        return smoothed && sourceWidth > 1 && sourceWidth > kMaxCairoReduction * deviceWidth;
    };
    const auto reducesHeight = [&](int sourceHeight) {
        return smoothed && sourceHeight > 1 && sourceHeight > kMaxCairoReduction * deviceHeight;
    };

    // The image as a cairo surface of premultiplied native words in the context's colours: its own
    // bytes when they already are that, else a converted copy, reduced as it is made when the image
    // is to be drawn much smaller.
    const CGColorSpace& destination = *context->space;
    const bool sameColours = image->space && sameColorimetry(*image->space, destination);
    const bool argb = isNativeARGB(image->layout);
    const bool xrgb = isNativeXRGB(image->layout);
    std::vector<uint32_t> converted;
    Surface source;
    int sourceWidth = static_cast<int>(image->width);
    int sourceHeight = static_cast<int>(image->height);
    if (sameColours && (argb || xrgb) && cairoCanUse(image->bytes.data(), image->bytesPerRow)) {
        // Cairo only reads a source surface; the const_cast does not lead to a write.
        source.reset(cairo_image_surface_create_for_data(
            const_cast<uint8_t*>(image->bytes.data()),
            argb ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, sourceWidth, sourceHeight,
            static_cast<int>(image->bytesPerRow)));
    } else if (reducesWidth(sourceWidth) || reducesHeight(sourceHeight)) {
        source = convertedAndReduced(*image, destination, reducesWidth(sourceWidth),
                                     reducesHeight(sourceHeight));
        if (!source) return;
        sourceWidth = cairo_image_surface_get_width(source.get());
        sourceHeight = cairo_image_surface_get_height(source.get());
    } else {
        converted.resize(image->width * image->height);
        if (!imageToNativeARGB(*image, destination, converted.data(), image->width, 0,
                               image->height))
            return;
        source.reset(cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(converted.data()), CAIRO_FORMAT_ARGB32, sourceWidth,
            sourceHeight, sourceWidth * 4));
    }
    if (cairo_surface_status(source.get()) != CAIRO_STATUS_SUCCESS) return;

    while (reducesWidth(sourceWidth) || reducesHeight(sourceHeight)) {
        const int newWidth = reducesWidth(sourceWidth)
                                 ? static_cast<int>(std::ceil(sourceWidth / kPreReductionStep))
                                 : sourceWidth;
        const int newHeight = reducesHeight(sourceHeight)
                                  ? static_cast<int>(std::ceil(sourceHeight / kPreReductionStep))
                                  : sourceHeight;
        Surface smaller = reduced(source.get(), sourceWidth, sourceHeight, newWidth, newHeight);
        if (!smaller) return;
        source = std::move(smaller);
        sourceWidth = newWidth;
        sourceHeight = newHeight;
    }

    cairo_t* cr = context->beginPaint();
    if (!cr) return;
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(source.get());
    // User space → image pixels: x from the rectangle's minimum x, rows down from its maximum y.
    cairo_matrix_t toImage;
    cairo_matrix_init(&toImage, sourceWidth / w, 0, 0, -sourceHeight / h, -x * sourceWidth / w,
                      (y + h) * sourceHeight / h);
    cairo_pattern_set_matrix(pattern, &toImage);
    // Padding keeps the edge pixels' colour up to the rectangle's edge, instead of filtering them
    // into the transparency outside the image.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, filter);
    cairo_set_source(cr, pattern);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
    cairo_pattern_destroy(pattern);
    context->endPaint();
}

void CGContextFlush(const CGContextRef& context) {
    if (!context) return;
    if (context->vector)
        cairo_surface_flush(context->surface);
    else
        context->syncVisible();
}

void CGContextRelease(CGContextRef& context) {
    context.reset();
}

// ---- Text state

void CGContextSetTextMatrix(const CGContextRef& context, CGAffineTransform t) {
    if (context) context->textMatrix = t;
}

CGAffineTransform CGContextGetTextMatrix(const CGContextRef& context) {
    return context ? context->textMatrix : CGAffineTransformIdentity;
}

void CGContextSetTextPosition(const CGContextRef& context, CGFloat x, CGFloat y) {
    if (!context) return;
    context->textMatrix.tx = x;
    context->textMatrix.ty = y;
}

CGPoint CGContextGetTextPosition(const CGContextRef& context) {
    return context ? CGPointMake(context->textMatrix.tx, context->textMatrix.ty) : CGPointZero;
}
