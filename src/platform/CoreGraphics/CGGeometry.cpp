#include "CGGeometry.h"

#include <charconv>
#include <cmath>
#include <ostream>

namespace {

// One axis of a standardised rectangle: [lower, lower + length].
struct Span {
    CGFloat lower;
    CGFloat length;
    CGFloat upper() const { return lower + length; }
};

Span horizontal(const CGRect& standardised) {
    return {standardised.origin.x, standardised.size.width};
}
Span vertical(const CGRect& standardised) {
    return {standardised.origin.y, standardised.size.height};
}

// The length of [lower, upper]. When the span is exactly one of the two inputs' spans its stored
// length is taken as it is: recomputing it as upper − lower would round (0.1 + 0.2 − 0.1 ≠ 0.2),
// and then the union of a rectangle with itself would not equal it, nor would CGRectContainsRect
// hold for a rectangle and itself.
CGFloat lengthOf(CGFloat lower, CGFloat upper, Span a, Span b) {
    if (lower == a.lower && upper == a.upper()) return a.length;
    if (lower == b.lower && upper == b.upper()) return b.length;
    return upper - lower;
}

void writeNumber(std::ostream& stream, CGFloat value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    stream.write(buffer, result.ptr - buffer);
}

}  // namespace

CGFloat CGRectGetMinX(CGRect rect) {
    return CGRectStandardize(rect).origin.x;
}
CGFloat CGRectGetMaxX(CGRect rect) {
    const CGRect r = CGRectStandardize(rect);
    return r.origin.x + r.size.width;
}
CGFloat CGRectGetMidX(CGRect rect) {
    const CGRect r = CGRectStandardize(rect);
    return r.origin.x + r.size.width * 0.5;
}
CGFloat CGRectGetMinY(CGRect rect) {
    return CGRectStandardize(rect).origin.y;
}
CGFloat CGRectGetMaxY(CGRect rect) {
    const CGRect r = CGRectStandardize(rect);
    return r.origin.y + r.size.height;
}
CGFloat CGRectGetMidY(CGRect rect) {
    const CGRect r = CGRectStandardize(rect);
    return r.origin.y + r.size.height * 0.5;
}
CGFloat CGRectGetWidth(CGRect rect) {
    return CGRectStandardize(rect).size.width;
}
CGFloat CGRectGetHeight(CGRect rect) {
    return CGRectStandardize(rect).size.height;
}

bool CGPointEqualToPoint(CGPoint point1, CGPoint point2) {
    return point1 == point2;
}
bool CGSizeEqualToSize(CGSize size1, CGSize size2) {
    return size1 == size2;
}

bool CGRectEqualToRect(CGRect rect1, CGRect rect2) {
    // A null rectangle is recognised by its origin alone, so (inf, 5, 0, 0) is null too and equals
    // CGRectNull although their members differ.
    if (CGRectIsNull(rect1) || CGRectIsNull(rect2))
        return CGRectIsNull(rect1) && CGRectIsNull(rect2);
    return CGRectStandardize(rect1) == CGRectStandardize(rect2);
}

CGRect CGRectStandardize(CGRect rect) {
    if (CGRectIsNull(rect)) return CGRectNull;
    CGRect r = rect;
    if (r.size.width < 0) {
        r.origin.x += r.size.width;
        r.size.width = -r.size.width;
    }
    if (r.size.height < 0) {
        r.origin.y += r.size.height;
        r.size.height = -r.size.height;
    }
    return r;
}

bool CGRectIsEmpty(CGRect rect) {
    return CGRectIsNull(rect) || rect.size.width == 0 || rect.size.height == 0;
}

bool CGRectIsNull(CGRect rect) {
    constexpr CGFloat infinity = std::numeric_limits<CGFloat>::infinity();
    return rect.origin.x == infinity || rect.origin.y == infinity;
}

bool CGRectIsInfinite(CGRect rect) {
    return CGRectEqualToRect(rect, CGRectInfinite);
}

