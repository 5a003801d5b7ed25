// Part 4.1 (and the transform semantics of Part 2.7): the platform's geometry values and
// CoreGraphics' functions over them, with CoreGraphics' documented semantics. Values are chosen to
// be exact in binary, so results are compared exactly.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "CGGeometry.h"

namespace {

constexpr CGFloat kInfinity = std::numeric_limits<CGFloat>::infinity();
constexpr CGFloat kMax = std::numeric_limits<CGFloat>::max();
constexpr CGFloat kPi = 3.141592653589793;

template <class T>
std::string text(const T& value) {
    std::ostringstream stream;
    stream << value;
    return stream.str();
}

}  // namespace

TEST(Part4_1_CGGeometry, ConstantsHaveCoreGraphicsValues) {
    EXPECT_EQ(CGPointZero, CGPointMake(0, 0));
    EXPECT_EQ(CGSizeZero, CGSizeMake(0, 0));
    EXPECT_EQ(CGRectZero, CGRectMake(0, 0, 0, 0));
    EXPECT_EQ(CGRectNull, CGRectMake(kInfinity, kInfinity, 0, 0));
    EXPECT_EQ(CGRectInfinite, CGRectMake(-kMax / 2, -kMax / 2, kMax, kMax));
    EXPECT_EQ(CGAffineTransformIdentity, CGAffineTransformMake(1, 0, 0, 1, 0, 0));
    EXPECT_EQ(NSEdgeInsetsZero, NSEdgeInsetsMake(0, 0, 0, 0));
    // Default-constructed values are the zero values and the identity.
    EXPECT_EQ(CGRect{}, CGRectZero);
    EXPECT_EQ(CGAffineTransform{}, CGAffineTransformIdentity);
}

TEST(Part4_1_CGGeometry, MakeFunctionsFillMembersInOrder) {
    const CGRect r = CGRectMake(1, 2, 3, 4);
    EXPECT_EQ(r.origin.x, 1);
    EXPECT_EQ(r.origin.y, 2);
    EXPECT_EQ(r.size.width, 3);
    EXPECT_EQ(r.size.height, 4);
    const CGAffineTransform t = CGAffineTransformMake(1, 2, 3, 4, 5, 6);
    EXPECT_EQ(t.a, 1);
    EXPECT_EQ(t.b, 2);
    EXPECT_EQ(t.c, 3);
    EXPECT_EQ(t.d, 4);
    EXPECT_EQ(t.tx, 5);
    EXPECT_EQ(t.ty, 6);
    const NSEdgeInsets insets = NSEdgeInsetsMake(1, 2, 3, 4);
    EXPECT_EQ(insets.top, 1);
    EXPECT_EQ(insets.left, 2);
    EXPECT_EQ(insets.bottom, 3);
    EXPECT_EQ(insets.right, 4);
}

TEST(Part4_1_CGGeometry, GettersOfAPositiveRectangle) {
    const CGRect r = CGRectMake(1, 2, 3, 5);
    EXPECT_EQ(CGRectGetMinX(r), 1);
    EXPECT_EQ(CGRectGetMidX(r), 2.5);
    EXPECT_EQ(CGRectGetMaxX(r), 4);
    EXPECT_EQ(CGRectGetMinY(r), 2);
    EXPECT_EQ(CGRectGetMidY(r), 4.5);
    EXPECT_EQ(CGRectGetMaxY(r), 7);
    EXPECT_EQ(CGRectGetWidth(r), 3);
    EXPECT_EQ(CGRectGetHeight(r), 5);
}

TEST(Part4_1_CGGeometry, GettersReadNegativeSizesAsStandardised) {
    const CGRect r = CGRectMake(10, 20, -4, -6);
    EXPECT_EQ(CGRectGetMinX(r), 6);
    EXPECT_EQ(CGRectGetMidX(r), 8);
    EXPECT_EQ(CGRectGetMaxX(r), 10);
    EXPECT_EQ(CGRectGetMinY(r), 14);
    EXPECT_EQ(CGRectGetMidY(r), 17);
    EXPECT_EQ(CGRectGetMaxY(r), 20);
    EXPECT_EQ(CGRectGetWidth(r), 4);
    EXPECT_EQ(CGRectGetHeight(r), 6);
}

