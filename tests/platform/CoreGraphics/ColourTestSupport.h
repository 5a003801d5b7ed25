#pragma once
// ICC profiles built with lcms2 at test time, and the sRGB curve as an independent reference.

#include <lcms2.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ColourTestSupport {

inline std::vector<uint8_t> saveProfile(cmsHPROFILE profile) {
    cmsUInt32Number length = 0;
    std::vector<uint8_t> bytes;
    if (profile && cmsSaveProfileToMem(profile, nullptr, &length)) {
        bytes.resize(length);
        if (!cmsSaveProfileToMem(profile, bytes.data(), &length)) bytes.clear();
    }
    if (profile) cmsCloseProfile(profile);
    return bytes;
}

inline void setDescription(cmsHPROFILE profile, const char* description) {
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(mlu, "en", "US", description);
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, mlu);
    cmsMLUfree(mlu);
}

inline constexpr cmsCIExyY kD65{0.3127, 0.3290, 1.0};
inline constexpr cmsCIExyYTRIPLE kSRGBPrimaries{{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
inline constexpr cmsCIExyYTRIPLE kDisplayP3Primaries{
    {0.68, 0.32, 1}, {0.265, 0.69, 1}, {0.15, 0.06, 1}},
    kP22Primaries{{0.63, 0.34, 1}, {0.295, 0.605, 1}, {0.155, 0.077, 1}};

// An RGB matrix/curve profile. gamma 0 means the sRGB curve.
inline std::vector<uint8_t> makeRGBProfile(const char* description,
                                           const cmsCIExyYTRIPLE& primaries, double gamma,
                                           double version = 4.3) {
    const cmsFloat64Number sRGB[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    cmsToneCurve* curve =
        gamma == 0 ? cmsBuildParametricToneCurve(nullptr, 4, sRGB) : cmsBuildGamma(nullptr, gamma);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&kD65, &primaries, curves);
    cmsFreeToneCurve(curve);
    cmsSetProfileVersion(profile, version);
    setDescription(profile, description);
    return saveProfile(profile);
}

// A profile given by tables, as scanners and printers describe colour: ICC v2 lut16 A2B0 and B2A0
// tags holding 2-point CLUTs between `channels` device components and a neutral Lab. Corner i of
// the device cube (bit k set: component k at its maximum) has lightness lightness(i).
inline std::vector<uint8_t> makeLutProfile(cmsColorSpaceSignature space,
                                           cmsProfileClassSignature deviceClass, unsigned channels,
                                           double (*lightness)(unsigned corner)) {
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 2.1);
    cmsSetDeviceClass(profile, deviceClass);
    cmsSetColorSpace(profile, space);
    cmsSetPCS(profile, cmsSigLabData);
    setDescription(profile, "Test LUT");
    std::vector<cmsUInt16Number> toLab, fromLab;
    for (unsigned i = 0; i < 1u << channels; ++i)
        toLab.insert(toLab.end(), {cmsUInt16Number(lightness(i) * 0xffff), 0x8080, 0x8080});
    for (unsigned i = 0; i < 8; ++i)
        fromLab.insert(fromLab.end(), channels, cmsUInt16Number(i & 4 ? 0xffff : 0));
    cmsPipeline* a2b = cmsPipelineAlloc(nullptr, channels, 3);
    cmsPipelineInsertStage(a2b, cmsAT_END,
                           cmsStageAllocCLut16bit(nullptr, 2, channels, 3, toLab.data()));
    cmsWriteTag(profile, cmsSigAToB0Tag, a2b);
    cmsPipelineFree(a2b);
    cmsPipeline* b2a = cmsPipelineAlloc(nullptr, 3, channels);
    cmsPipelineInsertStage(b2a, cmsAT_END,
                           cmsStageAllocCLut16bit(nullptr, 2, 3, channels, fromLab.data()));
    cmsWriteTag(profile, cmsSigBToA0Tag, b2a);
    cmsPipelineFree(b2a);
    cmsCIEXYZ white = *cmsD50_XYZ();
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, &white);
    return saveProfile(profile);
}

// Lightness grows with the components that are on, neutral throughout.
inline std::vector<uint8_t> makeRGBLutProfile() {
    return makeLutProfile(cmsSigRgbData, cmsSigInputClass, 3,
                          [](unsigned corner) { return std::popcount(corner) / 3.0; });
}

inline std::vector<uint8_t> makeCMYKProfile() {
    return makeLutProfile(cmsSigCmykData, cmsSigOutputClass, 4,
                          [](unsigned corner) { return corner % 2 ? 0.0 : 1.0; });
}

// The sRGB curve, mirrored for negative values (as the extended sRGB space uses it).
inline double sRGBToLinear(double v) {
    const double a = std::fabs(v);
    return std::copysign(a <= 0.04045 ? a / 12.92 : std::pow((a + 0.055) / 1.055, 2.4), v);
}
inline double linearToSRGB(double v) {
    const double a = std::fabs(v);
    return std::copysign(a <= 0.0031308 ? a * 12.92 : 1.055 * std::pow(a, 1 / 2.4) - 0.055, v);
}

}  // namespace ColourTestSupport
