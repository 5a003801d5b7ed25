// The property catalogue and packed colours. See VTProperty.h.

#include "VTProperty.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdio>

namespace {

// One row of the catalogue: a property number with its display name (none for 0) and its flags.
struct PropertyRow {
    VTValueType number;
    const char* name;
    bool internal;  // false exactly for placement: centre, angle, scale, size, opacity, anchor
    bool packed;    // true exactly for the colours, held as packed doubles
};

// The catalogue, in number order. A number without a row is unassigned (8, 13, 15 to 18, 20, 21)
// or outside the catalogue.
constexpr auto kCatalogue = std::to_array<PropertyRow>({
    {kVTPropertyNone, nullptr, true, false},
    {kVTPropertyCenterX, "Center X", false, false},
    {kVTPropertyCenterY, "Center Y", false, false},
    {kVTPropertyAngle, "Angle", false, false},
    {kVTPropertyScale, "Scale", false, false},
    {kVTPropertyWidth, "Width", false, false},
    {kVTPropertyHeight, "Height", false, false},
    {kVTPropertyOpacity, "Opacity", false, false},
    {kVTPropertyFill, "Fill", true, true},
    {kVTPropertyScrollX, "Scroll X", true, false},
    {kVTPropertyScrollY, "Scroll Y", true, false},
    {kVTPropertyHorizontalBehavior, "Horizontal Behavior", true, false},
    {kVTPropertyMaskSublayers, "Mask Sublayers", true, false},
    {kVTPropertyVerticalBehavior, "Vertical Behavior", true, false},
    {kVTPropertyRadius, "Radius", true, false},
    {kVTPropertyFontSize, "Font Size", true, false},
    {kVTPropertyStrokeWidth, "Stroke Width", true, false},
    {kVTPropertyStrokeColor, "Stroke Color", true, true},
    {kVTPropertyShadowX, "Shadow X", true, false},
    {kVTPropertyShadowY, "Shadow Y", true, false},
    {kVTPropertyShadowBlur, "Shadow Blur", true, false},
    {kVTPropertyShadowColor, "Shadow Color", true, true},
    {kVTPropertyMedia, "Media", true, false},
    {kVTPropertyText, "Text", true, false},
    {kVTPropertyAnchorX, "Anchor X", false, false},
    {kVTPropertyAnchorY, "Anchor Y", false, false},
    {kVTPropertyMediaTime, "Media Time", true, false},
    {kVTPropertyComponentArtboard, "Component Artboard", true, false},
    {kVTPropertyMediaPaused, "Media Paused", true, false},
    {kVTPropertyMediaVolume, "Media Volume", true, false},
});

// Each number has one row, in increasing order.
constexpr bool inNumberOrder(const std::array<PropertyRow, kCatalogue.size()>& rows) {
    for (size_t i = 1; i < rows.size(); ++i)
        if (rows[i].number <= rows[i - 1].number) return false;
    return true;
}
static_assert(inNumberOrder(kCatalogue), "one row per number, in number order");

// The numbers that have a row, bit n for number n.
constexpr uint64_t validityMaskOf(const std::array<PropertyRow, kCatalogue.size()>& rows) {
    uint64_t mask = 0;
    for (const auto& row : rows) mask |= uint64_t{1} << row.number;
    return mask;
}
static_assert(validityMaskOf(kCatalogue) == kVTPropertyValidityMask,
              "the exported validity mask names exactly the catalogue's numbers");

// The row of each number 0 … kVTPropertyLast, or -1 where there is none.
constexpr auto kRowOfNumber = [] {
    std::array<int8_t, static_cast<size_t>(kVTPropertyLast) + 1> index{};
    index.fill(-1);
    for (size_t i = 0; i < kCatalogue.size(); ++i)
        index[static_cast<size_t>(kCatalogue[i].number)] = static_cast<int8_t>(i);
    return index;
}();

const PropertyRow* rowFor(VTValueType type) {
    if (type < 0 || type > kVTPropertyLast) return nullptr;
    const int8_t row = kRowOfNumber[static_cast<size_t>(type)];
    return row < 0 ? nullptr : &kCatalogue[static_cast<size_t>(row)];
}

// The flag of a catalogued number; otherwise "unknown property" on standard output, flushed at
// once (it is one whole line and tests capture it), and true.
bool flagOrUnknown(bool PropertyRow::*flag, VTValueType type) {
    if (const auto* row = rowFor(type)) return row->*flag;
    std::printf("unknown property: %li\n", static_cast<long>(type));
    std::fflush(stdout);
    return true;
}

bool isMaskNumber(VTValueType type) {
    return type >= 1 && type <= kVTPropertyLast;
}

// A double rounded half away from zero, converted to a signed 64-bit integer without undefined
// behaviour: saturating outside the range, NaN giving 0 (what arm64's conversion does).
int64_t roundToInt64(double value) {
    const double rounded = std::round(value);
    if (std::isnan(rounded)) return 0;
    if (rounded >= 0x1p63) return INT64_MAX;
    if (rounded < -0x1p63) return INT64_MIN;
    return static_cast<int64_t>(rounded);
}

// One component of a packed colour: × 255, rounded half away from zero, held to 0 … 255
// (a NaN to 0), truncated, low 8 bits.
uint32_t packChannel(CGFloat component) {
    double value = std::round(component * 255.0);
    if (value > 255.0) value = 255.0;
    if (!(value >= 0.0)) value = 0.0;  // also NaN
    return static_cast<uint32_t>(value) & 0xffu;
}

double doubleFromPattern(uint32_t rgba) {
    return std::bit_cast<double>(static_cast<uint64_t>(rgba));
}

uint32_t lowPattern(double packed) {
    return static_cast<uint32_t>(std::bit_cast<uint64_t>(packed));
}

}  // namespace