TEST(Part4_1_CGGeometry, GettersOfTheNullAndInfiniteRectangles) {
    EXPECT_EQ(CGRectGetMinX(CGRectNull), kInfinity);
    EXPECT_EQ(CGRectGetMaxY(CGRectNull), kInfinity);
    EXPECT_EQ(CGRectGetWidth(CGRectNull), 0);
    EXPECT_EQ(CGRectGetHeight(CGRectNull), 0);
    EXPECT_EQ(CGRectGetMinX(CGRectInfinite), -kMax / 2);
    EXPECT_EQ(CGRectGetMidX(CGRectInfinite), 0);
    EXPECT_EQ(CGRectGetMaxX(CGRectInfinite), kMax / 2);
    EXPECT_EQ(CGRectGetWidth(CGRectInfinite), kMax);
}

TEST(Part4_1_CGGeometry, StandardizeMovesTheOriginToTheMinimumCorner) {
    EXPECT_EQ(CGRectStandardize(CGRectMake(10, 20, -4, -6)), CGRectMake(6, 14, 4, 6));
    EXPECT_EQ(CGRectStandardize(CGRectMake(10, 20, -4, 6)), CGRectMake(6, 20, 4, 6));
    EXPECT_EQ(CGRectStandardize(CGRectMake(1, 2, 3, 4)), CGRectMake(1, 2, 3, 4));
    EXPECT_EQ(CGRectStandardize(CGRectZero), CGRectZero);
    EXPECT_EQ(CGRectStandardize(CGRectInfinite), CGRectInfinite);
    // Any rectangle with an infinite origin coordinate is null and standardises to CGRectNull.
    EXPECT_EQ(CGRectStandardize(CGRectNull), CGRectNull);
    EXPECT_EQ(CGRectStandardize(CGRectMake(kInfinity, 5, -3, 3)), CGRectNull);
}

TEST(Part4_1_CGGeometry, NullEmptyAndInfinitePredicates) {
    EXPECT_TRUE(CGRectIsNull(CGRectNull));
    EXPECT_TRUE(CGRectIsNull(CGRectMake(1, kInfinity, 2, 3)));
    EXPECT_TRUE(CGRectIsNull(CGRectMake(kInfinity, 1, 2, 3)));
    EXPECT_FALSE(CGRectIsNull(CGRectMake(-kInfinity, 0, 1, 1)));
    EXPECT_FALSE(CGRectIsNull(CGRectZero));
    EXPECT_FALSE(CGRectIsNull(CGRectInfinite));

    EXPECT_TRUE(CGRectIsEmpty(CGRectNull));
    EXPECT_TRUE(CGRectIsEmpty(CGRectZero));
    EXPECT_TRUE(CGRectIsEmpty(CGRectMake(3, 3, 0, 5)));
    EXPECT_TRUE(CGRectIsEmpty(CGRectMake(3, 3, 5, 0)));
    EXPECT_FALSE(CGRectIsEmpty(CGRectMake(3, 3, -1, -1)));
    EXPECT_FALSE(CGRectIsEmpty(CGRectInfinite));

    EXPECT_TRUE(CGRectIsInfinite(CGRectInfinite));
    EXPECT_FALSE(CGRectIsInfinite(CGRectMake(0, 0, kMax, kMax)));
    EXPECT_FALSE(CGRectIsInfinite(CGRectNull));
    EXPECT_FALSE(CGRectIsInfinite(CGRectZero));
}

