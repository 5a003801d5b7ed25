#pragma once
// The platform's plain geometry values and the CoreGraphics functions over them, with CoreGraphics'
// names and documented semantics.
//
// Every component is a 64-bit double in points. Rectangles may have negative sizes; the functions
// that say so work on the standardised rectangle (origin at the minimum corner, non-negative size).
// Two rectangles are special: the null rectangle (origin at +infinity, the "no rectangle" value:
// the identity of CGRectUnion and the answer of an empty CGRectIntersection) and the infinite
// rectangle (the whole plane). No function fails: invalid input gives the floating-point result of
// the formula (infinities, NaNs) unless a comment says otherwise.

#include <iosfwd>
#include <limits>

#pragma GCC visibility push(default)  // exported from libVantler

using CGFloat = double;

struct CGPoint {
    CGFloat x = 0;
    CGFloat y = 0;
    // Member-wise, exact (-0 equals +0, NaN equals nothing); CGPointEqualToPoint is the same.
    friend bool operator==(const CGPoint&, const CGPoint&) = default;
};

struct CGSize {
    CGFloat width = 0;
    CGFloat height = 0;
    friend bool operator==(const CGSize&, const CGSize&) = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
    // Member-wise and exact, unlike CGRectEqualToRect, which compares standardised rectangles and
    // treats every null rectangle as equal.
    friend bool operator==(const CGRect&, const CGRect&) = default;
};

// The 2-D affine transform [a b 0; c d 0; tx ty 1] in CoreGraphics' row-vector convention: a point
// (x, y) maps to (a·x + c·y + tx, b·x + d·y + ty).
struct CGAffineTransform {
    CGFloat a = 1;
    CGFloat b = 0;
    CGFloat c = 0;
    CGFloat d = 1;
    CGFloat tx = 0;
    CGFloat ty = 0;
    friend bool operator==(const CGAffineTransform&, const CGAffineTransform&) = default;
};

// Insets from the four edges of a rectangle, in points; positive values shrink it
// (`CGRectApplyInsets`). AppKit keeps this value in Foundation's NSGeometry; it lives here with the
// other geometry values.
struct NSEdgeInsets {
    CGFloat top = 0;
    CGFloat left = 0;
    CGFloat bottom = 0;
    CGFloat right = 0;
    friend bool operator==(const NSEdgeInsets&, const NSEdgeInsets&) = default;
};

inline constexpr CGPoint CGPointZero{0, 0};
inline constexpr CGSize CGSizeZero{0, 0};
inline constexpr CGRect CGRectZero{{0, 0}, {0, 0}};
// CoreGraphics' values exactly: null = (+inf, +inf, 0, 0); infinite = (−max/2, −max/2, max, max)
// with max the largest finite double, so that its maximum edges lie at +max/2.
inline constexpr CGRect CGRectNull{
    {std::numeric_limits<CGFloat>::infinity(), std::numeric_limits<CGFloat>::infinity()}, {0, 0}};
inline constexpr CGRect CGRectInfinite{
    {-std::numeric_limits<CGFloat>::max() / 2, -std::numeric_limits<CGFloat>::max() / 2},
    {std::numeric_limits<CGFloat>::max(), std::numeric_limits<CGFloat>::max()}};
inline constexpr CGAffineTransform CGAffineTransformIdentity{1, 0, 0, 1, 0, 0};
inline constexpr NSEdgeInsets NSEdgeInsetsZero{0, 0, 0, 0};

constexpr CGPoint CGPointMake(CGFloat x, CGFloat y) {
    return {x, y};
}
constexpr CGSize CGSizeMake(CGFloat width, CGFloat height) {
    return {width, height};
}
constexpr CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) {
    return {{x, y}, {width, height}};
}
constexpr CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d,
                                                  CGFloat tx, CGFloat ty) {
    return {a, b, c, d, tx, ty};
}
constexpr NSEdgeInsets NSEdgeInsetsMake(CGFloat top, CGFloat left, CGFloat bottom, CGFloat right) {
    return {top, left, bottom, right};
}

// ---- Rectangle queries. They read the rectangle as if standardised: Min is the smaller edge, Max
// the larger, Width and Height are magnitudes. The null rectangle answers +inf for Min, Mid and
// Max and 0 for Width and Height.
CGFloat CGRectGetMinX(CGRect rect);
CGFloat CGRectGetMidX(CGRect rect);
CGFloat CGRectGetMaxX(CGRect rect);
CGFloat CGRectGetMinY(CGRect rect);
CGFloat CGRectGetMidY(CGRect rect);
CGFloat CGRectGetMaxY(CGRect rect);
CGFloat CGRectGetWidth(CGRect rect);
CGFloat CGRectGetHeight(CGRect rect);

