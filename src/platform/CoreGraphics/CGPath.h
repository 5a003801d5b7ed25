#pragma once
// CoreGraphics paths with CoreGraphics' names, for the shapes layers draw and CoreText's frames.
//
// A path is a list of subpaths of straight lines and cubic or quadratic Bézier curves, in the
// coordinates of whoever draws it. `CGPathRef` shares an immutable path, `CGMutablePathRef` a
// mutable one (it converts to a CGPathRef); "release" is the end of the last reference. Every
// function accepts a null path and then does nothing (or answers as its comment says). A path is
// used by one thread at a time while it is changed; immutable paths may be shared between threads.

#include <cstdint>
#include <memory>

#include "CGGeometry.h"

#pragma GCC visibility push(default)  // exported from libVantler

class CGPath;  // opaque; defined in CGPathPrivate.h for the CoreGraphics sources
using CGPathRef = std::shared_ptr<const CGPath>;
using CGMutablePathRef = std::shared_ptr<CGPath>;

// CoreGraphics' enumeration, with its values.
enum CGPathElementType : int32_t {
    kCGPathElementMoveToPoint = 0,
    kCGPathElementAddLineToPoint = 1,
    kCGPathElementAddQuadCurveToPoint = 2,
    kCGPathElementAddCurveToPoint = 3,
    kCGPathElementCloseSubpath = 4,
};

// ---- Creation
CGMutablePathRef CGPathCreateMutable();
// A new path of the rectangle (standardised): a move to its minimum corner, lines counter-clockwise
// in a y-up space (min x max y last) and a close, each point mapped by `transform` when it is not
// null.
CGPathRef CGPathCreateWithRect(CGRect rect, const CGAffineTransform* transform);
// A new path of the rectangle (standardised) with quarter-ellipse corners `cornerWidth` wide and
// `cornerHeight` tall (each a cubic Bézier, as CoreGraphics draws them), mapped by `transform` when
// not null. CoreGraphics asserts when a corner size is negative or more than half the side; here
// each is clamped into 0…half the side instead (a NaN reads as 0), so a hostile radius gives the
// nearest valid shape. A corner size of 0 gives the plain rectangle.
CGPathRef CGPathCreateWithRoundedRect(CGRect rect, CGFloat cornerWidth, CGFloat cornerHeight,
                                      const CGAffineTransform* transform);
// Ends the caller's reference now (release is otherwise by scope).
void CGPathRelease(CGPathRef& path);

// ---- Building. Each point is mapped by `m` when it is not null. A line or curve without a current
// point (before any move) is ignored, as is a close; CoreGraphics logs those and ignores them too.
void CGPathMoveToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x,
                       CGFloat y);
void CGPathAddLineToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x,
                          CGFloat y);
// A cubic Bézier from the current point through control points (cp1x, cp1y), (cp2x, cp2y) to
// (x, y).
void CGPathAddCurveToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat cp1x,
                           CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x, CGFloat y);
// Closes the current subpath with a line to its start; the start is the current point after.
void CGPathCloseSubpath(const CGMutablePathRef& path);
// A closed subpath of the rectangle, as CGPathCreateWithRect makes it.
void CGPathAddRect(const CGMutablePathRef& path, const CGAffineTransform* m, CGRect rect);
// Every element of `other`, each point mapped by `m` when not null.
void CGPathAddPath(const CGMutablePathRef& path, const CGAffineTransform* m,
                   const CGPathRef& other);

// ---- Queries
// True for a null path and a path without elements.
bool CGPathIsEmpty(const CGPathRef& path);
// The smallest rectangle holding every point of the path, control points included (CoreGraphics'
// definition); the null rectangle for an empty or null path.
CGRect CGPathGetBoundingBox(const CGPathRef& path);

#pragma GCC visibility pop