TEST(Part4_1_CGGeometry, EqualityComparesStandardisedRectanglesAndExactPointsAndSizes) {
    EXPECT_TRUE(CGRectEqualToRect(CGRectMake(0, 0, 10, 10), CGRectMake(10, 10, -10, -10)));
    EXPECT_FALSE(CGRectEqualToRect(CGRectMake(0, 0, 10, 10), CGRectMake(0, 0, 10, 11)));
    EXPECT_TRUE(CGRectEqualToRect(CGRectNull, CGRectMake(kInfinity, 5, 1, 1)));
    EXPECT_FALSE(CGRectEqualToRect(CGRectNull, CGRectZero));
    EXPECT_FALSE(CGRectEqualToRect(CGRectZero, CGRectNull));
    EXPECT_TRUE(CGRectEqualToRect(CGRectInfinite, CGRectInfinite));
    // The member-wise operator does not standardise.
    EXPECT_FALSE(CGRectMake(0, 0, 10, 10) == CGRectMake(10, 10, -10, -10));

    EXPECT_TRUE(CGPointEqualToPoint(CGPointMake(1, -0.0), CGPointMake(1, 0)));
    EXPECT_FALSE(CGPointEqualToPoint(CGPointMake(1, 2), CGPointMake(2, 1)));
    const CGFloat nan = std::numeric_limits<CGFloat>::quiet_NaN();
    EXPECT_FALSE(CGPointEqualToPoint(CGPointMake(nan, 0), CGPointMake(nan, 0)));
    EXPECT_TRUE(CGSizeEqualToSize(CGSizeMake(3, 4), CGSizeMake(3, 4)));
    EXPECT_FALSE(CGSizeEqualToSize(CGSizeMake(3, 4), CGSizeMake(-3, -4)));
}

TEST(Part4_1_CGGeometry, UnionIgnoresOnlyTheNullRectangleAndStandardises) {
    EXPECT_EQ(CGRectUnion(CGRectMake(0, 0, 10, 10), CGRectMake(20, 5, 5, 20)),
              CGRectMake(0, 0, 25, 25));
    // Null is the identity, and the other argument comes back standardised.
    EXPECT_EQ(CGRectUnion(CGRectNull, CGRectMake(10, 10, -5, -5)), CGRectMake(5, 5, 5, 5));
    EXPECT_EQ(CGRectUnion(CGRectMake(10, 10, -5, -5), CGRectNull), CGRectMake(5, 5, 5, 5));
    EXPECT_EQ(CGRectUnion(CGRectNull, CGRectNull), CGRectNull);
    // Part 4.1: the zero rectangle is not ignored, so a union started from it holds the origin.
    EXPECT_EQ(CGRectUnion(CGRectZero, CGRectMake(10, 10, 5, 5)), CGRectMake(0, 0, 15, 15));
    // Negative sizes are standardised before the union.
    EXPECT_EQ(CGRectUnion(CGRectMake(10, 10, -10, -10), CGRectMake(10, 10, 1, 1)),
              CGRectMake(0, 0, 11, 11));
    EXPECT_EQ(CGRectUnion(CGRectInfinite, CGRectMake(1, 2, 3, 4)), CGRectInfinite);
    // A rectangle united with itself or with a part of it is that rectangle, to the bit.
    const CGRect r = CGRectMake(0.1, 0.1, 0.2, 0.2);
    EXPECT_EQ(CGRectUnion(r, r), r);
    EXPECT_EQ(CGRectUnion(r, CGRectMake(0.15, 0.15, 0.01, 0.01)), r);
}

