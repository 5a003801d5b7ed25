// The process-wide colour-space caches (by name, by profile bytes), the held sRGB profile, and the
// image codecs: PNG (or any readable format) to bitmap, bitmap to PNG, and the decoded copy.
//
// The caches live for the whole test program, so a test that expects a miss uses keys no other
// test uses.

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <vector>

#include "../platform/CoreGraphics/ColourTestSupport.h"
#include "CGContext.h"
#include "CGImageToData.h"
#include "NSData.h"
#include "NSString.h"
#include "TestSupport.h"

using namespace ColourTestSupport;

namespace {

std::shared_ptr<NSData> dataOf(const std::vector<uint8_t>& bytes) {
    return NSData::dataWithBytes_length(bytes.data(), bytes.size());
}

std::shared_ptr<const NSData> imageFile(const std::string& name) {
    return NSData::dataWithVector(test::readFile(test::dataDir() / "images" / name));
}

std::vector<uint8_t> bytesOf(const CGImageRef& image) {
    return {CGImageGetBytes(image).begin(), CGImageGetBytes(image).end()};
}

}  // namespace

// Equal keys give the identical space: names compared as whole strings, profiles by their bytes
// (as they were when first seen), whatever object holds them.
TEST(ColourSpaceCaches, EqualKeysGiveTheIdenticalSpace) {
    const std::string name =
        std::string("kCGColorSpace") + "DisplayP3";  // not the constant's storage
    const CGColorSpaceRef p3 = cachedColorSpaceFromName(kCGColorSpaceDisplayP3);
    ASSERT_NE(p3, nullptr);
    EXPECT_EQ(cachedColorSpaceFromName(name.c_str()), p3);
    EXPECT_EQ(cachedColorSpaceFromName(
                  std::shared_ptr<const NSString>(NSString::stringWithUTF8String(name))),
              p3);
    EXPECT_STREQ(CGColorSpaceGetName(p3), kCGColorSpaceDisplayP3);
    EXPECT_EQ(cachedColorSpaceFromName(
                  std::make_shared<const NSString>(std::string("kCGColorSpaceSRGB\0tail", 22))),
              nullptr);

    const auto bytes = makeRGBProfile("Display P3 (cache test)", kDisplayP3Primaries, 0);
    auto mutableData = NSMutableData::data();
    mutableData->appendBytes_length(bytes.data(), bytes.size());
    EXPECT_FALSE(cachedColorSpaceMapContainsICCData(bytes));
    const CGColorSpaceRef fromProfile = cachedColorSpaceFromICCData(dataOf(bytes));
    ASSERT_NE(fromProfile, nullptr);
    EXPECT_TRUE(cachedColorSpaceMapContainsICCData(bytes));
    EXPECT_EQ(cachedColorSpaceFromICCData(mutableData.get()), fromProfile);
    mutableData->mutableBytes()[100] ^= 0x01;  // changes nothing stored
    EXPECT_EQ(cachedColorSpaceFromICCData(dataOf(bytes)), fromProfile);
    EXPECT_EQ(CGColorSpaceCopyName(fromProfile), nullptr);
}

