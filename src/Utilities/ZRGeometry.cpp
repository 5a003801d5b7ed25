#include "ZRGeometry.h"

#include <cmath>

// Every body below is its formula written in the order the design tool evaluates it; the
// library is built without floating-point contraction (CMakeLists.txt) so the order is kept.

namespace {

constexpr CGFloat kPi = 3.141592653589793;  // the π of radToDeg and degToRad

// Foundation's MIN: the first argument unless the second is smaller.
CGFloat minimum(CGFloat a, CGFloat b) {
    return a < b ? a : b;
}

}  // namespace

CGFloat radToDeg(CGFloat radians) {
    return radians / kPi * 180;
}

CGFloat degToRad(CGFloat degrees) {
    return degrees * kPi / 180;
}

CGFloat clamp(CGFloat value, CGFloat lower, CGFloat upper) {
    // Lower is tested first, so with lower > upper a value below lower gives lower.
    if (value < lower) return lower;
    if (upper < value) return upper;
    return value;
}

CGPoint CGPointIntegral(CGPoint point) {
    return {std::round(point.x), std::round(point.y)};
}

CGPoint CGPointScale(CGPoint point, CGFloat factor) {
    return {point.x * factor, point.y * factor};
}

CGPoint CGPointMultiply(CGPoint point, CGFloat factor) {
    return {point.x * factor, point.y * factor};
}

CGPoint CGPointMultiplySize(CGPoint point, CGSize size) {
    return {point.x * size.width, point.y * size.height};
}

CGPoint CGPointDividePoint(CGPoint a, CGPoint b) {
    return {a.x / b.x, a.y / b.y};
}

CGFloat CGPointLengthSquared(CGPoint point) {
    return point.x * point.x + point.y * point.y;
}

CGFloat CGPointLength(CGPoint point) {
    return std::sqrt(point.x * point.x + point.y * point.y);
}

CGPoint CGPointOffset(CGPoint point, CGFloat dx, CGFloat dy) {
    return {point.x + dx, point.y + dy};
}

CGPoint CGPointAddPoint(CGPoint a, CGPoint b) {
    return {a.x + b.x, a.y + b.y};
}

CGPoint CGPointSubtractPoint(CGPoint a, CGPoint b) {
    return {a.x - b.x, a.y - b.y};
}

CGPoint CGPointToPoint(CGPoint a, CGPoint b) {
    return {a.x - b.x, a.y - b.y};
}

CGPoint CGPointScaleAroundPoint(CGPoint point, CGPoint factors, CGPoint center) {
    return {center.x + factors.x * (point.x - center.x),
            center.y + factors.y * (point.y - center.y)};
}

CGPoint CGPointRotate(CGPoint point, CGFloat angle) {
    const CGFloat sn = std::sin(-angle);
    const CGFloat cs = std::cos(angle);
    return {cs * point.x - sn * point.y, cs * point.y + sn * point.x};
}

CGPoint CGPointRotateAroundPoint(CGPoint point, CGFloat angle, CGPoint center) {
    const CGFloat dx = point.x - center.x;
    const CGFloat dy = point.y - center.y;
    const CGFloat sn = std::sin(-angle);
    const CGFloat cs = std::cos(angle);
    return {cs * dx - sn * dy + center.x, cs * dy + sn * dx + center.y};
}

CGFloat CGPointComponentAlongPoint(CGPoint point, CGPoint direction) {
    return (point.x * direction.x + point.y * direction.y) /
           std::sqrt(direction.x * direction.x + direction.y * direction.y);
}

CGFloat dotPoints(CGPoint a, CGPoint b) {
    return a.x * b.x + a.y * b.y;
}

CGFloat distanceBetweenPoints(CGPoint a, CGPoint b) {
    const CGFloat dx = a.x - b.x;
    const CGFloat dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

CGFloat distanceSquaredBetweenPoints(CGPoint a, CGPoint b) {
    const CGFloat dx = a.x - b.x;
    const CGFloat dy = a.y - b.y;
    return dx * dx + dy * dy;
}

CGFloat angleBetweenPoints(CGPoint a, CGPoint b) {
    // The x difference first, so 0 points along +y.
    return std::atan2(b.x - a.x, b.y - a.y);
}

CGPoint CGInterpollateBetweenPoints(float fraction, CGPoint a, CGPoint b) {
    const CGFloat t = fraction;  // a 32-bit float, widened before use
    return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
}

CGRect CGRectMakeWithSize(CGSize size) {
    return {{0, 0}, size};
}

CGRect CGRectMakeWithOriginSize(CGPoint origin, CGSize size) {
    return {origin, size};
}

CGRect CGRectMakeWithSizeCenter(CGSize size, CGPoint center) {
    return {{center.x - size.width * 0.5, center.y - size.height * 0.5}, size};
}

CGPoint CGRectCenter(CGRect rect) {
    return {rect.origin.x + rect.size.width * 0.5, rect.origin.y + rect.size.height * 0.5};
}

CGRect CGRectContainingPoints(CGPoint a, CGPoint b) {
    return {{minimum(a.x, b.x), minimum(a.y, b.y)}, {std::fabs(b.x - a.x), std::fabs(b.y - a.y)}};
}

bool CGRectIsNormal(CGRect rect) {
    // std::isnormal is the "normal" meant here: finite, not NaN, not zero, not subnormal.
    return std::isnormal(rect.size.width) && std::isnormal(rect.size.height) &&
           (rect.origin.x == 0 || std::isnormal(rect.origin.x)) &&
           (rect.origin.y == 0 || std::isnormal(rect.origin.y));
}

CGRect CGRectApplyInsets(CGRect rect, NSEdgeInsets insets) {
    return {{rect.origin.x + insets.left, rect.origin.y + insets.top},
            {rect.size.width - insets.left - insets.right,
             rect.size.height - insets.top - insets.bottom}};
}

CGSize CGSizeAddPoint(CGSize size, CGPoint point) {
    return {size.width + point.x, size.height + point.y};
}

CGSize CGSizeAddSize(CGSize s, CGSize t) {
    return {s.width + t.width, s.height + t.height};
}

CGSize CGSizeSubtractSize(CGSize s, CGSize t) {
    return {s.width - t.width, s.height - t.height};
}

CGSize CGSizeScale(CGSize size, CGFloat factor) {
    return {size.width * factor, size.height * factor};
}

CGSize CGSizeScaleRounded(CGSize size, CGFloat factor) {
    if (size.width == 0) return {size.width * factor, size.height * factor};
    // The height follows the rounded width (W·h / w), not h·factor, so that a pixel size
    // keeps the aspect ratio of the point size.
    const CGFloat width = std::round(size.width * factor);
    return {width, std::round(width * size.height / size.width)};
}

CGSize CGSizePad(CGSize size, CGFloat amount) {
    return {size.width + amount, size.height + amount};
}

CGPoint CGSizeToPoint(CGSize size) {
    return {size.width, size.height};
}

CGFloat CGSizeGetArea(CGSize size) {
    return size.width * size.height;
}
