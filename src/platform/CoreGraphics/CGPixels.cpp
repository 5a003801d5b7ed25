// Pixel conversions between the 8-bit formats of CGImage.h, cairo's native ARGB words, and colour
// spaces (lcms2's 8-bit transforms). See CGImagePrivate.h.

#include <lcms2.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "CGColorSpacePrivate.h"
#include "CGImagePrivate.h"

namespace CoreGraphicsPrivate {

namespace {

inline uint32_t nativeWord(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

}  // namespace

// ---- Rows

void readStraightRow(const PixelLayout& layout, const uint8_t* in, size_t width, uint8_t* out) {
    const size_t step = layout.bytesPerPixel;
    const uint8_t a0 = layout.alphaOffset;
    switch (layout.colorComponents) {
        case 0:
            for (size_t x = 0; x < width; ++x, in += step, out += 4) {
                out[0] = out[1] = out[2] = 0;
                out[3] = in[0];
            }
            return;
        case 1: {
            const uint8_t w0 = layout.color[0];
            for (size_t x = 0; x < width; ++x, in += step, out += 2) {
                switch (layout.alpha) {
                    case PixelLayout::Alpha::straight:
                        out[0] = in[w0];
                        out[1] = in[a0];
                        break;
                    case PixelLayout::Alpha::premultiplied:
                        out[0] = unpremultiply(in[w0], in[a0]);
                        out[1] = in[a0];
                        break;
                    default:
                        out[0] = in[w0];
                        out[1] = 255;
                        break;
                }
            }
            return;
        }
        default: {
            const uint8_t r0 = layout.color[0], g0 = layout.color[1], b0 = layout.color[2];
            if (layout.alpha == PixelLayout::Alpha::straight && r0 == 0 && g0 == 1 && b0 == 2) {
                std::memcpy(out, in, width * 4);  // already R G B A
                return;
            }
            for (size_t x = 0; x < width; ++x, in += step, out += 4) {
                switch (layout.alpha) {
                    case PixelLayout::Alpha::straight:
                        out[0] = in[r0];
                        out[1] = in[g0];
                        out[2] = in[b0];
                        out[3] = in[a0];
                        break;
                    case PixelLayout::Alpha::premultiplied: {
                        const uint8_t a = in[a0];
                        out[0] = unpremultiply(in[r0], a);
                        out[1] = unpremultiply(in[g0], a);
                        out[2] = unpremultiply(in[b0], a);
                        out[3] = a;
                        break;
                    }
                    default:
                        out[0] = in[r0];
                        out[1] = in[g0];
                        out[2] = in[b0];
                        out[3] = 255;
                        break;
                }
            }
            return;
        }
    }
}

void writeStraightRow(const PixelLayout& layout, const uint8_t* in, size_t width, uint8_t* out) {
    const size_t step = layout.bytesPerPixel;
    const size_t inStep = layout.colorComponents == 1 ? 2 : 4;
    const size_t n = layout.colorComponents;
    for (size_t x = 0; x < width; ++x, in += inStep, out += step) {
        const uint8_t a = in[n];
        for (size_t c = 0; c < n; ++c)
            out[layout.color[c]] =
                layout.alpha == PixelLayout::Alpha::premultiplied ? premultiply(in[c], a) : in[c];
        switch (layout.alpha) {
            case PixelLayout::Alpha::straight:
            case PixelLayout::Alpha::premultiplied:
                out[layout.alphaOffset] = a;
                break;
            case PixelLayout::Alpha::skip:
                out[layout.alphaOffset] = 255;
                break;
            default:
                break;
        }
    }
}

void unpackToNative(const PixelLayout& layout, const uint8_t* in, size_t width, uint32_t* out) {
    const uint8_t r0 = layout.color[0], g0 = layout.color[1], b0 = layout.color[2];
    const uint8_t a0 = layout.alphaOffset;
    const bool opaque = layout.isOpaque();
    for (size_t x = 0; x < width; ++x, in += 4)
        out[x] = nativeWord(opaque ? 255 : in[a0], in[r0], in[g0], in[b0]);
}

void packFromNative(const PixelLayout& layout, const uint32_t* in, size_t width, uint8_t* out) {
    const uint8_t r0 = layout.color[0], g0 = layout.color[1], b0 = layout.color[2];
    const uint8_t a0 = layout.alphaOffset;
    const bool opaque = layout.isOpaque();
    for (size_t x = 0; x < width; ++x, out += 4) {
        const uint32_t word = in[x];
        out[a0] = opaque ? 255 : static_cast<uint8_t>(word >> 24);
        out[r0] = static_cast<uint8_t>(word >> 16);
        out[g0] = static_cast<uint8_t>(word >> 8);
        out[b0] = static_cast<uint8_t>(word);
    }
}

// ---- Colour matching

namespace {

void silentErrorHandler(cmsContext, cmsUInt32Number, const char*) {}

// The profile that 8-bit pixels match through. The extended sRGB space matches its doubles through
// linear sRGB and its own curve (CGColorSpacePrivate.h); 8-bit pixels lie in 0…1, where its curve
// is the sRGB curve, so they use the sRGB profile it reports.
const ProfileBytes& profileFor8Bit(const CGColorSpace& space) {
    return space.transfer == Transfer::extendedSRGB ? space.iccData : space.matchingProfile;
}

bool isDeviceGray(const CGColorSpace& space) {
    return space.name && std::strcmp(space.name, kCGColorSpaceDeviceGray) == 0;
}

class Transform8 {
  public:
    Transform8(cmsContext context, cmsHTRANSFORM transform)
        : context_(context), transform_(transform) {}
    Transform8(const Transform8&) = delete;
    Transform8& operator=(const Transform8&) = delete;
    ~Transform8() {
        cmsDeleteTransform(transform_);
        cmsDeleteContext(context_);
    }
    // Made with cmsFLAGS_NOCACHE, so several threads may apply it at once.
    void apply(const uint8_t* in, uint8_t* out, size_t count) const {
        cmsDoTransform(transform_, in, out, static_cast<cmsUInt32Number>(count));
    }

