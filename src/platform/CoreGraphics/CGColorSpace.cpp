// CoreGraphics colour spaces over lcms2. See CGColorSpace.h for the contract.
//
// Threads: lcms2 is used only through our own contexts (the THR functions, never the global
// context), one per profile build, per ICC check and per cached transform, so no lcms2 object is
// shared between threads except finished transforms made with cmsFLAGS_NOCACHE, which lcms2
// documents as safe for concurrent cmsDoTransform calls. The named spaces are built once (C++
// static initialisation is thread-safe) and never destroyed, so they outlive every other static.
//
// Sources of the named spaces' colourimetry (chromaticities x, y; white point D65 = (0.3127,
// 0.3290)):
// - sRGB: IEC 61966-2-1:1999 — primaries R (0.64, 0.33), G (0.30, 0.60), B (0.15, 0.06), D65;
//   curve: x ≤ 0.04045 → x/12.92, else ((x + 0.055)/1.055)^2.4 (ICC parametric curve type 4).
// - Display P3: Apple's Display P3 = the DCI-P3 primaries of SMPTE EG 432-1 (R (0.680, 0.320),
//   G (0.265, 0.690), B (0.150, 0.060)) with the D65 white point and the sRGB curve (Apple,
//   "Display P3" profile / WWDC 2016 "Working with Wide Color").
// - Adobe RGB (1998): Adobe RGB (1998) Color Image Encoding, version 2005-05 — R (0.64, 0.33),
//   G (0.21, 0.71), B (0.15, 0.06), D65; pure gamma 2 51/256 = 563/256 = 2.19921875.
// - Generic RGB: Apple Technical Q&A QA1430 "Apple RGB and Generic RGB profiles explained": "based
// on
//   P22 phosphors, D65 white point and 1.8 gamma". P22 phosphor chromaticities: R (0.630, 0.340),
//   G (0.295, 0.605), B (0.155, 0.077). Check: Bradford-adapted to D50 these give the colourants
//   rXYZ (0.4543, 0.2419, 0.0149), gXYZ (0.3533, 0.6737, 0.0906), bXYZ (0.1566, 0.0844, 0.7194),
//   which agree to three places with the X, Y values read from macOS's "Generic RGB Profile.icc"
//   (0.454, 0.242 / 0.353, 0.674 / 0.157, 0.084).
// - Generic RGB Linear: Generic RGB's primaries and white, linear curve (Apple's documentation of
//   kCGColorSpaceGenericRGBLinear: "the same colorimetry as kCGColorSpaceGenericRGB, but with a
//   linear transfer function").
// - Linear sRGB, extended linear sRGB: sRGB's primaries and white, linear curve.
// - Extended sRGB: sRGB, with the curve mirrored for negative values (f(−x) = −f(x)) and continued
//   above 1 (Apple's documentation of kCGColorSpaceExtendedSRGB).
// - Generic Gray: gamma 1.8 (the classic Mac OS / ColorSync "Generic Gray Profile"); Generic Gray
//   Gamma 2.2: gamma 2.2; Linear Gray: gamma 1. Grey profiles use the D50 white of the ICC PCS, so
//   every intent maps grey to the neutral axis.
// The profiles are ICC v4 display ('mntr') profiles with XYZ PCS, colourant and curve tags made by
// cmsCreateRGBProfileTHR / cmsCreateGrayProfileTHR (Bradford adaptation and a 'chad' tag for D65),
// the descriptions that macOS gives these spaces, and a fixed creation date so the bytes are the
// same in every process.

#include "CGColorSpace.h"

#include <lcms2.h>
#include <lcms2_plugin.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <type_traits>

#include "CGColorSpacePrivate.h"
#include "NSData.h"
#include "NSString.h"

using namespace CoreGraphicsPrivate;

