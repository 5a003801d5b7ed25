// The colour-space caches live for the whole test program: a test that expects a miss uses keys
// no other test uses.

#include <gtest/gtest.h>

#include "../platform/CoreGraphics/ColourTestSupport.h"
#include "CGImageToData.h"
#include "NSData.h"
#include "NSString.h"
#include "TestSupport.h"

using namespace ColourTestSupport;

// Names compared as whole strings, profiles by their bytes as first seen, whatever holds them; a
// failed creation stores nothing, so a later call tries again.
TEST(ColourSpaceCaches, EqualKeysGiveTheIdenticalSpaceAndRefusedKeysNothing) {
    const std::string name = std::string("kCGColorSpace") + "DisplayP3";
    EXPECT_EQ(cachedColorSpaceFromName(
                  std::shared_ptr<const NSString>(NSString::stringWithUTF8String(name))),
              cachedColorSpaceFromName(kCGColorSpaceDisplayP3));
    EXPECT_EQ(cachedColorSpaceFromName(
                  std::make_shared<const NSString>(std::string("kCGColorSpaceSRGB\0tail", 22))),
              nullptr);
    const auto bytes = makeRGBProfile("Display P3 (cache test)", kDisplayP3Primaries, 0);
    auto mutableData = NSMutableData::data();
    mutableData->appendBytes_length(bytes.data(), bytes.size());
    EXPECT_FALSE(cachedColorSpaceMapContainsICCData(bytes));
    const CGColorSpaceRef fromProfile = cachedColorSpaceFromICCData(mutableData.get());
    ASSERT_NE(fromProfile, nullptr);
    EXPECT_TRUE(cachedColorSpaceMapContainsICCData(bytes));
    mutableData->mutableBytes()[100] ^= 0x01;  // changes nothing stored
    EXPECT_EQ(cachedColorSpaceFromICCData(NSData::dataWithVector(bytes)), fromProfile);
    for (int attempt = 0; attempt < 2; ++attempt)
        EXPECT_EQ(cachedColorSpaceFromName("kCGColorSpaceNoSuchSpace"), nullptr);
    EXPECT_FALSE(cachedColorSpaceMapContainsName("kCGColorSpaceNoSuchSpace"));
    for (const auto& refused : {makeCMYKProfile(), std::vector<uint8_t>(300, 0x5a)}) {
        EXPECT_EQ(cachedColorSpaceFromICCData(NSData::dataWithVector(refused)), nullptr);
        EXPECT_FALSE(cachedColorSpaceMapContainsICCData(refused));
    }
    EXPECT_EQ(cachedColorSpaceFromName(static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(cachedColorSpaceFromName(std::shared_ptr<const NSString>()), nullptr);
    EXPECT_EQ(cachedColorSpaceFromICCData(static_cast<const NSData*>(nullptr)), nullptr);
}

// Threads missing on the same new key at once all get one object.
TEST(ColourSpaceCaches, ConcurrentLookupsShareOneSpace) {
    const auto bytes = makeRGBProfile("Concurrent profile (cache test)", kDisplayP3Primaries, 2.2);
    std::vector<CGColorSpaceRef> spaces(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < 8; ++i)
        threads.emplace_back(
            [&, i] { spaces[i] = cachedColorSpaceFromICCData(NSData::dataWithVector(bytes)); });
    for (auto& thread : threads) thread.join();
    EXPECT_NE(spaces[0], nullptr);
    EXPECT_EQ(std::vector(8, spaces[0]), spaces);
    EXPECT_TRUE(sRGBICCProfile()->isEqual(
        *CGColorSpaceCopyICCData(cachedColorSpaceFromName(kCGColorSpaceSRGB))));
}

TEST(ImageCodecs, ReadingTakesAnyFormatAndRefusesBrokenData) {
    const auto image = [](const char* name) {
        return NSData::dataWithVector(test::readFile(test::dataDir() / "images" / name));
    };
    EXPECT_NE(CGImageCreateFromPNGData(image("jpeg-rgb.jpg")), nullptr);
    const auto png = image("rgba-16.png");
    const NSData plain(std::shared_ptr<const void>(), png->span());  // not shared: copied
    EXPECT_NE(CGImageCreateFromPNGData(&plain), nullptr);
    EXPECT_EQ(CGImageCreateFromPNGData(png->subdataWithRange(0, png->length() / 2)), nullptr);
    EXPECT_EQ(CGImageCreateFromPNGData(std::shared_ptr<const NSData>()), nullptr);
    EXPECT_EQ(CGImageConvertToPNGData(nullptr), nullptr);
    EXPECT_EQ(createDecodedCGImage(nullptr), nullptr);
}

// The decoded copy: device RGB, 8 bits, premultiplied alpha first (bytes A R G B).
TEST(ImageCodecs, DecodedCopyIsPremultipliedDeviceRGB) {
    const uint8_t pixel[] = {255, 128, 0, 128};  // straight R G B A
    const CGImageRef decoded = createDecodedCGImage(
        CGImageCreate(1, 1, 8, 32, 4, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
                      kCGImageAlphaLast, NSData::dataWithBytes_length(pixel, 4)));
    EXPECT_EQ(CGImageGetBitmapInfo(decoded), CGBitmapInfo{kCGImageAlphaPremultipliedFirst});
    EXPECT_EQ(CGImageGetColorSpace(decoded), CGColorSpaceCreateDeviceRGB());
    const auto bytes = CGImageGetBytes(decoded);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()),
              (std::vector<uint8_t>{128, 128, 64, 0}));
}
