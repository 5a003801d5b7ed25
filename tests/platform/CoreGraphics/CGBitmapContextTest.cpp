// Part 4.1 bitmap contexts over cairo: creation and refusal, the starting picture, the y-up user
// space and CTM steps, CGContextDrawImage (first row at the rectangle's maximum y, scaling and its
// filters, compositing, colour matching into the context's space), the formats other than cairo's
// own, and the graphics-state stack. Pixel probes in flat regions only (DESIGN.md).

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "CGColor.h"
#include "CGColorSpace.h"
#include "CGContext.h"
#include "CGImage.h"
#include "ContextTestSupport.h"
#include "NSData.h"

using namespace ContextTestSupport;

TEST(Part4_1_BitmapContext, StartsTransparentWithTheRequestedShape) {
    const CGContextRef context = nativeContext(7, 5);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(CGBitmapContextGetWidth(context), 7u);
    EXPECT_EQ(CGBitmapContextGetHeight(context), 5u);
    EXPECT_EQ(CGBitmapContextGetBytesPerRow(context), 28u);  // chosen: width × 4
    EXPECT_EQ(CGBitmapContextGetBitsPerComponent(context), 8u);
    EXPECT_EQ(CGBitmapContextGetBitsPerPixel(context), 32u);
    EXPECT_EQ(CGBitmapContextGetBitmapInfo(context), kNative);
    EXPECT_EQ(CGBitmapContextGetAlphaInfo(context), kCGImageAlphaPremultipliedFirst);
    EXPECT_EQ(CGBitmapContextGetColorSpace(context), CGColorSpaceCreateDeviceRGB());
    EXPECT_TRUE(CGAffineTransformIsIdentity(CGContextGetCTM(context)));
    const auto* data = static_cast<const uint8_t*>(CGBitmapContextGetData(context));
    ASSERT_NE(data, nullptr);
    for (size_t i = 0; i < 28 * 5; ++i) ASSERT_EQ(data[i], 0) << i;

    // The spec's format (default byte order) starts transparent too.
    const CGContextRef spec = CGBitmapContextCreate(
        nullptr, 3, 3, 8, 0, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedFirst);
    ASSERT_NE(spec, nullptr);
    const CGImageRef image = CGBitmapContextCreateImage(spec);
    for (uint8_t byte : CGImageGetBytes(image)) EXPECT_EQ(byte, 0);
}

TEST(Part4_1_BitmapContext, RefusesWhatItCannotDraw) {
    const auto rgb = CGColorSpaceCreateDeviceRGB();
    EXPECT_NE(CGBitmapContextCreate(nullptr, 4, 4, 8, 16, rgb, kCGImageAlphaPremultipliedLast),
              nullptr);
    EXPECT_NE(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, rgb, kCGImageAlphaNoneSkipFirst), nullptr);
    EXPECT_NE(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, rgb,
                                    kCGImageAlphaNoneSkipLast | kCGBitmapByteOrder32Little),
              nullptr);
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 0, 4, 8, 0, rgb, kNative), nullptr);
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 0, 8, 0, rgb, kNative), nullptr);
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4, 16, 0, rgb, kNative), nullptr);
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4, 8, 15, rgb, kNative), nullptr);
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, nullptr, kNative), nullptr);
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, CGColorSpaceCreateDeviceGray(),
                                    kCGImageAlphaNone),
              nullptr);
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, rgb, kCGImageAlphaLast),
              nullptr);  // straight alpha
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, rgb, kCGImageAlphaNone),
              nullptr);  // 24 bits
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, rgb, kCGImageAlphaOnly), nullptr);
    // The size limits of CGImage.h, and one past each (nothing is allocated for a refusal).
    EXPECT_EQ(CGBitmapContextCreate(nullptr, kCGImageMaxDimension + 1, 1, 8, 0, rgb, kNative),
              nullptr);
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 1, kCGImageMaxDimension + 1, 8, 0, rgb, kNative),
              nullptr);
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 10001, 10000, 8, 0, rgb, kNative), nullptr);
    EXPECT_NE(CGBitmapContextCreate(nullptr, kCGImageMaxDimension, 1, 8, 0, rgb, kNative), nullptr);
    // A caller's row size cannot make the context allocate without bound.
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4, 8, SIZE_MAX / 2, rgb, kNative), nullptr);
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4000, 8, size_t{1} << 20, rgb, kNative), nullptr);
}

