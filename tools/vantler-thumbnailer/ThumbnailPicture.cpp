// The thumbnail's PNG. See ThumbnailPicture.h.

#include "ThumbnailPicture.h"

#include <algorithm>
#include <cmath>

#include "CGColorSpace.h"
#include "CGContext.h"
#include "CGImageDestination.h"
#include "CGImageSource.h"
#include "CarriedThumbnail.h"
#include "NSDictionary.h"
#include "NSString.h"

namespace {

std::shared_ptr<const NSData> fail(std::string* reason, std::string text) {
    if (reason) *reason = std::move(text);
    return nullptr;
}

// A side scaled and rounded to whole pixels, at least 1.
size_t scaledSide(size_t side, double scale) {
    return std::max<size_t>(1, static_cast<size_t>(std::llround(double(side) * scale)));
}

// The image drawn into an sRGB bitmap that fits `size` × `size` pixels without enlarging it.
CGImageRef fittedSRGBImage(const CGImageRef& image, int64_t size) {
    const size_t width = CGImageGetWidth(image);
    const size_t height = CGImageGetHeight(image);
    const double scale =
        std::min({1.0, double(size) / double(width), double(size) / double(height)});
    const size_t fittedWidth = scaledSide(width, scale);
    const size_t fittedHeight = scaledSide(height, scale);
    const CGContextRef context = CGBitmapContextCreate(
        nullptr, fittedWidth, fittedHeight, 8, 0, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
        kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host);
    if (!context) return nullptr;
    // Bilinear down to half the size, where every pixel of the picture still weighs in, and a box
    // filter below: the high quality filter (Catmull-Rom) costs a 200 × 120 picture more than the
    // rest of the process together, and a box filter half of it, for no difference that shows at
    // thumbnail size.
    CGContextSetInterpolationQuality(context,
                                     scale >= 0.5 ? kCGInterpolationLow : kCGInterpolationMedium);
    CGContextDrawImage(context, CGRect{{0, 0}, {CGFloat(fittedWidth), CGFloat(fittedHeight)}},
                       image);
    return CGBitmapContextCreateImage(context);
}

// A length in points as whole units for a text entry.
std::string wholeUnits(CGFloat length) {
    return std::to_string(std::llround(length));
}

std::shared_ptr<const NSData> encodePNG(const CGImageRef& image, const std::string& width,
                                        const std::string& height, std::string* reason) {
    const auto string = [](const std::string& text) {
        return NSString::stringWithUTF8String(text);
    };
    const auto text =
        NSDictionary::dictionaryWithEntries({{string("Thumb::Image::Width"), string(width)},
                                             {string("Thumb::Image::Height"), string(height)}});
    const auto properties = NSDictionary::dictionaryWithEntries(
        {{string(kCGImagePropertyPNGDictionary),
          NSDictionary::dictionaryWithEntries({{string(kCGImagePropertyPNGTextEntries), text}})}});
    auto data = NSMutableData::data();
    const auto destination = CGImageDestinationCreateWithData(data, kUTTypePNG, 1, nullptr);
    CGImageDestinationAddImage(destination, image, properties.get());
    if (!CGImageDestinationFinalize(destination))
        return fail(reason, "the thumbnail could not be encoded as PNG");
    return data;
}

}  // namespace

std::shared_ptr<const NSData> createThumbnailPNG(const QLRequestResult& result, int64_t size,
                                                 std::string* reason) {
    if (result.data && result.data->length() != 0) {
        std::string problem;
        const CGImageRef embedded = decodeCarriedThumbnail(result.data, &problem);
        if (!embedded) return fail(reason, std::move(problem));
        const CGImageRef fitted = fittedSRGBImage(embedded, size);
        if (!fitted) return fail(reason, "the embedded thumbnail could not be drawn");
        return encodePNG(fitted, std::to_string(CGImageGetWidth(embedded)),
                         std::to_string(CGImageGetHeight(embedded)), reason);
    }
    if (result.flushed && result.image && result.context)
        return encodePNG(result.image, wholeUnits(result.context->size.width),
                         wholeUnits(result.context->size.height), reason);
    return fail(reason, "nothing was drawn");
}
