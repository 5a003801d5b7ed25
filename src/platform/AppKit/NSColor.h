#pragma once
// AppKit's colour class, as far as Part 4.2 uses it: a wrapper of a CoreGraphics colour
// (`colorWithCGColor:`, step 3 of "Text drawing"). Immutable.

#include <memory>

#include "CGColor.h"
#include "NSObject.h"

class NSColor : public NSObject {
  public:
    static const NSClass& objcClass() {
        static const NSClass cls{"NSColor", &NSObject::objcClass()};
        return cls;
    }
    const NSClass& classForKeyedArchiver() const override { return objcClass(); }

    // A colour of `color` (kept); none for a null colour.
    static std::shared_ptr<NSColor> colorWithCGColor(CGColorRef color);
    // The CoreGraphics colour, never null.
    const CGColorRef& CGColor() const { return color_; }

    explicit NSColor(CGColorRef color) : color_(std::move(color)) {}

  private:
    CGColorRef color_;
};
