// Part 3.3 (colour spaces) and the CoreGraphics colour-space stand-in: the named spaces with their
// ICC profiles, spaces made from ICC data (real profiles accepted, everything else refused without
// crashing), names, models and ranges.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "CGColor.h"
#include "CGColorSpace.h"
#include "ColourTestSupport.h"
#include "NSData.h"
#include "NSString.h"

using namespace ColourTestSupport;

namespace {

struct NamedSpaceExpectation {
    const char* name;
    CGColorSpaceModel model;
    size_t components;
    bool extended;
    bool hasProfile;
};

const std::vector<NamedSpaceExpectation>& namedSpaces() {
    static const std::vector<NamedSpaceExpectation> spaces{
        {kCGColorSpaceSRGB, kCGColorSpaceModelRGB, 3, false, true},
        {kCGColorSpaceDisplayP3, kCGColorSpaceModelRGB, 3, false, true},
        {kCGColorSpaceGenericRGB, kCGColorSpaceModelRGB, 3, false, true},
        {kCGColorSpaceGenericRGBLinear, kCGColorSpaceModelRGB, 3, false, true},
        {kCGColorSpaceAdobeRGB1998, kCGColorSpaceModelRGB, 3, false, true},
        {kCGColorSpaceLinearSRGB, kCGColorSpaceModelRGB, 3, false, true},
        {kCGColorSpaceExtendedSRGB, kCGColorSpaceModelRGB, 3, true, true},
        {kCGColorSpaceExtendedLinearSRGB, kCGColorSpaceModelRGB, 3, true, true},
        {kCGColorSpaceGenericGray, kCGColorSpaceModelMonochrome, 1, false, true},
        {kCGColorSpaceGenericGrayGamma2_2, kCGColorSpaceModelMonochrome, 1, false, true},
        {kCGColorSpaceLinearGray, kCGColorSpaceModelMonochrome, 1, false, true},
        {kCGColorSpaceDeviceRGB, kCGColorSpaceModelRGB, 3, false, false},
        {kCGColorSpaceDeviceGray, kCGColorSpaceModelMonochrome, 1, false, false},
    };
    return spaces;
}

std::vector<uint8_t> bytesOf(const std::shared_ptr<NSData>& data) {
    return data ? std::vector<uint8_t>(data->bytes(), data->bytes() + data->length())
                : std::vector<uint8_t>{};
}

struct OpenedProfile {
    explicit OpenedProfile(const std::vector<uint8_t>& bytes)
        : handle(cmsOpenProfileFromMem(bytes.data(), static_cast<cmsUInt32Number>(bytes.size()))) {}
    ~OpenedProfile() {
        if (handle) cmsCloseProfile(handle);
    }
    std::string description() const {
        char text[256] = {};
        cmsGetProfileInfoASCII(handle, cmsInfoDescription, "en", "US", text, sizeof text);
        return text;
    }
    cmsCIEXYZ xyzTag(cmsTagSignature tag) const {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(handle, tag));
        return xyz ? *xyz : cmsCIEXYZ{-1, -1, -1};
    }
    double curveAt(cmsTagSignature tag, double x) const {
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(handle, tag));
        return curve ? cmsEvalToneCurveFloat(curve, static_cast<cmsFloat32Number>(x)) : -1;
    }
    cmsHPROFILE handle;
};

void expectXYZ(const cmsCIEXYZ& actual, const Vec3& expected, double tolerance,
               const std::string& what) {
    EXPECT_NEAR(actual.X, expected[0], tolerance) << what;
    EXPECT_NEAR(actual.Y, expected[1], tolerance) << what;
    EXPECT_NEAR(actual.Z, expected[2], tolerance) << what;
}

}  // namespace

