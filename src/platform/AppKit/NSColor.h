#pragma once
// AppKit's colour class, as far as drawing uses it: a wrapper of a CoreGraphics colour
// (`colorWithCGColor:`) for an attributed string's foreground colour, the clear colour that
// stands for no colour, and the few named and calibrated colours the editor's views use. Immutable.

#include <memory>

#include "CGColor.h"
#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSColor : public NSObject {
  public:
    NS_CLASS_RECORD("NSColor", NSObject::objcClass())

    // A colour of `color` (kept); none for a null colour.
    static std::shared_ptr<NSColor> colorWithCGColor(CGColorRef color);
    // Fully transparent: white 0 and alpha 0 in the generic grey space (gamma 2.2), one object for
    // the life of the process.
    static const std::shared_ptr<NSColor>& clearColor();
    // Components in the generic RGB space (AppKit's calibrated colours).
    static std::shared_ptr<NSColor> colorWithCalibratedRed_green_blue_alpha(CGFloat red,
                                                                            CGFloat green,
                                                                            CGFloat blue,
                                                                            CGFloat alpha);
    // The system's accent blue of the light appearance, in sRGB (0, 122, 255).
    static const std::shared_ptr<NSColor>& systemBlueColor();
    // The CoreGraphics colour, never null.
    const CGColorRef& CGColor() const { return color_; }

    explicit NSColor(CGColorRef color) : color_(std::move(color)) {}

  private:
    CGColorRef color_;
};

#pragma GCC visibility pop
