// Images: refusal of what is not an 8-bit image and its data, and the premultiplying arithmetic.

#include <gtest/gtest.h>

#include <vector>

#include "CGColorSpace.h"
#include "CGImage.h"
#include "CGImagePrivate.h"
#include "NSData.h"

namespace {

std::shared_ptr<const NSData> zeros(size_t length) {
    return NSData::dataWithVector(std::vector<uint8_t>(length));
}

const CGColorSpaceRef kRGB = CGColorSpaceCreateDeviceRGB(), kGrey = CGColorSpaceCreateDeviceGray();

}  // namespace

TEST(CGImage, RefusesNonsense) {
    const auto data = zeros(4 * 4 * 4);
    // clang-format off
    struct Case { size_t width, height, bitsPerComponent, bitsPerPixel, bytesPerRow; CGColorSpaceRef space; CGBitmapInfo info; };
    const Case cases[] = {
        {0, 4, 8, 32, 16, kRGB, kCGImageAlphaLast}, {4, 0, 8, 32, 16, kRGB, kCGImageAlphaLast},
        {4, 4, 16, 64, 32, kRGB, kCGImageAlphaLast}, {4, 4, 5, 16, 8, kRGB, kCGImageAlphaNoneSkipFirst},
        {4, 4, 8, 24, 16, kRGB, kCGImageAlphaLast}, {4, 4, 8, 32, 16, kRGB, kCGImageAlphaNone},
        {4, 4, 8, 32, 16, kRGB, kCGImageAlphaOnly}, {4, 4, 8, 8, 4, nullptr, kCGImageAlphaNone},
        {4, 4, 8, 32, 16, kRGB, 8}, {4, 4, 8, 32, 16, kRGB, kCGImageAlphaLast | kCGBitmapFloatComponents},
        {4, 4, 8, 32, 16, kRGB, kCGImageAlphaLast | (5u << 12)}, {4, 4, 8, 32, 16, kRGB, kCGImageAlphaLast | kCGBitmapByteOrder16Little},
        {4, 4, 8, 16, 8, kGrey, kCGImageAlphaLast | kCGBitmapByteOrder32Little}, {4, 4, 8, 24, 12, kRGB, kCGImageAlphaNone | kCGBitmapByteOrder32Little},
        {4, 4, 8, 32, 16, kGrey, kCGImageAlphaLast}, {4, 4, 8, 32, 15, kRGB, kCGImageAlphaLast},
        {4, 4, 8, 32, 17, kRGB, kCGImageAlphaLast}, {4, 4, 8, 32, SIZE_MAX / 2, kRGB, kCGImageAlphaLast},
    };  // clang-format on
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
