#pragma once
// The property catalogue and packed colours: the numbering of layer properties with display names
// and flags, the per-layer property mask, the shared sRGB colour space, the conversion of colours
// to and from packed doubles, and their interpolation. The layer's value access
// (`valueForProperty:`, `setValue:forType:`) is in VTLayer+Values.cpp and builds on these.
//
// Numbers outside the catalogue never fail: names come out as "Unknown type: %li", the flag queries
// print "unknown property: %li\n" to standard output and answer true, mask operations ignore them.
// Nothing here keeps state except the shared sRGB colour space.

#include <cstdint>
#include <string>

#include "CGColor.h"
#include "CGColorSpace.h"
#include "CGGeometry.h"

#pragma GCC visibility push(default)  // exported from libVantler

// Property number: a signed 64-bit integer naming one layer property, 1 to 37; 8, 13, 15
// to 18, 20 and 21 are unassigned and 0 stands for no property. Every other value is outside the
// catalogue. The name follows the operations that take it (`stringForValueType`,
// `setValue:forType:`).
using VTValueType = int64_t;

// The catalogue's numbers, named after their display names.
inline constexpr VTValueType kVTPropertyNone = 0;
inline constexpr VTValueType kVTPropertyCenterX = 1;
inline constexpr VTValueType kVTPropertyCenterY = 2;
inline constexpr VTValueType kVTPropertyAngle = 3;
inline constexpr VTValueType kVTPropertyScale = 4;
inline constexpr VTValueType kVTPropertyWidth = 5;
inline constexpr VTValueType kVTPropertyHeight = 6;
inline constexpr VTValueType kVTPropertyOpacity = 7;
inline constexpr VTValueType kVTPropertyFill = 9;
inline constexpr VTValueType kVTPropertyScrollX = 10;
inline constexpr VTValueType kVTPropertyScrollY = 11;
inline constexpr VTValueType kVTPropertyHorizontalBehavior = 12;
inline constexpr VTValueType kVTPropertyMaskSublayers = 14;
inline constexpr VTValueType kVTPropertyVerticalBehavior = 19;
inline constexpr VTValueType kVTPropertyRadius = 22;
inline constexpr VTValueType kVTPropertyFontSize = 23;
inline constexpr VTValueType kVTPropertyStrokeWidth = 24;
inline constexpr VTValueType kVTPropertyStrokeColor = 25;
inline constexpr VTValueType kVTPropertyShadowX = 26;
inline constexpr VTValueType kVTPropertyShadowY = 27;
inline constexpr VTValueType kVTPropertyShadowBlur = 28;
inline constexpr VTValueType kVTPropertyShadowColor = 29;
inline constexpr VTValueType kVTPropertyMedia = 30;
inline constexpr VTValueType kVTPropertyText = 31;
inline constexpr VTValueType kVTPropertyAnchorX = 32;
inline constexpr VTValueType kVTPropertyAnchorY = 33;
inline constexpr VTValueType kVTPropertyMediaTime = 34;
inline constexpr VTValueType kVTPropertyComponentArtboard = 35;
inline constexpr VTValueType kVTPropertyMediaPaused = 36;
inline constexpr VTValueType kVTPropertyMediaVolume = 37;
// The highest number of the catalogue (and of the property mask).
inline constexpr VTValueType kVTPropertyLast = kVTPropertyMediaVolume;

// The numbers the flag queries know, bit n for number n: 0 to 7, 9 to 12, 14, 19 and 22 to 37
// (the numbers of the catalogue's rows, which VTProperty.cpp checks at compile time).
inline constexpr uint64_t kVTPropertyValidityMask = 0x3fffc85effull;

// ---- Exported layer defaults (a new layer starts from these)
inline constexpr float kOpacityDefault = 1.0f;
inline constexpr double kScaleDefault = 1.0;
inline constexpr CGPoint kAnchorPointDefault{0.5, 0.5};

// ---- Catalogue
// The display name of the table ("Center X" … "Media Volume"); for any other number, 0 and the
// unassigned ones included (the table gives 0 no name), "Unknown type: <number>".
std::string stringForValueType(VTValueType type);
// The internal flag: false exactly for the placement properties 1 to 7, 32 and 33, true for every
// other number of the validity mask (0 included). A number outside the mask (unassigned, negative,
// 38 and above) prints "unknown property: <number>\n" to standard output and answers true.
bool isInternalProperty(VTValueType type);
// The packed flag: true exactly for the colours 9, 25 and 29 among the numbers of the validity
// mask. A number outside the mask prints the same line and answers true.
bool isPackedProperty(VTValueType type);

// ---- Property mask: bit n−1 of a 64-bit word stands for property number n, 1 ≤ n ≤ 37.
// Sets (on) or clears (off) bit n−1 of *mask; does nothing for n outside 1 … 37 or a null mask.
void setMaskBit(uint64_t* mask, VTValueType type, bool on);
// Bit n−1 of mask; false for n outside 1 … 37.
bool readMaskBit(uint64_t mask, VTValueType type);

// ---- Colours
// The shared sRGB colour space, the process's one (CGColorSpaceGetSRGB), kept for the life of the
// process; callers never release it. It is the identical object that the colour-space caches
// (cachedColorSpaceFromName(kCGColorSpaceSRGB)), CGColorCreateSRGB, archived colours and drawing
// use, and colours made in it compare equal (CGColorEqualToColor) to theirs.
const CGColorSpaceRef& SRGBColorSpace();

// Byte number `index` of `value`, counted from the least significant end: value >> ((index × 8)
// mod 32), low 8 bits. Of a packed colour, index 0 is alpha, 1 blue, 2 green, 3 red; index 4 is
// index 0 again.
uint8_t getByte(uint32_t value, uint32_t index);

// A new colour in the shared sRGB space from a packed colour: the low 32 bits of the double's bit
// pattern hold red (bits 31…24), green, blue and alpha (bits 7…0), each channel / 255.0 becoming a
// component. The upper 32 bits are ignored.
CGColorRef CGColorCreateFromDouble(double packed);
// The packed colour of `color`: matched into the shared sRGB space (perceptual intent), each of
// red, green, blue, alpha times 255 rounded half away from zero and held to 0 … 255 (a NaN gives
// 0). A null colour, or one that does not match into four sRGB components, gives 0.0 (all bits
// zero).
double doubleRepresentationOfCGColor(const CGColorRef& color);

// round(t × to + (1 − t) × from), halves away from zero, as a signed 64-bit integer, low 8 bits.
// Where the rounded value lies outside the 64-bit range it saturates, and NaN gives 0 (the
// platform's conversion is undefined there; this is the arm64 result).
uint8_t interpolateByte(uint32_t from, uint32_t to, double t);
// The packed colour whose red, green, blue and alpha are each interpolateByte of the two inputs'
// channels; the upper 32 bits of the result are zero (those of the inputs are ignored).
double interpolateDoubleColors(double from, double to, double t);

#pragma GCC visibility pop
