// Point, size and rectangle arithmetic, bit for bit: where the order of a formula's operations
// shows in the last bit, a case picks a value at which the other orders would differ.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "ZRGeometry.h"

namespace {

constexpr CGFloat kPi = 3.141592653589793;
constexpr CGFloat kInf = std::numeric_limits<CGFloat>::infinity();
const CGFloat kNaN = std::nan("");

struct Members : std::vector<CGFloat> {
    Members(std::initializer_list<CGFloat> members) : vector(members) {}
    Members(CGFloat value) : vector{value} {}
    Members(CGPoint p) : vector{p.x, p.y} {}
    Members(CGSize s) : vector{s.width, s.height} {}
    Members(CGRect r) : vector{r.origin.x, r.origin.y, r.size.width, r.size.height} {}
};

}  // namespace

// Equal bit patterns (so -0 differs from 0), or both NaN.
TEST(ZRGeometry, Arithmetic) {
    const CGPoint p = CGPointMake(3, 4);
    const struct {
        const char* what;
        Members got, want;
    } cases[] = {
        // clang-format off
        {"radToDeg(3.5)", radToDeg(3.5), 0x1.91120971749bap+7},  // 3.5 / π × 180
        {"degToRad(9.5)", degToRad(9.5), 0x1.53923e0c21ab3p-3},  // 9.5 × π / 180
        {"clamp above", clamp(5, 0, 3), 3},
        {"clamp below", clamp(-1, 0, 3), 0},
        {"clamp, lower > upper", clamp(2, 3, 1), 3},  // the lower bound is tested first
        {"clamp, lower > upper, above lower", clamp(5, 3, 1), 1},
        {"clamp NaN", clamp(kNaN, 0, 3), kNaN},
        {"length", CGPointLength(CGPointMake(1, 1)), std::sqrt(2.0)},
        {"length²", CGPointLengthSquared(CGPointMake(3, -4)), 25},
        {"component along (1, 1)", CGPointComponentAlongPoint(p, CGPointMake(1, 1)), 7 / std::sqrt(2.0)},
        {"component along zero", CGPointComponentAlongPoint(p, CGPointMake(0, 0)), kNaN},
        {"dot", dotPoints(CGPointMake(1, 2), p), 11},
        {"distance", distanceBetweenPoints(CGPointMake(4, 5), CGPointMake(1, 1)), 5},
        {"distance²", distanceSquaredBetweenPoints(CGPointMake(1, 1), CGPointMake(4, 5)), 25},
        {"angle to +x", angleBetweenPoints(CGPointMake(0, 0), CGPointMake(1, 0)), kPi / 2},  // from +y towards +x
        {"angle to -y", angleBetweenPoints(CGPointMake(0, 0), CGPointMake(0, -1)), kPi},
        {"angle to -x", angleBetweenPoints(CGPointMake(1, 1), CGPointMake(0, 1)), -kPi / 2},
        {"area", CGSizeGetArea(CGSizeMake(3, -4)), -12},
        {"integral rounds halves away from zero", CGPointIntegral(CGPointMake(1.5, -2.5)), {2, -3}},
        {"scale", CGPointScale(CGPointMake(1.5, -2), 4), {6, -8}},
        {"multiply", CGPointMultiply(CGPointMake(1.5, -2), 4), {6, -8}},
        {"multiply size", CGPointMultiplySize(CGPointMake(0.5, 0.25), CGSizeMake(200, 100)), {100, 25}},
        {"divide", CGPointDividePoint(CGPointMake(1, 6), CGPointMake(4, 3)), {0.25, 2}},
        {"divide by zero", CGPointDividePoint(CGPointMake(1, 0), CGPointMake(0, 0)), {kInf, kNaN}},
        {"offset", CGPointOffset(CGPointMake(1, 2), 0.5, -3), {1.5, -1}},
        {"add", CGPointAddPoint(CGPointMake(1, 2), CGPointMake(3, -5)), {4, -3}},
        {"subtract", CGPointSubtractPoint(CGPointMake(5, 7), CGPointMake(2, 10)), {3, -3}},
        {"to point", CGPointToPoint(CGPointMake(5, 7), CGPointMake(2, 10)), {3, -3}},
        {"scale around", CGPointScaleAroundPoint(CGPointMake(3, 5), CGPointMake(2, 3), CGPointMake(1, 1)), {5, 13}},
        // (x cos θ + y sin θ, y cos θ − x sin θ); cos(π/2) is not quite 0.
        {"rotate +x", CGPointRotate(CGPointMake(1, 0), kPi / 2), {std::cos(kPi / 2), -1}},
        {"rotate +y", CGPointRotate(CGPointMake(0, 1), kPi / 2), {1, std::cos(kPi / 2)}},
        {"rotate around", CGPointRotateAroundPoint(CGPointMake(2, 1), kPi / 2, CGPointMake(1, 1)), {1, 0}},
        {"interpolate beyond", CGInterpollateBetweenPoints(2.0f, CGPointMake(0, 10), CGPointMake(10, 30)), {20, 50}},
        {"interpolate at 0.1f", CGInterpollateBetweenPoints(0.1f, CGPointMake(1, 1), CGPointMake(2, 1)), {0x1.199999ap+0, 1}},
        {"centre of a negative height", CGRectCenter(CGRectMake(1, 2, 10, -4)), {6, 0}},
        {"add point", CGSizeAddPoint(CGSizeMake(3, 4), CGPointMake(1, -5)), {4, -1}},
        {"add size", CGSizeAddSize(CGSizeMake(3, 4), CGSizeMake(0.5, 0.25)), {3.5, 4.25}},
        {"subtract", CGSizeSubtractSize(CGSizeMake(3, 4), CGSizeMake(5, 1)), {-2, 3}},
        {"pad", CGSizePad(CGSizeMake(3, 4), -4), {-1, 0}},
        {"scale", CGSizeScale(CGSizeMake(3, 5), 0.5), {1.5, 2.5}},
        // The height follows the rounded width's ratio: 2 × 7/3 → 5, where round(3.5) gives 4.
        {"scale rounded", CGSizeScaleRounded(CGSizeMake(3, 7), 0.5), {2, 5}},
        {"scale rounded, zero width", CGSizeScaleRounded(CGSizeMake(0, 1.5), 0.5), {0, 0.75}},
        {"scale rounded, -0 width", CGSizeScaleRounded(CGSizeMake(-0.0, 7), 2), {-0.0, 14}},
        {"around a centre", CGRectMakeWithSizeCenter(CGSizeMake(-4, 2), CGPointMake(10, 10)), {12, 9, -4, 2}},
        {"containing points", CGRectContainingPoints(CGPointMake(2, 9), CGPointMake(10, 5)), {2, 5, 8, 4}},
        {"insets", CGRectApplyInsets(CGRectMake(0, 0, 100, 50), NSEdgeInsetsMake(1, 2, 3, 4)), {2, 1, 94, 46}},
        // clang-format on
    };
    for (const auto& c : cases) {
        ASSERT_EQ(c.got.size(), c.want.size()) << c.what;
        for (size_t i = 0; i < c.got.size(); ++i) {
            char shown[96];
            std::snprintf(shown, sizeof shown, "%s: %a, expected %a", c.what, c.got[i], c.want[i]);
            EXPECT_TRUE(std::isnan(c.want[i]) ? std::isnan(c.got[i])
                                              : std::bit_cast<uint64_t>(c.got[i]) ==
                                                    std::bit_cast<uint64_t>(c.want[i]))
                << shown;
        }
    }
}

// Normal: every member finite and not subnormal, and a non-zero size (of either sign).
TEST(ZRGeometry, RectIsNormal) {
    constexpr CGFloat kSmallestNormal = std::numeric_limits<CGFloat>::min();
    const std::pair<CGRect, bool> cases[] = {
        {CGRectMake(-0.0, 0, 3, 4), true},    {CGRectMake(kSmallestNormal, 0, 1, 1), true},
        {CGRectMake(0, 0, -4, 3), true},      {CGRectMake(0, 0, 0, 3), false},
        {CGRectMake(0, 0, 3, 0), false},      {CGRectMake(1e-320, 0, 1, 1), false},
        {CGRectMake(0, 0, 1, 1e-310), false}, {CGRectMake(0, 0, kInf, 1), false},
        {CGRectMake(0, kNaN, 1, 1), false},   {CGRectNull, false},
    };
    for (const auto& [rect, normal] : cases)
        EXPECT_EQ(CGRectIsNormal(rect), normal) << rect.origin.x << ", " << rect.origin.y << ", "
                                                << rect.size.width << ", " << rect.size.height;
}
