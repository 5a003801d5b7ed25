#pragma once
// CoreGraphics colour spaces with CoreGraphics' names, over lcms2: the spaces of colours, images
// and drawing contexts, and of the colour values archives carry.
//
// A colour space is an immutable, thread-safe object shared through `CGColorSpaceRef`; identity is
// pointer identity (colours compare their spaces by identity, so shared spaces keep equal colours
// equal). There are three kinds:
//
// - Named spaces, made by `CGColorSpaceCreateWithName` from the platform's name strings. Each name
//   gives one process-wide object (as on macOS, where the named spaces are shared singletons), so
//   two calls with the same name return the identical space. Each carries a real ICC profile built
//   by lcms2 from the space's published primaries, white point and transfer curve (sources in
//   CGColorSpace.cpp).
// - The device spaces (`CGColorSpaceCreateDeviceRGB`, `CGColorSpaceCreateDeviceGray`): no ICC data.
//   For matching and drawing, device RGB is taken as sRGB and device grey as the neutral axis of
//   sRGB (grey g matches sRGB (g, g, g)), as macOS has done since 10.8.
// - Spaces made from ICC profile bytes (`CGColorSpaceCreateWithICCData`): any valid RGB or grey
//   profile. They have no name, and their ICC data is exactly the bytes they were made from.
//
// Every function accepts a null space and then gives the "none" answer its comment states.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#pragma GCC visibility push(default)  // exported from libVantler

class NSData;
class NSString;

class CGColorSpace;  // opaque; defined in CGColorSpacePrivate.h for CGColor.cpp and
                     // CGColorSpace.cpp
using CGColorSpaceRef = std::shared_ptr<const CGColorSpace>;

// CoreGraphics' enumeration, with its values. Only Monochrome and RGB spaces exist here.
enum CGColorSpaceModel : int32_t {
    kCGColorSpaceModelUnknown = -1,
    kCGColorSpaceModelMonochrome = 0,
    kCGColorSpaceModelRGB = 1,
    kCGColorSpaceModelCMYK = 2,
    kCGColorSpaceModelLab = 3,
    kCGColorSpaceModelDeviceN = 4,
    kCGColorSpaceModelIndexed = 5,
    kCGColorSpaceModelPattern = 6,
    kCGColorSpaceModelXYZ = 7,
};

// CoreGraphics' enumeration, with its values (packing a colour into a number matches it to sRGB
// with Perceptual, 3). Default means relative colorimetric, CoreGraphics' intent for colours. For
// the matrix/curve profiles of the named spaces lcms2 computes perceptual and saturation as
// relative colorimetric (those profiles have no perceptual tables); absolute colorimetric differs
// only where the media white points differ.
enum CGColorRenderingIntent : int32_t {
    kCGRenderingIntentDefault = 0,
    kCGRenderingIntentAbsoluteColorimetric = 1,
    kCGRenderingIntentRelativeColorimetric = 2,
    kCGRenderingIntentPerceptual = 3,
    kCGRenderingIntentSaturation = 4,
};

// ---- Names
// On macOS each constant is a string whose text is the constant's own name; archives written on a
// Mac (a colour's space name) carry these texts, so they are the exact strings below.
inline constexpr const char* kCGColorSpaceSRGB = "kCGColorSpaceSRGB";
inline constexpr const char* kCGColorSpaceDisplayP3 = "kCGColorSpaceDisplayP3";
inline constexpr const char* kCGColorSpaceGenericRGB = "kCGColorSpaceGenericRGB";
inline constexpr const char* kCGColorSpaceGenericRGBLinear = "kCGColorSpaceGenericRGBLinear";
inline constexpr const char* kCGColorSpaceAdobeRGB1998 = "kCGColorSpaceAdobeRGB1998";
inline constexpr const char* kCGColorSpaceLinearSRGB = "kCGColorSpaceLinearSRGB";
inline constexpr const char* kCGColorSpaceExtendedSRGB = "kCGColorSpaceExtendedSRGB";
inline constexpr const char* kCGColorSpaceExtendedLinearSRGB = "kCGColorSpaceExtendedLinearSRGB";
inline constexpr const char* kCGColorSpaceGenericGray = "kCGColorSpaceGenericGray";
inline constexpr const char* kCGColorSpaceGenericGrayGamma2_2 = "kCGColorSpaceGenericGrayGamma2_2";
inline constexpr const char* kCGColorSpaceLinearGray = "kCGColorSpaceLinearGray";
// The device spaces have no public constant on macOS, but CGColorSpaceCopyName reports these texts
// for CGColorSpaceCreateDeviceRGB() and CGColorSpaceCreateDeviceGray(), so a Mac archive may name
// them (an archived colour records whatever name its space reports). The constants are ours; the
// texts are Apple's. CGColorSpaceCreateWithName accepts them and gives the device spaces, so that a
// device colour, which has a name but no profile, reads back through its name.
inline constexpr const char* kCGColorSpaceDeviceRGB = "kCGColorSpaceDeviceRGB";
inline constexpr const char* kCGColorSpaceDeviceGray = "kCGColorSpaceDeviceGray";

