#pragma once
// AppKit's image class with AppKit's names, reduced to what image assets use: an image read from a
// file by the ImageIO stand-in, or wrapping a bitmap, and the bitmap handed back for drawing. An
// NSImage here holds exactly one bitmap representation (`CGImageRef`); it is immutable, so it may
// be shared between threads.

#include <memory>

#include "CGGeometry.h"
#include "CGImage.h"
#include "NSObject.h"
#include "NSURL.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSDictionary;
class NSGraphicsContext;

class NSImage : public NSObject {
  public:
    NS_CLASS_RECORD("NSImage", NSObject::objcClass())

    // The first image of the file a file URL names, in any format CGImageSource.h reads (decoded in
    // full now, keeping its colour space); none for another scheme, an unreadable file or bytes
    // that do not decode. Its size is its pixel size.
    static std::shared_ptr<NSImage> initWithContentsOfURL(const NSURL& url);
    // An image of `image` with `size` in points; the zero size (NSZeroSize) takes the bitmap's
    // pixel size, as AppKit's NSZeroSize does. None for a null bitmap.
    static std::shared_ptr<NSImage> initWithCGImage_size(CGImageRef image, CGSize size);

    // In points.
    CGSize size() const { return size_; }

    // The bitmap. AppKit would choose among representations for the proposed rectangle, context and
    // hints; with one representation the answer is always that bitmap, so the arguments (each may
    // be null) are not read and the rectangle is left as it is.
    CGImageRef CGImageForProposedRect_context_hints(CGRect* proposedDestRect,
                                                    const NSGraphicsContext* referenceContext,
                                                    const NSDictionary* hints) const;

  private:
    CGImageRef image_;
    CGSize size_ = CGSizeZero;
};

#pragma GCC visibility pop
