// Part 4.1 paths: building, the rectangle and rounded-rectangle paths (CoreGraphics' shape, with
// corner sizes clamped where CoreGraphics asserts), bounding boxes and emptiness.

#include <gtest/gtest.h>

#include "CGPath.h"
#include "CGPathPrivate.h"
#include "ContextTestSupport.h"

using namespace ContextTestSupport;

namespace {

// A 100 × 100 context with `path` filled in opaque black.
CGContextRef filled(const CGPathRef& path) {
    const CGContextRef context = nativeContext(100, 100);
    CGContextAddPath(context, path);
    CGContextFillPath(context);
    return context;
}

}  // namespace

TEST(Part4_1_CGPath, RectanglePathAndItsBoundingBox) {
    const CGPathRef rect = CGPathCreateWithRect(CGRectMake(30, 20, -10, 5), nullptr);
    EXPECT_FALSE(CGPathIsEmpty(rect));
    EXPECT_EQ(CGPathGetBoundingBox(rect), CGRectMake(20, 20, 10, 5));  // standardised
    ASSERT_EQ(rect->elements.size(), 5u);
    EXPECT_EQ(rect->elements[0].type, kCGPathElementMoveToPoint);
    EXPECT_EQ(rect->elements[0].points[0], CGPointMake(20, 20));
    EXPECT_EQ(rect->elements[2].points[0], CGPointMake(30, 25));
    EXPECT_EQ(rect->elements[4].type, kCGPathElementCloseSubpath);

    const CGAffineTransform move = CGAffineTransformMakeTranslation(5, -5);
    EXPECT_EQ(CGPathGetBoundingBox(CGPathCreateWithRect(CGRectMake(0, 0, 2, 3), &move)),
              CGRectMake(5, -5, 2, 3));
}

TEST(Part4_1_CGPath, BuildingAMutablePath) {
    const CGMutablePathRef path = CGPathCreateMutable();
    EXPECT_TRUE(CGPathIsEmpty(path));
    EXPECT_EQ(CGPathGetBoundingBox(path), CGRectNull);
    // No current point yet: lines, curves and closes are ignored.
    CGPathAddLineToPoint(path, nullptr, 5, 5);
    CGPathAddCurveToPoint(path, nullptr, 1, 1, 2, 2, 3, 3);
    CGPathCloseSubpath(path);
    EXPECT_TRUE(CGPathIsEmpty(path));

    CGPathMoveToPoint(path, nullptr, 10, 10);
    CGPathAddLineToPoint(path, nullptr, 20, 10);
    CGPathAddCurveToPoint(path, nullptr, 25, 40, 5, 40, 10, 20);  // control points count
    CGPathCloseSubpath(path);
    EXPECT_EQ(path->elements.size(), 4u);
    EXPECT_EQ(CGPathGetBoundingBox(path), CGRectMake(5, 10, 20, 30));

    const CGAffineTransform twice = CGAffineTransformMakeScale(2, 2);
    CGPathAddRect(path, &twice, CGRectMake(50, 50, 1, 1));
    EXPECT_EQ(CGPathGetBoundingBox(path), CGRectMake(5, 10, 97, 92));

    // A path added to itself doubles, read from what it was.
    CGPathAddPath(path, nullptr, path);
    EXPECT_EQ(path->elements.size(), 18u);
    const CGMutablePathRef moved = CGPathCreateMutable();
    const CGAffineTransform by = CGAffineTransformMakeTranslation(-5, -10);
    CGPathAddPath(moved, &by, path);
    EXPECT_EQ(CGPathGetBoundingBox(moved), CGRectMake(0, 0, 97, 92));
}

