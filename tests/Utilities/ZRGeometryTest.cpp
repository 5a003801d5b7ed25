// Part 5.1: point, size and rectangle arithmetic. Every "Edge cases worth testing" bullet, then
// every other function of the table, with exact values; where the formula's order shows in the last
// bit, the test picks a value at which the other orders would differ.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "ZRGeometry.h"

namespace {

constexpr CGFloat kPi = 3.141592653589793;
constexpr CGFloat kInfinity = std::numeric_limits<CGFloat>::infinity();
constexpr CGFloat kSmallestNormal = 2.2250738585072014e-308;

uint64_t bits(CGFloat value) {
    return std::bit_cast<uint64_t>(value);
}

}  // namespace

// ---- Edge cases worth testing

TEST(Part5_1_ZRGeometry, ClampLimitsToTheBoundsAndTestsTheLowerFirst) {
    EXPECT_EQ(clamp(5, 0, 3), 3);
    EXPECT_EQ(clamp(-1, 0, 3), 0);
    EXPECT_EQ(clamp(2, 3, 1), 3);  // lower > upper: a value below lower gives lower
}

TEST(Part5_1_ZRGeometry, PointIntegralRoundsHalvesAwayFromZero) {
    EXPECT_EQ(CGPointIntegral(CGPointMake(1.5, -1.5)), CGPointMake(2, -2));
}

TEST(Part5_1_ZRGeometry, SizeScaleRoundedDerivesTheHeightFromTheRoundedWidth) {
    // Width 1.5 rounds to 2; the height is round(2·2/3) = round(1.333…) = 1.
    EXPECT_EQ(CGSizeScaleRounded(CGSizeMake(3, 2), 0.5), CGSizeMake(2, 1));
    // A zero width is scaled without rounding.
    EXPECT_EQ(CGSizeScaleRounded(CGSizeMake(0, 7), 2), CGSizeMake(0, 14));
}

TEST(Part5_1_ZRGeometry, RectContainingPointsIsTheSameWhicheverCornerComesFirst) {
    EXPECT_EQ(CGRectContainingPoints(CGPointMake(10, 5), CGPointMake(2, 9)),
              CGRectMake(2, 5, 8, 4));
    EXPECT_EQ(CGRectContainingPoints(CGPointMake(2, 9), CGPointMake(10, 5)),
              CGRectMake(2, 5, 8, 4));
}

TEST(Part5_1_ZRGeometry, RectIsNormalEdgeCases) {
    EXPECT_FALSE(CGRectIsNormal(CGRectMake(0, 0, 0, 3)));       // zero width
    EXPECT_TRUE(CGRectIsNormal(CGRectMake(0, 0, -4, 3)));       // a negative size is normal
    EXPECT_FALSE(CGRectIsNormal(CGRectMake(1e-320, 0, 1, 1)));  // subnormal x
}

TEST(Part5_1_ZRGeometry, AngleBetweenPointsIsZeroAlongPlusYAndHalfPiAlongPlusX) {
    EXPECT_EQ(angleBetweenPoints(CGPointMake(0, 0), CGPointMake(1, 0)), kPi / 2);
    EXPECT_EQ(angleBetweenPoints(CGPointMake(0, 0), CGPointMake(0, 1)), 0);
}

TEST(Part5_1_ZRGeometry, RectApplyInsetsShrinksByEachEdge) {
    EXPECT_EQ(CGRectApplyInsets(CGRectMake(0, 0, 100, 50), NSEdgeInsetsMake(1, 2, 3, 4)),
              CGRectMake(2, 1, 94, 46));
}

TEST(Part5_1_ZRGeometry, PointRotateByHalfPiTurnsPlusXIntoMinusY) {
    const CGPoint rotated = CGPointRotate(CGPointMake(1, 0), kPi / 2);
    EXPECT_NEAR(rotated.x, 0, 1e-15);
    EXPECT_EQ(rotated.y, -1);
    // Exactly: cs·1 − sn·0 with cs = cos(π/2), which is not quite 0.
    EXPECT_EQ(rotated.x, std::cos(kPi / 2));
}

// ---- The other functions of the table

