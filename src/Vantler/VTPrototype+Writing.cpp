// Writing documents with the picture of their entry screen.

#include "VTPrototype+Writing.h"

#include <algorithm>
#include <cmath>

#include "CGImageToData.h"
#include "NSException.h"
#include "NSKeyedArchiver.h"
#include "VTLayer+Offscreen.h"
#include "ZRGeometry.h"

namespace {

// Whether a bitmap context takes a bitmap of that many points at one pixel per point.
bool bitmapHolds(CGSize points) {
    const double width = std::ceil(points.width), height = std::ceil(points.height);
    return width <= double(kCGImageMaxDimension) && height <= double(kCGImageMaxDimension) &&
           width * height <= double(kCGImageMaxPixelCount);
}

// One pixel per point, as the thumbnail the generator would draw itself; a screen too large for
// that still gets a picture of the whole screen, smaller.
CGSize thumbnailPixelSize(CGSize points) {
    if (bitmapHolds(points)) return points;
    return CGSizeScale(points, std::min(kVantlerLargeScreenThumbnailSide / points.width,
                                        kVantlerLargeScreenThumbnailSide / points.height));
}

// The PNG of the entry screen, or none without one (or when it has no area to draw).
std::shared_ptr<NSData> entryScreenPNG(const VTPrototype& prototype) {
    const auto screen = prototype.entryScreen();
    if (!screen) return nullptr;
    // The screen's rectangle where drawing puts it, at the origin whatever its content offset, so
    // that the carried picture is the one the generator draws when a document carries none.
    const CGRect own = CGRectMake(0, 0, screen->width(), screen->height());
    const CGImageRef image = CreateCGImageWithPixelSize_bounds_drawSublayers(
        *screen, thumbnailPixelSize(own.size), own, true);
    return CGImageConvertToPNGData(image);
}

}  // namespace

std::shared_ptr<NSMutableData> dataFromPrototype_error(
    const std::shared_ptr<const VTPrototype>& prototype, std::shared_ptr<NSError>* error) {
    if (!prototype) return nullptr;
    try {
        auto data = NSMutableData::data();
        const auto archiver = NSKeyedArchiver::initForWritingWithMutableData(data);
        archiver->encodeObject_forKey(prototype, NSKeyedArchiveRootObjectKey);
        archiver->encodeInt64_forKey(kVantlerDocumentFormatVersion,
                                     kVantlerDocumentFormatVersionKey);
        const auto thumbnail = entryScreenPNG(*prototype);
        // Zero bytes tell readers that the document carries no picture.
        archiver->encodeBytes_length_forKey(thumbnail ? thumbnail->bytes() : nullptr,
                                            thumbnail ? thumbnail->length() : 0,
                                            kVantlerThumbnailKey);
        archiver->finishEncoding();
        return data;
    } catch (const NSException& exception) {  // an object graph the archive cannot hold
        // Every writing error says why, as every reading error does.
        if (error)
            *error = VTDocumentError(
                VTDocumentWriteErrorCode,
                exception.reason().empty() ? "Error writing document" : exception.reason(),
                nullptr);
        return nullptr;
    }
}
