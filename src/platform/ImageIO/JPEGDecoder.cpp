// JPEG decoding with libjpeg-turbo: baseline and progressive; grey, YCbCr/RGB and CMYK/YCCK.
//
// Colour: the ICC profile carried in APP2 markers (jpeg_read_icc_profile) is the image's space
// when it is a grey or RGB profile of the image's kind; else sRGB (device grey for grey images).
// CMYK images (Photoshop writes them inverted, with an Adobe marker) are converted to sRGB: through
// their embedded CMYK profile with lcms2 (perceptual intent), or, without one, by the naive formula
// R = (1 − C)(1 − K) and likewise for G and B: an approximation, as no CMYK space is known then.
// EXIF orientation is not applied: a photo draws as its pixels are stored.
//
// A file that ends before its image does (libjpeg would fill the rest with grey and warn) gives no
// image; so does a progressive file of more than ImageIOLimits::kMaxJPEGScans scans.
//
// libjpeg reports errors by longjmp. The two functions that call it under setjmp (readHeader,
// readPixels) hold no C++ objects and work on a plain struct; everything with a destructor lives in
// decode, which calls them (STYLE.md).

#include <lcms2.h>

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "CGImagePrivate.h"
#include "CGImageSource.h"
#include "ImageIOLimits.h"
#include "ImageIOPrivate.h"

namespace {

struct JPEGErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    int prematureEnd;  // the data ended before the image (libjpeg's warning JWRN_JPEG_EOF)
};

// The state shared with libjpeg: trivially destructible, so a longjmp may leave any of it.
struct JPEGReader {
    jpeg_decompress_struct cinfo;
    JPEGErrorManager error;
    jpeg_progress_mgr progress;
    int created;
    JOCTET* profile;  // malloc'd by jpeg_read_icc_profile
    unsigned int profileLength;
    JDIMENSION width;
    JDIMENSION height;
    int adobe;
    int outputComponents;
};

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<JPEGErrorManager*>(cinfo->err)->jump, 1);
}

void emitMessage(j_common_ptr cinfo, int level) {
    // Nothing is printed; a warning that the data ended early is remembered.
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        reinterpret_cast<JPEGErrorManager*>(cinfo->err)->prematureEnd = 1;
}

void outputMessage(j_common_ptr) {}

void progressMonitor(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > ImageIOLimits::kMaxJPEGScans) errorExit(cinfo);
}

bool readHeader(JPEGReader* r, const uint8_t* data, size_t size) {
    if (setjmp(r->error.jump)) return false;
    jpeg_create_decompress(&r->cinfo);
    r->created = 1;
    r->progress.progress_monitor = progressMonitor;
    r->cinfo.progress = &r->progress;
    jpeg_mem_src(&r->cinfo, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&r->cinfo, JPEG_APP0 + 2, 0xFFFF);  // the ICC profile's chunks
    if (jpeg_read_header(&r->cinfo, TRUE) != JPEG_HEADER_OK) return false;
    jpeg_read_icc_profile(&r->cinfo, &r->profile, &r->profileLength);
    r->width = r->cinfo.image_width;
    r->height = r->cinfo.image_height;
    r->adobe = r->cinfo.saw_Adobe_marker;
    switch (r->cinfo.jpeg_color_space) {
        case JCS_GRAYSCALE:
            r->cinfo.out_color_space = JCS_GRAYSCALE;
            r->outputComponents = 1;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            r->cinfo.out_color_space = JCS_CMYK;
            r->outputComponents = 4;
            break;
        default:
            r->cinfo.out_color_space = JCS_RGB;
            r->outputComponents = 3;
            break;
    }
    return true;
}

bool readPixels(JPEGReader* r, uint8_t* pixels, size_t rowBytes) {
    if (setjmp(r->error.jump)) return false;
    jpeg_start_decompress(&r->cinfo);
    if (r->cinfo.output_components != r->outputComponents || r->cinfo.output_width != r->width ||
        r->cinfo.output_height != r->height)
        return false;
    while (r->cinfo.output_scanline < r->cinfo.output_height) {
        JSAMPROW row = pixels + static_cast<size_t>(r->cinfo.output_scanline) * rowBytes;
        if (jpeg_read_scanlines(&r->cinfo, &row, 1) != 1) return false;
        if (r->error.prematureEnd) return false;
    }
    return !r->error.prematureEnd;
}

void destroy(JPEGReader* r) {
    if (r->created) jpeg_destroy_decompress(&r->cinfo);
    std::free(r->profile);
}

