// CoreGraphics images. See CGImage.h for the contract; pixel conversions are in CGPixels.cpp.

#include "CGImage.h"

#include "CGColorSpacePrivate.h"
#include "CGImagePrivate.h"
#include "CheckedArithmetic.h"
#include "NSData.h"

using namespace CoreGraphicsPrivate;

namespace CoreGraphicsPrivate {

bool pixelLayoutFor(size_t bitsPerComponent, size_t bitsPerPixel, size_t colorComponents,
                    CGBitmapInfo bitmapInfo, PixelLayout* layout) {
    if (bitsPerComponent != 8) return false;
    // Anything but the alpha info and the byte order (float components, CoreGraphics' newer pixel
    // format bits) names a format we do not have.
    if (bitmapInfo & ~(kCGBitmapAlphaInfoMask | kCGBitmapByteOrderMask)) return false;
    const uint32_t alphaInfo = bitmapInfo & kCGBitmapAlphaInfoMask;
    const CGBitmapInfo order = bitmapInfo & kCGBitmapByteOrderMask;
    if (alphaInfo > kCGImageAlphaOnly || order > kCGBitmapByteOrder32Big) return false;

    PixelLayout result;
    result.colorComponents = static_cast<uint8_t>(colorComponents);
    if (colorComponents == 0) {
        // Alpha only: one byte, no space.
        if (alphaInfo != kCGImageAlphaOnly || bitsPerPixel != 8 || order != 0) return false;
        result.bytesPerPixel = 1;
        result.alpha = PixelLayout::Alpha::only;
        *layout = result;
        return true;
    }
    if (colorComponents != 1 && colorComponents != 3) return false;
    if (alphaInfo == kCGImageAlphaOnly) return false;

    const size_t opaqueBits = 8 * colorComponents;
    if (alphaInfo == kCGImageAlphaNone) {
        if (bitsPerPixel != opaqueBits || order != kCGBitmapByteOrderDefault) return false;
        result.bytesPerPixel = static_cast<uint8_t>(colorComponents);
        for (uint8_t i = 0; i < colorComponents; ++i) result.color[i] = i;
        *layout = result;
        return true;
    }
    if (bitsPerPixel != opaqueBits + 8) return false;
    const size_t bytes = bitsPerPixel / 8;  // 2 or 4
    bool reversed = false;
    if (bytes == 4) {
        if (order == kCGBitmapByteOrder16Little || order == kCGBitmapByteOrder16Big) return false;
        reversed = order == kCGBitmapByteOrder32Little;
    } else {
        if (order == kCGBitmapByteOrder32Little || order == kCGBitmapByteOrder32Big) return false;
        reversed = order == kCGBitmapByteOrder16Little;
    }
    const bool alphaFirst = alphaInfo == kCGImageAlphaPremultipliedFirst ||
                            alphaInfo == kCGImageAlphaFirst ||
                            alphaInfo == kCGImageAlphaNoneSkipFirst;
    switch (alphaInfo) {
        case kCGImageAlphaPremultipliedFirst:
        case kCGImageAlphaPremultipliedLast:
            result.alpha = PixelLayout::Alpha::premultiplied;
            break;
        case kCGImageAlphaFirst:
        case kCGImageAlphaLast:
            result.alpha = PixelLayout::Alpha::straight;
            break;
        default:
            result.alpha = PixelLayout::Alpha::skip;
            break;
    }
    // Offsets in big-endian order, then mirrored within the word for a little-endian order.
    auto place = [&](size_t offset) {
        return static_cast<uint8_t>(reversed ? bytes - 1 - offset : offset);
    };
    result.bytesPerPixel = static_cast<uint8_t>(bytes);
    result.alphaOffset = place(alphaFirst ? 0 : colorComponents);
    for (size_t i = 0; i < colorComponents; ++i) result.color[i] = place(alphaFirst ? i + 1 : i);
    *layout = result;
    return true;
}

bool sizeWithinLimits(size_t width, size_t height) {
    return width > 0 && height > 0 && width <= kCGImageMaxDimension &&
           height <= kCGImageMaxDimension && width * height <= kCGImageMaxPixelCount;
}

CGImageRef makeImage(size_t width, size_t height, size_t bitsPerPixel, size_t bytesPerRow,
                     CGColorSpaceRef space, CGBitmapInfo bitmapInfo, std::vector<uint8_t> pixels) {
    return CGImageCreate(width, height, 8, bitsPerPixel, bytesPerRow, std::move(space), bitmapInfo,
                         NSData::dataWithVector(std::move(pixels)));
}

}  // namespace CoreGraphicsPrivate

