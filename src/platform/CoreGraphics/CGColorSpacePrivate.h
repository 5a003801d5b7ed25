#pragma once
// The inside of CGColorSpace, shared by the CoreGraphics stand-in's own sources (colours now,
// images and contexts later). Not platform API: code outside src/platform/CoreGraphics/ uses
// CGColorSpace.h.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "CGColorSpace.h"

namespace CoreGraphicsPrivate {

using ProfileBytes = std::shared_ptr<const std::vector<uint8_t>>;

// How components are taken to and from the profile that lcms2 matches through. Only the extended
// sRGB space needs this: its curve is the sRGB curve mirrored about 0 (f(−x) = −f(x)) and continued
// above 1, which no ICC curve expresses, so lcms2 matches through the linear sRGB profile and the
// curve is applied here in double precision.
enum class Transfer { none, extendedSRGB };

class LcmsTransform;

}  // namespace CoreGraphicsPrivate

class CGColorSpace {
  public:
    CGColorSpaceModel model = kCGColorSpaceModelUnknown;
    size_t numberOfComponents = 0;  // 1 or 3
    const char* name = nullptr;     // one of the name constants, or null for an ICC space
    bool extendedRange = false;
    // What CGColorSpaceCopyICCData reports; null for the device spaces.
    CoreGraphicsPrivate::ProfileBytes iccData;
    // The profile lcms2 matches through (the ICC data, sRGB for device RGB, a grey profile with the
    // sRGB curve for device grey, linear sRGB for the extended spaces) and the curve around it.
    CoreGraphicsPrivate::ProfileBytes matchingProfile;
    CoreGraphicsPrivate::Transfer transfer = CoreGraphicsPrivate::Transfer::none;
    // Never reused, so a cached transform keyed by a destination that has gone away is never found
    // for another space that happens to get the same address.
    uint64_t serial = 0;

    // Transforms from this space, keyed by destination serial and lcms2 intent; null entries record
    // that lcms2 could not build one. Bounded; see transformBetween in CGColorSpace.cpp.
    struct CachedTransform {
        uint64_t destinationSerial;
        uint32_t intent;
        std::shared_ptr<const CoreGraphicsPrivate::LcmsTransform> transform;
    };
    mutable std::mutex transformsMutex;
    mutable std::vector<CachedTransform> transforms;
};

namespace CoreGraphicsPrivate {

// Matches `count` pixels of `from`'s colour components (no alpha; `from.numberOfComponents` doubles
// each, interleaved) into `to`'s components (`to.numberOfComponents` doubles each) with the
// rendering intent, through lcms2's floating-point path. NaN components read as 0. Components of a
// space without extended range are taken as clamped to 0…1 on input and clamped to 0…1 on output;
// an extended destination keeps values outside 0…1. Safe to call from several threads at once.
// False (and `out` unspecified) when lcms2 cannot build the transform.
bool matchComponents(const CGColorSpace& from, const CGColorSpace& to,
                     CGColorRenderingIntent intent, const double* in, double* out, size_t count);

// The output space of drawing: sRGB, the named space kCGColorSpaceSRGB.
const CGColorSpace& outputColorSpace();

}  // namespace CoreGraphicsPrivate
