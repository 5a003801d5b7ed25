// CoreGraphics paths. See CGPath.h for the contract.

#include "CGPath.h"

#include <algorithm>
#include <cmath>

#include "CGPathPrivate.h"

namespace {

// The Bézier control distance, as a fraction of the radius, of a quarter ellipse: 4/3·(√2 − 1),
// the value CoreGraphics' rounded rectangles use.
constexpr CGFloat kQuarterEllipseKappa = 0.5522847498307936;

CGPoint mapped(CGPoint point, const CGAffineTransform* m) {
    return m ? CGPointApplyAffineTransform(point, *m) : point;
}

// A corner size clamped into 0…half of the side (NaN reads as 0): see CGPathCreateWithRoundedRect.
CGFloat clampedCorner(CGFloat corner, CGFloat side) {
    if (!(corner > 0)) return 0;
    return std::min(corner, side / 2);
}

}  // namespace

// ---- CGPath

void CGPath::moveTo(CGPoint point) {
    // A move right after a move replaces it: a subpath of one point draws nothing either way.
    if (!elements.empty() && elements.back().type == kCGPathElementMoveToPoint)
        elements.back().points[0] = point;
    else
        elements.push_back({kCGPathElementMoveToPoint, {point}});
    hasCurrent = true;
    current = subpathStart = point;
}

void CGPath::lineTo(CGPoint point) {
    if (!hasCurrent) return;
    elements.push_back({kCGPathElementAddLineToPoint, {point}});
    current = point;
}

void CGPath::curveTo(CGPoint control1, CGPoint control2, CGPoint end) {
    if (!hasCurrent) return;
    elements.push_back({kCGPathElementAddCurveToPoint, {control1, control2, end}});
    current = end;
}

void CGPath::close() {
    if (!hasCurrent) return;
    if (!elements.empty() && elements.back().type == kCGPathElementCloseSubpath) return;
    elements.push_back({kCGPathElementCloseSubpath, {}});
    current = subpathStart;
}

void CGPath::addRect(CGRect rect, const CGAffineTransform* m) {
    const CGRect r = CGRectStandardize(rect);
    const CGFloat minX = r.origin.x, minY = r.origin.y;
    const CGFloat maxX = minX + r.size.width, maxY = minY + r.size.height;
    moveTo(mapped({minX, minY}, m));
    lineTo(mapped({maxX, minY}, m));
    lineTo(mapped({maxX, maxY}, m));
    lineTo(mapped({minX, maxY}, m));
    close();
}

void CGPath::append(const CGPath& other, const CGAffineTransform* m) {
    for (const Element& element : other.elements) {
        switch (element.type) {
            case kCGPathElementMoveToPoint:
                moveTo(mapped(element.points[0], m));
                break;
            case kCGPathElementAddLineToPoint:
                lineTo(mapped(element.points[0], m));
                break;
            case kCGPathElementAddQuadCurveToPoint:  // no function here makes one
                break;
            case kCGPathElementAddCurveToPoint:
                curveTo(mapped(element.points[0], m), mapped(element.points[1], m),
                        mapped(element.points[2], m));
                break;
            case kCGPathElementCloseSubpath:
                close();
                break;
        }
    }
}

void CGPath::clear() {
    elements.clear();
    hasCurrent = false;
    current = subpathStart = CGPointZero;
}

bool CGPath::finite() const {
    for (const Element& element : elements)
        for (size_t i = 0; i < element.pointCount(); ++i)
            if (!std::isfinite(element.points[i].x) || !std::isfinite(element.points[i].y))
                return false;
    return true;
}

CGRect CGPath::boundingBox() const {
    bool any = false;
    CGFloat minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (const Element& element : elements) {
        for (size_t i = 0; i < element.pointCount(); ++i) {
            const CGPoint p = element.points[i];
            if (!any) {
                minX = maxX = p.x;
                minY = maxY = p.y;
                any = true;
            }
            minX = std::fmin(minX, p.x);
            maxX = std::fmax(maxX, p.x);
            minY = std::fmin(minY, p.y);
            maxY = std::fmax(maxY, p.y);
        }
    }
    if (!any) return CGRectNull;
    return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}

