// Offscreen pictures of a layer and its export as a PNG file.

#include "VTLayer+Offscreen.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

#include "CGColorSpace.h"
#include "CGContext.h"
#include "CGImageToData.h"
#include "NSFileManager+Utilities.h"
#include "VTImage.h"
#include "VTLayer+Drawing.h"
#include "ZRGeometry.h"

namespace {

// A bitmap's side for a requested side: rounded up, as a signed 32-bit count. None for a side that
// is not above 0, and for one no such count holds (NaN, infinite, 2^31 and beyond), which no bitmap
// context would take anyway.
std::optional<size_t> bitmapSide(double side) {
    if (!(side > 0)) return std::nullopt;
    const double rounded = std::ceil(side);
    if (!(rounded <= double(INT32_MAX))) return std::nullopt;
    return size_t(int32_t(rounded));
}

// The size that is fitted into the bitmap: the bounds' own, unless they have neither width nor
// height; then what the layer shows by itself, its image at one point per pixel, or a small square
// when it has no image to measure.
CGSize contentSize(const VTLayer& layer, CGRect bounds) {
    if (!(bounds.size.width <= 0 && bounds.size.height <= 0)) return bounds.size;
    if (const auto& image = layer.image(); image && image->CGImage())
        return CGSizeMake(double(CGImageGetWidth(image->CGImage())),
                          double(CGImageGetHeight(image->CGImage())));
    return CGSizeMake(10, 10);
}

// Scales the content uniformly to fit the requested pixel size and puts the centre of the bounds
// (with the bounds' own size) on the centre of the bitmap. Content of the bitmap's very aspect
// ratio fits its height.
CGAffineTransform fitting(CGSize pixels, CGRect bounds, CGSize content) {
    const double scale = content.width / content.height > pixels.width / pixels.height
                             ? pixels.width / content.width
                             : pixels.height / content.height;
    CGAffineTransform transform =
        CGAffineTransformTranslate(CGAffineTransformIdentity, pixels.width / 2, pixels.height / 2);
    transform = CGAffineTransformScale(transform, scale, scale);
    return CGAffineTransformTranslate(transform, -(bounds.origin.x + bounds.size.width / 2),
                                      -(bounds.origin.y + bounds.size.height / 2));
}

// A layer with nothing of its own to show is shown through its sublayers. (A layer always holds a
// fill colour, transparent at the least, so in practice the caller's choice decides.)
bool showsSublayers(const VTLayer& layer, bool drawSublayers) {
    return drawSublayers || (!layer.backgroundColor() && !layer.image());
}

// The characters that file systems or file managers refuse in a name, and NUL, at which a path
// would be cut short and name another file.
constexpr std::string_view kCharactersRemovedFromNames{"/\\?%*|\"<>\0", 10};

// The layer's name without those characters; they are ASCII, so no UTF-8 sequence is split. A
// layer without a name (only an archive can leave one so) exports like a name of only removed
// characters.
std::string exportName(const VTLayer& layer) {
    std::string name = layer.name().value_or("");
    std::erase_if(name,
                  [](char c) { return kCharactersRemovedFromNames.find(c) != std::string::npos; });
    return name;
}

// The picture of everything the layer paints, at one pixel per point, as PNG bytes; none when it
// cannot be made or encoded.
std::shared_ptr<NSData> paintedPNG(const VTLayer& layer) {
    // Visual bounds are in the layer's space, which lies at the content offset; the picture is
    // taken in the drawing space, where the layer's own rectangle is at the origin.
    const CGPoint offset = layer.contentOffset();
    const CGRect painted = CGRectOffset(visualBounds(layer), -offset.x, -offset.y);
    const auto image =
        imageWithPointSize_bounds_drawSublayers_scale(layer, painted.size, painted, true, 1.0);
    return image ? CGImageConvertToPNGData(NSImageCGImage(*image)) : nullptr;
}

}  // namespace

CGImageRef CreateCGImageWithPixelSize_bounds_drawSublayers(const VTLayer& layer, CGSize pixelSize,
                                                           CGRect bounds, bool drawSublayers) {
    const auto width = bitmapSide(pixelSize.width), height = bitmapSide(pixelSize.height);
    if (!width || !height) return nullptr;
    const CGContextRef context = CGBitmapContextCreate(
        nullptr, *width, *height, 8, 0, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
        kCGImageAlphaPremultipliedLast);
    if (!context) return nullptr;
    // y runs down from the requested height, not the rounded one: the picture sits on the bitmap's
    // bottom edge, and what rounding up added stays a transparent sliver along the top.
    CGContextTranslateCTM(context, 0, pixelSize.height);
    CGContextScaleCTM(context, 1, -1);
    CGContextConcatCTM(context, fitting(pixelSize, bounds, contentSize(layer, bounds)));
    _drawLayerWithProvider(layer, showsSublayers(layer, drawSublayers), false, context, nullptr);
    return CGBitmapContextCreateImage(context);
}

std::shared_ptr<NSImage> imageWithPointSize_bounds_drawSublayers_scale(
    const VTLayer& layer, CGSize pointSize, CGRect bounds, bool drawSublayers, double scale) {
    if (!(scale > 0)) return nullptr;
    const CGImageRef bitmap = CreateCGImageWithPixelSize_bounds_drawSublayers(
        layer, CGSizeScale(pointSize, scale), bounds, drawSublayers);
    // A platform image of no bitmap would be an empty picture of no size: none says so plainly.
    if (!bitmap) return nullptr;
    return NSImage::initWithCGImage_size(bitmap,
                                         CGSizeMake(double(CGImageGetWidth(bitmap)) / scale,
                                                    double(CGImageGetHeight(bitmap)) / scale));
}

std::shared_ptr<NSImage> imageWithPointSize_drawSublayers_scale(const VTLayer& layer,
                                                                CGSize pointSize,
                                                                bool drawSublayers, double scale) {
    // The layer's bounds lie at its content offset; in the drawing space its rectangle is at the
    // origin, and that is the rectangle drawing shows, whatever the offset.
    const CGRect own = CGRectMake(0, 0, layer.width(), layer.height());
    return imageWithPointSize_bounds_drawSublayers_scale(layer, pointSize, own, drawSublayers,
                                                         scale);
}

VTLayerPNGFile writePNGToDirectory(const VTLayer& layer, const std::string& directory) {
    const auto png = paintedPNG(layer);
    const std::string path = directory + "/" + exportName(layer) + ".png";
    const auto unique = uniqueFilePath(*NSFileManager::defaultManager(), path);
    if (!unique) return {path, false};
    return {*unique, png && png->writeToFile_atomically(*unique, true)};
}

std::string renderToDirectory(const VTLayer& layer, const std::string& directory) {
    return writePNGToDirectory(layer, directory).path;
}
