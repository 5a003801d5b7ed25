// The property catalogue (names, internal and packed flags, the validity mask), the property mask,
// and colours packed into the low 32 bits of a double, with their interpolation.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
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
uint64_t packedBits(const CGColorRef& color) {
    return bitsOf(doubleRepresentationOfCGColor(color));
}

std::vector<CGFloat> componentsOf(const CGColorRef& color) {
    const CGFloat* c = CGColorGetComponents(color);
    return {c, c + CGColorGetNumberOfComponents(color)};
}

CGColorRef colorIn(const char* space, std::initializer_list<CGFloat> components) {
    return CGColorCreate(cachedColorSpaceFromName(space), components);
}

// What `f` printed to standard output.
template <class F>
std::string stdoutOf(F&& f) {
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

}  // namespace

// Every number the catalogue knows (0 has no name), with both flags and nothing printed; every
// other number has no name, prints "unknown property: N" and answers true to both questions.
TEST(VTPropertyCatalogue, NamesAndFlags) {
    const struct {
        VTValueType number;
        const char* name;
        bool internal, packed;
    } known[] = {
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
    uint64_t mask = 0;
    for (const auto& row : known) {
        SCOPED_TRACE(row.number);
        mask |= uint64_t{1} << row.number;
        EXPECT_EQ(stringForValueType(row.number),
                  row.name ? row.name : "Unknown type: " + std::to_string(row.number));
        bool internal = false, isPacked = false;
        EXPECT_EQ(stdoutOf([&] {
                      internal = isInternalProperty(row.number);
                      isPacked = isPackedProperty(row.number);
                  }),
                  "");
        EXPECT_EQ(internal, row.internal);
        EXPECT_EQ(isPacked, row.packed);
    }
    EXPECT_EQ(kVTPropertyValidityMask, mask);
    EXPECT_EQ(mask, 0x3fffc85effull);

    constexpr auto kMin = std::numeric_limits<VTValueType>::min();
    constexpr auto kMax = std::numeric_limits<VTValueType>::max();
    for (const VTValueType n :
         {VTValueType{8}, VTValueType{13}, VTValueType{15}, VTValueType{16}, VTValueType{17},
          VTValueType{18}, VTValueType{20}, VTValueType{21}, VTValueType{-1}, VTValueType{38},
          VTValueType{63}, VTValueType{64}, kMin, kMax}) {
        SCOPED_TRACE(n);
        const std::string line = "unknown property: " + std::to_string(n) + "\n";
        bool internal = false, isPacked = false;
        EXPECT_EQ(stdoutOf([&] { internal = isInternalProperty(n); }), line);
        EXPECT_EQ(stdoutOf([&] { isPacked = isPackedProperty(n); }), line);
        EXPECT_TRUE(internal && isPacked);
        EXPECT_EQ(stringForValueType(n), "Unknown type: " + std::to_string(n));
    }
}

// Numbers 1 … 37 own bits 0 … 36; any other number reads false and changes nothing.
TEST(VTPropertyCatalogue, MaskBits) {
    uint64_t mask = 0;
    for (VTValueType n = 1; n <= 37; ++n) {
        uint64_t one = 0;
        setMaskBit(&one, n, true);
        EXPECT_EQ(one, uint64_t{1} << (n - 1)) << n;
        EXPECT_TRUE(readMaskBit(one, n));
        setMaskBit(&mask, n, true);
    }
    EXPECT_EQ(mask, (uint64_t{1} << 37) - 1);
    setMaskBit(&mask, 1, false);
    setMaskBit(&mask, 37, false);
    EXPECT_EQ(mask, (uint64_t{1} << 36) - 2);
    uint64_t all = ~uint64_t{0};
    for (const VTValueType n : {0, 38, -1, 64}) {
        EXPECT_FALSE(readMaskBit(all, n)) << n;
        setMaskBit(&all, n, false);
        uint64_t none = 0;
        setMaskBit(&none, n, true);
        EXPECT_EQ(none, 0u) << n;
    }
    EXPECT_EQ(all, ~uint64_t{0});
    setMaskBit(nullptr, 1, true);  // no mask: nothing happens
}

TEST(VTPackedColour, GetByteCountsFromTheLeastSignificantEndModuloFour) {
    const std::pair<uint32_t, uint8_t> cases[] = {
        {0, 0x44}, {1, 0x33}, {2, 0x22}, {3, 0x11}, {4, 0x44}, {7, 0x11}, {0xFFFFFFFF, 0x11}};
    for (const auto& [index, byte] : cases) EXPECT_EQ(getByte(0x11223344u, index), byte) << index;
}

// Red, green, blue, alpha in bytes 3 … 0 of the low half: each component matched into sRGB, × 255,
// rounded half up and held to 0 … 255.
TEST(VTPackedColour, PackingIsBitExact) {
    const CGColorRef p3Red = colorIn(kCGColorSpaceDisplayP3, {1, 0, 0, 1});
    const struct {
        const char* name;
        CGColorRef color;
        uint64_t bits;
    } cases[] = {
        {"opaque white", CGColorCreateSRGB(1, 1, 1, 1), 0x00000000FFFFFFFF},
        {"halves", CGColorCreateSRGB(0.5, 0.5, 0.5, 0.5), 0x0000000080808080},
        {"mixed", CGColorCreateSRGB(0.5, 0, 1, 1), 0x000000008000FFFF},
        {"above 1", colorIn(kCGColorSpaceExtendedSRGB, {1.2, 0.2, 0, 1}), 0x00000000FF3300FF},
        {"below 0", colorIn(kCGColorSpaceExtendedSRGB, {-0.3, 0.4, 1, 1}), 0x000000000066FFFF},
        {"Display P3 red", p3Red, 0x00000000FF0000FF},
        {"P3 red in extended sRGB",
         CGColorCreateCopyByMatchingToColorSpace(
             cachedColorSpaceFromName(kCGColorSpaceExtendedSRGB), kCGRenderingIntentDefault, p3Red,
             nullptr),
         0x00000000FF0000FF},
        {"device grey", CGColorCreate(CGColorSpaceCreateDeviceGray(), {0.2, 0.6}),
         0x0000000033333399},
        {"none", nullptr, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(packedBits(c.color), c.bits) << c.name;
    // Opaque white is a tiny positive subnormal double.
    EXPECT_EQ(std::fpclassify(doubleRepresentationOfCGColor(cases[0].color)), FP_SUBNORMAL);
}

// Unpacking takes the low 32 bits only, each channel / 255 in the shared sRGB space; every channel
// value survives unpacking and packing again.
TEST(VTPackedColour, UnpackingIgnoresTheUpperHalfAndRoundTrips) {
    const CGColorRef color = CGColorCreateFromDouble(packed(0xDEADBEEFFF000080ull));
    EXPECT_EQ(CGColorGetColorSpace(color), cachedColorSpaceFromName(kCGColorSpaceSRGB));
    EXPECT_EQ(SRGBColorSpace(), cachedColorSpaceFromName(kCGColorSpaceSRGB));
    EXPECT_EQ(componentsOf(color), (std::vector<CGFloat>{1, 0, 0, 128 / 255.0}));
    EXPECT_EQ(componentsOf(CGColorCreateFromDouble(0.0)), (std::vector<CGFloat>{0, 0, 0, 0}));
    for (uint32_t v = 0; v < 256; ++v) {
        const uint32_t pattern = v << 24 | (255 - v) << 16 | ((v * 7) & 0xff) << 8 | v;
        EXPECT_EQ(packedBits(CGColorCreateFromDouble(packed(pattern))), pattern) << v;
    }
}

// Per channel round(t × to + (1 − t) × from), halves away from zero, the low 8 bits of a saturating
// 64-bit integer.
TEST(VTPackedColour, Interpolation) {
    const struct {
        uint32_t from, to;
        double t;
        uint8_t result;
    } bytes[] = {
        {0, 255, 0.5, 128},        {255, 0, 0.5, 128},    {10, 20, 0.25, 13},
        {10, 20, 0, 10},           {10, 20, 1, 20},       {0, 300, 1, 300 & 0xff},
        {0, 255, 2, 510 & 0xff},   {0, 255, -1, 0x01},  // −255 in two's complement
        {0, 255, std::nan(""), 0}, {0, 255, 1e300, 0xff},
    };
    for (const auto& c : bytes)
        EXPECT_EQ(interpolateByte(c.from, c.to, c.t), c.result)
            << c.from << " " << c.to << " " << c.t;
    const double red = packed(0x00000000FF0000FF), blue = packed(0x000000000000FFFF);
    EXPECT_EQ(bitsOf(interpolateDoubleColors(red, blue, 0.5)), 0x00000000800080FFull);
    // The ends give the inputs without their upper halves.
    const double from = packed(0x1234567811223344ull), to = packed(0x00000000AABBCCDDull);
    EXPECT_EQ(bitsOf(interpolateDoubleColors(from, to, 0)), 0x0000000011223344ull);
    EXPECT_EQ(bitsOf(interpolateDoubleColors(from, to, 1)), 0x00000000AABBCCDDull);
}