TEST(Part3_3_ColourSpaces, NameConstantsHoldTheirOwnNames) {
    EXPECT_STREQ(kCGColorSpaceSRGB, "kCGColorSpaceSRGB");
    EXPECT_STREQ(kCGColorSpaceDisplayP3, "kCGColorSpaceDisplayP3");
    EXPECT_STREQ(kCGColorSpaceGenericRGB, "kCGColorSpaceGenericRGB");
    EXPECT_STREQ(kCGColorSpaceGenericRGBLinear, "kCGColorSpaceGenericRGBLinear");
    EXPECT_STREQ(kCGColorSpaceAdobeRGB1998, "kCGColorSpaceAdobeRGB1998");
    EXPECT_STREQ(kCGColorSpaceLinearSRGB, "kCGColorSpaceLinearSRGB");
    EXPECT_STREQ(kCGColorSpaceExtendedSRGB, "kCGColorSpaceExtendedSRGB");
    EXPECT_STREQ(kCGColorSpaceExtendedLinearSRGB, "kCGColorSpaceExtendedLinearSRGB");
    EXPECT_STREQ(kCGColorSpaceGenericGray, "kCGColorSpaceGenericGray");
    EXPECT_STREQ(kCGColorSpaceGenericGrayGamma2_2, "kCGColorSpaceGenericGrayGamma2_2");
    EXPECT_STREQ(kCGColorSpaceLinearGray, "kCGColorSpaceLinearGray");
    EXPECT_STREQ(kCGColorSpaceDeviceRGB, "kCGColorSpaceDeviceRGB");
    EXPECT_STREQ(kCGColorSpaceDeviceGray, "kCGColorSpaceDeviceGray");
}

TEST(Part3_3_ColourSpaces, EveryNamedSpaceHasItsComponentsModelRangeAndName) {
    for (const auto& expected : namedSpaces()) {
        SCOPED_TRACE(expected.name);
        const CGColorSpaceRef space = CGColorSpaceCreateWithName(expected.name);
        ASSERT_NE(space, nullptr);
        EXPECT_EQ(CGColorSpaceGetNumberOfComponents(space), expected.components);
        EXPECT_EQ(CGColorSpaceGetModel(space), expected.model);
        EXPECT_EQ(CGColorSpaceUsesExtendedRange(space), expected.extended);
        const auto name = CGColorSpaceCopyName(space);
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->UTF8String(), expected.name);
        EXPECT_STREQ(CGColorSpaceGetName(space), expected.name);
        EXPECT_EQ(CGColorSpaceCopyICCData(space) != nullptr, expected.hasProfile);
        // Same name, same object (identity is what colours and Part 3.3 compare).
        EXPECT_EQ(CGColorSpaceCreateWithName(std::string(expected.name)), space);
    }
}

