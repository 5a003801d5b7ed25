// Images: every supported 8-bit layout, refusal of every kind of nonsense (with the size limits and
// one past each), the queries, the data provider, and the pixel arithmetic of the layouts.

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <vector>

#include "CGColorSpace.h"
#include "CGImage.h"
#include "CGImagePrivate.h"
#include "NSData.h"

namespace {

std::shared_ptr<const NSData> zeros(size_t length) {
    return NSData::dataWithVector(std::vector<uint8_t>(length));
}

// `length` bytes of untouched anonymous memory: a huge provider that costs no physical memory
// (CGImageCreate checks the length and reads nothing).
std::shared_ptr<const NSData> reservedBytes(size_t length) {
    void* memory =
        mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED) return nullptr;
    auto owner = std::shared_ptr<void>(memory, [length](void* p) { munmap(p, length); });
    return std::make_shared<NSData>(
        owner, std::span<const uint8_t>(static_cast<const uint8_t*>(memory), length));
}

const CGColorSpaceRef kRGB = CGColorSpaceCreateDeviceRGB(), kGrey = CGColorSpaceCreateDeviceGray();

}  // namespace

// Each layout is created as given (padded rows allowed, bytes shared) and its pixel reads back as
// straight components where the layout's table puts them, and writes back to the same bytes.
TEST(CGImage, LayoutsPlaceComponentsWhereTheirTableSays) {
    struct Case {
        CGColorSpaceRef space;
        size_t bitsPerPixel;
        CGBitmapInfo info;
        std::vector<uint8_t> pixel;     // in memory order
        std::vector<uint8_t> straight;  // R G B A, or W A
    };
    const Case cases[] = {
        {kRGB, 24, kCGImageAlphaNone, {10, 20, 30}, {10, 20, 30, 255}},
        {kRGB, 32, kCGImageAlphaLast, {10, 20, 30, 40}, {10, 20, 30, 40}},
        {kRGB, 32, kCGImageAlphaFirst, {40, 10, 20, 30}, {10, 20, 30, 40}},
        {kRGB,
         32,
         kCGImageAlphaFirst | kCGBitmapByteOrder32Little,
         {30, 20, 10, 40},
         {10, 20, 30, 40}},
        {kRGB,
         32,
         kCGImageAlphaLast | kCGBitmapByteOrder32Little,
         {40, 30, 20, 10},
         {10, 20, 30, 40}},
        {kRGB, 32, kCGImageAlphaLast | kCGBitmapByteOrder32Big, {10, 20, 30, 40}, {10, 20, 30, 40}},
        {kRGB, 32, kCGImageAlphaNoneSkipLast, {10, 20, 30, 0}, {10, 20, 30, 255}},
        {kRGB, 32, kCGImageAlphaNoneSkipFirst, {0, 10, 20, 30}, {10, 20, 30, 255}},
        {kRGB, 32, kCGImageAlphaPremultipliedLast, {50, 100, 0, 100}, {128, 255, 0, 100}},
        {kRGB, 32, kCGImageAlphaPremultipliedFirst, {100, 50, 100, 0}, {128, 255, 0, 100}},
        {kRGB,
         32,
         kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little,
         {0, 100, 50, 100},
         {128, 255, 0, 100}},
        {kGrey, 8, kCGImageAlphaNone, {77}, {77, 255}},
        {kGrey, 16, kCGImageAlphaLast, {77, 9}, {77, 9}},
        {kGrey, 16, kCGImageAlphaFirst | kCGBitmapByteOrder16Little, {77, 9}, {77, 9}},
        {kGrey, 16, kCGImageAlphaFirst, {9, 77}, {77, 9}},
        {kGrey,
         16,
         kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder16Little,
         {77, 200},
         {98, 200}},
        {kGrey, 16, kCGImageAlphaNoneSkipFirst | kCGBitmapByteOrder16Big, {0, 77}, {77, 255}},
        {nullptr, 8, kCGImageAlphaOnly, {99}, {0, 0, 0, 99}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "bpp " << c.bitsPerPixel << " info " << c.info);
        const size_t bytesPerRow = 3 * c.bitsPerPixel / 8 + 5;
        std::vector<uint8_t> bytes(2 * bytesPerRow);
        std::copy(c.pixel.begin(), c.pixel.end(), bytes.begin() + long(bytesPerRow));
        const auto data = NSData::dataWithVector(bytes);
        const CGImageRef image = CGImageCreate(3, 2, 8, c.bitsPerPixel, bytesPerRow, c.space,
                                               c.info, CGDataProviderCreateWithCFData(data),
                                               nullptr, false, kCGRenderingIntentPerceptual);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(CGImageGetWidth(image), 3u);
        EXPECT_EQ(CGImageGetHeight(image), 2u);
        EXPECT_EQ(CGImageGetBitsPerComponent(image), 8u);
        EXPECT_EQ(CGImageGetBitsPerPixel(image), c.bitsPerPixel);
        EXPECT_EQ(CGImageGetBytesPerRow(image), bytesPerRow);
        EXPECT_EQ(CGImageGetColorSpace(image), c.space);
        EXPECT_EQ(CGImageGetBitmapInfo(image), c.info);
        EXPECT_EQ(CGImageGetAlphaInfo(image), c.info & kCGBitmapAlphaInfoMask);
        EXPECT_FALSE(CGImageGetShouldInterpolate(image));
        EXPECT_EQ(CGImageGetRenderingIntent(image), kCGRenderingIntentPerceptual);
        EXPECT_EQ(CGImageGetBytes(image).data(), data->bytes());
        EXPECT_EQ(CGDataProviderCopyData(CGImageGetDataProvider(image))->bytes(), data->bytes());
        const auto& layout = image->layout;
        std::vector<uint8_t> out(c.straight.size() * 3);
        CoreGraphicsPrivate::readStraightRow(layout, image->row(1), 3, out.data());
        EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + long(c.straight.size())),
                  c.straight);
        using Alpha = CoreGraphicsPrivate::PixelLayout::Alpha;
        if (c.space && layout.alpha != Alpha::premultiplied && layout.alpha != Alpha::skip) {
            std::vector<uint8_t> back(c.pixel.size());
            CoreGraphicsPrivate::writeStraightRow(layout, out.data(), 1, back.data());
            EXPECT_EQ(back, c.pixel);
        }
    }
}