// Part 4.1: "the whole image scaled into the rectangle, first row at the rectangle's maximum y".
TEST(Part4_1_BitmapContext, DrawsTheFirstImageRowAtTheTop) {
    const CGContextRef context = nativeContext(2, 2);
    const CGImageRef image = imageRGBA(2, 2, {kRed, kGreen, kBlue, kWhite});
    CGContextDrawImage(context, CGRectMake(0, 0, 2, 2), image);
    EXPECT_EQ(pixelAt(context, 0, 0), kRed);
    EXPECT_EQ(pixelAt(context, 1, 0), kGreen);
    EXPECT_EQ(pixelAt(context, 0, 1), kBlue);
    EXPECT_EQ(pixelAt(context, 1, 1), kWhite);
}

// User space is y-up with the origin at the lower left: (0, 0, 1, 1) is the bottom-left pixel.
TEST(Part4_1_BitmapContext, UserSpaceIsYUpFromTheLowerLeft) {
    const CGContextRef context = nativeContext(4, 4);
    CGContextDrawImage(context, CGRectMake(0, 0, 1, 1), imageRGBA(1, 1, {kRed}));
    CGContextDrawImage(context, CGRectMake(3, 3, 1, 1), imageRGBA(1, 1, {kBlue}));
    EXPECT_EQ(pixelAt(context, 0, 3), kRed);
    EXPECT_EQ(pixelAt(context, 3, 0), kBlue);
    EXPECT_EQ(pixelAt(context, 0, 0), kClear);
    EXPECT_EQ(pixelAt(context, 3, 3), kClear);
}

// CTM steps prepend: translate then scale means the scale acts first on user points.
TEST(Part4_1_BitmapContext, CTMStepsPrepend) {
    const CGContextRef context = nativeContext(8, 8);
    CGContextTranslateCTM(context, 2, 1);
    CGContextScaleCTM(context, 2, 3);
    EXPECT_EQ(CGContextGetCTM(context), CGAffineTransformMake(2, 0, 0, 3, 2, 1));
    // User (0, 0, 1, 1) → device x 2…4, y 1…4 (y-up) → memory rows 4…6.
    CGContextDrawImage(context, CGRectMake(0, 0, 1, 1), imageRGBA(1, 1, {kGreen}));
    for (size_t row = 0; row < 8; ++row)
        for (size_t x = 0; x < 8; ++x) {
            const bool inside = x >= 2 && x < 4 && row >= 4 && row < 7;
            ASSERT_EQ(pixelAt(context, x, row), inside ? kGreen : kClear) << x << ", " << row;
        }
    // ConcatCTM prepends as well: a flip of the y axis about the context's height (Part 4.2's
    // y-down space) put before the rest.
    const CGContextRef flipped = nativeContext(4, 4);
    CGContextTranslateCTM(flipped, 0, 4);
    CGContextConcatCTM(flipped, CGAffineTransformMakeScale(1, -1));
    EXPECT_EQ(CGContextGetCTM(flipped), CGAffineTransformMake(1, 0, 0, -1, 0, 4));
    // In the y-down space, (0, 0, 1, 1) is the top-left pixel, and the image comes out mirrored.
    CGContextDrawImage(flipped, CGRectMake(0, 0, 1, 2), imageRGBA(1, 2, {kRed, kBlue}));
    EXPECT_EQ(pixelAt(flipped, 0, 0), kBlue);
    EXPECT_EQ(pixelAt(flipped, 0, 1), kRed);
    CGContextRotateCTM(flipped, M_PI / 2);
    const CGAffineTransform rotated = CGContextGetCTM(flipped);
    EXPECT_NEAR(rotated.b, -1, 1e-12);  // rotation prepended: rot × (1, 0, 0, −1, 0, 4)
    EXPECT_NEAR(rotated.c, -1, 1e-12);
}

