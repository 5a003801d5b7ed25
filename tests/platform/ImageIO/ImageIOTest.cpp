// Reading images made by independent encoders (tests/data/images/make.sh) of every format, and
// hostile input: every truncation, headers past the limits, files at each limit and one past.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "CGColorSpace.h"
#include "ImageIOTestSupport.h"

using namespace ImageIOTestSupport;

namespace {

using Pixel = std::vector<int>;  // straight R G B A or W A; a negative component matches anything

bool matches(const Pixel& actual, const Pixel& expected, int tolerance) {
    if (actual.size() != expected.size()) return false;
    for (size_t i = 0; i < actual.size(); ++i)
        if (expected[i] >= 0 && std::abs(actual[i] - expected[i]) > tolerance) return false;
    return true;
}

enum class Space { any, sRGB, deviceGray, other };

}  // namespace

// Every test image decodes to its type, size, layout, space and pixels (two probes: make_png.py's
// formulas for the 5 × 3 PNGs, the quadrants red, green / blue, white of the others), a file for
// each branch of the decoders.
TEST(ImageDecoding, EveryCodecPath) {
    // clang-format off
    struct Probe { int x, y; Pixel pixel; };
    struct Case { const char* file; const char* type; size_t bitsPerPixel; CGImageAlphaInfo alpha; Space space; int width, height, tolerance; Probe a, b; };
    const auto png = kUTTypePNG, jpeg = kUTTypeJPEG;
    const auto none = kCGImageAlphaNone, last = kCGImageAlphaLast;
    const auto grey = Space::deviceGray, sRGB = Space::sRGB, other = Space::other, any = Space::any;
    const Case cases[] = {
        {"grey-1.png", png, 8, none, grey, 5, 3, 0, {1, 0, {255, 255}}, {0, 0, {0, 255}}},
        {"grey-2.png", png, 8, none, grey, 5, 3, 0, {1, 0, {85, 255}}, {4, 1, {255, 255}}},
        {"grey-8.png", png, 8, none, grey, 5, 3, 0, {1, 0, {63, 255}}, {4, 1, {63, 255}}},
        {"grey-16.png", png, 8, none, grey, 5, 3, 0, {1, 0, {56, 255}}, {4, 1, {242, 255}}},
        {"grey-alpha-8.png", png, 16, last, grey, 5, 3, 0, {1, 0, {63, 65}}, {4, 1, {63, 29}}},
        {"grey-alpha-16.png", png, 16, last, grey, 5, 3, 0, {1, 0, {56, 59}}, {4, 1, {242, 14}}},
        {"grey-trns-8.png", png, 0, last, any, 5, 3, 0, {1, 0, {63, 0}}, {4, 1, {63, 0}}},
        {"rgb-8.png", png, 24, none, sRGB, 5, 3, 0, {1, 0, {50, 13, 225, 255}}, {4, 1, {220, 133, 128, 255}}},
        {"rgb-16.png", png, 24, none, sRGB, 5, 3, 0, {1, 0, {43, 9, 186, 255}}, {4, 1, {185, 101, 26, 255}}},
        {"rgba-8.png", png, 32, last, sRGB, 5, 3, 0, {1, 0, {50, 13, 225, 65}}, {4, 1, {220, 133, 128, 29}}},
        {"rgba-16.png", png, 32, last, sRGB, 5, 3, 0, {1, 0, {43, 9, 186, 59}}, {4, 1, {185, 101, 26, 14}}},
        {"rgb-trns-8.png", png, 0, last, any, 5, 3, 0, {1, 0, {50, 13, 225, 0}}, {4, 1, {220, 133, 128, 255}}},
        {"palette-1.png", png, 0, none, any, 5, 3, 0, {1, 0, {0, 255, 1, 255}}, {4, 1, {40, 225, 8, 255}}},
        {"palette-trns-2.png", png, 0, last, any, 5, 3, 0, {1, 0, {80, 195, 15, 200}}, {4, 1, {40, 225, 8, 110}}},
        {"palette-trns-8.png", png, 0, last, any, 5, 3, 0, {1, 0, {80, 195, 15, 200}}, {4, 1, {104, 241, 64, 62}}},
        {"rgb-srgb-chunk.png", png, 24, none, sRGB, 5, 3, 0, {0, 0, {200, 100, 50, 255}}, {4, 2, {200, 100, 50, 255}}},
        {"rgb-gama-srgb.png", png, 24, none, sRGB, 5, 3, 0, {0, 0, {200, 100, 50, 255}}, {4, 2, {200, 100, 50, 255}}},
        {"rgb-untagged.png", png, 24, none, sRGB, 5, 3, 0, {0, 0, {200, 100, 50, 255}}, {4, 2, {200, 100, 50, 255}}},
        {"rgb-bad-gama-crc.png", png, 24, none, sRGB, 5, 3, 0, {0, 0, {200, 100, 50, 255}}, {4, 2, {200, 100, 50, 255}}},
        {"rgb-iccp-p3.png", png, 24, none, other, 5, 3, 0, {0, 0, {200, 100, 50, 255}}, {4, 2, {200, 100, 50, 255}}},
        {"limit-iccp-16MiB-plus-1.png", png, 24, none, sRGB, 5, 3, 0, {0, 0, {200, 100, 50, 255}}, {4, 2, {200, 100, 50, 255}}},
        {"limit-text-chunks-1001.png", png, 24, none, sRGB, 5, 3, 0, {0, 0, {200, 100, 50, 255}}, {4, 2, {200, 100, 50, 255}}},
        {"rgb-gama-linear.png", png, 24, none, other, 5, 3, 0, {0, 0, {128, 128, 128, 255}}, {4, 2, {128, 128, 128, 255}}},
        {"png-interlaced-rgba.png", png, 32, last, any, 16, 16, 0, {4, 4, {255, 0, 0, 255}}, {12, 12, {-1, -1, -1, 0}}},
        {"jpeg-rgb.jpg", jpeg, 24, none, sRGB, 16, 16, 8, {4, 4, {255, 0, 0, 255}}, {12, 4, {0, 255, 0, 255}}},
        {"jpeg-progressive.jpg", jpeg, 24, none, sRGB, 16, 16, 8, {4, 4, {255, 0, 0, 255}}, {12, 4, {0, 255, 0, 255}}},
        {"jpeg-grey.jpg", jpeg, 8, none, grey, 16, 16, 8, {4, 4, {54, 255}}, {12, 4, {182, 255}}},
        {"jpeg-cmyk.jpg", jpeg, 24, none, sRGB, 16, 16, 10, {4, 4, {255, 0, 0, 255}}, {12, 4, {0, 255, 0, 255}}},
        {"jpeg-p3-icc.jpg", jpeg, 24, none, other, 16, 16, 3, {4, 4, {200, 100, 50, 255}}, {12, 12, {200, 100, 50, 255}}},
        {"gif-transparent.gif", kUTTypeGIF, 0, last, any, 16, 16, 0, {4, 4, {255, 0, 0, 255}}, {12, 12, {-1, -1, -1, 0}}},
        {"gif-interlaced.gif", kUTTypeGIF, 0, last, any, 16, 16, 0, {4, 4, {255, 0, 0, 255}}, {12, 4, {0, 255, 0, 255}}},
        {"tiff-rgb.tif", kUTTypeTIFF, 0, kCGImageAlphaNoneSkipLast, any, 16, 16, 0, {4, 4, {255, 0, 0, 255}}, {12, 4, {0, 255, 0, 255}}},
        {"tiff-rgb-16.tif", kUTTypeTIFF, 0, kCGImageAlphaNoneSkipLast, any, 16, 16, 0, {4, 4, {255, 0, 0, 255}}, {12, 4, {0, 255, 0, 255}}},
        {"tiff-rgba.tif", kUTTypeTIFF, 0, kCGImageAlphaPremultipliedLast, any, 16, 16, 0, {4, 4, {255, 0, 0, 255}}, {12, 12, {-1, -1, -1, 0}}},
        {"webp-lossless-alpha.webp", kUTTypeWebP, 0, last, any, 16, 16, 0, {4, 4, {255, 0, 0, 255}}, {12, 12, {-1, -1, -1, 0}}},
        {"webp-lossy.webp", kUTTypeWebP, 0, none, any, 16, 16, 12, {4, 4, {255, 0, 0, 255}}, {12, 4, {0, 255, 0, 255}}},
        {"heic-quad.heic", kUTTypeHEIC, 0, none, any, 64, 64, 12, {16, 16, {255, 0, 0, 255}}, {48, 16, {0, 255, 0, 255}}},
        {"avif-quad.avif", kUTTypeAVIF, 0, none, any, 64, 64, 12, {16, 16, {255, 0, 0, 255}}, {48, 16, {0, 255, 0, 255}}},
    };  // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto bytes = fileBytes(c.file);
        EXPECT_STREQ(CGImageSourceGetType(sourceOf(bytes)), c.type);
        const CGImageRef image = decodeBytes(bytes);
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(CGImageGetWidth(image), size_t(c.width));
        ASSERT_EQ(CGImageGetHeight(image), size_t(c.height));
        EXPECT_EQ(CGImageGetBitsPerPixel(image),
                  c.bitsPerPixel ? c.bitsPerPixel : CGImageGetBitsPerPixel(image));
        EXPECT_EQ(CGImageGetAlphaInfo(image), c.alpha);
        const CGColorSpaceRef space = CGImageGetColorSpace(image);
        EXPECT_TRUE(c.space == any ||
                    (space == CGColorSpaceCreateDeviceGray()) == (c.space == grey));
        EXPECT_TRUE(c.space == any ||
                    (space == CGColorSpaceCreateWithName(kCGColorSpaceSRGB)) == (c.space == sRGB));
        for (const Probe& probe : {c.a, c.b}) {
            const Pixel got = straight(image, size_t(probe.x), size_t(probe.y));
            EXPECT_TRUE(matches(got, probe.pixel, c.tolerance))
                << probe.x << ", " << probe.y << ": " << testing::PrintToString(got);
        }
    }
}

