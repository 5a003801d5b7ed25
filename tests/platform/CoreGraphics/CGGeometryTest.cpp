// The geometry functions; values are exact in binary, so results are compared exactly.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

#include "CGGeometry.h"

namespace {

constexpr CGFloat kInf = std::numeric_limits<CGFloat>::infinity();
constexpr CGFloat kMax = std::numeric_limits<CGFloat>::max();
constexpr CGFloat kPi = 3.141592653589793;

CGRect R(CGFloat x, CGFloat y, CGFloat w, CGFloat h) {
    return CGRectMake(x, y, w, h);
}

template <class T>
void expectAll(std::initializer_list<std::pair<T, T>> cases) {
    int i = 0;
    for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, expected) << "case " << i++;
}

}  // namespace

// Each rectangle function standardises its arguments and its result; null is kept, and union
// ignores null but not the zero rectangle.
TEST(CGGeometry, RectangleFunctions) {
    const CGRect r = R(0.1, 0.1, 0.2, 0.2), square = R(0, 0, 10, 10);
    expectAll<CGRect>({
        // clang-format off
        {CGRectStandardize(R(10, 20, -4, 6)), R(6, 20, 4, 6)}, {CGRectStandardize(CGRectInfinite), CGRectInfinite},
        {CGRectStandardize(R(kInf, 5, -3, 3)), CGRectNull}, {CGRectUnion(CGRectNull, R(10, 10, -5, -5)), R(5, 5, 5, 5)},
        {CGRectUnion(R(10, 10, -5, -5), CGRectNull), R(5, 5, 5, 5)}, {CGRectUnion(CGRectZero, R(10, 10, 5, 5)), R(0, 0, 15, 15)},
        {CGRectUnion(CGRectInfinite, R(1, 2, 3, 4)), CGRectInfinite}, {CGRectUnion(r, R(0.15, 0.15, 0.01, 0.01)), r},
        {CGRectIntersection(square, R(5, 5, 10, 10)), R(5, 5, 5, 5)}, {CGRectIntersection(square, R(20, 0, 10, 10)), CGRectNull},
        {CGRectIntersection(square, R(0, 11, 10, 10)), CGRectNull}, {CGRectIntersection(R(0, 0, 1, 1), CGRectNull), CGRectNull},
        {CGRectIntersection(R(10, 10, -10, -10), R(15, 15, -10, -10)), R(5, 5, 5, 5)},
        {CGRectIntersection(square, R(10, 10, 5, 5)), R(10, 10, 0, 0)},  // touching
        {CGRectInset(R(10, 10, -10, -10), 2, 3), R(2, 3, 6, 4)}, {CGRectInset(square, 5, 5), R(5, 5, 0, 0)},
        {CGRectInset(square, 6, 0), CGRectNull}, {CGRectInset(square, 0, 5.5), CGRectNull},
        {CGRectInset(CGRectNull, -5, -5), CGRectNull}, {CGRectIntegral(R(-0.5, -1.5, 1, 1)), R(-1, -2, 2, 2)},
        {CGRectIntegral(CGRectNull), CGRectNull}, {CGRectIntegral(CGRectInfinite), CGRectInfinite},
    });  // clang-format on
}

TEST(CGGeometry, ContainmentIntersectionAndEquality) {
    const CGRect square = R(0, 0, 10, 10), flipped = R(10, 10, -10, -10);
    const CGFloat nan = std::numeric_limits<CGFloat>::quiet_NaN();
    expectAll<bool>({
        // clang-format off
        {CGRectContainsPoint(square, {0, 0}), true},  // minimum edges in, maximum edges out
        {CGRectContainsPoint(square, {10, 5}), false}, {CGRectContainsPoint(square, {5, 10}), false},
        {CGRectContainsPoint(flipped, {0, 0}), true}, {CGRectContainsPoint(CGRectNull, {0, 0}), false},
        {CGRectContainsPoint(R(5, 5, 0, 0), {5, 5}), false}, {CGRectContainsPoint(CGRectInfinite, {1e300, -1e300}), true},
        {CGRectContainsRect(square, R(8, 8, -6, -6)), true}, {CGRectContainsRect(square, R(5, 5, 10, 1)), false},
        {CGRectContainsRect(square, CGRectNull), true}, {CGRectContainsRect(CGRectNull, square), false},
        {CGRectContainsRect(CGRectInfinite, square), true},
        {CGRectContainsRect(R(0.1, 0.1, 0.2, 0.2), R(0.1, 0.1, 0.2, 0.2)), true},
        {CGRectIntersectsRect(square, R(20, 0, 10, 10)), false}, {CGRectIntersectsRect(square, R(10, 0, 10, 10)), true},
        {CGRectIntersectsRect(CGRectNull, CGRectInfinite), false}, {CGRectEqualToRect(square, flipped), true},
        {square == flipped, false},  // the member-wise operator does not standardise
        {CGRectEqualToRect(CGRectNull, R(kInf, 5, 1, 1)), true}, {CGRectEqualToRect(CGRectNull, CGRectZero), false},
        {CGRectEqualToRect(CGRectZero, CGRectNull), false}, {CGPointEqualToPoint({1, -0.0}, {1, 0}), true},
        {CGPointEqualToPoint({nan, 0}, {nan, 0}), false}, {CGSizeEqualToSize({3, 4}, {-3, -4}), false},
        {CGAffineTransformIsIdentity(CGAffineTransformMake(1, -0.0, 0, 1, -0.0, 0)), true},
        {CGAffineTransformIsIdentity(CGAffineTransformMake(1, 0, 0, 1, 0, 1e-300)), false},
        {CGAffineTransformEqualToTransform(CGAffineTransformMake(1, 2, 3, 4, 5, 6), CGAffineTransformMake(1, 2, 3, 4, 5, 7)), false},
    });  // clang-format on
}