TEST(Part4_1_CGGeometry, IntersectionIsNullWhenTheRectanglesDoNotMeet) {
    EXPECT_EQ(CGRectIntersection(CGRectMake(0, 0, 10, 10), CGRectMake(5, 5, 10, 10)),
              CGRectMake(5, 5, 5, 5));
    EXPECT_EQ(CGRectIntersection(CGRectMake(0, 0, 10, 10), CGRectMake(20, 0, 10, 10)), CGRectNull);
    EXPECT_EQ(CGRectIntersection(CGRectMake(0, 0, 10, 10), CGRectMake(0, 11, 10, 10)), CGRectNull);
    EXPECT_FALSE(CGRectIntersectsRect(CGRectMake(0, 0, 10, 10), CGRectMake(20, 0, 10, 10)));
    EXPECT_TRUE(CGRectIntersectsRect(CGRectMake(0, 0, 10, 10), CGRectMake(5, 5, 10, 10)));
    // A null argument gives null, even with the infinite rectangle.
    EXPECT_EQ(CGRectIntersection(CGRectNull, CGRectInfinite), CGRectNull);
    EXPECT_EQ(CGRectIntersection(CGRectMake(0, 0, 1, 1), CGRectNull), CGRectNull);
    EXPECT_FALSE(CGRectIntersectsRect(CGRectNull, CGRectInfinite));
    // Negative sizes are standardised; the result is standardised.
    EXPECT_EQ(CGRectIntersection(CGRectMake(10, 10, -10, -10), CGRectMake(15, 15, -10, -10)),
              CGRectMake(5, 5, 5, 5));
    EXPECT_EQ(CGRectIntersection(CGRectInfinite, CGRectMake(1, 2, 3, 4)), CGRectMake(1, 2, 3, 4));
    // A rectangle inside another comes out to the bit.
    const CGRect inner = CGRectMake(0.1, 0.1, 0.2, 0.2);
    EXPECT_EQ(CGRectIntersection(CGRectMake(0, 0, 1, 1), inner), inner);
}

TEST(Part4_1_CGGeometry, RectanglesThatTouchIntersectInAZeroWidthRectangle) {
    const CGRect left = CGRectMake(0, 0, 10, 10);
    const CGRect right = CGRectMake(10, 0, 10, 10);
    EXPECT_EQ(CGRectIntersection(left, right), CGRectMake(10, 0, 0, 10));
    EXPECT_TRUE(CGRectIntersectsRect(left, right));
    EXPECT_EQ(CGRectIntersection(left, CGRectMake(10, 10, 5, 5)), CGRectMake(10, 10, 0, 0));
}

TEST(Part4_1_CGGeometry, ContainsPointCountsMinimumEdgesInAndMaximumEdgesOut) {
    const CGRect r = CGRectMake(0, 0, 10, 10);
    EXPECT_TRUE(CGRectContainsPoint(r, CGPointMake(0, 0)));
    EXPECT_TRUE(CGRectContainsPoint(r, CGPointMake(9.5, 9.5)));
    EXPECT_FALSE(CGRectContainsPoint(r, CGPointMake(10, 5)));
    EXPECT_FALSE(CGRectContainsPoint(r, CGPointMake(5, 10)));
    EXPECT_FALSE(CGRectContainsPoint(r, CGPointMake(-0.5, 5)));
    // Standardised first: (10, 10, −10, −10) covers 0 … 10.
    EXPECT_TRUE(CGRectContainsPoint(CGRectMake(10, 10, -10, -10), CGPointMake(0, 0)));
    EXPECT_FALSE(CGRectContainsPoint(CGRectMake(10, 10, -10, -10), CGPointMake(10, 10)));
    EXPECT_FALSE(CGRectContainsPoint(CGRectNull, CGPointMake(0, 0)));
    EXPECT_FALSE(CGRectContainsPoint(CGRectMake(5, 5, 0, 0), CGPointMake(5, 5)));
    EXPECT_TRUE(CGRectContainsPoint(CGRectInfinite, CGPointMake(1e300, -1e300)));
}