TEST(Part4_1_BitmapContext, ScalesWithTheInterpolationQuality) {
    // Enlarged 2 × 2 → 8 × 8 with no interpolation: exact blocks.
    const CGImageRef quad = imageRGBA(2, 2, {kRed, kGreen, kBlue, kWhite});
    const CGContextRef blocks = nativeContext(8, 8);
    CGContextSetInterpolationQuality(blocks, kCGInterpolationNone);
    EXPECT_EQ(CGContextGetInterpolationQuality(blocks), kCGInterpolationNone);
    CGContextDrawImage(blocks, CGRectMake(0, 0, 8, 8), quad);
    EXPECT_EQ(pixelAt(blocks, 0, 0), kRed);
    EXPECT_EQ(pixelAt(blocks, 3, 3), kRed);
    EXPECT_EQ(pixelAt(blocks, 4, 3), kGreen);
    EXPECT_EQ(pixelAt(blocks, 3, 4), kBlue);
    EXPECT_EQ(pixelAt(blocks, 7, 7), kWhite);
    // With the default quality the edges of the image keep their colour (no fading into the
    // transparency around the image) and the middle blends.
    const CGContextRef smooth = nativeContext(8, 8);
    CGContextDrawImage(smooth, CGRectMake(0, 0, 8, 8), quad);
    EXPECT_EQ(pixelAt(smooth, 0, 0), kRed);
    EXPECT_EQ(pixelAt(smooth, 7, 7), kWhite);
    const RGBA middle = pixelAt(smooth, 3, 3);
    EXPECT_GT(middle.g, 0);
    EXPECT_LT(middle.r, 255);
}

// A 2:1 reduction of a one-pixel checkerboard averages each 2 × 2 block (box filter), as the
// mipmaps of Part 3.2 need; so does a 64:1 reduction, past cairo's own filter size.
TEST(Part4_1_BitmapContext, ReductionsAverage) {
    for (size_t size : {8u, 256u}) {
        SCOPED_TRACE(size);
        std::vector<RGBA> pixels;
        for (size_t y = 0; y < size; ++y)
            for (size_t x = 0; x < size; ++x)
                pixels.push_back((x + y) % 2 ? kWhite : RGBA{0, 0, 0, 255});
        const CGImageRef board = imageRGBA(size, size, pixels);
        const size_t out = size == 8 ? 4 : 4;
        const CGContextRef context = nativeContext(out, out);
        CGContextDrawImage(context, CGRectMake(0, 0, double(out), double(out)), board);
        for (size_t y = 0; y < out; ++y)
            for (size_t x = 0; x < out; ++x) {
                const RGBA p = pixelAt(context, x, y);
                EXPECT_TRUE(near(p, {128, 128, 128, 255}, 3)) << p << " at " << x << ", " << y;
            }
    }
}

TEST(Part4_1_BitmapContext, CompositesSourceOverWithPremultipliedResult) {
    const CGContextRef context = nativeContext(2, 1);
    CGContextDrawImage(context, CGRectMake(0, 0, 2, 1),
                       imageRGBA(2, 1, {{255, 0, 0, 128}, kClear}));
    EXPECT_EQ(pixelAt(context, 0, 0), (RGBA{128, 0, 0, 128}));
    EXPECT_EQ(pixelAt(context, 1, 0), kClear);
    // Half-transparent blue over that red.
    CGContextDrawImage(context, CGRectMake(0, 0, 2, 1), imageRGBA(1, 1, {{0, 0, 255, 128}}));
    EXPECT_TRUE(near(pixelAt(context, 0, 0), {64, 0, 128, 192}, 1)) << pixelAt(context, 0, 0);
    EXPECT_EQ(pixelAt(context, 1, 0), (RGBA{0, 0, 128, 128}));
}

