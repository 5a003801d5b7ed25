#pragma once
// The layer record, the part that the request path reads: the size and the fill colour, with their
// defaults, and how they are read from an archive. The rest of the record, the tree and the full
// archive form join it as the generator comes to draw them.

#include <memory>

#include "CGColor.h"
#include "CGGeometry.h"
#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

class VTLayer : public NSObject {
  public:
    NS_CLASS_RECORD("VTLayer", NSObject::objcClass())

    // Size 44 × 44, a new transparent sRGB background (0, 0, 0, 0).
    static std::shared_ptr<VTLayer> init();

    // Extent of the layer in its own coordinates, in points.
    CGSize size() const { return size_; }
    double width() const { return size_.width; }
    double height() const { return size_.height; }
    // The fill colour; never null after init or decoding.
    const CGColorRef& backgroundColor() const { return backgroundColor_; }

    bool initWithCoder(NSCoder& coder) override;

  protected:
    // The values of a new layer, for this class and its subclasses.
    void setInitialValues();

  private:
    CGSize size_ = CGSizeZero;
    CGColorRef backgroundColor_;
};

#pragma GCC visibility pop