// ---- Creation
// The named space for `name` (compared as a whole string, so a name with an embedded NUL is
// unknown), the same object on every call; null for a null or unknown name.
CGColorSpaceRef CGColorSpaceCreateWithName(const char* name);
CGColorSpaceRef CGColorSpaceCreateWithName(std::string_view name);
// The device spaces, each one process-wide object (the same as CreateWithName with its name).
CGColorSpaceRef CGColorSpaceCreateDeviceRGB();
CGColorSpaceRef CGColorSpaceCreateDeviceGray();
// The process's one sRGB space (kCGColorSpaceSRGB), borrowed: the handle lives until the process
// ends, so callers keep a reference or not as they like. Drawing matches into it, and the model's
// shared sRGB space is this very object. Null only if the space could not be made at all.
const CGColorSpaceRef& CGColorSpaceGetSRGB();

// Longest ICC profile accepted. Real profiles, LUT-based ones included, are well under 1 MiB; the
// cap keeps a hostile archive from making lcms2 copy and parse hundreds of megabytes.
inline constexpr size_t kCGColorSpaceMaxICCDataLength = 16u << 20;

// A new space described by ICC profile bytes (copied): null for null or empty data, data longer
// than kCGColorSpaceMaxICCDataLength, bytes that lcms2 cannot read, a profile whose colour space is
// not RGB or grey (CMYK, Lab, ...), a device-link, abstract or named-colour profile, and a profile
// from which lcms2 cannot build a transform to sRGB. Never crashes on hostile bytes. Each call
// makes a new object; `cachedColorSpaceFromICCData` shares them by bytes.
CGColorSpaceRef CGColorSpaceCreateWithICCData(std::span<const uint8_t> bytes);
CGColorSpaceRef CGColorSpaceCreateWithICCData(const NSData* data);
CGColorSpaceRef CGColorSpaceCreateWithICCData(const std::shared_ptr<const NSData>& data);

// ---- Queries
// The ICC profile of the space as a new data object (the bytes are shared, immutable): for a named
// space the profile built for it (the extended spaces report the profile of their non-extended
// counterpart, which has the same primaries and curve), for an ICC space exactly the bytes it was
// made from; null for the device spaces and for a null space.
std::shared_ptr<NSData> CGColorSpaceCopyICCData(const CGColorSpaceRef& space);
// The space's name (one of the constants above) as a new string; null for a space made from ICC
// data and for a null space.
std::shared_ptr<NSString> CGColorSpaceCopyName(const CGColorSpaceRef& space);
// The same name without allocating: static text equal to the constant's (compare the text, not the
// pointer: each translation unit may hold its own copy of a literal), or null.
const char* CGColorSpaceGetName(const CGColorSpaceRef& space);
// Colour components without alpha: 3 for RGB, 1 for grey, 0 for a null space.
size_t CGColorSpaceGetNumberOfComponents(const CGColorSpaceRef& space);
// kCGColorSpaceModelRGB or kCGColorSpaceModelMonochrome; kCGColorSpaceModelUnknown for null.
CGColorSpaceModel CGColorSpaceGetModel(const CGColorSpaceRef& space);
// True for kCGColorSpaceExtendedSRGB and kCGColorSpaceExtendedLinearSRGB, whose components may lie
// outside 0…1 (the extended sRGB curve is mirrored for negative values and continues above 1).
bool CGColorSpaceUsesExtendedRange(const CGColorSpaceRef& space);

#pragma GCC visibility pop
