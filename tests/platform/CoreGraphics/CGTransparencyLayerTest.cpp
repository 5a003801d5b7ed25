// Part 4.1 transparency layers: the content is composited as one group with the alpha and shadow
// in force at the begin; inside, the alpha starts at 1 without shadow; nesting; the rectangle; the
// graphics-state stack around them.

#include <gtest/gtest.h>

#include "ContextTestSupport.h"

using namespace ContextTestSupport;

namespace {

// Two opaque black squares overlapping in x 20…30: A at x 10…30, B at x 20…40, both y 10…30.
void twoSquares(const CGContextRef& context) {
    fillRect(context, CGRectMake(10, 10, 20, 20), deviceColor(0, 0, 0));
    fillRect(context, CGRectMake(20, 10, 20, 20), deviceColor(0, 0, 0));
}

}  // namespace

// Two overlapping squares inside a layer begun at alpha 0.5: 0.5 where they overlap, not 0.75.
TEST(Part4_1_CGTransparencyLayer, CompositedOnceWithTheBeginAlpha) {
    const CGContextRef grouped = nativeContext(50, 40);
    CGContextSetAlpha(grouped, 0.5);
    CGContextBeginTransparencyLayer(grouped, nullptr);
    twoSquares(grouped);
    CGContextEndTransparencyLayer(grouped);
    EXPECT_NEAR(pixelUp(grouped, 15, 20).a, 128, 1);
    EXPECT_NEAR(pixelUp(grouped, 25, 20).a, 128, 1);
    EXPECT_NEAR(pixelUp(grouped, 35, 20).a, 128, 1);
    EXPECT_EQ(pixelUp(grouped, 45, 20), kClear);
    // Without the layer each square takes the alpha: the overlap is 0.75.
    const CGContextRef plain = nativeContext(50, 40);
    CGContextSetAlpha(plain, 0.5);
    twoSquares(plain);
    EXPECT_NEAR(pixelUp(plain, 25, 20).a, 191, 1);
    // After the layer the state is the begin's again: alpha 0.5.
    fillRect(grouped, CGRectMake(0, 35, 5, 5), deviceColor(0, 0, 0));
    EXPECT_NEAR(pixelUp(grouped, 2, 37).a, 128, 1);
}

// One shadow for the group: under the overlap it is no darker than under one square.
TEST(Part4_1_CGTransparencyLayer, OneShadowForTheGroup) {
    const CGContextRef context = nativeContext(50, 70);
    CGContextSetShadowWithColor(context, CGSizeMake(0, 30), 0, deviceColor(0, 0, 1, 0.5));
    CGContextBeginTransparencyLayer(context, nullptr);
    twoSquares(context);  // shadows at y 40…60
    CGContextEndTransparencyLayer(context);
    EXPECT_TRUE(near(pixelUp(context, 15, 50), {0, 0, 128, 128}, 1)) << pixelUp(context, 15, 50);
    EXPECT_TRUE(near(pixelUp(context, 25, 50), {0, 0, 128, 128}, 1)) << pixelUp(context, 25, 50);
    EXPECT_EQ(pixelUp(context, 25, 20), kBlack);
    // Shadows per square instead: the overlap darkens.
    const CGContextRef each = nativeContext(50, 70);
    CGContextSetShadowWithColor(each, CGSizeMake(0, 30), 0, deviceColor(0, 0, 1, 0.5));
    twoSquares(each);
    EXPECT_NEAR(pixelUp(each, 25, 50).a, 191, 1);
}

