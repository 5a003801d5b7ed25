// Part 4.1 drawing operations on bitmap contexts: the current path, fill and stroke, the clip and
// its bounding box in user space, the alpha, device-space conversions, the text matrix, and a null
// context. Pixel probes in flat regions (DESIGN.md); `pixelUp` counts rows from the bottom, as
// user space does.

#include <gtest/gtest.h>

#include <cmath>

#include "ContextTestSupport.h"

using namespace ContextTestSupport;

TEST(Part4_1_CGContext, FillsTheCurrentPathAndEmptiesIt) {
    const CGContextRef context = nativeContext(10, 10);
    CGContextSetFillColorWithColor(context, deviceColor(1, 0, 0));
    CGContextAddRect(context, CGRectMake(2, 2, 3, 3));
    CGContextFillPath(context);
    EXPECT_EQ(pixelUp(context, 2, 2), kRed);
    EXPECT_EQ(pixelUp(context, 4, 4), kRed);
    EXPECT_EQ(pixelUp(context, 5, 5), kClear);
    EXPECT_EQ(pixelUp(context, 1, 2), kClear);
    // The path is gone: filling again in another colour changes nothing.
    CGContextSetFillColorWithColor(context, deviceColor(0, 0, 1));
    CGContextFillPath(context);
    EXPECT_EQ(pixelUp(context, 3, 3), kRed);
    // FillRect fills without a path and empties the path too.
    CGContextAddRect(context, CGRectMake(0, 0, 1, 1));
    CGContextFillRect(context, CGRectMake(8, 8, 2, 2));
    EXPECT_EQ(pixelUp(context, 9, 9), kBlue);
    CGContextFillPath(context);
    EXPECT_EQ(pixelUp(context, 0, 0), kClear);
    // The default fill is opaque black; BeginPath empties the path.
    const CGContextRef fresh = nativeContext(2, 2);
    CGContextAddRect(fresh, CGRectMake(0, 0, 1, 1));
    CGContextFillPath(fresh);
    EXPECT_EQ(pixelUp(fresh, 0, 0), kBlack);
    CGContextAddRect(fresh, CGRectMake(1, 1, 1, 1));
    CGContextBeginPath(fresh);
    CGContextFillPath(fresh);
    EXPECT_EQ(pixelUp(fresh, 1, 1), kClear);
}

// Part 4.1: CTM steps prepend (the newest acts first on user points).
TEST(Part4_1_CGContext, CTMStepsPrependForFills) {
    const CGContextRef context = nativeContext(10, 10);
    CGContextTranslateCTM(context, 2, 1);
    CGContextScaleCTM(context, 2, 3);
    CGContextFillRect(context, CGRectMake(0, 0, 1, 1));  // → device x 2…4, y 1…4
    for (size_t y = 0; y < 10; ++y)
        for (size_t x = 0; x < 10; ++x) {
            const bool inside = x >= 2 && x < 4 && y >= 1 && y < 4;
            ASSERT_EQ(pixelUp(context, x, y), inside ? kBlack : kClear) << x << ", " << y;
        }
}

// The path is fixed in device space as it is added; the stroke's width follows the CTM in force
// when stroking.
TEST(Part4_1_CGContext, PathIsFixedWhenAddedAndTheLineWidthWhenStroked) {
    const CGContextRef context = nativeContext(20, 20);
    CGContextAddRect(context, CGRectMake(1, 1, 2, 2));
    CGContextScaleCTM(context, 4, 4);
    CGContextFillPath(context);
    EXPECT_EQ(pixelUp(context, 2, 2), kBlack);
    EXPECT_EQ(pixelUp(context, 5, 5), kClear);

    const CGContextRef stroked = nativeContext(20, 20);
    CGContextAddRect(stroked, CGRectMake(5, 5, 10, 10));
    CGContextScaleCTM(stroked, 2, 2);
    CGContextSetLineWidth(stroked, 1);  // 2 device pixels: x 4…6 along the left edge
    CGContextStrokePath(stroked);
    EXPECT_EQ(pixelUp(stroked, 4, 10), kBlack);
    EXPECT_EQ(pixelUp(stroked, 5, 10), kBlack);
    EXPECT_EQ(pixelUp(stroked, 3, 10), kClear);
    EXPECT_EQ(pixelUp(stroked, 6, 10), kClear);
}

