// Colours: creation with the space's range, equality by space identity, matching between spaces
// through lcms2 against known values and an independent matrix computation, and the conversion
// every drawn colour takes into the output space (sRGB).

#include <gtest/gtest.h>

#include <algorithm>
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

std::vector<CGFloat> matched(const CGColorRef& colour, const char* space,
                             CGColorRenderingIntent intent = kCGRenderingIntentDefault) {
    return componentsOf(
        CGColorCreateCopyByMatchingToColorSpace(named(space), intent, colour, nullptr));
}

std::vector<CGFloat> drawn(const CGColorRef& colour) {
    const auto c = CGColorGetSRGBComponentsForDrawing(colour);
    return {c.begin(), c.end()};
}

void expectComponents(const std::vector<CGFloat>& actual, const std::vector<CGFloat>& expected,
                      double tolerance) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

}  // namespace

TEST(CGColor, CreationKeepsTheSpacesRange) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        CGColorSpaceRef space;
        std::vector<CGFloat> given, kept;  // kept empty: refused
    };
    const Case cases[] = {
        {named(kCGColorSpaceSRGB), {0.25, 0.5, 0.75, 0.5}, {0.25, 0.5, 0.75, 0.5}},
        {named(kCGColorSpaceGenericGrayGamma2_2), {0.3, 1.0}, {0.3, 1.0}},
        {named(kCGColorSpaceSRGB), {1.2, -0.5, nan, 2.0}, {1.0, 0.0, 0.0, 1.0}},
        // Extended range keeps components outside 0…1; alpha is always 0…1.
        {named(kCGColorSpaceExtendedSRGB), {1.2, -0.5, nan, -1.0}, {1.2, -0.5, 0.0, 0.0}},
        {named(kCGColorSpaceExtendedLinearSRGB), {4.0, -2.0, 0.5, 0.5}, {4.0, -2.0, 0.5, 0.5}},
        {nullptr, {1.0, 0.0, 0.0, 1.0}, {}},
        {named(kCGColorSpaceSRGB), {1.0, 0.0, 1.0}, {}},
        {named(kCGColorSpaceSRGB), {1.0, 0.0, 0.0, 1.0, 1.0}, {}},
        {named(kCGColorSpaceGenericGray), {1.0, 0.0, 0.0, 1.0}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.given));
        const CGColorRef colour = CGColorCreate(c.space, c.given);
        EXPECT_EQ(componentsOf(colour), c.kept);
        if (!colour) continue;
        EXPECT_EQ(CGColorGetColorSpace(colour), c.space);
        EXPECT_EQ(CGColorGetAlpha(colour), c.kept.back());
    }
    EXPECT_EQ(CGColorCreate(named(kCGColorSpaceSRGB), static_cast<const CGFloat*>(nullptr)),
              nullptr);
    const CGColorRef none;
    EXPECT_EQ(CGColorGetColorSpace(none), nullptr);
    EXPECT_EQ(CGColorGetNumberOfComponents(none), 0u);
    EXPECT_EQ(CGColorGetAlpha(none), 0.0);
}

TEST(CGColor, CopyWithAlphaReplacesOnlyAlpha) {
    const CGColorRef colour = CGColorCreate(named(kCGColorSpaceDisplayP3), {0.1, 0.2, 0.3, 1.0});
    const CGColorRef copy = CGColorCreateCopyWithAlpha(colour, 0.25);
    EXPECT_EQ(CGColorGetColorSpace(copy), CGColorGetColorSpace(colour));
    EXPECT_EQ(componentsOf(copy), (std::vector<CGFloat>{0.1, 0.2, 0.3, 0.25}));
    EXPECT_EQ(CGColorGetAlpha(CGColorCreateCopyWithAlpha(colour, 3.0)), 1.0);
    EXPECT_EQ(CGColorGetAlpha(CGColorCreateCopyWithAlpha(colour, -1.0)), 0.0);
    EXPECT_EQ(CGColorCreateCopyWithAlpha(nullptr, 0.5), nullptr);
    EXPECT_EQ(CGColorGetAlpha(colour), 1.0);
}

