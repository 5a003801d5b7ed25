// The geometry functions, with CoreGraphics' documented semantics. Values are exact in binary, so
// results are compared exactly.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "CGGeometry.h"

namespace {

constexpr CGFloat kInf = std::numeric_limits<CGFloat>::infinity();
constexpr CGFloat kMax = std::numeric_limits<CGFloat>::max();
constexpr CGFloat kPi = 3.141592653589793;

CGRect R(CGFloat x, CGFloat y, CGFloat w, CGFloat h) {
    return CGRectMake(x, y, w, h);
}

template <class T>
struct Same {
    T actual, expected;
};

template <class T>
void expectAll(std::initializer_list<Same<T>> cases) {
    int i = 0;
    for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected) << "case " << i++;
}

}  // namespace

TEST(CGGeometry, ConstantsAndGettersReadStandardisedRectangles) {
    EXPECT_EQ(CGRectNull, R(kInf, kInf, 0, 0));
    EXPECT_EQ(CGRectInfinite, R(-kMax / 2, -kMax / 2, kMax, kMax));
    EXPECT_EQ(CGRect{}, CGRectZero);
    EXPECT_EQ(CGAffineTransform{}, CGAffineTransformMake(1, 0, 0, 1, 0, 0));
    struct Case {
        CGRect rect;
        CGFloat minX, midX, maxX, minY, midY, maxY, width, height;
    };
    for (const auto& c :
         {Case{R(1, 2, 3, 5), 1, 2.5, 4, 2, 4.5, 7, 3, 5},
          Case{R(10, 20, -4, -6), 6, 8, 10, 14, 17, 20, 4, 6},
          Case{CGRectNull, kInf, kInf, kInf, kInf, kInf, kInf, 0, 0},
          Case{CGRectInfinite, -kMax / 2, 0, kMax / 2, -kMax / 2, 0, kMax / 2, kMax, kMax}}) {
        SCOPED_TRACE(testing::PrintToString(c.rect));
        const CGFloat got[] = {CGRectGetMinX(c.rect),  CGRectGetMidX(c.rect),
                               CGRectGetMaxX(c.rect),  CGRectGetMinY(c.rect),
                               CGRectGetMidY(c.rect),  CGRectGetMaxY(c.rect),
                               CGRectGetWidth(c.rect), CGRectGetHeight(c.rect)};
        const CGFloat want[] = {c.minX, c.midX, c.maxX, c.minY, c.midY, c.maxY, c.width, c.height};
        for (int i = 0; i < 8; ++i) EXPECT_EQ(got[i], want[i]) << "getter " << i;
    }
}

TEST(CGGeometry, Predicates) {
    struct Case {
        CGRect rect;
        bool null, empty, infinite;
    };
    for (const auto& c :
         {Case{CGRectNull, true, true, false}, Case{R(1, kInf, 2, 3), true, true, false},
          Case{R(kInf, 1, 2, 3), true, true, false}, Case{R(-kInf, 0, 1, 1), false, false, false},
          Case{CGRectZero, false, true, false}, Case{R(3, 3, 0, 5), false, true, false},
          Case{R(3, 3, 5, 0), false, true, false}, Case{R(3, 3, -1, -1), false, false, false},
          Case{CGRectInfinite, false, false, true},
          Case{R(0, 0, kMax, kMax), false, false, false}}) {
        SCOPED_TRACE(testing::PrintToString(c.rect));
        EXPECT_EQ(CGRectIsNull(c.rect), c.null);
        EXPECT_EQ(CGRectIsEmpty(c.rect), c.empty);
        EXPECT_EQ(CGRectIsInfinite(c.rect), c.infinite);
    }
}

