// Transparency layers: content composited as one group, with the alpha and shadow of the begin.

#include <gtest/gtest.h>

#include "ContextTestSupport.h"

using namespace ContextTestSupport;

// Begun at alpha 0.5 with a half-transparent shadow, the overlap is as light as one square (not
// 0.75), and so is the one shadow of the group; afterwards the begin's state is back.
TEST(CGTransparencyLayer, CompositedOnceWithTheBeginsAlphaAndShadow) {
    for (bool grouped : {true, false}) {
        SCOPED_TRACE(grouped);
        const CGContextRef context = nativeContext(50, 70);
        CGContextSetAlpha(context, 0.5);
        CGContextSetShadowWithColor(context, CGSizeMake(0, 30), 0, deviceColor(0, 0, 1));
        if (grouped) CGContextBeginTransparencyLayer(context, nullptr);
        // Black squares at x 10…30 and 20…40, y 10…30, overlapping in x 20…30; shadows at y 40…60.
        fillRect(context, CGRectMake(10, 10, 20, 20), deviceColor(0, 0, 0));
        fillRect(context, CGRectMake(20, 10, 20, 20), deviceColor(0, 0, 0));
        if (grouped) CGContextEndTransparencyLayer(context);
        const int overlap = grouped ? 128 : 191;
        EXPECT_NEAR(pixelUp(context, 15, 20).a, 128, 1);
        EXPECT_NEAR(pixelUp(context, 25, 20).a, overlap, 1);
        EXPECT_NEAR(pixelUp(context, 25, 50).a, overlap, 1);
        fillRect(context, CGRectMake(0, 65, 5, 5), deviceColor(0, 0, 0));
        EXPECT_NEAR(pixelUp(context, 2, 67).a, 128, 1);
    }
}

// Inside a layer the alpha starts at 1 and there is no shadow; nested layers' alphas multiply, and
// the outer layer's shadow comes once, at the outer alpha × the group's.
TEST(CGTransparencyLayer, InsideStartsAtOneWithoutShadowAndNests) {
    const CGContextRef context = nativeContext(40, 20);
    CGContextSetAlpha(context, 0.5);
    CGContextSetShadowWithColor(context, CGSizeMake(20, 0), 0, deviceColor(0, 0, 1));
    CGContextBeginTransparencyLayer(context, nullptr);
    CGContextSetAlpha(context, 0.5);
    CGContextBeginTransparencyLayer(context, nullptr);
    fillRect(context, CGRectMake(0, 0, 10, 10), deviceColor(1, 1, 1));
    CGContextEndTransparencyLayer(context);
    CGContextEndTransparencyLayer(context);
    EXPECT_TRUE(near(pixelUp(context, 5, 5), {64, 64, 64, 64}, 1)) << pixelUp(context, 5, 5);
    EXPECT_TRUE(near(pixelUp(context, 25, 5), {0, 0, 64, 64}, 1)) << pixelUp(context, 25, 5);
}

// A layer with a shadow shows its content through the shadow wherever that can reach the page, also
// a shape off the page clipped inside the layer; the clip bounding box inside is that reach.
TEST(CGTransparencyLayer, ShadowOfContentOffThePage) {
    const CGContextRef context = nativeContext(60, 60);
    CGContextSetShadowWithColor(context, CGSizeMake(50, 0), 0, deviceColor(0, 0, 1));
    CGContextBeginTransparencyLayerWithRect(context, CGRectMake(-40, 10, 80, 40), nullptr);
    EXPECT_EQ(CGContextGetClipBoundingBox(context), CGRectMake(-40, 10, 80, 40));
    CGContextClipToRect(context, CGRectMake(-40, 10, 30, 40));
    fillRect(context, CGRectMake(-40, 10, 30, 40), deviceColor(0, 0, 0));
    CGContextEndTransparencyLayer(context);
    EXPECT_EQ(pixelUp(context, 20, 30), kBlue);
    EXPECT_EQ(pixelUp(context, 45, 30), kClear);
}
