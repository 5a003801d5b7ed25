#pragma once
// Point, size and rectangle arithmetic.
//
// Pure free functions over the platform's geometry values (CGGeometry.h); every component is a
// double in points and angles are in radians unless the name says degrees. Each function is exactly
// its formula, evaluated in double precision in the order written, so results match the design
// tool bit for bit. Nothing fails: a division by zero gives an infinity or NaN.
// Rectangles are taken as they are: nothing here standardises a negative size or treats the null
// rectangle specially.
//
// Names are the design tool's, `CGInterpollateBetweenPoints` with its double l included. Inside the
// system the layer tree uses CGPointIntegral, CGPointOffset, CGPointAddPoint, CGPointSubtractPoint,
// CGPointMultiplySize and CGRectMakeWithOriginSize, and offscreen rendering CGSizeScale; the rest
// serve the design tool.

#include "CGGeometry.h"

#pragma GCC visibility push(default)  // exported from libVantler

// ---- Scalars
// r / π × 180, dividing by π first (π = 3.141592653589793).
CGFloat radToDeg(CGFloat radians);
// d × π / 180, multiplying first.
CGFloat degToRad(CGFloat degrees);
// lower when value < lower, else upper when upper < value, else value. With lower > upper a value
// below lower gives lower, any other value upper. A NaN value comes back unchanged.
CGFloat clamp(CGFloat value, CGFloat lower, CGFloat upper);

// ---- Points
// Each coordinate rounded to a whole number, halves away from zero: (1.5, −1.5) → (2, −2).
CGPoint CGPointIntegral(CGPoint point);
// (x·factor, y·factor).
CGPoint CGPointScale(CGPoint point, CGFloat factor);
// The same as CGPointScale.
CGPoint CGPointMultiply(CGPoint point, CGFloat factor);
// (x·width, y·height): a point in fractions of a size (an anchor point) made absolute.
CGPoint CGPointMultiplySize(CGPoint point, CGSize size);
// (a.x / b.x, a.y / b.y).
CGPoint CGPointDividePoint(CGPoint a, CGPoint b);
// x² + y².
CGFloat CGPointLengthSquared(CGPoint point);
// √(x² + y²).
CGFloat CGPointLength(CGPoint point);
// (x + dx, y + dy).
CGPoint CGPointOffset(CGPoint point, CGFloat dx, CGFloat dy);
// (a.x + b.x, a.y + b.y).
CGPoint CGPointAddPoint(CGPoint a, CGPoint b);
// (a.x − b.x, a.y − b.y).
CGPoint CGPointSubtractPoint(CGPoint a, CGPoint b);
// (a.x − b.x, a.y − b.y): the first minus the second, as CGPointSubtractPoint.
CGPoint CGPointToPoint(CGPoint a, CGPoint b);
// (c.x + fx·(p.x − c.x), c.y + fy·(p.y − c.y)) with the factors (fx, fy) given as a point.
CGPoint CGPointScaleAroundPoint(CGPoint point, CGPoint factors, CGPoint center);
// With sn = sin(−angle), cs = cos(angle): (cs·x − sn·y, cs·y + sn·x), that is
// (x·cos θ + y·sin θ, y·cos θ − x·sin θ): clockwise in a y-up space. (1, 0) by π/2 gives
// (cos(π/2), −1), cos(π/2) being 6.1e−17 rather than 0.
CGPoint CGPointRotate(CGPoint point, CGFloat angle);
// CGPointRotate of point − center, then moved back: (cs·dx − sn·dy + c.x, cs·dy + sn·dx + c.y).
CGPoint CGPointRotateAroundPoint(CGPoint point, CGFloat angle, CGPoint center);
// The length of point's projection on direction: (p.x·d.x + p.y·d.y) / √(d.x² + d.y²). A zero
// direction gives NaN or an infinity.
CGFloat CGPointComponentAlongPoint(CGPoint point, CGPoint direction);
// a.x·b.x + a.y·b.y.
CGFloat dotPoints(CGPoint a, CGPoint b);
// √((a.x − b.x)² + (a.y − b.y)²).
CGFloat distanceBetweenPoints(CGPoint a, CGPoint b);
// (a.x − b.x)² + (a.y − b.y)².
CGFloat distanceSquaredBetweenPoints(CGPoint a, CGPoint b);
// atan2(b.x − a.x, b.y − a.y): the x difference is atan2's first argument, so the angle is 0 when b
// lies straight along +y from a and π/2 when it lies along +x. Range −π … π.
CGFloat angleBetweenPoints(CGPoint a, CGPoint b);
// (a.x + t·(b.x − a.x), a.y + t·(b.y − a.y)) with the 32-bit fraction t widened to double first
// (so 0.1f acts as 0.100000001490116…); t is not limited to 0 … 1.
CGPoint CGInterpollateBetweenPoints(float fraction, CGPoint a, CGPoint b);

// ---- Rectangles
// (0, 0, width, height).
CGRect CGRectMakeWithSize(CGSize size);
// (origin.x, origin.y, width, height).
CGRect CGRectMakeWithOriginSize(CGPoint origin, CGSize size);
// (c.x − width·0.5, c.y − height·0.5, width, height).
CGRect CGRectMakeWithSizeCenter(CGSize size, CGPoint center);
// (x + width·0.5, y + height·0.5).
CGPoint CGRectCenter(CGRect rect);
// (min(a.x, b.x), min(a.y, b.y), |b.x − a.x|, |b.y − a.y|): the same rectangle whichever corner
// comes first.
CGRect CGRectContainingPoints(CGPoint a, CGPoint b);
// True when width and height are both normal numbers and x and y are each zero or a normal number.
// Normal: finite, not NaN and of magnitude at least 2.2250738585072014e−308, of either sign; so a
// zero width, an infinite or NaN member or a subnormal x makes it false, a negative size does not.
bool CGRectIsNormal(CGRect rect);
// (x + left, y + top, width − left − right, height − top − bottom); negative insets grow the
// rectangle and nothing stops the size from going negative.
CGRect CGRectApplyInsets(CGRect rect, NSEdgeInsets insets);

// ---- Sizes
// (width + p.x, height + p.y).
CGSize CGSizeAddPoint(CGSize size, CGPoint point);
// (s.width + t.width, s.height + t.height).
CGSize CGSizeAddSize(CGSize s, CGSize t);
// (s.width − t.width, s.height − t.height).
CGSize CGSizeSubtractSize(CGSize s, CGSize t);
// (width·factor, height·factor).
CGSize CGSizeScale(CGSize size, CGFloat factor);
// When width is 0: (width·factor, height·factor), unrounded. Otherwise W = round(width·factor) and
// the result is (W, round(W·height / width)): the height follows the rounded width so the aspect
// ratio holds. Rounding is halves away from zero.
CGSize CGSizeScaleRounded(CGSize size, CGFloat factor);
// (width + amount, height + amount).
CGSize CGSizePad(CGSize size, CGFloat amount);
// The point (width, height).
CGPoint CGSizeToPoint(CGSize size);
// width·height.
CGFloat CGSizeGetArea(CGSize size);

#pragma GCC visibility pop