bool recognises(std::span<const uint8_t> bytes) {
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

void silentErrorHandler(cmsContext, cmsUInt32Number, const char*) {}

// CMYK pixels (inverted when `adobe`) through the file's CMYK profile into sRGB; false when there
// is no usable CMYK profile.
bool cmykThroughProfile(std::span<const uint8_t> profile, bool adobe, const uint8_t* in,
                        uint8_t* out, size_t count) {
    const std::span<const uint8_t> srgb = ImageIOPrivate::sRGBProfileBytes();
    if (profile.empty() || srgb.empty()) return false;
    cmsContext context = cmsCreateContext(nullptr, nullptr);
    if (!context) return false;
    cmsSetLogErrorHandlerTHR(context, silentErrorHandler);
    bool ok = false;
    cmsHPROFILE input = cmsOpenProfileFromMemTHR(context, profile.data(),
                                                 static_cast<cmsUInt32Number>(profile.size()));
    cmsHPROFILE output =
        cmsOpenProfileFromMemTHR(context, srgb.data(), static_cast<cmsUInt32Number>(srgb.size()));
    if (input && output && static_cast<uint32_t>(cmsGetColorSpace(input)) == cmsSigCmykData) {
        cmsHTRANSFORM transform =
            cmsCreateTransformTHR(context, input, adobe ? TYPE_CMYK_8_REV : TYPE_CMYK_8, output,
                                  TYPE_RGB_8, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE);
        if (transform) {
            cmsDoTransform(transform, in, out, static_cast<cmsUInt32Number>(count));
            cmsDeleteTransform(transform);
            ok = true;
        }
    }
    if (input) cmsCloseProfile(input);
    if (output) cmsCloseProfile(output);
    cmsDeleteContext(context);
    return ok;
}

// The naive conversion: R = (1 − C)(1 − K), G = (1 − M)(1 − K), B = (1 − Y)(1 − K). Adobe's
// inverted samples already hold 1 − C and 1 − K.
void cmykNaive(bool adobe, const uint8_t* in, uint8_t* out, size_t count) {
    for (size_t i = 0; i < count; ++i, in += 4, out += 3) {
        const uint32_t k = adobe ? in[3] : 255 - in[3];
        for (int c = 0; c < 3; ++c) {
            const uint32_t v = adobe ? in[c] : 255 - in[c];
            out[c] = static_cast<uint8_t>((v * k + 127) / 255);
        }
    }
}

CGImageRef decode(std::span<const uint8_t> bytes) {
    JPEGReader reader{};
    reader.cinfo.err = jpeg_std_error(&reader.error.pub);
    reader.error.pub.error_exit = errorExit;
    reader.error.pub.emit_message = emitMessage;
    reader.error.pub.output_message = outputMessage;
    struct Guard {
        JPEGReader* reader;
        ~Guard() { destroy(reader); }
    } guard{&reader};

    if (!readHeader(&reader, bytes.data(), bytes.size())) return nullptr;
    if (!CoreGraphicsPrivate::sizeWithinLimits(reader.width, reader.height)) return nullptr;
    const size_t components = static_cast<size_t>(reader.outputComponents);
    const size_t rowBytes = reader.width * components;
    std::vector<uint8_t> pixels(rowBytes * reader.height);
    if (!readPixels(&reader, pixels.data(), rowBytes)) return nullptr;

    const std::span<const uint8_t> profile(reader.profile,
                                           reader.profile ? reader.profileLength : 0);
    if (components == 4) {
        const size_t count = static_cast<size_t>(reader.width) * reader.height;
        std::vector<uint8_t> rgb(count * 3);
        if (!cmykThroughProfile(profile, reader.adobe, pixels.data(), rgb.data(), count))
            cmykNaive(reader.adobe, pixels.data(), rgb.data(), count);
        return CoreGraphicsPrivate::makeImage(reader.width, reader.height, 24, reader.width * 3,
                                              CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
                                              kCGImageAlphaNone, std::move(rgb));
    }
    CGColorSpaceRef space = ImageIOPrivate::colorSpaceFromICCProfile(profile, components);
    if (!space) space = ImageIOPrivate::defaultColorSpace(components);
    return CoreGraphicsPrivate::makeImage(reader.width, reader.height, 8 * components, rowBytes,
                                          std::move(space), kCGImageAlphaNone, std::move(pixels));
}

}  // namespace

namespace ImageIOPrivate {
const ImageDecoder kJPEGDecoder = singleTypeDecoder<kUTTypeJPEG, recognises>(decode);
}  // namespace ImageIOPrivate
