// Drawing on bitmap contexts: the current path, fill and stroke, the clip and its bounding box in
// user space, the alpha, device-space conversions, the text matrix, degenerate geometry and a null
// context. `pixelUp` counts rows from the bottom, as user space does.

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
    EXPECT_EQ(pixelUp(context, 2, 2), kBlack);
    EXPECT_EQ(pixelUp(context, 4, 4), kBlack);
    EXPECT_EQ(pixelUp(context, 5, 5), kClear);
    EXPECT_EQ(pixelUp(context, 1, 2), kClear);
    CGContextScaleCTM(context, 0.25, 0.25);
    CGContextSetFillColorWithColor(context, deviceColor(0, 0, 1));
    CGContextFillPath(context);  // nothing left to fill
    EXPECT_EQ(pixelUp(context, 3, 3), kBlack);
    CGContextAddRect(context, CGRectMake(0, 0, 1, 1));
    CGContextFillRect(context, CGRectMake(8, 8, 2, 2));
    EXPECT_EQ(pixelUp(context, 9, 9), kBlue);
    CGContextFillPath(context);
    EXPECT_EQ(pixelUp(context, 0, 0), kClear);
    CGContextAddRect(context, CGRectMake(1, 1, 1, 1));
    CGContextBeginPath(context);
    CGContextFillPath(context);
    EXPECT_EQ(pixelUp(context, 1, 1), kClear);
}

// The stroke is centred on the path and its width follows the CTM in force when stroking; width 0
// strokes nothing, negative and NaN widths are ignored.
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
    for (size_t y : {28u, 31u}) EXPECT_EQ(pixelUp(context, 20, y), kGreen) << y;
    EXPECT_EQ(pixelUp(context, 20, 32), kClear);
    CGContextSetLineWidth(context, 4);
    CGContextSetLineWidth(context, -1);
    CGContextSetLineWidth(context, NAN);
    CGContextSetStrokeColorWithColor(context, deviceColor(1, 0, 0));
    CGContextAddRect(context, CGRectMake(10, 10, 20, 20));
    CGContextStrokePath(context);
    EXPECT_EQ(pixelUp(context, 8, 20), kRed);  // still 4 wide
    CGContextSetLineWidth(context, 0);
    CGContextSetStrokeColorWithColor(context, deviceColor(0, 0, 1));
    CGContextAddRect(context, CGRectMake(10, 10, 20, 20));
    CGContextStrokePath(context);
    EXPECT_EQ(pixelUp(context, 10, 20), kRed);
}

// The clip stays where it was made; its bounding box follows the CTM back into user space, as a
// host's bitmap at scale 2 sees it in points.
TEST(CGContextClip, ClipsAndTheirBoundingBoxInUserSpace) {
    const CGContextRef context = nativeContext(40, 40);
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(0, 0, 40, 40));
    CGContextScaleCTM(context, 2, 2);
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(0, 0, 20, 20));
    CGContextClipToRect(context, CGRectMake(5, 5, 10, 10));  // device 10…30
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(5, 5, 10, 10));
    CGContextTranslateCTM(context, 5, 5);
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(0, 0, 10, 10));
    CGContextScaleCTM(context, 1, -1);
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(0, -10, 10, 10));
    CGContextFillRect(context, CGRectMake(-100, -100, 200, 200));
    EXPECT_EQ(coverage(context, 10, 10, 30, 30), 400);
    EXPECT_EQ(coverage(context, 0, 0, 40, 40), 400);
    CGContextClipToRect(context, CGRectMake(50, 50, 10, 10));  // misses: nothing drawable
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectNull);
    const CGContextRef flat = nativeContext(4, 4);
    CGContextScaleCTM(flat, 0, 1);  // a singular CTM has no user-space box
    EXPECT_EQ(CGContextGetClipBoundingBox(flat), CGRectNull);
    CGContextRef released = flat;
    CGContextRelease(released);
    EXPECT_EQ(released, nullptr);
}

// CGContextClip intersects the clip with the current path (rounded corners too) and empties the
// path; an empty path leaves nothing drawable.
TEST(CGContextClip, ClipToThePath) {
    const CGContextRef context = nativeContext(20, 20);
    CGContextAddRect(context, CGRectMake(0, 0, 10, 20));
    CGContextClip(context);
    CGContextAddPath(context, CGPathCreateWithRect(CGRectMake(5, 0, 15, 10), nullptr));
    CGContextClip(context);
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(5, 0, 5, 10));
    CGContextFillPath(context);
    EXPECT_EQ(pixelUp(context, 7, 5), kClear);
    CGContextFillRect(context, CGRectMake(0, 0, 20, 20));
    EXPECT_EQ(pixelUp(context, 7, 5), kBlack);
    EXPECT_EQ(coverage(context, 0, 0, 20, 20), 50);
    const CGContextRef rounded = nativeContext(20, 20);
    CGContextAddPath(rounded, CGPathCreateWithRoundedRect(CGRectMake(0, 0, 20, 20), 8, 8, nullptr));
    CGContextClip(rounded);
    CGContextFillRect(rounded, CGRectMake(0, 0, 20, 20));
    EXPECT_EQ(pixelUp(rounded, 0, 0), kClear);
    EXPECT_EQ(pixelUp(rounded, 10, 0), kBlack);
    const CGContextRef empty = nativeContext(4, 4);
    CGContextClip(empty);
    EXPECT_EQ(CGContextGetClipBoundingBox(empty), CGRectNull);
    CGContextFillRect(empty, CGRectMake(0, 0, 4, 4));
    EXPECT_EQ(coverage(empty, 0, 0, 4, 4), 0);
}

