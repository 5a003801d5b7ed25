// Bitmap contexts over cairo: creation and refusal, the starting picture, the y-up user space and
// its CTM, drawing images (first row at the rectangle's maximum y, scaling and its filters,
// compositing, colour matching into the context's space), the formats other than cairo's own, the
// caller's memory, and the graphics-state stack. Pixel probes in flat regions only.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ContextTestSupport.h"

using namespace ContextTestSupport;

namespace {

std::vector<uint8_t> firstBytes(const void* data, size_t count) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    return {bytes, bytes + count};
}

}  // namespace

TEST(CGBitmapContext, CreationAndRefusal) {
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
    EXPECT_EQ(firstBytes(CGBitmapContextGetData(context), 28 * 5), std::vector<uint8_t>(28 * 5));
    const auto rgb = CGColorSpaceCreateDeviceRGB();
    for (CGBitmapInfo info :
         {CGBitmapInfo(kCGImageAlphaPremultipliedFirst),
          CGBitmapInfo(kCGImageAlphaPremultipliedLast), CGBitmapInfo(kCGImageAlphaNoneSkipFirst),
          kCGImageAlphaNoneSkipLast | kCGBitmapByteOrder32Little}) {
        const CGContextRef other = CGBitmapContextCreate(nullptr, 3, 3, 8, 0, rgb, info);
        ASSERT_NE(other, nullptr) << info;
        const CGImageRef image = CGBitmapContextCreateImage(other);
        for (uint8_t byte : CGImageGetBytes(image)) EXPECT_EQ(byte, 0) << info;
    }
    struct Case {
        size_t width, height, bitsPerComponent, bytesPerRow;
        CGColorSpaceRef space;
        CGBitmapInfo info;
    };
    const size_t side = kCGImageMaxDimension;
    const Case refused[] = {
        {0, 4, 8, 0, rgb, kNative},
        {4, 0, 8, 0, rgb, kNative},
        {4, 4, 16, 0, rgb, kNative},
        {4, 4, 8, 15, rgb, kNative},
        {4, 4, 8, 0, nullptr, kNative},
        {4, 4, 8, 0, CGColorSpaceCreateDeviceGray(), kCGImageAlphaNone},
        {4, 4, 8, 0, rgb, kCGImageAlphaLast},  // straight alpha
        {4, 4, 8, 0, rgb, kCGImageAlphaNone},  // 24 bits
        {4, 4, 8, 0, rgb, kCGImageAlphaOnly},
        {side + 1, 1, 8, 0, rgb, kNative},
        {1, side + 1, 8, 0, rgb, kNative},
        {10001, 10000, 8, 0, rgb, kNative},
        // A caller's row size cannot make the context allocate without bound.
        {4, 4, 8, SIZE_MAX / 2, rgb, kNative},
        {4, 4000, 8, size_t{1} << 20, rgb, kNative},
    };
    for (const auto& c : refused)
        EXPECT_EQ(CGBitmapContextCreate(nullptr, c.width, c.height, c.bitsPerComponent,
                                        c.bytesPerRow, c.space, c.info),
                  nullptr)
            << c.width << " × " << c.height << ", info " << c.info;
    EXPECT_NE(CGBitmapContextCreate(nullptr, side, 1, 8, 0, rgb, kNative), nullptr);
}

