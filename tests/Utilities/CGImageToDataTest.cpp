// Part 3.3: colour spaces and image codecs (source unit Utilities/CGImageToData), colour half: the
// process-wide colour-space caches by name and by profile bytes, the held sRGB profile and
// CGColorCreateSRGB; and what Part 3.4 will build on them (reading a colour back by its name or
// profile, falling back to sRGB, sharing one profile between colours).
//
// The caches live for the whole test program, so each test that asserts on a miss uses keys that no
// other test uses.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "../platform/CoreGraphics/ColourTestSupport.h"
#include "CGColor.h"
#include "CGColorSpace.h"
#include "CGImageToData.h"
#include "NSData.h"
#include "NSString.h"

using namespace ColourTestSupport;

namespace {

std::shared_ptr<NSData> dataOf(const std::vector<uint8_t>& bytes) {
    return NSData::dataWithBytes_length(bytes.data(), bytes.size());
}

}  // namespace

// Edge case: two calls with equal names return the identical colour-space object.
TEST(Part3_3_ColourSpaceCaches, EqualNamesGiveTheIdenticalSpace) {
    const std::string name =
        std::string("kCGColorSpace") + "DisplayP3";  // not the constant's storage
    const CGColorSpaceRef first = cachedColorSpaceFromName(kCGColorSpaceDisplayP3);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(cachedColorSpaceFromName(name.c_str()), first);
    EXPECT_EQ(cachedColorSpaceFromName(
                  std::shared_ptr<const NSString>(NSString::stringWithUTF8String(name))),
              first);
    EXPECT_TRUE(cachedColorSpaceMapContainsName(kCGColorSpaceDisplayP3));
    EXPECT_STREQ(CGColorSpaceGetName(first), kCGColorSpaceDisplayP3);
}

// Edge case: equal profile bytes held in different data objects give the identical space.
TEST(Part3_3_ColourSpaceCaches, EqualProfileBytesInDifferentDataObjectsGiveTheIdenticalSpace) {
    const auto bytes = makeRGBProfile("Display P3 (cache test)", kDisplayP3Primaries, 0);
    const auto data = dataOf(bytes);
    auto mutableData = NSMutableData::data();
    mutableData->appendBytes_length(bytes.data(), bytes.size());
    ASSERT_NE(static_cast<const NSData*>(data.get()),
              static_cast<const NSData*>(mutableData.get()));

    EXPECT_FALSE(cachedColorSpaceMapContainsICCData(bytes));
    const CGColorSpaceRef first = cachedColorSpaceFromICCData(data);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(cachedColorSpaceMapContainsICCData(bytes));
    EXPECT_EQ(cachedColorSpaceFromICCData(mutableData.get()), first);
    EXPECT_EQ(cachedColorSpaceFromICCData(dataOf(bytes)), first);
    // The key is the bytes as they were: changing the data object afterwards changes nothing
    // stored.
    mutableData->mutableBytes()[100] ^= 0x01;
    EXPECT_EQ(cachedColorSpaceFromICCData(data), first);
    EXPECT_EQ(CGColorSpaceGetModel(first), kCGColorSpaceModelRGB);
    EXPECT_EQ(CGColorSpaceCopyName(first), nullptr);
}

// Edge case: a name the platform does not know gives null, and the map stays without an entry.
TEST(Part3_3_ColourSpaceCaches, UnknownNameGivesNullAndStoresNothing) {
    const char* unknown = "kCGColorSpaceNoSuchSpace";
    EXPECT_EQ(cachedColorSpaceFromName(unknown), nullptr);
    EXPECT_FALSE(cachedColorSpaceMapContainsName(unknown));
    EXPECT_EQ(cachedColorSpaceFromName(unknown), nullptr);  // tried again, still nothing stored
    EXPECT_FALSE(cachedColorSpaceMapContainsName(unknown));
}

TEST(Part3_3_ColourSpaceCaches, RefusedProfileGivesNullAndStoresNothing) {
    const auto cmyk = makeCMYKProfile();
    EXPECT_EQ(cachedColorSpaceFromICCData(dataOf(cmyk)), nullptr);
    EXPECT_FALSE(cachedColorSpaceMapContainsICCData(cmyk));
    const std::vector<uint8_t> garbage(300, 0x5a);
    EXPECT_EQ(cachedColorSpaceFromICCData(dataOf(garbage)), nullptr);
    EXPECT_FALSE(cachedColorSpaceMapContainsICCData(garbage));
    const auto empty = std::make_shared<NSData>();
    EXPECT_EQ(cachedColorSpaceFromICCData(empty), nullptr);
    EXPECT_FALSE(cachedColorSpaceMapContainsICCData({}));
}

