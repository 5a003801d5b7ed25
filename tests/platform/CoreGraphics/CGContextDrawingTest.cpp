// Drawing on bitmap contexts: the path, fill and stroke, the clip and the alpha.

#include <gtest/gtest.h>

#include <cmath>

#include "ContextTestSupport.h"

using namespace ContextTestSupport;

// Filling empties the path; FillRect and BeginPath empty it too; the default fill is opaque black.
// The path is fixed in device space as it is added, whatever the CTM does afterwards.
TEST(CGContextPath, FillingUsesAndEmptiesThePath) {
    const CGContextRef context = nativeContext(10, 10);
    CGContextAddRect(context, CGRectMake(2, 2, 3, 3));
    CGContextScaleCTM(context, 4, 4);
    CGContextFillPath(context);
    EXPECT_EQ(pixelUp(context, 4, 4), kBlack);
    EXPECT_EQ(pixelUp(context, 5, 5), kClear);
    CGContextScaleCTM(context, 0.25, 0.25);
    CGContextSetFillColorWithColor(context, deviceColor(0, 0, 1));
    CGContextFillPath(context);  // nothing left to fill
    EXPECT_EQ(pixelUp(context, 3, 3), kBlack);
    CGContextAddRect(context, CGRectMake(0, 0, 1, 1));
    CGContextFillRect(context, CGRectMake(8, 8, 2, 2));
    EXPECT_EQ(pixelUp(context, 9, 9), kBlue);
    CGContextFillPath(context);
    EXPECT_EQ(pixelUp(context, 0, 0), kClear);
}

// The stroke is centred on the path, its width under the CTM when stroking; 0 strokes nothing.
TEST(CGContextPath, StrokesAreCentredOnThePath) {
    const CGContextRef context = nativeContext(40, 40);
    CGContextSetStrokeColorWithColor(context, deviceColor(0, 1, 0));
    CGContextAddRect(context, CGRectMake(10, 10, 20, 20));
    CGContextScaleCTM(context, 2, 2);
    CGContextSetLineWidth(context, 2);  // 4 device pixels, 2 in and 2 out
    CGContextStrokePath(context);
    CGContextScaleCTM(context, 0.5, 0.5);
    for (size_t x = 0; x < 14; ++x)
        EXPECT_EQ(pixelUp(context, x, 20), x >= 8 && x < 12 ? kGreen : kClear) << x;
    CGContextSetLineWidth(context, 0);
    CGContextSetLineWidth(context, -1);  // ignored, as NaN is
    CGContextSetLineWidth(context, NAN);
    CGContextSetStrokeColorWithColor(context, deviceColor(0, 0, 1));
    CGContextAddRect(context, CGRectMake(10, 10, 20, 20));
    CGContextStrokePath(context);
    EXPECT_EQ(pixelUp(context, 10, 20), kGreen);  // width 0 strokes nothing
}

// The clip stays where it was made; its bounding box follows the CTM back into user space.
TEST(CGContextClip, ClipsAndTheirBoundingBoxInUserSpace) {
    const CGContextRef context = nativeContext(40, 40);
    CGContextScaleCTM(context, 2, 2);
    CGContextClipToRect(context, CGRectMake(5, 5, 10, 10));  // device 10…30
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(5, 5, 10, 10));
    CGContextTranslateCTM(context, 5, 5);
    CGContextScaleCTM(context, 1, -1);
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(0, -10, 10, 10));
    CGContextFillRect(context, CGRectMake(-100, -100, 200, 200));
    EXPECT_EQ(coverage(context, 10, 10, 30, 30), 400);
    EXPECT_EQ(coverage(context, 0, 0, 40, 40), 400);
    CGContextClipToRect(context, CGRectMake(50, 50, 10, 10));  // misses: nothing drawable
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectNull);
    CGContextScaleCTM(context, 0, 1);  // a singular CTM has no user-space box
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectNull);
}

