// The CoreGraphics colour stand-in (Parts 2.8, 3.3, 3.4, 4.1 rely on it): creation and queries,
// equality, matching between colour spaces through lcms2 against known values and an independent
// matrix computation, and the conversion every drawn colour takes into the output space (sRGB).

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "CGColor.h"
#include "CGColorSpace.h"
#include "ColourTestSupport.h"

using namespace ColourTestSupport;

namespace {

CGColorSpaceRef named(const char* name) {
    return CGColorSpaceCreateWithName(name);
}

std::vector<CGFloat> componentsOf(const CGColorRef& colour) {
    const CGFloat* c = CGColorGetComponents(colour);
    return c ? std::vector<CGFloat>(c, c + CGColorGetNumberOfComponents(colour))
             : std::vector<CGFloat>{};
}

// `colour` in `space`, relative colorimetric, as plain numbers.
std::vector<CGFloat> matched(const CGColorRef& colour, const char* space,
                             CGColorRenderingIntent intent = kCGRenderingIntentDefault) {
    return componentsOf(
        CGColorCreateCopyByMatchingToColorSpace(named(space), intent, colour, nullptr));
}

void expectComponents(const std::vector<CGFloat>& actual, const std::vector<CGFloat>& expected,
                      double tolerance) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

}  // namespace

// ---- Creation and queries

TEST(Part3_3_Colours, CreateKeepsComponentsAndAlpha) {
    const CGColorRef rgb = CGColorCreate(named(kCGColorSpaceSRGB), {0.25, 0.5, 0.75, 0.5});
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(CGColorGetColorSpace(rgb), named(kCGColorSpaceSRGB));
    EXPECT_EQ(CGColorGetNumberOfComponents(rgb), 4u);
    EXPECT_EQ(componentsOf(rgb), (std::vector<CGFloat>{0.25, 0.5, 0.75, 0.5}));
    EXPECT_EQ(CGColorGetAlpha(rgb), 0.5);

    const double grayComponents[2] = {0.3, 1.0};
    const CGColorRef gray = CGColorCreate(named(kCGColorSpaceGenericGrayGamma2_2), grayComponents);
    EXPECT_EQ(CGColorGetNumberOfComponents(gray), 2u);
    EXPECT_EQ(componentsOf(gray), (std::vector<CGFloat>{0.3, 1.0}));
    EXPECT_EQ(CGColorGetAlpha(gray), 1.0);
}

TEST(Part3_3_Colours, CreateWithoutSpaceOrWithTheWrongCountGivesNull) {
    const double components[4] = {1, 0, 0, 1};
    EXPECT_EQ(CGColorCreate(nullptr, components), nullptr);
    EXPECT_EQ(CGColorCreate(nullptr, {1.0, 0.0, 0.0, 1.0}), nullptr);
    EXPECT_EQ(CGColorCreate(named(kCGColorSpaceSRGB), static_cast<const CGFloat*>(nullptr)),
              nullptr);
    EXPECT_EQ(CGColorCreate(named(kCGColorSpaceSRGB), {1.0, 0.0, 1.0}), nullptr);
    EXPECT_EQ(CGColorCreate(named(kCGColorSpaceSRGB), {1.0, 0.0, 0.0, 1.0, 1.0}), nullptr);
    EXPECT_EQ(CGColorCreate(named(kCGColorSpaceGenericGray), {1.0, 0.0, 0.0, 1.0}), nullptr);
}

