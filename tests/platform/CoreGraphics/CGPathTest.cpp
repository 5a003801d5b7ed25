// Paths: building, rectangles and rounded rectangles, bounding boxes and emptiness.

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

TEST(CGPath, BuildingAndBoundingBoxes) {
    const CGPathRef rect = CGPathCreateWithRect(CGRectMake(30, 20, -10, 5), nullptr);
    EXPECT_EQ(CGPathGetBoundingBox(rect), CGRectMake(20, 20, 10, 5));  // standardised
    ASSERT_EQ(rect->elements.size(), 5u);
    EXPECT_EQ(rect->elements[2].points[0], CGPointMake(30, 25));
    const CGMutablePathRef path = CGPathCreateMutable();
    EXPECT_EQ(CGPathGetBoundingBox(path), CGRectNull);
    // Without a current point, lines, curves and closes are ignored.
    CGPathAddLineToPoint(path, nullptr, 5, 5);
    CGPathAddCurveToPoint(path, nullptr, 1, 1, 2, 2, 3, 3);
    CGPathCloseSubpath(path);
    EXPECT_TRUE(CGPathIsEmpty(path));
    CGPathMoveToPoint(path, nullptr, 10, 10);
    CGPathAddLineToPoint(path, nullptr, 20, 10);
    CGPathAddCurveToPoint(path, nullptr, 25, 40, 5, 40, 10, 20);  // control points count
    CGPathCloseSubpath(path);
    EXPECT_EQ(CGPathGetBoundingBox(path), CGRectMake(5, 10, 20, 30));
    const CGAffineTransform twice = CGAffineTransformMakeScale(2, 2);
    CGPathAddRect(path, &twice, CGRectMake(50, 50, 1, 1));
    EXPECT_EQ(CGPathGetBoundingBox(path), CGRectMake(5, 10, 97, 92));
    CGPathAddPath(path, nullptr, path);  // doubles, read from what it was
    EXPECT_EQ(path->elements.size(), 18u);
    // A null path takes every call and stays empty.
    const CGMutablePathRef none;
    CGPathMoveToPoint(none, nullptr, 1, 1);
    CGPathAddLineToPoint(none, nullptr, 1, 1);
    CGPathAddCurveToPoint(none, nullptr, 1, 1, 1, 1, 1, 1);
    CGPathCloseSubpath(none);
    CGPathAddRect(none, nullptr, CGRectMake(0, 0, 1, 1));
    CGPathAddPath(none, nullptr, rect);
    CGPathAddPath(CGPathCreateMutable(), nullptr, nullptr);
    EXPECT_TRUE(CGPathIsEmpty(none));
    EXPECT_EQ(CGPathGetBoundingBox(none), CGRectNull);
}

// Quarter-ellipse corners: the corner pixel is not painted, the middle of every edge is; corner
// sizes past half the side are clamped (a circle), and NaN or negative ones give the rectangle.
TEST(CGPath, RoundedRectangles) {
    const CGRect square = CGRectMake(0, 0, 100, 100);
    const CGContextRef context = filled(CGPathCreateWithRoundedRect(square, 20, 20, nullptr));
    for (auto [x, y] : {std::pair{0, 0}, {99, 99}, {2, 3}})
        EXPECT_EQ(pixelUp(context, x, y), kClear) << x << ", " << y;
    for (auto [x, y] : {std::pair{50, 0}, {0, 50}, {8, 8}})
        EXPECT_EQ(pixelUp(context, x, y), kBlack) << x << ", " << y;
    const RGBA onEdge = pixelUp(context, 7, 4);  // centred on the corner's circle: partly covered
    EXPECT_TRUE(onEdge.a > 60 && onEdge.a < 215) << onEdge;
    const CGPathRef half = CGPathCreateWithRoundedRect(square, 50, 50, nullptr);
    const CGPathRef tooBig = CGPathCreateWithRoundedRect(square, 500, 1e300, nullptr);
    ASSERT_EQ(tooBig->elements.size(), half->elements.size());
    for (size_t i = 0; i < half->elements.size(); ++i)
        EXPECT_EQ(tooBig->elements[i].points[0], half->elements[i].points[0]) << i;
    for (CGFloat size : {CGFloat(-10), CGFloat(NAN)})
        EXPECT_EQ(CGPathCreateWithRoundedRect(square, size, 20, nullptr)->elements.size(), 5u);
}