TEST(Part5_1_ZRGeometry, RadToDegDividesByPiFirst) {
    EXPECT_EQ(radToDeg(kPi), 180);
    EXPECT_EQ(radToDeg(0), 0);
    // At 3.5 the orders differ in the last bit: 3.5 / π × 180 = 0x1.91120971749bap+7, whereas
    // 3.5 × 180 / π and 3.5 × (180 / π) give 0x1.91120971749b9p+7.
    EXPECT_EQ(bits(radToDeg(3.5)), bits(0x1.91120971749bap+7));
    EXPECT_NE(bits(radToDeg(3.5)), bits(3.5 * 180 / kPi));
    EXPECT_NE(bits(radToDeg(3.5)), bits(3.5 * (180 / kPi)));
}

TEST(Part5_1_ZRGeometry, DegToRadMultipliesFirst) {
    EXPECT_EQ(degToRad(180), kPi);
    EXPECT_EQ(degToRad(90), kPi / 2);
    // At 9.5 the orders differ in the last bit: 9.5 × π / 180 = 0x1.53923e0c21ab3p-3, whereas
    // 9.5 / 180 × π and 9.5 × (π / 180) give 0x1.53923e0c21ab4p-3.
    EXPECT_EQ(bits(degToRad(9.5)), bits(0x1.53923e0c21ab3p-3));
    EXPECT_NE(bits(degToRad(9.5)), bits(9.5 / 180 * kPi));
    EXPECT_NE(bits(degToRad(9.5)), bits(9.5 * (kPi / 180)));
}

TEST(Part5_1_ZRGeometry, ClampKeepsValuesInsideAndOnTheBounds) {
    EXPECT_EQ(clamp(2, 0, 3), 2);
    EXPECT_EQ(clamp(0, 0, 3), 0);
    EXPECT_EQ(clamp(3, 0, 3), 3);
    EXPECT_EQ(clamp(5, 3, 1), 1);  // lower > upper: a value not below lower gives upper
    EXPECT_TRUE(std::isnan(clamp(std::nan(""), 0, 3)));
}

TEST(Part5_1_ZRGeometry, PointIntegralRoundsToNearest) {
    EXPECT_EQ(CGPointIntegral(CGPointMake(2.4, -2.6)), CGPointMake(2, -3));
    EXPECT_EQ(CGPointIntegral(CGPointMake(0.5, -0.5)), CGPointMake(1, -1));
    EXPECT_EQ(CGPointIntegral(CGPointMake(7, -7)), CGPointMake(7, -7));
}

TEST(Part5_1_ZRGeometry, PointScaleAndMultiplyAreTheSame) {
    EXPECT_EQ(CGPointScale(CGPointMake(1.5, -2), 4), CGPointMake(6, -8));
    EXPECT_EQ(CGPointMultiply(CGPointMake(1.5, -2), 4), CGPointMake(6, -8));
    EXPECT_EQ(CGPointScale(CGPointMake(0.1, 0.7), 3), CGPointMultiply(CGPointMake(0.1, 0.7), 3));
}

TEST(Part5_1_ZRGeometry, PointMultiplySizeScalesPerComponent) {
    EXPECT_EQ(CGPointMultiplySize(CGPointMake(0.5, 0.25), CGSizeMake(200, 100)),
              CGPointMake(100, 25));
}

TEST(Part5_1_ZRGeometry, PointDividePointDividesPerComponentAndNeverFails) {
    EXPECT_EQ(CGPointDividePoint(CGPointMake(1, 6), CGPointMake(4, 3)), CGPointMake(0.25, 2));
    const CGPoint byZero = CGPointDividePoint(CGPointMake(1, 0), CGPointMake(0, 0));
    EXPECT_EQ(byZero.x, kInfinity);
    EXPECT_TRUE(std::isnan(byZero.y));
}

TEST(Part5_1_ZRGeometry, PointLengths) {
    EXPECT_EQ(CGPointLengthSquared(CGPointMake(3, -4)), 25);
    EXPECT_EQ(CGPointLength(CGPointMake(3, -4)), 5);
    EXPECT_EQ(CGPointLength(CGPointMake(1, 1)), std::sqrt(2.0));
}

