#include "CGContext+Utilities.h"

#include <cmath>
#include <numbers>
#include <utility>

#include "CGImageToData.h"

namespace {

// The ends of NSGradient's axis for `rect` at `angleDegrees`: through the centre, as long as the
// rectangle's extent along that direction.
std::pair<CGPoint, CGPoint> gradientAxis(CGRect rect, CGFloat angleDegrees) {
    const double radians = angleDegrees * std::numbers::pi / 180;
    const double cosine = std::cos(radians), sine = std::sin(radians);
    const double halfLength =
        (std::fabs(cosine) * CGRectGetWidth(rect) + std::fabs(sine) * CGRectGetHeight(rect)) / 2;
    const CGPoint centre = CGPointMake(CGRectGetMidX(rect), CGRectGetMidY(rect));
    return {CGPointMake(centre.x - halfLength * cosine, centre.y - halfLength * sine),
            CGPointMake(centre.x + halfLength * cosine, centre.y + halfLength * sine)};
}

CGGradientRef shadowGradient() {
    const CGColorRef darkest = CGColorCreateSRGB(0, 0, 0, 0.15);
    const CGColorRef clear = CGColorCreateSRGB(0, 0, 0, 0);
    const CGColorRef colors[] = {darkest, clear};
    return CGGradientCreateWithColors(CGColorGetColorSpace(darkest), colors);
}

}  // namespace

void drawShadowInRect_angle(const CGContextRef& context, CGRect rect, CGFloat angleDegrees) {
    const CGGradientRef gradient = shadowGradient();
    if (!context || !gradient) return;
    const auto [start, end] = gradientAxis(rect, angleDegrees);
    CGContextGStateScope state(context);
    CGContextSetBlendMode(context, kCGBlendModeMultiply);
    CGContextClipToRect(context, rect);
    CGContextDrawLinearGradient(
        context, gradient, start, end,
        kCGGradientDrawsBeforeStartLocation | kCGGradientDrawsAfterEndLocation);
}
