// Colour spaces of decoded images. See ImageIOPrivate.h.

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <mutex>

#include "ImageIOLimits.h"
#include "ImageIOPrivate.h"
#include "NSData.h"

namespace ImageIOPrivate {

namespace {

struct KnownProfile {
    CGColorSpaceRef space;
    std::shared_ptr<NSData> bytes;
};

// The named spaces whose profiles a file may carry byte for byte (written by this system, or by a
// Mac when the profiles agree).
const std::vector<KnownProfile>& knownProfiles() {
    static const auto* profiles = [] {
        auto* list = new std::vector<KnownProfile>;
        for (const char* name :
             {kCGColorSpaceSRGB, kCGColorSpaceDisplayP3, kCGColorSpaceAdobeRGB1998,
              kCGColorSpaceGenericRGB, kCGColorSpaceGenericRGBLinear, kCGColorSpaceLinearSRGB,
              kCGColorSpaceGenericGray, kCGColorSpaceGenericGrayGamma2_2,
              kCGColorSpaceLinearGray}) {
            CGColorSpaceRef space = CGColorSpaceCreateWithName(name);
            auto bytes = CGColorSpaceCopyICCData(space);
            if (space && bytes) list->push_back({space, bytes});
        }
        return list;
    }();
    return *profiles;
}

struct ProfileCache {
    struct Entry {
        std::vector<uint8_t> bytes;
        CGColorSpaceRef space;  // null: the profile is unusable (kept, so it is not parsed again)
    };
    std::mutex mutex;
    std::vector<Entry> entries;
};

CGColorSpaceRef spaceForProfile(std::span<const uint8_t> profile) {
    for (const auto& known : knownProfiles()) {
        const auto bytes = known.bytes->span();
        if (bytes.size() == profile.size() &&
            std::equal(bytes.begin(), bytes.end(), profile.begin()))
            return known.space;
    }
    static auto* cache = new ProfileCache;  // never destroyed: decoders may run on worker threads
    std::lock_guard lock(cache->mutex);
    for (const auto& entry : cache->entries)
        if (entry.bytes.size() == profile.size() &&
            std::equal(entry.bytes.begin(), entry.bytes.end(), profile.begin()))
            return entry.space;
    CGColorSpaceRef space = CGColorSpaceCreateWithICCData(profile);
    if (cache->entries.size() >= ImageIOLimits::kMaxCachedProfiles) cache->entries.clear();
    cache->entries.push_back({std::vector<uint8_t>(profile.begin(), profile.end()), space});
    return space;
}

void silentErrorHandler(cmsContext, cmsUInt32Number, const char*) {}

// A profile saved by lcms2, with the creation date fixed (as CGColorSpace.cpp does) so that the
// same chunks always give the same bytes, and so the same cached space.
std::vector<uint8_t> saveProfile(cmsHPROFILE profile) {
    std::vector<uint8_t> bytes;
    cmsUInt32Number length = 0;
    if (!cmsSaveProfileToMem(profile, nullptr, &length) || length < 128) return bytes;
    bytes.resize(length);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &length)) return {};
    bytes.resize(length);
    const std::array<uint16_t, 6> date{2024, 1, 1, 0, 0, 0};
    for (size_t i = 0; i < date.size(); ++i) {
        bytes[24 + 2 * i] = static_cast<uint8_t>(date[i] >> 8);
        bytes[25 + 2 * i] = static_cast<uint8_t>(date[i] & 0xff);
    }
    return bytes;
}

constexpr Chromaticities kSRGBChromaticities{0.3127, 0.3290, 0.64, 0.33, 0.30, 0.60, 0.15, 0.06};

// The PNG specification (11.3.3.5) lets a decoder treat gAMA 1/2.2 with sRGB's chromaticities as
// sRGB; encoders write exactly that beside (or instead of) an sRGB chunk. Tolerances: gAMA is
// stored in units of 1e-5 and cHRM in 1e-5 too; these allow for rounding by any writer.
constexpr double kSRGBGammaTolerance = 0.0005;
constexpr double kSRGBChromaticityTolerance = 0.001;