// Each rectangle function standardises its arguments and its result; null is kept, and union
// ignores null but not the zero rectangle.
TEST(CGGeometry, RectangleFunctions) {
    const CGRect r = R(0.1, 0.1, 0.2, 0.2), square = R(0, 0, 10, 10);
    expectAll<CGRect>({
        {CGRectStandardize(R(10, 20, -4, -6)), R(6, 14, 4, 6)},
        {CGRectStandardize(R(10, 20, -4, 6)), R(6, 20, 4, 6)},
        {CGRectStandardize(CGRectInfinite), CGRectInfinite},
        {CGRectStandardize(R(kInf, 5, -3, 3)), CGRectNull},
        {CGRectUnion(square, R(20, 5, 5, 20)), R(0, 0, 25, 25)},
        {CGRectUnion(CGRectNull, R(10, 10, -5, -5)), R(5, 5, 5, 5)},
        {CGRectUnion(R(10, 10, -5, -5), CGRectNull), R(5, 5, 5, 5)},
        {CGRectUnion(CGRectNull, CGRectNull), CGRectNull},
        {CGRectUnion(CGRectZero, R(10, 10, 5, 5)), R(0, 0, 15, 15)},
        {CGRectUnion(R(10, 10, -10, -10), R(10, 10, 1, 1)), R(0, 0, 11, 11)},
        {CGRectUnion(CGRectInfinite, R(1, 2, 3, 4)), CGRectInfinite},
        {CGRectUnion(r, r), r},  // to the bit
        {CGRectUnion(r, R(0.15, 0.15, 0.01, 0.01)), r},
        {CGRectIntersection(square, R(5, 5, 10, 10)), R(5, 5, 5, 5)},
        {CGRectIntersection(square, R(20, 0, 10, 10)), CGRectNull},
        {CGRectIntersection(square, R(0, 11, 10, 10)), CGRectNull},
        {CGRectIntersection(CGRectNull, CGRectInfinite), CGRectNull},
        {CGRectIntersection(R(0, 0, 1, 1), CGRectNull), CGRectNull},
        {CGRectIntersection(R(10, 10, -10, -10), R(15, 15, -10, -10)), R(5, 5, 5, 5)},
        {CGRectIntersection(CGRectInfinite, R(1, 2, 3, 4)), R(1, 2, 3, 4)},
        {CGRectIntersection(R(0, 0, 1, 1), r), r},
        {CGRectIntersection(square, R(10, 0, 10, 10)), R(10, 0, 0, 10)},  // touching
        {CGRectIntersection(square, R(10, 10, 5, 5)), R(10, 10, 0, 0)},
        {CGRectOffset(R(1, 2, 3, 4), 10, -20), R(11, -18, 3, 4)},
        {CGRectOffset(R(10, 10, -4, -4), 1, 2), R(7, 8, 4, 4)},
        {CGRectOffset(CGRectNull, 5, 5), CGRectNull},
        {CGRectInset(square, 2, 3), R(2, 3, 6, 4)},
        {CGRectInset(R(10, 10, -10, -10), 2, 3), R(2, 3, 6, 4)},
        {CGRectInset(square, -1, -2), R(-1, -2, 12, 14)},
        {CGRectInset(square, 5, 5), R(5, 5, 0, 0)},
        {CGRectInset(square, 6, 0), CGRectNull},
        {CGRectInset(square, 0, 5.5), CGRectNull},
        {CGRectInset(CGRectNull, -5, -5), CGRectNull},
        {CGRectIntegral(R(0.5, 1.25, 2, 3.875)), R(0, 1, 3, 5)},
        {CGRectIntegral(R(-0.5, -1.5, 1, 1)), R(-1, -2, 2, 2)},
        {CGRectIntegral(R(3.5, 3.5, -1, -1)), R(2, 2, 2, 2)},
        {CGRectIntegral(R(0.25, 0.25, 0, 0)), R(0, 0, 1, 1)},
        {CGRectIntegral(CGRectNull), CGRectNull},
        {CGRectIntegral(CGRectInfinite), CGRectInfinite},
    });
}