// A Display P3 image drawn into a device RGB (sRGB) context is matched: the same numbers give the
// colour lcms2's double-precision colour matching gives, not the numbers themselves.
TEST(Part4_1_BitmapContext, MatchesADisplayP3ImageIntoTheContextSpace) {
    const auto p3 = CGColorSpaceCreateWithName(kCGColorSpaceDisplayP3);
    const std::vector<RGBA> source{
        {200, 100, 50, 255}, {30, 180, 90, 255}, {255, 0, 0, 255}, {128, 128, 128, 255}};
    const CGContextRef context = nativeContext(4, 1);
    CGContextDrawImage(context, CGRectMake(0, 0, 4, 1), imageRGBA(4, 1, source, p3));
    for (size_t i = 0; i < source.size(); ++i) {
        const auto& s = source[i];
        const CGColorRef colour = CGColorCreate(p3, {s.r / 255.0, s.g / 255.0, s.b / 255.0, 1.0});
        const auto expected = CGColorGetSRGBComponentsForDrawing(colour);
        const RGBA want{int(std::lround(expected[0] * 255)), int(std::lround(expected[1] * 255)),
                        int(std::lround(expected[2] * 255)), 255};
        const RGBA got = pixelAt(context, i, 0);
        EXPECT_TRUE(near(got, want, 1)) << "pixel " << i << ": " << got << " vs " << want;
    }
    // And the matching really changed something: P3 (200, 100, 50) is a more saturated orange.
    EXPECT_GT(pixelAt(context, 0, 0).r, 200);
    EXPECT_LT(pixelAt(context, 0, 0).b, 50);
    // Into a Display P3 context, the same image is copied unchanged.
    const CGContextRef p3Context = nativeContext(4, 1, p3);
    CGContextDrawImage(p3Context, CGRectMake(0, 0, 4, 1), imageRGBA(4, 1, source, p3));
    for (size_t i = 0; i < source.size(); ++i) EXPECT_EQ(pixelAt(p3Context, i, 0), source[i]);
}

TEST(Part4_1_BitmapContext, DrawsGreyAndAlphaOnlyImages) {
    const std::vector<uint8_t> grey{0, 77, 200, 255};
    const CGImageRef image =
        CGImageCreate(4, 1, 8, 8, 4, CGColorSpaceCreateDeviceGray(), kCGImageAlphaNone,
                      NSData::dataWithBytes_length(grey.data(), grey.size()));
    const CGContextRef context = nativeContext(4, 1);
    CGContextDrawImage(context, CGRectMake(0, 0, 4, 1), image);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(pixelAt(context, i, 0), (RGBA{grey[i], grey[i], grey[i], 255}));

    const std::vector<uint8_t> alpha{0, 255};
    const CGImageRef mask = CGImageCreate(2, 1, 8, 8, 2, nullptr, kCGImageAlphaOnly,
                                          NSData::dataWithBytes_length(alpha.data(), alpha.size()));
    const CGContextRef black = nativeContext(2, 1);
    CGContextDrawImage(black, CGRectMake(0, 0, 2, 1), mask);
    EXPECT_EQ(pixelAt(black, 0, 0), kClear);
    EXPECT_EQ(pixelAt(black, 1, 0), (RGBA{0, 0, 0, 255}));
}

// Every image layout draws to the same picture.
TEST(Part4_1_BitmapContext, DrawsEveryImageLayoutAlike) {
    struct Case {
        size_t bitsPerPixel;
        CGBitmapInfo info;
        std::vector<uint8_t> pixel;
    };
    // (255, 128, 0) at alpha 128 in each layout.
    const std::vector<Case> cases{
        {32, kCGImageAlphaLast, {255, 128, 0, 128}},
        {32, kCGImageAlphaFirst, {128, 255, 128, 0}},
        {32, kCGImageAlphaPremultipliedLast, {128, 64, 0, 128}},
        {32, kCGImageAlphaPremultipliedFirst, {128, 128, 64, 0}},
        {32, kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, {0, 64, 128, 128}},
        {32, kCGImageAlphaPremultipliedLast | kCGBitmapByteOrder32Little, {128, 0, 64, 128}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.info);
        const CGImageRef image =
            CGImageCreate(1, 1, 8, c.bitsPerPixel, 4, CGColorSpaceCreateDeviceRGB(), c.info,
                          NSData::dataWithBytes_length(c.pixel.data(), c.pixel.size()));
        ASSERT_NE(image, nullptr);
        const CGContextRef context = nativeContext(1, 1);
        CGContextDrawImage(context, CGRectMake(0, 0, 1, 1), image);
        EXPECT_EQ(pixelAt(context, 0, 0), (RGBA{128, 64, 0, 128}));
    }
    const std::vector<uint8_t> opaque{255, 128, 0};
    const CGImageRef rgb =
        CGImageCreate(1, 1, 8, 24, 3, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNone,
                      NSData::dataWithBytes_length(opaque.data(), 3));
    const CGContextRef context = nativeContext(1, 1);
    CGContextDrawImage(context, CGRectMake(0, 0, 1, 1), rgb);
    EXPECT_EQ(pixelAt(context, 0, 0), (RGBA{255, 128, 0, 255}));
}

