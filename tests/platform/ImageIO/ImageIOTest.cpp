// Part 3.3 image codecs (the ImageIO stand-in): reading files made by encoders independent of this
// project (tests/data/images/make.sh: a zlib-only Python PNG writer and ImageMagick's convert), one
// per PNG colour type and bit depth, PNG colour chunks, JPEG (with an ICC profile, grey, CMYK,
// progressive), GIF, TIFF, WebP, HEIC and AVIF; hostile input (garbage, every truncation,
// dimensions one past the limits); and the PNG writer, checked by reading back and by an
// independent decoder (Python's zlib).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../CoreGraphics/ColourTestSupport.h"
#include "CGColor.h"
#include "CGColorSpace.h"
#include "CGContext.h"
#include "CGImage.h"
#include "CGImageDestination.h"
#include "CGImagePrivate.h"
#include "CGImageSource.h"
#include "ImageIOLimits.h"
#include "ImageIOPrivate.h"
#include "NSData.h"
#include "TestSupport.h"

using namespace ColourTestSupport;

namespace {

constexpr int W = 5, H = 3;  // the hand-written PNGs (make_png.py)

std::vector<uint8_t> fileBytes(const std::string& name) {
    return test::readFile(test::dataDir() / "images" / name);
}

std::shared_ptr<const NSData> dataOf(const std::vector<uint8_t>& bytes) {
    return NSData::dataWithBytes_length(bytes.data(), bytes.size());
}

CGImageRef decodeBytes(const std::vector<uint8_t>& bytes) {
    return CGImageSourceCreateImageAtIndex(CGImageSourceCreateWithData(dataOf(bytes), nullptr), 0,
                                           nullptr);
}

CGImageRef decodeFile(const std::string& name) {
    return decodeBytes(fileBytes(name));
}

const char* typeOfFile(const std::string& name) {
    return CGImageSourceGetType(CGImageSourceCreateWithData(dataOf(fileBytes(name)), nullptr));
}

// Straight components (R G B A, or W A for grey) of pixel (x, y).
std::vector<int> straight(const CGImageRef& image, size_t x, size_t y) {
    const auto& layout = image->layout;
    const size_t n = layout.colorComponents == 1 ? 2 : 4;
    std::vector<uint8_t> row(image->width * n);
    CoreGraphicsPrivate::readStraightRow(layout, image->row(y), image->width, row.data());
    return std::vector<int>(row.begin() + long(x * n), row.begin() + long(x * n + n));
}

// The pixel as drawn into a 1:1 sRGB (device RGB) context: R G B A, premultiplied.
std::vector<int> drawn(const CGImageRef& image, size_t x, size_t y) {
    const CGContextRef context =
        CGBitmapContextCreate(nullptr, image->width, image->height, 8, 0,
                              CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedLast);
    CGContextDrawImage(context, CGRectMake(0, 0, double(image->width), double(image->height)),
                       image);
    const auto* p = static_cast<const uint8_t*>(CGBitmapContextGetData(context)) +
                    y * CGBitmapContextGetBytesPerRow(context) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

bool near(const std::vector<int>& a, const std::vector<int>& b, int tolerance) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::abs(a[i] - b[i]) > tolerance) return false;
    return true;
}

std::string show(const std::vector<int>& v) {
    std::string s = "(";
    for (size_t i = 0; i < v.size(); ++i) s += (i ? ", " : "") + std::to_string(v[i]);
    return s + ")";
}

#define EXPECT_PIXEL(actual, expected, tolerance) \
    EXPECT_TRUE(near(actual, expected, tolerance)) << show(actual) << " vs " << show(expected)

// ---- The formulas of make_png.py
int grey(int x, int y, int depth) {
    if (depth == 16) return (x * 13331 + y * 7919 + 1000) % 65536;
    if (depth == 8) return (x * 53 + y * 97 + 10) % 256;
    return (x + y * 3) % (1 << depth);
}
int alpha(int x, int y, int depth) {
    return depth == 8 ? (x * 60 + y * 40 + 5) % 256 : (x * 15000 + y * 9000 + 77) % 65536;
}
std::vector<int> rgb(int x, int y, int depth) {
    if (depth == 16)
        return {(x * 11111 + y * 3001) % 65536, (x * 2222 + y * 17001 + 5) % 65536,
                (x * 7777 + y * 999 + 40000) % 65536};
    return {(x * 50 + y * 20) % 256, (x * 10 + y * 90 + 3) % 256,
            ((255 - x * 30 - y * 7) % 256 + 256) % 256};
}
int paletteIndex(int x, int y, int depth) {
    return (x * 2 + y) % (1 << depth);
}
std::vector<int> paletteEntry(int i) {
    return {(i * 40) % 256, ((255 - i * 30) % 256 + 256) % 256, (i * 7 + 1) % 256};
}
int paletteAlpha(int i) {
    return (i * 90 + 20) % 256;
}
// A sample of `depth` bits as 8 bits: sub-byte grey scaled to 0…255; 16 bits rounded.
int to8(int value, int depth) {
    if (depth == 16) return int(std::lround(value * 255.0 / 65535.0));
    if (depth == 8) return value;
    return value * 255 / ((1 << depth) - 1);
}

// The quadrants of make.sh's "quad" picture: probes in the middle of each, for an image of size s.
struct Probe {
    size_t x, y;
    std::vector<int> rgb;
};
std::vector<Probe> quadProbes(size_t size) {
    const size_t a = size / 4, b = 3 * size / 4;
    return {{a, a, {255, 0, 0}}, {b, a, {0, 255, 0}}, {a, b, {0, 0, 255}}, {b, b, {255, 255, 255}}};
}