TEST(Part4_1_CGGeometry, ContainsRectIsWhetherTheUnionIsTheFirstRectangle) {
    const CGRect r = CGRectMake(0, 0, 10, 10);
    EXPECT_TRUE(CGRectContainsRect(r, r));
    EXPECT_TRUE(CGRectContainsRect(r, CGRectMake(2, 2, 8, 8)));  // touching the maximum edges
    EXPECT_TRUE(CGRectContainsRect(r, CGRectMake(8, 8, -6, -6)));
    EXPECT_FALSE(CGRectContainsRect(r, CGRectMake(5, 5, 10, 1)));
    EXPECT_FALSE(CGRectContainsRect(CGRectMake(2, 2, 8, 8), r));
    EXPECT_TRUE(CGRectContainsRect(r, CGRectNull));
    EXPECT_FALSE(CGRectContainsRect(CGRectNull, r));
    EXPECT_TRUE(CGRectContainsRect(CGRectInfinite, r));
    const CGRect fractional = CGRectMake(0.1, 0.1, 0.2, 0.2);
    EXPECT_TRUE(CGRectContainsRect(fractional, fractional));
}

TEST(Part4_1_CGGeometry, OffsetStandardisesAndKeepsNull) {
    EXPECT_EQ(CGRectOffset(CGRectMake(1, 2, 3, 4), 10, -20), CGRectMake(11, -18, 3, 4));
    EXPECT_EQ(CGRectOffset(CGRectMake(10, 10, -4, -4), 1, 2), CGRectMake(7, 8, 4, 4));
    EXPECT_TRUE(CGRectIsNull(CGRectOffset(CGRectNull, 5, 5)));
}

TEST(Part4_1_CGGeometry, InsetStandardisesAndGivesNullWhenTheSizeWouldBeNegative) {
    EXPECT_EQ(CGRectInset(CGRectMake(0, 0, 10, 10), 2, 3), CGRectMake(2, 3, 6, 4));
    EXPECT_EQ(CGRectInset(CGRectMake(10, 10, -10, -10), 2, 3), CGRectMake(2, 3, 6, 4));
    EXPECT_EQ(CGRectInset(CGRectMake(0, 0, 10, 10), -1, -2), CGRectMake(-1, -2, 12, 14));
    EXPECT_EQ(CGRectInset(CGRectMake(0, 0, 10, 10), 5, 5), CGRectMake(5, 5, 0, 0));
    EXPECT_EQ(CGRectInset(CGRectMake(0, 0, 10, 10), 6, 0), CGRectNull);
    EXPECT_EQ(CGRectInset(CGRectMake(0, 0, 10, 10), 0, 5.5), CGRectNull);
    EXPECT_TRUE(CGRectIsNull(CGRectInset(CGRectNull, -5, -5)));
}

TEST(Part4_1_CGGeometry, IntegralRoundsTheMinimumEdgesDownAndTheMaximumEdgesUp) {
    EXPECT_EQ(CGRectIntegral(CGRectMake(0.5, 1.25, 2, 3.875)), CGRectMake(0, 1, 3, 5));
    EXPECT_EQ(CGRectIntegral(CGRectMake(-0.5, -1.5, 1, 1)), CGRectMake(-1, -2, 2, 2));
    EXPECT_EQ(CGRectIntegral(CGRectMake(3.5, 3.5, -1, -1)), CGRectMake(2, 2, 2, 2));
    EXPECT_EQ(CGRectIntegral(CGRectMake(1, 2, 3, 4)), CGRectMake(1, 2, 3, 4));
    EXPECT_EQ(CGRectIntegral(CGRectMake(0.25, 0.25, 0, 0)), CGRectMake(0, 0, 1, 1));
    EXPECT_EQ(CGRectIntegral(CGRectNull), CGRectNull);
    EXPECT_EQ(CGRectIntegral(CGRectInfinite), CGRectInfinite);
}