// User space is y-up from the lower left; an image's first row lands at the rectangle's maximum
// y; CTM steps prepend (the newest acts first on user points).
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
    EXPECT_EQ(CGContextGetCTM(moved), CGAffineTransformMake(2, 0, 0, 3, 2, 1));
    CGContextDrawImage(moved, CGRectMake(0, 0, 1, 1), imageRGBA(1, 1, {kGreen}));
    for (size_t row = 0; row < 8; ++row)  // device x 2…4, y 1…4: memory rows 4…6
        for (size_t x = 0; x < 8; ++x)
            ASSERT_EQ(pixelAt(moved, x, row),
                      x >= 2 && x < 4 && row >= 4 && row < 7 ? kGreen : kClear)
                << x << ", " << row;
    // The y-down flip of a layer's drawing space, concatenated before the rest: the image mirrors.
    const CGContextRef flipped = nativeContext(4, 4);
    CGContextTranslateCTM(flipped, 0, 4);
    CGContextConcatCTM(flipped, CGAffineTransformMakeScale(1, -1));
    EXPECT_EQ(CGContextGetCTM(flipped), CGAffineTransformMake(1, 0, 0, -1, 0, 4));
    CGContextDrawImage(flipped, CGRectMake(0, 0, 1, 2), imageRGBA(1, 2, {kRed, kBlue}));
    EXPECT_EQ(pixelAt(flipped, 0, 0), kBlue);
    EXPECT_EQ(pixelAt(flipped, 0, 1), kRed);
    CGContextRotateCTM(flipped, M_PI / 2);
    EXPECT_NEAR(CGContextGetCTM(flipped).b, -1, 1e-12);
    EXPECT_NEAR(CGContextGetCTM(flipped).c, -1, 1e-12);
}

TEST(CGBitmapContext, ScalingFilters) {
    // Enlarged with no interpolation: exact blocks. With the default quality the image's edges
    // keep their colour (no fading into the transparency around it) and the middle blends.
    const CGImageRef quad = imageRGBA(2, 2, {kRed, kGreen, kBlue, kWhite});
    const CGContextRef blocks = nativeContext(8, 8);
    CGContextSetInterpolationQuality(blocks, kCGInterpolationNone);
    EXPECT_EQ(CGContextGetInterpolationQuality(blocks), kCGInterpolationNone);
    CGContextDrawImage(blocks, CGRectMake(0, 0, 8, 8), quad);
    for (auto [x, row, colour] :
         {std::tuple{0, 0, kRed}, {3, 3, kRed}, {4, 3, kGreen}, {3, 4, kBlue}, {7, 7, kWhite}})
        EXPECT_EQ(pixelAt(blocks, size_t(x), size_t(row)), colour) << x << ", " << row;
    const CGContextRef smooth = nativeContext(8, 8);
    CGContextDrawImage(smooth, CGRectMake(0, 0, 8, 8), quad);
    EXPECT_EQ(pixelAt(smooth, 0, 0), kRed);
    EXPECT_EQ(pixelAt(smooth, 7, 7), kWhite);
    EXPECT_GT(pixelAt(smooth, 3, 3).g, 0);
    EXPECT_LT(pixelAt(smooth, 3, 3).r, 255);
    // Reductions average (the mipmaps need a box filter), also at 64:1, past cairo's own filter.
    for (size_t size : {8u, 256u}) {
        std::vector<RGBA> board;
        for (size_t i = 0; i < size * size; ++i)
            board.push_back((i % size + i / size) % 2 ? kWhite : kBlack);
        const CGContextRef context = nativeContext(4, 4);
        CGContextDrawImage(context, CGRectMake(0, 0, 4, 4), imageRGBA(size, size, board));
        for (size_t i = 0; i < 16; ++i)
            EXPECT_TRUE(near(pixelAt(context, i % 4, i / 4), {128, 128, 128, 255}, 3))
                << size << ": " << pixelAt(context, i % 4, i / 4);
    }
}

