// The colour spaces: the named spaces with the ICC profiles they describe themselves by, spaces
// made from ICC data (real profiles accepted, everything else refused without crashing), names,
// models and ranges.

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

std::vector<uint8_t> bytesOf(const std::shared_ptr<NSData>& data) {
    return data ? std::vector<uint8_t>(data->span().begin(), data->span().end())
                : std::vector<uint8_t>{};
}

std::vector<uint8_t> profileOf(const char* name) {
    return bytesOf(CGColorSpaceCopyICCData(CGColorSpaceCreateWithName(name)));
}

CGColorSpaceRef fromICC(const std::vector<uint8_t>& bytes) {
    return CGColorSpaceCreateWithICCData(std::span<const uint8_t>(bytes));
}

struct OpenedProfile {
    explicit OpenedProfile(const std::vector<uint8_t>& bytes)
        : handle(cmsOpenProfileFromMem(bytes.data(), cmsUInt32Number(bytes.size()))) {}
    ~OpenedProfile() {
        if (handle) cmsCloseProfile(handle);
    }
    std::string description() const {
        char text[256] = {};
        cmsGetProfileInfoASCII(handle, cmsInfoDescription, "en", "US", text, sizeof text);
        return text;
    }
    Vec3 xyz(cmsTagSignature tag) const {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(handle, tag));
        return xyz ? Vec3{xyz->X, xyz->Y, xyz->Z} : Vec3{-1, -1, -1};
    }
    double curveAtHalf(cmsTagSignature tag) const {
        const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(handle, tag));
        return curve ? cmsEvalToneCurveFloat(curve, 0.5f) : -1;
    }
    cmsHPROFILE handle;
};

void expectNear(const Vec3& actual, const Vec3& expected, double tolerance) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

}  // namespace