TEST(CGImage, RefusesNonsense) {
    const auto data = zeros(4 * 4 * 4);
    struct Case {
        size_t width, height, bitsPerComponent, bitsPerPixel, bytesPerRow;
        CGColorSpaceRef space;
        CGBitmapInfo info;
    };
    const Case cases[] = {
        {0, 4, 8, 32, 16, kRGB, kCGImageAlphaLast},
        {4, 0, 8, 32, 16, kRGB, kCGImageAlphaLast},
        {4, 4, 16, 64, 32, kRGB, kCGImageAlphaLast},  // only 8 bits per component
        {4, 4, 5, 16, 8, kRGB, kCGImageAlphaNoneSkipFirst},
        {4, 4, 8, 24, 16, kRGB, kCGImageAlphaLast},  // no room for alpha
        {4, 4, 8, 32, 16, kRGB, kCGImageAlphaNone},  // a fourth byte of what?
        {4, 4, 8, 32, 16, kRGB, kCGImageAlphaOnly},
        {4, 4, 8, 8, 4, nullptr, kCGImageAlphaNone},
        {4, 4, 8, 32, 16, kRGB, 8},  // alpha info past 7
        {4, 4, 8, 32, 16, kRGB, kCGImageAlphaLast | kCGBitmapFloatComponents},
        {4, 4, 8, 32, 16, kRGB, kCGImageAlphaLast | (5u << 12)},  // byte order 5
        {4, 4, 8, 32, 16, kRGB, kCGImageAlphaLast | kCGBitmapByteOrder16Little},
        {4, 4, 8, 16, 8, kGrey, kCGImageAlphaLast | kCGBitmapByteOrder32Little},
        {4, 4, 8, 24, 12, kRGB, kCGImageAlphaNone | kCGBitmapByteOrder32Little},
        {4, 4, 8, 32, 16, kGrey, kCGImageAlphaLast},
        {4, 4, 8, 32, 15, kRGB, kCGImageAlphaLast},  // rows shorter than their pixels
        {4, 4, 8, 32, 17, kRGB, kCGImageAlphaLast},  // the last row past the data
        {4, 4, 8, 32, SIZE_MAX / 2, kRGB, kCGImageAlphaLast},
    };
    ASSERT_NE(CGImageCreate(4, 4, 8, 32, 16, kRGB, kCGImageAlphaLast, data), nullptr);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(CGImageCreate(c.width, c.height, c.bitsPerComponent, c.bitsPerPixel,
                                c.bytesPerRow, c.space, c.info, data),
                  nullptr)
            << "case " << i;
    }
    EXPECT_EQ(
        CGImageCreate(4, 4, 8, 32, 16, kRGB, kCGImageAlphaLast, std::shared_ptr<const NSData>()),
        nullptr);
    const double decode[8] = {1, 0, 1, 0, 1, 0, 1, 0};
    EXPECT_EQ(CGImageCreate(4, 4, 8, 32, 16, kRGB, kCGImageAlphaLast,
                            CGDataProviderCreateWithCFData(data), decode, true,
                            kCGRenderingIntentDefault),
              nullptr);
    EXPECT_EQ(CGImageCreate(4, 4, 8, 32, 16, kRGB, kCGImageAlphaLast, CGDataProviderRef(), nullptr,
                            true, kCGRenderingIntentDefault),
              nullptr);
    // The last row needs no padding, but all of its pixels.
    EXPECT_NE(CGImageCreate(3, 2, 8, 32, 20, kRGB, kCGImageAlphaLast, zeros(20 + 12)), nullptr);
    EXPECT_EQ(CGImageCreate(3, 2, 8, 32, 20, kRGB, kCGImageAlphaLast, zeros(20 + 11)), nullptr);
    const CGImageRef none;
    EXPECT_EQ(CGImageGetWidth(none), 0u);
    EXPECT_EQ(CGImageGetBitmapInfo(none), 0u);
    EXPECT_EQ(CGImageGetColorSpace(none), nullptr);
    EXPECT_EQ(CGImageGetDataProvider(none), nullptr);
    EXPECT_TRUE(CGImageGetBytes(none).empty());
    EXPECT_EQ(CGDataProviderCopyData(nullptr), nullptr);
    EXPECT_EQ(CGDataProviderCreateWithCFData(nullptr), nullptr);
}