TEST(CGBitmapContext, CompositesEveryImageLayoutSourceOver) {
    const CGContextRef context = nativeContext(2, 1);
    CGContextDrawImage(context, CGRectMake(0, 0, 2, 1),
                       imageRGBA(2, 1, {{255, 0, 0, 128}, kClear}));
    EXPECT_EQ(pixelAt(context, 0, 0), (RGBA{128, 0, 0, 128}));
    CGContextDrawImage(context, CGRectMake(0, 0, 2, 1), imageRGBA(1, 1, {{0, 0, 255, 128}}));
    EXPECT_TRUE(near(pixelAt(context, 0, 0), {64, 0, 128, 192}, 1)) << pixelAt(context, 0, 0);
    EXPECT_EQ(pixelAt(context, 1, 0), (RGBA{0, 0, 128, 128}));
    // (255, 128, 0) at alpha 128 in each layout; grey; alpha only (black).
    struct Case {
        size_t bitsPerPixel;
        CGColorSpaceRef space;
        CGBitmapInfo info;
        std::vector<uint8_t> pixel;
        RGBA drawn;
    };
    const auto rgb = CGColorSpaceCreateDeviceRGB();
    const RGBA orange{128, 64, 0, 128};
    const Case cases[] = {
        {32, rgb, kCGImageAlphaLast, {255, 128, 0, 128}, orange},
        {32, rgb, kCGImageAlphaFirst, {128, 255, 128, 0}, orange},
        {32, rgb, kCGImageAlphaPremultipliedLast, {128, 64, 0, 128}, orange},
        {32, rgb, kCGImageAlphaPremultipliedFirst, {128, 128, 64, 0}, orange},
        {32,
         rgb,
         kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little,
         {0, 64, 128, 128},
         orange},
        {32,
         rgb,
         kCGImageAlphaPremultipliedLast | kCGBitmapByteOrder32Little,
         {128, 0, 64, 128},
         orange},
        {24, rgb, kCGImageAlphaNone, {255, 128, 0}, {255, 128, 0, 255}},
        {8, CGColorSpaceCreateDeviceGray(), kCGImageAlphaNone, {77}, {77, 77, 77, 255}},
        {8, nullptr, kCGImageAlphaOnly, {255}, kBlack},
        {8, nullptr, kCGImageAlphaOnly, {0}, kClear},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.info);
        const CGImageRef image = CGImageCreate(1, 1, 8, c.bitsPerPixel, c.pixel.size(), c.space,
                                               c.info, NSData::dataWithVector(c.pixel));
        ASSERT_NE(image, nullptr);
        const CGContextRef one = nativeContext(1, 1);
        CGContextDrawImage(one, CGRectMake(0, 0, 1, 1), image);
        EXPECT_EQ(pixelAt(one, 0, 0), c.drawn);
    }
}

// A Display P3 image is matched into a device RGB (sRGB) context as its colours are; into a
// Display P3 context it is copied unchanged.
TEST(CGBitmapContext, MatchesImagesIntoTheContextsSpace) {
    const auto p3 = CGColorSpaceCreateWithName(kCGColorSpaceDisplayP3);
    const std::vector<RGBA> source{
        {200, 100, 50, 255}, {30, 180, 90, 255}, {255, 0, 0, 255}, {128, 128, 128, 255}};
    const CGContextRef context = nativeContext(4, 1);
    CGContextDrawImage(context, CGRectMake(0, 0, 4, 1), imageRGBA(4, 1, source, p3));
    const CGContextRef p3Context = nativeContext(4, 1, p3);
    CGContextDrawImage(p3Context, CGRectMake(0, 0, 4, 1), imageRGBA(4, 1, source, p3));
    for (size_t i = 0; i < source.size(); ++i) {
        const auto& s = source[i];
        const auto e = CGColorGetSRGBComponentsForDrawing(
            CGColorCreate(p3, {s.r / 255.0, s.g / 255.0, s.b / 255.0, 1.0}));
        const RGBA want{int(std::lround(e[0] * 255)), int(std::lround(e[1] * 255)),
                        int(std::lround(e[2] * 255)), 255};
        EXPECT_TRUE(near(pixelAt(context, i, 0), want, 1)) << pixelAt(context, i, 0) << want;
        EXPECT_EQ(pixelAt(p3Context, i, 0), s);
    }
    EXPECT_GT(pixelAt(context, 0, 0).r, 200);  // a more saturated orange than the numbers
}