TEST(Part5_1_ZRGeometry, PointOffsetAddAndSubtract) {
    EXPECT_EQ(CGPointOffset(CGPointMake(1, 2), 0.5, -3), CGPointMake(1.5, -1));
    EXPECT_EQ(CGPointAddPoint(CGPointMake(1, 2), CGPointMake(3, -5)), CGPointMake(4, -3));
    EXPECT_EQ(CGPointSubtractPoint(CGPointMake(5, 7), CGPointMake(2, 10)), CGPointMake(3, -3));
}

TEST(Part5_1_ZRGeometry, PointToPointIsTheFirstMinusTheSecond) {
    EXPECT_EQ(CGPointToPoint(CGPointMake(5, 7), CGPointMake(2, 10)), CGPointMake(3, -3));
}

TEST(Part5_1_ZRGeometry, PointScaleAroundPointKeepsTheCentre) {
    EXPECT_EQ(CGPointScaleAroundPoint(CGPointMake(3, 5), CGPointMake(2, 3), CGPointMake(1, 1)),
              CGPointMake(5, 13));
    EXPECT_EQ(CGPointScaleAroundPoint(CGPointMake(1, 1), CGPointMake(9, 9), CGPointMake(1, 1)),
              CGPointMake(1, 1));
}

TEST(Part5_1_ZRGeometry, PointRotateFollowsTheFormula) {
    // (x·cos θ + y·sin θ, y·cos θ − x·sin θ): (0, 1) by π/2 goes to (1, cos(π/2)).
    const CGPoint rotated = CGPointRotate(CGPointMake(0, 1), kPi / 2);
    EXPECT_EQ(rotated, CGPointMake(1, std::cos(kPi / 2)));
    EXPECT_EQ(CGPointRotate(CGPointMake(3, -4), 0), CGPointMake(3, -4));
    // By π: cos π = −1 exactly, sin(−π) = −1.2e−16.
    const CGFloat sn = std::sin(-kPi);
    EXPECT_EQ(CGPointRotate(CGPointMake(2, 0), kPi), CGPointMake(-2, sn * 2));
}

TEST(Part5_1_ZRGeometry, PointRotateAroundPointRotatesTheOffsetFromTheCentre) {
    // dx = 1, dy = 0: (cs·1 − sn·0 + 1, cs·0 + sn·1 + 1) with sn = −1, and 1 + cos(π/2) rounds
    // to 1.
    EXPECT_EQ(CGPointRotateAroundPoint(CGPointMake(2, 1), kPi / 2, CGPointMake(1, 1)),
              CGPointMake(1, 0));
    EXPECT_EQ(CGPointRotateAroundPoint(CGPointMake(4, 5), kPi, CGPointMake(4, 5)),
              CGPointMake(4, 5));
}

TEST(Part5_1_ZRGeometry, PointComponentAlongPointProjectsOntoTheDirection) {
    EXPECT_EQ(CGPointComponentAlongPoint(CGPointMake(3, 4), CGPointMake(2, 0)), 3);
    EXPECT_EQ(CGPointComponentAlongPoint(CGPointMake(3, 4), CGPointMake(1, 1)), 7 / std::sqrt(2.0));
    EXPECT_EQ(CGPointComponentAlongPoint(CGPointMake(3, 4), CGPointMake(0, -5)), -4);
    EXPECT_TRUE(std::isnan(CGPointComponentAlongPoint(CGPointMake(3, 4), CGPointMake(0, 0))));
}

TEST(Part5_1_ZRGeometry, DotPoints) {
    EXPECT_EQ(dotPoints(CGPointMake(1, 2), CGPointMake(3, 4)), 11);
    EXPECT_EQ(dotPoints(CGPointMake(1, 0), CGPointMake(0, 1)), 0);
}

TEST(Part5_1_ZRGeometry, DistancesBetweenPoints) {
    EXPECT_EQ(distanceBetweenPoints(CGPointMake(1, 1), CGPointMake(4, 5)), 5);
    EXPECT_EQ(distanceBetweenPoints(CGPointMake(4, 5), CGPointMake(1, 1)), 5);
    EXPECT_EQ(distanceSquaredBetweenPoints(CGPointMake(1, 1), CGPointMake(4, 5)), 25);
    EXPECT_EQ(distanceBetweenPoints(CGPointMake(0, 0), CGPointMake(1, 1)), std::sqrt(2.0));
}