TEST(Part4_1_CGGeometry, MakeTransforms) {
    EXPECT_EQ(CGAffineTransformMakeTranslation(3, -4), CGAffineTransformMake(1, 0, 0, 1, 3, -4));
    EXPECT_EQ(CGAffineTransformMakeScale(2, -0.5), CGAffineTransformMake(2, 0, 0, -0.5, 0, 0));
    const CGFloat c = std::cos(kPi / 2), s = std::sin(kPi / 2);
    EXPECT_EQ(CGAffineTransformMakeRotation(kPi / 2), CGAffineTransformMake(c, s, -s, c, 0, 0));
    // Part 2.7: (x, y) → (x·cos θ − y·sin θ, x·sin θ + y·cos θ): counter-clockwise with y up.
    EXPECT_EQ(
        CGPointApplyAffineTransform(CGPointMake(1, 0), CGAffineTransformMakeRotation(kPi / 2)),
        CGPointMake(c, 1));
    EXPECT_EQ(
        CGPointApplyAffineTransform(CGPointMake(0, 1), CGAffineTransformMakeRotation(kPi / 2)),
        CGPointMake(-1, c));
    EXPECT_EQ(CGAffineTransformMakeRotation(0), CGAffineTransformIdentity);
}

TEST(Part4_1_CGGeometry, TranslateScaleAndRotatePrependTheirStep) {
    const CGPoint p = CGPointMake(1, 1);
    // The translation acts first, then the scale: (1, 1) → (11, 21) → (22, 63).
    const CGAffineTransform scaled = CGAffineTransformMakeScale(2, 3);
    const CGAffineTransform translated = CGAffineTransformTranslate(scaled, 10, 20);
    EXPECT_EQ(translated, CGAffineTransformMake(2, 0, 0, 3, 20, 60));
    EXPECT_EQ(CGPointApplyAffineTransform(p, translated), CGPointMake(22, 63));
    EXPECT_EQ(translated,
              CGAffineTransformConcat(CGAffineTransformMakeTranslation(10, 20), scaled));

    // The scale acts first, then the translation: (1, 1) → (2, 3) → (12, 23).
    const CGAffineTransform moved = CGAffineTransformMakeTranslation(10, 20);
    const CGAffineTransform scaledAfter = CGAffineTransformScale(moved, 2, 3);
    EXPECT_EQ(scaledAfter, CGAffineTransformMake(2, 0, 0, 3, 10, 20));
    EXPECT_EQ(CGPointApplyAffineTransform(p, scaledAfter), CGPointMake(12, 23));

    // The rotation acts first: (1, 0) → (cos, 1) → (10 + cos, 21), and 10 + cos(π/2) rounds to 10.
    const CGAffineTransform rotated = CGAffineTransformRotate(moved, kPi / 2);
    EXPECT_EQ(rotated, CGAffineTransformConcat(CGAffineTransformMakeRotation(kPi / 2), moved));
    EXPECT_EQ(CGPointApplyAffineTransform(CGPointMake(1, 0), rotated), CGPointMake(10, 21));

    // On a general transform every entry follows step × t.
    const CGAffineTransform t = CGAffineTransformMake(1, 2, 3, 4, 5, 6);
    EXPECT_EQ(CGAffineTransformTranslate(t, 1, 1), CGAffineTransformMake(1, 2, 3, 4, 9, 12));
    EXPECT_EQ(CGAffineTransformScale(t, 2, 3), CGAffineTransformMake(2, 4, 9, 12, 5, 6));
}

TEST(Part4_1_CGGeometry, ConcatAppliesTheFirstTransformFirst) {
    const CGAffineTransform t1 = CGAffineTransformMake(1, 2, 3, 4, 5, 6);
    const CGAffineTransform t2 = CGAffineTransformMake(7, 8, 9, 10, 11, 12);
    EXPECT_EQ(CGAffineTransformConcat(t1, t2), CGAffineTransformMake(25, 28, 57, 64, 100, 112));
    const CGPoint p = CGPointMake(1, 1);
    EXPECT_EQ(CGPointApplyAffineTransform(p, t1), CGPointMake(9, 12));
    EXPECT_EQ(CGPointApplyAffineTransform(CGPointMake(9, 12), t2), CGPointMake(182, 204));
    EXPECT_EQ(CGPointApplyAffineTransform(p, CGAffineTransformConcat(t1, t2)),
              CGPointMake(182, 204));
    // Scale then translate differs from translate then scale.
    const CGAffineTransform scale = CGAffineTransformMakeScale(2, 2);
    const CGAffineTransform move = CGAffineTransformMakeTranslation(10, 0);
    EXPECT_EQ(CGPointApplyAffineTransform(CGPointZero, CGAffineTransformConcat(scale, move)),
              CGPointMake(10, 0));
    EXPECT_EQ(CGPointApplyAffineTransform(CGPointZero, CGAffineTransformConcat(move, scale)),
              CGPointMake(20, 0));
    EXPECT_EQ(CGAffineTransformConcat(CGAffineTransformIdentity, t1), t1);
    EXPECT_EQ(CGAffineTransformConcat(t1, CGAffineTransformIdentity), t1);
}

