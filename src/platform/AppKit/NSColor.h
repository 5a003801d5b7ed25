#pragma once
// AppKit's colour class, as far as drawing uses it: a wrapper of a CoreGraphics colour
// (`colorWithCGColor:`) for an attributed string's foreground colour, and the clear colour that
// stands for no colour. Immutable.

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
    // The CoreGraphics colour, never null.
    const CGColorRef& CGColor() const { return color_; }

    explicit NSColor(CGColorRef color) : color_(std::move(color)) {}

  private:
    CGColorRef color_;
};

#pragma GCC visibility pop