TEST(Part5_1_ZRGeometry, AngleBetweenPointsInTheOtherDirections) {
    EXPECT_EQ(angleBetweenPoints(CGPointMake(0, 0), CGPointMake(0, -1)), kPi);
    EXPECT_EQ(angleBetweenPoints(CGPointMake(1, 1), CGPointMake(0, 1)), -kPi / 2);
    EXPECT_EQ(angleBetweenPoints(CGPointMake(0, 0), CGPointMake(1, 1)), kPi / 4);
    EXPECT_EQ(angleBetweenPoints(CGPointMake(5, 5), CGPointMake(5, 5)), 0);
}

TEST(Part5_1_ZRGeometry, InterpollateBetweenPointsWidensAFloatFraction) {
    const CGPoint a = CGPointMake(0, 10);
    const CGPoint b = CGPointMake(10, 30);
    EXPECT_EQ(CGInterpollateBetweenPoints(0.0f, a, b), a);
    EXPECT_EQ(CGInterpollateBetweenPoints(1.0f, a, b), b);
    EXPECT_EQ(CGInterpollateBetweenPoints(0.5f, a, b), CGPointMake(5, 20));
    // Not limited to 0 … 1.
    EXPECT_EQ(CGInterpollateBetweenPoints(2.0f, a, b), CGPointMake(20, 50));
    EXPECT_EQ(CGInterpollateBetweenPoints(-1.0f, a, b), CGPointMake(-10, -10));
    // 0.1f is 0.100000001490116…: from 1 to 2 that gives 0x1.199999ap+0, not the double 1.1.
    const CGPoint tenth = CGInterpollateBetweenPoints(0.1f, CGPointMake(1, 1), CGPointMake(2, 1));
    EXPECT_EQ(bits(tenth.x), bits(0x1.199999ap+0));
    EXPECT_NE(tenth.x, 1.1);
    EXPECT_EQ(tenth.y, 1);
}

TEST(Part5_1_ZRGeometry, RectMakers) {
    EXPECT_EQ(CGRectMakeWithSize(CGSizeMake(3, 4)), CGRectMake(0, 0, 3, 4));
    EXPECT_EQ(CGRectMakeWithOriginSize(CGPointMake(1, 2), CGSizeMake(-3, 4)),
              CGRectMake(1, 2, -3, 4));
    EXPECT_EQ(CGRectMakeWithSizeCenter(CGSizeMake(10, 5), CGPointMake(0, 0)),
              CGRectMake(-5, -2.5, 10, 5));
    EXPECT_EQ(CGRectMakeWithSizeCenter(CGSizeMake(-4, 2), CGPointMake(10, 10)),
              CGRectMake(12, 9, -4, 2));
}

TEST(Part5_1_ZRGeometry, RectCenterTakesTheRectangleAsItIs) {
    EXPECT_EQ(CGRectCenter(CGRectMake(1, 2, 10, 4)), CGPointMake(6, 4));
    EXPECT_EQ(CGRectCenter(CGRectMake(1, 2, 10, -4)), CGPointMake(6, 0));
}

TEST(Part5_1_ZRGeometry, RectContainingPointsOfOnePointIsEmpty) {
    EXPECT_EQ(CGRectContainingPoints(CGPointMake(3, -3), CGPointMake(3, -3)),
              CGRectMake(3, -3, 0, 0));
    EXPECT_EQ(CGRectContainingPoints(CGPointMake(-1, 4), CGPointMake(2, -4)),
              CGRectMake(-1, -4, 3, 8));
}