void expectQuad(const CGImageRef& image, size_t size, int tolerance,
                bool whiteTransparent = false) {
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(CGImageGetWidth(image), size);
    ASSERT_EQ(CGImageGetHeight(image), size);
    for (const auto& probe : quadProbes(size)) {
        const auto p = straight(image, probe.x, probe.y);
        const bool clear = whiteTransparent && probe.rgb == std::vector<int>{255, 255, 255};
        if (clear) {
            EXPECT_EQ(p[3], 0) << "at " << probe.x << ", " << probe.y;
            continue;
        }
        EXPECT_PIXEL(std::vector<int>(p.begin(), p.begin() + 3), probe.rgb, tolerance)
            << " at " << probe.x << ", " << probe.y;
        EXPECT_EQ(p[3], 255);
    }
}

}  // namespace

// ---- PNG, every colour type and bit depth

TEST(Part3_3_ImageCodecs, PNGGreyOfEveryBitDepth) {
    for (int depth : {1, 2, 4, 8, 16}) {
        SCOPED_TRACE(depth);
        const CGImageRef image = decodeFile("grey-" + std::to_string(depth) + ".png");
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(CGImageGetWidth(image), size_t(W));
        EXPECT_EQ(CGImageGetHeight(image), size_t(H));
        EXPECT_EQ(CGImageGetBitsPerComponent(image), 8u);
        EXPECT_EQ(CGImageGetBitsPerPixel(image), 8u);
        EXPECT_EQ(CGImageGetAlphaInfo(image), kCGImageAlphaNone);
        EXPECT_EQ(CGImageGetColorSpace(image), CGColorSpaceCreateDeviceGray());
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                EXPECT_EQ(straight(image, x, y),
                          (std::vector<int>{to8(grey(x, y, depth), depth), 255}))
                    << x << ", " << y;
    }
}

TEST(Part3_3_ImageCodecs, PNGGreyAlpha) {
    for (int depth : {8, 16}) {
        SCOPED_TRACE(depth);
        const CGImageRef image = decodeFile("grey-alpha-" + std::to_string(depth) + ".png");
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(CGImageGetBitsPerPixel(image), 16u);
        EXPECT_EQ(CGImageGetAlphaInfo(image), kCGImageAlphaLast);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                EXPECT_EQ(straight(image, x, y),
                          (std::vector<int>{to8(grey(x, y, depth), depth),
                                            to8(alpha(x, y, depth), depth)}));
    }
}

TEST(Part3_3_ImageCodecs, PNGTrueColourWithAndWithoutAlpha) {
    for (int depth : {8, 16}) {
        SCOPED_TRACE(depth);
        const CGImageRef opaque = decodeFile("rgb-" + std::to_string(depth) + ".png");
        const CGImageRef withAlpha = decodeFile("rgba-" + std::to_string(depth) + ".png");
        ASSERT_NE(opaque, nullptr);
        ASSERT_NE(withAlpha, nullptr);
        EXPECT_EQ(CGImageGetBitsPerPixel(opaque), 24u);
        EXPECT_EQ(CGImageGetAlphaInfo(opaque), kCGImageAlphaNone);
        EXPECT_EQ(CGImageGetBitsPerPixel(withAlpha), 32u);
        EXPECT_EQ(CGImageGetAlphaInfo(withAlpha), kCGImageAlphaLast);
        EXPECT_EQ(CGImageGetColorSpace(opaque), CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                auto expected = rgb(x, y, depth);
                for (int& c : expected) c = to8(c, depth);
                expected.push_back(255);
                EXPECT_EQ(straight(opaque, x, y), expected);
                expected[3] = to8(alpha(x, y, depth), depth);
                EXPECT_EQ(straight(withAlpha, x, y), expected);
            }
    }
}

TEST(Part3_3_ImageCodecs, PNGPaletteOfEveryBitDepthWithAndWithoutTRNS) {
    for (int depth : {1, 2, 4, 8}) {
        SCOPED_TRACE(depth);
        const CGImageRef opaque = decodeFile("palette-" + std::to_string(depth) + ".png");
        const CGImageRef trns = decodeFile("palette-trns-" + std::to_string(depth) + ".png");
        ASSERT_NE(opaque, nullptr);
        ASSERT_NE(trns, nullptr);
        EXPECT_EQ(CGImageGetAlphaInfo(opaque), kCGImageAlphaNone);
        EXPECT_EQ(CGImageGetAlphaInfo(trns), kCGImageAlphaLast);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const int index = paletteIndex(x, y, depth);
                auto expected = paletteEntry(index);
                expected.push_back(255);
                EXPECT_EQ(straight(opaque, x, y), expected);
                expected[3] = paletteAlpha(index);
                EXPECT_EQ(straight(trns, x, y), expected);
            }
    }
}

TEST(Part3_3_ImageCodecs, PNGTRNSOnGreyAndTrueColourMakesOneColourTransparent) {
    const CGImageRef g = decodeFile("grey-trns-8.png");
    const CGImageRef c = decodeFile("rgb-trns-8.png");
    ASSERT_NE(g, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(CGImageGetAlphaInfo(g), kCGImageAlphaLast);
    EXPECT_EQ(CGImageGetAlphaInfo(c), kCGImageAlphaLast);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            EXPECT_EQ(straight(g, x, y)[1], grey(x, y, 8) == grey(1, 0, 8) ? 0 : 255);
            EXPECT_EQ(straight(c, x, y)[3], rgb(x, y, 8) == rgb(1, 0, 8) ? 0 : 255);
        }
}