// Equal colours have the identical space object and equal components.
TEST(CGColor, EqualityComparesSpaceIdentityAndComponents) {
    const auto sRGB = [](std::initializer_list<CGFloat> c) {
        return CGColorCreate(named(kCGColorSpaceSRGB), c);
    };
    const CGColorRef a = sRGB({0.2, 0.4, 0.6, 1.0});
    const auto profile = makeRGBProfile("Display P3", kDisplayP3Primaries, 0);
    const auto fromProfile = [&] {
        return CGColorCreate(CGColorSpaceCreateWithICCData(std::span<const uint8_t>(profile)),
                             {0.2, 0.4, 0.6, 1.0});
    };
    const CGColorRef p = fromProfile();
    const struct {
        CGColorRef x, y;
        bool equal;
    } cases[] = {
        {a, sRGB({0.2, 0.4, 0.6, 1.0}), true},
        {a, a, true},
        {a, sRGB({0.2, 0.4, 0.6, 0.5}), false},
        {a, sRGB({0.2, 0.4, 0.61, 1.0}), false},
        {a, CGColorCreate(named(kCGColorSpaceDisplayP3), {0.2, 0.4, 0.6, 1.0}), false},
        {a, CGColorCreate(CGColorSpaceCreateDeviceRGB(), {0.2, 0.4, 0.6, 1.0}), false},
        {p, fromProfile(), false},  // two spaces from the same bytes are two spaces
        {p, CGColorCreateCopyWithAlpha(p, 1.0), true},
        {nullptr, nullptr, true},
        {a, nullptr, false},
        {nullptr, a, false},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(CGColorEqualToColor(cases[i].x, cases[i].y), cases[i].equal) << "case " << i;
}

TEST(CGColorMatching, KnownValues) {
    const double g22 = linearToSRGB(std::pow(0.5, 2.2)), g18 = linearToSRGB(std::pow(0.5, 1.8));
    struct Case {
        const char* from;
        std::vector<CGFloat> colour;
        const char* to;
        std::vector<CGFloat> expected;
        double tolerance;
    };
    const Case cases[] = {
        // Display P3 red lies outside sRGB: extended sRGB keeps it, sRGB clamps it.
        {kCGColorSpaceDisplayP3,
         {1, 0, 0, 1},
         kCGColorSpaceExtendedSRGB,
         {1.0930, -0.2267, -0.1501, 1},
         0.002},
        {kCGColorSpaceDisplayP3, {1, 0, 0, 0.5}, kCGColorSpaceSRGB, {1, 0, 0, 0.5}, 1e-9},
        // The extended sRGB curve is mirrored below 0 and continues above 1.
        {kCGColorSpaceExtendedSRGB,
         {1.2, -0.1, 0.5, 1},
         kCGColorSpaceExtendedLinearSRGB,
         {1.5168, -0.0100, sRGBToLinear(0.5), 1},
         1e-4},
        {kCGColorSpaceExtendedLinearSRGB,
         {sRGBToLinear(1.2), -sRGBToLinear(0.1), 0.5, 1},
         kCGColorSpaceExtendedSRGB,
         {1.2, -0.1, linearToSRGB(0.5), 1},
         1e-6},
        // lcms2 evaluates in single precision: within 1e-5.
        {kCGColorSpaceExtendedSRGB, {1.2, -0.1, 0.5, 1}, kCGColorSpaceSRGB, {1, 0, 0.5, 1}, 1e-5},
        // Grey lands on the neutral axis at its luminance; RGB into grey takes the luminance.
        {kCGColorSpaceGenericGrayGamma2_2, {0.5, 1}, kCGColorSpaceSRGB, {g22, g22, g22, 1}, 1e-4},
        {kCGColorSpaceGenericGray, {0.5, 1}, kCGColorSpaceSRGB, {g18, g18, g18, 1}, 1e-4},
        {kCGColorSpaceLinearGray,
         {0.5, 0.25},
         kCGColorSpaceSRGB,
         {0.7354, 0.7354, 0.7354, 0.25},
         1e-4},
        {kCGColorSpaceLinearGray,
         {0.5, 0.25},
         kCGColorSpaceExtendedLinearSRGB,
         {0.5, 0.5, 0.5, 0.25},
         1e-4},
        {kCGColorSpaceDeviceGray, {0.5, 1}, kCGColorSpaceSRGB, {0.5, 0.5, 0.5, 1}, 0},
        {kCGColorSpaceDeviceGray, {0.5, 1}, kCGColorSpaceDeviceRGB, {0.5, 0.5, 0.5, 1}, 0},
        {kCGColorSpaceDeviceRGB, {0.2, 0.4, 0.6, 1}, kCGColorSpaceSRGB, {0.2, 0.4, 0.6, 1}, 0},
        {kCGColorSpaceSRGB, {1, 1, 1, 1}, kCGColorSpaceGenericGrayGamma2_2, {1, 1}, 1e-4},
        {kCGColorSpaceSRGB,
         {0.5, 0.5, 0.5, 1},
         kCGColorSpaceLinearGray,
         {sRGBToLinear(0.5), 1},
         1e-4},
        // Green's luminance in the D50 PCS: the Y of sRGB's adapted green colourant.
        {kCGColorSpaceSRGB, {0, 1, 0, 1}, kCGColorSpaceLinearGray, {0.7169, 1}, 1e-3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " → " << c.to);
        const CGColorRef colour = CGColorCreate(named(c.from), c.colour);
        expectComponents(matched(colour, c.to), c.expected, c.tolerance);
        EXPECT_EQ(CGColorGetColorSpace(CGColorCreateCopyByMatchingToColorSpace(
                      named(c.to), kCGRenderingIntentDefault, colour, nullptr)),
                  named(c.to));
    }
}

TEST(CGColorMatching, AgreesWithTheIndependentComputation) {
    // Adobe RGB (gamma 563/256) into extended sRGB and its linear twin, in every intent: matrix and
    // curve profiles with the same white give the same colour whatever the intent.
    const Vec3 adobe{0.3, 0.7, 0.2};
    const double gamma = 563.0 / 256.0;
    const Vec3 linear{std::pow(adobe[0], gamma), std::pow(adobe[1], gamma),
                      std::pow(adobe[2], gamma)};
    const Vec3 sRGB = convertLinear(linear, kAdobeRGBPrimaries, kSRGBPrimaries);
    const CGColorRef c =
        CGColorCreate(named(kCGColorSpaceAdobeRGB1998), {adobe[0], adobe[1], adobe[2], 1.0});
    for (auto intent : {kCGRenderingIntentDefault, kCGRenderingIntentAbsoluteColorimetric,
                        kCGRenderingIntentRelativeColorimetric, kCGRenderingIntentPerceptual,
                        kCGRenderingIntentSaturation})
        expectComponents(matched(c, kCGColorSpaceExtendedSRGB, intent),
                         {sRGB[0], sRGB[1], sRGB[2], 1.0}, 1e-3);
    expectComponents(matched(c, kCGColorSpaceExtendedLinearSRGB),
                     {sRGBToLinear(sRGB[0]), sRGBToLinear(sRGB[1]), sRGBToLinear(sRGB[2]), 1.0},
                     1e-3);
    // sRGB → Display P3 → sRGB, and a space made from a Display P3 profile matches alike.
    const CGColorSpaceRef fromProfile = CGColorSpaceCreateWithICCData(
        std::span<const uint8_t>(makeRGBProfile("Display P3", kDisplayP3Primaries, 0)));
    for (const Vec3& v : {Vec3{0, 0, 0}, Vec3{1, 1, 1}, Vec3{1, 0, 0}, Vec3{0, 1, 0},
                          Vec3{0.2, 0.5, 0.8}, Vec3{0.9, 0.1, 0.4}, Vec3{0.01, 0.02, 0.03}}) {
        SCOPED_TRACE(testing::PrintToString(v));
        const CGColorRef colour = CGColorCreate(named(kCGColorSpaceSRGB), {v[0], v[1], v[2], 0.75});
        const Vec3 p3 = convertSRGBCurveSpaces(v, kSRGBPrimaries, kDisplayP3Primaries);
        const auto inP3 = matched(colour, kCGColorSpaceDisplayP3, kCGRenderingIntentPerceptual);
        expectComponents(inP3, {p3[0], p3[1], p3[2], 0.75}, 1e-3);
        const CGColorRef back = CGColorCreate(named(kCGColorSpaceDisplayP3), inP3);
        expectComponents(matched(back, kCGColorSpaceSRGB), {v[0], v[1], v[2], 0.75}, 1e-4);
        expectComponents(componentsOf(CGColorCreateCopyByMatchingToColorSpace(
                             fromProfile, kCGRenderingIntentDefault, colour, nullptr)),
                         inP3, 1e-4);
        expectComponents(
            matched(CGColorCreate(fromProfile, {v[0], v[1], v[2], 1}), kCGColorSpaceExtendedSRGB),
            matched(CGColorCreate(named(kCGColorSpaceDisplayP3), {v[0], v[1], v[2], 1}),
                    kCGColorSpaceExtendedSRGB),
            1e-4);
    }
    // sRGB's blue primary is also Display P3's, so pure blue lies on P3's edge: with colourants
    // rounded to the ICC's 16-bit fractions one P3 component comes out a hair below 0 and is
    // clamped, and the way back differs by 3e-4 after the sRGB curve's steep foot.
    const CGColorRef blue = CGColorCreate(named(kCGColorSpaceSRGB), {0.0, 0.0, 1.0, 1.0});
    const CGColorRef blueP3 =
        CGColorCreate(named(kCGColorSpaceDisplayP3), matched(blue, kCGColorSpaceDisplayP3));
    expectComponents(matched(blueP3, kCGColorSpaceSRGB), {0.0, 0.0, 1.0, 1.0}, 5e-4);
}

TEST(CGColorMatching, OwnSpaceGivesTheColourAndNullGivesNull) {
    const CGColorRef c = CGColorCreate(named(kCGColorSpaceExtendedSRGB), {1.5, -0.5, 0.5, 1.0});
    const auto copy = [&](CGColorSpaceRef space, CGColorRef colour) {
        return CGColorCreateCopyByMatchingToColorSpace(space, kCGRenderingIntentDefault, colour,
                                                       nullptr);
    };
    EXPECT_EQ(copy(named(kCGColorSpaceExtendedSRGB), c), c);
    EXPECT_EQ(copy(nullptr, c), nullptr);
    EXPECT_EQ(copy(named(kCGColorSpaceSRGB), nullptr), nullptr);
}

// Every drawn colour is converted into sRGB and clamped there; device spaces are taken as sRGB.
TEST(CGColorDrawing, ConvertsIntoSRGB) {
    const Vec3 p3{0.4, 0.6, 0.4};
    const Vec3 inSRGB = convertSRGBCurveSpaces(p3, kDisplayP3Primaries, kSRGBPrimaries);
    const Vec3 fullGreen = convertSRGBCurveSpaces({0, 1, 0}, kDisplayP3Primaries, kSRGBPrimaries);
    const auto clamp = [](double v) { return std::clamp(v, 0.0, 1.0); };
    const struct {
        CGColorRef colour;
        std::vector<CGFloat> expected;
        double tolerance;
    } cases[] = {
        {CGColorCreate(named(kCGColorSpaceDisplayP3), {p3[0], p3[1], p3[2], 0.8}),
         {inSRGB[0], inSRGB[1], inSRGB[2], 0.8},
         1e-3},
        {CGColorCreate(named(kCGColorSpaceDisplayP3), {0.0, 1.0, 0.0, 1.0}),
         {clamp(fullGreen[0]), clamp(fullGreen[1]), clamp(fullGreen[2]), 1.0},
         1e-3},
        {CGColorCreate(named(kCGColorSpaceSRGB), {0.4, 0.6, 0.4, 0.8}), {0.4, 0.6, 0.4, 0.8}, 1e-6},
        {CGColorCreate(CGColorSpaceCreateDeviceRGB(), {0.2, 0.4, 0.6, 0.5}),
         {0.2, 0.4, 0.6, 0.5},
         0},
        {CGColorCreate(CGColorSpaceCreateDeviceGray(), {0.3, 1.0}), {0.3, 0.3, 0.3, 1.0}, 0},
        {CGColorCreate(named(kCGColorSpaceExtendedSRGB), {1.5, -0.5, 0.5, 1.0}),
         {1.0, 0.0, 0.5, 1.0},
         1e-5},
        {nullptr, {0, 0, 0, 0}, 0},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        expectComponents(drawn(cases[i].colour), cases[i].expected, cases[i].tolerance);
    }
    EXPECT_GT(std::fabs(inSRGB[0] - p3[0]), 0.05);  // not the same numbers taken as sRGB
}

// Colours are matched on several threads at once (drawing, the mipmap queue): the same results,
// also while the threads race to build and cache the transforms of a fresh profile space.
TEST(CGColorMatching, ConcurrentMatchingGivesTheSameResults) {
    const auto profile = makeRGBProfile("Generic RGB Profile", kP22Primaries, 1.8);
    const CGColorSpaceRef twin = CGColorSpaceCreateWithICCData(std::span<const uint8_t>(profile));
    const CGColorSpaceRef fresh = CGColorSpaceCreateWithICCData(std::span<const uint8_t>(profile));
    const std::vector<CGColorRef> colours{
        CGColorCreate(named(kCGColorSpaceDisplayP3), {0.4, 0.6, 0.4, 1.0}),
        CGColorCreate(named(kCGColorSpaceAdobeRGB1998), {0.9, 0.2, 0.1, 1.0}),
        CGColorCreate(named(kCGColorSpaceGenericGray), {0.7, 1.0}),
        CGColorCreate(named(kCGColorSpaceExtendedSRGB), {1.1, 0.2, -0.1, 1.0}),
        CGColorCreate(fresh, {0.3, 0.3, 0.9, 1.0}),
    };
    const char* targets[] = {kCGColorSpaceSRGB, kCGColorSpaceExtendedLinearSRGB,
                             kCGColorSpaceLinearGray, kCGColorSpaceDisplayP3};
    std::vector<std::vector<CGFloat>> expected;
    for (const auto& c : colours)
        for (const char* t : targets)
            expected.push_back(c.get() == colours.back().get()
                                   ? matched(CGColorCreate(twin, {0.3, 0.3, 0.9, 1.0}), t)
                                   : matched(c, t));
    std::vector<int> mismatches(8, 0);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < mismatches.size(); ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                size_t k = 0;
                for (size_t c = colours.size(); c-- > 0;)  // the fresh space first
                    for (size_t i = 0; i < std::size(targets); ++i, ++k)
                        mismatches[t] +=
                            matched(colours[c], targets[i]) != expected[c * std::size(targets) + i];
            }
        });
    for (auto& thread : threads) thread.join();
    for (int m : mismatches) EXPECT_EQ(m, 0);
}
