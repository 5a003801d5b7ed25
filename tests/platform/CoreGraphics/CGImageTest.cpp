// CGImage: creation with every supported 8-bit layout, refusal of every kind of nonsense (with the
// limits of CGImage.h and one past each), the queries and the data provider.

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstring>
#include <vector>

#include "CGColorSpace.h"
#include "CGImage.h"
#include "CGImagePrivate.h"
#include "NSData.h"

namespace {

std::shared_ptr<const NSData> bytes(std::vector<uint8_t> values) {
    return NSData::dataWithVector(std::move(values));
}

// `length` bytes of untouched anonymous memory: a huge provider that costs no physical memory, for
// the size limits (CGImageCreate checks the length and reads nothing).
std::shared_ptr<const NSData> reservedBytes(size_t length) {
    void* memory =
        mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED) return nullptr;
    auto owner = std::shared_ptr<void>(memory, [length](void* p) { munmap(p, length); });
    return std::make_shared<NSData>(
        owner, std::span<const uint8_t>(static_cast<const uint8_t*>(memory), length));
}

CGColorSpaceRef rgb() {
    return CGColorSpaceCreateDeviceRGB();
}
CGColorSpaceRef gray() {
    return CGColorSpaceCreateDeviceGray();
}

}  // namespace

TEST(CGImage, CreatesEveryListedLayoutAndReportsIt) {
    struct Case {
        CGColorSpaceRef space;
        size_t bitsPerPixel;
        CGBitmapInfo info;
    };
    const std::vector<Case> cases{
        {rgb(), 24, kCGImageAlphaNone},
        {rgb(), 32, kCGImageAlphaPremultipliedLast},
        {rgb(), 32, kCGImageAlphaPremultipliedFirst},
        {rgb(), 32, kCGImageAlphaLast},
        {rgb(), 32, kCGImageAlphaFirst},
        {rgb(), 32, kCGImageAlphaNoneSkipLast},
        {rgb(), 32, kCGImageAlphaNoneSkipFirst},
        {rgb(), 32, kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little},
        {rgb(), 32, kCGImageAlphaLast | kCGBitmapByteOrder32Big},
        {gray(), 8, kCGImageAlphaNone},
        {gray(), 16, kCGImageAlphaLast},
        {gray(), 16, kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder16Little},
        {gray(), 16, kCGImageAlphaNoneSkipFirst | kCGBitmapByteOrder16Big},
        {nullptr, 8, kCGImageAlphaOnly},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "bpp " << c.bitsPerPixel << " info " << c.info);
        const size_t bytesPerRow = 3 * c.bitsPerPixel / 8 + 5;  // padded rows are allowed
        const auto data = bytes(std::vector<uint8_t>(bytesPerRow * 2));
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
        // The bytes are shared, not copied.
        EXPECT_EQ(CGImageGetBytes(image).data(), data->bytes());
        EXPECT_EQ(CGDataProviderCopyData(CGImageGetDataProvider(image))->bytes(), data->bytes());
    }
}

