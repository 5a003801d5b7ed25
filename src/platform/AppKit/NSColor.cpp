#include "NSColor.h"

std::shared_ptr<NSColor> NSColor::colorWithCGColor(CGColorRef color) {
    return color ? std::make_shared<NSColor>(std::move(color)) : nullptr;
}
