// Part 2.8: the property catalogue and packed colours. See VTProperty.h.

#include "VTProperty.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdio>

#include "CGImageToData.h"

namespace {

constexpr size_t kTableSize = static_cast<size_t>(kVTPropertyLast) + 1;  // numbers 0 … 37

// Display names by number; null where the table has none (0 and the unassigned numbers).
constexpr std::array<const char*, kTableSize> kNames = {
    nullptr,                // 0
    "Center X",             // 1
    "Center Y",             // 2
    "Angle",                // 3
    "Scale",                // 4
    "Width",                // 5
    "Height",               // 6
    "Opacity",              // 7
    nullptr,                // 8
    "Fill",                 // 9
    "Scroll X",             // 10
    "Scroll Y",             // 11
    "Horizontal Behavior",  // 12
    nullptr,                // 13
    "Mask Sublayers",       // 14
    nullptr,                // 15
    nullptr,                // 16
    nullptr,                // 17
    nullptr,                // 18
    "Vertical Behavior",    // 19
    nullptr,                // 20
    nullptr,                // 21
    "Radius",               // 22
    "Font Size",            // 23
    "Stroke Width",         // 24
    "Stroke Color",         // 25
    "Shadow X",             // 26
    "Shadow Y",             // 27
    "Shadow Blur",          // 28
    "Shadow Color",         // 29
    "Media",                // 30
    "Text",                 // 31
    "Anchor X",             // 32
    "Anchor Y",             // 33
    "Media Time",           // 34
    "Component Artboard",   // 35
    "Media Paused",         // 36
    "Media Volume",         // 37
};

// The two 38-byte flag tables. The bytes of the unassigned numbers are never read (the validity
// mask is tested first); they hold 1, the answer given for those numbers.
constexpr std::array<uint8_t, kTableSize> kInternal = {
    1,                             // 0
    0, 0, 0, 0, 0, 0, 0,           // 1 to 7: placement
    1,                             // 8 (unassigned)
    1, 1, 1, 1,                    // 9 to 12
    1,                             // 13 (unassigned)
    1,                             // 14
    1, 1, 1, 1,                    // 15 to 18 (unassigned)
    1,                             // 19
    1, 1,                          // 20, 21 (unassigned)
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 22 to 31
    0, 0,                          // 32, 33: anchor
    1, 1, 1, 1,                    // 34 to 37
};
constexpr std::array<uint8_t, kTableSize> kPacked = {
    0,                       // 0
    0, 0, 0, 0, 0, 0, 0,     // 1 to 7
    1,                       // 8 (unassigned)
    1,                       // 9: Fill
    0, 0, 0,                 // 10 to 12
    1,                       // 13 (unassigned)
    0,                       // 14
    1, 1, 1, 1,              // 15 to 18 (unassigned)
    0,                       // 19
    1, 1,                    // 20, 21 (unassigned)
    0, 0, 0,                 // 22 to 24
    1,                       // 25: Stroke Color
    0, 0, 0,                 // 26 to 28
    1,                       // 29: Shadow Color
    0, 0, 0, 0, 0, 0, 0, 0,  // 30 to 37
};

bool isInValidityMask(VTValueType type) {
    return type >= 0 && type < 64 && ((kVTPropertyValidityMask >> type) & 1u) != 0;
}

// The flag of `table` for a number of the validity mask; otherwise the Part's message on standard
// output, flushed at once (it is one whole line and tests capture it), and true.
bool flagOrUnknown(const std::array<uint8_t, kTableSize>& table, VTValueType type) {
    if (isInValidityMask(type)) return table[static_cast<size_t>(type)] != 0;
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

// "Packing a colour" step 3 for one component: × 255, rounded half away from zero, held to 0 … 255
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
    if (type >= 0 && type <= kVTPropertyLast) {
        if (const char* name = kNames[static_cast<size_t>(type)]) return name;
    }
    return "Unknown type: " + std::to_string(type);  // "Unknown type: %li"
}

bool isInternalProperty(VTValueType type) {
    return flagOrUnknown(kInternal, type);
}

bool isPackedProperty(VTValueType type) {
    return flagOrUnknown(kPacked, type);
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
    // The handle is never destroyed, so the space outlives every static that may still use it.
    static const auto* space = new CGColorSpaceRef(cachedColorSpaceFromName(kCGColorSpaceSRGB));
    return *space;
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
