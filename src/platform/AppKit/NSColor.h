#pragma once
// AppKit's colour class, as far as text drawing uses it: a wrapper of a CoreGraphics colour
// (`colorWithCGColor:`) for an attributed string's foreground colour. Immutable.

#include <memory>

#include "CGColor.h"
#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSColor : public NSObject {
  public:
    NS_CLASS_RECORD("NSColor", NSObject::objcClass())

    // A colour of `color` (kept); none for a null colour.
    static std::shared_ptr<NSColor> colorWithCGColor(CGColorRef color);
    // The CoreGraphics colour, never null.
    const CGColorRef& CGColor() const { return color_; }

    explicit NSColor(CGColorRef color) : color_(std::move(color)) {}

  private:
    CGColorRef color_;
};

#pragma GCC visibility pop