namespace CoreGraphicsPrivate {

// ---- lcms2 handles

namespace {

void silentErrorHandler(cmsContext, cmsUInt32Number, const char*) {}

// lcms2 sizes some tables by counts read from the profile and allocates them before it reads their
// data (a CLUT of 255 grid points per input is about 100 MB), so a few hostile bytes could make it
// allocate hundreds of megabytes before the read fails. Our contexts refuse any single allocation
// above this: twice the longest profile accepted (lcms2 copies the profile into one block), far
// above the largest table of any real profile.
constexpr size_t kMaxLcmsAllocation = 2 * kCGColorSpaceMaxICCDataLength;

void* cappedMalloc(cmsContext, cmsUInt32Number size) {
    return size <= kMaxLcmsAllocation ? std::malloc(size) : nullptr;
}
void cappedFree(cmsContext, void* block) {
    std::free(block);
}
void* cappedRealloc(cmsContext, void* block, cmsUInt32Number size) {
    return size <= kMaxLcmsAllocation ? std::realloc(block, size) : nullptr;
}

// lcms2 derives calloc, zeroed malloc and dup from these three.
cmsPluginMemHandler cappedMemory{
    {cmsPluginMagicNumber, LCMS_VERSION, cmsPluginMemHandlerSig, nullptr},
    cappedMalloc,
    cappedFree,
    cappedRealloc,
    nullptr,
    nullptr,
    nullptr,
};

// A private lcms2 context with the capped allocator whose errors are dropped: lcms2 reports
// malformed profiles through the handler, and a hostile profile must leave no trace in the log.
struct ContextDeleter {
    void operator()(cmsContext context) const { cmsDeleteContext(context); }
};
using Context = std::unique_ptr<std::remove_pointer_t<cmsContext>, ContextDeleter>;

Context makeContext() {
    Context context(cmsCreateContext(&cappedMemory, nullptr));
    if (context) cmsSetLogErrorHandlerTHR(context.get(), silentErrorHandler);
    return context;
}

struct ProfileDeleter {
    void operator()(void* profile) const { cmsCloseProfile(static_cast<cmsHPROFILE>(profile)); }
};
using Profile = std::unique_ptr<void, ProfileDeleter>;

struct ToneCurveDeleter {
    void operator()(cmsToneCurve* curve) const { cmsFreeToneCurve(curve); }
};
using ToneCurve = std::unique_ptr<cmsToneCurve, ToneCurveDeleter>;

struct MLUDeleter {
    void operator()(cmsMLU* mlu) const { cmsMLUfree(mlu); }
};
using MLU = std::unique_ptr<cmsMLU, MLUDeleter>;

Profile openProfile(cmsContext context, const std::vector<uint8_t>& bytes) {
    return Profile(cmsOpenProfileFromMemTHR(context, bytes.data(),
                                            static_cast<cmsUInt32Number>(bytes.size())));
}

}  // namespace

// A finished transform with the context it was made in (the transform refers to its context).
class LcmsTransform {
  public:
    LcmsTransform(Context context, cmsHTRANSFORM transform)
        : context_(std::move(context)), transform_(transform) {}
    LcmsTransform(const LcmsTransform&) = delete;
    LcmsTransform& operator=(const LcmsTransform&) = delete;
    ~LcmsTransform() { cmsDeleteTransform(transform_); }
    // Safe from several threads: made with cmsFLAGS_NOCACHE, so cmsDoTransform writes no state.
    void apply(const double* in, double* out, size_t count) const {
        cmsDoTransform(transform_, in, out, static_cast<cmsUInt32Number>(count));
    }

  private:
    Context context_;  // destroyed after the transform (members are destroyed in reverse order)
    cmsHTRANSFORM transform_;
};

}  // namespace CoreGraphicsPrivate