// The spec's own format, premultiplied alpha first with the default byte order: bytes A R G B.
TEST(Part4_1_BitmapContext, OtherFormatsReadBackInTheirLayout) {
    const CGContextRef context = CGBitmapContextCreate(
        nullptr, 2, 1, 8, 0, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedFirst);
    ASSERT_NE(context, nullptr);
    CGContextDrawImage(context, CGRectMake(0, 0, 2, 1), imageRGBA(2, 1, {{255, 0, 0, 128}, kBlue}));
    const auto* data = static_cast<const uint8_t*>(CGBitmapContextGetData(context));
    EXPECT_EQ(std::vector<uint8_t>(data, data + 8),
              (std::vector<uint8_t>{128, 128, 0, 0, 255, 0, 0, 255}));
    const CGImageRef image = CGBitmapContextCreateImage(context);
    EXPECT_EQ(CGImageGetBitmapInfo(image), kCGImageAlphaPremultipliedFirst);
    EXPECT_EQ(CGImageGetBitsPerComponent(image), 8u);
    EXPECT_EQ(CGImageGetBitsPerPixel(image), 32u);
    const auto bytes = CGImageGetBytes(image);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<uint8_t>{128, 128, 0, 0, 255, 0, 0, 255}));

    // Part 4.3's RGBA: premultiplied alpha last.
    const CGContextRef rgba = CGBitmapContextCreate(
        nullptr, 1, 1, 8, 0, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedLast);
    CGContextDrawImage(rgba, CGRectMake(0, 0, 1, 1), imageRGBA(1, 1, {{255, 0, 0, 128}}));
    const auto* p = static_cast<const uint8_t*>(CGBitmapContextGetData(rgba));
    EXPECT_EQ(std::vector<uint8_t>(p, p + 4), (std::vector<uint8_t>{128, 0, 0, 128}));
}

// Part 3.1 "Raw pixels to bitmap": a context over the caller's A R G B bytes starts with them and
// its image holds them; drawing writes into the caller's memory.
TEST(Part4_1_BitmapContext, CallerMemoryIsTheStartingPictureAndIsKeptCurrent) {
    std::vector<uint8_t> memory{255, 10, 20, 30, 128, 64, 0, 0, 0, 0, 0, 0};
    const CGContextRef context = CGBitmapContextCreate(
        memory.data(), 3, 1, 8, 12, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedFirst);
    ASSERT_NE(context, nullptr);
    const CGImageRef image = CGBitmapContextCreateImage(context);
    const auto bytes = CGImageGetBytes(image);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), memory);
    EXPECT_NE(bytes.data(), memory.data());  // a copy
    CGContextDrawImage(context, CGRectMake(2, 0, 1, 1), imageRGBA(1, 1, {kGreen}));
    EXPECT_EQ(memory, (std::vector<uint8_t>{255, 10, 20, 30, 128, 64, 0, 0, 255, 0, 255, 0}));
    // The image made before is unchanged.
    EXPECT_EQ(bytes[8], 0);
}

// Bytes changed through CGBitmapContextGetData are what the next drawing starts from.
TEST(Part4_1_BitmapContext, ChangesThroughGetDataAreKept) {
    for (CGBitmapInfo info : {kNative, CGBitmapInfo(kCGImageAlphaPremultipliedLast)}) {
        SCOPED_TRACE(info);
        const CGContextRef context =
            CGBitmapContextCreate(nullptr, 2, 1, 8, 0, CGColorSpaceCreateDeviceRGB(), info);
        auto* data = static_cast<uint8_t*>(CGBitmapContextGetData(context));
        std::memset(data, 255, 4);  // pixel 0: opaque white, in any of these layouts
        CGContextDrawImage(context, CGRectMake(1, 0, 1, 1), imageRGBA(1, 1, {kBlue}));
        const CGImageRef image = CGBitmapContextCreateImage(context);
        const auto bytes = CGImageGetBytes(image);
        EXPECT_EQ(bytes[0], 255);
        EXPECT_EQ(bytes[1], 255);
        EXPECT_EQ(bytes[2], 255);
        EXPECT_EQ(bytes[3], 255);
    }
}

