// Part 4.1 shadows: the offset in device space (not moved by the CTM), the blur (three box blurs
// for a Gaussian of blur / 2: symmetric, centred on the offset shape, coverage kept), the colour,
// the shadow under the shape and inside the clip, and the blur itself.

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "CGShadowBlur.h"
#include "ContextTestSupport.h"

using namespace ContextTestSupport;

namespace {

const CGColorRef kOpaqueBlue = deviceColor(0, 0, 1);

// Rows from the bottom that hold any ink, within column x.
std::vector<size_t> inkedRowsUp(const CGContextRef& context, size_t x) {
    std::vector<size_t> rows;
    for (size_t y = 0; y < CGBitmapContextGetHeight(context); ++y)
        if (pixelUp(context, x, y).a > 0) rows.push_back(y);
    return rows;
}

}  // namespace

// Offset (10, −5) in device space: right and down, whatever the CTM (Part 4.2 inverts the
// height's sign itself).
TEST(Part4_1_CGShadow, OffsetIsInDeviceSpaceWhateverTheCTM) {
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(variant);
        const CGContextRef context = nativeContext(60, 60);
        // The same device square (20…30, 30…40) through three CTMs.
        CGRect square = CGRectMake(20, 30, 10, 10);
        if (variant == 1) {
            CGContextScaleCTM(context, 2, 2);
            square = CGRectMake(10, 15, 5, 5);
        } else if (variant == 2) {
            CGContextTranslateCTM(context, 0, 60);
            CGContextScaleCTM(context, 1, -1);  // Part 4.2's y-down flip
            square = CGRectMake(20, 20, 10, 10);
        }
        CGContextSetShadowWithColor(context, CGSizeMake(10, -5), 0, kOpaqueBlue);
        fillRect(context, square, deviceColor(1, 0, 0));
        EXPECT_EQ(pixelUp(context, 25, 35), kRed);
        EXPECT_EQ(pixelUp(context, 35, 27), kBlue);  // the shadow: x 30…40, y 25…35
        EXPECT_EQ(pixelUp(context, 35, 34), kBlue);
        EXPECT_EQ(pixelUp(context, 35, 36), kClear);
        EXPECT_EQ(pixelUp(context, 41, 30), kClear);
        EXPECT_EQ(pixelUp(context, 25, 26), kClear);
        EXPECT_EQ(pixelUp(context, 32, 33), kBlue);
    }
}

// The shadow is drawn under the shape, and clears with a null colour or one of alpha 0.
TEST(Part4_1_CGShadow, UnderTheShapeAndCleared) {
    const CGContextRef context = nativeContext(40, 20);
    CGContextSetShadowWithColor(context, CGSizeMake(5, 0), 0, kOpaqueBlue);
    fillRect(context, CGRectMake(0, 0, 10, 10), deviceColor(1, 0, 0));
    EXPECT_EQ(pixelUp(context, 7, 5), kRed);
    EXPECT_EQ(pixelUp(context, 12, 5), kBlue);
    CGContextSetShadowWithColor(context, CGSizeMake(5, 0), 0, nullptr);
    fillRect(context, CGRectMake(20, 0, 5, 10), deviceColor(1, 0, 0));
    EXPECT_EQ(pixelUp(context, 27, 5), kClear);
    CGContextSetShadowWithColor(context, CGSizeMake(5, 0), 0, deviceColor(0, 0, 1, 0));
    fillRect(context, CGRectMake(20, 10, 5, 10), deviceColor(1, 0, 0));
    EXPECT_EQ(pixelUp(context, 27, 15), kClear);
    // A shadow is part of the graphics state.
    const CGContextRef saved = nativeContext(20, 10);
    CGContextSaveGState(saved);
    CGContextSetShadowWithColor(saved, CGSizeMake(5, 0), 0, kOpaqueBlue);
    CGContextRestoreGState(saved);
    fillRect(saved, CGRectMake(0, 0, 5, 10), deviceColor(1, 0, 0));
    EXPECT_EQ(pixelUp(saved, 7, 5), kClear);
}

