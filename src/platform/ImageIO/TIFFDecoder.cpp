// TIFF decoding with libtiff's RGBA interface (TIFFReadRGBAImageOriented): the first image of the
// file, whatever its photometric interpretation, sample layout and compression, as 8-bit RGBA with
// the first row at the top. libtiff premultiplies unassociated alpha on the way, so images with
// alpha come out premultiplied (kCGImageAlphaPremultipliedLast), others opaque
// (kCGImageAlphaNoneSkipLast). Colour: an embedded RGB ICC profile (TIFFTAG_ICCPROFILE) is the
// image's space; else sRGB (grey files come out as R = G = B, on sRGB's neutral axis).
//
// libtiff's errors and warnings go to handlers of this file's own (per file, libtiff 4.5's
// TIFFOpenOptions), which drop them; its single allocations are capped
// (ImageIOLimits::kMaxTIFFSingleAllocation).

#include <tiffio.h>

#include <algorithm>
#include <cstring>

#include "CGImagePrivate.h"
#include "CGImageSource.h"
#include "ImageCodecsModule.h"
#include "ImageIOLimits.h"
#include "ImageIOPrivate.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    uint64_t position;
};

tmsize_t readInput(thandle_t handle, void* out, tmsize_t length) {
    auto* input = static_cast<Input*>(handle);
    if (length <= 0 || input->position >= input->size) return 0;
    const uint64_t available =
        std::min<uint64_t>(static_cast<uint64_t>(length), input->size - input->position);
    std::memcpy(out, input->data + input->position, available);
    input->position += available;
    return static_cast<tmsize_t>(available);
}

tmsize_t writeInput(thandle_t, void*, tmsize_t) {
    return 0;  // read only
}

toff_t seekInput(thandle_t handle, toff_t offset, int whence) {
    auto* input = static_cast<Input*>(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR) base = input->position;
    if (whence == SEEK_END) base = input->size;
    uint64_t target;
    if (__builtin_add_overflow(base, offset, &target)) return static_cast<toff_t>(-1);
    input->position = target;  // past the end is allowed; reads there give nothing
    return target;
}

int closeInput(thandle_t) {
    return 0;
}

toff_t sizeOfInput(thandle_t handle) {
    return static_cast<Input*>(handle)->size;
}

int mapInput(thandle_t, void**, toff_t*) {
    return 0;  // no mapping: libtiff reads through readInput
}

void unmapInput(thandle_t, void*, toff_t) {}

int dropMessage(TIFF*, void*, const char*, const char*, va_list) {
    return 1;  // handled: libtiff's global handlers (which print) are not called
}

struct TIFFCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
struct OptionsFreer {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

}  // namespace

namespace ImageIOPrivate {

CGImageRef decodeTIFF(std::span<const uint8_t> bytes) {
    std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options) return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(
        options.get(), static_cast<tmsize_t>(ImageIOLimits::kMaxTIFFSingleAllocation));
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), dropMessage, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), dropMessage, nullptr);
    Input input{bytes.data(), bytes.size(), 0};
    // "r": read; "m": never map the file (it is memory already, read through readInput).
    std::unique_ptr<TIFF, TIFFCloser> tiff(
        TIFFClientOpenExt("memory", "rm", &input, readInput, writeInput, seekInput, closeInput,
                          sizeOfInput, mapInput, unmapInput, options.get()));
    if (!tiff) return nullptr;

    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height))
        return nullptr;
    if (!CoreGraphicsPrivate::sizeWithinLimits(width, height)) return nullptr;
    char message[1024];
    if (!TIFFRGBAImageOK(tiff.get(), message)) return nullptr;

    std::vector<uint32_t> raster(static_cast<size_t>(width) * height);
    if (!TIFFReadRGBAImageOriented(tiff.get(), width, height, raster.data(), ORIENTATION_TOPLEFT,
                                   1))
        return nullptr;

    uint16_t extraSamples = 0;
    uint16_t* extraTypes = nullptr;
    const bool alpha = TIFFGetField(tiff.get(), TIFFTAG_EXTRASAMPLES, &extraSamples, &extraTypes) &&
                       extraSamples > 0;
    std::vector<uint8_t> pixels(raster.size() * 4);
    for (size_t i = 0; i < raster.size(); ++i) {
        const uint32_t p = raster[i];
        pixels[4 * i] = static_cast<uint8_t>(TIFFGetR(p));
        pixels[4 * i + 1] = static_cast<uint8_t>(TIFFGetG(p));
        pixels[4 * i + 2] = static_cast<uint8_t>(TIFFGetB(p));
        pixels[4 * i + 3] = alpha ? static_cast<uint8_t>(TIFFGetA(p)) : 255;
    }
    raster = {};

    CGColorSpaceRef space;
    uint32_t profileLength = 0;
    void* profile = nullptr;
    if (TIFFGetField(tiff.get(), TIFFTAG_ICCPROFILE, &profileLength, &profile) && profile)
        space = ImageIOPrivate::colorSpaceFromICCProfile(
            {static_cast<const uint8_t*>(profile), profileLength}, 3);
    if (!space) space = ImageIOPrivate::defaultColorSpace(3);
    return CoreGraphicsPrivate::makeImage(
        width, height, 32, static_cast<size_t>(width) * 4, std::move(space),
        alpha ? kCGImageAlphaPremultipliedLast : kCGImageAlphaNoneSkipLast, std::move(pixels));
}

}  // namespace ImageIOPrivate