// SetAlpha replaces the alpha (0.5 twice is 0.5), for fills and images alike; it is clamped to 0…1,
// NaN is ignored, a colour's own alpha multiplies with it. Colours are matched into the context.
TEST(CGContextPaint, AlphaReplacesAndColoursAreMatched) {
    const CGContextRef context = nativeContext(5, 1);
    const auto white = deviceColor(1, 1, 1);
    CGContextSetAlpha(context, 0.5);
    CGContextSetAlpha(context, 0.5);
    fillRect(context, CGRectMake(0, 0, 1, 1), white);
    CGContextDrawImage(context, CGRectMake(1, 0, 1, 1), imageRGBA(1, 1, {kRed}));
    fillRect(context, CGRectMake(2, 0, 1, 1), deviceColor(0, 0, 0, 0.5));
    CGContextSetAlpha(context, 7);
    CGContextSetAlpha(context, NAN);
    fillRect(context, CGRectMake(3, 0, 1, 1), white);
    CGContextSetAlpha(context, -1);
    fillRect(context, CGRectMake(4, 0, 1, 1), white);
    const RGBA expected[] = {{128, 128, 128, 128}, {128, 0, 0, 128}, {0, 0, 0, 64}, kWhite, kClear};
    for (size_t x = 0; x < 5; ++x)
        EXPECT_TRUE(near(pixelUp(context, x, 0), expected[x], 1))
            << x << ": " << pixelUp(context, x, 0);
    const CGContextRef p3 = nativeContext(1, 1, CGColorSpaceCreateWithName(kCGColorSpaceDisplayP3));
    fillRect(p3, CGRectMake(0, 0, 1, 1),
             CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceSRGB), {1.0, 0.0, 0.0, 1.0}));
    EXPECT_TRUE(near(pixelUp(p3, 0, 0), {234, 51, 35, 255}, 2)) << pixelUp(p3, 0, 0);
}

// Every function takes a null context and does nothing, answering the "none" values.
TEST(CGContextNull, DoesNothing) {
    const CGContextRef none;
    const CGColorRef red = deviceColor(1, 0, 0);
    const CGRect r = CGRectMake(0, 0, 1, 1);
    // clang-format off
    CGContextSetFillColorWithColor(none, red); CGContextSetStrokeColorWithColor(none, red); CGContextSetLineWidth(none, 2); CGContextSetAlpha(none, 0.5);
    CGContextSetShadowWithColor(none, CGSizeMake(1, 1), 2, red); CGContextSetShadow(none, CGSizeMake(1, 1), 2); CGContextBeginPath(none); CGContextAddRect(none, r);
    CGContextAddPath(none, CGPathCreateWithRect(r, nullptr)); CGContextFillPath(none); CGContextStrokePath(none); CGContextFillRect(none, r); CGContextClip(none);
    CGContextClipToRect(none, r); CGContextBeginTransparencyLayer(none, nullptr); CGContextBeginTransparencyLayerWithRect(none, r, nullptr); CGContextEndTransparencyLayer(none);
    CGContextSetTextMatrix(none, CGAffineTransformMakeScale(2, 2)); CGContextSetTextPosition(none, 1, 1); CGContextFlush(none); CGPDFContextClose(none); CGContextSaveGState(none);
    CGContextRestoreGState(none); CGContextTranslateCTM(none, 1, 1); CGContextScaleCTM(none, 2, 2); CGContextRotateCTM(none, 1); CGContextConcatCTM(none, CGAffineTransformIdentity);
    CGContextSetInterpolationQuality(none, kCGInterpolationNone); CGContextDrawImage(none, r, imageRGBA(1, 1, {kRed}));
    // clang-format on
    EXPECT_EQ(CGContextGetClipBoundingBox(none), CGRectNull);
    EXPECT_EQ(CGContextGetTextMatrix(none), CGAffineTransformIdentity);
    EXPECT_EQ(CGContextGetTextPosition(none), CGPointZero);
    EXPECT_EQ(CGContextConvertSizeToDeviceSpace(none, CGSizeMake(1, 2)), CGSizeMake(1, 2));
    EXPECT_EQ(CGContextConvertRectToDeviceSpace(none, r), r);
    EXPECT_EQ(CGContextGetGStateDepth(none), 0u);
    EXPECT_EQ(CGBitmapContextCreateImage(none), nullptr);
    const CGContextRef context = nativeContext(4, 4);  // and one that converts
    CGContextTranslateCTM(context, 10, 20);
    CGContextScaleCTM(context, 2, -2);
    EXPECT_EQ(CGContextConvertSizeToDeviceSpace(context, CGSizeMake(3, 4)), CGSizeMake(6, -8));
    EXPECT_EQ(CGContextConvertRectToDeviceSpace(context, CGRectMake(1, 1, 3, 4)),
              CGRectMake(12, 10, 6, 8));
    CGContextSetTextMatrix(context, CGAffineTransformMakeScale(2, 2));
    CGContextSetTextPosition(context, 7, 8);
    EXPECT_EQ(CGContextGetTextMatrix(context), CGAffineTransformMake(2, 0, 0, 2, 7, 8));
}
