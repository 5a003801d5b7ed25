#pragma once
// Helpers for the colour tests: ICC profiles built with lcms2 at test time (as a Mac would embed
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

// ---- Profiles

inline std::vector<uint8_t> saveProfile(cmsHPROFILE profile) {
    cmsUInt32Number length = 0;
    std::vector<uint8_t> bytes;
    if (!profile || !cmsSaveProfileToMem(profile, nullptr, &length)) return bytes;
    bytes.resize(length);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &length)) bytes.clear();
    cmsCloseProfile(profile);
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
inline constexpr cmsCIExyYTRIPLE kP22Primaries{
    {0.630, 0.340, 1}, {0.295, 0.605, 1}, {0.155, 0.077, 1}};

// An RGB matrix/curve profile. gamma 0 means the sRGB curve. version: 2 or 4.
inline std::vector<uint8_t> makeRGBProfile(const char* description,
                                           const cmsCIExyYTRIPLE& primaries, double gamma,
                                           double version = 4.3) {
    cmsToneCurve* curve;
    if (gamma == 0) {
        const cmsFloat64Number parameters[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
        curve = cmsBuildParametricToneCurve(nullptr, 4, parameters);
    } else {
        curve = cmsBuildGamma(nullptr, gamma);
    }
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

// A valid CMYK output profile: a 2-point CLUT from CMYK to Lab and back (ICC v2 lut16 tags, which
// take a bare CLUT).
inline std::vector<uint8_t> makeCMYKProfile() {
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 2.1);
    cmsSetDeviceClass(profile, cmsSigOutputClass);
    cmsSetColorSpace(profile, cmsSigCmykData);
    cmsSetPCS(profile, cmsSigLabData);
    setDescription(profile, "Test CMYK");
    cmsPipeline* toLab = cmsPipelineAlloc(nullptr, 4, 3);
    std::vector<cmsUInt16Number> table(16 * 3);
    for (size_t i = 0; i < 16; ++i) {
        table[3 * i] = static_cast<cmsUInt16Number>((i % 2 ? 0 : 0xffff));  // L*
        table[3 * i + 1] = 0x8080;                                          // a* = 0
        table[3 * i + 2] = 0x8080;                                          // b* = 0
    }
    cmsPipelineInsertStage(toLab, cmsAT_END,
                           cmsStageAllocCLut16bit(nullptr, 2, 4, 3, table.data()));
    cmsWriteTag(profile, cmsSigAToB0Tag, toLab);
    cmsPipelineFree(toLab);
    cmsPipeline* fromLab = cmsPipelineAlloc(nullptr, 3, 4);
    std::vector<cmsUInt16Number> back(8 * 4, 0);
    cmsPipelineInsertStage(fromLab, cmsAT_END,
                           cmsStageAllocCLut16bit(nullptr, 2, 3, 4, back.data()));
    cmsWriteTag(profile, cmsSigBToA0Tag, fromLab);
    cmsPipelineFree(fromLab);
    cmsCIEXYZ white = *cmsD50_XYZ();
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, &white);
    return saveProfile(profile);
}

// An RGB profile given by tables, as scanners and printers describe RGB: A2B0 and B2A0 lut16 tags
// (ICC v2) with 2-point CLUTs between RGB and Lab (R+G+B mapped to lightness, neutral).
inline std::vector<uint8_t> makeRGBLutProfile() {
    cmsHPROFILE profile = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(profile, 2.1);
    cmsSetDeviceClass(profile, cmsSigInputClass);
    cmsSetColorSpace(profile, cmsSigRgbData);
    cmsSetPCS(profile, cmsSigLabData);
    setDescription(profile, "Test RGB LUT");
    std::vector<cmsUInt16Number> toLab(8 * 3), fromLab(8 * 3);
    for (size_t i = 0; i < 8; ++i) {
        const unsigned ones =
            unsigned((i & 1) != 0) + unsigned((i & 2) != 0) + unsigned((i & 4) != 0);
        toLab[3 * i] = static_cast<cmsUInt16Number>(ones * 0xffff / 3);
        toLab[3 * i + 1] = toLab[3 * i + 2] = 0x8080;
        fromLab[3 * i] = fromLab[3 * i + 1] = fromLab[3 * i + 2] = (i & 4) ? 0xffff : 0;
    }
    cmsPipeline* a2b = cmsPipelineAlloc(nullptr, 3, 3);
    cmsPipelineInsertStage(a2b, cmsAT_END, cmsStageAllocCLut16bit(nullptr, 2, 3, 3, toLab.data()));
    cmsWriteTag(profile, cmsSigAToB0Tag, a2b);
    cmsPipelineFree(a2b);
    cmsPipeline* b2a = cmsPipelineAlloc(nullptr, 3, 3);
    cmsPipelineInsertStage(b2a, cmsAT_END,
                           cmsStageAllocCLut16bit(nullptr, 2, 3, 3, fromLab.data()));
    cmsWriteTag(profile, cmsSigBToA0Tag, b2a);
    cmsPipelineFree(b2a);
    cmsCIEXYZ white = *cmsD50_XYZ();
    cmsWriteTag(profile, cmsSigMediaWhitePointTag, &white);
    return saveProfile(profile);
}

