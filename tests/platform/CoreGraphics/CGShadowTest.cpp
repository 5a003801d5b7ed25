// Shadows: the offset in device space, the blur (a Gaussian of blur / 2), hostile values.

#include <gtest/gtest.h>

#include <cmath>

#include "ContextTestSupport.h"

using namespace ContextTestSupport;

namespace {

const CGColorRef kOpaqueBlue = deviceColor(0, 0, 1);

}  // namespace

// Offset (10, −5) is in device space whatever the CTM (a host's scale, a layer's y-down flip).
TEST(CGShadow, OffsetIsInDevicePixelsWhateverTheCTM) {
    const struct {
        CGAffineTransform ctm;
        CGRect square;  // the same device square, x 20…30, y 30…40
    } variants[] = {{CGAffineTransformIdentity, CGRectMake(20, 30, 10, 10)},
                    {CGAffineTransformMakeScale(2, 2), CGRectMake(10, 15, 5, 5)},
                    {CGAffineTransformMake(1, 0, 0, -1, 0, 60), CGRectMake(20, 20, 10, 10)}};
    for (const auto& variant : variants) {
        SCOPED_TRACE(testing::PrintToString(variant.ctm));
        const CGContextRef context = nativeContext(60, 60);
        CGContextConcatCTM(context, variant.ctm);
        CGContextSetShadowWithColor(context, CGSizeMake(10, -5), 0, kOpaqueBlue);
        fillRect(context, variant.square, deviceColor(1, 0, 0));
        EXPECT_EQ(pixelUp(context, 25, 35), kRed);
        EXPECT_EQ(pixelUp(context, 32, 33), kBlue);  // the shadow: x 30…40, y 25…35
        EXPECT_EQ(pixelUp(context, 35, 27), kBlue);
        EXPECT_EQ(pixelUp(context, 41, 30), kClear);
        EXPECT_EQ(coverage(context, 0, 0, 60, 60), 200);
    }
}

// Blur 20 (σ 10): symmetric about the offset shape, coverage kept, Gaussian values; a sharp shape.
TEST(CGShadow, BlurIsAGaussianOfHalfTheBlur) {
    const CGContextRef context = nativeContext(240, 140);
    CGContextSetShadowWithColor(context, CGSizeMake(120, 0), 20, deviceColor(0, 0, 0));
    fillRect(context, CGRectMake(40, 50, 40, 40), deviceColor(1, 0, 0));
    // The shadow square spans x 160…200, y 50…90; its centre is (180, 70).
    EXPECT_NEAR(coverage(context, 120, 0, 240, 140), 1600, 16);
    for (size_t d : {0u, 15u, 35u}) {
        const int right = pixelUp(context, 180 + d, 70).a, left = pixelUp(context, 179 - d, 70).a;
        const int up = pixelUp(context, 180, 70 + d).a, down = pixelUp(context, 180, 69 - d).a;
        EXPECT_TRUE(std::abs(right - left) <= 1 && std::abs(up - down) <= 1 &&
                    std::abs(right - up) <= 1)
            << d;
    }
    // Products of normal CDFs: on the edge 0.480 × 0.954 of 255, in the middle 0.954², 3σ out ~0.
    EXPECT_NEAR(pixelUp(context, 200, 70).a, 117, 6);
    EXPECT_NEAR(pixelUp(context, 180, 70).a, 232, 6);
    EXPECT_LT(pixelUp(context, 231, 70).a, 3);
    EXPECT_EQ(pixelUp(context, 40, 70), kRed);
    EXPECT_EQ(pixelUp(context, 39, 70), kClear);
}

// Far offsets, NaN (no shadow, blur 0) and huge blurs draw what they can and stay bounded.
TEST(CGShadow, HostileValuesStayBounded) {
    const CGContextRef context = nativeContext(40, 40);
    CGContextSetShadowWithColor(context, CGSizeMake(1e300, -1e300), 1e300, kOpaqueBlue);
    fillRect(context, CGRectMake(0, 0, 10, 10), deviceColor(1, 0, 0));
    EXPECT_EQ(pixelUp(context, 5, 5), kRed);
    EXPECT_EQ(pixelUp(context, 20, 20), kClear);
    CGContextSetShadowWithColor(context, CGSizeMake(NAN, 0), 0, kOpaqueBlue);
    fillRect(context, CGRectMake(0, 20, 10, 10), deviceColor(1, 0, 0));
    EXPECT_EQ(pixelUp(context, 15, 25), kClear);
    CGContextSetShadowWithColor(context, CGSizeMake(10, 0), NAN, kOpaqueBlue);
    fillRect(context, CGRectMake(20, 0, 10, 10), deviceColor(1, 0, 0));
    EXPECT_EQ(pixelUp(context, 35, 5), kBlue);
    CGContextSetShadowWithColor(context, CGSizeZero, INFINITY, kOpaqueBlue);
    fillRect(context, CGRectMake(20, 20, 10, 10), deviceColor(1, 0, 0));
    EXPECT_EQ(pixelUp(context, 25, 25), kRed);
}