// The default byte order is A R G B in memory; premultiplied alpha last is R G B A. A context over
// the caller's bytes starts with them and draws into them; images are snapshots (copies).
TEST(CGBitmapContext, OtherFormatsAndTheCallersMemory) {
    const auto rgb = CGColorSpaceCreateDeviceRGB();
    const CGContextRef argb =
        CGBitmapContextCreate(nullptr, 2, 1, 8, 0, rgb, kCGImageAlphaPremultipliedFirst);
    CGContextDrawImage(argb, CGRectMake(0, 0, 2, 1), imageRGBA(2, 1, {{255, 0, 0, 128}, kBlue}));
    const std::vector<uint8_t> expected{128, 128, 0, 0, 255, 0, 0, 255};
    EXPECT_EQ(firstBytes(CGBitmapContextGetData(argb), 8), expected);
    const CGImageRef image = CGBitmapContextCreateImage(argb);
    EXPECT_EQ(CGImageGetBitmapInfo(image), kCGImageAlphaPremultipliedFirst);
    EXPECT_EQ(CGImageGetBitsPerPixel(image), 32u);
    EXPECT_EQ(firstBytes(CGImageGetBytes(image).data(), 8), expected);
    const CGContextRef rgba =
        CGBitmapContextCreate(nullptr, 1, 1, 8, 0, rgb, kCGImageAlphaPremultipliedLast);
    CGContextDrawImage(rgba, CGRectMake(0, 0, 1, 1), imageRGBA(1, 1, {{255, 0, 0, 128}}));
    EXPECT_EQ(firstBytes(CGBitmapContextGetData(rgba), 4), (std::vector<uint8_t>{128, 0, 0, 128}));

    std::vector<uint8_t> memory{255, 10, 20, 30, 128, 64, 0, 0, 0, 0, 0, 0};
    const CGContextRef context =
        CGBitmapContextCreate(memory.data(), 3, 1, 8, 12, rgb, kCGImageAlphaPremultipliedFirst);
    ASSERT_NE(context, nullptr);
    const CGImageRef before = CGBitmapContextCreateImage(context);
    EXPECT_EQ(firstBytes(CGImageGetBytes(before).data(), 12), memory);
    EXPECT_NE(CGImageGetBytes(before).data(), memory.data());
    CGContextDrawImage(context, CGRectMake(2, 0, 1, 1), imageRGBA(1, 1, {kGreen}));
    EXPECT_EQ(memory, (std::vector<uint8_t>{255, 10, 20, 30, 128, 64, 0, 0, 255, 0, 255, 0}));
    EXPECT_EQ(CGImageGetBytes(before)[8], 0);
    // Bytes changed through the data pointer are what the next drawing starts from.
    for (CGBitmapInfo info : {kNative, CGBitmapInfo(kCGImageAlphaPremultipliedLast)}) {
        const CGContextRef changed = CGBitmapContextCreate(nullptr, 2, 1, 8, 0, rgb, info);
        std::memset(CGBitmapContextGetData(changed), 255, 4);  // opaque white in either layout
        CGContextDrawImage(changed, CGRectMake(1, 0, 1, 1), imageRGBA(1, 1, {kBlue}));
        EXPECT_EQ(firstBytes(CGImageGetBytes(CGBitmapContextCreateImage(changed)).data(), 4),
                  std::vector<uint8_t>(4, 255))
            << info;
    }
}

TEST(CGBitmapContext, DrawsNothingForNothing) {
    const CGContextRef context = nativeContext(2, 2);
    const CGImageRef red = imageRGBA(1, 1, {kRed});
    CGContextDrawImage(context, CGRectMake(0, 0, 2, 2), nullptr);
    for (CGRect rect :
         {CGRectMake(0, 0, 0, 2), CGRectMake(0, 0, 2, 0), CGRectMake(0, 0, NAN, 2), CGRectNull})
        CGContextDrawImage(context, rect, red);
    {
        CGContextGStateScope scope(context);
        CGContextScaleCTM(context, 0, 1);  // singular
        CGContextDrawImage(context, CGRectMake(0, 0, 2, 2), red);
    }
    EXPECT_EQ(coverage(context, 0, 0, 2, 2), 0);
    CGContextDrawImage(context, CGRectMake(0, 0, 2, 2), red);
    EXPECT_EQ(pixelAt(context, 1, 1), kRed);
    const CGContextRef none;
    CGContextDrawImage(none, CGRectMake(0, 0, 1, 1), red);
    CGContextSaveGState(none);
    CGContextTranslateCTM(none, 1, 1);
    EXPECT_EQ(CGBitmapContextGetData(none), nullptr);
    EXPECT_EQ(CGBitmapContextCreateImage(none), nullptr);
}

TEST(CGBitmapContext, GStateSaveAndRestoreNest) {
    const CGContextRef context = nativeContext(4, 4);
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