TEST(Part3_3_ColourSpaces, UnknownAndNullNamesGiveNull) {
    EXPECT_EQ(CGColorSpaceCreateWithName(static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(CGColorSpaceCreateWithName(""), nullptr);
    EXPECT_EQ(CGColorSpaceCreateWithName("sRGB"), nullptr);
    EXPECT_EQ(CGColorSpaceCreateWithName("kcgcolorspacesrgb"),
              nullptr);  // names are case-sensitive
    EXPECT_EQ(CGColorSpaceCreateWithName("kCGColorSpaceSRGB "), nullptr);
    EXPECT_EQ(CGColorSpaceCreateWithName(std::string_view("kCGColorSpaceSRGB\0x", 19)), nullptr);
    EXPECT_EQ(CGColorSpaceCreateWithName("kCGColorSpaceGenericCMYK"),
              nullptr);  // a space we do not make
}

TEST(Part3_3_ColourSpaces, DeviceSpacesAreNamedAndHaveNoProfile) {
    const CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    const CGColorSpaceRef gray = CGColorSpaceCreateDeviceGray();
    ASSERT_NE(rgb, nullptr);
    ASSERT_NE(gray, nullptr);
    EXPECT_EQ(CGColorSpaceCreateDeviceRGB(), rgb);
    EXPECT_EQ(CGColorSpaceCreateWithName(kCGColorSpaceDeviceRGB), rgb);
    EXPECT_EQ(CGColorSpaceCreateWithName(kCGColorSpaceDeviceGray), gray);
    EXPECT_EQ(CGColorSpaceCopyName(rgb)->UTF8String(), "kCGColorSpaceDeviceRGB");
    EXPECT_EQ(CGColorSpaceCopyName(gray)->UTF8String(), "kCGColorSpaceDeviceGray");
    EXPECT_EQ(CGColorSpaceCopyICCData(rgb), nullptr);
    EXPECT_EQ(CGColorSpaceCopyICCData(gray), nullptr);
    EXPECT_EQ(CGColorSpaceGetNumberOfComponents(rgb), 3u);
    EXPECT_EQ(CGColorSpaceGetNumberOfComponents(gray), 1u);
    EXPECT_NE(rgb,
              CGColorSpaceCreateWithName(kCGColorSpaceSRGB));  // matched as sRGB, but its own space
}

TEST(Part3_3_ColourSpaces, NullSpaceQueriesGiveNone) {
    const CGColorSpaceRef none;
    EXPECT_EQ(CGColorSpaceGetNumberOfComponents(none), 0u);
    EXPECT_EQ(CGColorSpaceGetModel(none), kCGColorSpaceModelUnknown);
    EXPECT_FALSE(CGColorSpaceUsesExtendedRange(none));
    EXPECT_EQ(CGColorSpaceCopyName(none), nullptr);
    EXPECT_EQ(CGColorSpaceGetName(none), nullptr);
    EXPECT_EQ(CGColorSpaceCopyICCData(none), nullptr);
}

// Each named RGB space's profile, re-read by lcms2: ICC v4 display profile, RGB over XYZ, the
// description macOS gives the space, D50 media white, colourants equal to the published D50-adapted
// values (sRGB: the ICC's sRGB profiles; Display P3: Apple's profile; Adobe RGB: Adobe's
// AdobeRGB1998.icc; Generic RGB: P22 + D65, whose X and Y agree with Apple's profile to 3 places)
// and the transfer curve evaluated at 0.5.
TEST(Part3_3_ColourSpaces, NamedRGBProfilesAreValidAndDescribeTheirSpace) {
    struct Expectation {
        const char* name;
        const char* description;
        Vec3 red, green, blue;
        double curveAtHalf;
    };
    const Vec3 sRGBRed{0.4361, 0.2225, 0.0139}, sRGBGreen{0.3851, 0.7169, 0.0971},
        sRGBBlue{0.1431, 0.0606, 0.7141};
    const Vec3 p22Red{0.4543, 0.2419, 0.0149}, p22Green{0.3533, 0.6737, 0.0906},
        p22Blue{0.1566, 0.0844, 0.7194};
    const double sRGBHalf = sRGBToLinear(0.5);  // 0.2140
    const std::vector<Expectation> expectations{
        {kCGColorSpaceSRGB, "sRGB IEC61966-2.1", sRGBRed, sRGBGreen, sRGBBlue, sRGBHalf},
        {kCGColorSpaceDisplayP3,
         "Display P3",
         {0.5151, 0.2412, -0.0011},
         {0.2920, 0.6922, 0.0419},
         {0.1571, 0.0666, 0.7841},
         sRGBHalf},
        {kCGColorSpaceAdobeRGB1998,
         "Adobe RGB (1998)",
         {0.6097, 0.3111, 0.0195},
         {0.2053, 0.6257, 0.0609},
         {0.1492, 0.0632, 0.7446},
         std::pow(0.5, 563.0 / 256.0)},
        {kCGColorSpaceGenericRGB, "Generic RGB Profile", p22Red, p22Green, p22Blue,
         std::pow(0.5, 1.8)},
        {kCGColorSpaceGenericRGBLinear, "Generic RGB Linear Profile", p22Red, p22Green, p22Blue,
         0.5},
        {kCGColorSpaceLinearSRGB, "sRGB Linear", sRGBRed, sRGBGreen, sRGBBlue, 0.5},
    };
    for (const auto& expected : expectations) {
        SCOPED_TRACE(expected.name);
        const auto bytes =
            bytesOf(CGColorSpaceCopyICCData(CGColorSpaceCreateWithName(expected.name)));
        ASSERT_GT(bytes.size(), 128u);
        OpenedProfile profile(bytes);
        ASSERT_NE(profile.handle, nullptr);
        EXPECT_EQ(cmsGetColorSpace(profile.handle), cmsSigRgbData);
        EXPECT_EQ(cmsGetPCS(profile.handle), cmsSigXYZData);
        EXPECT_EQ(cmsGetDeviceClass(profile.handle), cmsSigDisplayClass);
        EXPECT_GE(cmsGetProfileVersion(profile.handle), 4.0);
        EXPECT_TRUE(cmsIsMatrixShaper(profile.handle));
        EXPECT_EQ(profile.description(), expected.description);
        expectXYZ(profile.xyzTag(cmsSigMediaWhitePointTag), {0.9642, 1.0, 0.8249}, 0.0002, "wtpt");
        expectXYZ(profile.xyzTag(cmsSigRedColorantTag), expected.red, 0.0005, "rXYZ");
        expectXYZ(profile.xyzTag(cmsSigGreenColorantTag), expected.green, 0.0005, "gXYZ");
        expectXYZ(profile.xyzTag(cmsSigBlueColorantTag), expected.blue, 0.0005, "bXYZ");
        for (auto tag : {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag})
            EXPECT_NEAR(profile.curveAt(tag, 0.5), expected.curveAtHalf, 1e-4);
        // The header's illuminant is the PCS's D50 and the file states its own length.
        EXPECT_EQ((uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 |
                   bytes[3]),
                  bytes.size());
        EXPECT_EQ(std::memcmp(bytes.data() + 36, "acsp", 4), 0);
    }
}

TEST(Part3_3_ColourSpaces, NamedGrayProfilesAreValidAndDescribeTheirSpace) {
    struct Expectation {
        const char* name;
        const char* description;
        double curveAtHalf;
    };
    const std::vector<Expectation> expectations{
        {kCGColorSpaceGenericGray, "Generic Gray Profile", std::pow(0.5, 1.8)},
        {kCGColorSpaceGenericGrayGamma2_2, "Generic Gray Gamma 2.2 Profile", std::pow(0.5, 2.2)},
        {kCGColorSpaceLinearGray, "Linear Gray", 0.5},
    };
    for (const auto& expected : expectations) {
        SCOPED_TRACE(expected.name);
        const auto bytes =
            bytesOf(CGColorSpaceCopyICCData(CGColorSpaceCreateWithName(expected.name)));
        OpenedProfile profile(bytes);
        ASSERT_NE(profile.handle, nullptr);
        EXPECT_EQ(cmsGetColorSpace(profile.handle), cmsSigGrayData);
        EXPECT_EQ(cmsGetPCS(profile.handle), cmsSigXYZData);
        EXPECT_EQ(profile.description(), expected.description);
        expectXYZ(profile.xyzTag(cmsSigMediaWhitePointTag), {0.9642, 1.0, 0.8249}, 0.0002, "wtpt");
        EXPECT_NEAR(profile.curveAt(cmsSigGrayTRCTag, 0.5), expected.curveAtHalf, 1e-4);
    }
}

TEST(Part3_3_ColourSpaces, ExtendedSpacesReportTheProfileOfTheirCounterpart) {
    const auto sRGB =
        bytesOf(CGColorSpaceCopyICCData(CGColorSpaceCreateWithName(kCGColorSpaceSRGB)));
    const auto linear =
        bytesOf(CGColorSpaceCopyICCData(CGColorSpaceCreateWithName(kCGColorSpaceLinearSRGB)));
    EXPECT_EQ(
        bytesOf(CGColorSpaceCopyICCData(CGColorSpaceCreateWithName(kCGColorSpaceExtendedSRGB))),
        sRGB);
    EXPECT_EQ(bytesOf(CGColorSpaceCopyICCData(
                  CGColorSpaceCreateWithName(kCGColorSpaceExtendedLinearSRGB))),
              linear);
    EXPECT_NE(sRGB, linear);
}

TEST(Part3_3_ColourSpaces, ProfilesAreReproducibleAndEachCopyIsANewDataObject) {
    const CGColorSpaceRef space = CGColorSpaceCreateWithName(kCGColorSpaceDisplayP3);
    const auto first = CGColorSpaceCopyICCData(space);
    const auto second = CGColorSpaceCopyICCData(space);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, second);
    EXPECT_TRUE(first->isEqual(*second));
    // The fixed creation date 2024-01-01 00:00:00, so every process writes the same bytes.
    const std::vector<uint8_t> date(first->bytes() + 24, first->bytes() + 36);
    EXPECT_EQ(date, (std::vector<uint8_t>{0x07, 0xe8, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0}));
}

// ---- CGColorSpaceCreateWithICCData

TEST(Part3_3_ColourSpaces, CreateWithICCDataAcceptsProfilesThatMacsEmbed) {
    struct Case {
        const char* description;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Case> cases{
        {"sRGB IEC61966-2.1 (v4)", makeRGBProfile("sRGB IEC61966-2.1", kSRGBPrimaries, 0)},
        {"sRGB IEC61966-2.1 (v2)", makeRGBProfile("sRGB IEC61966-2.1", kSRGBPrimaries, 0, 2.1)},
        {"Display P3", makeRGBProfile("Display P3", kDisplayP3Primaries, 0)},
        {"Generic RGB Profile (v2)",
         makeRGBProfile("Generic RGB Profile", kP22Primaries, 1.8, 2.1)},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.description);
        ASSERT_GT(test.bytes.size(), 128u);
        const CGColorSpaceRef space =
            CGColorSpaceCreateWithICCData(std::span<const uint8_t>(test.bytes));
        ASSERT_NE(space, nullptr);
        EXPECT_EQ(CGColorSpaceGetModel(space), kCGColorSpaceModelRGB);
        EXPECT_EQ(CGColorSpaceGetNumberOfComponents(space), 3u);
        EXPECT_FALSE(CGColorSpaceUsesExtendedRange(space));
        EXPECT_EQ(CGColorSpaceCopyName(space), nullptr);  // spaces from ICC data have no name
        EXPECT_EQ(bytesOf(CGColorSpaceCopyICCData(space)), test.bytes);  // exactly the bytes given
    }
}

TEST(Part3_3_ColourSpaces, CreateWithICCDataAcceptsGrayProfiles) {
    const auto bytes = makeGrayProfile("Generic Gray Gamma 2.2 Profile", 2.2);
    const auto data = NSData::dataWithBytes_length(bytes.data(), bytes.size());
    const CGColorSpaceRef space = CGColorSpaceCreateWithICCData(data);
    ASSERT_NE(space, nullptr);
    EXPECT_EQ(CGColorSpaceGetModel(space), kCGColorSpaceModelMonochrome);
    EXPECT_EQ(CGColorSpaceGetNumberOfComponents(space), 1u);
    EXPECT_EQ(bytesOf(CGColorSpaceCopyICCData(space)), bytes);
}

TEST(Part3_3_ColourSpaces, CreateWithICCDataAcceptsEveryNamedSpacesProfile) {
    for (const auto& expected : namedSpaces()) {
        if (!expected.hasProfile) continue;
        SCOPED_TRACE(expected.name);
        const auto data = CGColorSpaceCopyICCData(CGColorSpaceCreateWithName(expected.name));
        const CGColorSpaceRef space = CGColorSpaceCreateWithICCData(data.get());
        ASSERT_NE(space, nullptr);
        EXPECT_EQ(CGColorSpaceGetModel(space), expected.model);
        EXPECT_EQ(CGColorSpaceGetNumberOfComponents(space), expected.components);
        EXPECT_FALSE(
            CGColorSpaceUsesExtendedRange(space));  // the range is the name's, not the profile's
    }
}

TEST(Part3_3_ColourSpaces, CreateWithICCDataAcceptsTableBasedRGBProfiles) {
    const auto bytes = makeRGBLutProfile();
    ASSERT_GT(bytes.size(), 128u);
    const CGColorSpaceRef space = CGColorSpaceCreateWithICCData(std::span<const uint8_t>(bytes));
    ASSERT_NE(space, nullptr);
    EXPECT_EQ(CGColorSpaceGetModel(space), kCGColorSpaceModelRGB);
    // White stays white through the tables (L* 100, neutral).
    const auto white =
        CGColorGetSRGBComponentsForDrawing(CGColorCreate(space, {1.0, 1.0, 1.0, 1.0}));
    EXPECT_NEAR(white[0], 1.0, 1e-3);
    EXPECT_NEAR(white[1], 1.0, 1e-3);
    EXPECT_NEAR(white[2], 1.0, 1e-3);
}

// A table whose header claims 255 grid points per input (a 100 MB CLUT in a profile of a few
// hundred bytes) is refused; lcms2 is not allowed to allocate the table first.
TEST(Part3_3_ColourSpaces, CreateWithICCDataRefusesATableLargerThanItsProfile) {
    auto bytes = makeRGBLutProfile();
    const size_t a2b = tagOffset(bytes, "A2B0");
    ASSERT_GT(a2b, 0u);
    ASSERT_EQ(std::memcmp(bytes.data() + a2b, "mft2", 4), 0);
    ASSERT_EQ(bytes[a2b + 10], 2);  // clutPoints
    bytes[a2b + 10] = 255;
    EXPECT_EQ(CGColorSpaceCreateWithICCData(std::span<const uint8_t>(bytes)), nullptr);
}

TEST(Part3_3_ColourSpaces, CreateWithICCDataMakesANewObjectEachTime) {
    const auto data = CGColorSpaceCopyICCData(CGColorSpaceCreateWithName(kCGColorSpaceDisplayP3));
    const CGColorSpaceRef first = CGColorSpaceCreateWithICCData(data);
    const CGColorSpaceRef second = CGColorSpaceCreateWithICCData(data);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);  // sharing by bytes is Part 3.3's cache, not the platform's
}