TEST(CGImage, RefusesNonsense) {
    const auto data = bytes(std::vector<uint8_t>(4 * 4 * 4));
    auto make = [&](size_t w, size_t h, size_t bpc, size_t bpp, size_t bpr, CGColorSpaceRef space,
                    CGBitmapInfo info) {
        return CGImageCreate(w, h, bpc, bpp, bpr, space, info, data);
    };
    ASSERT_NE(make(4, 4, 8, 32, 16, rgb(), kCGImageAlphaLast), nullptr);
    EXPECT_EQ(make(0, 4, 8, 32, 16, rgb(), kCGImageAlphaLast), nullptr);
    EXPECT_EQ(make(4, 0, 8, 32, 16, rgb(), kCGImageAlphaLast), nullptr);
    EXPECT_EQ(make(4, 4, 16, 64, 32, rgb(), kCGImageAlphaLast), nullptr);  // 16 bits: no
    EXPECT_EQ(make(4, 4, 5, 16, 8, rgb(), kCGImageAlphaNoneSkipFirst), nullptr);
    EXPECT_EQ(make(4, 4, 8, 24, 16, rgb(), kCGImageAlphaLast), nullptr);  // no room for alpha
    EXPECT_EQ(make(4, 4, 8, 32, 16, rgb(), kCGImageAlphaNone), nullptr);  // a fourth byte of what?
    EXPECT_EQ(make(4, 4, 8, 32, 16, rgb(), kCGImageAlphaOnly), nullptr);  // alpha only has no space
    EXPECT_EQ(make(4, 4, 8, 8, 4, nullptr, kCGImageAlphaNone),
              nullptr);                                   // no space, not alpha only
    EXPECT_EQ(make(4, 4, 8, 32, 16, rgb(), 8), nullptr);  // alpha info past 7
    EXPECT_EQ(make(4, 4, 8, 32, 16, rgb(), kCGImageAlphaLast | kCGBitmapFloatComponents), nullptr);
    EXPECT_EQ(make(4, 4, 8, 32, 16, rgb(), kCGImageAlphaLast | (5u << 12)), nullptr);  // order 5
    EXPECT_EQ(make(4, 4, 8, 32, 16, rgb(), kCGImageAlphaLast | kCGBitmapByteOrder16Little),
              nullptr);
    EXPECT_EQ(make(4, 4, 8, 16, 8, gray(), kCGImageAlphaLast | kCGBitmapByteOrder32Little),
              nullptr);
    EXPECT_EQ(make(4, 4, 8, 24, 12, rgb(), kCGImageAlphaNone | kCGBitmapByteOrder32Little),
              nullptr);
    EXPECT_EQ(make(4, 4, 8, 32, 16, gray(), kCGImageAlphaLast), nullptr);  // grey is 8 or 16 bits
    EXPECT_EQ(make(4, 4, 8, 32, 15, rgb(), kCGImageAlphaLast), nullptr);  // row shorter than pixels
    EXPECT_EQ(make(4, 4, 8, 32, 17, rgb(), kCGImageAlphaLast), nullptr);  // last row past the data
    EXPECT_EQ(
        CGImageCreate(4, 4, 8, 32, 16, rgb(), kCGImageAlphaLast, std::shared_ptr<const NSData>()),
        nullptr);
    const double decode[8] = {1, 0, 1, 0, 1, 0, 1, 0};
    EXPECT_EQ(CGImageCreate(4, 4, 8, 32, 16, rgb(), kCGImageAlphaLast,
                            CGDataProviderCreateWithCFData(data), decode, true,
                            kCGRenderingIntentDefault),
              nullptr);
    EXPECT_EQ(CGImageCreate(4, 4, 8, 32, 16, rgb(), kCGImageAlphaLast, CGDataProviderRef(), nullptr,
                            true, kCGRenderingIntentDefault),
              nullptr);
    // A huge bytesPerRow that would overflow the size computation.
    EXPECT_EQ(make(4, 4, 8, 32, SIZE_MAX / 2, rgb(), kCGImageAlphaLast), nullptr);
}

TEST(CGImage, LastRowNeedsNoPadding) {
    const auto data = bytes(std::vector<uint8_t>(20 + 12));  // a padded first row, a bare last one
    EXPECT_NE(CGImageCreate(3, 2, 8, 32, 20, rgb(), kCGImageAlphaLast, data), nullptr);
    const auto short1 = bytes(std::vector<uint8_t>(20 + 11));
    EXPECT_EQ(CGImageCreate(3, 2, 8, 32, 20, rgb(), kCGImageAlphaLast, short1), nullptr);
}

TEST(CGImage, DimensionLimitAndOnePast) {
    const auto row = reservedBytes(kCGImageMaxDimension + 1);
    ASSERT_NE(row, nullptr);
    EXPECT_NE(CGImageCreate(kCGImageMaxDimension, 1, 8, 8, kCGImageMaxDimension, gray(),
                            kCGImageAlphaNone, row),
              nullptr);
    EXPECT_EQ(CGImageCreate(kCGImageMaxDimension + 1, 1, 8, 8, kCGImageMaxDimension + 1, gray(),
                            kCGImageAlphaNone, row),
              nullptr);
    EXPECT_NE(CGImageCreate(1, kCGImageMaxDimension, 8, 8, 1, gray(), kCGImageAlphaNone, row),
              nullptr);
    EXPECT_EQ(CGImageCreate(1, kCGImageMaxDimension + 1, 8, 8, 1, gray(), kCGImageAlphaNone, row),
              nullptr);
}

TEST(CGImage, PixelCountLimitAndOnePast) {
    static_assert(kCGImageMaxPixelCount == 10000u * 10000u);
    const auto data = reservedBytes(10001u * 10000u);
    ASSERT_NE(data, nullptr);
    EXPECT_NE(CGImageCreate(10000, 10000, 8, 8, 10000, gray(), kCGImageAlphaNone, data), nullptr);
    EXPECT_EQ(CGImageCreate(10001, 10000, 8, 8, 10001, gray(), kCGImageAlphaNone, data), nullptr);
}