TEST(CGColorSpaceNamed, ComponentsModelRangeNameProfileAndIdentity) {
    struct Case {
        const char* name;
        CGColorSpaceModel model;
        size_t components;
        bool extended, hasProfile;
    };
    const auto rgb = kCGColorSpaceModelRGB, grey = kCGColorSpaceModelMonochrome;
    const Case cases[] = {
        {kCGColorSpaceSRGB, rgb, 3, false, true},
        {kCGColorSpaceDisplayP3, rgb, 3, false, true},
        {kCGColorSpaceGenericRGB, rgb, 3, false, true},
        {kCGColorSpaceGenericRGBLinear, rgb, 3, false, true},
        {kCGColorSpaceAdobeRGB1998, rgb, 3, false, true},
        {kCGColorSpaceLinearSRGB, rgb, 3, false, true},
        {kCGColorSpaceExtendedSRGB, rgb, 3, true, true},
        {kCGColorSpaceExtendedLinearSRGB, rgb, 3, true, true},
        {kCGColorSpaceGenericGray, grey, 1, false, true},
        {kCGColorSpaceGenericGrayGamma2_2, grey, 1, false, true},
        {kCGColorSpaceLinearGray, grey, 1, false, true},
        {kCGColorSpaceDeviceRGB, rgb, 3, false, false},
        {kCGColorSpaceDeviceGray, grey, 1, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CGColorSpaceRef space = CGColorSpaceCreateWithName(c.name);
        ASSERT_NE(space, nullptr);
        EXPECT_EQ(CGColorSpaceGetNumberOfComponents(space), c.components);
        EXPECT_EQ(CGColorSpaceGetModel(space), c.model);
        EXPECT_EQ(CGColorSpaceUsesExtendedRange(space), c.extended);
        ASSERT_NE(CGColorSpaceCopyName(space), nullptr);
        EXPECT_EQ(CGColorSpaceCopyName(space)->UTF8String(), c.name);
        EXPECT_STREQ(CGColorSpaceGetName(space), c.name);
        // Same name, same object: colours compare their spaces by identity.
        EXPECT_EQ(CGColorSpaceCreateWithName(std::string(c.name)), space);
        const auto profile = CGColorSpaceCopyICCData(space);
        ASSERT_EQ(profile != nullptr, c.hasProfile);
        if (!profile) continue;
        // Its own profile makes a space of the same kind; the range belongs to the name.
        const CGColorSpaceRef again = CGColorSpaceCreateWithICCData(profile.get());
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(CGColorSpaceGetModel(again), c.model);
        EXPECT_FALSE(CGColorSpaceUsesExtendedRange(again));
    }
    EXPECT_EQ(CGColorSpaceCreateDeviceRGB(), CGColorSpaceCreateWithName(kCGColorSpaceDeviceRGB));
    EXPECT_EQ(CGColorSpaceCreateDeviceGray(), CGColorSpaceCreateWithName(kCGColorSpaceDeviceGray));
    // Device RGB is matched as sRGB, but is a space of its own.
    EXPECT_NE(CGColorSpaceCreateDeviceRGB(), CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
}

TEST(CGColorSpaceNamed, UnknownNamesAndNullSpaceGiveNone) {
    for (const std::string_view name :
         {std::string_view(""), std::string_view("sRGB"), std::string_view("kcgcolorspacesrgb"),
          std::string_view("kCGColorSpaceSRGB "), std::string_view("kCGColorSpaceSRGB\0x", 19),
          std::string_view("kCGColorSpaceGenericCMYK")}) {
        EXPECT_EQ(CGColorSpaceCreateWithName(name), nullptr) << name;
    }
    EXPECT_EQ(CGColorSpaceCreateWithName(static_cast<const char*>(nullptr)), nullptr);
    const CGColorSpaceRef none;
    EXPECT_EQ(CGColorSpaceGetNumberOfComponents(none), 0u);
    EXPECT_EQ(CGColorSpaceGetModel(none), kCGColorSpaceModelUnknown);
    EXPECT_FALSE(CGColorSpaceUsesExtendedRange(none));
    EXPECT_EQ(CGColorSpaceCopyName(none), nullptr);
    EXPECT_EQ(CGColorSpaceGetName(none), nullptr);
    EXPECT_EQ(CGColorSpaceCopyICCData(none), nullptr);
}

// Each named space's profile, re-read by lcms2: an ICC v4 display profile over XYZ with the
// description macOS gives the space, D50 media white, colourants equal to the published
// D50-adapted values, and the transfer curve at 0.5.
TEST(CGColorSpaceNamed, ProfilesDescribeTheirSpace) {
    struct Case {
        const char* name;
        const char* description;
        Vec3 red, green, blue;  // empty for grey
        double curveAtHalf;
    };
    const Vec3 sR{0.4361, 0.2225, 0.0139}, sG{0.3851, 0.7169, 0.0971}, sB{0.1431, 0.0606, 0.7141};
    const Vec3 pR{0.4543, 0.2419, 0.0149}, pG{0.3533, 0.6737, 0.0906}, pB{0.1566, 0.0844, 0.7194};
    const double sRGBHalf = sRGBToLinear(0.5);
    const Case cases[] = {
        {kCGColorSpaceSRGB, "sRGB IEC61966-2.1", sR, sG, sB, sRGBHalf},
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
        {kCGColorSpaceGenericRGB, "Generic RGB Profile", pR, pG, pB, std::pow(0.5, 1.8)},
        {kCGColorSpaceGenericRGBLinear, "Generic RGB Linear Profile", pR, pG, pB, 0.5},
        {kCGColorSpaceLinearSRGB, "sRGB Linear", sR, sG, sB, 0.5},
        {kCGColorSpaceGenericGray, "Generic Gray Profile", {}, {}, {}, std::pow(0.5, 1.8)},
        {kCGColorSpaceGenericGrayGamma2_2,
         "Generic Gray Gamma 2.2 Profile",
         {},
         {},
         {},
         std::pow(0.5, 2.2)},
        {kCGColorSpaceLinearGray, "Linear Gray", {}, {}, {}, 0.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bytes = profileOf(c.name);
        ASSERT_GT(bytes.size(), 128u);
        // The file states its own length and signature.
        EXPECT_EQ(uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 |
                      bytes[3],
                  bytes.size());
        EXPECT_EQ(std::memcmp(bytes.data() + 36, "acsp", 4), 0);
        OpenedProfile profile(bytes);
        ASSERT_NE(profile.handle, nullptr);
        const bool grey = c.red == Vec3{};
        EXPECT_EQ(cmsGetColorSpace(profile.handle), grey ? cmsSigGrayData : cmsSigRgbData);
        EXPECT_EQ(cmsGetPCS(profile.handle), cmsSigXYZData);
        EXPECT_EQ(profile.description(), c.description);
        expectNear(profile.xyz(cmsSigMediaWhitePointTag), {0.9642, 1.0, 0.8249}, 0.0002);
        if (grey) {
            EXPECT_NEAR(profile.curveAtHalf(cmsSigGrayTRCTag), c.curveAtHalf, 1e-4);
            continue;
        }
        EXPECT_EQ(cmsGetDeviceClass(profile.handle), cmsSigDisplayClass);
        EXPECT_GE(cmsGetProfileVersion(profile.handle), 4.0);
        expectNear(profile.xyz(cmsSigRedColorantTag), c.red, 0.0005);
        expectNear(profile.xyz(cmsSigGreenColorantTag), c.green, 0.0005);
        expectNear(profile.xyz(cmsSigBlueColorantTag), c.blue, 0.0005);
        for (auto tag : {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag})
            EXPECT_NEAR(profile.curveAtHalf(tag), c.curveAtHalf, 1e-4);
    }
    // The extended spaces describe themselves by their counterpart's profile.
    EXPECT_EQ(profileOf(kCGColorSpaceExtendedSRGB), profileOf(kCGColorSpaceSRGB));
    EXPECT_EQ(profileOf(kCGColorSpaceExtendedLinearSRGB), profileOf(kCGColorSpaceLinearSRGB));
    EXPECT_NE(profileOf(kCGColorSpaceSRGB), profileOf(kCGColorSpaceLinearSRGB));
}

TEST(CGColorSpaceNamed, ProfilesAreReproducibleAndEachCopyIsNew) {
    const CGColorSpaceRef space = CGColorSpaceCreateWithName(kCGColorSpaceDisplayP3);
    const auto first = CGColorSpaceCopyICCData(space), second = CGColorSpaceCopyICCData(space);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, second);
    EXPECT_TRUE(first->isEqual(*second));
    // A fixed creation date (2024-01-01), so that every process writes the same bytes.
    EXPECT_EQ(std::vector<uint8_t>(first->bytes() + 24, first->bytes() + 36),
              (std::vector<uint8_t>{0x07, 0xe8, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0}));
}

TEST(CGColorSpaceFromICC, AcceptsTheProfilesMacsEmbedAsTheyAre) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        CGColorSpaceModel model;
    };
    const Case cases[] = {
        {"sRGB v4", makeRGBProfile("sRGB IEC61966-2.1", kSRGBPrimaries, 0), kCGColorSpaceModelRGB},
        {"sRGB v2", makeRGBProfile("sRGB IEC61966-2.1", kSRGBPrimaries, 0, 2.1),
         kCGColorSpaceModelRGB},
        {"Display P3", makeRGBProfile("Display P3", kDisplayP3Primaries, 0), kCGColorSpaceModelRGB},
        {"Generic RGB v2", makeRGBProfile("Generic RGB Profile", kP22Primaries, 1.8, 2.1),
         kCGColorSpaceModelRGB},
        {"grey", makeGrayProfile("Generic Gray Gamma 2.2 Profile", 2.2),
         kCGColorSpaceModelMonochrome},
        {"RGB by tables", makeRGBLutProfile(), kCGColorSpaceModelRGB},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_GT(c.bytes.size(), 128u);
        const CGColorSpaceRef space = fromICC(c.bytes);
        ASSERT_NE(space, nullptr);
        EXPECT_EQ(CGColorSpaceGetModel(space), c.model);
        EXPECT_EQ(CGColorSpaceGetNumberOfComponents(space),
                  c.model == kCGColorSpaceModelRGB ? 3u : 1u);
        EXPECT_FALSE(CGColorSpaceUsesExtendedRange(space));
        EXPECT_EQ(CGColorSpaceCopyName(space), nullptr);
        EXPECT_EQ(bytesOf(CGColorSpaceCopyICCData(space)), c.bytes);
        // A new object each time: sharing by bytes is the image reader's cache, not the space's.
        EXPECT_NE(fromICC(c.bytes), space);
    }
    // White stays white through the tables (L* 100, neutral).
    for (CGFloat v : CGColorGetSRGBComponentsForDrawing(
             CGColorCreate(fromICC(makeRGBLutProfile()), {1.0, 1.0, 1.0, 1.0})))
        EXPECT_NEAR(v, 1.0, 1e-3);
    // Later changes to mutable data do not reach the space.
    const auto bytes = makeRGBProfile("Display P3", kDisplayP3Primaries, 0);
    auto data = NSMutableData::data();
    data->appendBytes_length(bytes.data(), bytes.size());
    const CGColorSpaceRef space =
        CGColorSpaceCreateWithICCData(std::shared_ptr<const NSData>(data));
    data->mutableBytes()[40] ^= 0xff;
    EXPECT_EQ(bytesOf(CGColorSpaceCopyICCData(space)), bytes);
}

