#include "NSImage.h"

#include "CGImageSource.h"
#include "NSData.h"

std::shared_ptr<NSImage> NSImage::initWithContentsOfURL(const NSURL& url) {
    // Read, not mapped: the file is the user's and may change while it is decoded.
    const auto data = NSData::dataWithContentsOfURL(url);
    if (!data) return nullptr;
    const auto source = CGImageSourceCreateWithData(data, nullptr);
    return initWithCGImage_size(CGImageSourceCreateImageAtIndex(source, 0, nullptr), CGSizeZero);
}

std::shared_ptr<NSImage> NSImage::initWithCGImage_size(CGImageRef image, CGSize size) {
    if (!image) return nullptr;
    auto result = std::make_shared<NSImage>();
    if (size.width == 0 && size.height == 0)
        size = CGSizeMake(static_cast<CGFloat>(CGImageGetWidth(image)),
                          static_cast<CGFloat>(CGImageGetHeight(image)));
    result->image_ = std::move(image);
    result->size_ = size;
    return result;
}

CGImageRef NSImage::CGImageForProposedRect_context_hints(CGRect*, const NSGraphicsContext*,
                                                         const NSDictionary*) const {
    return image_;
}