  private:
    cmsContext context_;
    cmsHTRANSFORM transform_;
};

std::shared_ptr<const Transform8> buildTransform8(const CGColorSpace& from,
                                                  const CGColorSpace& to) {
    const ProfileBytes& fromProfile = profileFor8Bit(from);
    const ProfileBytes& toProfile = profileFor8Bit(to);
    if (!fromProfile || !toProfile) return nullptr;
    cmsContext context = cmsCreateContext(nullptr, nullptr);
    if (!context) return nullptr;
    cmsSetLogErrorHandlerTHR(context, silentErrorHandler);
    cmsHPROFILE input = cmsOpenProfileFromMemTHR(context, fromProfile->data(),
                                                 static_cast<cmsUInt32Number>(fromProfile->size()));
    cmsHPROFILE output = cmsOpenProfileFromMemTHR(context, toProfile->data(),
                                                  static_cast<cmsUInt32Number>(toProfile->size()));
    cmsHTRANSFORM transform = nullptr;
    if (input && output)
        transform = cmsCreateTransformTHR(
            context, input, from.numberOfComponents == 1 ? TYPE_GRAYA_8 : TYPE_RGBA_8, output,
            TYPE_RGBA_8, INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_COPY_ALPHA | cmsFLAGS_NOCACHE);
    if (input) cmsCloseProfile(input);
    if (output) cmsCloseProfile(output);
    if (!transform) {
        cmsDeleteContext(context);
        return nullptr;
    }
    return std::make_shared<const Transform8>(context, transform);
}

// Transforms by (source serial, destination serial). A process meets few pairs (each document's
// image spaces into sRGB); past the cap the cache starts over, which also forgets pairs whose
// spaces are gone (serials are never reused, so a stale entry is never hit).
constexpr size_t kMaxCachedTransforms8 = 64;

struct Transform8Cache {
    struct Entry {
        uint64_t from;
        uint64_t to;
        std::shared_ptr<const Transform8> transform;  // null: lcms2 could not build it
    };
    std::mutex mutex;
    std::vector<Entry> entries;
};

std::shared_ptr<const Transform8> transform8(const CGColorSpace& from, const CGColorSpace& to) {
    static auto* cache = new Transform8Cache;  // never destroyed: used by worker threads
    std::lock_guard lock(cache->mutex);
    for (const auto& entry : cache->entries)
        if (entry.from == from.serial && entry.to == to.serial) return entry.transform;
    auto transform = buildTransform8(from, to);
    if (cache->entries.size() >= kMaxCachedTransforms8) cache->entries.clear();
    cache->entries.push_back({from.serial, to.serial, transform});
    return transform;
}

}  // namespace

bool sameColorimetry(const CGColorSpace& from, const CGColorSpace& to) {
    if (from.numberOfComponents != to.numberOfComponents) return false;
    const ProfileBytes& a = profileFor8Bit(from);
    const ProfileBytes& b = profileFor8Bit(to);
    if (a == b) return true;
    return a && b && *a == *b;
}

bool matchStraightPixels(const CGColorSpace& from, const CGColorSpace& to, const uint8_t* in,
                         uint8_t* out, size_t count) {
    if (to.numberOfComponents != 3) return false;
    if (from.numberOfComponents == 1 && isDeviceGray(from) &&
        profileFor8Bit(to) == outputColorSpace().matchingProfile) {
        // Device grey into sRGB: the neutral axis, exactly (CGColorSpace.h).
        for (size_t i = 0; i < count; ++i, in += 2, out += 4) {
            out[0] = out[1] = out[2] = in[0];
            out[3] = in[1];
        }
        return true;
    }
    if (sameColorimetry(from, to)) {
        std::memmove(out, in, count * 4);
        return true;
    }
    auto transform = transform8(from, to);
    if (!transform) return false;
    transform->apply(in, out, count);
    return true;
}

bool imageToNativeARGB(const CGImage& image, const CGColorSpace& destination, uint32_t* out,
                       size_t strideWords, size_t firstRow, size_t rowCount) {
    const PixelLayout& layout = image.layout;
    const size_t width = image.width;
    const bool rgbUnmatched =
        layout.colorComponents == 3 && sameColorimetry(*image.space, destination);
    if (rgbUnmatched && layout.bytesPerPixel == 4 &&
        !(layout.alpha == PixelLayout::Alpha::straight)) {
        // Premultiplied or opaque 32-bit pixels in the destination's colours: a repack.
        for (size_t y = 0; y < rowCount; ++y)
            unpackToNative(layout, image.row(firstRow + y), width, out + y * strideWords);
        return true;
    }
    std::vector<uint8_t> straight(width * 4);
    std::vector<uint8_t> matched;
    if (layout.colorComponents != 0 && !rgbUnmatched) matched.resize(width * 4);
    for (size_t y = 0; y < rowCount; ++y) {
        readStraightRow(layout, image.row(firstRow + y), width, straight.data());
        const uint8_t* rgba = straight.data();
        if (!matched.empty()) {
            if (!matchStraightPixels(*image.space, destination, straight.data(), matched.data(),
                                     width))
                return false;
            rgba = matched.data();
        }
        uint32_t* row = out + y * strideWords;
        for (size_t x = 0; x < width; ++x, rgba += 4) {
            const uint32_t a = rgba[3];
            row[x] = a == 255 ? nativeWord(255, rgba[0], rgba[1], rgba[2])
                              : nativeWord(a, premultiply(rgba[0], a), premultiply(rgba[1], a),
                                           premultiply(rgba[2], a));
        }
    }
    return true;
}

}  // namespace CoreGraphicsPrivate