// Part 4.1: the stroke is centred on the path: 4 wide on a rectangle's edge, 2 in and 2 out.
TEST(Part4_1_CGContext, StrokeIsCentredOnThePath) {
    const CGContextRef context = nativeContext(40, 40);
    CGContextSetStrokeColorWithColor(context, deviceColor(0, 1, 0));
    CGContextSetLineWidth(context, 4);
    CGContextAddRect(context, CGRectMake(10, 10, 20, 20));
    CGContextStrokePath(context);
    for (size_t x : {8u, 9u, 10u, 11u}) EXPECT_EQ(pixelUp(context, x, 20), kGreen) << x;
    EXPECT_EQ(pixelUp(context, 7, 20), kClear);
    EXPECT_EQ(pixelUp(context, 12, 20), kClear);
    for (size_t y : {28u, 29u, 30u, 31u}) EXPECT_EQ(pixelUp(context, 20, y), kGreen) << y;
    EXPECT_EQ(pixelUp(context, 20, 32), kClear);
    EXPECT_EQ(pixelUp(context, 20, 20), kClear);  // the inside is not filled
    // Width 0 strokes nothing; negative and NaN widths are ignored (4 stays).
    CGContextSetLineWidth(context, -1);
    CGContextSetLineWidth(context, NAN);
    CGContextSetStrokeColorWithColor(context, deviceColor(1, 0, 0));
    CGContextAddRect(context, CGRectMake(10, 10, 20, 20));
    CGContextStrokePath(context);
    EXPECT_EQ(pixelUp(context, 8, 20), kRed);
    CGContextSetLineWidth(context, 0);
    CGContextSetStrokeColorWithColor(context, deviceColor(0, 0, 1));
    CGContextAddRect(context, CGRectMake(10, 10, 20, 20));
    CGContextStrokePath(context);
    EXPECT_EQ(pixelUp(context, 10, 20), kRed);
}

TEST(Part4_1_CGContext, ClipToRectAndItsBoundingBoxInUserSpace) {
    const CGContextRef context = nativeContext(40, 40);
    // Without a clip: the whole bitmap, in user space.
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(0, 0, 40, 40));
    CGContextScaleCTM(context, 2, 2);
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(0, 0, 20, 20));
    CGContextClipToRect(context, CGRectMake(5, 5, 10, 10));  // device 10…30
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(5, 5, 10, 10));
    // The clip stays where it was made; its box follows the CTM back into user space.
    CGContextTranslateCTM(context, 5, 5);
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(0, 0, 10, 10));
    CGContextScaleCTM(context, 1, -1);
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(0, -10, 10, 10));
    CGContextFillRect(context, CGRectMake(-100, -100, 200, 200));
    EXPECT_EQ(pixelUp(context, 10, 10), kBlack);
    EXPECT_EQ(pixelUp(context, 29, 29), kBlack);
    EXPECT_EQ(pixelUp(context, 9, 20), kClear);
    EXPECT_EQ(pixelUp(context, 30, 20), kClear);
    EXPECT_EQ(pixelUp(context, 20, 30), kClear);
    // A clip that misses the first: nothing can be drawn, and the box is null.
    CGContextClipToRect(context, CGRectMake(50, 50, 10, 10));
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectNull);
    // A singular CTM has no user-space box.
    const CGContextRef flat = nativeContext(4, 4);
    CGContextScaleCTM(flat, 0, 1);
    EXPECT_EQ(CGContextGetClipBoundingBox(flat), CGRectNull);
}