// The files at each limit decode and those one past it are refused; so is the fuzzer's PNG of
// many text chunks, which once made libpng hold ~170 MB of text before failing. A profile whose
// connection space is no signature at all is refused, and the picture decodes without it.
TEST(ImageDecodingLimits, FilesAndHeadersAtTheLimitAndOnePast) {
    const std::pair<const char*, bool> cases[] = {
        {"limit-width-32767.png", true},        {"limit-width-32768.png", false},
        {"limit-pixels-10000x10000.png", true}, {"limit-pixels-10001x10000.png", false},
        {"jpeg-scans-500.jpg", true},           {"jpeg-scans-501.jpg", false},
        {"fuzz-many-text-chunks.png", false},   {"fuzz-icc-invalid-connection-space.jpg", true},
    };
    for (const auto& [file, decodes] : cases)
        EXPECT_EQ(decodeBytes(fileBytes(file)) != nullptr, decodes) << file;
    EXPECT_EQ(CGImageGetWidth(decodeBytes(fileBytes("limit-width-32767.png"))),
              kCGImageMaxDimension);
    // Headers edited to declare one pixel past a limit are refused before the pixels are allocated.
    auto jpeg = fileBytes("jpeg-rgb.jpg");
    for (size_t i = 0; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {  // SOF0: length, precision, height, width
            jpeg[i + 5] = 0x80;                        // height 32768
            jpeg[i + 6] = 0x00;
            break;
        }
    auto gif = fileBytes("gif-transparent.gif");
    gif[7] = 0x80;  // logical screen width 32768, little-endian
    gif[6] = 0x00;
    // A lossless WebP's VP8L header after its signature byte: 14-bit width − 1 and height − 1 all
    // ones, 16384 × 16384, past the pixel limit.
    auto webp = fileBytes("webp-lossless-alpha.webp");
    ASSERT_EQ(std::string(webp.begin() + 12, webp.begin() + 16), "VP8L");
    ASSERT_EQ(webp[20], 0x2F);
    webp[21] = webp[22] = webp[23] = 0xFF;
    webp[24] |= 0x0F;
    for (const auto& bytes : {jpeg, gif, webp}) EXPECT_EQ(decodeBytes(bytes), nullptr);
}

// Every prefix of every kind of file decodes to nothing or to the whole image, never crashes.
TEST(ImageDecodingHostile, EveryTruncationIsSafe) {
    for (const char* name :
         {"rgba-16.png", "palette-trns-4.png", "png-interlaced-rgba.png", "jpeg-rgb.jpg",
          "jpeg-progressive.jpg", "jpeg-p3-icc.jpg", "gif-transparent.gif", "tiff-rgba.tif",
          "webp-lossless-alpha.webp", "webp-lossy.webp", "heic-quad.heic"}) {
        SCOPED_TRACE(name);
        const auto bytes = fileBytes(name);
        const CGImageRef whole = decodeBytes(bytes);
        ASSERT_NE(whole, nullptr);
        for (size_t length = 0; length < bytes.size(); ++length) {
            const CGImageRef image = decodeBytes({bytes.begin(), bytes.begin() + long(length)});
            if (image) {
                EXPECT_EQ(CGImageGetWidth(image), CGImageGetWidth(whole)) << length;
            }
        }
        EXPECT_EQ(decodeBytes({bytes.begin(), bytes.begin() + long(bytes.size() / 2)}), nullptr);
    }
}