TEST(Part3_3_Colours, CreateClampsToTheRangeOfTheSpace) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(componentsOf(CGColorCreate(named(kCGColorSpaceSRGB), {1.2, -0.5, nan, 2.0})),
              (std::vector<CGFloat>{1.0, 0.0, 0.0, 1.0}));
    // Extended range keeps components outside 0…1; alpha is always 0…1.
    EXPECT_EQ(componentsOf(CGColorCreate(named(kCGColorSpaceExtendedSRGB), {1.2, -0.5, nan, -1.0})),
              (std::vector<CGFloat>{1.2, -0.5, 0.0, 0.0}));
    EXPECT_EQ(
        componentsOf(CGColorCreate(named(kCGColorSpaceExtendedLinearSRGB), {4.0, -2.0, 0.5, 0.5})),
        (std::vector<CGFloat>{4.0, -2.0, 0.5, 0.5}));
}

TEST(Part3_3_Colours, CopyWithAlphaReplacesOnlyAlpha) {
    const CGColorRef colour = CGColorCreate(named(kCGColorSpaceDisplayP3), {0.1, 0.2, 0.3, 1.0});
    const CGColorRef copy = CGColorCreateCopyWithAlpha(colour, 0.25);
    EXPECT_EQ(CGColorGetColorSpace(copy), CGColorGetColorSpace(colour));
    EXPECT_EQ(componentsOf(copy), (std::vector<CGFloat>{0.1, 0.2, 0.3, 0.25}));
    EXPECT_EQ(CGColorGetAlpha(CGColorCreateCopyWithAlpha(colour, 3.0)), 1.0);
    EXPECT_EQ(CGColorGetAlpha(CGColorCreateCopyWithAlpha(colour, -1.0)), 0.0);
    EXPECT_EQ(CGColorCreateCopyWithAlpha(nullptr, 0.5), nullptr);
    EXPECT_EQ(CGColorGetAlpha(colour), 1.0);  // the original is unchanged
}

TEST(Part3_3_Colours, NullColourQueriesGiveNone) {
    const CGColorRef none;
    EXPECT_EQ(CGColorGetColorSpace(none), nullptr);
    EXPECT_EQ(CGColorGetNumberOfComponents(none), 0u);
    EXPECT_EQ(CGColorGetComponents(none), nullptr);
    EXPECT_EQ(CGColorGetAlpha(none), 0.0);
}

// ---- Equality: the identical space object and equal components

TEST(Part3_3_Colours, EqualToColorComparesSpaceIdentityAndComponents) {
    const CGColorRef a = CGColorCreate(named(kCGColorSpaceSRGB), {0.2, 0.4, 0.6, 1.0});
    const CGColorRef b =
        CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceSRGB), {0.2, 0.4, 0.6, 1.0});
    EXPECT_NE(a, b);
    EXPECT_TRUE(CGColorEqualToColor(a, b));  // the named space is one object
    EXPECT_TRUE(CGColorEqualToColor(a, a));
    EXPECT_FALSE(
        CGColorEqualToColor(a, CGColorCreate(named(kCGColorSpaceSRGB), {0.2, 0.4, 0.6, 0.5})));
    EXPECT_FALSE(
        CGColorEqualToColor(a, CGColorCreate(named(kCGColorSpaceSRGB), {0.2, 0.4, 0.61, 1.0})));
    // Same numbers, other space: different colours.
    EXPECT_FALSE(
        CGColorEqualToColor(a, CGColorCreate(named(kCGColorSpaceDisplayP3), {0.2, 0.4, 0.6, 1.0})));
    EXPECT_FALSE(
        CGColorEqualToColor(a, CGColorCreate(CGColorSpaceCreateDeviceRGB(), {0.2, 0.4, 0.6, 1.0})));
    // Two spaces made from the same profile bytes are two objects, so their colours differ.
    const auto profile = makeRGBProfile("Display P3", kDisplayP3Primaries, 0);
    const CGColorRef p = CGColorCreate(
        CGColorSpaceCreateWithICCData(std::span<const uint8_t>(profile)), {0.2, 0.4, 0.6, 1.0});
    const CGColorRef q = CGColorCreate(
        CGColorSpaceCreateWithICCData(std::span<const uint8_t>(profile)), {0.2, 0.4, 0.6, 1.0});
    EXPECT_FALSE(CGColorEqualToColor(p, q));
    EXPECT_TRUE(CGColorEqualToColor(p, CGColorCreateCopyWithAlpha(p, 1.0)));
    // Nulls: two nulls are equal, as CoreGraphics documents; a null and a colour are not.
    EXPECT_TRUE(CGColorEqualToColor(nullptr, nullptr));
    EXPECT_FALSE(CGColorEqualToColor(a, nullptr));
    EXPECT_FALSE(CGColorEqualToColor(nullptr, a));
}