// CGContextSetShadow: CoreGraphics' colour, black at alpha 1/3; the alpha applies to the shadow.
TEST(Part4_1_CGShadow, DefaultColourAndTheAlpha) {
    const CGContextRef context = nativeContext(40, 10);
    CGContextSetShadow(context, CGSizeMake(10, 0), 0);
    fillRect(context, CGRectMake(0, 0, 10, 10), deviceColor(1, 0, 0));
    EXPECT_TRUE(near(pixelUp(context, 15, 5), {0, 0, 0, 85}, 1)) << pixelUp(context, 15, 5);
    CGContextSetAlpha(context, 0.5);
    CGContextSetShadowWithColor(context, CGSizeMake(10, 0), 0, kOpaqueBlue);
    fillRect(context, CGRectMake(20, 0, 10, 10), deviceColor(1, 0, 0));
    EXPECT_TRUE(near(pixelUp(context, 25, 5), {128, 0, 0, 128}, 1)) << pixelUp(context, 25, 5);
    EXPECT_TRUE(near(pixelUp(context, 35, 5), {0, 0, 128, 128}, 1)) << pixelUp(context, 35, 5);
}

// Blur 20 (a Gaussian of σ 10): symmetric about the offset shape's centre, coverage kept, half
// strength on the shape's edge.
TEST(Part4_1_CGShadow, BlurIsSymmetricCentredAndKeepsCoverage) {
    const CGContextRef context = nativeContext(240, 140);
    CGContextSetShadowWithColor(context, CGSizeMake(120, 0), 20, deviceColor(0, 0, 0));
    fillRect(context, CGRectMake(40, 50, 40, 40), deviceColor(1, 0, 0));
    // The shadow square spans x 160…200, y 50…90 (memory rows 50…90); its centre is (180, 70).
    EXPECT_NEAR(coverage(context, 120, 0, 240, 140), 1600, 16);
    for (size_t d : {0u, 5u, 15u, 25u, 35u}) {
        const int right = pixelUp(context, 180 + d, 70).a, left = pixelUp(context, 179 - d, 70).a;
        const int up = pixelUp(context, 180, 70 + d).a, down = pixelUp(context, 180, 69 - d).a;
        EXPECT_NEAR(right, left, 1) << d;
        EXPECT_NEAR(up, down, 1) << d;
        EXPECT_NEAR(right, up, 1) << d;
    }
    // What the Gaussian gives (products of normal distribution functions): on the edge (pixel
    // centre 200.5) 0.480 × 0.954 of 255; in the middle 0.954²; 3σ outside, nearly nothing.
    EXPECT_NEAR(pixelUp(context, 200, 70).a, 117, 6);
    EXPECT_NEAR(pixelUp(context, 180, 70).a, 232, 6);
    EXPECT_LT(pixelUp(context, 231, 70).a, 3);
    // The shape itself is sharp.
    EXPECT_EQ(pixelUp(context, 40, 70), kRed);
    EXPECT_EQ(pixelUp(context, 39, 70), kClear);
}

// The shadow is clipped with the shape; a shape outside the clip still casts its shadow into it.
TEST(Part4_1_CGShadow, ClippedWithTheShape) {
    const CGContextRef context = nativeContext(40, 10);
    CGContextClipToRect(context, CGRectMake(20, 0, 20, 10));
    CGContextSetShadowWithColor(context, CGSizeMake(15, 0), 0, kOpaqueBlue);
    fillRect(context, CGRectMake(5, 0, 10, 10), deviceColor(1, 0, 0));
    EXPECT_EQ(pixelUp(context, 10, 5), kClear);  // the shape: outside the clip
    EXPECT_EQ(pixelUp(context, 22, 5), kBlue);   // its shadow, x 20…30: inside
    EXPECT_EQ(pixelUp(context, 31, 5), kClear);
}

