// Bitmap contexts over cairo: creation and refusal, the y-up user space, and drawing images.

#include <gtest/gtest.h>

#include <vector>

#include "ContextTestSupport.h"

using namespace ContextTestSupport;

TEST(CGBitmapContext, CreationAndRefusal) {
    const CGContextRef context = nativeContext(7, 5);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(CGBitmapContextGetBytesPerRow(context), 28u);
    EXPECT_EQ(CGBitmapContextGetAlphaInfo(context), kCGImageAlphaPremultipliedFirst);
    const auto* data = static_cast<const uint8_t*>(CGBitmapContextGetData(context));
    EXPECT_EQ(std::vector<uint8_t>(data, data + 28 * 5), std::vector<uint8_t>(28 * 5));
    const auto rgb = CGColorSpaceCreateDeviceRGB();
    for (CGBitmapInfo info :
         {CGBitmapInfo(kCGImageAlphaPremultipliedLast), CGBitmapInfo(kCGImageAlphaNoneSkipFirst),
          kCGImageAlphaNoneSkipLast | kCGBitmapByteOrder32Little}) {
        const CGContextRef other = CGBitmapContextCreate(nullptr, 3, 3, 8, 0, rgb, info);
        const CGImageRef image = CGBitmapContextCreateImage(other);
        for (uint8_t byte : CGImageGetBytes(image)) ASSERT_EQ(byte, 0) << info;
    }
    // clang-format off
    struct Case { size_t width, height, bitsPerComponent, bytesPerRow; CGColorSpaceRef space; CGBitmapInfo info; };
    const size_t side = kCGImageMaxDimension;
    const Case refused[] = {
        {0, 4, 8, 0, rgb, kNative}, {4, 0, 8, 0, rgb, kNative}, {4, 4, 16, 0, rgb, kNative}, {4, 4, 8, 15, rgb, kNative},
        {4, 4, 8, 0, nullptr, kNative}, {4, 4, 8, 0, CGColorSpaceCreateDeviceGray(), kCGImageAlphaNone},
        {4, 4, 8, 0, rgb, kCGImageAlphaLast}, {4, 4, 8, 0, rgb, kCGImageAlphaNone}, {4, 4, 8, 0, rgb, kCGImageAlphaOnly},
        {side + 1, 1, 8, 0, rgb, kNative}, {1, side + 1, 8, 0, rgb, kNative}, {10001, 10000, 8, 0, rgb, kNative},
        {4, 4, 8, SIZE_MAX / 2, rgb, kNative}, {4, 4000, 8, size_t{1} << 20, rgb, kNative},
    };  // clang-format on
    for (const auto& c : refused)
        EXPECT_EQ(CGBitmapContextCreate(nullptr, c.width, c.height, c.bitsPerComponent,
                                        c.bytesPerRow, c.space, c.info),
                  nullptr)
            << c.width << " × " << c.height << ", info " << c.info;
    EXPECT_NE(CGBitmapContextCreate(nullptr, side, 1, 8, 0, rgb, kNative), nullptr);
}

// An image's first row lands at the rectangle's maximum y; CTM steps act first on user points.
TEST(CGBitmapContext, ImagesLandWhereUserSpaceSays) {
    const CGContextRef context = nativeContext(4, 4);
    CGContextDrawImage(context, CGRectMake(0, 0, 2, 2),
                       imageRGBA(2, 2, {kRed, kGreen, kBlue, kWhite}));
    CGContextDrawImage(context, CGRectMake(3, 3, 1, 1), imageRGBA(1, 1, {kBlue}));
    const RGBA expected[4][4] = {{kClear, kClear, kClear, kBlue},
                                 {kClear, kClear, kClear, kClear},
                                 {kRed, kGreen, kClear, kClear},
                                 {kBlue, kWhite, kClear, kClear}};
    for (size_t row = 0; row < 4; ++row)
        for (size_t x = 0; x < 4; ++x) EXPECT_EQ(pixelAt(context, x, row), expected[row][x]);
    const CGContextRef moved = nativeContext(8, 8);
    CGContextTranslateCTM(moved, 2, 1);
    CGContextScaleCTM(moved, 2, 3);
    CGContextDrawImage(moved, CGRectMake(0, 0, 1, 1), imageRGBA(1, 1, {kGreen}));
    EXPECT_EQ(coverage(moved, 2, 4, 4, 7), 6);  // device x 2…4, y 1…4: memory rows 4…6
    EXPECT_EQ(coverage(moved, 0, 0, 8, 8), 6);
    const CGContextRef flipped = nativeContext(4, 4);
    CGContextTranslateCTM(flipped, 0, 4);
    CGContextConcatCTM(flipped, CGAffineTransformMakeScale(1, -1));
    CGContextDrawImage(flipped, CGRectMake(0, 0, 1, 2), imageRGBA(1, 2, {kRed, kBlue}));
    EXPECT_EQ(pixelAt(flipped, 0, 0), kBlue);
    EXPECT_EQ(pixelAt(flipped, 0, 1), kRed);
}