// CGContextClip intersects the clip with the current path and empties the path.
TEST(Part4_1_CGContext, ClipToThePathIntersectsAndEmptiesIt) {
    const CGContextRef context = nativeContext(20, 20);
    CGContextAddRect(context, CGRectMake(0, 0, 10, 20));
    CGContextClip(context);
    CGContextAddPath(context, CGPathCreateWithRect(CGRectMake(5, 0, 15, 10), nullptr));
    CGContextClip(context);
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(5, 0, 5, 10));
    CGContextFillPath(context);  // the path is empty: nothing
    EXPECT_EQ(pixelUp(context, 7, 5), kClear);
    CGContextFillRect(context, CGRectMake(0, 0, 20, 20));
    EXPECT_EQ(pixelUp(context, 7, 5), kBlack);
    EXPECT_EQ(pixelUp(context, 3, 5), kClear);
    EXPECT_EQ(pixelUp(context, 7, 15), kClear);
    EXPECT_EQ(pixelUp(context, 12, 5), kClear);

    // A rounded clip: the corner pixel is not painted.
    const CGContextRef rounded = nativeContext(20, 20);
    CGContextAddPath(rounded, CGPathCreateWithRoundedRect(CGRectMake(0, 0, 20, 20), 8, 8, nullptr));
    CGContextClip(rounded);
    CGContextFillRect(rounded, CGRectMake(0, 0, 20, 20));
    EXPECT_EQ(pixelUp(rounded, 0, 0), kClear);
    EXPECT_EQ(pixelUp(rounded, 10, 0), kBlack);

    // Clipping to an empty path leaves nothing drawable.
    const CGContextRef empty = nativeContext(4, 4);
    CGContextClip(empty);
    EXPECT_EQ(CGContextGetClipBoundingBox(empty), CGRectNull);
    CGContextFillRect(empty, CGRectMake(0, 0, 4, 4));
    EXPECT_EQ(pixelUp(empty, 1, 1), kClear);
}

// The clip is part of the graphics state; the path and the text matrix are not.
TEST(Part4_1_CGContext, SaveAndRestoreCoverTheClipButNotThePathNorTheTextMatrix) {
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
    CGContextFillPath(context);  // the path survived the restore
    EXPECT_EQ(pixelUp(context, 7, 7), kBlack);
}

// Part 4.1: SetAlpha replaces the alpha (0.5 twice is 0.5, not 0.25), for fills and images alike.
TEST(Part4_1_CGContext, AlphaReplaces) {
    const CGContextRef context = nativeContext(4, 1);
    CGContextSetAlpha(context, 0.5);
    CGContextSetAlpha(context, 0.5);
    fillRect(context, CGRectMake(0, 0, 1, 1), deviceColor(1, 1, 1));
    EXPECT_TRUE(near(pixelUp(context, 0, 0), {128, 128, 128, 128}, 1)) << pixelUp(context, 0, 0);
    CGContextDrawImage(context, CGRectMake(1, 0, 1, 1), imageRGBA(1, 1, {kRed}));
    EXPECT_TRUE(near(pixelUp(context, 1, 0), {128, 0, 0, 128}, 1)) << pixelUp(context, 1, 0);
    // Clamped to 0…1; NaN ignored; 0 paints nothing.
    CGContextSetAlpha(context, 7);
    CGContextSetAlpha(context, NAN);
    fillRect(context, CGRectMake(2, 0, 1, 1), deviceColor(1, 1, 1));
    EXPECT_EQ(pixelUp(context, 2, 0), kWhite);
    CGContextSetAlpha(context, -1);
    fillRect(context, CGRectMake(3, 0, 1, 1), deviceColor(1, 1, 1));
    EXPECT_EQ(pixelUp(context, 3, 0), kClear);
    // A colour's own alpha multiplies with it.
    const CGContextRef both = nativeContext(1, 1);
    CGContextSetAlpha(both, 0.5);
    fillRect(both, CGRectMake(0, 0, 1, 1), deviceColor(0, 0, 0, 0.5));
    EXPECT_TRUE(near(pixelUp(both, 0, 0), {0, 0, 0, 64}, 1)) << pixelUp(both, 0, 0);
}