bool CGPointEqualToPoint(CGPoint point1, CGPoint point2);  // exact, member-wise
bool CGSizeEqualToSize(CGSize size1, CGSize size2);        // exact, member-wise
// Whether the standardised rectangles are the same; every null rectangle equals every other.
bool CGRectEqualToRect(CGRect rect1, CGRect rect2);

// The rectangle with origin at its minimum corner and non-negative width and height; the null
// rectangle stays null.
CGRect CGRectStandardize(CGRect rect);
// True for the null rectangle and for a rectangle of zero width or height.
bool CGRectIsEmpty(CGRect rect);
// True when the origin's x or y is +infinity (every such rectangle is "the" null rectangle).
bool CGRectIsNull(CGRect rect);
// True when the rectangle is CGRectInfinite (after standardisation).
bool CGRectIsInfinite(CGRect rect);

// ---- Rectangle combination. All results are standardised.
// The smallest rectangle holding both; a null argument is ignored (the null rectangle is the
// identity), so a union started from CGRectZero keeps the origin inside. Where the
// result spans exactly one argument's extent on an axis, that argument's width or height is kept as
// it is, so the union of a rectangle with a part of itself is that rectangle to the bit.
CGRect CGRectUnion(CGRect r1, CGRect r2);
// The common part of both, or null when they have none or either is null. Rectangles that only
// touch share an edge of zero width or height, which is not null. Extents are kept as for the
// union.
CGRect CGRectIntersection(CGRect r1, CGRect r2);
// Whether CGRectIntersection is not null.
bool CGRectIntersectsRect(CGRect rect1, CGRect rect2);
// Minimum edges in, maximum edges out; never true for a null or empty rectangle.
bool CGRectContainsPoint(CGRect rect, CGPoint point);
// Whether the union of rect1 and rect2 equals rect1 (CGRectEqualToRect).
bool CGRectContainsRect(CGRect rect1, CGRect rect2);
// The standardised rectangle moved by (dx, dy); null stays null.
CGRect CGRectOffset(CGRect rect, CGFloat dx, CGFloat dy);
// The standardised rectangle with its origin moved by (dx, dy) and its size reduced by (2·dx,
// 2·dy); null when the width or height would become negative, and null stays null. Negative insets
// grow it.
CGRect CGRectInset(CGRect rect, CGFloat dx, CGFloat dy);
// The smallest rectangle with whole-number origin and size that holds the standardised rectangle:
// minimum edges rounded down, maximum edges up. Null stays null.
CGRect CGRectIntegral(CGRect rect);

// ---- Affine transforms. Translate, Scale and Rotate prepend their step: the new step acts on a
// point before t does (t' = step × t), as CGContextTranslateCTM & co do.
CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy);
// Counter-clockwise by angle radians in a y-up space: (x, y) → (x·cos − y·sin, x·sin + y·cos).
CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle);
CGAffineTransform CGAffineTransformTranslate(CGAffineTransform t, CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformScale(CGAffineTransform t, CGFloat sx, CGFloat sy);
CGAffineTransform CGAffineTransformRotate(CGAffineTransform t, CGFloat angle);
// t1 × t2: applies t1 first, then t2.
CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2);
// The inverse; t itself, unchanged, when t cannot be inverted (determinant a·d − b·c is zero).
CGAffineTransform CGAffineTransformInvert(CGAffineTransform t);
bool CGAffineTransformIsIdentity(CGAffineTransform t);                               // exact
bool CGAffineTransformEqualToTransform(CGAffineTransform t1, CGAffineTransform t2);  // exact

CGPoint CGPointApplyAffineTransform(CGPoint point, CGAffineTransform t);
// A size is a vector: the translation does not apply.
CGSize CGSizeApplyAffineTransform(CGSize size, CGAffineTransform t);
// The smallest upright rectangle holding the four transformed corners (standardised). The null
// rectangle stays null and the infinite rectangle stays infinite (its corners are no real corners).
CGRect CGRectApplyAffineTransform(CGRect rect, CGAffineTransform t);

// Text forms for logs and test messages, in Foundation's NSStringFromRect style
// ("{{x, y}, {w, h}}"), with every number in its shortest form that reads back exactly.
std::ostream& operator<<(std::ostream& stream, const CGPoint& point);
std::ostream& operator<<(std::ostream& stream, const CGSize& size);
std::ostream& operator<<(std::ostream& stream, const CGRect& rect);
std::ostream& operator<<(std::ostream& stream, const CGAffineTransform& t);
std::ostream& operator<<(std::ostream& stream, const NSEdgeInsets& insets);

#pragma GCC visibility pop
