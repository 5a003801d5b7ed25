#include "VTLayer+Drawing.h"

#include <cmath>

#include "CGPath.h"

namespace {

// Part 4.2 "_drawLayerWithProvider", the steps that apply to the record of VTLayer.h.
void drawLayer(const VTLayer& layer, const CGContextRef& context) {
    const double w = layer.width();
    const double h = layer.height();
    if (!std::isfinite(w) || !std::isfinite(h)) return;  // step 2
    const CGRect bounds = CGRectMake(0, 0, w, h);
    // Step 3: a layer without sublayers or shadow paints at most its own rectangle.
    const CGRect clip = CGContextGetClipBoundingBox(context);
    if (!CGRectIntersectsRect(bounds, clip)) return;

    CGContextGStateScope stateA(context);  // step 4
    // Step 6: the shape. The record has no corner radius yet; a screen's is always 0 (Part 2.4).
    CGPathRef shape = CGPathCreateWithRoundedRect(bounds, 0, 0, nullptr);
    // Step 7: no content when both sides are 0. (Without a shadow the content rectangle is the
    // layer's own, which step 3 found inside the clip.)
    if (w == 0 && h == 0) return;
    // Step 8.2: the fill, clipped to the shape.
    if (layer.backgroundColor()) {
        CGContextGStateScope fill(context);
        CGContextAddPath(context, shape);
        CGContextClip(context);
        CGContextSetFillColorWithColor(context, layer.backgroundColor());
        CGContextAddPath(context, shape);
        CGContextFillPath(context);
    }
}

}  // namespace

void drawInContext(const VTLayer& layer, const CGContextRef& context) {
    if (!context) return;
    CGContextDrawVTLayerHierarchy(context, layer, nullptr, false);
}

void CGContextDrawVTLayerHierarchy(const CGContextRef& context, const VTLayer& layer,
                                   const VTLayerImageProvider&, bool) {
    if (!context) return;  // step 1
    CGContextGStateScope state(context);  // steps 2 and 4
    CGContextScaleCTM(context, 1, -1);
    CGContextTranslateCTM(context, 0, -layer.height());
    drawLayer(layer, context);  // step 3
}