// ---- Creation

CGMutablePathRef CGPathCreateMutable() {
    return std::make_shared<CGPath>();
}

CGPathRef CGPathCreateWithRect(CGRect rect, const CGAffineTransform* transform) {
    auto path = std::make_shared<CGPath>();
    path->addRect(rect, transform);
    return path;
}

CGPathRef CGPathCreateWithRoundedRect(CGRect rect, CGFloat cornerWidth, CGFloat cornerHeight,
                                      const CGAffineTransform* transform) {
    const CGRect r = CGRectStandardize(rect);
    const CGFloat cw = clampedCorner(cornerWidth, r.size.width);
    const CGFloat ch = clampedCorner(cornerHeight, r.size.height);
    if (cw == 0 || ch == 0) return CGPathCreateWithRect(r, transform);
    const CGFloat minX = r.origin.x, minY = r.origin.y;
    const CGFloat maxX = minX + r.size.width, maxY = minY + r.size.height;
    const CGFloat kx = cw * kQuarterEllipseKappa, ky = ch * kQuarterEllipseKappa;
    const CGAffineTransform* m = transform;
    auto path = std::make_shared<CGPath>();
    // Counter-clockwise in a y-up space from the bottom edge, each corner a quarter ellipse.
    path->moveTo(mapped({minX + cw, minY}, m));
    path->lineTo(mapped({maxX - cw, minY}, m));
    path->curveTo(mapped({maxX - cw + kx, minY}, m), mapped({maxX, minY + ch - ky}, m),
                  mapped({maxX, minY + ch}, m));
    path->lineTo(mapped({maxX, maxY - ch}, m));
    path->curveTo(mapped({maxX, maxY - ch + ky}, m), mapped({maxX - cw + kx, maxY}, m),
                  mapped({maxX - cw, maxY}, m));
    path->lineTo(mapped({minX + cw, maxY}, m));
    path->curveTo(mapped({minX + cw - kx, maxY}, m), mapped({minX, maxY - ch + ky}, m),
                  mapped({minX, maxY - ch}, m));
    path->lineTo(mapped({minX, minY + ch}, m));
    path->curveTo(mapped({minX, minY + ch - ky}, m), mapped({minX + cw - kx, minY}, m),
                  mapped({minX + cw, minY}, m));
    path->close();
    return path;
}

void CGPathRelease(CGPathRef& path) {
    path.reset();
}

// ---- Building

void CGPathMoveToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x,
                       CGFloat y) {
    if (path) path->moveTo(mapped({x, y}, m));
}

void CGPathAddLineToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x,
                          CGFloat y) {
    if (path) path->lineTo(mapped({x, y}, m));
}

void CGPathAddCurveToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat cp1x,
                           CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x, CGFloat y) {
    if (path) path->curveTo(mapped({cp1x, cp1y}, m), mapped({cp2x, cp2y}, m), mapped({x, y}, m));
}

void CGPathCloseSubpath(const CGMutablePathRef& path) {
    if (path) path->close();
}

void CGPathAddRect(const CGMutablePathRef& path, const CGAffineTransform* m, CGRect rect) {
    if (path) path->addRect(rect, m);
}

void CGPathAddPath(const CGMutablePathRef& path, const CGAffineTransform* m,
                   const CGPathRef& other) {
    // A path added to itself is read from a copy, so the loop does not see its own additions.
    if (path && other) path->append(CGPath(*other), m);
}

// ---- Queries

bool CGPathIsEmpty(const CGPathRef& path) {
    return !path || path->empty();
}

CGRect CGPathGetBoundingBox(const CGPathRef& path) {
    return path ? path->boundingBox() : CGRectNull;
}
