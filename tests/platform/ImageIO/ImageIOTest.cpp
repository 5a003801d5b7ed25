// Reading images: files made by encoders independent of this project (tests/data/images/make.sh:
// a zlib-only Python PNG writer and ImageMagick), one per PNG colour type and bit depth, PNG colour
// chunks, JPEG (ICC profile, grey, CMYK, progressive), GIF, TIFF, WebP, HEIC and AVIF; hostile
// input (garbage, every truncation, headers past the limits, the files at each limit and one past).

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "../CoreGraphics/ColourTestSupport.h"
#include "CGColor.h"
#include "CGColorSpace.h"
#include "CGContext.h"
#include "ImageIOLimits.h"
#include "ImageIOPrivate.h"
#include "ImageIOTestSupport.h"

using namespace ImageIOTestSupport;

namespace {

using Pixel = std::vector<int>;  // straight R G B A or W A; a negative component matches anything

// The formulas of make_png.py for its 5 × 3 pictures, as 8-bit samples (sub-byte grey scaled up,
// 16 bits rounded).
int to8(int value, int depth) {
    if (depth == 16) return int(std::lround(value * 255.0 / 65535.0));
    return depth == 8 ? value : value * 255 / ((1 << depth) - 1);
}
int grey(int x, int y, int depth) {
    if (depth == 16) return (x * 13331 + y * 7919 + 1000) % 65536;
    return depth == 8 ? (x * 53 + y * 97 + 10) % 256 : (x + y * 3) % (1 << depth);
}
int alpha(int x, int y, int depth) {
    return to8(depth == 8 ? (x * 60 + y * 40 + 5) % 256 : (x * 15000 + y * 9000 + 77) % 65536,
               depth);
}
Pixel rgb(int x, int y, int depth) {
    if (depth == 16)
        return {to8((x * 11111 + y * 3001) % 65536, 16),
                to8((x * 2222 + y * 17001 + 5) % 65536, 16),
                to8((x * 7777 + y * 999 + 40000) % 65536, 16), 255};
    return {(x * 50 + y * 20) % 256, (x * 10 + y * 90 + 3) % 256,
            ((255 - x * 30 - y * 7) % 256 + 256) % 256, 255};
}
template <int depth>
Pixel greyPNG(int x, int y) {
    return {to8(grey(x, y, depth), depth), 255};
}
template <int depth>
Pixel greyAlphaPNG(int x, int y) {
    return {to8(grey(x, y, depth), depth), alpha(x, y, depth)};
}
template <int depth>
Pixel rgbPNG(int x, int y) {
    return rgb(x, y, depth);
}
template <int depth>
Pixel rgbaPNG(int x, int y) {
    Pixel p = rgb(x, y, depth);
    p[3] = alpha(x, y, depth);
    return p;
}
template <int depth, bool withTRNS>
Pixel palettePNG(int x, int y) {
    const int i = (x * 2 + y) % (1 << depth);
    return {(i * 40) % 256, ((255 - i * 30) % 256 + 256) % 256, (i * 7 + 1) % 256,
            withTRNS ? (i * 90 + 20) % 256 : 255};
}
// tRNS on grey and true colour makes the colour of pixel (1, 0) transparent.
Pixel greyTRNS(int x, int y) {
    return {grey(x, y, 8), grey(x, y, 8) == grey(1, 0, 8) ? 0 : 255};
}
Pixel rgbTRNS(int x, int y) {
    Pixel p = rgb(x, y, 8);
    p[3] = rgb(x, y, 8) == rgb(1, 0, 8) ? 0 : 255;
    return p;
}
Pixel flat(int, int) {
    return {200, 100, 50, 255};
}
Pixel flatPicture(int, int, int) {
    return flat(0, 0);
}
Pixel linearGrey(int, int) {
    return {128, 128, 128, 255};
}

// make.sh's "quad": four flat quadrants, red, green / blue, white, probed in their middles.
Pixel quad(int x, int y, int side) {
    const bool right = x >= side / 2, bottom = y >= side / 2;
    if (!bottom) return right ? Pixel{0, 255, 0, 255} : Pixel{255, 0, 0, 255};
    return right ? Pixel{255, 255, 255, 255} : Pixel{0, 0, 255, 255};
}
Pixel quadRGB(int x, int y, int side) {
    return quad(x, y, side);
}
Pixel quadAlpha(int x, int y, int side) {  // the white quadrant transparent
    const Pixel p = quad(x, y, side);
    return p[0] + p[1] + p[2] == 765 ? Pixel{-1, -1, -1, 0} : p;
}
Pixel quadLuma(int x, int y, int side) {  // Rec. 709 luma
    const Pixel p = quad(x, y, side);
    return {int(std::lround(0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2])), 255};
}