CGRect CGRectUnion(CGRect r1, CGRect r2) {
    if (CGRectIsNull(r1)) return CGRectStandardize(r2);
    if (CGRectIsNull(r2)) return CGRectStandardize(r1);
    const CGRect a = CGRectStandardize(r1);
    const CGRect b = CGRectStandardize(r2);
    const Span ax = horizontal(a), bx = horizontal(b), ay = vertical(a), by = vertical(b);
    const CGFloat minX = std::fmin(ax.lower, bx.lower);
    const CGFloat maxX = std::fmax(ax.upper(), bx.upper());
    const CGFloat minY = std::fmin(ay.lower, by.lower);
    const CGFloat maxY = std::fmax(ay.upper(), by.upper());
    return {{minX, minY}, {lengthOf(minX, maxX, ax, bx), lengthOf(minY, maxY, ay, by)}};
}

CGRect CGRectIntersection(CGRect r1, CGRect r2) {
    if (CGRectIsNull(r1) || CGRectIsNull(r2)) return CGRectNull;
    const CGRect a = CGRectStandardize(r1);
    const CGRect b = CGRectStandardize(r2);
    const Span ax = horizontal(a), bx = horizontal(b), ay = vertical(a), by = vertical(b);
    const CGFloat minX = std::fmax(ax.lower, bx.lower);
    const CGFloat maxX = std::fmin(ax.upper(), bx.upper());
    const CGFloat minY = std::fmax(ay.lower, by.lower);
    const CGFloat maxY = std::fmin(ay.upper(), by.upper());
    // Closed spans: touching edges overlap in a line. Written as "not ≤" so that a NaN edge, which
    // overlaps nothing, also gives null.
    if (!(minX <= maxX) || !(minY <= maxY)) return CGRectNull;
    return {{minX, minY}, {lengthOf(minX, maxX, ax, bx), lengthOf(minY, maxY, ay, by)}};
}

bool CGRectIntersectsRect(CGRect rect1, CGRect rect2) {
    return !CGRectIsNull(CGRectIntersection(rect1, rect2));
}

bool CGRectContainsPoint(CGRect rect, CGPoint point) {
    if (CGRectIsEmpty(rect)) return false;  // also null
    const CGRect r = CGRectStandardize(rect);
    return r.origin.x <= point.x && point.x < r.origin.x + r.size.width && r.origin.y <= point.y &&
           point.y < r.origin.y + r.size.height;
}

bool CGRectContainsRect(CGRect rect1, CGRect rect2) {
    return CGRectEqualToRect(CGRectUnion(rect1, rect2), rect1);
}

CGRect CGRectOffset(CGRect rect, CGFloat dx, CGFloat dy) {
    if (CGRectIsNull(rect)) return rect;
    CGRect r = CGRectStandardize(rect);
    r.origin.x += dx;
    r.origin.y += dy;
    return r;
}

CGRect CGRectInset(CGRect rect, CGFloat dx, CGFloat dy) {
    if (CGRectIsNull(rect)) return rect;
    CGRect r = CGRectStandardize(rect);
    r.origin.x += dx;
    r.origin.y += dy;
    r.size.width -= 2 * dx;
    r.size.height -= 2 * dy;
    if (r.size.width < 0 || r.size.height < 0) return CGRectNull;
    return r;
}

CGRect CGRectIntegral(CGRect rect) {
    if (CGRectIsNull(rect)) return rect;
    const CGRect r = CGRectStandardize(rect);
    const CGFloat x = std::floor(r.origin.x);
    const CGFloat y = std::floor(r.origin.y);
    return {{x, y},
            {std::ceil(r.origin.x + r.size.width) - x, std::ceil(r.origin.y + r.size.height) - y}};
}

CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty) {
    return {1, 0, 0, 1, tx, ty};
}

CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy) {
    return {sx, 0, 0, sy, 0, 0};
}

CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle) {
    const CGFloat sine = std::sin(angle);
    const CGFloat cosine = std::cos(angle);
    return {cosine, sine, -sine, cosine, 0, 0};
}

// The three below are CGAffineTransformConcat(step, t) with the step's zeros and ones worked out,
// so that they cost no rounding and an infinite entry of t does not turn into NaN through 0·inf.
CGAffineTransform CGAffineTransformTranslate(CGAffineTransform t, CGFloat tx, CGFloat ty) {
    return {t.a, t.b, t.c, t.d, tx * t.a + ty * t.c + t.tx, tx * t.b + ty * t.d + t.ty};
}

CGAffineTransform CGAffineTransformScale(CGAffineTransform t, CGFloat sx, CGFloat sy) {
    return {sx * t.a, sx * t.b, sy * t.c, sy * t.d, t.tx, t.ty};
}

