// Gradients and their painting. See CGGradient.h and CGContext.h for the contract.

#include "CGGradient.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "CGContextPrivate.h"

class CGGradient {
  public:
    struct Stop {
        CGFloat location;  // 0…1
        CGColorRef color;  // in the gradient's space
    };
    CGColorSpaceRef space;
    std::vector<Stop> stops;
};

CGGradientRef CGGradientCreateWithColors(CGColorSpaceRef space, std::span<const CGColorRef> colors,
                                         std::span<const CGFloat> locations) {
    if (!space || colors.empty() || (!locations.empty() && locations.size() != colors.size()))
        return nullptr;
    auto gradient = std::make_shared<CGGradient>();
    for (size_t i = 0; i < colors.size(); ++i) {
        CGColorRef matched = CGColorCreateCopyByMatchingToColorSpace(
            space, kCGRenderingIntentDefault, colors[i], nullptr);
        if (!matched) return nullptr;  // also for a null colour
        const CGFloat evenly = colors.size() == 1 ? 0 : CGFloat(i) / CGFloat(colors.size() - 1);
        const CGFloat location = locations.empty() ? evenly : locations[i];
        gradient->stops.push_back(
            {std::isnan(location) ? 0 : std::clamp(location, 0.0, 1.0), std::move(matched)});
    }
    gradient->space = std::move(space);
    return gradient;
}

namespace {

// The part of user space to paint: a quadrilateral that covers `clip` (user space), cut at the
// start and the end of the axis where the options do not extend the colours beyond them. Empty
// when nothing of the clip lies between.
std::vector<CGPoint> paintedBand(CGRect clip, CGPoint start, CGPoint end,
                                 CGGradientDrawingOptions options) {
    const double length = std::hypot(end.x - start.x, end.y - start.y);
    const CGPoint along = CGPointMake((end.x - start.x) / length, (end.y - start.y) / length);
    const CGPoint across = CGPointMake(-along.y, along.x);
    // The clip's corners in the axis's own coordinates: distance along it from the start, and
    // distance across it.
    double alongMin = INFINITY, alongMax = -INFINITY, acrossMin = INFINITY, acrossMax = -INFINITY;
    for (const CGPoint corner : {CGPointMake(CGRectGetMinX(clip), CGRectGetMinY(clip)),
                                 CGPointMake(CGRectGetMaxX(clip), CGRectGetMinY(clip)),
                                 CGPointMake(CGRectGetMaxX(clip), CGRectGetMaxY(clip)),
                                 CGPointMake(CGRectGetMinX(clip), CGRectGetMaxY(clip))}) {
        const double dx = corner.x - start.x, dy = corner.y - start.y;
        const double a = dx * along.x + dy * along.y, c = dx * across.x + dy * across.y;
        alongMin = std::min(alongMin, a), alongMax = std::max(alongMax, a);
        acrossMin = std::min(acrossMin, c), acrossMax = std::max(acrossMax, c);
    }
    if (!(options & kCGGradientDrawsBeforeStartLocation)) alongMin = std::max(alongMin, 0.0);
    if (!(options & kCGGradientDrawsAfterEndLocation)) alongMax = std::min(alongMax, length);
    if (!(alongMin < alongMax)) return {};
    const auto at = [&](double a, double c) {
        return CGPointMake(start.x + a * along.x + c * across.x,
                           start.y + a * along.y + c * across.y);
    };
    return {at(alongMin, acrossMin), at(alongMax, acrossMin), at(alongMax, acrossMax),
            at(alongMin, acrossMax)};
}

}  // namespace

void CGContextDrawLinearGradient(const CGContextRef& context, const CGGradientRef& gradient,
                                 CGPoint startPoint, CGPoint endPoint,
                                 CGGradientDrawingOptions options) {
    if (!context || !gradient) return;
    const double length = std::hypot(endPoint.x - startPoint.x, endPoint.y - startPoint.y);
    if (!std::isfinite(startPoint.x) || !std::isfinite(startPoint.y) || !(length > 0) ||
        !std::isfinite(length))
        return;
    const CGRect clip = CGContextGetClipBoundingBox(context);
    if (CGRectIsNull(clip)) return;
    const std::vector<CGPoint> band = paintedBand(clip, startPoint, endPoint, options);
    if (band.empty()) return;

    cairo_t* cr = context->beginPaint();
    if (!cr) return;
    cairo_pattern_t* pattern =
        cairo_pattern_create_linear(startPoint.x, startPoint.y, endPoint.x, endPoint.y);
    for (const CGGradient::Stop& stop : gradient->stops) {
        const CGContext::Paint paint = context->paintFor(stop.color);
        cairo_pattern_add_color_stop_rgba(pattern, stop.location, paint[0], paint[1], paint[2],
                                          paint[3]);
    }
    // The band says where the colours are extended; within it, the end colours carry on.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_set_source(cr, pattern);
    cairo_new_path(cr);
    cairo_move_to(cr, band[0].x, band[0].y);
    for (size_t i = 1; i < band.size(); ++i) cairo_line_to(cr, band[i].x, band[i].y);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_pattern_destroy(pattern);
    context->endPaint();
}