// An image drawn far smaller than its pixels shows the average of what each device pixel covers,
// whether its pixels are the context's own or are converted (and then reduced as they are).
TEST(CGBitmapContext, ImagesDrawnSmallAverageTheirPixels) {
    const size_t side = 512;
    std::vector<RGBA> quadrants;
    for (size_t row = 0; row < side; ++row)
        for (size_t x = 0; x < side; ++x)
            quadrants.push_back(row < side / 2 ? (x < side / 2 ? kRed : kGreen)
                                               : (x < side / 2 ? kBlue : RGBA{255, 255, 255, 0}));
    const CGImageRef straight = imageRGBA(side, side, quadrants);
    const CGContextRef native = nativeContext(side, side);
    CGContextDrawImage(native, CGRectMake(0, 0, side, side), straight);
    for (const CGImageRef& image : {straight, CGBitmapContextCreateImage(native)}) {
        const CGContextRef context = nativeContext(4, 4);
        CGContextDrawImage(context, CGRectMake(0, 0, 4, 4), image);
        const RGBA expected[2][2] = {{kRed, kGreen}, {kBlue, kClear}};
        for (size_t row = 0; row < 4; ++row)
            for (size_t x = 0; x < 4; ++x)
                EXPECT_TRUE(near(pixelAt(context, x, row), expected[row / 2][x / 2], 2))
                    << x << ", " << row << ": " << pixelAt(context, x, row);
    }
}

TEST(CGBitmapContext, CompositesEveryImageLayoutSourceOver) {
    const CGContextRef context = nativeContext(1, 1);
    CGContextDrawImage(context, CGRectMake(0, 0, 1, 1), imageRGBA(1, 1, {{255, 0, 0, 128}}));
    CGContextDrawImage(context, CGRectMake(0, 0, 1, 1), imageRGBA(1, 1, {{0, 0, 255, 128}}));
    EXPECT_TRUE(near(pixelAt(context, 0, 0), {64, 0, 128, 192}, 1)) << pixelAt(context, 0, 0);
    // clang-format off
    struct Case { size_t bitsPerPixel; CGColorSpaceRef space; CGBitmapInfo info; std::vector<uint8_t> pixel; RGBA drawn; };
    const auto rgb = CGColorSpaceCreateDeviceRGB();
    const RGBA orange{128, 64, 0, 128};  // (255, 128, 0) at alpha 128
    const Case cases[] = {
        {32, rgb, kCGImageAlphaLast, {255, 128, 0, 128}, orange}, {32, rgb, kCGImageAlphaFirst, {128, 255, 128, 0}, orange},
        {32, rgb, kCGImageAlphaPremultipliedLast, {128, 64, 0, 128}, orange},
        {32, rgb, kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, {0, 64, 128, 128}, orange},
        {32, rgb, kCGImageAlphaPremultipliedLast | kCGBitmapByteOrder32Little, {128, 0, 64, 128}, orange},
        {24, rgb, kCGImageAlphaNone, {255, 128, 0}, {255, 128, 0, 255}},
        {8, CGColorSpaceCreateDeviceGray(), kCGImageAlphaNone, {77}, {77, 77, 77, 255}},
        {8, nullptr, kCGImageAlphaOnly, {255}, kBlack},
    };  // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.info);
        const CGImageRef image = CGImageCreate(1, 1, 8, c.bitsPerPixel, c.pixel.size(), c.space,
                                               c.info, NSData::dataWithVector(c.pixel));
        const CGContextRef one = nativeContext(1, 1);
        CGContextDrawImage(one, CGRectMake(0, 0, 1, 1), image);
        EXPECT_EQ(pixelAt(one, 0, 0), c.drawn);
    }
}