TEST(Part3_3_ImageCodecs, PNGInterlacedByImageMagick) {
    const CGImageRef image = decodeFile("png-interlaced-rgba.png");
    expectQuad(image, 16, 0, true);
    EXPECT_EQ(typeOfFile("png-interlaced-rgba.png"), std::string(kUTTypePNG));
}

// ---- PNG colour information

TEST(Part3_3_ImageCodecs, PNGICCProfileBecomesTheImageSpace) {
    const CGImageRef image = decodeFile("rgb-iccp-p3.png");
    ASSERT_NE(image, nullptr);
    const CGColorSpaceRef space = CGImageGetColorSpace(image);
    ASSERT_NE(space, nullptr);
    EXPECT_EQ(CGColorSpaceGetModel(space), kCGColorSpaceModelRGB);
    // The space is the file's profile, byte for byte.
    const auto profile = fileBytes("DisplayP3-test.icc");
    const auto icc = CGColorSpaceCopyICCData(space);
    ASSERT_NE(icc, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(icc->span().begin(), icc->span().end()), profile);
    // Two decodes share one space (ImageIOLimits::kMaxCachedProfiles).
    EXPECT_EQ(CGImageGetColorSpace(decodeFile("rgb-iccp-p3.png")), space);
    // Drawn into sRGB, the pixel is the Display P3 colour (200, 100, 50), not those numbers.
    const auto expected = CGColorGetSRGBComponentsForDrawing(
        CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceDisplayP3),
                      {200 / 255.0, 100 / 255.0, 50 / 255.0, 1}));
    const std::vector<int> want{int(std::lround(expected[0] * 255)),
                                int(std::lround(expected[1] * 255)),
                                int(std::lround(expected[2] * 255)), 255};
    EXPECT_PIXEL(drawn(image, 2, 1), want, 2);
    EXPECT_GT(drawn(image, 2, 1)[0], 210);  // a redder orange than sRGB (200, 100, 50)
}

TEST(Part3_3_ImageCodecs, PNGSRGBChunkGAMAAndNoChunkMeanSRGB) {
    const CGColorSpaceRef srgb = CGColorSpaceCreateWithName(kCGColorSpaceSRGB);
    EXPECT_EQ(CGImageGetColorSpace(decodeFile("rgb-srgb-chunk.png")), srgb);
    EXPECT_EQ(CGImageGetColorSpace(decodeFile("rgb-gama-srgb.png")), srgb);
    EXPECT_EQ(CGImageGetColorSpace(decodeFile("rgb-untagged.png")), srgb);
    // A damaged gAMA chunk is dropped; the image decodes, untagged.
    const CGImageRef damaged = decodeFile("rgb-bad-gama-crc.png");
    ASSERT_NE(damaged, nullptr);
    EXPECT_EQ(CGImageGetColorSpace(damaged), srgb);
    EXPECT_EQ(straight(damaged, 0, 0), (std::vector<int>{200, 100, 50, 255}));
}

