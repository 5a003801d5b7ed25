// The surfaces behind the host's contexts: a bitmap for PNG output, a vector document for PDF and
// SVG output.

#include "QLSurface.h"

#include <cmath>

namespace {

// A side of a surface in whole units: `length` rounded up, less a rounding error's worth, so that
// a picture fitted to exactly 256 units (256 / 667 × 667 = 256.00000000000003) is 256 wide.
// 0 when the side is absurd.
size_t sideOf(CGFloat length) {
    if (!std::isfinite(length) || length <= 0) return 0;
    const CGFloat units = std::ceil(length * (1 - 1e-12));
    if (units < 1 || units > CGFloat(kCGImageMaxDimension)) return 0;
    return static_cast<size_t>(units);
}

// A side of a page in points: `length`, or the largest page side when `length` is over it by no
// more than a rounding error.
CGFloat pageSideOf(CGFloat length) {
    const CGFloat limit = kCGVectorContextMaxDimension;
    return length > limit && length <= limit * (1 + 1e-12) ? limit : length;
}

// Whether a surface of width × height units is within CGImage.h's limits.
bool withinLimits(size_t width, size_t height) {
    return width != 0 && height != 0 && width <= kCGImageMaxPixelCount / height;
}

}  // namespace

QLSurface::QLSurface(QLOutputFormat format, std::unique_ptr<std::vector<uint8_t>> document,
                     CGContextRef context)
    : format_(format), document_(std::move(document)), context_(std::move(context)) {}

QLSurface::~QLSurface() {
    if (document_ && !closed_) CGPDFContextClose(context_);
}

std::unique_ptr<QLSurface> QLSurface::surfaceWithSize(CGSize size, QLOutputFormat format,
                                                      CGFloat unitsPerPoint) {
    if (!std::isfinite(size.width) || !std::isfinite(size.height) || size.width <= 0 ||
        size.height <= 0 || !std::isfinite(unitsPerPoint) || unitsPerPoint <= 0)
        return nullptr;
    CGContextRef context;
    std::unique_ptr<std::vector<uint8_t>> document;
    if (format == QLOutputFormat::PNG) {
        const size_t width = sideOf(size.width * unitsPerPoint);
        const size_t height = sideOf(size.height * unitsPerPoint);
        if (!withinLimits(width, height)) return nullptr;
        context = CGBitmapContextCreate(nullptr, width, height, 8, 0,
                                        CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
                                        kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host);
    } else {
        // A page has no pixels: CoreGraphics' own limit on its size in points holds. A page
        // scaled to exactly that limit may come out a rounding error over it.
        const CGRect mediaBox{
            {0, 0},
            {pageSideOf(size.width * unitsPerPoint), pageSideOf(size.height * unitsPerPoint)}};
        document = std::make_unique<std::vector<uint8_t>>();
        context = format == QLOutputFormat::PDF
                      ? CGPDFContextCreateWithData(document.get(), mediaBox)
                      : CGSVGContextCreateWithData(document.get(), mediaBox);
    }
    if (!context) return nullptr;
    CGContextScaleCTM(context, unitsPerPoint, unitsPerPoint);
    return std::unique_ptr<QLSurface>(
        new QLSurface(format, std::move(document), std::move(context)));
}

CGImageRef QLSurface::createImage() const {
    return format_ == QLOutputFormat::PNG ? CGBitmapContextCreateImage(context_) : nullptr;
}

std::shared_ptr<const NSData> QLSurface::closeDocument() {
    if (!document_) return nullptr;
    if (!closed_) {
        CGPDFContextClose(context_);
        closed_ = NSData::dataWithVector(std::move(*document_));
    }
    return closed_;
}