bool matches(const Pixel& actual, const Pixel& expected, int tolerance) {
    if (actual.size() != expected.size()) return false;
    for (size_t i = 0; i < actual.size(); ++i)
        if (expected[i] >= 0 && std::abs(actual[i] - expected[i]) > tolerance) return false;
    return true;
}

// The pixel as drawn into an sRGB (device RGB) context at 1:1: R G B A, premultiplied.
Pixel drawn(const CGImageRef& image, size_t x, size_t y) {
    const CGContextRef context =
        CGBitmapContextCreate(nullptr, image->width, image->height, 8, 0,
                              CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedLast);
    CGContextDrawImage(context, CGRectMake(0, 0, double(image->width), double(image->height)),
                       image);
    const auto* p = static_cast<const uint8_t*>(CGBitmapContextGetData(context)) +
                    y * CGBitmapContextGetBytesPerRow(context) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

enum class Space { any, sRGB, deviceGray, other };

}  // namespace

// Every test image decodes to its size, layout, space and pixels: all pixels of the hand-written
// PNGs, the quadrants' middles of the others (lossy ones within a tolerance).
TEST(ImageDecoding, EveryCodecPath) {
    struct Case {
        const char* file;
        const char* type;
        size_t bitsPerPixel;  // 0: not checked
        CGImageAlphaInfo alpha;
        Space space;
        Pixel (*small)(int x, int y);              // the 5 × 3 PNGs, probed everywhere
        Pixel (*picture)(int x, int y, int side);  // the quads, probed in the middles
        int side, tolerance;
    };
    const auto png = kUTTypePNG, jpeg = kUTTypeJPEG;
    const auto none = kCGImageAlphaNone, last = kCGImageAlphaLast;
    const Case cases[] = {
        {"grey-1.png", png, 8, none, Space::deviceGray, greyPNG<1>},
        {"grey-2.png", png, 8, none, Space::deviceGray, greyPNG<2>},
        {"grey-4.png", png, 8, none, Space::deviceGray, greyPNG<4>},
        {"grey-8.png", png, 8, none, Space::deviceGray, greyPNG<8>},
        {"grey-16.png", png, 8, none, Space::deviceGray, greyPNG<16>},
        {"grey-alpha-8.png", png, 16, last, Space::deviceGray, greyAlphaPNG<8>},
        {"grey-alpha-16.png", png, 16, last, Space::deviceGray, greyAlphaPNG<16>},
        {"grey-trns-8.png", png, 0, last, Space::any, greyTRNS},
        {"rgb-8.png", png, 24, none, Space::sRGB, rgbPNG<8>},
        {"rgb-16.png", png, 24, none, Space::sRGB, rgbPNG<16>},
        {"rgba-8.png", png, 32, last, Space::sRGB, rgbaPNG<8>},
        {"rgba-16.png", png, 32, last, Space::sRGB, rgbaPNG<16>},
        {"rgb-trns-8.png", png, 0, last, Space::any, rgbTRNS},
        {"palette-1.png", png, 0, none, Space::any, palettePNG<1, false>},
        {"palette-2.png", png, 0, none, Space::any, palettePNG<2, false>},
        {"palette-4.png", png, 0, none, Space::any, palettePNG<4, false>},
        {"palette-8.png", png, 0, none, Space::any, palettePNG<8, false>},
        {"palette-trns-1.png", png, 0, last, Space::any, palettePNG<1, true>},
        {"palette-trns-2.png", png, 0, last, Space::any, palettePNG<2, true>},
        {"palette-trns-4.png", png, 0, last, Space::any, palettePNG<4, true>},
        {"palette-trns-8.png", png, 0, last, Space::any, palettePNG<8, true>},
        {"rgb-srgb-chunk.png", png, 24, none, Space::sRGB, flat},
        {"rgb-gama-srgb.png", png, 24, none, Space::sRGB, flat},  // gAMA and cHRM of sRGB
        {"rgb-untagged.png", png, 24, none, Space::sRGB, flat},
        {"rgb-bad-gama-crc.png", png, 24, none, Space::sRGB, flat},  // the damaged chunk dropped
        {"rgb-gama-linear.png", png, 24, none, Space::other, linearGrey},
        {"rgb-iccp-p3.png", png, 24, none, Space::other, flat},
        // An iCCP chunk inflating past the limit is dropped without inflating it all.
        {"limit-iccp-16MiB-plus-1.png", png, 24, none, Space::sRGB, flat},
        {"limit-text-chunks-1001.png", png, 24, none, Space::sRGB, flat},
        {"png-interlaced-rgba.png", png, 32, last, Space::any, nullptr, quadAlpha, 16, 0},
        {"jpeg-rgb.jpg", jpeg, 24, none, Space::sRGB, nullptr, quadRGB, 16, 8},
        {"jpeg-progressive.jpg", jpeg, 24, none, Space::sRGB, nullptr, quadRGB, 16, 8},
        {"jpeg-grey.jpg", jpeg, 8, none, Space::deviceGray, nullptr, quadLuma, 16, 8},
        // ImageMagick writes Adobe-inverted CMYK without a profile: the naive conversion.
        {"jpeg-cmyk.jpg", jpeg, 24, none, Space::sRGB, nullptr, quadRGB, 16, 10},
        {"jpeg-p3-icc.jpg", jpeg, 24, none, Space::other, nullptr, flatPicture, 16, 3},
        {"gif-transparent.gif", kUTTypeGIF, 0, last, Space::any, nullptr, quadAlpha, 16, 0},
        {"gif-interlaced.gif", kUTTypeGIF, 0, last, Space::any, nullptr, quadRGB, 16, 0},
        {"tiff-rgb.tif", kUTTypeTIFF, 0, kCGImageAlphaNoneSkipLast, Space::any, nullptr, quadRGB,
         16, 0},
        {"tiff-rgb-16.tif", kUTTypeTIFF, 0, kCGImageAlphaNoneSkipLast, Space::any, nullptr, quadRGB,
         16, 0},
        {"tiff-rgba.tif", kUTTypeTIFF, 0, kCGImageAlphaPremultipliedLast, Space::any, nullptr,
         quadAlpha, 16, 0},
        {"webp-lossless-alpha.webp", kUTTypeWebP, 0, last, Space::any, nullptr, quadAlpha, 16, 0},
        {"webp-lossy.webp", kUTTypeWebP, 0, none, Space::any, nullptr, quadRGB, 16, 12},
        {"heic-quad.heic", kUTTypeHEIC, 0, none, Space::any, nullptr, quadRGB, 64, 12},
        {"avif-quad.avif", kUTTypeAVIF, 0, none, Space::any, nullptr, quadRGB, 64, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto bytes = fileBytes(c.file);
        EXPECT_STREQ(CGImageSourceGetType(sourceOf(bytes)), c.type);
        const CGImageRef image = decodeBytes(bytes);
        ASSERT_NE(image, nullptr);
        const int width = c.picture ? c.side : 5, height = c.picture ? c.side : 3;
        ASSERT_EQ(CGImageGetWidth(image), size_t(width));
        ASSERT_EQ(CGImageGetHeight(image), size_t(height));
        EXPECT_EQ(CGImageGetBitsPerComponent(image), 8u);
        if (c.bitsPerPixel) {
            EXPECT_EQ(CGImageGetBitsPerPixel(image), c.bitsPerPixel);
        }
        EXPECT_EQ(CGImageGetAlphaInfo(image), c.alpha);
        const CGColorSpaceRef space = CGImageGetColorSpace(image);
        if (c.space == Space::sRGB) {
            EXPECT_EQ(space, CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
        }
        if (c.space == Space::deviceGray) {
            EXPECT_EQ(space, CGColorSpaceCreateDeviceGray());
        }
        if (c.space == Space::other) {
            EXPECT_NE(space, CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
            EXPECT_EQ(CGColorSpaceGetModel(space), kCGColorSpaceModelRGB);
        }
        std::vector<std::pair<int, int>> probes;
        if (c.picture)
            for (int y : {c.side / 4, 3 * c.side / 4})
                for (int x : {c.side / 4, 3 * c.side / 4}) probes.push_back({x, y});
        else
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) probes.push_back({x, y});
        for (auto [x, y] : probes) {
            const Pixel expected = c.picture ? c.picture(x, y, c.side) : c.small(x, y);
            const Pixel actual = straight(image, size_t(x), size_t(y));
            EXPECT_TRUE(matches(actual, expected, c.tolerance))
                << x << ", " << y << ": " << testing::PrintToString(actual) << " vs "
                << testing::PrintToString(expected);
        }
    }
}

// An embedded ICC profile becomes the image's space, byte for byte, shared between images with
// the same profile; drawn into sRGB the pixels are the profile's colour, not the numbers. gAMA 1.0
// means linear light: 128 is 50.2 % light, which sRGB encodes as 188.
TEST(ImageDecoding, ColourInformationIsHonoured) {
    const auto profile = fileBytes("DisplayP3-test.icc");
    const CGImageRef png = decodeFile("rgb-iccp-p3.png"), jpeg = decodeFile("jpeg-p3-icc.jpg");
    ASSERT_NE(png, nullptr);
    ASSERT_NE(jpeg, nullptr);
    const auto icc = CGColorSpaceCopyICCData(CGImageGetColorSpace(png));
    ASSERT_NE(icc, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(icc->span().begin(), icc->span().end()), profile);
    EXPECT_EQ(CGImageGetColorSpace(jpeg), CGImageGetColorSpace(png));
    EXPECT_EQ(CGImageGetColorSpace(decodeFile("rgb-iccp-p3.png")), CGImageGetColorSpace(png));
    const auto e = CGColorGetSRGBComponentsForDrawing(
        CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceDisplayP3),
                      {200 / 255.0, 100 / 255.0, 50 / 255.0, 1}));
    const Pixel want{int(std::lround(e[0] * 255)), int(std::lround(e[1] * 255)),
                     int(std::lround(e[2] * 255)), 255};
    EXPECT_TRUE(matches(drawn(png, 2, 1), want, 2)) << testing::PrintToString(drawn(png, 2, 1));
    EXPECT_GT(drawn(png, 2, 1)[0], 210);
    EXPECT_TRUE(matches(drawn(decodeFile("rgb-gama-linear.png"), 0, 0), {188, 188, 188, 255}, 1));
}

