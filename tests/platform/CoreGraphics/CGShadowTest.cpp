// Shadows: the offset in device space (not moved by the CTM), the blur (three box blurs for a
// Gaussian of blur / 2: symmetric, centred on the offset shape, coverage kept), the colour, the
// shadow under the shape and inside the clip, and hostile values.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "CGShadowBlur.h"
#include "ContextTestSupport.h"

using namespace ContextTestSupport;

namespace {

const CGColorRef kOpaqueBlue = deviceColor(0, 0, 1);

}  // namespace

// Offset (10, −5) in device space: right and down, whatever the CTM (a host's scale of 2, a
// layer's y-down flip); the shadow lies under the shape.
TEST(CGShadow, OffsetIsInDevicePixelsWhateverTheCTM) {
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(variant);
        const CGContextRef context = nativeContext(60, 60);
        CGRect square = CGRectMake(20, 30, 10, 10);  // the same device square through three CTMs
        if (variant == 1) {
            CGContextScaleCTM(context, 2, 2);
            square = CGRectMake(10, 15, 5, 5);
        } else if (variant == 2) {
            CGContextTranslateCTM(context, 0, 60);
            CGContextScaleCTM(context, 1, -1);
            square = CGRectMake(20, 20, 10, 10);
        }
        CGContextSetShadowWithColor(context, CGSizeMake(10, -5), 0, kOpaqueBlue);
        fillRect(context, square, deviceColor(1, 0, 0));
        EXPECT_EQ(pixelUp(context, 25, 35), kRed);
        EXPECT_EQ(pixelUp(context, 32, 33), kBlue);  // the shadow: x 30…40, y 25…35
        EXPECT_EQ(pixelUp(context, 35, 27), kBlue);
        EXPECT_EQ(pixelUp(context, 35, 36), kClear);
        EXPECT_EQ(pixelUp(context, 41, 30), kClear);
        EXPECT_EQ(pixelUp(context, 25, 26), kClear);
        EXPECT_EQ(coverage(context, 0, 0, 60, 60), 200);
    }
}

// A null colour or one of alpha 0 clears the shadow; the shadow is part of the graphics state;
// CGContextSetShadow's colour is black at alpha 1/3; the alpha applies to the shadow too; the
// shadow is clipped with the shape, and a shape outside the clip still casts its shadow into it.
TEST(CGShadow, ColourStateAlphaAndClip) {
    const CGContextRef context = nativeContext(80, 10);
    CGContextSaveGState(context);
    CGContextSetShadowWithColor(context, CGSizeMake(5, 0), 0, kOpaqueBlue);
    CGContextRestoreGState(context);
    fillRect(context, CGRectMake(0, 0, 5, 10), deviceColor(1, 0, 0));
    CGContextSetShadowWithColor(context, CGSizeMake(5, 0), 0, nullptr);
    fillRect(context, CGRectMake(10, 0, 5, 5), deviceColor(1, 0, 0));
    CGContextSetShadowWithColor(context, CGSizeMake(5, 0), 0, deviceColor(0, 0, 1, 0));
    fillRect(context, CGRectMake(10, 5, 5, 5), deviceColor(1, 0, 0));
    EXPECT_EQ(coverage(context, 0, 0, 80, 10), 100);  // no shadow at all
    CGContextSetShadow(context, CGSizeMake(10, 0), 0);
    fillRect(context, CGRectMake(20, 0, 10, 10), deviceColor(1, 0, 0));
    EXPECT_TRUE(near(pixelUp(context, 35, 5), {0, 0, 0, 85}, 1)) << pixelUp(context, 35, 5);
    CGContextSetAlpha(context, 0.5);
    CGContextSetShadowWithColor(context, CGSizeMake(10, 0), 0, kOpaqueBlue);
    CGContextClipToRect(context, CGRectMake(60, 0, 20, 10));
    fillRect(context, CGRectMake(45, 0, 10, 10), deviceColor(1, 0, 0));
    EXPECT_EQ(pixelUp(context, 50, 5), kClear);  // the shape: outside the clip
    EXPECT_TRUE(near(pixelUp(context, 62, 5), {0, 0, 128, 128}, 1)) << pixelUp(context, 62, 5);
    EXPECT_EQ(pixelUp(context, 66, 5), kClear);
}