TEST(CGColorSpaceFromICC, RefusesEverythingButRGBAndGreyColourSpaces) {
    EXPECT_EQ(CGColorSpaceCreateWithICCData(static_cast<const NSData*>(nullptr)), nullptr);
    EXPECT_EQ(CGColorSpaceCreateWithICCData(std::shared_ptr<const NSData>()), nullptr);
    EXPECT_EQ(CGColorSpaceCreateWithICCData(std::make_shared<NSData>().get()), nullptr);
    const auto sRGB = makeRGBProfile("sRGB IEC61966-2.1", kSRGBPrimaries, 0);
    std::mt19937 random(20240101);
    std::vector<uint8_t> garbage(4096);
    for (auto& byte : garbage) byte = uint8_t(random());
    // A table whose header claims 255 grid points per input: a 100 MB CLUT in a profile of a few
    // hundred bytes, refused before lcms2 allocates it.
    auto hugeTable = makeRGBLutProfile();
    for (size_t i = 0; i < (uint32_t(hugeTable[131]) | hugeTable[130] << 8); ++i)
        if (std::memcmp(hugeTable.data() + 132 + 12 * i, "A2B0", 4) == 0) {
            const uint8_t* at = hugeTable.data() + 136 + 12 * i;
            const size_t offset = size_t(at[0]) << 24 | at[1] << 16 | at[2] << 8 | at[3];
            ASSERT_EQ(std::memcmp(hugeTable.data() + offset, "mft2", 4), 0);
            ASSERT_EQ(hugeTable[offset + 10], 2);  // grid points
            hugeTable[offset + 10] = 255;
        }
    cmsToneCurve* identity = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {identity, identity, identity};
    const auto deviceLink = saveProfile(cmsCreateLinearizationDeviceLink(cmsSigRgbData, curves));
    cmsFreeToneCurve(identity);
    std::vector<uint8_t> pastTheCap(kCGColorSpaceMaxICCDataLength + 1, 0);
    std::copy(sRGB.begin(), sRGB.end(), pastTheCap.begin());
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"empty", {}},
        {"garbage", garbage},
        {"header only", {sRGB.begin(), sRGB.begin() + 128}},
        {"cut in the tag table", {sRGB.begin(), sRGB.begin() + 132}},
        {"cut in the tags", {sRGB.begin(), sRGB.begin() + 200}},
        {"half", {sRGB.begin(), sRGB.begin() + long(sRGB.size() / 2)}},
        {"table larger than its profile", hugeTable},
        {"CMYK", makeCMYKProfile()},
        {"Lab", saveProfile(cmsCreateLab4Profile(nullptr))},
        {"device link between RGB devices", deviceLink},
        {"past the length cap", pastTheCap},
    };
    for (const auto& [what, bytes] : cases) EXPECT_EQ(fromICC(bytes), nullptr) << what;
}