TEST(Part3_3_ColourSpaces, CreateWithICCDataFromMutableData) {
    const auto bytes = makeRGBProfile("Display P3", kDisplayP3Primaries, 0);
    auto data = NSMutableData::data();
    data->appendBytes_length(bytes.data(), bytes.size());
    const CGColorSpaceRef space =
        CGColorSpaceCreateWithICCData(std::shared_ptr<const NSData>(data));
    ASSERT_NE(space, nullptr);
    data->mutableBytes()[40] ^= 0xff;  // later changes to the data do not reach the space
    EXPECT_EQ(bytesOf(CGColorSpaceCopyICCData(space)), bytes);
}

TEST(Part3_3_ColourSpaces, CreateWithICCDataRefusesEverythingElse) {
    EXPECT_EQ(CGColorSpaceCreateWithICCData(static_cast<const NSData*>(nullptr)), nullptr);
    EXPECT_EQ(CGColorSpaceCreateWithICCData(std::shared_ptr<const NSData>()), nullptr);
    EXPECT_EQ(CGColorSpaceCreateWithICCData(std::make_shared<NSData>().get()), nullptr);  // empty
    EXPECT_EQ(CGColorSpaceCreateWithICCData(std::span<const uint8_t>()), nullptr);

    std::mt19937 random(20240101);
    std::vector<uint8_t> garbage(4096);
    for (auto& byte : garbage) byte = static_cast<uint8_t>(random());
    EXPECT_EQ(CGColorSpaceCreateWithICCData(std::span<const uint8_t>(garbage)), nullptr);

    const auto sRGB = makeRGBProfile("sRGB IEC61966-2.1", kSRGBPrimaries, 0);
    // A header that claims to be an sRGB profile followed by nothing, or by half of its tags.
    for (size_t length : {size_t(100), size_t(128), size_t(132), size_t(200), sRGB.size() / 2}) {
        SCOPED_TRACE(length);
        EXPECT_EQ(CGColorSpaceCreateWithICCData(std::span<const uint8_t>(sRGB.data(), length)),
                  nullptr);
    }
    // Real profiles of spaces that are not RGB or grey, and a device link between two RGB devices.
    const auto cmyk = makeCMYKProfile();
    {
        OpenedProfile check(cmyk);  // the test profile itself is valid CMYK
        ASSERT_NE(check.handle, nullptr);
        ASSERT_EQ(cmsGetColorSpace(check.handle), cmsSigCmykData);
    }
    EXPECT_EQ(CGColorSpaceCreateWithICCData(std::span<const uint8_t>(cmyk)), nullptr);
    const auto lab = makeLabProfile();
    ASSERT_GT(lab.size(), 128u);
    EXPECT_EQ(CGColorSpaceCreateWithICCData(std::span<const uint8_t>(lab)), nullptr);
    const auto link = makeRGBDeviceLink();
    ASSERT_GT(link.size(), 128u);
    EXPECT_EQ(CGColorSpaceCreateWithICCData(std::span<const uint8_t>(link)), nullptr);
    // Past the length cap, even when the bytes start as a valid profile.
    std::vector<uint8_t> huge(kCGColorSpaceMaxICCDataLength + 1, 0);
    std::copy(sRGB.begin(), sRGB.end(), huge.begin());
    EXPECT_EQ(CGColorSpaceCreateWithICCData(std::span<const uint8_t>(huge)), nullptr);
}

