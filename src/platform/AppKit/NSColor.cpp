#include "NSColor.h"

std::shared_ptr<NSColor> NSColor::colorWithCGColor(CGColorRef color) {
    return color ? std::make_shared<NSColor>(std::move(color)) : nullptr;
}

const std::shared_ptr<NSColor>& NSColor::clearColor() {
    static const auto clear = std::make_shared<NSColor>(
        CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceGenericGrayGamma2_2), {0.0, 0.0}));
    return clear;
}