// gAMA 1.0: the samples are linear light; 128 is 50.2 % light, which sRGB encodes as 188.
TEST(Part3_3_ImageCodecs, PNGGAMAGivesAnEquivalentSpace) {
    const CGImageRef image = decodeFile("rgb-gama-linear.png");
    ASSERT_NE(image, nullptr);
    EXPECT_NE(CGImageGetColorSpace(image), CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
    EXPECT_EQ(straight(image, 0, 0), (std::vector<int>{128, 128, 128, 255}));
    const double linear = 128 / 255.0;
    const int encoded = int(std::lround(255 * (1.055 * std::pow(linear, 1 / 2.4) - 0.055)));
    EXPECT_EQ(encoded, 188);
    EXPECT_PIXEL(drawn(image, 0, 0), (std::vector<int>{encoded, encoded, encoded, 255}), 1);
}

// ---- JPEG

TEST(Part3_3_ImageCodecs, JPEGBaselineAndProgressive) {
    for (const char* name : {"jpeg-rgb.jpg", "jpeg-progressive.jpg"}) {
        SCOPED_TRACE(name);
        const CGImageRef image = decodeFile(name);
        expectQuad(image, 16, 8);
        EXPECT_EQ(CGImageGetBitsPerPixel(image), 24u);
        EXPECT_EQ(CGImageGetColorSpace(image), CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
        EXPECT_EQ(typeOfFile(name), std::string(kUTTypeJPEG));
    }
}

TEST(Part3_3_ImageCodecs, JPEGGrey) {
    const CGImageRef image = decodeFile("jpeg-grey.jpg");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(CGImageGetBitsPerPixel(image), 8u);
    EXPECT_EQ(CGImageGetColorSpace(image), CGColorSpaceCreateDeviceGray());
    const auto probes = quadProbes(16);
    const int red = straight(image, probes[0].x, probes[0].y)[0];
    const int green = straight(image, probes[1].x, probes[1].y)[0];
    const int blue = straight(image, probes[2].x, probes[2].y)[0];
    const int white = straight(image, probes[3].x, probes[3].y)[0];
    // Luma: green is the lightest primary, blue the darkest; white stays white.
    EXPECT_NEAR(white, 255, 3);
    EXPECT_LT(blue, red);
    EXPECT_LT(red, green);
    EXPECT_LT(green, white);
}

TEST(Part3_3_ImageCodecs, JPEGWithICCProfileKeepsItsSpace) {
    const CGImageRef image = decodeFile("jpeg-p3-icc.jpg");
    ASSERT_NE(image, nullptr);
    const auto icc = CGColorSpaceCopyICCData(CGImageGetColorSpace(image));
    ASSERT_NE(icc, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(icc->span().begin(), icc->span().end()),
              fileBytes("DisplayP3-test.icc"));
    EXPECT_PIXEL(straight(image, 8, 8), (std::vector<int>{200, 100, 50, 255}), 3);
    // The same space as the PNG with the same profile: shared by bytes.
    EXPECT_EQ(CGImageGetColorSpace(image), CGImageGetColorSpace(decodeFile("rgb-iccp-p3.png")));
}

// CMYK (ImageMagick writes Adobe-inverted CMYK without a profile): the naive conversion.
TEST(Part3_3_ImageCodecs, JPEGCMYKBecomesRGB) {
    const CGImageRef image = decodeFile("jpeg-cmyk.jpg");
    expectQuad(image, 16, 10);
    EXPECT_EQ(CGImageGetColorSpace(image), CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
}

// ---- GIF, TIFF, WebP, HEIF

TEST(Part3_3_ImageCodecs, GIFFirstFrameWithTransparency) {
    const CGImageRef image = decodeFile("gif-transparent.gif");
    expectQuad(image, 16, 0, true);
    EXPECT_EQ(CGImageGetAlphaInfo(image), kCGImageAlphaLast);
    expectQuad(decodeFile("gif-interlaced.gif"), 16, 0);
    EXPECT_EQ(typeOfFile("gif-transparent.gif"), std::string(kUTTypeGIF));
}

TEST(Part3_3_ImageCodecs, TIFFRGBRGBAAndSixteenBits) {
    expectQuad(decodeFile("tiff-rgb.tif"), 16, 0);
    expectQuad(decodeFile("tiff-rgb-16.tif"), 16, 0);
    const CGImageRef rgba = decodeFile("tiff-rgba.tif");
    expectQuad(rgba, 16, 0, true);
    EXPECT_EQ(CGImageGetAlphaInfo(rgba), kCGImageAlphaPremultipliedLast);
    EXPECT_EQ(typeOfFile("tiff-rgb.tif"), std::string(kUTTypeTIFF));
}

TEST(Part3_3_ImageCodecs, WebPLosslessWithAlphaAndLossy) {
    const CGImageRef lossless = decodeFile("webp-lossless-alpha.webp");
    expectQuad(lossless, 16, 0, true);
    EXPECT_EQ(CGImageGetAlphaInfo(lossless), kCGImageAlphaLast);
    const CGImageRef lossy = decodeFile("webp-lossy.webp");
    expectQuad(lossy, 16, 12);
    EXPECT_EQ(typeOfFile("webp-lossy.webp"), std::string(kUTTypeWebP));
}

TEST(Part3_3_ImageCodecs, HEICAndAVIF) {
    EXPECT_EQ(typeOfFile("heic-quad.heic"), std::string(kUTTypeHEIC));
    expectQuad(decodeFile("heic-quad.heic"), 64, 12);
    EXPECT_EQ(typeOfFile("avif-quad.avif"), std::string(kUTTypeAVIF));
    expectQuad(decodeFile("avif-quad.avif"), 64, 12);
}

// ---- The source API

TEST(Part3_3_ImageCodecs, SourceRecognisesByContentAndAnswersNoneForNothing) {
    EXPECT_EQ(CGImageSourceCreateWithData(nullptr, nullptr), nullptr);
    const CGImageSourceRef garbage =
        CGImageSourceCreateWithData(dataOf({'h', 'e', 'l', 'l', 'o'}), nullptr);
    ASSERT_NE(garbage, nullptr);  // as on macOS: a source, of no type, with no image
    EXPECT_EQ(CGImageSourceGetType(garbage), nullptr);
    EXPECT_EQ(CGImageSourceGetCount(garbage), 0u);
    EXPECT_EQ(CGImageSourceCreateImageAtIndex(garbage, 0, nullptr), nullptr);
    const CGImageSourceRef png =
        CGImageSourceCreateWithData(dataOf(fileBytes("rgb-8.png")), nullptr);
    EXPECT_EQ(CGImageSourceGetCount(png), 1u);
    EXPECT_NE(CGImageSourceCreateImageAtIndex(png, 0, nullptr), nullptr);
    EXPECT_EQ(CGImageSourceCreateImageAtIndex(png, 1, nullptr), nullptr);
    EXPECT_EQ(CGImageSourceGetType(nullptr), nullptr);
    EXPECT_EQ(CGImageSourceGetCount(nullptr), 0u);
    EXPECT_EQ(CGImageSourceCreateImageAtIndex(nullptr, 0, nullptr), nullptr);
    // The empty data: a source of no type.
    EXPECT_EQ(CGImageSourceGetType(CGImageSourceCreateWithData(dataOf({}), nullptr)), nullptr);
}

// ---- Hostile input

TEST(Part3_3_ImageCodecs, GarbageAfterASignatureGivesNull) {
    const std::vector<std::vector<uint8_t>> signatures{
        {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'},
        {0xFF, 0xD8, 0xFF},
        {'G', 'I', 'F', '8', '9', 'a'},
        {'I', 'I', 42, 0},
        {'M', 'M', 0, 42},
        {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'},
        {0, 0, 0, 24, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c'}};
    for (const auto& signature : signatures) {
        for (size_t extra : {0u, 1u, 7u, 100u, 5000u}) {
            std::vector<uint8_t> bytes = signature;
            uint32_t state = 12345;
            for (size_t i = 0; i < extra; ++i) {
                state = state * 1103515245 + 12345;
                bytes.push_back(uint8_t(state >> 16));
            }
            EXPECT_EQ(decodeBytes(bytes), nullptr) << bytes.size();
        }
    }
}

// Every prefix of every test file decodes to nothing or to the whole image, never crashes (ASan
// builds check the memory accesses); cut in the middle of the pixel data, nothing.
TEST(Part3_3_ImageCodecs, EveryTruncationIsSafeAndHalfAFileGivesNull) {
    for (const char* name :
         {"rgba-16.png", "palette-trns-4.png", "png-interlaced-rgba.png", "jpeg-rgb.jpg",
          "jpeg-progressive.jpg", "jpeg-p3-icc.jpg", "gif-transparent.gif", "tiff-rgba.tif",
          "webp-lossless-alpha.webp", "webp-lossy.webp", "heic-quad.heic"}) {
        SCOPED_TRACE(name);
        const auto bytes = fileBytes(name);
        const CGImageRef whole = decodeBytes(bytes);
        ASSERT_NE(whole, nullptr);
        for (size_t length = 0; length < bytes.size(); ++length) {
            const CGImageRef image =
                decodeBytes(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(length)));
            if (image) {
                EXPECT_EQ(CGImageGetWidth(image), CGImageGetWidth(whole)) << length;
                EXPECT_EQ(CGImageGetHeight(image), CGImageGetHeight(whole)) << length;
            }
        }
        EXPECT_EQ(decodeBytes(
                      std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(bytes.size() / 2))),
                  nullptr);
    }
}

TEST(Part3_3_ImageCodecs, PNGSideAtTheLimitDecodesAndOnePastIsRefused) {
    const CGImageRef atLimit = decodeFile("limit-width-32767.png");
    ASSERT_NE(atLimit, nullptr);
    EXPECT_EQ(CGImageGetWidth(atLimit), kCGImageMaxDimension);
    EXPECT_EQ(decodeFile("limit-width-32768.png"), nullptr);
}

TEST(Part3_3_ImageCodecs, PNGPixelCountAtTheLimitDecodesAndOnePastIsRefused) {
    const CGImageRef atLimit = decodeFile("limit-pixels-10000x10000.png");
    ASSERT_NE(atLimit, nullptr);
    EXPECT_EQ(CGImageGetWidth(atLimit) * CGImageGetHeight(atLimit), kCGImageMaxPixelCount);
    EXPECT_EQ(decodeFile("limit-pixels-10001x10000.png"), nullptr);
}

// ImageIOLimits::kMaxJPEGScans: a progressive file with its last scan repeated (libjpeg decodes
// each, warning) up to 500 scans decodes; one more is refused.
TEST(Part3_3_ImageCodecs, JPEGScanLimitAndOnePast) {
    static_assert(ImageIOLimits::kMaxJPEGScans == 500);
    EXPECT_NE(decodeFile("jpeg-scans-500.jpg"), nullptr);
    EXPECT_EQ(decodeFile("jpeg-scans-501.jpg"), nullptr);
}

// ImageIOLimits::kMaxPNGAncillaryChunkBytes: an iCCP chunk inflating to one byte past it is
// dropped without inflating it all; the image decodes untagged.
TEST(Part3_3_ImageCodecs, PNGAncillaryChunkOnePastTheLimitIsDropped) {
    static_assert(ImageIOLimits::kMaxPNGAncillaryChunkBytes == 16u << 20);
    const CGImageRef image = decodeFile("limit-iccp-16MiB-plus-1.png");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(CGImageGetColorSpace(image), CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
    EXPECT_EQ(straight(image, 0, 0), (std::vector<int>{200, 100, 50, 255}));
}

// ImageIOLimits::kMaxPNGCachedChunks: one text chunk past it; the image decodes.
TEST(Part3_3_ImageCodecs, PNGTextChunksOnePastTheCacheLimitStillDecode) {
    static_assert(ImageIOLimits::kMaxPNGCachedChunks == 1000);
    const CGImageRef image = decodeFile("limit-text-chunks-1001.png");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(straight(image, 4, 2), (std::vector<int>{200, 100, 50, 255}));
}

// ImageIOLimits::kMaxCachedProfiles: profiles are shared by bytes; the cache holds at most that
// many and starts over when one more comes. After 33 new profiles the first has been dropped:
// asking for it again makes a new space (with the same bytes).
TEST(Part3_3_ImageCodecs, ProfileCacheLimitAndOnePast) {
    static_assert(ImageIOLimits::kMaxCachedProfiles == 32);
    std::vector<std::vector<uint8_t>> profiles;
    std::vector<CGColorSpaceRef> spaces;
    for (size_t i = 0; i <= ImageIOLimits::kMaxCachedProfiles; ++i) {
        profiles.push_back(makeRGBProfile(("cache test " + std::to_string(i)).c_str(),
                                          kDisplayP3Primaries, 1.5 + 0.01 * double(i)));
        spaces.push_back(ImageIOPrivate::colorSpaceFromICCProfile(profiles.back(), 3));
        ASSERT_NE(spaces.back(), nullptr);
        EXPECT_EQ(ImageIOPrivate::colorSpaceFromICCProfile(profiles.back(), 3),
                  spaces.back());  // shared
    }
    const CGColorSpaceRef again = ImageIOPrivate::colorSpaceFromICCProfile(profiles.front(), 3);
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, spaces.front());
    const auto a = CGColorSpaceCopyICCData(again), b = CGColorSpaceCopyICCData(spaces.front());
    EXPECT_TRUE(std::equal(a->span().begin(), a->span().end(), b->span().begin(), b->span().end()));
}

// The header of a small file edited to declare one pixel past the side limit: refused from the
// header, before the pixels are allocated.
TEST(Part3_3_ImageCodecs, OversizedDimensionsInJPEGGIFAndWebPHeadersAreRefused) {
    auto jpeg = fileBytes("jpeg-rgb.jpg");
    for (size_t i = 0; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {  // SOF0: length, precision, height, width
            jpeg[i + 5] = 0x80;                        // height 32768 (0x8000)
            jpeg[i + 6] = 0x00;
            break;
        }
    EXPECT_EQ(decodeBytes(jpeg), nullptr);

    auto gif = fileBytes("gif-transparent.gif");
    gif[6] = 0x00;  // logical screen width 32768, little-endian
    gif[7] = 0x80;
    EXPECT_EQ(decodeBytes(gif), nullptr);

    // A lossless WebP's VP8L header: 14-bit width − 1 and height − 1 after the signature byte.
    auto webp = fileBytes("webp-lossless-alpha.webp");
    const size_t vp8l = 20;  // "RIFF" size "WEBP" "VP8L" size
    ASSERT_EQ(std::string(webp.begin() + 12, webp.begin() + 16), "VP8L");
    ASSERT_EQ(webp[vp8l], 0x2F);
    // Width − 1 and height − 1 (bits 0…27, little-endian bit order) all ones: 16384 × 16384,
    // 268 M pixels, past the pixel limit.
    webp[vp8l + 1] = 0xFF;
    webp[vp8l + 2] = 0xFF;
    webp[vp8l + 3] = 0xFF;
    webp[vp8l + 4] = uint8_t((webp[vp8l + 4] & 0xF0) | 0x0F);
    EXPECT_EQ(decodeBytes(webp), nullptr);
}

// ---- The PNG writer

namespace {

std::vector<uint8_t> encode(const CGImageRef& image) {
    auto data = NSMutableData::data();
    const CGImageDestinationRef destination =
        CGImageDestinationCreateWithData(data, kUTTypePNG, 1, nullptr);
    CGImageDestinationAddImage(destination, image, nullptr);
    if (!CGImageDestinationFinalize(destination)) return {};
    return std::vector<uint8_t>(data->span().begin(), data->span().end());
}

bool hasChunk(const std::vector<uint8_t>& png, const char* type) {
    for (size_t i = 8; i + 8 <= png.size();) {
        const uint32_t length = uint32_t(png[i]) << 24 | uint32_t(png[i + 1]) << 16 |
                                uint32_t(png[i + 2]) << 8 | png[i + 3];
        if (std::memcmp(png.data() + i + 4, type, 4) == 0) return true;
        i += 12 + size_t(length);
    }
    return false;
}

CGImageRef imageOf(size_t width, size_t height, size_t bitsPerPixel, CGColorSpaceRef space,
                   CGBitmapInfo info, std::vector<uint8_t> bytes) {
    const size_t rowBytes = width * bitsPerPixel / 8;
    return CGImageCreate(width, height, 8, bitsPerPixel, rowBytes, std::move(space), info,
                         NSData::dataWithVector(std::move(bytes)));
}

// Pixel bytes following a simple pattern, premultiplied-valid for premultiplied layouts.
std::vector<uint8_t> pattern(size_t count, size_t bytesPerPixel, int alphaOffset,
                             bool premultiplied) {
    std::vector<uint8_t> bytes(count * bytesPerPixel);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t a = uint8_t(i * 37 % 256);
        for (size_t c = 0; c < bytesPerPixel; ++c) {
            uint8_t v = uint8_t((i * 71 + c * 29 + 3) % 256);
            if (int(c) == alphaOffset)
                v = a;
            else if (premultiplied)
                v = uint8_t(v * a / 255);
            bytes[i * bytesPerPixel + c] = v;
        }
    }
    return bytes;
}

}  // namespace

TEST(Part3_3_ImageCodecs, DestinationRefusesWhatItCannotWrite) {
    auto data = NSMutableData::data();
    EXPECT_EQ(CGImageDestinationCreateWithData(nullptr, kUTTypePNG, 1, nullptr), nullptr);
    EXPECT_EQ(CGImageDestinationCreateWithData(data, kUTTypeJPEG, 1, nullptr), nullptr);
    EXPECT_EQ(CGImageDestinationCreateWithData(data, nullptr, 1, nullptr), nullptr);
    EXPECT_EQ(CGImageDestinationCreateWithData(data, kUTTypePNG, 0, nullptr), nullptr);
    const CGImageDestinationRef empty =
        CGImageDestinationCreateWithData(data, kUTTypePNG, 1, nullptr);
    ASSERT_NE(empty, nullptr);
    CGImageDestinationAddImage(empty, nullptr, nullptr);
    EXPECT_FALSE(CGImageDestinationFinalize(empty));
    EXPECT_EQ(data->length(), 0u);

    const CGImageRef first = decodeFile("rgb-8.png");
    const CGImageRef second = decodeFile("grey-8.png");
    const CGImageDestinationRef one =
        CGImageDestinationCreateWithData(data, kUTTypePNG, 1, nullptr);
    CGImageDestinationAddImage(one, first, nullptr);
    CGImageDestinationAddImage(one, second, nullptr);  // beyond the count: ignored
    EXPECT_TRUE(CGImageDestinationFinalize(one));
    EXPECT_FALSE(CGImageDestinationFinalize(one));  // only once
    const CGImageRef back =
        decodeBytes(std::vector<uint8_t>(data->span().begin(), data->span().end()));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(CGImageGetBitsPerPixel(back), 24u);
    EXPECT_FALSE(CGImageDestinationFinalize(nullptr));
}

// Every image layout writes a PNG that reads back with the same straight pixels.
TEST(Part3_3_ImageCodecs, WriterRoundTripsEveryLayout) {
    const auto rgbSpace = CGColorSpaceCreateDeviceRGB();
    const auto greySpace = CGColorSpaceCreateDeviceGray();
    struct Case {
        size_t bitsPerPixel;
        CGColorSpaceRef space;
        CGBitmapInfo info;
        int alphaOffset;  // in memory, or −1
        bool premultiplied;
    };
    const std::vector<Case> cases{
        {24, rgbSpace, kCGImageAlphaNone, -1, false},
        {32, rgbSpace, kCGImageAlphaLast, 3, false},
        {32, rgbSpace, kCGImageAlphaFirst, 0, false},
        {32, rgbSpace, kCGImageAlphaPremultipliedFirst, 0, true},
        {32, rgbSpace, kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, 3, true},
        {32, rgbSpace, kCGImageAlphaPremultipliedLast, 3, true},
        {32, rgbSpace, kCGImageAlphaNoneSkipFirst, -1, false},
        {32, rgbSpace, kCGImageAlphaNoneSkipLast | kCGBitmapByteOrder32Little, -1, false},
        {8, greySpace, kCGImageAlphaNone, -1, false},
        {16, greySpace, kCGImageAlphaLast, 1, false},
        {16, greySpace, kCGImageAlphaPremultipliedFirst, 0, true},
        {16, greySpace, kCGImageAlphaNoneSkipLast, -1, false},
        {8, nullptr, kCGImageAlphaOnly, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bitsPerPixel << " bpp, info " << c.info);
        const size_t width = 7, height = 4;
        const CGImageRef image =
            imageOf(width, height, c.bitsPerPixel, c.space, c.info,
                    pattern(width * height, c.bitsPerPixel / 8, c.alphaOffset, c.premultiplied));
        ASSERT_NE(image, nullptr);
        const auto png = encode(image);
        ASSERT_FALSE(png.empty());
        EXPECT_TRUE(hasChunk(png, "sRGB"));
        const CGImageRef back = decodeBytes(png);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(CGImageGetWidth(back), width);
        EXPECT_EQ(CGImageGetHeight(back), height);
        const bool opaque = c.alphaOffset < 0;
        EXPECT_EQ(CGImageGetAlphaInfo(back), opaque ? kCGImageAlphaNone : kCGImageAlphaLast);
        for (size_t y = 0; y < height; ++y)
            for (size_t x = 0; x < width; ++x) {
                auto want = straight(image, x, y);
                auto got = straight(back, x, y);
                if (c.premultiplied) {
                    // Premultiplied colour of a transparent pixel is lost (stored as 0); otherwise
                    // premultiplying what was written gives the bytes we started from.
                    const int a = want.back();
                    for (size_t i = 0; i + 1 < want.size(); ++i) {
                        EXPECT_EQ(CoreGraphicsPrivate::premultiply(uint32_t(got[i]), uint32_t(a)),
                                  CoreGraphicsPrivate::premultiply(uint32_t(want[i]), uint32_t(a)));
                    }
                    EXPECT_EQ(got.back(), a);
                } else {
                    EXPECT_EQ(got, want) << x << ", " << y;
                }
            }
    }
}

// Opaque images are written without alpha, whatever their layout (libpng drops the filler byte and
// swaps B G R for cairo's native layout).
TEST(Part3_3_ImageCodecs, WriterDropsAnAlphaThatIsOpaqueEverywhere) {
    struct Case {
        CGBitmapInfo info;
        int alphaOffset;
    };
    for (const Case& c : {Case{kCGImageAlphaLast, 3}, Case{kCGImageAlphaFirst, 0},
                          Case{kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, 3},
                          Case{kCGImageAlphaPremultipliedLast | kCGBitmapByteOrder32Little, 0},
                          Case{kCGImageAlphaNoneSkipFirst, 0}}) {
        SCOPED_TRACE(c.info);
        auto bytes = pattern(12, 4, c.alphaOffset, false);
        for (size_t i = 0; i < 12; ++i) bytes[i * 4 + size_t(c.alphaOffset)] = 255;
        const CGImageRef image = imageOf(4, 3, 32, CGColorSpaceCreateDeviceRGB(), c.info, bytes);
        const CGImageRef back = decodeBytes(encode(image));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(CGImageGetAlphaInfo(back), kCGImageAlphaNone);
        EXPECT_EQ(CGImageGetBitsPerPixel(back), 24u);
        for (size_t y = 0; y < 3; ++y)
            for (size_t x = 0; x < 4; ++x) EXPECT_EQ(straight(back, x, y), straight(image, x, y));
    }
    // Grey + alpha, opaque: grey.
    auto grey = pattern(6, 2, 1, false);
    for (size_t i = 0; i < 6; ++i) grey[i * 2 + 1] = 255;
    const CGImageRef image =
        imageOf(3, 2, 16, CGColorSpaceCreateDeviceGray(), kCGImageAlphaLast, grey);
    const CGImageRef back = decodeBytes(encode(image));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(CGImageGetBitsPerPixel(back), 8u);
    EXPECT_EQ(straight(back, 2, 1), straight(image, 2, 1));
}

// A Display P3 image is written with its profile (iCCP) and reads back in the identical named
// space.
TEST(Part3_3_ImageCodecs, WriterKeepsTheColourSpace) {
    const auto p3 = CGColorSpaceCreateWithName(kCGColorSpaceDisplayP3);
    const CGImageRef image = imageOf(3, 2, 32, p3, kCGImageAlphaLast, pattern(6, 4, 3, false));
    const auto png = encode(image);
    EXPECT_TRUE(hasChunk(png, "iCCP"));
    EXPECT_FALSE(hasChunk(png, "sRGB"));
    const CGImageRef back = decodeBytes(png);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(CGImageGetColorSpace(back), p3);
    // A space made from other profile bytes keeps those bytes.
    const auto profile = fileBytes("DisplayP3-test.icc");
    const auto icc = CGColorSpaceCreateWithICCData(profile);
    const auto png2 = encode(imageOf(3, 2, 24, icc, kCGImageAlphaNone, pattern(6, 3, -1, false)));
    const auto back2 = decodeBytes(png2);
    ASSERT_NE(back2, nullptr);
    const auto bytes = CGColorSpaceCopyICCData(CGImageGetColorSpace(back2));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(bytes->span().begin(), bytes->span().end()), profile);
    // A grey image in a grey profile space.
    const auto grey22 = CGColorSpaceCreateWithName(kCGColorSpaceGenericGrayGamma2_2);
    const auto back3 =
        decodeBytes(encode(imageOf(3, 2, 8, grey22, kCGImageAlphaNone, pattern(6, 1, -1, false))));
    ASSERT_NE(back3, nullptr);
    EXPECT_EQ(CGImageGetColorSpace(back3), grey22);
}

// What the writer makes is a standard PNG: an independent decoder (Python's zlib, unfiltering by
// hand) reads the same pixels.
TEST(Part3_3_ImageCodecs, WriterOutputReadsInAnIndependentDecoder) {
    const CGImageRef image = imageOf(9, 5, 32, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaLast,
                                     pattern(45, 4, 3, false));
    const auto png = encode(image);
    test::ScratchDirectory scratch;
    test::writeFile(scratch.path() / "out.png", png);
    const char* script = R"(
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n'
pos, idat, ihdr = 8, b'', None
while pos < len(data):
    length, kind = struct.unpack('>I4s', data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + length]
    assert zlib.crc32(kind + body) & 0xffffffff == struct.unpack('>I', data[pos + 8 + length:pos + 12 + length])[0]
    if kind == b'IHDR': ihdr = struct.unpack('>IIBBBBB', body)
    if kind == b'IDAT': idat += body
    pos += 12 + length
w, h, depth, ctype = ihdr[:4]
assert depth == 8 and ctype == 6
raw, bpp, stride = zlib.decompress(idat), 4, w * 4
prev, out = bytearray(stride), []
for y in range(h):
    f, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = row[i - bpp] if i >= bpp else 0
        b = prev[i]
        c = prev[i - bpp] if i >= bpp else 0
        if f == 1: row[i] = (row[i] + a) & 255
        elif f == 2: row[i] = (row[i] + b) & 255
        elif f == 3: row[i] = (row[i] + (a + b) // 2) & 255
        elif f == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    out.append(row.hex())
    prev = row
print(''.join(out))
)";
    test::writeFile(scratch.path() / "read.py",
                    std::vector<uint8_t>(script, script + std::strlen(script)));
    const auto result = test::run({VANTLER_PYTHON, (scratch.path() / "read.py").string(),
                                   (scratch.path() / "out.png").string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    std::string expected;
    char hex[3];
    for (uint8_t byte : CGImageGetBytes(image)) {
        std::snprintf(hex, sizeof hex, "%02x", byte);
        expected += hex;
    }
    EXPECT_EQ(result.standardOutput, expected + "\n");
}

// The settings can be chosen (for the benchmark); every level gives the same pixels.
TEST(Part3_3_ImageCodecs, EncoderSettingsChangeOnlyTheSize) {
    const CGImageRef image = decodeFile("rgba-8.png");
    for (int level : {0, 1, 6, 9})
        for (int filters : {0x08, 0x10, 0x20, 0x80, 0xF8}) {
            std::vector<uint8_t> png;
            ASSERT_TRUE(ImageIOPrivate::encodePNG(image, {level, filters, 0}, png));
            const CGImageRef back = decodeBytes(png);
            ASSERT_NE(back, nullptr);
            const auto a = CGImageGetBytes(image), b = CGImageGetBytes(back);
            EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));
        }
}

// Found by the image fuzzer: a 1 KiB corrupt PNG of many text chunks made libpng hold ~170 MB of
// text before failing. Text is skipped unread now (peak memory 8 MB); the file still gives null.
TEST(Part3_3_ImageCodecs, PNGOfManyTextChunksGivesNull) {
    EXPECT_FALSE(decodeFile("fuzz-many-text-chunks.png"));
}