TEST(Part5_1_ZRGeometry, RectIsNormalChecksEveryMember) {
    EXPECT_TRUE(CGRectIsNormal(CGRectMake(1, -2, 3, 4)));
    EXPECT_TRUE(CGRectIsNormal(CGRectMake(-0.0, 0, 3, 4)));
    EXPECT_TRUE(CGRectIsNormal(CGRectMake(kSmallestNormal, -kSmallestNormal, 1, 1)));
    EXPECT_FALSE(CGRectIsNormal(CGRectMake(0, 0, 3, 0)));             // zero height
    EXPECT_FALSE(CGRectIsNormal(CGRectMake(0, -1e-320, 1, 1)));       // subnormal y
    EXPECT_FALSE(CGRectIsNormal(CGRectMake(0, 0, 1e-310, 1)));        // subnormal width
    EXPECT_FALSE(CGRectIsNormal(CGRectMake(0, 0, kInfinity, 1)));     // infinite width
    EXPECT_FALSE(CGRectIsNormal(CGRectMake(0, 0, 1, std::nan(""))));  // NaN height
    EXPECT_FALSE(CGRectIsNormal(CGRectMake(-kInfinity, 0, 1, 1)));    // infinite x
    EXPECT_FALSE(CGRectIsNormal(CGRectMake(std::nan(""), 0, 1, 1)));  // NaN x
    EXPECT_FALSE(CGRectIsNormal(CGRectNull));
}

TEST(Part5_1_ZRGeometry, RectApplyInsetsMayGrowOrTurnNegative) {
    EXPECT_EQ(CGRectApplyInsets(CGRectMake(10, 10, 20, 20), NSEdgeInsetsMake(-1, -2, -3, -4)),
              CGRectMake(8, 9, 26, 24));
    EXPECT_EQ(CGRectApplyInsets(CGRectMake(0, 0, 10, 10), NSEdgeInsetsMake(8, 6, 8, 6)),
              CGRectMake(6, 8, -2, -6));
    EXPECT_EQ(CGRectApplyInsets(CGRectMake(1, 2, 3, 4), NSEdgeInsetsZero), CGRectMake(1, 2, 3, 4));
}

TEST(Part5_1_ZRGeometry, SizeSums) {
    EXPECT_EQ(CGSizeAddPoint(CGSizeMake(3, 4), CGPointMake(1, -5)), CGSizeMake(4, -1));
    EXPECT_EQ(CGSizeAddSize(CGSizeMake(3, 4), CGSizeMake(0.5, 0.25)), CGSizeMake(3.5, 4.25));
    EXPECT_EQ(CGSizeSubtractSize(CGSizeMake(3, 4), CGSizeMake(5, 1)), CGSizeMake(-2, 3));
    EXPECT_EQ(CGSizePad(CGSizeMake(3, 4), 2), CGSizeMake(5, 6));
    EXPECT_EQ(CGSizePad(CGSizeMake(3, 4), -4), CGSizeMake(-1, 0));
}

TEST(Part5_1_ZRGeometry, SizeScale) {
    EXPECT_EQ(CGSizeScale(CGSizeMake(375, 667), 2), CGSizeMake(750, 1334));
    EXPECT_EQ(CGSizeScale(CGSizeMake(3, 5), 0.5), CGSizeMake(1.5, 2.5));  // no rounding
}

TEST(Part5_1_ZRGeometry, SizeScaleRoundedKeepsTheAspectRatioOfTheRoundedWidth) {
    // W = round(1.5) = 2, height round(2·7/3) = round(4.67) = 5, where round(7·0.5) would give 4.
    EXPECT_EQ(CGSizeScaleRounded(CGSizeMake(3, 7), 0.5), CGSizeMake(2, 5));
    EXPECT_EQ(CGSizeScaleRounded(CGSizeMake(375, 667), 2), CGSizeMake(750, 1334));
    EXPECT_EQ(CGSizeScaleRounded(CGSizeMake(100, 50), 1.01), CGSizeMake(101, 51));  // 50.5 → 51
    // A zero width (either sign) scales without rounding.
    EXPECT_EQ(CGSizeScaleRounded(CGSizeMake(0, 1.5), 0.5), CGSizeMake(0, 0.75));
    EXPECT_EQ(CGSizeScaleRounded(CGSizeMake(-0.0, 3), 0.5), CGSizeMake(0, 1.5));
}

TEST(Part5_1_ZRGeometry, SizeToPointAndArea) {
    EXPECT_EQ(CGSizeToPoint(CGSizeMake(3, -4)), CGPointMake(3, -4));
    EXPECT_EQ(CGSizeGetArea(CGSizeMake(3, -4)), -12);
    EXPECT_EQ(CGSizeGetArea(CGSizeMake(0.5, 0.25)), 0.125);
}