// ---- Matching

// The known value: Display P3 red is outside sRGB; in extended sRGB it keeps its colour.
TEST(Part3_3_Colours, DisplayP3RedMatchedToExtendedSRGB) {
    const CGColorRef red = CGColorCreate(named(kCGColorSpaceDisplayP3), {1.0, 0.0, 0.0, 1.0});
    const auto extended = matched(red, kCGColorSpaceExtendedSRGB);
    expectComponents(extended, {1.0930, -0.2267, -0.1501, 1.0}, 0.002);
    const Vec3 reference = convertSRGBCurveSpaces({1, 0, 0}, kDisplayP3Primaries, kSRGBPrimaries);
    expectComponents(extended, {reference[0], reference[1], reference[2], 1.0}, 0.001);
    EXPECT_EQ(CGColorGetColorSpace(CGColorCreateCopyByMatchingToColorSpace(
                  named(kCGColorSpaceExtendedSRGB), kCGRenderingIntentDefault, red, nullptr)),
              named(kCGColorSpaceExtendedSRGB));
}

TEST(Part3_3_Colours, DisplayP3RedMatchedToSRGBIsClamped) {
    const CGColorRef red = CGColorCreate(named(kCGColorSpaceDisplayP3), {1.0, 0.0, 0.0, 0.5});
    expectComponents(matched(red, kCGColorSpaceSRGB), {1.0, 0.0, 0.0, 0.5}, 1e-9);
}

TEST(Part3_3_Colours, SRGBToDisplayP3AndBackRoundTrips) {
    const std::vector<Vec3> colours{{0, 0, 0},       {1, 1, 1},       {1, 0, 0},
                                    {0, 1, 0},       {0.1, 0.1, 0.9}, {0.2, 0.5, 0.8},
                                    {0.9, 0.1, 0.4}, {0.5, 0.5, 0.5}, {0.01, 0.02, 0.03}};
    for (const auto& c : colours) {
        SCOPED_TRACE(testing::Message() << c[0] << ", " << c[1] << ", " << c[2]);
        const CGColorRef sRGB = CGColorCreate(named(kCGColorSpaceSRGB), {c[0], c[1], c[2], 0.75});
        const CGColorRef p3 = CGColorCreateCopyByMatchingToColorSpace(
            named(kCGColorSpaceDisplayP3), kCGRenderingIntentPerceptual, sRGB, nullptr);
        const Vec3 reference = convertSRGBCurveSpaces(c, kSRGBPrimaries, kDisplayP3Primaries);
        expectComponents(componentsOf(p3), {reference[0], reference[1], reference[2], 0.75}, 1e-3);
        expectComponents(matched(p3, kCGColorSpaceSRGB, kCGRenderingIntentPerceptual),
                         {c[0], c[1], c[2], 0.75}, 1e-4);
    }
    // sRGB's blue primary is also Display P3's, so pure blue lies on the edge of P3: with the
    // profiles' colourants rounded to the ICC's 16-bit fractions, one P3 component comes out a hair
    // below 0 and is clamped, and the way back differs by about 2e-5 in linear light (3e-4 after
    // the sRGB curve's steep foot, 0.07 of an 8-bit step).
    const CGColorRef blue = CGColorCreate(named(kCGColorSpaceSRGB), {0.0, 0.0, 1.0, 1.0});
    const CGColorRef blueP3 = CGColorCreateCopyByMatchingToColorSpace(
        named(kCGColorSpaceDisplayP3), kCGRenderingIntentPerceptual, blue, nullptr);
    expectComponents(matched(blueP3, kCGColorSpaceSRGB), {0.0, 0.0, 1.0, 1.0}, 5e-4);
}