// A failed creation stores nothing, so a later call tries again.
TEST(ColourSpaceCaches, RefusedKeysGiveNullAndStoreNothing) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(cachedColorSpaceFromName("kCGColorSpaceNoSuchSpace"), nullptr);
        EXPECT_FALSE(cachedColorSpaceMapContainsName("kCGColorSpaceNoSuchSpace"));
    }
    for (const auto& bytes :
         {makeCMYKProfile(), std::vector<uint8_t>(300, 0x5a), std::vector<uint8_t>{}}) {
        EXPECT_EQ(cachedColorSpaceFromICCData(dataOf(bytes)), nullptr);
        EXPECT_FALSE(cachedColorSpaceMapContainsICCData(bytes));
    }
    EXPECT_EQ(cachedColorSpaceFromName(static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(cachedColorSpaceFromName(std::shared_ptr<const NSString>()), nullptr);
    EXPECT_EQ(cachedColorSpaceFromICCData(static_cast<const NSData*>(nullptr)), nullptr);
    EXPECT_EQ(cachedColorSpaceFromICCData(std::shared_ptr<const NSData>()), nullptr);
}

// The held profile is one data object, the sRGB space's profile, and sRGB colours use that space.
TEST(ColourSpaceCaches, SRGBProfileAndColours) {
    const auto profile = sRGBICCProfile();
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(sRGBICCProfile(), profile);
    const CGColorSpaceRef sRGB = cachedColorSpaceFromName(kCGColorSpaceSRGB);
    EXPECT_TRUE(profile->isEqual(*CGColorSpaceCopyICCData(sRGB)));
    cmsHPROFILE opened =
        cmsOpenProfileFromMem(profile->bytes(), cmsUInt32Number(profile->length()));
    ASSERT_NE(opened, nullptr);
    char description[64] = {};
    cmsGetProfileInfoASCII(opened, cmsInfoDescription, "en", "US", description, sizeof description);
    EXPECT_STREQ(description, "sRGB IEC61966-2.1");
    cmsCloseProfile(opened);

    const CGColorRef colour = CGColorCreateSRGB(0.25, 0.5, 0.75, 1.0);
    EXPECT_EQ(CGColorGetColorSpace(colour), sRGB);
    EXPECT_EQ(std::vector<CGFloat>(CGColorGetComponents(colour), CGColorGetComponents(colour) + 4),
              (std::vector<CGFloat>{0.25, 0.5, 0.75, 1.0}));
}

// Threads missing on the same new key at once all get one object.
TEST(ColourSpaceCaches, ConcurrentLookupsShareOneSpace) {
    const auto bytes = makeRGBProfile("Concurrent profile (cache test)", kDisplayP3Primaries, 2.2);
    std::vector<CGColorSpaceRef> byProfile(8), byName(8);
    std::vector<std::shared_ptr<NSData>> profiles(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < byProfile.size(); ++i)
        threads.emplace_back([&, i] {
            byProfile[i] = cachedColorSpaceFromICCData(dataOf(bytes));
            byName[i] = cachedColorSpaceFromName(kCGColorSpaceGenericGrayGamma2_2);
            profiles[i] = sRGBICCProfile();
        });
    for (auto& thread : threads) thread.join();
    ASSERT_NE(byProfile[0], nullptr);
    for (size_t i = 1; i < byProfile.size(); ++i) {
        EXPECT_EQ(byProfile[i], byProfile[0]);
        EXPECT_EQ(byName[i], byName[0]);
        EXPECT_EQ(profiles[i], profiles[0]);
    }
}

TEST(ImageCodecs, ReadingTakesAnyFormatAndRefusesBrokenData) {
    for (const char* name : {"rgba-16.png", "jpeg-rgb.jpg", "gif-transparent.gif", "tiff-rgb.tif",
                             "webp-lossy.webp", "heic-quad.heic"}) {
        SCOPED_TRACE(name);
        const auto data = imageFile(name);
        EXPECT_NE(CGImageCreateFromPNGData(data), nullptr);
        const NSData plain(std::shared_ptr<const void>(), data->span());  // not shared: copied
        EXPECT_NE(CGImageCreateFromPNGData(&plain), nullptr);
    }
    const auto png = imageFile("rgba-16.png");
    const std::string garbage = "this is not an image, just some bytes";
    const uint8_t signatureOnly[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 0};
    for (const auto& data :
         {png->subdataWithRange(0, png->length() / 2), NSData::dataWithBytes_length("", 0),
          NSData::dataWithBytes_length(garbage.data(), garbage.size()),
          NSData::dataWithBytes_length(signatureOnly, sizeof signatureOnly)})
        EXPECT_EQ(CGImageCreateFromPNGData(data), nullptr);
    EXPECT_EQ(CGImageCreateFromPNGData(std::shared_ptr<const NSData>()), nullptr);
    EXPECT_EQ(CGImageCreateFromPNGData(static_cast<const NSData*>(nullptr)), nullptr);
    EXPECT_EQ(CGImageConvertToPNGData(nullptr), nullptr);
    EXPECT_EQ(createDecodedCGImage(nullptr), nullptr);
}

// The decoded copy: device RGB, 8 bits, premultiplied alpha first (bytes A R G B), colours matched.
TEST(ImageCodecs, DecodedCopyIsPremultipliedDeviceRGB) {
    const uint8_t pixel[] = {255, 128, 0, 128};  // straight R G B A
    const CGImageRef image =
        CGImageCreate(1, 1, 8, 32, 4, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
                      kCGImageAlphaLast, NSData::dataWithBytes_length(pixel, 4));
    const CGImageRef decoded = createDecodedCGImage(image);
    EXPECT_EQ(CGImageGetBitsPerPixel(decoded), 32u);
    EXPECT_EQ(CGImageGetBitmapInfo(decoded), CGBitmapInfo{kCGImageAlphaPremultipliedFirst});
    EXPECT_EQ(CGImageGetColorSpace(decoded), CGColorSpaceCreateDeviceRGB());
    EXPECT_EQ(bytesOf(decoded), (std::vector<uint8_t>{128, 128, 64, 0}));
    // A Display P3 picture of (200, 100, 50) is more saturated in device RGB.
    const auto p3 =
        bytesOf(createDecodedCGImage(CGImageCreateFromPNGData(imageFile("rgb-iccp-p3.png"))));
    EXPECT_EQ(p3[0], 255);
    EXPECT_GT(p3[1], 205);
    EXPECT_LT(p3[3], 50);
}

// PNG → bitmap → PNG keeps the pixels, the format and the space; through the decoded copy, opaque
// pixels come back exactly and translucent ones within the rounding of premultiplied 8-bit storage.
TEST(ImageCodecs, PNGRoundTripsKeepPixels) {
    for (const char* name : {"rgb-8.png", "rgba-8.png", "palette-trns-8.png", "grey-alpha-8.png",
                             "png-interlaced-rgba.png"}) {
        SCOPED_TRACE(name);
        const CGImageRef original = CGImageCreateFromPNGData(imageFile(name));
        const CGImageRef again = CGImageCreateFromPNGData(CGImageConvertToPNGData(original));
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(CGImageGetBitmapInfo(again), CGImageGetBitmapInfo(original));
        EXPECT_EQ(CGImageGetBitsPerPixel(again), CGImageGetBitsPerPixel(original));
        EXPECT_EQ(CGImageGetColorSpace(again), CGImageGetColorSpace(original));
        EXPECT_EQ(bytesOf(again), bytesOf(original));
    }
    const CGImageRef opaque = CGImageCreateFromPNGData(imageFile("rgb-8.png"));
    const CGImageRef opaqueBack =
        CGImageCreateFromPNGData(CGImageConvertToPNGData(createDecodedCGImage(opaque)));
    EXPECT_EQ(CGImageGetAlphaInfo(opaqueBack), kCGImageAlphaNone);  // opaque: written without alpha
    EXPECT_EQ(bytesOf(opaqueBack), bytesOf(opaque));

    const CGImageRef translucent = CGImageCreateFromPNGData(imageFile("rgba-8.png"));
    const CGImageRef back =
        CGImageCreateFromPNGData(CGImageConvertToPNGData(createDecodedCGImage(translucent)));
    EXPECT_EQ(CGImageGetAlphaInfo(back), kCGImageAlphaLast);
    const auto a = bytesOf(translucent), b = bytesOf(back);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); i += 4) {
        const int alpha = a[i + 3];
        EXPECT_EQ(b[i + 3], alpha);
        // Premultiplied storage keeps round(c × α / 255): within 255 / (2α) of the colour.
        const double tolerance = alpha == 255 ? 0 : 255.0 / (2 * alpha) + 1;
        for (size_t c = 0; c < 3; ++c)
            EXPECT_LE(std::abs(int(a[i + c]) - int(b[i + c])), tolerance)
                << i << " alpha " << alpha;
    }
    // The size survives a bitmap context's image too.
    const CGImageRef drawn = CGBitmapContextCreateImage(CGBitmapContextCreate(
        nullptr, 37, 11, 8, 0, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedFirst));
    const CGImageRef read = CGImageCreateFromPNGData(CGImageConvertToPNGData(drawn));
    EXPECT_EQ(CGImageGetWidth(read), 37u);
    EXPECT_EQ(CGImageGetHeight(read), 11u);
}
