#include <gtest/gtest.h>

#include <cmath>

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
CGColorRef colorIn(const char* space, std::initializer_list<CGFloat> components) {
    return CGColorCreate(cachedColorSpaceFromName(space), components);
}

}  // namespace

// Every known number (the validity mask) answers both flags silently; any other prints
// "unknown property: N" and answers true to both.
TEST(VTPropertyCatalogue, NamesAndFlags) {
    std::string names;
    uint64_t internal = 0, isPacked = 0;
    testing::internal::CaptureStdout();
    for (VTValueType n = 0; n <= 37; ++n) {
        if (!(kVTPropertyValidityMask >> n & 1)) continue;
        names += stringForValueType(n) + "|";
        internal |= uint64_t{isInternalProperty(n)} << n;
        isPacked |= uint64_t{isPackedProperty(n)} << n;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(
        names,
        "Unknown type: 0|Center X|Center Y|Angle|Scale|Width|Height|Opacity|Fill|Scroll X|Scroll "
        "Y|Horizontal Behavior|Mask Sublayers|Vertical Behavior|Radius|Font Size|Stroke "
        "Width|Stroke Color|Shadow X|Shadow Y|Shadow Blur|Shadow Color|Media|Text|Anchor X|Anchor "
        "Y|Media Time|Component Artboard|Media Paused|Media Volume|");
    EXPECT_EQ(internal, 0x3cffc85e01ull);
    EXPECT_EQ(isPacked, 0x22000200ull);
    for (const VTValueType n : {VTValueType{8}, VTValueType{38}, VTValueType{-1},
                                std::numeric_limits<VTValueType>::max()}) {
        testing::internal::CaptureStdout();
        EXPECT_TRUE(isInternalProperty(n) && isPackedProperty(n));
        const std::string line = "unknown property: " + std::to_string(n) + "\n";
        EXPECT_EQ(testing::internal::GetCapturedStdout(), line + line);
        EXPECT_EQ(stringForValueType(n), "Unknown type: " + std::to_string(n));
    }
}

// Numbers 1 … 37 own bits 0 … 36; any other number reads false and changes nothing.
TEST(VTPropertyCatalogue, MaskBits) {
    uint64_t mask = 0, all = ~uint64_t{0};
    for (VTValueType n = 0; n <= 38; ++n) setMaskBit(&mask, n, true);
    EXPECT_EQ(mask, (uint64_t{1} << 37) - 1);
    setMaskBit(&mask, 37, false);
    EXPECT_EQ(mask, (uint64_t{1} << 36) - 1);
    EXPECT_TRUE(readMaskBit(uint64_t{1}, 1));
    EXPECT_FALSE(readMaskBit(all, 0) || readMaskBit(all, 38));
    setMaskBit(&all, 0, false);
    setMaskBit(&all, 38, false);
    EXPECT_EQ(all, ~uint64_t{0});
    setMaskBit(nullptr, 1, true);  // no mask: nothing happens
}

// Red, green, blue, alpha in bytes 3 … 0 of the low half: each component matched into sRGB, × 255,
// rounded half up and held to 0 … 255.
TEST(VTPackedColour, PackingIsBitExact) {
    const struct {
        const char* name;
        CGColorRef color;
        uint64_t bits;
    } cases[] = {
        // clang-format off
        {"halves", CGColorCreateSRGB(0.5, 0.5, 0.5, 0.5), 0x80808080},
        {"mixed", CGColorCreateSRGB(0.5, 0, 1, 1), 0x8000FFFF},
        {"outside 0 … 1", colorIn(kCGColorSpaceExtendedSRGB, {1.2, 0.2, -0.3, 1}), 0xFF3300FF},
        {"Display P3 red", colorIn(kCGColorSpaceDisplayP3, {1, 0, 0, 1}), 0xFF0000FF},
        {"device grey", CGColorCreate(CGColorSpaceCreateDeviceGray(), {0.2, 0.6}), 0x33333399},
        {"none", nullptr, 0},
        // clang-format on
    };
    for (const auto& c : cases) EXPECT_EQ(packedBits(c.color), c.bits) << c.name;
}

// Unpacking takes the low 32 bits only, each channel / 255 in the shared sRGB space; every channel
// value survives unpacking and packing again.
TEST(VTPackedColour, UnpackingIgnoresTheUpperHalfAndRoundTrips) {
    const CGColorRef color = CGColorCreateFromDouble(packed(0xDEADBEEFFF000080ull));
    EXPECT_EQ(CGColorGetColorSpace(color), cachedColorSpaceFromName(kCGColorSpaceSRGB));
    EXPECT_EQ(CGColorGetComponents(color)[3], 128 / 255.0);
    for (uint32_t v = 0; v < 256; ++v) {
        const uint32_t pattern = v << 24 | (255 - v) << 16 | ((v * 7) & 0xff) << 8 | v;
        EXPECT_EQ(packedBits(CGColorCreateFromDouble(packed(pattern))), pattern) << v;
    }
    EXPECT_EQ(getByte(0x11223344u, 7), 0x11);  // byte indices count modulo 4 from the low end
}

// Per channel round(t × to + (1 − t) × from), halves away from zero, the low 8 bits of a saturating
// 64-bit integer.
TEST(VTPackedColour, Interpolation) {
    const struct {
        uint32_t from, to;
        double t;
        uint8_t result;
    } bytes[] = {
        {255, 0, 0.5, 128}, {10, 20, 0.25, 13},        {0, 300, 1, 300 & 0xff},
        {0, 255, -1, 0x01}, {0, 255, std::nan(""), 0}, {0, 255, 1e300, 0xff},
    };
    for (const auto& c : bytes)
        EXPECT_EQ(interpolateByte(c.from, c.to, c.t), c.result)
            << c.from << " " << c.to << " " << c.t;
    const double from = packed(0x12345678FF0000FFull), to = packed(0x000000000000FFFFull);
    EXPECT_EQ(bitsOf(interpolateDoubleColors(from, to, 0.5)), 0x00000000800080FFull);
    EXPECT_EQ(bitsOf(interpolateDoubleColors(from, to, 0)), 0x00000000FF0000FFull);
}