TEST(CGGeometry, ContainmentIntersectionAndEquality) {
    const CGRect square = R(0, 0, 10, 10), flipped = R(10, 10, -10, -10);
    const CGFloat nan = std::numeric_limits<CGFloat>::quiet_NaN();
    expectAll<bool>({
        // Minimum edges are in, maximum edges out.
        {CGRectContainsPoint(square, {0, 0}), true},
        {CGRectContainsPoint(square, {9.5, 9.5}), true},
        {CGRectContainsPoint(square, {10, 5}), false},
        {CGRectContainsPoint(square, {5, 10}), false},
        {CGRectContainsPoint(square, {-0.5, 5}), false},
        {CGRectContainsPoint(flipped, {0, 0}), true},
        {CGRectContainsPoint(flipped, {10, 10}), false},
        {CGRectContainsPoint(CGRectNull, {0, 0}), false},
        {CGRectContainsPoint(R(5, 5, 0, 0), {5, 5}), false},
        {CGRectContainsPoint(CGRectInfinite, {1e300, -1e300}), true},
        {CGRectContainsRect(square, square), true},
        {CGRectContainsRect(square, R(2, 2, 8, 8)), true},
        {CGRectContainsRect(square, R(8, 8, -6, -6)), true},
        {CGRectContainsRect(square, R(5, 5, 10, 1)), false},
        {CGRectContainsRect(R(2, 2, 8, 8), square), false},
        {CGRectContainsRect(square, CGRectNull), true},
        {CGRectContainsRect(CGRectNull, square), false},
        {CGRectContainsRect(CGRectInfinite, square), true},
        {CGRectContainsRect(R(0.1, 0.1, 0.2, 0.2), R(0.1, 0.1, 0.2, 0.2)), true},
        {CGRectIntersectsRect(square, R(20, 0, 10, 10)), false},
        {CGRectIntersectsRect(square, R(5, 5, 10, 10)), true},
        {CGRectIntersectsRect(square, R(10, 0, 10, 10)), true},
        {CGRectIntersectsRect(CGRectNull, CGRectInfinite), false},
        {CGRectEqualToRect(square, flipped), true},
        {square == flipped, false},  // the member-wise operator does not standardise
        {CGRectEqualToRect(square, R(0, 0, 10, 11)), false},
        {CGRectEqualToRect(CGRectNull, R(kInf, 5, 1, 1)), true},
        {CGRectEqualToRect(CGRectNull, CGRectZero), false},
        {CGRectEqualToRect(CGRectZero, CGRectNull), false},
        {CGPointEqualToPoint({1, -0.0}, {1, 0}), true},
        {CGPointEqualToPoint({nan, 0}, {nan, 0}), false},
        {CGSizeEqualToSize({3, 4}, {-3, -4}), false},
        {CGAffineTransformIsIdentity(CGAffineTransformMake(1, -0.0, 0, 1, -0.0, 0)), true},
        {CGAffineTransformIsIdentity(CGAffineTransformMake(1, 0, 0, 1, 0, 1e-300)), false},
        {CGAffineTransformIsIdentity(CGAffineTransformMakeRotation(2 * kPi)), false},
        {CGAffineTransformEqualToTransform(CGAffineTransformMake(1, 2, 3, 4, 5, 6),
                                           CGAffineTransformMake(1, 2, 3, 4, 5, 7)),
         false},
    });
}