TEST(Part4_1_CGGeometry, InvertReturnsTheInverseOrTheArgumentWhenSingular) {
    const CGAffineTransform t = CGAffineTransformMake(1, 2, 3, 4, 5, 6);  // determinant −2
    const CGAffineTransform inverse = CGAffineTransformInvert(t);
    EXPECT_EQ(inverse, CGAffineTransformMake(-2, 1, 1.5, -0.5, 1, -2));
    EXPECT_EQ(CGPointApplyAffineTransform(CGPointMake(9, 12), inverse), CGPointMake(1, 1));
    EXPECT_TRUE(CGAffineTransformIsIdentity(CGAffineTransformConcat(t, inverse)));

    const CGAffineTransform scaleMove = CGAffineTransformMake(2, 0, 0, 4, 1, 2);
    EXPECT_EQ(CGAffineTransformInvert(scaleMove),
              CGAffineTransformMake(0.5, 0, 0, 0.25, -0.5, -0.5));

    // Not invertible: the argument comes back unchanged.
    const CGAffineTransform singular = CGAffineTransformMake(1, 2, 2, 4, 5, 6);
    EXPECT_EQ(CGAffineTransformInvert(singular), singular);
    const CGAffineTransform flat = CGAffineTransformMake(0, 0, 0, 1, 7, 8);
    EXPECT_EQ(CGAffineTransformInvert(flat), flat);
}

TEST(Part4_1_CGGeometry, IdentityAndEqualityOfTransformsAreExact) {
    EXPECT_TRUE(CGAffineTransformIsIdentity(CGAffineTransformIdentity));
    EXPECT_TRUE(CGAffineTransformIsIdentity(CGAffineTransformMakeTranslation(0, 0)));
    EXPECT_TRUE(CGAffineTransformIsIdentity(CGAffineTransformMake(1, -0.0, 0, 1, -0.0, 0)));
    EXPECT_FALSE(CGAffineTransformIsIdentity(CGAffineTransformMake(1, 0, 0, 1, 0, 1e-300)));
    EXPECT_FALSE(CGAffineTransformIsIdentity(CGAffineTransformMakeRotation(2 * kPi)));
    EXPECT_TRUE(CGAffineTransformEqualToTransform(CGAffineTransformMake(1, 2, 3, 4, 5, 6),
                                                  CGAffineTransformMake(1, 2, 3, 4, 5, 6)));
    EXPECT_FALSE(CGAffineTransformEqualToTransform(CGAffineTransformMake(1, 2, 3, 4, 5, 6),
                                                   CGAffineTransformMake(1, 2, 3, 4, 5, 7)));
}

TEST(Part4_1_CGGeometry, PointAndSizeApplication) {
    const CGAffineTransform t = CGAffineTransformMake(1, 2, 3, 4, 5, 6);
    EXPECT_EQ(CGPointApplyAffineTransform(CGPointMake(1, -1), t), CGPointMake(3, 4));
    // A size is a vector: no translation.
    EXPECT_EQ(CGSizeApplyAffineTransform(CGSizeMake(1, 1), t), CGSizeMake(4, 6));
    EXPECT_EQ(CGSizeApplyAffineTransform(CGSizeMake(3, 4), CGAffineTransformMakeTranslation(9, 9)),
              CGSizeMake(3, 4));
    EXPECT_EQ(CGSizeApplyAffineTransform(CGSizeMake(3, 4), CGAffineTransformMakeScale(-1, 2)),
              CGSizeMake(-3, 8));
}

