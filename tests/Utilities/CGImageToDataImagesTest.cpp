// Part 3.3: colour spaces and image codecs (source unit Utilities/CGImageToData), image half:
// CGImageCreateFromPNGData, CGImageConvertToPNGData and createDecodedCGImage, with every image edge
// case of the Part and a PNG → bitmap → PNG round trip that keeps the pixels.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "CGColorSpace.h"
#include "CGContext.h"
#include "CGImage.h"
#include "CGImageToData.h"
#include "NSData.h"
#include "TestSupport.h"

namespace {

std::shared_ptr<const NSData> fileData(const std::string& name) {
    const auto bytes = test::readFile(test::dataDir() / "images" / name);
    return NSData::dataWithBytes_length(bytes.data(), bytes.size());
}

std::vector<uint8_t> bytesOf(const CGImageRef& image) {
    const auto span = CGImageGetBytes(image);
    return {span.begin(), span.end()};
}

}  // namespace

// Edge case: CGImageConvertToPNGData followed by CGImageCreateFromPNGData gives an image with the
// same pixel size.
TEST(Part3_3_ImageCodecs, ConvertToPNGThenCreateFromPNGKeepsThePixelSize) {
    const CGContextRef context = CGBitmapContextCreate(
        nullptr, 37, 11, 8, 0, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedFirst);
    const CGImageRef image = CGBitmapContextCreateImage(context);
    ASSERT_NE(image, nullptr);
    const auto png = CGImageConvertToPNGData(image);
    ASSERT_NE(png, nullptr);
    const CGImageRef back = CGImageCreateFromPNGData(png);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(CGImageGetWidth(back), 37u);
    EXPECT_EQ(CGImageGetHeight(back), 11u);
}

// Edge case: empty or garbage data gives null; null data gives null.
TEST(Part3_3_ImageCodecs, CreateFromPNGOfEmptyGarbageOrNullDataIsNull) {
    EXPECT_EQ(CGImageCreateFromPNGData(std::shared_ptr<const NSData>()), nullptr);
    EXPECT_EQ(CGImageCreateFromPNGData(static_cast<const NSData*>(nullptr)), nullptr);
    EXPECT_EQ(CGImageCreateFromPNGData(NSData::dataWithBytes_length("", 0)), nullptr);
    const char garbage[] = "this is not an image, just some bytes";
    EXPECT_EQ(CGImageCreateFromPNGData(NSData::dataWithBytes_length(garbage, sizeof garbage)),
              nullptr);
    // A PNG signature followed by nothing useful.
    const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 0};
    EXPECT_EQ(CGImageCreateFromPNGData(NSData::dataWithBytes_length(signature, sizeof signature)),
              nullptr);
    // A truncated PNG.
    const auto whole = fileData("rgba-16.png");
    EXPECT_NE(CGImageCreateFromPNGData(whole), nullptr);
    EXPECT_EQ(CGImageCreateFromPNGData(whole->subdataWithRange(0, whole->length() / 2)), nullptr);
}

// The reader takes any format the platform reader recognises (Part 3.3 step 2), from a shared or
// a plain data object.
TEST(Part3_3_ImageCodecs, CreateFromPNGReadsOtherFormatsToo) {
    for (const char* name : {"jpeg-rgb.jpg", "gif-transparent.gif", "tiff-rgb.tif",
                             "webp-lossy.webp", "heic-quad.heic"}) {
        SCOPED_TRACE(name);
        const auto data = fileData(name);
        EXPECT_NE(CGImageCreateFromPNGData(data), nullptr);
        const NSData plain(std::shared_ptr<const void>(),
                           data->span());  // not owned by a shared_ptr
        EXPECT_NE(CGImageCreateFromPNGData(&plain), nullptr);
    }
}

TEST(Part3_3_ImageCodecs, ConvertToPNGOfNullIsNull) {
    EXPECT_EQ(CGImageConvertToPNGData(nullptr), nullptr);
}