// Blur 20 (a Gaussian of σ 10): symmetric about the offset shape's centre, coverage kept, what the
// Gaussian gives on the edge and in the middle; the shape itself stays sharp.
TEST(CGShadow, BlurIsAGaussianOfHalfTheBlur) {
    const CGContextRef context = nativeContext(240, 140);
    CGContextSetShadowWithColor(context, CGSizeMake(120, 0), 20, deviceColor(0, 0, 0));
    fillRect(context, CGRectMake(40, 50, 40, 40), deviceColor(1, 0, 0));
    // The shadow square spans x 160…200, y 50…90; its centre is (180, 70).
    EXPECT_NEAR(coverage(context, 120, 0, 240, 140), 1600, 16);
    for (size_t d : {0u, 5u, 15u, 25u, 35u}) {
        const int right = pixelUp(context, 180 + d, 70).a, left = pixelUp(context, 179 - d, 70).a;
        const int up = pixelUp(context, 180, 70 + d).a, down = pixelUp(context, 180, 69 - d).a;
        EXPECT_NEAR(right, left, 1) << d;
        EXPECT_NEAR(up, down, 1) << d;
        EXPECT_NEAR(right, up, 1) << d;
    }
    // Products of normal distribution functions: on the edge (pixel centre 200.5) 0.480 × 0.954
    // of 255; in the middle 0.954²; 3σ outside, nearly nothing.
    EXPECT_NEAR(pixelUp(context, 200, 70).a, 117, 6);
    EXPECT_NEAR(pixelUp(context, 180, 70).a, 232, 6);
    EXPECT_LT(pixelUp(context, 231, 70).a, 3);
    EXPECT_EQ(pixelUp(context, 40, 70), kRed);
    EXPECT_EQ(pixelUp(context, 39, 70), kClear);
}

TEST(CGShadow, ThreeBoxesForAGaussian) {
    using CoreGraphicsPrivate::shadowBoxRadii;
    EXPECT_EQ(shadowBoxRadii(0), (std::array<size_t, 3>{0, 0, 0}));
    EXPECT_EQ(shadowBoxRadii(NAN), (std::array<size_t, 3>{0, 0, 0}));
    EXPECT_EQ(shadowBoxRadii(10), (std::array<size_t, 3>{9, 9, 10}));
    for (double sigma : {2.5, 10.0, 40.0}) {
        double variance = 0;
        for (size_t r : shadowBoxRadii(sigma))
            variance += (double((2 * r + 1) * (2 * r + 1)) - 1) / 12;
        EXPECT_NEAR(std::sqrt(variance), sigma, 0.1 * sigma) << sigma;
    }
    // An opaque 5 × 5 block in the middle of 61 × 61 (rows of 64): a symmetric spot, same total,
    // spread by the radii's sum.
    std::vector<uint8_t> image(61 * 64, 0);
    for (size_t y = 28; y < 33; ++y)
        for (size_t x = 28; x < 33; ++x) image[y * 64 + x] = 255;
    CoreGraphicsPrivate::blurShadowAlpha(image.data(), 61, 61, 64, 3);
    double total = 0;
    for (size_t y = 0; y < 61; ++y)
        for (size_t x = 0; x < 61; ++x) {
            total += image[y * 64 + x];
            EXPECT_NEAR(image[y * 64 + x], image[y * 64 + (60 - x)], 1);
            EXPECT_NEAR(image[y * 64 + x], image[(60 - y) * 64 + x], 1);
            EXPECT_NEAR(image[y * 64 + x], image[x * 64 + y], 1);
        }
    EXPECT_NEAR(total, 25 * 255, 25 * 255 * 0.01);
    EXPECT_GT(image[30 * 64 + 23], 0);
    EXPECT_EQ(image[30 * 64 + 20], 0);
}

// Far offsets and huge or invalid blurs draw what they can and stay bounded: a NaN offset clears
// the shadow, a NaN blur reads as 0, the largest blur spreads a faint shadow over the bitmap.
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
