#pragma once
// The surfaces behind the contexts the host makes (QLGeneratorHost.h, QLOutputFormat). For the
// host's own sources; not platform API.

#include <cstdint>
#include <memory>
#include <vector>

#include "CGContext.h"
#include "CGImage.h"
#include "NSData.h"
#include "QLGeneratorHost.h"

class QLSurface {
  public:
    // A surface for a context of `size` points, origin at the lower left, y upwards, with its CTM
    // scaled by unitsPerPoint. PNG: a bitmap of ceil(width·unitsPerPoint) ×
    // ceil(height·unitsPerPoint) pixels (sRGB, premultiplied, transparent). PDF/SVG: a vector
    // document of one page of size·unitsPerPoint points. Null for an absurd size or scale (not
    // finite, <= 0) or a surface beyond CGImage.h's limits in pixels (PNG) or
    // kCGVectorContextMaxDimension points (PDF/SVG).
    static std::unique_ptr<QLSurface> surfaceWithSize(CGSize size, QLOutputFormat format,
                                                      CGFloat unitsPerPoint);
    // Closes a vector document that is still open, so that its context writes nothing more.
    ~QLSurface();
    QLSurface(const QLSurface&) = delete;
    QLSurface& operator=(const QLSurface&) = delete;

    const CGContextRef& context() const { return context_; }
    QLOutputFormat format() const { return format_; }
    // PNG: the pixels drawn so far (a copy).
    CGImageRef createImage() const;
    // PDF/SVG: finishes the document (later drawing is lost) and returns its bytes; the same bytes
    // on every later call.
    std::shared_ptr<const NSData> closeDocument();

  private:
    QLSurface(QLOutputFormat format, std::unique_ptr<std::vector<uint8_t>> document,
              CGContextRef context);

    QLOutputFormat format_;
    // PDF/SVG: where the context writes; declared before the context, so that it outlives it.
    std::unique_ptr<std::vector<uint8_t>> document_;
    CGContextRef context_;
    std::shared_ptr<const NSData> closed_;  // PDF/SVG: the document once closed
};