// Edge case: createDecodedCGImage of a 1 × 1 image gives a 1 × 1 image with 8 bits per component
// and premultiplied alpha first.
TEST(Part3_3_ImageCodecs, DecodedCopyOfOnePixel) {
    const uint8_t pixel[] = {255, 128, 0, 128};  // straight R G B A
    const CGImageRef image =
        CGImageCreate(1, 1, 8, 32, 4, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
                      kCGImageAlphaLast, NSData::dataWithBytes_length(pixel, 4));
    const CGImageRef decoded = createDecodedCGImage(image);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(CGImageGetWidth(decoded), 1u);
    EXPECT_EQ(CGImageGetHeight(decoded), 1u);
    EXPECT_EQ(CGImageGetBitsPerComponent(decoded), 8u);
    EXPECT_EQ(CGImageGetBitsPerPixel(decoded), 32u);
    EXPECT_EQ(CGImageGetAlphaInfo(decoded), kCGImageAlphaPremultipliedFirst);
    EXPECT_EQ(CGImageGetBitmapInfo(decoded) & kCGBitmapByteOrderMask, kCGBitmapByteOrderDefault);
    EXPECT_EQ(CGImageGetColorSpace(decoded), CGColorSpaceCreateDeviceRGB());
    // Bytes A R G B, premultiplied.
    EXPECT_EQ(bytesOf(decoded), (std::vector<uint8_t>{128, 128, 64, 0}));
    EXPECT_EQ(createDecodedCGImage(nullptr), nullptr);
}

// The decoded copy is in device RGB: a Display P3 image is matched into it.
TEST(Part3_3_ImageCodecs, DecodedCopyIsMatchedIntoDeviceRGB) {
    const CGImageRef p3 = CGImageCreateFromPNGData(fileData("rgb-iccp-p3.png"));
    const CGImageRef decoded = createDecodedCGImage(p3);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(CGImageGetWidth(decoded), CGImageGetWidth(p3));
    const auto bytes = bytesOf(decoded);
    EXPECT_EQ(bytes[0], 255);  // opaque
    EXPECT_GT(bytes[1], 205);  // red: more saturated than the numbers (200, 100, 50)
    EXPECT_LT(bytes[3], 50);   // blue
}

// PNG → bitmap → PNG keeps every pixel: the file made by an independent encoder, decoded, drawn
// through the decoded copy (premultiplied device RGB) of opaque pixels, written, read again.
TEST(Part3_3_ImageCodecs, PNGToBitmapToPNGKeepsPixels) {
    for (const char* name : {"rgb-8.png", "rgba-8.png", "palette-trns-8.png", "grey-alpha-8.png",
                             "png-interlaced-rgba.png"}) {
        SCOPED_TRACE(name);
        const CGImageRef original = CGImageCreateFromPNGData(fileData(name));
        ASSERT_NE(original, nullptr);
        // The bitmap as decoded, written and read back: the same bytes, format and space.
        const CGImageRef again = CGImageCreateFromPNGData(CGImageConvertToPNGData(original));
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(CGImageGetBitmapInfo(again), CGImageGetBitmapInfo(original));
        EXPECT_EQ(CGImageGetBitsPerPixel(again), CGImageGetBitsPerPixel(original));
        EXPECT_EQ(CGImageGetColorSpace(again), CGImageGetColorSpace(original));
        EXPECT_EQ(bytesOf(again), bytesOf(original));
    }
    // Through a bitmap context: opaque pixels come back exactly; translucent ones within the
    // rounding of premultiplied 8-bit storage.
    const CGImageRef original = CGImageCreateFromPNGData(fileData("rgba-8.png"));
    const CGImageRef drawn = createDecodedCGImage(original);
    const CGImageRef back = CGImageCreateFromPNGData(CGImageConvertToPNGData(drawn));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(CGImageGetAlphaInfo(back), kCGImageAlphaLast);
    const auto a = bytesOf(original), b = bytesOf(back);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); i += 4) {
        const int alpha = a[i + 3];
        EXPECT_EQ(b[i + 3], alpha);
        for (size_t c = 0; c < 3; ++c) {
            // Premultiplied storage keeps round(c × α / 255): the colour comes back within
            // 255 / (2α) of where it was (exactly when opaque).
            const double tolerance = alpha == 255 ? 0 : 255.0 / (2 * alpha) + 1;
            EXPECT_LE(std::abs(int(a[i + c]) - int(b[i + c])), tolerance)
                << i << " alpha " << alpha;
        }
    }
    const CGImageRef opaque = CGImageCreateFromPNGData(fileData("rgb-8.png"));
    const CGImageRef opaqueBack =
        CGImageCreateFromPNGData(CGImageConvertToPNGData(createDecodedCGImage(opaque)));
    ASSERT_NE(opaqueBack, nullptr);
    // Opaque: written without alpha, so the very bytes come back.
    EXPECT_EQ(CGImageGetAlphaInfo(opaqueBack), kCGImageAlphaNone);
    EXPECT_EQ(bytesOf(opaqueBack), bytesOf(opaque));
}
