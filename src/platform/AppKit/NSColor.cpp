#include "NSColor.h"

std::shared_ptr<NSColor> NSColor::colorWithCGColor(CGColorRef color) {
    return color ? std::make_shared<NSColor>(std::move(color)) : nullptr;
}

const std::shared_ptr<NSColor>& NSColor::clearColor() {
    static const auto clear = std::make_shared<NSColor>(
        CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceGenericGrayGamma2_2), {0.0, 0.0}));
    return clear;
}

std::shared_ptr<NSColor> NSColor::colorWithCalibratedRed_green_blue_alpha(CGFloat red,
                                                                          CGFloat green,
                                                                          CGFloat blue,
                                                                          CGFloat alpha) {
    return colorWithCGColor(CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceGenericRGB),
                                          {red, green, blue, alpha}));
}

const std::shared_ptr<NSColor>& NSColor::systemBlueColor() {
    static const auto blue = colorWithCGColor(CGColorCreate(
        CGColorSpaceCreateWithName(kCGColorSpaceSRGB), {0.0, 122.0 / 255.0, 1.0, 1.0}));
    return blue;
}