// Inside a layer the alpha starts at 1 and there is no shadow; layers nest and their alphas
// multiply.
TEST(Part4_1_CGTransparencyLayer, InsideStartsAtOneWithoutShadowAndNests) {
    const CGContextRef context = nativeContext(40, 20);
    CGContextSetAlpha(context, 0.5);
    CGContextSetShadowWithColor(context, CGSizeMake(20, 0), 0, deviceColor(0, 0, 1));
    CGContextBeginTransparencyLayer(context, nullptr);
    CGContextSetAlpha(context, 0.5);
    CGContextBeginTransparencyLayer(context, nullptr);
    fillRect(context, CGRectMake(0, 0, 10, 10), deviceColor(1, 1, 1));  // opaque inside
    CGContextEndTransparencyLayer(context);
    CGContextEndTransparencyLayer(context);
    EXPECT_TRUE(near(pixelUp(context, 5, 5), {64, 64, 64, 64}, 1)) << pixelUp(context, 5, 5);
    // The outer layer's shadow, once, at the outer alpha (0.5) × the group's (0.5).
    EXPECT_TRUE(near(pixelUp(context, 25, 5), {0, 0, 64, 64}, 1)) << pixelUp(context, 25, 5);
}

TEST(Part4_1_CGTransparencyLayer, WithRectClipsToTheRectangle) {
    const CGContextRef context = nativeContext(40, 40);
    CGContextScaleCTM(context, 2, 2);
    CGContextBeginTransparencyLayerWithRect(context, CGRectMake(5, 5, 5, 5), nullptr);
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(5, 5, 5, 5));
    CGContextFillRect(context, CGRectMake(0, 0, 20, 20));
    CGContextEndTransparencyLayer(context);
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(0, 0, 20, 20));
    EXPECT_EQ(pixelUp(context, 10, 10), kBlack);
    EXPECT_EQ(pixelUp(context, 19, 19), kBlack);
    EXPECT_EQ(pixelUp(context, 9, 15), kClear);
    EXPECT_EQ(pixelUp(context, 20, 15), kClear);
    // With a shadow the rectangle bounds what casts it too.
    const CGContextRef shadowed = nativeContext(40, 20);
    CGContextSetShadowWithColor(shadowed, CGSizeMake(20, 0), 0, deviceColor(0, 0, 1));
    CGContextBeginTransparencyLayerWithRect(shadowed, CGRectMake(0, 0, 5, 20), nullptr);
    CGContextFillRect(shadowed, CGRectMake(0, 0, 10, 20));
    CGContextEndTransparencyLayer(shadowed);
    EXPECT_EQ(pixelUp(shadowed, 2, 10), kBlack);
    EXPECT_EQ(pixelUp(shadowed, 7, 10), kClear);
    EXPECT_EQ(pixelUp(shadowed, 22, 10), kBlue);
    EXPECT_EQ(pixelUp(shadowed, 27, 10), kClear);
}

// Begin saves the graphics state and End restores it, ending saves left open inside; a restore
// inside cannot end the layer's own save; an End without a layer does nothing.
TEST(Part4_1_CGTransparencyLayer, GStateDepthStaysBalanced) {
    const CGContextRef context = nativeContext(10, 10);
    CGContextSaveGState(context);
    EXPECT_EQ(CGContextGetGStateDepth(context), 1u);
    CGContextBeginTransparencyLayer(context, nullptr);
    EXPECT_EQ(CGContextGetGStateDepth(context), 2u);
    CGContextRestoreGState(context);  // would end the layer's own save: ignored
    EXPECT_EQ(CGContextGetGStateDepth(context), 2u);
    CGContextSaveGState(context);
    CGContextSaveGState(context);
    CGContextTranslateCTM(context, 3, 3);
    CGContextEndTransparencyLayer(context);
    EXPECT_EQ(CGContextGetGStateDepth(context), 1u);
    EXPECT_EQ(CGContextGetCTM(context), CGAffineTransformIdentity);
    CGContextEndTransparencyLayer(context);  // none open
    EXPECT_EQ(CGContextGetGStateDepth(context), 1u);
    CGContextRestoreGState(context);
    EXPECT_EQ(CGContextGetGStateDepth(context), 0u);
    // A layer still open when the context goes away is dropped without harm.
    const CGContextRef abandoned = nativeContext(4, 4);
    CGContextSetShadow(abandoned, CGSizeMake(1, 1), 2);
    CGContextBeginTransparencyLayer(abandoned, nullptr);
    CGContextFillRect(abandoned, CGRectMake(0, 0, 2, 2));
    EXPECT_EQ(pixelUp(abandoned, 0, 0), kClear);  // not composited yet
}