// Hostile bytes: every corruption of a few bytes of real profiles either is refused or gives a
// space whose colours still match into sRGB in range; nothing crashes (the sanitizer build checks
// the reads).
TEST(CGColorSpaceFromICC, SurvivesCorruptedProfiles) {
    const std::vector<uint8_t> originals[] = {
        makeRGBProfile("Display P3", kDisplayP3Primaries, 0),
        makeRGBProfile("Generic RGB Profile", kP22Primaries, 1.8, 2.1),
        makeGrayProfile("Gray", 2.2),
        makeCMYKProfile(),
    };
    std::mt19937 random(7);
    int accepted = 0;
    for (const auto& original : originals) {
        for (int round = 0; round < 400; ++round) {
            auto bytes = original;
            for (int i = 0, changes = 1 + int(random() % 4); i < changes; ++i) {
                const uint8_t values[3] = {uint8_t(random()), 0xff, 0};
                bytes[random() % bytes.size()] = values[random() % 3];
            }
            const CGColorSpaceRef space = fromICC(bytes);
            if (!space) continue;
            ++accepted;
            const double components[4] = {0.25, 0.5, 0.75, 1};
            for (CGFloat v : CGColorGetSRGBComponentsForDrawing(CGColorCreate(space, components))) {
                EXPECT_GE(v, 0.0);
                EXPECT_LE(v, 1.0);
            }
        }
    }
    EXPECT_GT(accepted, 0);  // many corruptions hit bytes that do not matter
}