TEST(CGImage, SizeLimitsAndOnePast) {
    static_assert(kCGImageMaxPixelCount == 10000u * 10000u);
    const size_t side = kCGImageMaxDimension;
    const auto data = reservedBytes(10001u * 10000u);
    ASSERT_NE(data, nullptr);
    EXPECT_NE(CGImageCreate(side, 1, 8, 8, side, kGrey, kCGImageAlphaNone, data), nullptr);
    EXPECT_EQ(CGImageCreate(side + 1, 1, 8, 8, side + 1, kGrey, kCGImageAlphaNone, data), nullptr);
    EXPECT_NE(CGImageCreate(1, side, 8, 8, 1, kGrey, kCGImageAlphaNone, data), nullptr);
    EXPECT_EQ(CGImageCreate(1, side + 1, 8, 8, 1, kGrey, kCGImageAlphaNone, data), nullptr);
    EXPECT_NE(CGImageCreate(10000, 10000, 8, 8, 10000, kGrey, kCGImageAlphaNone, data), nullptr);
    EXPECT_EQ(CGImageCreate(10001, 10000, 8, 8, 10001, kGrey, kCGImageAlphaNone, data), nullptr);
}

TEST(CGImage, PremultiplyArithmeticIsExactlyRounded) {
    using namespace CoreGraphicsPrivate;
    for (uint32_t a = 0; a < 256; ++a)
        for (uint32_t c = 0; c < 256; ++c) {
            ASSERT_EQ(premultiply(c, a), uint8_t((c * a + 127) / 255)) << c << " " << a;
            if (a && c <= a) {
                ASSERT_EQ(unpremultiply(c, a), (c * 255 + a / 2) / a) << c << " " << a;
                ASSERT_EQ(premultiply(unpremultiply(c, a), a), c) << c << " " << a;
            }
        }
}
