// What drawing takes from a layer where the record leaves a choice open: the corner radius that
// fits the layer, the border colour of a layer without one, and whether a border or a shadow shows
// at all.

#include <algorithm>
#include <cmath>

#include "CGImageToData.h"
#include "NSColor.h"
#include "VTLayer.h"

namespace {

// Opaque black in the shared sRGB space: a border without a colour of its own draws in it. Made on
// first use and kept for the life of the process; only the drawing thread asks for it.
const CGColorRef& defaultBorderColor() {
    static const CGColorRef black = CGColorCreateSRGB(0, 0, 0, 1);
    return black;
}

}  // namespace

double VTLayer::visibleRadius() const {
    // Never beyond half the shorter side, that side cut down to whole points first.
    const double halfShorterSide = std::floor(std::min(width(), height())) * 0.5;
    return std::max(0.0, std::min(static_cast<double>(radius()), halfShorterSide));
}

const CGColorRef& VTLayer::visibleBorderColor() const {
    return borderColor_ ? borderColor_ : defaultBorderColor();
}

bool VTLayer::hasVisibleBorder() const {
    return borderWidth_ > 0 && CGColorGetAlpha(visibleBorderColor()) > 0;
}

bool VTLayer::hasVisibleShadow() const {
    return shadowColor_ && CGColorGetAlpha(shadowColor_) > 0;
}

const CGColorRef& VTLayer::visibleShadowColor() const {
    return shadowColor_ ? shadowColor_ : NSColor::clearColor()->CGColor();
}