bool isSRGB(double gamma, const Chromaticities& c) {
    const double values[] = {c.whiteX, c.whiteY, c.redX,  c.redY,
                             c.greenX, c.greenY, c.blueX, c.blueY};
    const double srgb[] = {kSRGBChromaticities.whiteX, kSRGBChromaticities.whiteY,
                           kSRGBChromaticities.redX,   kSRGBChromaticities.redY,
                           kSRGBChromaticities.greenX, kSRGBChromaticities.greenY,
                           kSRGBChromaticities.blueX,  kSRGBChromaticities.blueY};
    if (std::fabs(gamma - 1 / 2.2) > kSRGBGammaTolerance) return false;
    for (size_t i = 0; i < 8; ++i)
        if (std::fabs(values[i] - srgb[i]) > kSRGBChromaticityTolerance) return false;
    return true;
}

// A gamma of the file outside this range is nonsense (libpng refuses most of it already): such a
// gAMA is ignored.
constexpr double kMinFileGamma = 0.01;
constexpr double kMaxFileGamma = 100;

}  // namespace

CGColorSpaceRef colorSpaceFromICCProfile(std::span<const uint8_t> profile, size_t components) {
    if (profile.empty()) return nullptr;
    CGColorSpaceRef space = spaceForProfile(profile);
    if (!space || CGColorSpaceGetNumberOfComponents(space) != components) return nullptr;
    return space;
}

CGColorSpaceRef defaultColorSpace(size_t components) {
    return components == 1 ? CGColorSpaceCreateDeviceGray()
                           : CGColorSpaceCreateWithName(kCGColorSpaceSRGB);
}

CGColorSpaceRef colorSpaceFromGamma(double gamma,
                                    const std::optional<Chromaticities>& chromaticities,
                                    size_t components) {
    if (!(gamma >= kMinFileGamma && gamma <= kMaxFileGamma)) return nullptr;
    const Chromaticities c = chromaticities.value_or(kSRGBChromaticities);
    if (isSRGB(gamma, components == 1 ? kSRGBChromaticities : c))
        return defaultColorSpace(components);

    cmsContext context = cmsCreateContext(nullptr, nullptr);
    if (!context) return nullptr;
    cmsSetLogErrorHandlerTHR(context, silentErrorHandler);
    std::vector<uint8_t> bytes;
    cmsToneCurve* curve = cmsBuildGamma(context, 1 / gamma);
    if (curve) {
        const cmsCIExyY white{c.whiteX, c.whiteY, 1.0};
        cmsHPROFILE profile = nullptr;
        if (components == 1) {
            profile = cmsCreateGrayProfileTHR(context, &white, curve);
        } else {
            const cmsCIExyYTRIPLE primaries{
                {c.redX, c.redY, 1.0}, {c.greenX, c.greenY, 1.0}, {c.blueX, c.blueY, 1.0}};
            cmsToneCurve* curves[3] = {curve, curve, curve};
            profile = cmsCreateRGBProfileTHR(context, &white, &primaries, curves);
        }
        if (profile) {
            cmsMLU* description = cmsMLUalloc(context, 1);
            if (description && cmsMLUsetASCII(description, "en", "US", "PNG gAMA/cHRM"))
                cmsWriteTag(profile, cmsSigProfileDescriptionTag, description);
            if (description) cmsMLUfree(description);
            bytes = saveProfile(profile);
            cmsCloseProfile(profile);
        }
        cmsFreeToneCurve(curve);
    }
    cmsDeleteContext(context);
    if (bytes.empty()) return nullptr;
    return colorSpaceFromICCProfile(bytes, components);
}

std::span<const uint8_t> sRGBProfileBytes() {
    static const auto* bytes = new std::shared_ptr<NSData>(
        CGColorSpaceCopyICCData(CGColorSpaceCreateWithName(kCGColorSpaceSRGB)));
    return *bytes ? (*bytes)->span() : std::span<const uint8_t>();
}

}  // namespace ImageIOPrivate