TEST(Part3_3_ColourSpaceCaches, NullKeysGiveNull) {
    EXPECT_EQ(cachedColorSpaceFromName(static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(cachedColorSpaceFromName(nullptr), nullptr);
    EXPECT_EQ(cachedColorSpaceFromName(std::shared_ptr<const NSString>()), nullptr);
    EXPECT_EQ(cachedColorSpaceFromICCData(static_cast<const NSData*>(nullptr)), nullptr);
    EXPECT_EQ(cachedColorSpaceFromICCData(nullptr), nullptr);
    EXPECT_EQ(cachedColorSpaceFromICCData(std::shared_ptr<const NSData>()), nullptr);
}

// Names are compared as whole strings: an embedded NUL makes another (unknown) name.
TEST(Part3_3_ColourSpaceCaches, NamesAreComparedAsWholeStrings) {
    const auto withNul =
        std::make_shared<const NSString>(std::string("kCGColorSpaceSRGB\0tail", 22));
    EXPECT_EQ(cachedColorSpaceFromName(withNul), nullptr);
    EXPECT_FALSE(cachedColorSpaceMapContainsName(withNul->UTF8String()));
}

// Edge case: sRGBICCProfile returns the identical data object on every call.
TEST(Part3_3_ColourSpaceCaches, SRGBICCProfileIsTheIdenticalObjectOnEveryCall) {
    const auto first = sRGBICCProfile();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(sRGBICCProfile(), first);
    EXPECT_EQ(sRGBICCProfile(), first);
    // It is the sRGB space's profile: equal bytes, and lcms2 reads it as sRGB.
    const auto copy = CGColorSpaceCopyICCData(cachedColorSpaceFromName(kCGColorSpaceSRGB));
    EXPECT_NE(copy, first);
    EXPECT_TRUE(first->isEqual(*copy));
    cmsHPROFILE profile =
        cmsOpenProfileFromMem(first->bytes(), static_cast<cmsUInt32Number>(first->length()));
    ASSERT_NE(profile, nullptr);
    char description[64] = {};
    cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", description,
                           sizeof description);
    EXPECT_STREQ(description, "sRGB IEC61966-2.1");
    cmsCloseProfile(profile);
}

TEST(Part3_3_ColourSpaceCaches, CGColorCreateSRGBUsesTheSharedSRGBSpace) {
    const CGColorRef colour = CGColorCreateSRGB(0.25, 0.5, 0.75, 1.0);
    ASSERT_NE(colour, nullptr);
    EXPECT_EQ(CGColorGetColorSpace(colour), cachedColorSpaceFromName(kCGColorSpaceSRGB));
    ASSERT_EQ(CGColorGetNumberOfComponents(colour), 4u);
    const CGFloat* c = CGColorGetComponents(colour);
    EXPECT_EQ(c[0], 0.25);
    EXPECT_EQ(c[1], 0.5);
    EXPECT_EQ(c[2], 0.75);
    EXPECT_EQ(c[3], 1.0);
    EXPECT_TRUE(CGColorEqualToColor(colour, CGColorCreateSRGB(0.25, 0.5, 0.75, 1.0)));
}

// ---- What Part 3.4 builds on these functions

// "An sRGB colour written and read back gives an equal colour in the same colour space, found
// through the name": the name the space reports leads back to the identical cached space.
TEST(Part3_3_ColourSpaceCaches, SRGBColourRoundTripsByNameIntoTheIdenticalSpace) {
    const CGColorRef colour = CGColorCreateSRGB(0.1, 0.2, 0.3, 0.4);
    const auto name = CGColorSpaceCopyName(CGColorGetColorSpace(colour));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->UTF8String(), kCGColorSpaceSRGB);
    const CGColorSpaceRef readSpace =
        cachedColorSpaceFromName(std::shared_ptr<const NSString>(name));
    EXPECT_EQ(readSpace, CGColorGetColorSpace(colour));
    const CGColorRef read =
        CGColorCreate(readSpace, std::span<const CGFloat>(CGColorGetComponents(colour), 4));
    EXPECT_TRUE(CGColorEqualToColor(read, colour));
    // And by profile: a nameless space whose profile is byte-equal to sRGBICCProfile is named sRGB.
    const auto profile = CGColorSpaceCopyICCData(CGColorGetColorSpace(colour));
    EXPECT_TRUE(profile->isEqual(*sRGBICCProfile()));
}