// CoreGraphics' rounded rectangle: quarter-ellipse corners. The pixel at a corner is not painted,
// the middle of every edge is.
TEST(Part4_1_CGPath, RoundedRectangleCorners) {
    const CGPathRef path = CGPathCreateWithRoundedRect(CGRectMake(0, 0, 100, 100), 20, 20, nullptr);
    EXPECT_EQ(CGPathGetBoundingBox(path), CGRectMake(0, 0, 100, 100));
    const CGContextRef context = filled(path);
    for (auto [x, y] : {std::pair{0, 0}, {99, 0}, {0, 99}, {99, 99}, {2, 3}})
        EXPECT_EQ(pixelUp(context, size_t(x), size_t(y)), kClear) << x << ", " << y;
    for (auto [x, y] : {std::pair{50, 0}, {0, 50}, {99, 50}, {50, 99}, {50, 50}, {8, 8}})
        EXPECT_EQ(pixelUp(context, size_t(x), size_t(y)), kBlack) << x << ", " << y;
    // A pixel whose centre (7.5, 4.5) lies on the corner's circle, 19.9 from its centre (20, 20):
    // partly covered.
    const RGBA onEdge = pixelUp(context, 7, 4);
    EXPECT_GT(onEdge.a, 60);
    EXPECT_LT(onEdge.a, 215);

    // Unequal corner width and height: an ellipse quarter 40 wide and 10 tall.
    const CGContextRef elliptic =
        filled(CGPathCreateWithRoundedRect(CGRectMake(0, 0, 100, 100), 40, 10, nullptr));
    EXPECT_EQ(pixelUp(elliptic, 1, 1), kClear);
    EXPECT_EQ(pixelUp(elliptic, 45, 1), kBlack);
    EXPECT_EQ(pixelUp(elliptic, 1, 15), kBlack);
}

// CoreGraphics asserts on corner sizes below 0 or beyond half the side; here they are clamped.
TEST(Part4_1_CGPath, RoundedRectangleCornerSizesAreClamped) {
    const CGRect square = CGRectMake(0, 0, 100, 100);
    const CGPathRef half = CGPathCreateWithRoundedRect(square, 50, 50, nullptr);
    const CGPathRef tooBig = CGPathCreateWithRoundedRect(square, 500, 1e300, nullptr);
    ASSERT_EQ(tooBig->elements.size(), half->elements.size());
    for (size_t i = 0; i < half->elements.size(); ++i)
        for (size_t p = 0; p < half->elements[i].pointCount(); ++p)
            EXPECT_EQ(tooBig->elements[i].points[p], half->elements[i].points[p]) << i;
    // The circle: its centre painted, the corners and the square's diagonal near them not.
    const CGContextRef circle = filled(tooBig);
    EXPECT_EQ(pixelUp(circle, 50, 50), kBlack);
    EXPECT_EQ(pixelUp(circle, 10, 10), kClear);
    EXPECT_EQ(pixelUp(circle, 50, 1), kBlack);

    // Negative, NaN and zero corners give the plain rectangle (5 elements, corner painted).
    for (double corner : {-10.0, double(NAN), 0.0}) {
        const CGPathRef plain = CGPathCreateWithRoundedRect(square, corner, 20, nullptr);
        EXPECT_EQ(plain->elements.size(), 5u) << corner;
        EXPECT_EQ(pixelUp(filled(plain), 0, 0), kBlack) << corner;
    }
    // A transform maps the whole shape.
    const CGAffineTransform half_scale = CGAffineTransformMakeScale(0.5, 0.5);
    EXPECT_EQ(CGPathGetBoundingBox(CGPathCreateWithRoundedRect(square, 10, 10, &half_scale)),
              CGRectMake(0, 0, 50, 50));
}

TEST(Part4_1_CGPath, NullPathsAndRelease) {
    const CGMutablePathRef none;
    CGPathMoveToPoint(none, nullptr, 1, 1);
    CGPathAddLineToPoint(none, nullptr, 1, 1);
    CGPathAddCurveToPoint(none, nullptr, 1, 1, 1, 1, 1, 1);
    CGPathCloseSubpath(none);
    CGPathAddRect(none, nullptr, CGRectMake(0, 0, 1, 1));
    CGPathAddPath(none, nullptr, CGPathCreateWithRect(CGRectMake(0, 0, 1, 1), nullptr));
    CGPathAddPath(CGPathCreateMutable(), nullptr, nullptr);
    EXPECT_TRUE(CGPathIsEmpty(none));
    EXPECT_EQ(CGPathGetBoundingBox(none), CGRectNull);

    CGPathRef path = CGPathCreateWithRect(CGRectMake(0, 0, 1, 1), nullptr);
    CGPathRelease(path);
    EXPECT_EQ(path, nullptr);
}
