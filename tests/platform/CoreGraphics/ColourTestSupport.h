#pragma once
// Helpers of the colour tests: ICC profiles built with lcms2 at test time (as a Mac would embed
// them, and ones that must be refused), and an independent colourimetric reference (matrices from
// the published chromaticities, the sRGB curve) to check lcms2's results against.

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
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
    {0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}};
inline constexpr cmsCIExyYTRIPLE kAdobeRGBPrimaries{
    {0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
inline constexpr cmsCIExyYTRIPLE kP22Primaries{
    {0.630, 0.340, 1}, {0.295, 0.605, 1}, {0.155, 0.077, 1}};

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

inline std::vector<uint8_t> makeGrayProfile(const char* description, double gamma) {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, gamma);
    cmsHPROFILE profile = cmsCreateGrayProfile(cmsD50_xyY(), curve);
    cmsFreeToneCurve(curve);
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

// RGB by tables: lightness grows with the components that are on, neutral throughout.
inline std::vector<uint8_t> makeRGBLutProfile() {
    return makeLutProfile(cmsSigRgbData, cmsSigInputClass, 3, [](unsigned corner) {
        return ((corner & 1) + (corner >> 1 & 1) + (corner >> 2 & 1)) / 3.0;
    });
}

inline std::vector<uint8_t> makeCMYKProfile() {
    return makeLutProfile(cmsSigCmykData, cmsSigOutputClass, 4,
                          [](unsigned corner) { return corner % 2 ? 0.0 : 1.0; });
}

// ---- Independent colourimetry

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;  // rows

inline Vec3 multiply(const Mat3& m, const Vec3& v) {
    Vec3 r{};
    for (int i = 0; i < 3; ++i) r[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
    return r;
}

inline Mat3 inverse(const Mat3& m) {
    Mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)  // cofactor (j, i) over the determinant
            r[i][j] = m[(j + 1) % 3][(i + 1) % 3] * m[(j + 2) % 3][(i + 2) % 3] -
                      m[(j + 1) % 3][(i + 2) % 3] * m[(j + 2) % 3][(i + 1) % 3];
    const double det = m[0][0] * r[0][0] + m[0][1] * r[1][0] + m[0][2] * r[2][0];
    for (auto& row : r)
        for (double& v : row) v /= det;
    return r;
}

// Linear RGB → XYZ for the primaries and D65 (the normalised primary matrix, SMPTE RP 177).
inline Mat3 rgbToXYZ(const cmsCIExyYTRIPLE& p) {
    const auto xyz = [](double x, double y) { return Vec3{x / y, 1.0, (1 - x - y) / y}; };
    const Vec3 r = xyz(p.Red.x, p.Red.y), g = xyz(p.Green.x, p.Green.y),
               b = xyz(p.Blue.x, p.Blue.y);
    const Mat3 columns{{{r[0], g[0], b[0]}, {r[1], g[1], b[1]}, {r[2], g[2], b[2]}}};
    const Vec3 s = multiply(inverse(columns), xyz(kD65.x, kD65.y));
    Mat3 m;
    for (int i = 0; i < 3; ++i)
        m[i] = {columns[i][0] * s[0], columns[i][1] * s[1], columns[i][2] * s[2]};
    return m;
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

// Linear light in `from` primaries → sRGB-curve components in `to` primaries (both D65).
inline Vec3 convertLinear(const Vec3& linear, const cmsCIExyYTRIPLE& from,
                          const cmsCIExyYTRIPLE& to) {
    const Vec3 out = multiply(inverse(rgbToXYZ(to)), multiply(rgbToXYZ(from), linear));
    return {linearToSRGB(out[0]), linearToSRGB(out[1]), linearToSRGB(out[2])};
}

// An sRGB-curve colour in `from` primaries → the same in `to` primaries, unclamped.
inline Vec3 convertSRGBCurveSpaces(const Vec3& c, const cmsCIExyYTRIPLE& from,
                                   const cmsCIExyYTRIPLE& to) {
    return convertLinear({sRGBToLinear(c[0]), sRGBToLinear(c[1]), sRGBToLinear(c[2])}, from, to);
}

}  // namespace ColourTestSupport