// ---- Data providers

CGDataProviderRef CGDataProviderCreateWithCFData(std::shared_ptr<const NSData> data) {
    if (!data) return nullptr;
    auto provider = std::make_shared<CGDataProvider>();
    provider->data = std::move(data);
    return provider;
}

std::shared_ptr<const NSData> CGDataProviderCopyData(const CGDataProviderRef& provider) {
    return provider ? provider->data : nullptr;
}

// ---- Images

CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                         CGDataProviderRef provider, const double* decode, bool shouldInterpolate,
                         CGColorRenderingIntent intent) {
    if (!provider || !provider->data || decode) return nullptr;
    if (!sizeWithinLimits(width, height)) return nullptr;
    const CGColorSpaceModel model = CGColorSpaceGetModel(space);
    if (space && model != kCGColorSpaceModelRGB && model != kCGColorSpaceModelMonochrome)
        return nullptr;
    PixelLayout layout;
    if (!pixelLayoutFor(bitsPerComponent, bitsPerPixel, CGColorSpaceGetNumberOfComponents(space),
                        bitmapInfo, &layout))
        return nullptr;
    // The sizes below cannot overflow: width and height are at most 32767 and a pixel at most 4
    // bytes, but bytesPerRow comes from the caller.
    const size_t rowBytes = width * layout.bytesPerPixel;
    if (bytesPerRow < rowBytes) return nullptr;
    const auto lastRowStart = checkedMultiply(bytesPerRow, height - 1);
    const auto needed = lastRowStart ? checkedAdd(*lastRowStart, rowBytes) : std::nullopt;
    const std::span<const uint8_t> bytes = provider->data->span();
    if (!needed || bytes.size() < *needed) return nullptr;

    auto image = std::make_shared<CGImage>();
    image->width = width;
    image->height = height;
    image->bitsPerComponent = bitsPerComponent;
    image->bitsPerPixel = bitsPerPixel;
    image->bytesPerRow = bytesPerRow;
    image->space = std::move(space);
    image->bitmapInfo = bitmapInfo;
    image->layout = layout;
    image->provider = std::move(provider);
    image->bytes = bytes;
    image->shouldInterpolate = shouldInterpolate;
    image->intent = intent;
    return image;
}

CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                         std::shared_ptr<const NSData> data) {
    return CGImageCreate(
        width, height, bitsPerComponent, bitsPerPixel, bytesPerRow, std::move(space), bitmapInfo,
        CGDataProviderCreateWithCFData(std::move(data)), nullptr, true, kCGRenderingIntentDefault);
}

size_t CGImageGetWidth(const CGImageRef& image) {
    return image ? image->width : 0;
}
size_t CGImageGetHeight(const CGImageRef& image) {
    return image ? image->height : 0;
}
size_t CGImageGetBitsPerComponent(const CGImageRef& image) {
    return image ? image->bitsPerComponent : 0;
}
size_t CGImageGetBitsPerPixel(const CGImageRef& image) {
    return image ? image->bitsPerPixel : 0;
}
size_t CGImageGetBytesPerRow(const CGImageRef& image) {
    return image ? image->bytesPerRow : 0;
}
CGColorSpaceRef CGImageGetColorSpace(const CGImageRef& image) {
    return image ? image->space : nullptr;
}
CGBitmapInfo CGImageGetBitmapInfo(const CGImageRef& image) {
    return image ? image->bitmapInfo : 0;
}
CGImageAlphaInfo CGImageGetAlphaInfo(const CGImageRef& image) {
    return image ? static_cast<CGImageAlphaInfo>(image->bitmapInfo & kCGBitmapAlphaInfoMask)
                 : kCGImageAlphaNone;
}
bool CGImageGetShouldInterpolate(const CGImageRef& image) {
    return image && image->shouldInterpolate;
}
CGColorRenderingIntent CGImageGetRenderingIntent(const CGImageRef& image) {
    return image ? image->intent : kCGRenderingIntentDefault;
}
CGDataProviderRef CGImageGetDataProvider(const CGImageRef& image) {
    return image ? image->provider : nullptr;
}
std::span<const uint8_t> CGImageGetBytes(const CGImageRef& image) {
    return image ? image->bytes : std::span<const uint8_t>();
}