// Hostile bytes: every single-byte and short-run corruption of real profiles either is refused or
// gives a space whose colours still match into sRGB in range. Nothing crashes (the sanitizer build
// checks the reads).
TEST(Part3_3_ColourSpaces, CreateWithICCDataSurvivesCorruptedProfiles) {
    const std::vector<std::vector<uint8_t>> originals{
        makeRGBProfile("Display P3", kDisplayP3Primaries, 0),
        makeRGBProfile("Generic RGB Profile", kP22Primaries, 1.8, 2.1),
        makeGrayProfile("Gray", 2.2),
        makeCMYKProfile(),
    };
    std::mt19937 random(7);
    int accepted = 0;
    for (const auto& original : originals) {
        ASSERT_GT(original.size(), 128u);
        for (int round = 0; round < 400; ++round) {
            auto bytes = original;
            const int changes = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < changes; ++i) {
                const size_t at = random() % bytes.size();
                switch (random() % 3) {
                    case 0:
                        bytes[at] = static_cast<uint8_t>(random());
                        break;
                    case 1:
                        bytes[at] = 0xff;
                        break;
                    default:
                        bytes[at] = 0;
                        break;
                }
            }
            const CGColorSpaceRef space =
                CGColorSpaceCreateWithICCData(std::span<const uint8_t>(bytes));
            if (!space) continue;
            ++accepted;
            const double components[4] = {0.25, 0.5, 0.75, 1};
            const CGColorRef colour = CGColorCreate(space, components);
            for (CGFloat value : CGColorGetSRGBComponentsForDrawing(colour)) {
                EXPECT_GE(value, 0.0);
                EXPECT_LE(value, 1.0);
            }
        }
    }
    EXPECT_GT(accepted, 0);  // many corruptions hit bytes that do not matter
}