// Translate, scale and rotate put their step before the transform: it acts first on points.
TEST(CGGeometry, Transforms) {
    const CGAffineTransform t = CGAffineTransformMake(1, 2, 3, 4, 5, 6);
    const CGAffineTransform move = CGAffineTransformMakeTranslation(10, 20);
    const CGAffineTransform quarter = CGAffineTransformMakeRotation(kPi / 2);
    const CGFloat c = std::cos(kPi / 2);
    expectAll<CGAffineTransform>({
        // clang-format off
        {quarter, CGAffineTransformMake(c, 1, -1, c, 0, 0)},
        {CGAffineTransformRotate(move, kPi / 2), CGAffineTransformConcat(quarter, move)},
        {CGAffineTransformTranslate(t, 1, 1), CGAffineTransformMake(1, 2, 3, 4, 9, 12)},
        {CGAffineTransformScale(t, 2, 3), CGAffineTransformMake(2, 4, 9, 12, 5, 6)},
        {CGAffineTransformConcat(t, CGAffineTransformMake(7, 8, 9, 10, 11, 12)), CGAffineTransformMake(25, 28, 57, 64, 100, 112)},
        {CGAffineTransformInvert(t), CGAffineTransformMake(-2, 1, 1.5, -0.5, 1, -2)},
        {CGAffineTransformInvert(CGAffineTransformMake(1, 2, 2, 4, 5, 6)), CGAffineTransformMake(1, 2, 2, 4, 5, 6)},  // singular: unchanged
    });
    EXPECT_EQ(CGPointApplyAffineTransform({1, -1}, t), CGPointMake(3, 4));
    EXPECT_EQ(CGSizeApplyAffineTransform({1, 1}, t), CGSizeMake(4, 6));  // a vector: no translation
    // π/2 of (0, 0, 2, 1), c = cos(π/2) ≈ 6.1e−17: the width keeps c's trace (1 + 2c rounds up).
    const CGAffineTransform scaleMove = CGAffineTransformConcat(CGAffineTransformMakeScale(2, 3), move);
    expectAll<CGRect>({
        {CGRectApplyAffineTransform(R(1, 1, 2, 2), scaleMove), R(12, 23, 4, 6)},
        {CGRectApplyAffineTransform(R(1, 1, 2, 2), CGAffineTransformMakeScale(-1, 1)), R(-3, 1, 2, 2)},
        {CGRectApplyAffineTransform(R(0, 0, 2, 1), quarter), R(-1, 0, 1 + 0x1p-52, 2)},
        {CGRectApplyAffineTransform(R(3, 3, -2, -2), CGAffineTransformIdentity), R(1, 1, 2, 2)},
        {CGRectApplyAffineTransform(CGRectNull, scaleMove), CGRectNull},
        {CGRectApplyAffineTransform(CGRectInfinite, scaleMove), CGRectInfinite},
    });  // clang-format on
}

TEST(CGGeometry, GettersPredicatesAndTextForms) {
    const CGRect flipped = R(10, 20, -4, -6);
    const CGFloat got[] = {
        CGRectGetMinX(flipped),    CGRectGetMidX(flipped),   CGRectGetMaxX(flipped),
        CGRectGetMinY(flipped),    CGRectGetMidY(flipped),   CGRectGetMaxY(flipped),
        CGRectGetWidth(flipped),   CGRectGetHeight(flipped), CGRectGetMidX(CGRectNull),
        CGRectGetWidth(CGRectNull)};  // clang-format off
    EXPECT_EQ(std::vector<CGFloat>(got, got + 10), (std::vector<CGFloat>{6, 8, 10, 14, 17, 20, 4, 6, kInf, 0}));  // clang-format on
    EXPECT_TRUE(CGRectIsNull(R(1, kInf, 2, 3)) && CGRectIsEmpty(R(3, 3, 0, 5)) &&
                CGRectIsInfinite(CGRectInfinite));
    EXPECT_FALSE(CGRectIsEmpty(R(3, 3, -1, -1)) || CGRectIsInfinite(R(0, 0, kMax, kMax)));
    std::ostringstream text;
    text << CGPointMake(1, -2.5) << CGSizeMake(0.1, 3) << R(1, 2.5, -3, 0.1)
         << CGAffineTransformMake(1, 0, 0, 1, 5.5, -6)
         << NSEdgeInsetsMake(1, 2, 3, 4);  // clang-format off
    EXPECT_EQ(text.str(), "{1, -2.5}{0.1, 3}{{1, 2.5}, {-3, 0.1}}[1, 0, 0, 1, 5.5, -6]{1, 2, 3, 4}");  // clang-format on
}