std::string stringForValueType(VTValueType type) {
    if (const auto* row = rowFor(type); row && row->name) return row->name;
    return "Unknown type: " + std::to_string(type);  // "Unknown type: %li"
}

bool isInternalProperty(VTValueType type) {
    return flagOrUnknown(&PropertyRow::internal, type);
}

bool isPackedProperty(VTValueType type) {
    return flagOrUnknown(&PropertyRow::packed, type);
}

void setMaskBit(uint64_t* mask, VTValueType type, bool on) {
    if (!mask || !isMaskNumber(type)) return;
    const uint64_t bit = uint64_t{1} << (type - 1);
    if (on)
        *mask |= bit;
    else
        *mask &= ~bit;
}

bool readMaskBit(uint64_t mask, VTValueType type) {
    if (!isMaskNumber(type)) return false;
    return ((mask >> (type - 1)) & 1u) != 0;
}

const CGColorSpaceRef& SRGBColorSpace() {
    return CGColorSpaceGetSRGB();
}

uint8_t getByte(uint32_t value, uint32_t index) {
    // Unsigned arithmetic: (index × 8) mod 2^32 keeps the residue mod 32, so the shift is in 0
    // … 24.
    return static_cast<uint8_t>(value >> ((index * 8u) % 32u));
}

CGColorRef CGColorCreateFromDouble(double packed) {
    const uint32_t pattern = lowPattern(packed);
    return CGColorCreate(SRGBColorSpace(),
                         {getByte(pattern, 3) / 255.0, getByte(pattern, 2) / 255.0,
                          getByte(pattern, 1) / 255.0, getByte(pattern, 0) / 255.0});
}

double doubleRepresentationOfCGColor(const CGColorRef& color) {
    const CGColorRef converted = CGColorCreateCopyByMatchingToColorSpace(
        SRGBColorSpace(), kCGRenderingIntentPerceptual, color, nullptr);
    if (CGColorGetNumberOfComponents(converted) != 4) return 0.0;  // also a null colour
    const CGFloat* c = CGColorGetComponents(converted);
    const uint32_t pattern = packChannel(c[0]) << 24 | packChannel(c[1]) << 16 |
                             packChannel(c[2]) << 8 | packChannel(c[3]);
    return doubleFromPattern(pattern);
}

uint8_t interpolateByte(uint32_t from, uint32_t to, double t) {
    return static_cast<uint8_t>(roundToInt64(t * to + (1 - t) * from));
}

double interpolateDoubleColors(double from, double to, double t) {
    const uint32_t a = lowPattern(from);
    const uint32_t b = lowPattern(to);
    uint32_t pattern = 0;
    for (uint32_t index = 0; index < 4; ++index)
        pattern |= uint32_t{interpolateByte(getByte(a, index), getByte(b, index), t)}
                   << (index * 8);
    return doubleFromPattern(pattern);
}