TEST(Part4_1_BitmapContext, ImagesAreSnapshots) {
    const CGContextRef context = nativeContext(1, 1);
    const CGImageRef before = CGBitmapContextCreateImage(context);
    CGContextDrawImage(context, CGRectMake(0, 0, 1, 1), imageRGBA(1, 1, {kRed}));
    const CGImageRef after = CGBitmapContextCreateImage(context);
    EXPECT_EQ(CGImageGetBytes(before)[3], 0);
    EXPECT_EQ(CGImageGetBytes(after)[3], 255);
    EXPECT_EQ(CGImageGetBitmapInfo(after), kNative);
    EXPECT_EQ(CGImageGetColorSpace(after), CGColorSpaceCreateDeviceRGB());
}

TEST(Part4_1_BitmapContext, DrawsNothingForNothing) {
    const CGContextRef context = nativeContext(2, 2);
    const CGImageRef red = imageRGBA(1, 1, {kRed});
    CGContextDrawImage(context, CGRectMake(0, 0, 2, 2), nullptr);
    CGContextDrawImage(context, CGRectMake(0, 0, 0, 2), red);
    CGContextDrawImage(context, CGRectMake(0, 0, 2, 0), red);
    CGContextDrawImage(context, CGRectMake(0, 0, NAN, 2), red);
    CGContextDrawImage(context, CGRectNull, red);
    {
        CGContextGStateScope scope(context);
        CGContextScaleCTM(context, 0, 1);  // singular
        CGContextDrawImage(context, CGRectMake(0, 0, 2, 2), red);
    }
    for (size_t y = 0; y < 2; ++y)
        for (size_t x = 0; x < 2; ++x) EXPECT_EQ(pixelAt(context, x, y), kClear);
    // The context still draws afterwards.
    CGContextDrawImage(context, CGRectMake(0, 0, 2, 2), red);
    EXPECT_EQ(pixelAt(context, 1, 1), kRed);
    // A null context is ignored everywhere.
    const CGContextRef none;
    CGContextDrawImage(none, CGRectMake(0, 0, 1, 1), red);
    CGContextSaveGState(none);
    CGContextTranslateCTM(none, 1, 1);
    EXPECT_EQ(CGBitmapContextGetData(none), nullptr);
    EXPECT_EQ(CGBitmapContextCreateImage(none), nullptr);
    EXPECT_EQ(CGContextGetGStateDepth(none), 0u);
}

TEST(Part4_1_BitmapContext, GStateSaveAndRestoreNest) {
    const CGContextRef context = nativeContext(4, 4);
    EXPECT_EQ(CGContextGetGStateDepth(context), 0u);
    CGContextSaveGState(context);
    CGContextTranslateCTM(context, 1, 2);
    CGContextSetInterpolationQuality(context, kCGInterpolationHigh);
    {
        CGContextGStateScope scope(context);
        EXPECT_EQ(CGContextGetGStateDepth(context), 2u);
        CGContextScaleCTM(context, 3, 3);
        CGContextSetInterpolationQuality(context, kCGInterpolationNone);
    }
    EXPECT_EQ(CGContextGetGStateDepth(context), 1u);
    EXPECT_EQ(CGContextGetCTM(context), CGAffineTransformMakeTranslation(1, 2));
    EXPECT_EQ(CGContextGetInterpolationQuality(context), kCGInterpolationHigh);
    CGContextRestoreGState(context);
    EXPECT_TRUE(CGAffineTransformIsIdentity(CGContextGetCTM(context)));
    EXPECT_EQ(CGContextGetInterpolationQuality(context), kCGInterpolationDefault);
    CGContextRestoreGState(context);  // unmatched: ignored
    EXPECT_EQ(CGContextGetGStateDepth(context), 0u);
}