// Offset of the data of tag `signature` (four characters) in a profile; 0 when absent.
inline size_t tagOffset(const std::vector<uint8_t>& bytes, const char* signature) {
    auto u32 = [&](size_t at) {
        return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 |
               uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
    };
    const uint32_t count = u32(128);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = 132 + 12 * size_t(i);
        if (std::equal(signature, signature + 4,
                       bytes.begin() + static_cast<std::ptrdiff_t>(entry)))
            return u32(entry + 4);
    }
    return 0;
}

inline std::vector<uint8_t> makeLabProfile() {
    return saveProfile(cmsCreateLab4Profile(nullptr));
}

// A device link whose colour space is RGB: RGB in, RGB out, no PCS; not a colour space.
inline std::vector<uint8_t> makeRGBDeviceLink() {
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateLinearizationDeviceLink(cmsSigRgbData, curves);
    cmsFreeToneCurve(curve);
    return saveProfile(profile);
}

// ---- Independent colourimetry

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;  // rows

inline Vec3 xyToXYZ(double x, double y) {
    return {x / y, 1.0, (1 - x - y) / y};
}

inline Vec3 multiply(const Mat3& m, const Vec3& v) {
    return {m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2],
            m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
            m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2]};
}

inline Mat3 product(const Mat3& a, const Mat3& b) {
    Mat3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) r[i][j] += a[i][k] * b[k][j];
    return r;
}

inline Mat3 inverse(const Mat3& m) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    Mat3 r;
    r[0] = {(m[1][1] * m[2][2] - m[1][2] * m[2][1]) / det,
            (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det,
            (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det};
    r[1] = {(m[1][2] * m[2][0] - m[1][0] * m[2][2]) / det,
            (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det,
            (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det};
    r[2] = {(m[1][0] * m[2][1] - m[1][1] * m[2][0]) / det,
            (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det,
            (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det};
    return r;
}

// Linear RGB → XYZ for the primaries and white point (the normalised primary matrix, SMPTE RP 177).
inline Mat3 rgbToXYZ(const cmsCIExyYTRIPLE& p, const cmsCIExyY& white = kD65) {
    const Vec3 r = xyToXYZ(p.Red.x, p.Red.y), g = xyToXYZ(p.Green.x, p.Green.y),
               b = xyToXYZ(p.Blue.x, p.Blue.y);
    const Mat3 columns{{{r[0], g[0], b[0]}, {r[1], g[1], b[1]}, {r[2], g[2], b[2]}}};
    const Vec3 s = multiply(inverse(columns), xyToXYZ(white.x, white.y));
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

// An sRGB-curve RGB colour in `from` primaries → the same in `to` primaries (both D65), unclamped.
inline Vec3 convertSRGBCurveSpaces(const Vec3& colour, const cmsCIExyYTRIPLE& from,
                                   const cmsCIExyYTRIPLE& to) {
    const Mat3 m = product(inverse(rgbToXYZ(to)), rgbToXYZ(from));
    const Vec3 linear =
        multiply(m, {sRGBToLinear(colour[0]), sRGBToLinear(colour[1]), sRGBToLinear(colour[2])});
    return {linearToSRGB(linear[0]), linearToSRGB(linear[1]), linearToSRGB(linear[2])};
}

inline double clampUnit(double v) {
    return v < 0 ? 0 : v > 1 ? 1 : v;
}

}  // namespace ColourTestSupport