// The profile cache holds at most its limit of spaces and starts over when one more comes: after
// 33 new profiles the first has been dropped, and asking again makes a new space of the same bytes.
TEST(ImageDecoding, ProfileCacheLimitAndOnePast) {
    using namespace ColourTestSupport;
    static_assert(ImageIOLimits::kMaxCachedProfiles == 32);
    std::vector<std::vector<uint8_t>> profiles;
    std::vector<CGColorSpaceRef> spaces;
    for (size_t i = 0; i <= ImageIOLimits::kMaxCachedProfiles; ++i) {
        profiles.push_back(makeRGBProfile(("cache test " + std::to_string(i)).c_str(),
                                          kDisplayP3Primaries, 1.5 + 0.01 * double(i)));
        spaces.push_back(ImageIOPrivate::colorSpaceFromICCProfile(profiles.back(), 3));
        ASSERT_NE(spaces.back(), nullptr);
        EXPECT_EQ(ImageIOPrivate::colorSpaceFromICCProfile(profiles.back(), 3), spaces.back());
    }
    const CGColorSpaceRef again = ImageIOPrivate::colorSpaceFromICCProfile(profiles.front(), 3);
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, spaces.front());
    EXPECT_TRUE(CGColorSpaceCopyICCData(again)->isEqual(*CGColorSpaceCopyICCData(spaces.front())));
}