TEST(CGImage, NullImageAnswersNone) {
    const CGImageRef none;
    EXPECT_EQ(CGImageGetWidth(none), 0u);
    EXPECT_EQ(CGImageGetHeight(none), 0u);
    EXPECT_EQ(CGImageGetBitsPerComponent(none), 0u);
    EXPECT_EQ(CGImageGetBitsPerPixel(none), 0u);
    EXPECT_EQ(CGImageGetBytesPerRow(none), 0u);
    EXPECT_EQ(CGImageGetColorSpace(none), nullptr);
    EXPECT_EQ(CGImageGetBitmapInfo(none), 0u);
    EXPECT_EQ(CGImageGetAlphaInfo(none), kCGImageAlphaNone);
    EXPECT_EQ(CGImageGetDataProvider(none), nullptr);
    EXPECT_TRUE(CGImageGetBytes(none).empty());
    EXPECT_EQ(CGDataProviderCopyData(nullptr), nullptr);
    EXPECT_EQ(CGDataProviderCreateWithCFData(nullptr), nullptr);
}

// The layouts of CGImage.h's table, read back as straight components: the byte orders put each
// component where the table says.
TEST(CGImage, LayoutsPlaceComponentsWhereTheTableSays) {
    using namespace CoreGraphicsPrivate;
    struct Case {
        size_t components, bitsPerPixel;
        CGBitmapInfo info;
        std::vector<uint8_t> pixel;     // in memory order
        std::vector<uint8_t> straight;  // R G B A, or W A
    };
    const std::vector<Case> cases{
        {3, 24, kCGImageAlphaNone, {10, 20, 30}, {10, 20, 30, 255}},
        {3, 32, kCGImageAlphaLast, {10, 20, 30, 40}, {10, 20, 30, 40}},
        {3, 32, kCGImageAlphaFirst, {40, 10, 20, 30}, {10, 20, 30, 40}},
        {3,
         32,
         kCGImageAlphaFirst | kCGBitmapByteOrder32Little,
         {30, 20, 10, 40},
         {10, 20, 30, 40}},
        {3, 32, kCGImageAlphaLast | kCGBitmapByteOrder32Little, {40, 30, 20, 10}, {10, 20, 30, 40}},
        {3, 32, kCGImageAlphaNoneSkipLast, {10, 20, 30, 0}, {10, 20, 30, 255}},
        {3, 32, kCGImageAlphaPremultipliedLast, {50, 100, 0, 100}, {128, 255, 0, 100}},
        {1, 8, kCGImageAlphaNone, {77}, {77, 255}},
        {1, 16, kCGImageAlphaLast, {77, 9}, {77, 9}},
        {1, 16, kCGImageAlphaFirst | kCGBitmapByteOrder16Little, {77, 9}, {77, 9}},
        {1, 16, kCGImageAlphaFirst, {9, 77}, {77, 9}},
        {0, 8, kCGImageAlphaOnly, {99}, {0, 0, 0, 99}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "info " << c.info);
        PixelLayout layout;
        ASSERT_TRUE(pixelLayoutFor(8, c.bitsPerPixel, c.components, c.info, &layout));
        std::vector<uint8_t> out(c.straight.size());
        readStraightRow(layout, c.pixel.data(), 1, out.data());
        EXPECT_EQ(out, c.straight);
        if (c.components != 0 && layout.alpha != PixelLayout::Alpha::premultiplied &&
            layout.alpha != PixelLayout::Alpha::skip) {
            std::vector<uint8_t> back(c.pixel.size());
            writeStraightRow(layout, out.data(), 1, back.data());
            EXPECT_EQ(back, c.pixel);
        }
    }
}

TEST(CGImage, PremultiplyArithmeticIsExactlyRounded) {
    using namespace CoreGraphicsPrivate;
    for (uint32_t a = 0; a < 256; ++a)
        for (uint32_t c = 0; c < 256; ++c) {
            ASSERT_EQ(premultiply(c, a), static_cast<uint8_t>((c * a + 127) / 255))
                << c << " " << a;
            if (a && c <= a) {
                const uint32_t expected = (c * 255 + a / 2) / a;
                ASSERT_EQ(unpremultiply(c, a), expected);
                // Premultiplying what unpremultiply gives is the value we started from.
                ASSERT_EQ(premultiply(unpremultiply(c, a), a), c) << c << " " << a;
            }
        }
}
