// The request objects and the host operations that a generator calls.

#include "QLRequestPrivate.h"

#include <algorithm>
#include <cmath>

namespace {

bool isPositive(CGFloat value) {
    return std::isfinite(value) && value > 0;
}

// The dictionary a handler gave, kept beyond the call: shared when it is owned by a shared pointer
// (every Foundation object made through its factories is), copied otherwise.
std::shared_ptr<const NSDictionary> keep(CFDictionaryRef dictionary) {
    if (!dictionary) return nullptr;
    if (auto shared = dictionary->weak_from_this().lock())
        return std::static_pointer_cast<const NSDictionary>(shared);
    return NSDictionary::dictionaryWithEntries(dictionary->entries());
}

// Units of the surface per point for a context of `size` points: the pixels per point asked for
// of a PNG surface, 1 of a PDF/SVG page, times the fit (QLRequestOptions); then reduced to fit the
// host's budget. 0 when even that leaves too little of the picture (kQLMinSurfaceScale) or the size
// is absurd.
CGFloat surfaceScale(const QLRequestOptions& options, CGSize size) {
    if (!isPositive(size.width) || !isPositive(size.height)) return 0;
    const bool png = options.format == QLOutputFormat::PNG;
    CGFloat scale = png && isPositive(options.scale) ? options.scale : 1;
    if (isPositive(options.fitSize))
        scale *= std::min(options.fitSize / size.width, options.fitSize / size.height);
    const CGFloat longest = std::max(size.width, size.height);
    if (png) {
        scale = std::min(scale, CGFloat(kCGImageMaxDimension) / longest);
        // Both sides are now at most kCGImageMaxDimension: the product is finite.
        const CGFloat pixels = (size.width * scale) * (size.height * scale);
        if (pixels > kQLMaxSurfacePixels) scale *= std::sqrt(kQLMaxSurfacePixels / pixels);
    } else {
        scale = std::min(scale, kCGVectorContextMaxDimension / longest);
    }
    return scale >= kQLMinSurfaceScale ? scale : 0;
}

}  // namespace

void QLRequest::setData(CFDataRef data, CFStringRef contentType, CFDictionaryRef properties) {
    if (!data) return;
    // The handler keeps ownership of its data object: the host copies the bytes (QuickLook.h).
    result_.data = NSData::dataWithBytes_length(data->bytes(), data->length());
    result_.contentType = contentType ? contentType->UTF8String() : std::string();
    result_.dataProperties = keep(properties);
}

CGContextRef QLRequest::createContext(CGSize size, Boolean isBitmap, CFDictionaryRef properties) {
    QLContextRecord& record = result_.context.emplace();
    record.size = size;
    record.isBitmap = isBitmap != 0;
    record.properties = keep(properties);
    if (options_.refuseContexts) return nullptr;
    const CGFloat scale = surfaceScale(options_, size);
    auto surface = QLSurface::surfaceWithSize(size, options_.format, scale);
    if (!surface) return nullptr;  // an absurd size: the host declines the context
    record.created = true;
    record.unitsPerPoint = scale;
    CGContextRef context = surface->context();
    surfaces_.push_back(std::move(surface));
    return context;
}

void QLRequest::flushContext(const CGContextRef& context) {
    if (!context) return;
    const auto it = std::find_if(surfaces_.begin(), surfaces_.end(), [&](const auto& surface) {
        return surface->context() == context;
    });
    if (it == surfaces_.end()) return;
    QLSurface& surface = **it;
    if (surface.format() == QLOutputFormat::PNG)
        result_.image = surface.createImage();
    else
        result_.vectorData = surface.closeDocument();
    result_.flushed = true;
}

void QLRequest::setRefusalReason(CFStringRef reason) {
    result_.refusalReason = reason ? reason->UTF8String() : std::string();
}

QLRequestResult QLRequest::finish(OSStatus status) {
    result_.status = status;
    return std::move(result_);
}

void QLThumbnailRequestSetImageWithData(QLThumbnailRequestRef request, CFDataRef data,
                                        CFDictionaryRef properties) {
    if (request) request->setData(data, nullptr, properties);
}

void QLPreviewRequestSetDataRepresentation(QLPreviewRequestRef request, CFDataRef data,
                                           CFStringRef contentTypeUTI, CFDictionaryRef properties) {
    if (request) request->setData(data, contentTypeUTI, properties);
}

CGContextRef QLThumbnailRequestCreateContext(QLThumbnailRequestRef request, CGSize size,
                                             Boolean isBitmap, CFDictionaryRef properties) {
    return request ? request->createContext(size, isBitmap, properties) : nullptr;
}

CGContextRef QLPreviewRequestCreateContext(QLPreviewRequestRef request, CGSize size,
                                           Boolean isBitmap, CFDictionaryRef properties) {
    return request ? request->createContext(size, isBitmap, properties) : nullptr;
}

void QLThumbnailRequestFlushContext(QLThumbnailRequestRef request, const CGContextRef& context) {
    if (request) request->flushContext(context);
}

void QLPreviewRequestFlushContext(QLPreviewRequestRef request, const CGContextRef& context) {
    if (request) request->flushContext(context);
}

void QLThumbnailRequestSetRefusalReason(QLThumbnailRequestRef request, CFStringRef reason) {
    if (request) request->setRefusalReason(reason);
}

void QLPreviewRequestSetRefusalReason(QLPreviewRequestRef request, CFStringRef reason) {
    if (request) request->setRefusalReason(reason);
}