namespace {

// Floating point, unclamped (lcms2's floating-point matrix/curve path keeps values outside 0…1),
// no 1-pixel cache (thread safety), no resampling into 16-bit tables (precision).
constexpr cmsUInt32Number kTransformFlags = cmsFLAGS_NOCACHE | cmsFLAGS_NOOPTIMIZE;

cmsUInt32Number pixelFormat(size_t numberOfComponents) {
    return numberOfComponents == 1 ? TYPE_GRAY_DBL : TYPE_RGB_DBL;
}

cmsUInt32Number lcmsIntent(CGColorRenderingIntent intent) {
    switch (intent) {
        case kCGRenderingIntentAbsoluteColorimetric:
            return INTENT_ABSOLUTE_COLORIMETRIC;
        case kCGRenderingIntentPerceptual:
            return INTENT_PERCEPTUAL;
        case kCGRenderingIntentSaturation:
            return INTENT_SATURATION;
        case kCGRenderingIntentRelativeColorimetric:
        case kCGRenderingIntentDefault:
        default:
            return INTENT_RELATIVE_COLORIMETRIC;
    }
}

// A transform between two profiles in a new context; null when lcms2 cannot build it.
std::shared_ptr<const LcmsTransform> buildTransform(const std::vector<uint8_t>& from,
                                                    size_t fromComponents,
                                                    const std::vector<uint8_t>& to,
                                                    size_t toComponents, cmsUInt32Number intent) {
    Context context = makeContext();
    if (!context) return nullptr;
    Profile input = openProfile(context.get(), from);
    Profile output = openProfile(context.get(), to);
    if (!input || !output) return nullptr;
    cmsHTRANSFORM transform =
        cmsCreateTransformTHR(context.get(), input.get(), pixelFormat(fromComponents), output.get(),
                              pixelFormat(toComponents), intent, kTransformFlags);
    if (!transform) return nullptr;
    // The transform keeps what it needs from the profiles; they close here, the context stays.
    return std::make_shared<const LcmsTransform>(std::move(context), transform);
}

// ---- Profiles of the named spaces

constexpr cmsCIExyY kD65{0.3127, 0.3290, 1.0};

// The ICC creation date written into every generated profile (header bytes 24…35: year, month,
// day, hours, minutes, seconds, big-endian 16-bit): fixed so that the profiles, and so the archives
// that embed them, are the same bytes in every process.
constexpr std::array<uint16_t, 6> kProfileDate{2024, 1, 1, 0, 0, 0};

// A tone curve: the sRGB curve, or a pure power.
struct Curve {
    bool sRGB = false;
    double gamma = 1.0;
};
constexpr Curve kSRGBCurve{true, 0};
constexpr Curve gammaCurve(double gamma) {
    return Curve{false, gamma};
}

ToneCurve buildCurve(cmsContext context, Curve curve) {
    if (curve.sRGB) {
        // ICC parametric type 4: Y = (aX + b)^g for X ≥ d, cX below.
        const cmsFloat64Number parameters[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
        return ToneCurve(cmsBuildParametricToneCurve(context, 4, parameters));
    }
    return ToneCurve(cmsBuildGamma(context, curve.gamma));
}

bool setText(cmsContext context, cmsHPROFILE profile, cmsTagSignature tag, const char* text) {
    MLU mlu(cmsMLUalloc(context, 1));
    return mlu && cmsMLUsetASCII(mlu.get(), "en", "US", text) &&
           cmsWriteTag(profile, tag, mlu.get());
}

ProfileBytes saveProfile(cmsContext context, cmsHPROFILE profile, const char* description) {
    if (!setText(context, profile, cmsSigProfileDescriptionTag, description) ||
        !setText(context, profile, cmsSigCopyrightTag, "No copyright, use freely"))
        return nullptr;
    cmsUInt32Number length = 0;
    if (!cmsSaveProfileToMem(profile, nullptr, &length) || length < 128) return nullptr;
    std::vector<uint8_t> bytes(length);
    if (!cmsSaveProfileToMem(profile, bytes.data(), &length)) return nullptr;
    bytes.resize(length);
    // lcms2 writes the current time and no profile ID (all zero: "not computed", which ICC allows),
    // so fixing the date makes the bytes reproducible.
    for (size_t i = 0; i < kProfileDate.size(); ++i) {
        bytes[24 + 2 * i] = static_cast<uint8_t>(kProfileDate[i] >> 8);
        bytes[25 + 2 * i] = static_cast<uint8_t>(kProfileDate[i] & 0xff);
    }
    return std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
}

ProfileBytes buildRGBProfile(const char* description, const cmsCIExyYTRIPLE& primaries,
                             Curve curve) {
    Context context = makeContext();
    if (!context) return nullptr;
    ToneCurve toneCurve = buildCurve(context.get(), curve);
    if (!toneCurve) return nullptr;
    cmsToneCurve* curves[3] = {toneCurve.get(), toneCurve.get(), toneCurve.get()};
    Profile profile(cmsCreateRGBProfileTHR(context.get(), &kD65, &primaries, curves));
    if (!profile) return nullptr;
    return saveProfile(context.get(), profile.get(), description);
}

ProfileBytes buildGrayProfile(const char* description, Curve curve) {
    Context context = makeContext();
    if (!context) return nullptr;
    ToneCurve toneCurve = buildCurve(context.get(), curve);
    if (!toneCurve) return nullptr;
    // The PCS white as xyY, computed here: lcms2's cmsD50_xyY() writes a shared static on every
    // call, which would race when two threads build profiles at once.
    cmsCIEXYZ d50XYZ = *cmsD50_XYZ();
    cmsCIExyY d50;
    cmsXYZ2xyY(&d50, &d50XYZ);
    Profile profile(cmsCreateGrayProfileTHR(context.get(), &d50, toneCurve.get()));
    if (!profile) return nullptr;
    return saveProfile(context.get(), profile.get(), description);
}

constexpr cmsCIExyYTRIPLE kSRGBPrimaries{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
constexpr cmsCIExyYTRIPLE kDisplayP3Primaries{
    {0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
constexpr cmsCIExyYTRIPLE kAdobeRGBPrimaries{
    {0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
constexpr cmsCIExyYTRIPLE kP22Primaries{
    {0.630, 0.340, 1.0}, {0.295, 0.605, 1.0}, {0.155, 0.077, 1.0}};

// Each profile is built once, on first use, and kept (never destroyed) for the life of the process.
#define VANTLER_PROFILE(function, expression)                    \
    const ProfileBytes& function() {                             \
        static const auto* bytes = new ProfileBytes(expression); \
        return *bytes;                                           \
    }

VANTLER_PROFILE(sRGBProfile, buildRGBProfile("sRGB IEC61966-2.1", kSRGBPrimaries, kSRGBCurve))
VANTLER_PROFILE(linearSRGBProfile, buildRGBProfile("sRGB Linear", kSRGBPrimaries, gammaCurve(1.0)))
VANTLER_PROFILE(displayP3Profile, buildRGBProfile("Display P3", kDisplayP3Primaries, kSRGBCurve))
VANTLER_PROFILE(adobeRGBProfile,
                buildRGBProfile("Adobe RGB (1998)", kAdobeRGBPrimaries, gammaCurve(563.0 / 256.0)))
VANTLER_PROFILE(genericRGBProfile,
                buildRGBProfile("Generic RGB Profile", kP22Primaries, gammaCurve(1.8)))
VANTLER_PROFILE(genericRGBLinearProfile,
                buildRGBProfile("Generic RGB Linear Profile", kP22Primaries, gammaCurve(1.0)))
VANTLER_PROFILE(genericGrayProfile, buildGrayProfile("Generic Gray Profile", gammaCurve(1.8)))
VANTLER_PROFILE(genericGrayGamma22Profile,
                buildGrayProfile("Generic Gray Gamma 2.2 Profile", gammaCurve(2.2)))
VANTLER_PROFILE(linearGrayProfile, buildGrayProfile("Linear Gray", gammaCurve(1.0)))
// Device grey matches as the neutral axis of sRGB: a grey profile with the sRGB curve. Never
// reported as ICC data.
VANTLER_PROFILE(deviceGrayMatchingProfile, buildGrayProfile("Device Gray (sRGB curve)", kSRGBCurve))

#undef VANTLER_PROFILE

std::atomic<uint64_t> nextSerial{1};

std::shared_ptr<CGColorSpace> makeSpace(CGColorSpaceModel model, ProfileBytes matchingProfile) {
    if (!matchingProfile) return nullptr;  // lcms2 could not build the profile (out of memory)
    auto space = std::make_shared<CGColorSpace>();
    space->model = model;
    space->numberOfComponents = model == kCGColorSpaceModelRGB ? 3 : 1;
    space->matchingProfile = std::move(matchingProfile);
    space->serial = nextSerial.fetch_add(1, std::memory_order_relaxed);
    return space;
}

CGColorSpaceRef makeNamedSpace(const char* name, CGColorSpaceModel model,
                               const ProfileBytes& iccData, const ProfileBytes& matchingProfile,
                               bool extendedRange = false, Transfer transfer = Transfer::none) {
    auto space = makeSpace(model, matchingProfile);
    if (!space) return nullptr;
    space->name = name;
    space->iccData = iccData;
    space->extendedRange = extendedRange;
    space->transfer = transfer;
    return space;
}

struct NamedSpace {
    const char* name;
    CGColorSpaceRef (*make)();
};

// Same-named spaces are one object: each is made once, on first use, and never destroyed.
#define VANTLER_NAMED(constant, expression)                             \
    NamedSpace {                                                        \
        constant, []() -> CGColorSpaceRef {                             \
            static const auto* space = new CGColorSpaceRef(expression); \
            return *space;                                              \
        }                                                               \
    }

const std::array<NamedSpace, 13>& namedSpaces() {
    static const std::array<NamedSpace, 13> spaces{
        VANTLER_NAMED(kCGColorSpaceSRGB, makeNamedSpace(kCGColorSpaceSRGB, kCGColorSpaceModelRGB,
                                                        sRGBProfile(), sRGBProfile())),
        VANTLER_NAMED(kCGColorSpaceDisplayP3,
                      makeNamedSpace(kCGColorSpaceDisplayP3, kCGColorSpaceModelRGB,
                                     displayP3Profile(), displayP3Profile())),
        VANTLER_NAMED(kCGColorSpaceGenericRGB,
                      makeNamedSpace(kCGColorSpaceGenericRGB, kCGColorSpaceModelRGB,
                                     genericRGBProfile(), genericRGBProfile())),
        VANTLER_NAMED(kCGColorSpaceGenericRGBLinear,
                      makeNamedSpace(kCGColorSpaceGenericRGBLinear, kCGColorSpaceModelRGB,
                                     genericRGBLinearProfile(), genericRGBLinearProfile())),
        VANTLER_NAMED(kCGColorSpaceAdobeRGB1998,
                      makeNamedSpace(kCGColorSpaceAdobeRGB1998, kCGColorSpaceModelRGB,
                                     adobeRGBProfile(), adobeRGBProfile())),
        VANTLER_NAMED(kCGColorSpaceLinearSRGB,
                      makeNamedSpace(kCGColorSpaceLinearSRGB, kCGColorSpaceModelRGB,
                                     linearSRGBProfile(), linearSRGBProfile())),
        VANTLER_NAMED(
            kCGColorSpaceExtendedSRGB,
            makeNamedSpace(kCGColorSpaceExtendedSRGB, kCGColorSpaceModelRGB, sRGBProfile(),
                           linearSRGBProfile(), true, Transfer::extendedSRGB)),
        VANTLER_NAMED(kCGColorSpaceExtendedLinearSRGB,
                      makeNamedSpace(kCGColorSpaceExtendedLinearSRGB, kCGColorSpaceModelRGB,
                                     linearSRGBProfile(), linearSRGBProfile(), true)),
        VANTLER_NAMED(kCGColorSpaceGenericGray,
                      makeNamedSpace(kCGColorSpaceGenericGray, kCGColorSpaceModelMonochrome,
                                     genericGrayProfile(), genericGrayProfile())),
        VANTLER_NAMED(kCGColorSpaceGenericGrayGamma2_2,
                      makeNamedSpace(kCGColorSpaceGenericGrayGamma2_2, kCGColorSpaceModelMonochrome,
                                     genericGrayGamma22Profile(), genericGrayGamma22Profile())),
        VANTLER_NAMED(kCGColorSpaceLinearGray,
                      makeNamedSpace(kCGColorSpaceLinearGray, kCGColorSpaceModelMonochrome,
                                     linearGrayProfile(), linearGrayProfile())),
        VANTLER_NAMED(
            kCGColorSpaceDeviceRGB,
            makeNamedSpace(kCGColorSpaceDeviceRGB, kCGColorSpaceModelRGB, nullptr, sRGBProfile())),
        VANTLER_NAMED(kCGColorSpaceDeviceGray,
                      makeNamedSpace(kCGColorSpaceDeviceGray, kCGColorSpaceModelMonochrome, nullptr,
                                     deviceGrayMatchingProfile())),
    };
    return spaces;
}

#undef VANTLER_NAMED

// ---- Matching helpers

// The extended sRGB curve (see Transfer): encoded → linear and back, odd-symmetric.
double extendedSRGBToLinear(double encoded) {
    const double magnitude = std::fabs(encoded);
    const double linear =
        magnitude <= 0.04045 ? magnitude / 12.92 : std::pow((magnitude + 0.055) / 1.055, 2.4);
    return std::copysign(linear, encoded);
}

double linearToExtendedSRGB(double linear) {
    const double magnitude = std::fabs(linear);
    const double encoded =
        magnitude <= 0.0031308 ? magnitude * 12.92 : 1.055 * std::pow(magnitude, 1 / 2.4) - 0.055;
    return std::copysign(encoded, linear);
}

// 0…1, NaN to 0.
double clampUnit(double value) {
    return value > 0 ? (value < 1 ? value : 1) : 0;
}

// Most transforms a space keeps. A process meets a handful of destinations (the output space, the
// shared sRGB space, a few document spaces); past the cap the cache starts over, which also drops
// entries for destinations that no longer exist.
constexpr size_t kMaxCachedTransforms = 32;

std::shared_ptr<const LcmsTransform> transformBetween(const CGColorSpace& from,
                                                      const CGColorSpace& to,
                                                      cmsUInt32Number intent) {
    std::lock_guard lock(from.transformsMutex);
    for (const auto& entry : from.transforms)
        if (entry.destinationSerial == to.serial && entry.intent == intent) return entry.transform;
    auto transform = buildTransform(*from.matchingProfile, from.numberOfComponents,
                                    *to.matchingProfile, to.numberOfComponents, intent);
    if (from.transforms.size() >= kMaxCachedTransforms) from.transforms.clear();
    from.transforms.push_back({to.serial, intent, transform});
    return transform;
}

}  // namespace

// ---- Matching

namespace CoreGraphicsPrivate {

bool matchComponents(const CGColorSpace& from, const CGColorSpace& to,
                     CGColorRenderingIntent intent, const double* in, double* out, size_t count) {
    const size_t inComponents = from.numberOfComponents;
    const size_t outComponents = to.numberOfComponents;
    const bool sameProfile = from.matchingProfile == to.matchingProfile;
    const bool neutralAxis =
        from.matchingProfile == deviceGrayMatchingProfile() && to.matchingProfile == sRGBProfile();
    std::shared_ptr<const LcmsTransform> transform;
    if (!sameProfile && !neutralAxis) {
        transform = transformBetween(from, to, lcmsIntent(intent));
        if (!transform) return false;
    }
    // In chunks through stack buffers: matching one colour allocates nothing once the transform is
    // cached, since reading a layer's colour properties matches every colour it reads.
    constexpr size_t kChunk = 64;
    double source[kChunk * 3];
    double result[kChunk * 3];
    for (size_t done = 0; done < count;) {
        const size_t pixels = std::min(kChunk, count - done);
        for (size_t i = 0; i < pixels * inComponents; ++i) {
            double value = in[done * inComponents + i];
            if (std::isnan(value)) value = 0;
            if (!from.extendedRange) value = clampUnit(value);
            if (from.transfer == Transfer::extendedSRGB) value = extendedSRGBToLinear(value);
            source[i] = value;
        }
        if (neutralAxis) {
            // Device grey into sRGB (or device RGB): the neutral axis, g → (g, g, g), exactly.
            for (size_t i = 0; i < pixels; ++i)
                result[3 * i] = result[3 * i + 1] = result[3 * i + 2] = source[i];
        } else if (transform) {
            transform->apply(source, result, pixels);
        } else {
            // One profile on both sides (sRGB and device RGB; linear and extended linear sRGB): the
            // identity, exactly.
            std::copy(source, source + pixels * inComponents, result);
        }
        for (size_t i = 0; i < pixels * outComponents; ++i) {
            double value = result[i];
            if (to.transfer == Transfer::extendedSRGB) value = linearToExtendedSRGB(value);
            if (std::isnan(value)) value = 0;
            if (!to.extendedRange) value = clampUnit(value);
            out[done * outComponents + i] = value;
        }
        done += pixels;
    }
    return true;
}

const CGColorSpace& outputColorSpace() {
    // Contexts hand their pictures on as sRGB.
    return *CGColorSpaceGetSRGB();
}

}  // namespace CoreGraphicsPrivate

// ---- Creation

CGColorSpaceRef CGColorSpaceCreateWithName(std::string_view name) {
    for (const auto& named : namedSpaces())
        if (name == named.name) return named.make();
    return nullptr;
}

CGColorSpaceRef CGColorSpaceCreateWithName(const char* name) {
    if (!name) return nullptr;
    return CGColorSpaceCreateWithName(std::string_view(name));
}

const CGColorSpaceRef& CGColorSpaceGetSRGB() {
    // Never destroyed, so the space outlives every static that may still draw or match with it.
    static const auto* space = new CGColorSpaceRef(CGColorSpaceCreateWithName(kCGColorSpaceSRGB));
    return *space;
}

CGColorSpaceRef CGColorSpaceCreateDeviceRGB() {
    return CGColorSpaceCreateWithName(kCGColorSpaceDeviceRGB);
}

CGColorSpaceRef CGColorSpaceCreateDeviceGray() {
    return CGColorSpaceCreateWithName(kCGColorSpaceDeviceGray);
}

CGColorSpaceRef CGColorSpaceCreateWithICCData(std::span<const uint8_t> bytes) {
    // The ICC header alone is 128 bytes and a tag count follows; lcms2 checks the rest.
    if (bytes.size() < 132 || bytes.size() > kCGColorSpaceMaxICCDataLength) return nullptr;
    auto profileBytes = std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.end());

    Context context = makeContext();
    if (!context) return nullptr;
    Profile profile = openProfile(context.get(), *profileBytes);
    if (!profile) return nullptr;

    // lcms2 hands the header's signatures back typed as its enumerations, but they are the file's
    // bytes, any 32-bit value; held in an enumeration, one outside it is undefined. They are taken
    // as plain integers straight from the call and compared as such.
    CGColorSpaceModel model;
    switch (static_cast<uint32_t>(cmsGetColorSpace(profile.get()))) {
        case cmsSigRgbData:
            model = kCGColorSpaceModelRGB;
            break;
        case cmsSigGrayData:
            model = kCGColorSpaceModelMonochrome;
            break;
        default:
            return nullptr;  // CMYK, Lab, XYZ, n-colour: not a space colours here can use
    }
    switch (static_cast<uint32_t>(cmsGetDeviceClass(profile.get()))) {
        case cmsSigInputClass:
        case cmsSigDisplayClass:
        case cmsSigOutputClass:
        case cmsSigColorSpaceClass:
            break;
        default:
            return nullptr;  // device links, abstract and named-colour profiles describe no space
    }
    const auto pcs = static_cast<uint32_t>(cmsGetPCS(profile.get()));
    if (pcs != cmsSigXYZData && pcs != cmsSigLabData) return nullptr;
    profile.reset();

    auto space = makeSpace(model, profileBytes);
    if (!space) return nullptr;
    space->iccData = profileBytes;
    // A profile is usable only if lcms2 can match from it: build the transform drawing needs now,
    // which reads every tag it involves, and keep it for later matches.
    const CGColorSpace& output = outputColorSpace();
    auto transform =
        buildTransform(*profileBytes, space->numberOfComponents, *output.matchingProfile,
                       output.numberOfComponents, lcmsIntent(kCGRenderingIntentDefault));
    if (!transform) return nullptr;
    space->transforms.push_back({output.serial, lcmsIntent(kCGRenderingIntentDefault), transform});
    return space;
}

CGColorSpaceRef CGColorSpaceCreateWithICCData(const NSData* data) {
    if (!data) return nullptr;
    return CGColorSpaceCreateWithICCData(data->span());
}

CGColorSpaceRef CGColorSpaceCreateWithICCData(const std::shared_ptr<const NSData>& data) {
    return CGColorSpaceCreateWithICCData(data.get());
}

// ---- Queries

std::shared_ptr<NSData> CGColorSpaceCopyICCData(const CGColorSpaceRef& space) {
    if (!space || !space->iccData) return nullptr;
    const auto& bytes = space->iccData;
    // A new data object over the space's immutable bytes: no copy.
    return std::make_shared<NSData>(std::shared_ptr<const void>(bytes),
                                    std::span<const uint8_t>(bytes->data(), bytes->size()));
}

std::shared_ptr<NSString> CGColorSpaceCopyName(const CGColorSpaceRef& space) {
    if (!space || !space->name) return nullptr;
    return NSString::stringWithUTF8String(space->name);
}

const char* CGColorSpaceGetName(const CGColorSpaceRef& space) {
    return space ? space->name : nullptr;
}

size_t CGColorSpaceGetNumberOfComponents(const CGColorSpaceRef& space) {
    return space ? space->numberOfComponents : 0;
}

CGColorSpaceModel CGColorSpaceGetModel(const CGColorSpaceRef& space) {
    return space ? space->model : kCGColorSpaceModelUnknown;
}

bool CGColorSpaceUsesExtendedRange(const CGColorSpaceRef& space) {
    return space && space->extendedRange;
}