CGAffineTransform CGAffineTransformRotate(CGAffineTransform t, CGFloat angle) {
    const CGFloat sine = std::sin(angle);
    const CGFloat cosine = std::cos(angle);
    return {cosine * t.a + sine * t.c,
            cosine * t.b + sine * t.d,
            -sine * t.a + cosine * t.c,
            -sine * t.b + cosine * t.d,
            t.tx,
            t.ty};
}

CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2) {
    return {t1.a * t2.a + t1.b * t2.c,           t1.a * t2.b + t1.b * t2.d,
            t1.c * t2.a + t1.d * t2.c,           t1.c * t2.b + t1.d * t2.d,
            t1.tx * t2.a + t1.ty * t2.c + t2.tx, t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

CGAffineTransform CGAffineTransformInvert(CGAffineTransform t) {
    const CGFloat determinant = t.a * t.d - t.b * t.c;
    if (determinant == 0) return t;  // as CoreGraphics documents: the argument, unchanged
    return {t.d / determinant,
            -t.b / determinant,
            -t.c / determinant,
            t.a / determinant,
            (t.c * t.ty - t.d * t.tx) / determinant,
            (t.b * t.tx - t.a * t.ty) / determinant};
}

bool CGAffineTransformIsIdentity(CGAffineTransform t) {
    return t == CGAffineTransformIdentity;
}

bool CGAffineTransformEqualToTransform(CGAffineTransform t1, CGAffineTransform t2) {
    return t1 == t2;
}

CGPoint CGPointApplyAffineTransform(CGPoint point, CGAffineTransform t) {
    return {t.a * point.x + t.c * point.y + t.tx, t.b * point.x + t.d * point.y + t.ty};
}

CGSize CGSizeApplyAffineTransform(CGSize size, CGAffineTransform t) {
    return {t.a * size.width + t.c * size.height, t.b * size.width + t.d * size.height};
}

CGRect CGRectApplyAffineTransform(CGRect rect, CGAffineTransform t) {
    if (CGRectIsNull(rect) || CGRectIsInfinite(rect)) return rect;
    const CGRect r = CGRectStandardize(rect);
    if (CGAffineTransformIsIdentity(t)) return r;
    const CGFloat maxX = r.origin.x + r.size.width;
    const CGFloat maxY = r.origin.y + r.size.height;
    const CGPoint corners[4] = {
        CGPointApplyAffineTransform(r.origin, t),
        CGPointApplyAffineTransform({maxX, r.origin.y}, t),
        CGPointApplyAffineTransform({r.origin.x, maxY}, t),
        CGPointApplyAffineTransform({maxX, maxY}, t),
    };
    CGFloat minX = corners[0].x, minY = corners[0].y;
    CGFloat highX = corners[0].x, highY = corners[0].y;
    for (const CGPoint& corner : corners) {
        minX = std::fmin(minX, corner.x);
        minY = std::fmin(minY, corner.y);
        highX = std::fmax(highX, corner.x);
        highY = std::fmax(highY, corner.y);
    }
    return {{minX, minY}, {highX - minX, highY - minY}};
}

std::ostream& operator<<(std::ostream& stream, const CGPoint& point) {
    stream << '{';
    writeNumber(stream, point.x);
    stream << ", ";
    writeNumber(stream, point.y);
    return stream << '}';
}

std::ostream& operator<<(std::ostream& stream, const CGSize& size) {
    stream << '{';
    writeNumber(stream, size.width);
    stream << ", ";
    writeNumber(stream, size.height);
    return stream << '}';
}

std::ostream& operator<<(std::ostream& stream, const CGRect& rect) {
    return stream << '{' << rect.origin << ", " << rect.size << '}';
}

std::ostream& operator<<(std::ostream& stream, const CGAffineTransform& t) {
    const CGFloat values[] = {t.a, t.b, t.c, t.d, t.tx, t.ty};
    stream << '[';
    for (size_t i = 0; i < 6; ++i) {
        if (i) stream << ", ";
        writeNumber(stream, values[i]);
    }
    return stream << ']';
}

std::ostream& operator<<(std::ostream& stream, const NSEdgeInsets& insets) {
    const CGFloat values[] = {insets.top, insets.left, insets.bottom, insets.right};
    stream << '{';
    for (size_t i = 0; i < 4; ++i) {
        if (i) stream << ", ";
        writeNumber(stream, values[i]);
    }
    return stream << '}';
}
