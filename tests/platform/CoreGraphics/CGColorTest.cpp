// Colours: creation within the space's range, matching between spaces, drawn colours in sRGB.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
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

void expectComponents(const std::vector<CGFloat>& actual, const std::vector<CGFloat>& expected,
                      double tolerance) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

}  // namespace

// Components outside 0…1 are clamped unless the space is extended; alpha always is.
TEST(CGColor, CreationKeepsTheSpacesRange) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // clang-format off
    struct Case { CGColorSpaceRef space; std::vector<CGFloat> given, kept; };  // kept empty: refused
    const Case cases[] = {
        {named(kCGColorSpaceGenericGrayGamma2_2), {0.3, 1.0}, {0.3, 1.0}},
        {named(kCGColorSpaceSRGB), {1.2, -0.5, nan, 2.0}, {1.0, 0.0, 0.0, 1.0}},
        {named(kCGColorSpaceExtendedSRGB), {1.2, -0.5, nan, -1.0}, {1.2, -0.5, 0.0, 0.0}}, {nullptr, {1.0, 0.0, 0.0, 1.0}, {}},
        {named(kCGColorSpaceSRGB), {1.0, 0.0, 1.0}, {}}, {named(kCGColorSpaceGenericGray), {1.0, 0.0, 0.0, 1.0}, {}},
    };  // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.given));
        const CGColorRef colour = CGColorCreate(c.space, c.given);
        EXPECT_EQ(componentsOf(colour), c.kept);
        EXPECT_EQ(CGColorGetAlpha(colour), c.kept.empty() ? 0.0 : c.kept.back());
    }
    const CGColorRef colour = CGColorCreate(named(kCGColorSpaceDisplayP3), {0.1, 0.2, 0.3, 1.0});
    EXPECT_EQ(componentsOf(CGColorCreateCopyWithAlpha(colour, 0.25)),
              (std::vector<CGFloat>{0.1, 0.2, 0.3, 0.25}));
    EXPECT_EQ(CGColorGetAlpha(CGColorCreateCopyWithAlpha(colour, 3.0)), 1.0);
}

TEST(CGColorMatching, KnownValues) {
    const double g22 = linearToSRGB(std::pow(0.5, 2.2));
    // clang-format off
    struct Case { const char* from; std::vector<CGFloat> colour; const char* to; std::vector<CGFloat> expected; double tolerance; };
    const Case cases[] = {
        // Display P3 red lies outside sRGB: extended sRGB keeps it, sRGB clamps it.
        {kCGColorSpaceDisplayP3, {1, 0, 0, 1}, kCGColorSpaceExtendedSRGB, {1.0930, -0.2267, -0.1501, 1}, 0.002},
        {kCGColorSpaceDisplayP3, {1, 0, 0, 0.5}, kCGColorSpaceSRGB, {1, 0, 0, 0.5}, 1e-9},
        // The extended sRGB curve is mirrored below 0 and continues above 1.
        {kCGColorSpaceExtendedSRGB, {1.2, -0.1, 0.5, 1}, kCGColorSpaceExtendedLinearSRGB, {1.5168, -0.0100, sRGBToLinear(0.5), 1}, 1e-4},
        {kCGColorSpaceExtendedLinearSRGB, {sRGBToLinear(1.2), -sRGBToLinear(0.1), 0.5, 1}, kCGColorSpaceExtendedSRGB, {1.2, -0.1, linearToSRGB(0.5), 1}, 1e-6},
        {kCGColorSpaceExtendedSRGB, {1.2, -0.1, 0.5, 1}, kCGColorSpaceSRGB, {1, 0, 0.5, 1}, 1e-5},  // lcms2 works in floats
        // Grey lands on the neutral axis at its luminance; RGB into grey takes the luminance.
        {kCGColorSpaceGenericGrayGamma2_2, {0.5, 1}, kCGColorSpaceSRGB, {g22, g22, g22, 1}, 1e-4},
        {kCGColorSpaceDeviceGray, {0.5, 1}, kCGColorSpaceDeviceRGB, {0.5, 0.5, 0.5, 1}, 0},
        {kCGColorSpaceSRGB, {0.5, 0.5, 0.5, 1}, kCGColorSpaceLinearGray, {sRGBToLinear(0.5), 1}, 1e-4},
        {kCGColorSpaceSRGB, {0, 1, 0, 1}, kCGColorSpaceLinearGray, {0.7169, 1}, 1e-3},  // green's Y in D50
    };  // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " → " << c.to);
        const CGColorRef colour = CGColorCreate(named(c.from), c.colour);
        const CGColorRef result = CGColorCreateCopyByMatchingToColorSpace(
            named(c.to), kCGRenderingIntentDefault, colour, nullptr);
        expectComponents(componentsOf(result), c.expected, c.tolerance);
        EXPECT_EQ(CGColorGetColorSpace(result), named(c.to));
    }
    const CGColorRef c = CGColorCreate(named(kCGColorSpaceExtendedSRGB), {1.5, -0.5, 0.5, 1.0});
    EXPECT_EQ(CGColorCreateCopyByMatchingToColorSpace(named(kCGColorSpaceExtendedSRGB),
                                                      kCGRenderingIntentDefault, c, nullptr),
              c);
    EXPECT_EQ(
        CGColorCreateCopyByMatchingToColorSpace(nullptr, kCGRenderingIntentDefault, c, nullptr),
        nullptr);
}

// Every drawn colour is converted into sRGB, with its alpha; device RGB is taken as sRGB. The
// clamping and the grey axis are KnownValues' rows, matched the same way.
TEST(CGColorDrawing, ConvertsIntoSRGB) {
    // clang-format off
    const struct { CGColorRef colour; std::vector<CGFloat> expected; double tolerance; } cases[] = {
        {CGColorCreate(named(kCGColorSpaceDisplayP3), {0.4, 0.6, 0.4, 0.8}), {0.3338, 0.6066, 0.3785, 0.8}, 1e-3},
        {CGColorCreate(CGColorSpaceCreateDeviceRGB(), {0.2, 0.4, 0.6, 0.5}), {0.2, 0.4, 0.6, 0.5}, 0},
        {nullptr, {0, 0, 0, 0}, 0},
    };  // clang-format on
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const auto c = CGColorGetSRGBComponentsForDrawing(cases[i].colour);
        expectComponents({c.begin(), c.end()}, cases[i].expected, cases[i].tolerance);
    }
}
