// Part 2.8: the property catalogue (names, internal and packed flags, the validity mask), the
// property mask, the shared sRGB colour space, packed colours and their interpolation, and the
// exported layer defaults. The layer's value access (valueForProperty:, setValue:forType:) is
// tested with VTLayer.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "CGColor.h"
#include "CGColorSpace.h"
#include "CGImageToData.h"
#include "VTProperty.h"

namespace {

uint64_t bitsOf(double value) {
    return std::bit_cast<uint64_t>(value);
}
double packed(uint64_t bits) {
    return std::bit_cast<double>(bits);
}

std::vector<CGFloat> componentsOf(const CGColorRef& color) {
    const CGFloat* c = CGColorGetComponents(color);
    return {c, c + CGColorGetNumberOfComponents(color)};
}

// What `f` printed to standard output.
template <class F>
std::string stdoutOf(F&& f) {
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

CGColorRef extendedSRGB(CGFloat r, CGFloat g, CGFloat b, CGFloat a) {
    return CGColorCreate(cachedColorSpaceFromName(kCGColorSpaceExtendedSRGB), {r, g, b, a});
}

struct Row {
    VTValueType number;
    const char* name;  // null: no display name
    bool internal;
    bool packed;
};

// The catalogue of Part 2.8, row by row; numbers 0 to 37 with the unassigned ones as null names.
const std::vector<Row> kCatalogue = {
    {0, nullptr, true, false},
    {1, "Center X", false, false},
    {2, "Center Y", false, false},
    {3, "Angle", false, false},
    {4, "Scale", false, false},
    {5, "Width", false, false},
    {6, "Height", false, false},
    {7, "Opacity", false, false},
    {9, "Fill", true, true},
    {10, "Scroll X", true, false},
    {11, "Scroll Y", true, false},
    {12, "Horizontal Behavior", true, false},
    {14, "Mask Sublayers", true, false},
    {19, "Vertical Behavior", true, false},
    {22, "Radius", true, false},
    {23, "Font Size", true, false},
    {24, "Stroke Width", true, false},
    {25, "Stroke Color", true, true},
    {26, "Shadow X", true, false},
    {27, "Shadow Y", true, false},
    {28, "Shadow Blur", true, false},
    {29, "Shadow Color", true, true},
    {30, "Media", true, false},
    {31, "Text", true, false},
    {32, "Anchor X", false, false},
    {33, "Anchor Y", false, false},
    {34, "Media Time", true, false},
    {35, "Component Artboard", true, false},
    {36, "Media Paused", true, false},
    {37, "Media Volume", true, false},
};
const std::vector<VTValueType> kUnassigned = {8, 13, 15, 16, 17, 18, 20, 21};

}  // namespace

// ---- Catalogue

// Every row: its display name and both flags, with nothing printed.
TEST(Part2_8_PropertyCatalogue, EveryRowHasItsNameAndFlags) {
    for (const Row& row : kCatalogue) {
        SCOPED_TRACE(row.number);
        const std::string expectedName =
            row.name ? row.name : "Unknown type: " + std::to_string(row.number);
        EXPECT_EQ(stringForValueType(row.number), expectedName);
        bool internal = false, isPacked = false;
        EXPECT_EQ(stdoutOf([&] {
                      internal = isInternalProperty(row.number);
                      isPacked = isPackedProperty(row.number);
                  }),
                  "");
        EXPECT_EQ(internal, row.internal);
        EXPECT_EQ(isPacked, row.packed);
    }
}

// The named constants are the table's numbers.
TEST(Part2_8_PropertyCatalogue, NamedNumbersMatchTheTable) {
    static_assert(std::is_same_v<VTValueType, int64_t>);
    const std::vector<std::pair<VTValueType, const char*>> named = {
        {kVTPropertyCenterX, "Center X"},
        {kVTPropertyCenterY, "Center Y"},
        {kVTPropertyAngle, "Angle"},
        {kVTPropertyScale, "Scale"},
        {kVTPropertyWidth, "Width"},
        {kVTPropertyHeight, "Height"},
        {kVTPropertyOpacity, "Opacity"},
        {kVTPropertyFill, "Fill"},
        {kVTPropertyScrollX, "Scroll X"},
        {kVTPropertyScrollY, "Scroll Y"},
        {kVTPropertyHorizontalBehavior, "Horizontal Behavior"},
        {kVTPropertyMaskSublayers, "Mask Sublayers"},
        {kVTPropertyVerticalBehavior, "Vertical Behavior"},
        {kVTPropertyRadius, "Radius"},
        {kVTPropertyFontSize, "Font Size"},
        {kVTPropertyStrokeWidth, "Stroke Width"},
        {kVTPropertyStrokeColor, "Stroke Color"},
        {kVTPropertyShadowX, "Shadow X"},
        {kVTPropertyShadowY, "Shadow Y"},
        {kVTPropertyShadowBlur, "Shadow Blur"},
        {kVTPropertyShadowColor, "Shadow Color"},
        {kVTPropertyMedia, "Media"},
        {kVTPropertyText, "Text"},
        {kVTPropertyAnchorX, "Anchor X"},
        {kVTPropertyAnchorY, "Anchor Y"},
        {kVTPropertyMediaTime, "Media Time"},
        {kVTPropertyComponentArtboard, "Component Artboard"},
        {kVTPropertyMediaPaused, "Media Paused"},
        {kVTPropertyMediaVolume, "Media Volume"},
    };
    for (const auto& [number, name] : named) EXPECT_EQ(stringForValueType(number), name);
    EXPECT_EQ(kVTPropertyNone, 0);
    EXPECT_EQ(kVTPropertyLast, 37);
}

// The validity mask is exactly the numbers the table knows, 0 included: 0x3fffc85eff.
TEST(Part2_8_PropertyCatalogue, ValidityMaskHoldsTheKnownNumbers) {
    uint64_t mask = 0;
    for (const Row& row : kCatalogue) mask |= uint64_t{1} << row.number;
    EXPECT_EQ(mask, 0x3fffc85effull);
    EXPECT_EQ(kVTPropertyValidityMask, 0x3fffc85effull);
}

// Edge case: stringForValueType of 13 returns "Unknown type: 13"; isPackedProperty of 13 prints
// "unknown property: 13\n" and returns true; isInternalProperty of 0 returns true without printing.
TEST(Part2_8_PropertyCatalogue, UnassignedNumberIsUnknown) {
    EXPECT_EQ(stringForValueType(13), "Unknown type: 13");
    bool result = false;
    EXPECT_EQ(stdoutOf([&] { result = isPackedProperty(13); }), "unknown property: 13\n");
    EXPECT_TRUE(result);
    result = false;
    EXPECT_EQ(stdoutOf([&] { result = isInternalProperty(0); }), "");
    EXPECT_TRUE(result);
}

// Every number outside the validity mask: unassigned, negative, 38 and above (past bit 63 too).
TEST(Part2_8_PropertyCatalogue, NumbersOutsideTheMaskPrintAndAnswerTrue) {
    std::vector<VTValueType> outside = kUnassigned;
    for (VTValueType n :
         {VTValueType{-1}, VTValueType{38}, VTValueType{63}, VTValueType{64}, VTValueType{1000},
          std::numeric_limits<VTValueType>::min(), std::numeric_limits<VTValueType>::max()})
        outside.push_back(n);
    for (VTValueType n : outside) {
        SCOPED_TRACE(n);
        const std::string line = "unknown property: " + std::to_string(n) + "\n";
        bool internal = false, isPacked = false;
        EXPECT_EQ(stdoutOf([&] { internal = isInternalProperty(n); }), line);
        EXPECT_EQ(stdoutOf([&] { isPacked = isPackedProperty(n); }), line);
        EXPECT_TRUE(internal);
        EXPECT_TRUE(isPacked);
        EXPECT_EQ(stringForValueType(n), "Unknown type: " + std::to_string(n));
    }
    EXPECT_EQ(stringForValueType(-1), "Unknown type: -1");
    EXPECT_EQ(stringForValueType(0), "Unknown type: 0");  // the table gives 0 no name
}

// ---- Property mask

// Edge case: setMaskBit with property 1 sets bit 0; with 37 sets bit 36; with 0 or 38 leaves the
// mask unchanged; readMaskBit with 0 returns false.
TEST(Part2_8_PropertyCatalogue, MaskBits) {
    uint64_t mask = 0;
    setMaskBit(&mask, 1, true);
    EXPECT_EQ(mask, 0x1u);
    setMaskBit(&mask, 37, true);
    EXPECT_EQ(mask, 0x1000000001ull);
    setMaskBit(&mask, 0, true);
    EXPECT_EQ(mask, 0x1000000001ull);
    setMaskBit(&mask, 38, true);
    EXPECT_EQ(mask, 0x1000000001ull);
    setMaskBit(&mask, -1, true);
    EXPECT_EQ(mask, 0x1000000001ull);
    EXPECT_TRUE(readMaskBit(mask, 1));
    EXPECT_TRUE(readMaskBit(mask, 37));
    EXPECT_FALSE(readMaskBit(mask, 2));

    uint64_t all = ~uint64_t{0};
    EXPECT_FALSE(readMaskBit(all, 0));
    EXPECT_FALSE(readMaskBit(all, 38));
    EXPECT_FALSE(readMaskBit(all, -1));
    EXPECT_FALSE(readMaskBit(all, 64));
    setMaskBit(&all, 0, false);
    setMaskBit(&all, 38, false);
    EXPECT_EQ(all, ~uint64_t{0});

    // Clearing, and a set of a bit already set.
    setMaskBit(&mask, 1, false);
    EXPECT_EQ(mask, 0x1000000000ull);
    setMaskBit(&mask, 37, true);
    EXPECT_EQ(mask, 0x1000000000ull);
    setMaskBit(&mask, 37, false);
    EXPECT_EQ(mask, 0u);
    setMaskBit(nullptr, 1, true);  // no mask: nothing happens
}

// Every number 1 … 37 owns bit n−1 and no other; bits 37 to 63 are never set.
TEST(Part2_8_PropertyCatalogue, EachNumberOwnsItsBit) {
    uint64_t mask = 0;
    for (VTValueType n = 1; n <= 37; ++n) {
        uint64_t one = 0;
        setMaskBit(&one, n, true);
        EXPECT_EQ(one, uint64_t{1} << (n - 1)) << n;
        setMaskBit(&mask, n, true);
    }
    EXPECT_EQ(mask, (uint64_t{1} << 37) - 1);
}

// ---- Colours

TEST(Part2_8_PropertyCatalogue, SRGBColorSpaceIsTheCachedSRGBSpace) {
    const CGColorSpaceRef& space = SRGBColorSpace();
    ASSERT_NE(space, nullptr);
    EXPECT_EQ(space, cachedColorSpaceFromName(kCGColorSpaceSRGB));
    EXPECT_EQ(&SRGBColorSpace(), &space);  // one handle for the life of the process
    EXPECT_STREQ(CGColorSpaceGetName(space), kCGColorSpaceSRGB);
    EXPECT_EQ(CGColorGetColorSpace(CGColorCreateSRGB(0, 0, 0, 1)), space);
}

// Edge case: getByte of 0x11223344 with index 3 is 0x11, with index 4 is 0x44.
TEST(Part2_8_PropertyCatalogue, GetByteCountsFromTheLeastSignificantEnd) {
    EXPECT_EQ(getByte(0x11223344u, 3), 0x11);
    EXPECT_EQ(getByte(0x11223344u, 4), 0x44);
    EXPECT_EQ(getByte(0x11223344u, 0), 0x44);
    EXPECT_EQ(getByte(0x11223344u, 1), 0x33);
    EXPECT_EQ(getByte(0x11223344u, 2), 0x22);
    EXPECT_EQ(getByte(0x11223344u, 7), 0x11);
    EXPECT_EQ(getByte(0x11223344u, 0xFFFFFFFFu), 0x11);  // (index × 8) mod 32 = 24
}

// Edge case: opaque white packs to 0x00000000FFFFFFFF and unpacks to (1, 1, 1, 1) in sRGB.
TEST(Part2_8_PropertyCatalogue, OpaqueWhitePacksToAllChannelsFull) {
    const double white = doubleRepresentationOfCGColor(CGColorCreateSRGB(1, 1, 1, 1));
    EXPECT_EQ(bitsOf(white), 0x00000000FFFFFFFFull);
    EXPECT_EQ(std::fpclassify(white), FP_SUBNORMAL);
    EXPECT_GT(white, 0.0);

    const CGColorRef unpacked = CGColorCreateFromDouble(white);
    ASSERT_NE(unpacked, nullptr);
    EXPECT_EQ(CGColorGetColorSpace(unpacked), SRGBColorSpace());
    EXPECT_EQ(componentsOf(unpacked), (std::vector<CGFloat>{1, 1, 1, 1}));
}

// Edge case: a component of 0.5 packs to 128 (127.5 rounds up).
TEST(Part2_8_PropertyCatalogue, HalfComponentPacksTo128) {
    EXPECT_EQ(bitsOf(doubleRepresentationOfCGColor(CGColorCreateSRGB(0.5, 0.5, 0.5, 0.5))),
              0x0000000080808080ull);
    EXPECT_EQ(bitsOf(doubleRepresentationOfCGColor(CGColorCreateSRGB(0.5, 0, 1, 1))),
              0x000000008000FFFFull);
}

// Edge case: a component of 1.2 (extended range) packs to 255; a negative component packs to 0.
// CGColorCreate clamps in sRGB, so the colours are made in extended sRGB, which keeps them.
TEST(Part2_8_PropertyCatalogue, OutOfRangeComponentsPackToTheChannelLimits) {
    const CGColorRef above = extendedSRGB(1.2, 0.2, 0.0, 1.0);
    ASSERT_EQ(componentsOf(above)[0], 1.2);
    EXPECT_EQ(bitsOf(doubleRepresentationOfCGColor(above)), 0x00000000FF3300FFull);

    const CGColorRef negative = extendedSRGB(-0.3, 0.4, 1.0, 1.0);
    ASSERT_EQ(componentsOf(negative)[0], -0.3);
    EXPECT_EQ(bitsOf(doubleRepresentationOfCGColor(negative)), 0x000000000066FFFFull);
}

// The known values: Display P3 (1, 0, 0) matched to extended sRGB is about (1.093, −0.227, −0.150);
// that colour, and P3 red itself, pack to red 255, green 0, blue 0, alpha 255.
TEST(Part2_8_PropertyCatalogue, DisplayP3RedPacksToOpaqueRed) {
    const CGColorRef p3Red =
        CGColorCreate(cachedColorSpaceFromName(kCGColorSpaceDisplayP3), {1, 0, 0, 1});
    const CGColorRef matched =
        CGColorCreateCopyByMatchingToColorSpace(cachedColorSpaceFromName(kCGColorSpaceExtendedSRGB),
                                                kCGRenderingIntentDefault, p3Red, nullptr);
    ASSERT_NE(matched, nullptr);
    const auto c = componentsOf(matched);
    EXPECT_NEAR(c[0], 1.093, 1e-3);
    EXPECT_NEAR(c[1], -0.227, 1e-3);
    EXPECT_NEAR(c[2], -0.150, 1e-3);
    EXPECT_EQ(c[3], 1.0);

    EXPECT_EQ(bitsOf(doubleRepresentationOfCGColor(matched)), 0x00000000FF0000FFull);
    EXPECT_EQ(bitsOf(doubleRepresentationOfCGColor(p3Red)), 0x00000000FF0000FFull);
}

// Colours in other spaces are matched into sRGB first: device grey is sRGB's neutral axis.
TEST(Part2_8_PropertyCatalogue, GreyColoursPackAsTheirSRGBMatch) {
    const CGColorRef grey = CGColorCreate(CGColorSpaceCreateDeviceGray(), {0.2, 0.6});
    EXPECT_EQ(bitsOf(doubleRepresentationOfCGColor(grey)), 0x0000000033333399ull);
}

// A missing colour packs to 0.0, all bits zero (transparent black).
TEST(Part2_8_PropertyCatalogue, NullColourPacksToZero) {
    EXPECT_EQ(bitsOf(doubleRepresentationOfCGColor(nullptr)), 0u);
    EXPECT_EQ(componentsOf(CGColorCreateFromDouble(0.0)), (std::vector<CGFloat>{0, 0, 0, 0}));
}

// Unpacking takes the low 32 bits only; each channel / 255.
TEST(Part2_8_PropertyCatalogue, UnpackingIgnoresTheUpperHalf) {
    const CGColorRef color = CGColorCreateFromDouble(packed(0xDEADBEEFFF000080ull));
    ASSERT_NE(color, nullptr);
    EXPECT_EQ(CGColorGetColorSpace(color), SRGBColorSpace());
    EXPECT_EQ(componentsOf(color), (std::vector<CGFloat>{1, 0, 0, 128 / 255.0}));
}

// Every channel value survives unpacking and packing again (sRGB to sRGB is no conversion).
TEST(Part2_8_PropertyCatalogue, EveryChannelValueRoundTrips) {
    for (uint32_t v = 0; v < 256; ++v) {
        const uint32_t pattern = v << 24 | (255 - v) << 16 | ((v * 7) & 0xff) << 8 | v;
        const double value = packed(pattern);
        EXPECT_EQ(bitsOf(doubleRepresentationOfCGColor(CGColorCreateFromDouble(value))), pattern)
            << v;
    }
}

// Edge case: interpolateDoubleColors of opaque red and opaque blue at t = 0.5 gives
// 0x00000000800080FF (127.5 rounds to 128).
TEST(Part2_8_PropertyCatalogue, InterpolateRedToBlueAtHalf) {
    const double red = packed(0x00000000FF0000FFull);
    const double blue = packed(0x000000000000FFFFull);
    EXPECT_EQ(bitsOf(interpolateDoubleColors(red, blue, 0.5)), 0x00000000800080FFull);
}

// At t = 0 the result is from, at t = 1 it is to, up to the channel bytes: an input's upper half
// is dropped.
TEST(Part2_8_PropertyCatalogue, InterpolateEndsGiveTheInputsWithoutTheirUpperHalf) {
    const double from = packed(0x1234567811223344ull);
    const double to = packed(0x00000000AABBCCDDull);
    EXPECT_EQ(bitsOf(interpolateDoubleColors(from, to, 0)), 0x0000000011223344ull);
    EXPECT_EQ(bitsOf(interpolateDoubleColors(from, to, 1)), 0x00000000AABBCCDDull);
    EXPECT_EQ(bitsOf(interpolateDoubleColors(to, from, 0)), 0x00000000AABBCCDDull);
}

// round(t × to + (1 − t) × from), halves away from zero, low 8 bits of the signed 64-bit integer.
TEST(Part2_8_PropertyCatalogue, InterpolateByte) {
    EXPECT_EQ(interpolateByte(0, 255, 0.5), 128);  // 127.5
    EXPECT_EQ(interpolateByte(255, 0, 0.5), 128);
    EXPECT_EQ(interpolateByte(10, 20, 0.25), 13);  // 12.5
    EXPECT_EQ(interpolateByte(10, 20, 0), 10);
    EXPECT_EQ(interpolateByte(10, 20, 1), 20);
    EXPECT_EQ(interpolateByte(0, 300, 1), 300 & 0xff);  // 32-bit inputs, low 8 bits out
    EXPECT_EQ(interpolateByte(0, 255, 2), 510 & 0xff);  // t beyond 1 wraps
    EXPECT_EQ(interpolateByte(0, 255, -1), 0x01);       // −255 in two's complement: …FF01
    EXPECT_EQ(interpolateByte(0, 255, std::nan("")), 0);
    EXPECT_EQ(interpolateByte(0, 255, 1e300), 0xff);  // saturates at INT64_MAX
}

// ---- Exported layer defaults

TEST(Part2_8_PropertyCatalogue, LayerDefaults) {
    static_assert(std::is_same_v<decltype(kOpacityDefault), const float>);
    static_assert(std::is_same_v<decltype(kScaleDefault), const double>);
    static_assert(std::is_same_v<decltype(kAnchorPointDefault), const CGPoint>);
    EXPECT_EQ(kOpacityDefault, 1.0f);
    EXPECT_EQ(kScaleDefault, 1.0);
    EXPECT_EQ(kAnchorPointDefault, CGPointMake(0.5, 0.5));
}
