// Writing PNG: every image layout reads back with its pixels; text entries become text chunks.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CGColorSpace.h"
#include "CGImageDestination.h"
#include "ImageIOTestSupport.h"
#include "NSDictionary.h"
#include "NSNumber.h"
#include "NSString.h"
#include "PNGTextChunks.h"

using namespace ImageIOTestSupport;

namespace {

std::vector<uint8_t> encode(const CGImageRef& image, const NSDictionary* properties = nullptr) {
    auto data = NSMutableData::data();
    const auto destination = CGImageDestinationCreateWithData(data, kUTTypePNG, 1, nullptr);
    CGImageDestinationAddImage(destination, image, properties);
    if (!CGImageDestinationFinalize(destination)) return {};
    return std::vector<uint8_t>(data->span().begin(), data->span().end());
}

// 7 × 4 pixels of a pattern, valid when premultiplied; alpha at alphaOffset, or opaque everywhere.
CGImageRef patterned(size_t bitsPerPixel, CGColorSpaceRef space, CGBitmapInfo info,
                     int alphaOffset = -1, bool premultiplied = false, bool opaque = false) {
    const size_t width = 7, height = 4, bytesPerPixel = bitsPerPixel / 8;
    std::vector<uint8_t> bytes(width * height * bytesPerPixel);
    for (size_t i = 0; i < width * height; ++i) {
        const uint8_t a = opaque ? 255 : uint8_t(i * 37 % 256);
        for (size_t c = 0; c < bytesPerPixel; ++c) {
            const uint8_t v = uint8_t((i * 71 + c * 29 + 3) % 256);
            bytes[i * bytesPerPixel + c] = int(c) == alphaOffset ? a
                                           : premultiplied       ? uint8_t(v * a / 255)
                                                                 : v;
        }
    }
    return CGImageCreate(width, height, 8, bitsPerPixel, width * bytesPerPixel, std::move(space),
                         info, NSData::dataWithVector(std::move(bytes)));
}

// The same straight pixels, but for a transparent pixel's colour, which premultiplying loses.
void expectSamePixels(const CGImageRef& image, const CGImageRef& back) {
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(CGImageGetWidth(back), CGImageGetWidth(image));
    for (size_t y = 0; y < CGImageGetHeight(image); ++y)
        for (size_t x = 0; x < CGImageGetWidth(image); ++x) {
            const auto want = straight(image, x, y), got = straight(back, x, y);
            const uint32_t a = uint32_t(want.back());
            ASSERT_EQ(got.back(), want.back()) << x << ", " << y;
            for (size_t i = 0; i + 1 < want.size(); ++i)
                ASSERT_EQ(CoreGraphicsPrivate::premultiply(uint32_t(got[i]), a),
                          CoreGraphicsPrivate::premultiply(uint32_t(want[i]), a))
                    << x << ", " << y;
        }
}

std::shared_ptr<NSString> string(const std::string& text) {
    return NSString::stringWithUTF8String(text);
}

}  // namespace

// Every layout reads back with the same pixels, tagged sRGB; an alpha opaque everywhere is dropped.
TEST(PNGWriter, RoundTripsEveryLayout) {
    const auto rgb = CGColorSpaceCreateDeviceRGB(), grey = CGColorSpaceCreateDeviceGray();
    // clang-format off
    struct Case { size_t bitsPerPixel; CGColorSpaceRef space; CGBitmapInfo info; int alphaOffset; bool premultiplied; };
    const Case cases[] = {
        {24, rgb, kCGImageAlphaNone, -1, false}, {32, rgb, kCGImageAlphaLast, 3, false}, {32, rgb, kCGImageAlphaFirst, 0, false},
        {32, rgb, kCGImageAlphaPremultipliedFirst, 0, true}, {32, rgb, kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, 3, true},
        {32, rgb, kCGImageAlphaPremultipliedLast, 3, true}, {32, rgb, kCGImageAlphaNoneSkipLast | kCGBitmapByteOrder32Little, -1, false},
        {8, grey, kCGImageAlphaNone, -1, false}, {16, grey, kCGImageAlphaLast, 1, false},
        {16, grey, kCGImageAlphaPremultipliedFirst, 0, true}, {16, grey, kCGImageAlphaNoneSkipLast, -1, false},
        {8, nullptr, kCGImageAlphaOnly, 0, false},
    };  // clang-format on
    for (const auto& c : cases)
        for (bool opaque : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.bitsPerPixel << " bpp, info " << c.info
                                            << (opaque ? ", opaque" : ""));
            if (opaque && (c.alphaOffset < 0 || !c.space)) continue;
            const CGImageRef image =
                patterned(c.bitsPerPixel, c.space, c.info, c.alphaOffset, c.premultiplied, opaque);
            const auto png = encode(image);
            EXPECT_NE(std::string(png.begin(), png.end()).find("sRGB"), std::string::npos);
            const CGImageRef back = decodeBytes(png);
            expectSamePixels(image, back);
            const bool withAlpha = c.alphaOffset >= 0 && !opaque;
            EXPECT_EQ(CGImageGetAlphaInfo(back), withAlpha ? kCGImageAlphaLast : kCGImageAlphaNone);
            EXPECT_EQ(CGImageGetBitsPerPixel(back),
                      !c.space ? 32u : (c.space == rgb ? 24u : 8u) + (withAlpha ? 8 : 0));
        }
}

// Text entries are written in order, as tEXt, or iTXt (UTF-8) when not Latin-1-safe ASCII;
// keywords PNG cannot hold and values that are not strings are left out.
TEST(PNGWriter, TextEntriesBecomeTextChunks) {
    const CGImageRef image = patterned(24, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNone);
    const auto inPNG = [](std::shared_ptr<NSObject> entries) {
        return NSDictionary::dictionaryWithEntries(
            {{string(kCGImagePropertyPNGDictionary),
              NSDictionary::dictionaryWithEntries(
                  {{string(kCGImagePropertyPNGTextEntries), std::move(entries)}})}});
    };
    const std::string longest(79, 'k'), cafe = "Caf\xC3\xA9 \xE2\x80\x94 1";
    // clang-format off
    const auto entries = NSDictionary::dictionaryWithEntries({
        {string("Thumb::Image::Width"), string("800")}, {string(""), string("empty keyword")},
        {string(std::string(80, 'k')), string("80 characters")}, {string(longest), string("79 characters")},
        {string(" Lead"), string("leading space")}, {string("Trail "), string("trailing space")},
        {string("Two  Spaces"), string("double space")}, {string("One Space"), string("single space")},
        {string("Caf\xC3\xA9"), string("non-ASCII keyword")}, {string("Tab\there"), string("control character")},
        {string("Nul"), string(std::string("a\0b", 3))}, {string("Number"), NSNumber::numberWithInteger(3)},
        {NSNumber::numberWithInteger(4), string("number keyword")}, {string("Title"), string(cafe)},
        {string("Empty text"), string("")},
    });  // clang-format on
    EXPECT_EQ(png_text::textChunks(encode(image, inPNG(entries).get())),
              (std::vector<png_text::Chunk>{{"tEXt", "Thumb::Image::Width", "800"},
                                            {"tEXt", longest, "79 characters"},
                                            {"tEXt", "One Space", "single space"},
                                            {"iTXt", "Title", cafe},
                                            {"tEXt", "Empty text", ""}}));
    EXPECT_EQ(png_text::textChunks(encode(image, inPNG(string("Title")).get())),
              std::vector<png_text::Chunk>{});
}
