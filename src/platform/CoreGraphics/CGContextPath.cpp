// The current path, clipping, filling and stroking. See CGContext.h for the contract.

#include <algorithm>
#include <cmath>

#include "CGContextPrivate.h"

using namespace CoreGraphicsPrivate;

namespace CoreGraphicsPrivate {

bool appendDevicePath(cairo_t* cr, const CGPath& path, const cairo_matrix_t& deviceToCairo) {
    if (!path.finite()) return false;
    auto point = [&](const CGPoint& p) {
        double x = p.x, y = p.y;
        cairo_matrix_transform_point(&deviceToCairo, &x, &y);
        return CGPointMake(std::clamp(x, -kMaxCairoCoordinate, kMaxCairoCoordinate),
                           std::clamp(y, -kMaxCairoCoordinate, kMaxCairoCoordinate));
    };
    cairo_save(cr);
    cairo_identity_matrix(cr);  // cairo keeps the path in device space: it outlives the restore
    for (const CGPath::Element& element : path.elements) {
        switch (element.type) {
            case kCGPathElementMoveToPoint: {
                const CGPoint p = point(element.points[0]);
                cairo_move_to(cr, p.x, p.y);
                break;
            }
            case kCGPathElementAddLineToPoint: {
                const CGPoint p = point(element.points[0]);
                cairo_line_to(cr, p.x, p.y);
                break;
            }
            case kCGPathElementAddCurveToPoint: {
                const CGPoint a = point(element.points[0]), b = point(element.points[1]),
                              c = point(element.points[2]);
                cairo_curve_to(cr, a.x, a.y, b.x, b.y, c.x, c.y);
                break;
            }
            case kCGPathElementCloseSubpath:
                cairo_close_path(cr);
                break;
            case kCGPathElementAddQuadCurveToPoint:  // no function here makes one
                break;
        }
    }
    cairo_restore(cr);
    return true;
}

}  // namespace CoreGraphicsPrivate

namespace {

enum class Operation { fill, stroke };

// Paints `path` (device space) with the gstate's fill or stroke.
void paintPath(CGContext& context, const CGPath& path, Operation operation) {
    if (path.empty()) return;
    if (operation == Operation::stroke && context.gstate.lineWidth == 0) return;
    cairo_t* cr = context.beginPaint();
    if (!cr) return;
    cairo_new_path(cr);
    if (appendDevicePath(cr, path, context.deviceToCairo)) {
        const CGContext::Paint& paint =
            operation == Operation::fill ? context.gstate.fill : context.gstate.stroke;
        cairo_set_source_rgba(cr, paint[0], paint[1], paint[2], paint[3]);
        if (operation == Operation::fill) {
            cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
            cairo_fill(cr);
        } else {
            // In user space (cairo's matrix is the CTM): the width follows the CTM at the stroke.
            cairo_set_line_width(cr, context.gstate.lineWidth);
            cairo_stroke(cr);
        }
    }
    cairo_new_path(cr);
    context.endPaint();
}

void clipTo(CGContext& context, CGPath devicePath) {
    auto clip = std::make_shared<const CGPath>(std::move(devicePath));
    // An empty path, or one with a point that is not finite, clips everything (applyClips).
    context.gstate.clipBox = clip->empty() || !clip->finite()
                                 ? CGRectNull
                                 : CGRectIntersection(context.gstate.clipBox, clip->boundingBox());
    context.gstate.clips.push_back(std::move(clip));
}

}  // namespace

void CGContextBeginPath(const CGContextRef& context) {
    if (context) context->path.clear();
}

void CGContextAddRect(const CGContextRef& context, CGRect rect) {
    if (context) context->path.addRect(rect, &context->gstate.ctm);
}

void CGContextAddPath(const CGContextRef& context, const CGPathRef& path) {
    if (context && path) context->path.append(*path, &context->gstate.ctm);
}

void CGContextFillPath(const CGContextRef& context) {
    if (!context) return;
    const CGPath path = std::move(context->path);
    context->path.clear();
    paintPath(*context, path, Operation::fill);
}

void CGContextStrokePath(const CGContextRef& context) {
    if (!context) return;
    const CGPath path = std::move(context->path);
    context->path.clear();
    paintPath(*context, path, Operation::stroke);
}

void CGContextFillRect(const CGContextRef& context, CGRect rect) {
    if (!context) return;
    context->path.clear();
    CGPath path;
    path.addRect(rect, &context->gstate.ctm);
    paintPath(*context, path, Operation::fill);
}

void CGContextClip(const CGContextRef& context) {
    if (!context) return;
    CGPath path = std::move(context->path);
    context->path.clear();
    clipTo(*context, std::move(path));
}

void CGContextClipToRect(const CGContextRef& context, CGRect rect) {
    if (!context) return;
    CGPath path;
    path.addRect(rect, &context->gstate.ctm);
    clipTo(*context, std::move(path));
}

CGRect CGContextGetClipBoundingBox(const CGContextRef& context) {
    if (!context) return CGRectNull;
    const CGAffineTransform& ctm = context->gstate.ctm;
    const double determinant = ctm.a * ctm.d - ctm.b * ctm.c;
    if (CGRectIsNull(context->gstate.clipBox) || !(std::fabs(determinant) > 0) ||
        !std::isfinite(determinant))
        return CGRectNull;
    return CGRectApplyAffineTransform(context->gstate.clipBox, CGAffineTransformInvert(ctm));
}