TEST(Part3_3_Colours, AdobeRGBMatchesTheIndependentComputation) {
    const cmsCIExyYTRIPLE adobe{{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
    const double gamma = 563.0 / 256.0;
    const Vec3 colour{0.3, 0.7, 0.2};
    const Vec3 linear = multiply(
        product(inverse(rgbToXYZ(kSRGBPrimaries)), rgbToXYZ(adobe)),
        {std::pow(colour[0], gamma), std::pow(colour[1], gamma), std::pow(colour[2], gamma)});
    const CGColorRef c =
        CGColorCreate(named(kCGColorSpaceAdobeRGB1998), {colour[0], colour[1], colour[2], 1.0});
    expectComponents(
        matched(c, kCGColorSpaceExtendedSRGB),
        {linearToSRGB(linear[0]), linearToSRGB(linear[1]), linearToSRGB(linear[2]), 1.0}, 1e-3);
    expectComponents(matched(c, kCGColorSpaceExtendedLinearSRGB),
                     {linear[0], linear[1], linear[2], 1.0}, 1e-3);
}

TEST(Part3_3_Colours, EveryIntentMatches) {
    const CGColorRef c = CGColorCreate(named(kCGColorSpaceAdobeRGB1998), {0.3, 0.7, 0.2, 1.0});
    const auto relative = matched(c, kCGColorSpaceSRGB, kCGRenderingIntentRelativeColorimetric);
    ASSERT_EQ(relative.size(), 4u);
    // Matrix/curve profiles with the same white: every intent computes the same colour, and the
    // default intent is relative colorimetric.
    for (auto intent : {kCGRenderingIntentDefault, kCGRenderingIntentAbsoluteColorimetric,
                        kCGRenderingIntentPerceptual, kCGRenderingIntentSaturation})
        expectComponents(matched(c, kCGColorSpaceSRGB, intent), relative, 1e-6);
}

TEST(Part3_3_Colours, ExtendedSRGBCurveIsMirroredAndContinuesAboveOne) {
    const CGColorRef c = CGColorCreate(named(kCGColorSpaceExtendedSRGB), {1.2, -0.1, 0.5, 1.0});
    const auto linear = matched(c, kCGColorSpaceExtendedLinearSRGB);
    expectComponents(linear, {sRGBToLinear(1.2), -sRGBToLinear(0.1), sRGBToLinear(0.5), 1.0}, 1e-6);
    EXPECT_NEAR(linear[0], 1.5168, 1e-4);   // ((1.2 + 0.055) / 1.055)^2.4
    EXPECT_NEAR(linear[1], -0.0100, 1e-4);  // −((0.1 + 0.055) / 1.055)^2.4
    // And back.
    const CGColorRef back = CGColorCreate(named(kCGColorSpaceExtendedLinearSRGB),
                                          {linear[0], linear[1], linear[2], 1.0});
    expectComponents(matched(back, kCGColorSpaceExtendedSRGB), {1.2, -0.1, 0.5, 1.0}, 1e-6);
    // Into plain sRGB it is clamped (lcms2 evaluates pipelines in single precision: within 1e-5).
    expectComponents(matched(c, kCGColorSpaceSRGB), {1.0, 0.0, 0.5, 1.0}, 1e-5);
}

TEST(Part3_3_Colours, GrayAndRGBMatchIntoEachOther) {
    // Grey → RGB lands on the neutral axis at the grey's luminance.
    const double expectations[][2] = {{0.5, linearToSRGB(std::pow(0.5, 2.2))}};
    for (const auto& e : expectations) {
        const CGColorRef gray = CGColorCreate(named(kCGColorSpaceGenericGrayGamma2_2), {e[0], 1.0});
        expectComponents(matched(gray, kCGColorSpaceSRGB), {e[1], e[1], e[1], 1.0}, 1e-4);
    }
    const CGColorRef linearGray = CGColorCreate(named(kCGColorSpaceLinearGray), {0.5, 0.25});
    expectComponents(matched(linearGray, kCGColorSpaceSRGB), {0.7354, 0.7354, 0.7354, 0.25}, 1e-4);
    const CGColorRef genericGray = CGColorCreate(named(kCGColorSpaceGenericGray), {0.5, 1.0});
    const double g18 = linearToSRGB(std::pow(0.5, 1.8));
    expectComponents(matched(genericGray, kCGColorSpaceSRGB), {g18, g18, g18, 1.0}, 1e-4);
    const CGColorRef deviceGray = CGColorCreate(CGColorSpaceCreateDeviceGray(), {0.5, 1.0});
    expectComponents(matched(deviceGray, kCGColorSpaceSRGB), {0.5, 0.5, 0.5, 1.0}, 0);
    expectComponents(matched(deviceGray, kCGColorSpaceDeviceRGB), {0.5, 0.5, 0.5, 1.0}, 0);
    // RGB → grey takes the luminance.
    const CGColorRef white = CGColorCreate(named(kCGColorSpaceSRGB), {1.0, 1.0, 1.0, 1.0});
    expectComponents(matched(white, kCGColorSpaceGenericGrayGamma2_2), {1.0, 1.0}, 1e-4);
    const CGColorRef midGray = CGColorCreate(named(kCGColorSpaceSRGB), {0.5, 0.5, 0.5, 1.0});
    expectComponents(matched(midGray, kCGColorSpaceLinearGray), {sRGBToLinear(0.5), 1.0}, 1e-4);
    const CGColorRef green = CGColorCreate(named(kCGColorSpaceSRGB), {0.0, 1.0, 0.0, 1.0});
    // Green's luminance in the D50 PCS: the Y of sRGB's adapted green colourant (0.7152 at D65).
    expectComponents(matched(green, kCGColorSpaceLinearGray), {0.7169, 1.0}, 1e-3);
    // Grey into the extended linear space.
    expectComponents(matched(linearGray, kCGColorSpaceExtendedLinearSRGB), {0.5, 0.5, 0.5, 0.25},
                     1e-4);
}

TEST(Part3_3_Colours, DeviceRGBMatchesAsSRGB) {
    const CGColorRef device = CGColorCreate(CGColorSpaceCreateDeviceRGB(), {0.2, 0.4, 0.6, 1.0});
    expectComponents(matched(device, kCGColorSpaceSRGB), {0.2, 0.4, 0.6, 1.0}, 0);
    const CGColorRef sRGB = CGColorCreate(named(kCGColorSpaceSRGB), {0.2, 0.4, 0.6, 1.0});
    expectComponents(matched(device, kCGColorSpaceDisplayP3), matched(sRGB, kCGColorSpaceDisplayP3),
                     0);
}

TEST(Part3_3_Colours, ProfileSpacesMatchLikeTheNamedSpaceTheyDescribe) {
    const auto profile = makeRGBProfile("Display P3", kDisplayP3Primaries, 0);
    const CGColorSpaceRef fromProfile =
        CGColorSpaceCreateWithICCData(std::span<const uint8_t>(profile));
    for (const Vec3& c : {Vec3{1, 0, 0}, Vec3{0.4, 0.6, 0.4}, Vec3{0.1, 0.9, 0.3}}) {
        const CGColorRef a = CGColorCreate(fromProfile, {c[0], c[1], c[2], 1.0});
        const CGColorRef b = CGColorCreate(named(kCGColorSpaceDisplayP3), {c[0], c[1], c[2], 1.0});
        expectComponents(matched(a, kCGColorSpaceExtendedSRGB),
                         matched(b, kCGColorSpaceExtendedSRGB), 1e-4);
        // And into a profile space.
        const auto toProfile = componentsOf(CGColorCreateCopyByMatchingToColorSpace(
            fromProfile, kCGRenderingIntentDefault,
            CGColorCreate(named(kCGColorSpaceSRGB), {c[0], c[1], c[2], 1.0}), nullptr));
        expectComponents(toProfile,
                         matched(CGColorCreate(named(kCGColorSpaceSRGB), {c[0], c[1], c[2], 1.0}),
                                 kCGColorSpaceDisplayP3),
                         1e-4);
    }
}

TEST(Part3_3_Colours, MatchingToItsOwnSpaceReturnsTheColour) {
    const CGColorRef c = CGColorCreate(named(kCGColorSpaceExtendedSRGB), {1.5, -0.5, 0.5, 1.0});
    EXPECT_EQ(CGColorCreateCopyByMatchingToColorSpace(named(kCGColorSpaceExtendedSRGB),
                                                      kCGRenderingIntentDefault, c, nullptr),
              c);
}

TEST(Part3_3_Colours, MatchingNullGivesNull) {
    const CGColorRef c = CGColorCreate(named(kCGColorSpaceSRGB), {1.0, 0.0, 0.0, 1.0});
    EXPECT_EQ(
        CGColorCreateCopyByMatchingToColorSpace(nullptr, kCGRenderingIntentDefault, c, nullptr),
        nullptr);
    EXPECT_EQ(CGColorCreateCopyByMatchingToColorSpace(named(kCGColorSpaceSRGB),
                                                      kCGRenderingIntentDefault, nullptr, nullptr),
              nullptr);
}

// ---- Drawing: every colour is converted into sRGB

TEST(Part3_3_Colours, DrawingConvertsDisplayP3IntoSRGB) {
    // An in-gamut Display P3 green is a different sRGB colour, computed independently.
    const Vec3 p3{0.4, 0.6, 0.4};
    const CGColorRef green =
        CGColorCreate(named(kCGColorSpaceDisplayP3), {p3[0], p3[1], p3[2], 0.8});
    const auto drawn = CGColorGetSRGBComponentsForDrawing(green);
    const Vec3 reference = convertSRGBCurveSpaces(p3, kDisplayP3Primaries, kSRGBPrimaries);
    expectComponents({drawn.begin(), drawn.end()}, {reference[0], reference[1], reference[2], 0.8},
                     1e-3);
    EXPECT_GT(std::fabs(drawn[0] - p3[0]), 0.05);  // not the same numbers taken as sRGB
    // The most saturated P3 green is clipped to sRGB.
    const auto fullGreen = CGColorGetSRGBComponentsForDrawing(
        CGColorCreate(named(kCGColorSpaceDisplayP3), {0.0, 1.0, 0.0, 1.0}));
    const Vec3 unclipped = convertSRGBCurveSpaces({0, 1, 0}, kDisplayP3Primaries, kSRGBPrimaries);
    expectComponents(
        {fullGreen.begin(), fullGreen.end()},
        {clampUnit(unclipped[0]), clampUnit(unclipped[1]), clampUnit(unclipped[2]), 1.0}, 1e-3);
    // sRGB colours pass through unchanged.
    const auto sRGBGreen = CGColorGetSRGBComponentsForDrawing(
        CGColorCreate(named(kCGColorSpaceSRGB), {p3[0], p3[1], p3[2], 0.8}));
    expectComponents({sRGBGreen.begin(), sRGBGreen.end()}, {p3[0], p3[1], p3[2], 0.8}, 1e-6);
}

TEST(Part3_3_Colours, DrawingTakesDeviceSpacesAsSRGB) {
    const auto device = CGColorGetSRGBComponentsForDrawing(
        CGColorCreate(CGColorSpaceCreateDeviceRGB(), {0.2, 0.4, 0.6, 0.5}));
    EXPECT_EQ(device, (std::array<CGFloat, 4>{0.2, 0.4, 0.6, 0.5}));
    const auto sRGB = CGColorGetSRGBComponentsForDrawing(
        CGColorCreate(named(kCGColorSpaceSRGB), {0.2, 0.4, 0.6, 0.5}));
    EXPECT_EQ(device, sRGB);
    const auto gray = CGColorGetSRGBComponentsForDrawing(
        CGColorCreate(CGColorSpaceCreateDeviceGray(), {0.3, 1.0}));
    EXPECT_EQ(gray, (std::array<CGFloat, 4>{0.3, 0.3, 0.3, 1.0}));
}

TEST(Part3_3_Colours, DrawingClampsExtendedColoursAndDrawsNullAsNothing) {
    const auto extended = CGColorGetSRGBComponentsForDrawing(
        CGColorCreate(named(kCGColorSpaceExtendedSRGB), {1.5, -0.5, 0.5, 1.0}));
    expectComponents({extended.begin(), extended.end()}, {1.0, 0.0, 0.5, 1.0}, 1e-5);
    EXPECT_EQ(CGColorGetSRGBComponentsForDrawing(nullptr), (std::array<CGFloat, 4>{0, 0, 0, 0}));
}

// Colours are matched on several threads at once (drawing, the mipmap queue): the same results.
TEST(Part3_3_Colours, ConcurrentMatchingGivesTheSameResults) {
    const std::vector<CGColorRef> colours{
        CGColorCreate(named(kCGColorSpaceDisplayP3), {0.4, 0.6, 0.4, 1.0}),
        CGColorCreate(named(kCGColorSpaceAdobeRGB1998), {0.9, 0.2, 0.1, 1.0}),
        CGColorCreate(named(kCGColorSpaceGenericGray), {0.7, 1.0}),
        CGColorCreate(named(kCGColorSpaceExtendedSRGB), {1.1, 0.2, -0.1, 1.0}),
        CGColorCreate(named(kCGColorSpaceGenericRGB), {0.3, 0.3, 0.9, 1.0}),
    };
    const char* targets[] = {kCGColorSpaceSRGB, kCGColorSpaceExtendedLinearSRGB,
                             kCGColorSpaceLinearGray, kCGColorSpaceDisplayP3};
    std::vector<std::vector<CGFloat>> expected;
    for (const auto& c : colours)
        for (const char* t : targets) expected.push_back(matched(c, t));
    // A profile space with no transform built yet besides the one to sRGB, so that the threads race
    // on building and caching its transforms; its twin (same bytes) gives the expected values.
    const auto profile = makeRGBProfile("Generic RGB Profile", kP22Primaries, 1.8);
    const CGColorSpaceRef twin = CGColorSpaceCreateWithICCData(std::span<const uint8_t>(profile));
    const CGColorSpaceRef fresh = CGColorSpaceCreateWithICCData(std::span<const uint8_t>(profile));
    for (const char* t : targets)
        expected.push_back(matched(CGColorCreate(twin, {0.3, 0.3, 0.9, 1.0}), t));
    const CGColorRef freshColour = CGColorCreate(fresh, {0.3, 0.3, 0.9, 1.0});
    std::vector<std::thread> threads;
    std::vector<int> mismatches(8, 0);
    for (size_t t = 0; t < mismatches.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                size_t k = 0;
                for (const char* target : targets)
                    if (matched(freshColour, target) !=
                        expected[colours.size() * std::size(targets) + k++])
                        ++mismatches[t];
                k = 0;
                for (const auto& c : colours)
                    for (const char* target : targets)
                        if (matched(c, target) != expected[k++]) ++mismatches[t];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int m : mismatches) EXPECT_EQ(m, 0);
}