// Colours are matched into the context's space: sRGB red in a Display P3 context.
TEST(Part4_1_CGContext, ColoursAreMatchedIntoTheContextsSpace) {
    const CGContextRef p3 = nativeContext(1, 1, CGColorSpaceCreateWithName(kCGColorSpaceDisplayP3));
    fillRect(p3, CGRectMake(0, 0, 1, 1),
             CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceSRGB), {1.0, 0.0, 0.0, 1.0}));
    EXPECT_TRUE(near(pixelUp(p3, 0, 0), {234, 51, 35, 255}, 2)) << pixelUp(p3, 0, 0);
    // A null colour paints nothing visible.
    const CGContextRef context = nativeContext(1, 1);
    fillRect(context, CGRectMake(0, 0, 1, 1), nullptr);
    EXPECT_EQ(pixelUp(context, 0, 0), kClear);
}

TEST(Part4_1_CGContext, ConvertsToDeviceSpace) {
    const CGContextRef context = nativeContext(4, 4);
    CGContextTranslateCTM(context, 10, 20);
    CGContextScaleCTM(context, 2, -2);
    EXPECT_EQ(CGContextConvertSizeToDeviceSpace(context, CGSizeMake(3, 4)), CGSizeMake(6, -8));
    EXPECT_EQ(CGContextConvertRectToDeviceSpace(context, CGRectMake(1, 1, 3, 4)),
              CGRectMake(12, 10, 6, 8));
}

// A singular CTM paints nothing, and huge or non-finite coordinates neither crash nor wrap.
TEST(Part4_1_CGContext, DegenerateGeometry) {
    const CGContextRef context = nativeContext(10, 10);
    {
        CGContextGStateScope scope(context);
        CGContextScaleCTM(context, 0, 1);
        CGContextFillRect(context, CGRectMake(0, 0, 10, 10));
        CGContextTranslateCTM(context, INFINITY, 0);
        CGContextFillRect(context, CGRectMake(0, 0, 10, 10));
    }
    EXPECT_EQ(pixelUp(context, 5, 5), kClear);
    CGContextFillRect(context, CGRectMake(NAN, 0, 10, 10));
    CGContextFillRect(context, CGRectMake(0, 0, INFINITY, 10));
    EXPECT_EQ(pixelUp(context, 5, 5), kClear);
    CGContextFillRect(context, CGRectMake(-1e12, -1e12, 2e12, 1e12 + 5));
    EXPECT_EQ(pixelUp(context, 5, 4), kBlack);
    EXPECT_EQ(pixelUp(context, 5, 5), kClear);
    CGContextClipToRect(context, CGRectMake(NAN, 0, 1, 1));
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectNull);
}

// Every function takes a null context and does nothing, answering the "none" values.
TEST(Part4_1_CGContext, NullContextDoesNothing) {
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
    CGContextRef context = nativeContext(1, 1);
    CGContextRelease(context);
    EXPECT_EQ(context, nullptr);
}

// A host's bitmap for a scale of 2 (Part 1.1's contexts): user space in points.
TEST(Part4_1_CGContext, HostScaledBitmapWorksInPoints) {
    const CGContextRef context = nativeContext(200, 100);
    CGContextScaleCTM(context, 2, 2);
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(0, 0, 100, 50));
    CGContextClipToRect(context, CGRectMake(0, 0, 30, 50));
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(0, 0, 30, 50));
    CGContextFillRect(context, CGRectMake(10, 10, 40, 10));
    EXPECT_EQ(pixelUp(context, 20, 20), kBlack);
    EXPECT_EQ(pixelUp(context, 59, 39), kBlack);
    EXPECT_EQ(pixelUp(context, 60, 20), kClear);  // clipped at 30 points
    EXPECT_EQ(pixelUp(context, 19, 20), kClear);
    EXPECT_EQ(CGContextConvertSizeToDeviceSpace(context, CGSizeMake(3, 4)), CGSizeMake(6, 8));
}