TEST(Part4_1_CGGeometry, RectApplicationGivesTheBoundingBoxOfTheCorners) {
    const CGAffineTransform scaleMove = CGAffineTransformConcat(
        CGAffineTransformMakeScale(2, 3), CGAffineTransformMakeTranslation(10, 20));
    EXPECT_EQ(CGRectApplyAffineTransform(CGRectMake(1, 1, 2, 2), scaleMove),
              CGRectMake(12, 23, 4, 6));
    // A mirroring scale still gives a standardised rectangle.
    EXPECT_EQ(CGRectApplyAffineTransform(CGRectMake(1, 1, 2, 2), CGAffineTransformMakeScale(-1, 1)),
              CGRectMake(-3, 1, 2, 2));
    // Rotation by π/2 of (0, 0, 2, 1), with c = cos(π/2) ≈ 6.1e−17: the corners go to (0, 0),
    // (2c, 2), (−1, c) and (2c − 1, 2 + c), so the box is (−1, 0, 2c + 1, 2): the width keeps c's
    // trace (1 + 2c rounds up to 1 + 2^−52) while 2 + c rounds to 2.
    const CGFloat c = std::cos(kPi / 2);
    EXPECT_EQ(
        CGRectApplyAffineTransform(CGRectMake(0, 0, 2, 1), CGAffineTransformMakeRotation(kPi / 2)),
        CGRectMake(-1, 0, 1 + 2 * c, 2));
    EXPECT_EQ(1 + 2 * c, 1 + 0x1p-52);
    // A 45° rotation of the square (−1, −1, 2, 2): its box stays centred on 0 and is 2√2 wide.
    const CGRect diamond = CGRectApplyAffineTransform(CGRectMake(-1, -1, 2, 2),
                                                      CGAffineTransformMakeRotation(kPi / 4));
    EXPECT_DOUBLE_EQ(diamond.size.width, 2 * std::sqrt(2.0));
    EXPECT_NEAR(CGRectGetMidX(diamond), 0, 1e-15);
    EXPECT_NEAR(CGRectGetMidY(diamond), 0, 1e-15);
    // Negative sizes are standardised; identity returns the standardised rectangle.
    EXPECT_EQ(CGRectApplyAffineTransform(CGRectMake(3, 3, -2, -2), CGAffineTransformIdentity),
              CGRectMake(1, 1, 2, 2));
    EXPECT_EQ(CGRectApplyAffineTransform(CGRectMake(3, 3, -2, -2),
                                         CGAffineTransformMakeTranslation(1, 1)),
              CGRectMake(2, 2, 2, 2));
    // Null stays null, infinite stays infinite.
    EXPECT_EQ(CGRectApplyAffineTransform(CGRectNull, scaleMove), CGRectNull);
    EXPECT_EQ(CGRectApplyAffineTransform(CGRectInfinite, scaleMove), CGRectInfinite);
}

TEST(Part4_1_CGGeometry, TextFormsReadBackExactly) {
    EXPECT_EQ(text(CGPointMake(1, -2.5)), "{1, -2.5}");
    EXPECT_EQ(text(CGSizeMake(0.1, 3)), "{0.1, 3}");
    EXPECT_EQ(text(CGRectMake(1, 2.5, -3, 0.1)), "{{1, 2.5}, {-3, 0.1}}");
    EXPECT_EQ(text(CGRectNull), "{{inf, inf}, {0, 0}}");
    EXPECT_EQ(text(CGAffineTransformMake(1, 0, 0, 1, 5.5, -6)), "[1, 0, 0, 1, 5.5, -6]");
    EXPECT_EQ(text(NSEdgeInsetsMake(1, 2, 3, 4)), "{1, 2, 3, 4}");
}
