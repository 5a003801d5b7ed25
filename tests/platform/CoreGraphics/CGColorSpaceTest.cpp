// Colour spaces: the named ones and their profiles; ICC data accepted, or refused without crashing.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "CGColorSpace.h"
#include "ColourTestSupport.h"
#include "NSData.h"
#include "NSString.h"

using namespace ColourTestSupport;

namespace {

std::vector<uint8_t> profileOf(const char* name) {
    const auto data = CGColorSpaceCopyICCData(CGColorSpaceCreateWithName(name));
    return {data->span().begin(), data->span().end()};
}

}  // namespace

TEST(CGColorSpaceNamed, ComponentsModelRangeNameAndIdentity) {
    // clang-format off
    struct Case { const char* name; CGColorSpaceModel model; bool extended, hasProfile; };
    const auto rgb = kCGColorSpaceModelRGB, grey = kCGColorSpaceModelMonochrome;
    const Case cases[] = {
        {kCGColorSpaceSRGB, rgb, false, true}, {kCGColorSpaceDisplayP3, rgb, false, true},
        {kCGColorSpaceGenericRGB, rgb, false, true}, {kCGColorSpaceGenericRGBLinear, rgb, false, true},
        {kCGColorSpaceAdobeRGB1998, rgb, false, true}, {kCGColorSpaceLinearSRGB, rgb, false, true},
        {kCGColorSpaceExtendedSRGB, rgb, true, true}, {kCGColorSpaceExtendedLinearSRGB, rgb, true, true},
        {kCGColorSpaceGenericGray, grey, false, true}, {kCGColorSpaceGenericGrayGamma2_2, grey, false, true},
        {kCGColorSpaceLinearGray, grey, false, true}, {kCGColorSpaceDeviceRGB, rgb, false, false},
        {kCGColorSpaceDeviceGray, grey, false, false},
    };  // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CGColorSpaceRef space = CGColorSpaceCreateWithName(c.name);
        ASSERT_NE(space, nullptr);
        EXPECT_EQ(CGColorSpaceGetNumberOfComponents(space), c.model == rgb ? 3u : 1u);
        EXPECT_EQ(CGColorSpaceGetModel(space), c.model);
        EXPECT_EQ(CGColorSpaceUsesExtendedRange(space), c.extended);
        EXPECT_EQ(CGColorSpaceCopyName(space)->UTF8String(), c.name);
        EXPECT_EQ(CGColorSpaceCreateWithName(std::string(c.name)), space);  // one object per name
        const auto profile = CGColorSpaceCopyICCData(space);
        ASSERT_EQ(profile != nullptr, c.hasProfile);
        // Its own profile makes a space of the same kind; the range belongs to the name.
        EXPECT_FALSE(profile &&
                     CGColorSpaceUsesExtendedRange(CGColorSpaceCreateWithICCData(profile.get())));
    }
    EXPECT_EQ(CGColorSpaceCreateDeviceGray(), CGColorSpaceCreateWithName(kCGColorSpaceDeviceGray));
    EXPECT_NE(CGColorSpaceCreateDeviceRGB(), CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
    for (const std::string_view name : {std::string_view("kCGColorSpaceSRGB\0x", 19),
                                        std::string_view("kCGColorSpaceGenericCMYK")})
        EXPECT_EQ(CGColorSpaceCreateWithName(name), nullptr) << name;
    EXPECT_EQ(CGColorSpaceCreateWithName(static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(CGColorSpaceGetModel(CGColorSpaceRef()), kCGColorSpaceModelUnknown);
    // The extended spaces describe themselves by their counterpart's profile.
    EXPECT_EQ(profileOf(kCGColorSpaceExtendedSRGB), profileOf(kCGColorSpaceSRGB));
}

TEST(CGColorSpaceFromICC, RefusesEverythingButRGBAndGreyColourSpaces) {
    EXPECT_EQ(CGColorSpaceCreateWithICCData(static_cast<const NSData*>(nullptr)), nullptr);
    const auto sRGB = makeRGBProfile("sRGB IEC61966-2.1", kSRGBPrimaries, 0);
    std::mt19937 random(20240101);
    std::vector<uint8_t> garbage(4096);
    for (auto& byte : garbage) byte = uint8_t(random());
    // A table header claiming 255 grid points per input: a 100 MB CLUT in a profile of a few
    // hundred bytes, refused before lcms2 allocates it.
    auto hugeTable = makeRGBLutProfile();
    for (size_t i = 0; i < (uint32_t(hugeTable[131]) | hugeTable[130] << 8); ++i)
        if (std::memcmp(hugeTable.data() + 132 + 12 * i, "A2B0", 4) == 0) {
            const uint8_t* at = hugeTable.data() + 136 + 12 * i;
            const size_t offset = size_t(at[0]) << 24 | at[1] << 16 | at[2] << 8 | at[3];
            ASSERT_EQ(hugeTable[offset + 10], 2);  // grid points
            hugeTable[offset + 10] = 255;
        }
    std::vector<uint8_t> pastTheCap(kCGColorSpaceMaxICCDataLength + 1, 0);
    std::copy(sRGB.begin(), sRGB.end(), pastTheCap.begin());
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        // clang-format off
        {"empty", {}}, {"garbage", garbage}, {"header only", {sRGB.begin(), sRGB.begin() + 128}},
        {"cut in the tag table", {sRGB.begin(), sRGB.begin() + 132}}, {"cut in the tags", {sRGB.begin(), sRGB.begin() + 200}},
        {"table larger than its profile", hugeTable}, {"CMYK", makeCMYKProfile()},
        {"Lab", saveProfile(cmsCreateLab4Profile(nullptr))}, {"past the length cap", pastTheCap},
    };  // clang-format on
    for (const auto& [what, bytes] : cases)
        EXPECT_EQ(CGColorSpaceCreateWithICCData(std::span<const uint8_t>(bytes)), nullptr) << what;
}
