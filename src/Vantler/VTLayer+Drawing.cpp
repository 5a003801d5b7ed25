#include "VTLayer+Drawing.h"

#include <cmath>

#include "CGPath.h"

namespace {

// The layer's background colour, clipped to its shape; a layer without one paints nothing.
void fillShape(const VTLayer& layer, const CGPathRef& shape, const CGContextRef& context) {
    if (!layer.backgroundColor()) return;
    CGContextGStateScope fill(context);
    CGContextAddPath(context, shape);
    CGContextClip(context);
    CGContextSetFillColorWithColor(context, layer.backgroundColor());
    CGContextAddPath(context, shape);
    CGContextFillPath(context);
}

// One layer in its own y-down space. A layer of unbounded size draws nothing.
void drawLayer(const VTLayer& layer, const CGContextRef& context) {
    const double w = layer.width();
    const double h = layer.height();
    if (!std::isfinite(w) || !std::isfinite(h)) return;
    const CGRect bounds = CGRectMake(0, 0, w, h);
    // A layer without sublayers or shadow paints at most its own rectangle, so one outside the clip
    // is skipped whole.
    if (!CGRectIntersectsRect(bounds, CGContextGetClipBoundingBox(context))) return;
    // A layer with both sides 0 has no content to paint.
    if (w == 0 && h == 0) return;

    CGContextGStateScope state(context);
    // The record has no corner radius yet; a screen's is always 0.
    fillShape(layer, CGPathCreateWithRoundedRect(bounds, 0, 0, nullptr), context);
}

}  // namespace

void drawInContext(const VTLayer& layer, const CGContextRef& context) {
    if (!context) return;
    CGContextDrawVTLayerHierarchy(context, layer, nullptr, false);
}

void CGContextDrawVTLayerHierarchy(const CGContextRef& context, const VTLayer& layer,
                                   const VTLayerImageProvider&, bool) {
    if (!context) return;
    CGContextGStateScope state(context);
    CGContextScaleCTM(context, 1, -1);
    CGContextTranslateCTM(context, 0, -layer.height());
    drawLayer(layer, context);
}
