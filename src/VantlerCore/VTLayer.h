#pragma once
// The layer record (Part 2.6), so far the part that the request path reads: the size and the fill
// colour, with their defaults, and their archive form (Part 2.13 reading, steps 9.7 and 9.8). The
// rest of the record, the tree (Part 2.7) and the full archive form join it in their own Parts.

#include <memory>

#include "CGColor.h"
#include "CGGeometry.h"
#include "NSObject.h"

class VTLayer : public NSObject {
public:
    NS_CLASS_RECORD("VTLayer", NSObject::objcClass())

    // Part 2.6 "Construction": size 44 × 44, a new transparent sRGB background (0, 0, 0, 0).
    static std::shared_ptr<VTLayer> init();

    // Extent of the layer in its own coordinates, in points.
    CGSize size() const { return size_; }
    double width() const { return size_.width; }
    double height() const { return size_.height; }
    // The fill colour; never null after init or decoding.
    const CGColorRef& backgroundColor() const { return backgroundColor_; }

    bool initWithCoder(NSCoder& coder) override;

protected:
    // Part 2.6 "Construction", for this class and its subclasses.
    void setInitialValues();

private:
    CGSize size_ = CGSizeZero;
    CGColorRef backgroundColor_;
};
