// Paths: building, the rectangle and rounded-rectangle shapes (quarter-ellipse corners, sizes
// clamped where CoreGraphics asserts), bounding boxes and emptiness.

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
    EXPECT_EQ(rect->elements[0].points[0], CGPointMake(20, 20));
    EXPECT_EQ(rect->elements[2].points[0], CGPointMake(30, 25));
    EXPECT_EQ(rect->elements[4].type, kCGPathElementCloseSubpath);
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
    const CGMutablePathRef moved = CGPathCreateMutable();
    const CGAffineTransform by = CGAffineTransformMakeTranslation(-5, -10);
    CGPathAddPath(moved, &by, path);
    EXPECT_EQ(CGPathGetBoundingBox(moved), CGRectMake(0, 0, 97, 92));
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
    CGPathRef released = rect;
    CGPathRelease(released);
    EXPECT_EQ(released, nullptr);
}

// Quarter-ellipse corners: the corner pixels are not painted, the middle of every edge is; corner
// sizes past half the side are clamped (a circle), and negative, NaN and zero ones give the plain
// rectangle.
TEST(CGPath, RoundedRectangles) {
    const CGRect square = CGRectMake(0, 0, 100, 100);
    struct Case {
        CGFloat width, height;
        std::vector<std::pair<size_t, size_t>> clear, black;
    };
    const Case cases[] = {
        {20,
         20,
         {{0, 0}, {99, 0}, {0, 99}, {99, 99}, {2, 3}},
         {{50, 0}, {0, 50}, {99, 50}, {8, 8}}},
        {40, 10, {{1, 1}}, {{45, 1}, {1, 15}}},
        {500, 1e300, {{10, 10}}, {{50, 50}, {50, 1}}},
        {-10, 20, {}, {{0, 0}}},
        {NAN, 20, {}, {{0, 0}}},
        {0, 20, {}, {{0, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " × " << c.height);
        const CGPathRef path = CGPathCreateWithRoundedRect(square, c.width, c.height, nullptr);
        EXPECT_EQ(CGPathGetBoundingBox(path), square);
        if (c.clear.empty()) {
            EXPECT_EQ(path->elements.size(), 5u);
        }
        const CGContextRef context = filled(path);
        for (auto [x, y] : c.clear) EXPECT_EQ(pixelUp(context, x, y), kClear) << x << ", " << y;
        for (auto [x, y] : c.black) EXPECT_EQ(pixelUp(context, x, y), kBlack) << x << ", " << y;
    }
    // The pixel centred on the 20-point corner's circle is partly covered.
    const RGBA onEdge = pixelUp(filled(CGPathCreateWithRoundedRect(square, 20, 20, nullptr)), 7, 4);
    EXPECT_GT(onEdge.a, 60);
    EXPECT_LT(onEdge.a, 215);
    const CGPathRef half = CGPathCreateWithRoundedRect(square, 50, 50, nullptr);
    const CGPathRef tooBig = CGPathCreateWithRoundedRect(square, 500, 1e300, nullptr);
    ASSERT_EQ(tooBig->elements.size(), half->elements.size());
    for (size_t i = 0; i < half->elements.size(); ++i)
        for (size_t p = 0; p < half->elements[i].pointCount(); ++p)
            EXPECT_EQ(tooBig->elements[i].points[p], half->elements[i].points[p]) << i;
    const CGAffineTransform halfScale = CGAffineTransformMakeScale(0.5, 0.5);
    EXPECT_EQ(CGPathGetBoundingBox(CGPathCreateWithRoundedRect(square, 10, 10, &halfScale)),
              CGRectMake(0, 0, 50, 50));
}