// Translate, scale and rotate put their step before the transform: it acts first on points.
TEST(CGGeometry, Transforms) {
    const CGAffineTransform t = CGAffineTransformMake(1, 2, 3, 4, 5, 6);
    const CGAffineTransform move = CGAffineTransformMakeTranslation(10, 20);
    const CGAffineTransform quarter = CGAffineTransformMakeRotation(kPi / 2);
    const CGFloat c = std::cos(kPi / 2);
    expectAll<CGAffineTransform>({
        {CGAffineTransformMakeScale(2, -0.5), CGAffineTransformMake(2, 0, 0, -0.5, 0, 0)},
        {quarter, CGAffineTransformMake(c, 1, -1, c, 0, 0)},
        {CGAffineTransformMakeRotation(0), CGAffineTransformIdentity},
        {CGAffineTransformTranslate(CGAffineTransformMakeScale(2, 3), 10, 20),
         CGAffineTransformMake(2, 0, 0, 3, 20, 60)},
        {CGAffineTransformScale(move, 2, 3), CGAffineTransformMake(2, 0, 0, 3, 10, 20)},
        {CGAffineTransformRotate(move, kPi / 2), CGAffineTransformConcat(quarter, move)},
        {CGAffineTransformTranslate(t, 1, 1), CGAffineTransformMake(1, 2, 3, 4, 9, 12)},
        {CGAffineTransformScale(t, 2, 3), CGAffineTransformMake(2, 4, 9, 12, 5, 6)},
        {CGAffineTransformConcat(t, CGAffineTransformMake(7, 8, 9, 10, 11, 12)),
         CGAffineTransformMake(25, 28, 57, 64, 100, 112)},
        {CGAffineTransformConcat(CGAffineTransformIdentity, t), t},
        {CGAffineTransformInvert(t), CGAffineTransformMake(-2, 1, 1.5, -0.5, 1, -2)},
        {CGAffineTransformInvert(CGAffineTransformMake(2, 0, 0, 4, 1, 2)),
         CGAffineTransformMake(0.5, 0, 0, 0.25, -0.5, -0.5)},
        // Not invertible: the argument comes back unchanged.
        {CGAffineTransformInvert(CGAffineTransformMake(1, 2, 2, 4, 5, 6)),
         CGAffineTransformMake(1, 2, 2, 4, 5, 6)},
        {CGAffineTransformInvert(CGAffineTransformMake(0, 0, 0, 1, 7, 8)),
         CGAffineTransformMake(0, 0, 0, 1, 7, 8)},
    });
    expectAll<CGPoint>({
        {CGPointApplyAffineTransform({1, 0}, quarter), CGPointMake(c, 1)},  // counter-clockwise
        {CGPointApplyAffineTransform({0, 1}, quarter), CGPointMake(-1, c)},
        {CGPointApplyAffineTransform({1, 0}, CGAffineTransformRotate(move, kPi / 2)), {10, 21}},
        {CGPointApplyAffineTransform({1, -1}, t), {3, 4}},
        {CGPointApplyAffineTransform({9, 12}, CGAffineTransformInvert(t)), {1, 1}},
    });
    expectAll<CGSize>({
        // a size is a vector: no translation
        {CGSizeApplyAffineTransform({1, 1}, t), {4, 6}},
        {CGSizeApplyAffineTransform({3, 4}, CGAffineTransformMakeScale(-1, 2)), {-3, 8}},
    });
    const CGAffineTransform scaleMove =
        CGAffineTransformConcat(CGAffineTransformMakeScale(2, 3), move);
    // A rotation by π/2 of (0, 0, 2, 1) with c = cos(π/2) ≈ 6.1e−17: the box's width keeps c's
    // trace (1 + 2c rounds up to 1 + 2^−52) while 2 + c rounds to 2.
    expectAll<CGRect>({
        {CGRectApplyAffineTransform(R(1, 1, 2, 2), scaleMove), R(12, 23, 4, 6)},
        {CGRectApplyAffineTransform(R(1, 1, 2, 2), CGAffineTransformMakeScale(-1, 1)),
         R(-3, 1, 2, 2)},
        {CGRectApplyAffineTransform(R(0, 0, 2, 1), quarter), R(-1, 0, 1 + 0x1p-52, 2)},
        {CGRectApplyAffineTransform(R(3, 3, -2, -2), CGAffineTransformIdentity), R(1, 1, 2, 2)},
        {CGRectApplyAffineTransform(CGRectNull, scaleMove), CGRectNull},
        {CGRectApplyAffineTransform(CGRectInfinite, scaleMove), CGRectInfinite},
    });
    const CGRect diamond =
        CGRectApplyAffineTransform(R(-1, -1, 2, 2), CGAffineTransformMakeRotation(kPi / 4));
    EXPECT_DOUBLE_EQ(diamond.size.width, 2 * std::sqrt(2.0));
    EXPECT_NEAR(CGRectGetMidX(diamond), 0, 1e-15);
}

TEST(CGGeometry, TextForms) {
    const auto text = [](const auto& value) {
        std::ostringstream stream;
        stream << value;
        return stream.str();
    };
    EXPECT_EQ(text(CGPointMake(1, -2.5)), "{1, -2.5}");
    EXPECT_EQ(text(CGSizeMake(0.1, 3)), "{0.1, 3}");
    EXPECT_EQ(text(R(1, 2.5, -3, 0.1)), "{{1, 2.5}, {-3, 0.1}}");
    EXPECT_EQ(text(CGRectNull), "{{inf, inf}, {0, 0}}");
    EXPECT_EQ(text(CGAffineTransformMake(1, 0, 0, 1, 5.5, -6)), "[1, 0, 0, 1, 5.5, -6]");
    EXPECT_EQ(text(NSEdgeInsetsMake(1, 2, 3, 4)), "{1, 2, 3, 4}");
}