// "A colour group whose K.space_name is a name the platform does not know, and that has no
// K.profile, is read in sRGB; count 4 gives an sRGB colour, count 2 gives null."
TEST(Part3_3_ColourSpaceCaches, UnknownNameWithoutProfileFallsBackToSRGB) {
    CGColorSpaceRef space = cachedColorSpaceFromName("kCGColorSpaceWrittenByAFutureMac");
    EXPECT_EQ(space, nullptr);
    if (!space) space = cachedColorSpaceFromICCData(static_cast<const NSData*>(nullptr));
    if (!space) space = cachedColorSpaceFromName(kCGColorSpaceSRGB);
    ASSERT_NE(space, nullptr);
    EXPECT_EQ(CGColorSpaceGetNumberOfComponents(space) + 1, 4u);  // a count of 4 is accepted
    EXPECT_NE(CGColorSpaceGetNumberOfComponents(space) + 1, 2u);  // a count of 2 is refused
    const CGColorRef colour = CGColorCreate(space, {1.0, 0.5, 0.0, 1.0});
    EXPECT_TRUE(CGColorEqualToColor(colour, CGColorCreateSRGB(1.0, 0.5, 0.0, 1.0)));
}

// "A colour whose space has a name but no profile data ... is still read back through the name."
TEST(Part3_3_ColourSpaceCaches, DeviceColourReadsBackThroughItsName) {
    const CGColorRef colour = CGColorCreate(CGColorSpaceCreateDeviceRGB(), {0.1, 0.2, 0.3, 1.0});
    EXPECT_EQ(CGColorSpaceCopyICCData(CGColorGetColorSpace(colour)), nullptr);
    const auto name = CGColorSpaceCopyName(CGColorGetColorSpace(colour));
    ASSERT_NE(name, nullptr);
    const CGColorSpaceRef readSpace =
        cachedColorSpaceFromName(std::shared_ptr<const NSString>(name));
    EXPECT_EQ(readSpace, CGColorGetColorSpace(colour));
}

// "Two colours with the same profile, written into one archive, store one profile object": the
// profiles they report are byte-equal (the writer keeps the first and writes it for both), and a
// profile read back gives the space shared with every other colour of that profile.
TEST(Part3_3_ColourSpaceCaches, ColoursOfOneProfileShareItByBytesAndSpace) {
    const auto bytes = makeRGBProfile("Shared profile (cache test)", kP22Primaries, 1.8);
    const CGColorSpaceRef space = cachedColorSpaceFromICCData(dataOf(bytes));
    ASSERT_NE(space, nullptr);
    const CGColorRef a = CGColorCreate(space, {0.1, 0.2, 0.3, 1.0});
    const CGColorRef b = CGColorCreate(space, {0.4, 0.5, 0.6, 1.0});
    const auto profileA = CGColorSpaceCopyICCData(CGColorGetColorSpace(a));
    const auto profileB = CGColorSpaceCopyICCData(CGColorGetColorSpace(b));
    EXPECT_TRUE(profileA->isEqual(*profileB));
    EXPECT_EQ(cachedColorSpaceFromICCData(profileA), space);
    EXPECT_EQ(cachedColorSpaceFromICCData(profileB), space);
}

// The caches are locked: threads missing on the same new key at once all get one object.
TEST(Part3_3_ColourSpaceCaches, ConcurrentLookupsShareOneSpace) {
    const auto bytes = makeRGBProfile("Concurrent profile (cache test)", kDisplayP3Primaries, 2.2);
    std::vector<CGColorSpaceRef> results(8);
    std::vector<CGColorSpaceRef> named(8);
    std::vector<std::shared_ptr<NSData>> profiles(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&, i] {
            results[i] = cachedColorSpaceFromICCData(dataOf(bytes));
            named[i] = cachedColorSpaceFromName(kCGColorSpaceGenericGrayGamma2_2);
            profiles[i] = sRGBICCProfile();
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_NE(results[0], nullptr);
    for (size_t i = 1; i < results.size(); ++i) {
        EXPECT_EQ(results[i], results[0]);
        EXPECT_EQ(named[i], named[0]);
        EXPECT_EQ(profiles[i], profiles[0]);
    }
}