TEST(ImageSource, RecognisesByContentAndAnswersNoneForNothing) {
    EXPECT_EQ(CGImageSourceCreateWithData(nullptr, nullptr), nullptr);
    const CGImageSourceRef garbage = sourceOf({'h', 'e', 'l', 'l', 'o'});
    ASSERT_NE(garbage, nullptr);  // as on macOS: a source, of no type, with no image
    EXPECT_EQ(CGImageSourceGetType(garbage), nullptr);
    EXPECT_EQ(CGImageSourceGetCount(garbage), 0u);
    EXPECT_EQ(CGImageSourceCreateImageAtIndex(garbage, 0, nullptr), nullptr);
    const CGImageSourceRef png = sourceOf(fileBytes("rgb-8.png"));
    EXPECT_EQ(CGImageSourceGetCount(png), 1u);
    EXPECT_EQ(CGImageSourceCreateImageAtIndex(png, 1, nullptr), nullptr);
    EXPECT_EQ(CGImageSourceGetType(nullptr), nullptr);
    EXPECT_EQ(CGImageSourceGetCount(nullptr), 0u);
    EXPECT_EQ(CGImageSourceCreateImageAtIndex(nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(CGImageSourceGetType(sourceOf({})), nullptr);
}

// The files at each limit decode and those one past it are refused; so is the fuzzer's PNG of
// many text chunks, which once made libpng hold ~170 MB of text before failing.
TEST(ImageDecodingLimits, FilesAtTheLimitAndOnePast) {
    static_assert(ImageIOLimits::kMaxJPEGScans == 500);
    static_assert(ImageIOLimits::kMaxPNGAncillaryChunkBytes == 16u << 20);
    static_assert(ImageIOLimits::kMaxPNGCachedChunks == 1000);
    const std::pair<const char*, bool> cases[] = {
        {"limit-width-32767.png", true},        {"limit-width-32768.png", false},
        {"limit-pixels-10000x10000.png", true}, {"limit-pixels-10001x10000.png", false},
        {"jpeg-scans-500.jpg", true},           {"jpeg-scans-501.jpg", false},
        {"fuzz-many-text-chunks.png", false},
    };
    for (const auto& [file, decodes] : cases)
        EXPECT_EQ(decodeFile(file) != nullptr, decodes) << file;
    EXPECT_EQ(CGImageGetWidth(decodeFile("limit-width-32767.png")), kCGImageMaxDimension);
}

// A small file's header edited to declare one pixel past a limit is refused from the header,
// before the pixels are allocated.
TEST(ImageDecodingLimits, OversizedHeadersAreRefused) {
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

TEST(ImageDecodingHostile, GarbageAfterASignatureGivesNull) {
    const std::vector<std::vector<uint8_t>> signatures{
        {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'},
        {0xFF, 0xD8, 0xFF},
        {'G', 'I', 'F', '8', '9', 'a'},
        {'I', 'I', 42, 0},
        {'M', 'M', 0, 42},
        {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'},
        {0, 0, 0, 24, 'f', 't', 'y', 'p', 'h', 'e', 'i', 'c'}};
    for (const auto& signature : signatures)
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

// Every prefix of every kind of file decodes to nothing or to the whole image, never crashes (the
// sanitizer build checks the reads); cut in the middle of the pixel data, nothing.
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