// A host's bitmap at scale 2: the offset and the blur stay in device pixels.
TEST(Part4_1_CGShadow, DevicePixelsInAScaledBitmap) {
    const CGContextRef context = nativeContext(80, 20);
    CGContextScaleCTM(context, 2, 2);
    CGContextSetShadowWithColor(context, CGSizeMake(10, 0), 0, kOpaqueBlue);
    fillRect(context, CGRectMake(0, 0, 5, 10), deviceColor(1, 0, 0));  // device x 0…10
    EXPECT_EQ(pixelUp(context, 15, 10), kBlue);  // device x 10…20, not 20…30
    EXPECT_EQ(pixelUp(context, 21, 10), kClear);
    EXPECT_EQ(inkedRowsUp(context, 15).size(), 20u);
}

// The blur alone: box widths for σ, symmetry and the kept total.
TEST(Part4_1_CGShadow, ThreeBoxesForAGaussian) {
    using CoreGraphicsPrivate::shadowBoxRadii;
    EXPECT_EQ(shadowBoxRadii(0), (std::array<size_t, 3>{0, 0, 0}));
    EXPECT_EQ(shadowBoxRadii(NAN), (std::array<size_t, 3>{0, 0, 0}));
    EXPECT_EQ(shadowBoxRadii(10), (std::array<size_t, 3>{9, 9, 10}));
    for (double sigma : {2.5, 10.0, 40.0}) {
        const auto radii = shadowBoxRadii(sigma);
        double variance = 0;
        for (size_t r : radii) variance += (double((2 * r + 1) * (2 * r + 1)) - 1) / 12;
        EXPECT_NEAR(std::sqrt(variance), sigma, 0.1 * sigma) << sigma;
    }
    // An opaque 5 × 5 block in the middle of 61 × 61: a symmetric spot with the same total.
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
    EXPECT_GT(image[30 * 64 + 23], 0);  // spread by the radii's sum, 7: to column 21
    EXPECT_EQ(image[30 * 64 + 20], 0);
}

// Hostile shadows: far offsets, huge or invalid blurs, draw what they can and stay bounded.
TEST(Part4_1_CGShadow, HostileValuesStayBounded) {
    const CGContextRef context = nativeContext(40, 40);
    CGContextSetShadowWithColor(context, CGSizeMake(1e300, -1e300), 1e300, kOpaqueBlue);
    fillRect(context, CGRectMake(0, 0, 10, 10), deviceColor(1, 0, 0));
    EXPECT_EQ(pixelUp(context, 5, 5), kRed);
    EXPECT_EQ(pixelUp(context, 20, 20), kClear);  // the shadow is far away
    // A NaN offset clears the shadow; a NaN blur reads as 0.
    CGContextSetShadowWithColor(context, CGSizeMake(NAN, 0), 0, kOpaqueBlue);
    fillRect(context, CGRectMake(0, 20, 10, 10), deviceColor(1, 0, 0));
    CGContextSetShadowWithColor(context, CGSizeMake(10, 0), NAN, kOpaqueBlue);
    fillRect(context, CGRectMake(20, 0, 10, 10), deviceColor(1, 0, 0));
    EXPECT_EQ(pixelUp(context, 35, 5), kBlue);
    // The largest blur spreads a faint shadow over the whole bitmap, keeping no more than it holds.
    CGContextSetShadowWithColor(context, CGSizeZero, INFINITY, kOpaqueBlue);
    fillRect(context, CGRectMake(20, 20, 10, 10), deviceColor(1, 0, 0));
    EXPECT_EQ(pixelUp(context, 25, 25), kRed);
    // A layer bounded by an empty rectangle shows nothing, nor a shadow.
    const CGContextRef empty = nativeContext(20, 20);
    CGContextSetShadowWithColor(empty, CGSizeMake(5, 0), 2, kOpaqueBlue);
    CGContextBeginTransparencyLayerWithRect(empty, CGRectMake(5, 5, 0, 0), nullptr);
    CGContextFillRect(empty, CGRectMake(0, 0, 20, 20));
    CGContextEndTransparencyLayer(empty);
    EXPECT_EQ(coverage(empty, 0, 0, 20, 20), 0);
}