// The clip is part of the graphics state; the path and the text matrix are not.
TEST(CGContextGState, CoversTheClipButNotThePathNorTheTextMatrix) {
    const CGContextRef context = nativeContext(10, 10);
    CGContextSetTextMatrix(context, CGAffineTransformMakeScale(2, 2));
    CGContextSaveGState(context);
    CGContextClipToRect(context, CGRectMake(0, 0, 5, 5));
    CGContextAddRect(context, CGRectMake(6, 6, 2, 2));
    CGContextSetTextMatrix(context, CGAffineTransformMakeTranslation(3, 4));
    CGContextSetTextPosition(context, 7, 8);
    CGContextRestoreGState(context);
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(0, 0, 10, 10));
    EXPECT_EQ(CGContextGetTextMatrix(context), CGAffineTransformMakeTranslation(7, 8));
    EXPECT_EQ(CGContextGetTextPosition(context), CGPointMake(7, 8));
    CGContextFillPath(context);
    EXPECT_EQ(pixelUp(context, 7, 7), kBlack);
}

// SetAlpha replaces the alpha (0.5 twice is 0.5), for fills and images alike; it is clamped to 0…1,
// NaN is ignored, and a colour's own alpha multiplies with it. Colours are matched into the
// context's space; a null colour paints nothing.
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
    const CGContextRef none = nativeContext(1, 1);
    fillRect(none, CGRectMake(0, 0, 1, 1), nullptr);
    EXPECT_EQ(pixelUp(none, 0, 0), kClear);
}

TEST(CGContextGeometry, DeviceSpaceConversionsAndDegenerateGeometry) {
    const CGContextRef converting = nativeContext(4, 4);
    CGContextTranslateCTM(converting, 10, 20);
    CGContextScaleCTM(converting, 2, -2);
    EXPECT_EQ(CGContextConvertSizeToDeviceSpace(converting, CGSizeMake(3, 4)), CGSizeMake(6, -8));
    EXPECT_EQ(CGContextConvertRectToDeviceSpace(converting, CGRectMake(1, 1, 3, 4)),
              CGRectMake(12, 10, 6, 8));
    // A singular CTM paints nothing; huge or non-finite coordinates neither crash nor wrap.
    const CGContextRef context = nativeContext(10, 10);
    {
        CGContextGStateScope scope(context);
        CGContextScaleCTM(context, 0, 1);
        CGContextFillRect(context, CGRectMake(0, 0, 10, 10));
        CGContextTranslateCTM(context, INFINITY, 0);
        CGContextFillRect(context, CGRectMake(0, 0, 10, 10));
    }
    CGContextFillRect(context, CGRectMake(NAN, 0, 10, 10));
    CGContextFillRect(context, CGRectMake(0, 0, INFINITY, 10));
    EXPECT_EQ(coverage(context, 0, 0, 10, 10), 0);
    CGContextFillRect(context, CGRectMake(-1e12, -1e12, 2e12, 1e12 + 5));
    EXPECT_EQ(pixelUp(context, 5, 4), kBlack);
    EXPECT_EQ(pixelUp(context, 5, 5), kClear);
    CGContextClipToRect(context, CGRectMake(NAN, 0, 1, 1));
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectNull);
}

// Every function takes a null context and does nothing, answering the "none" values.
TEST(CGContextNull, DoesNothing) {
    const CGContextRef none;
    const CGColorRef red = deviceColor(1, 0, 0);
    CGContextSetFillColorWithColor(none, red);
    CGContextSetStrokeColorWithColor(none, red);
    CGContextSetLineWidth(none, 2);
    CGContextSetAlpha(none, 0.5);
    CGContextSetShadowWithColor(none, CGSizeMake(1, 1), 2, red);
    CGContextSetShadow(none, CGSizeMake(1, 1), 2);
    CGContextBeginPath(none);
    CGContextAddRect(none, CGRectMake(0, 0, 1, 1));
    CGContextAddPath(none, CGPathCreateWithRect(CGRectMake(0, 0, 1, 1), nullptr));
    CGContextFillPath(none);
    CGContextStrokePath(none);
    CGContextFillRect(none, CGRectMake(0, 0, 1, 1));
    CGContextClip(none);
    CGContextClipToRect(none, CGRectMake(0, 0, 1, 1));
    CGContextBeginTransparencyLayer(none, nullptr);
    CGContextBeginTransparencyLayerWithRect(none, CGRectMake(0, 0, 1, 1), nullptr);
    CGContextEndTransparencyLayer(none);
    CGContextSetTextMatrix(none, CGAffineTransformMakeScale(2, 2));
    CGContextSetTextPosition(none, 1, 1);
    CGContextFlush(none);
    CGPDFContextClose(none);
    EXPECT_EQ(CGContextGetClipBoundingBox(none), CGRectNull);
    EXPECT_EQ(CGContextGetTextMatrix(none), CGAffineTransformIdentity);
    EXPECT_EQ(CGContextGetTextPosition(none), CGPointZero);
    EXPECT_EQ(CGContextConvertSizeToDeviceSpace(none, CGSizeMake(1, 2)), CGSizeMake(1, 2));
    EXPECT_EQ(CGContextConvertRectToDeviceSpace(none, CGRectMake(1, 2, 3, 4)),
              CGRectMake(1, 2, 3, 4));
    EXPECT_EQ(CGContextGetGStateDepth(none), 0u);
}
