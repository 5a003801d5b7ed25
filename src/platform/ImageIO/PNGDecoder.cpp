// PNG decoding with libpng. Every colour type and bit depth: palette (1, 2, 4, 8 bits), grey (1, 2,
// 4, 8, 16), grey + alpha, RGB and RGBA (8, 16); tRNS becomes alpha; 16-bit samples are rounded to
// 8 bits (png_set_scale_16); interlaced files are de-interlaced.
//
// Colour, in the order the PNG specification gives them precedence (11.3.3): a usable iCCP profile
// is the image's space; else an sRGB chunk means sRGB (device grey for grey images); else gAMA,
// with cHRM when present, gives an equivalent ICC space built with lcms2 (sRGB itself when they are
// sRGB's values, see ImageIOColor.cpp); else sRGB. libpng itself checks iCCP against the colour
// type and drops a profile of the wrong kind, which then falls through to the next rule.
//
// libpng reports errors by longjmp. The two functions that call libpng under setjmp
// (readHeader, readRows) hold no C++ objects and work on a plain struct; everything with a
// destructor lives in decodePNG, which calls them (STYLE.md).

#include <png.h>

#include <csetjmp>
#include <cstring>

#include "CGImagePrivate.h"
#include "CGImageSource.h"
#include "ImageIOLimits.h"
#include "ImageIOPrivate.h"

namespace {

// The state shared with libpng: trivially destructible, so a longjmp may leave any of it.
struct PNGReader {
    const uint8_t* data;
    size_t size;
    size_t position;
    png_structp png;
    png_infop info;
    // Header, and the format after the transforms.
    png_uint_32 width;
    png_uint_32 height;
    int channels;
    size_t rowBytes;
    // Colour chunks (the profile bytes belong to libpng's info struct).
    png_bytep profile;
    png_uint_32 profileLength;
    int hasSRGB;
    int hasGamma;
    double gamma;
    int hasChromaticities;
    double chromaticities[8];  // white x, y, red x, y, green x, y, blue x, y
};

[[noreturn]] void pngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}  // nothing is printed

void pngRead(png_structp png, png_bytep out, size_t length) {
    auto* reader = static_cast<PNGReader*>(png_get_io_ptr(png));
    if (length > reader->size - reader->position) png_error(png, "truncated");
    std::memcpy(out, reader->data + reader->position, length);
    reader->position += length;
}

// Reads up to the image data, sets the transforms to 8-bit grey, grey + alpha, RGB or RGBA, and
// records the header and colour chunks. False on any libpng error (including a width or height
// over kCGImageMaxDimension, which png_set_user_limits makes an error).
bool readHeader(PNGReader* r) {
    if (setjmp(png_jmpbuf(r->png))) return false;
    png_set_read_fn(r->png, r, pngRead);
    png_set_user_limits(r->png, kCGImageMaxDimension, kCGImageMaxDimension);
    png_set_chunk_malloc_max(r->png, ImageIOLimits::kMaxPNGAncillaryChunkBytes);
    png_set_chunk_cache_max(r->png, ImageIOLimits::kMaxPNGCachedChunks);
    // Text is never shown: skip it unread, so that a small file of many (compressed) text chunks
    // cannot make libpng hold megabytes of text (found by the image fuzzer).
    static const png_byte kTextChunks[] = "tEXt\0zTXt\0iTXt";
    png_set_keep_unknown_chunks(r->png, PNG_HANDLE_CHUNK_NEVER, kTextChunks, 3);
    // Bad ancillary chunks (a wrong CRC, a profile that does not fit) are dropped, not fatal.
    png_set_benign_errors(r->png, 1);
    png_set_option(r->png, PNG_SKIP_sRGB_CHECK_PROFILE, PNG_OPTION_ON);
    png_read_info(r->png, r->info);

    png_uint_32 width, height;
    int bitDepth, colorType, interlace;
    png_get_IHDR(r->png, r->info, &width, &height, &bitDepth, &colorType, &interlace, nullptr,
                 nullptr);
    r->width = width;
    r->height = height;

    png_charp name;
    int compression;
    png_bytep profile;
    png_uint_32 profileLength;
    if (png_get_iCCP(r->png, r->info, &name, &compression, &profile, &profileLength)) {
        r->profile = profile;
        r->profileLength = profileLength;
    }
    int intent;
    r->hasSRGB = png_get_sRGB(r->png, r->info, &intent) ? 1 : 0;
    double gamma;
    if (png_get_gAMA(r->png, r->info, &gamma)) {
        r->hasGamma = 1;
        r->gamma = gamma;
    }
    double* c = r->chromaticities;
    if (png_get_cHRM(r->png, r->info, &c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6], &c[7]))
        r->hasChromaticities = 1;

    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(r->png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(r->png);
    if (png_get_valid(r->png, r->info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(r->png);
    if (bitDepth == 16) png_set_scale_16(r->png);
    if (interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(r->png);
    png_read_update_info(r->png, r->info);
    r->channels = png_get_channels(r->png, r->info);
    r->rowBytes = png_get_rowbytes(r->png, r->info);
    return png_get_bit_depth(r->png, r->info) == 8;
}

// Reads every row (all passes of an interlaced file) into `rows`. False on any libpng error: a
// truncated or corrupt stream gives no image.
bool readRows(PNGReader* r, png_bytepp rows) {
    if (setjmp(png_jmpbuf(r->png))) return false;
    png_read_image(r->png, rows);
    return true;
}

void destroy(PNGReader* r) {
    png_destroy_read_struct(&r->png, r->info ? &r->info : nullptr, nullptr);
}

bool recognises(std::span<const uint8_t> bytes) {
    return bytes.size() >= 8 && png_sig_cmp(bytes.data(), 0, 8) == 0;
}

CGColorSpaceRef colorSpaceOf(const PNGReader& r, size_t components) {
    using namespace ImageIOPrivate;
    if (r.profile) {
        if (auto space = colorSpaceFromICCProfile({r.profile, r.profileLength}, components))
            return space;
    }
    if (r.hasSRGB) return defaultColorSpace(components);
    if (r.hasGamma) {
        std::optional<Chromaticities> chromaticities;
        if (r.hasChromaticities) {
            const double* c = r.chromaticities;
            chromaticities = Chromaticities{c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]};
        }
        if (auto space = colorSpaceFromGamma(r.gamma, chromaticities, components)) return space;
    }
    return defaultColorSpace(components);
}

CGImageRef decode(std::span<const uint8_t> bytes) {
    PNGReader reader{};
    reader.data = bytes.data();
    reader.size = bytes.size();
    reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (!reader.png) return nullptr;
    reader.info = png_create_info_struct(reader.png);
    struct Guard {
        PNGReader* reader;
        ~Guard() { destroy(reader); }
    } guard{&reader};
    if (!reader.info) return nullptr;

    if (!readHeader(&reader)) return nullptr;
    if (!CoreGraphicsPrivate::sizeWithinLimits(reader.width, reader.height)) return nullptr;
    const size_t channels = static_cast<size_t>(reader.channels);
    if (channels < 1 || channels > 4 || reader.rowBytes != reader.width * channels) return nullptr;

    std::vector<uint8_t> pixels(reader.rowBytes * reader.height);
    std::vector<png_bytep> rows(reader.height);
    for (size_t y = 0; y < reader.height; ++y) rows[y] = pixels.data() + y * reader.rowBytes;
    if (!readRows(&reader, rows.data())) return nullptr;

    const size_t components = channels <= 2 ? 1 : 3;
    const bool alpha = channels == 2 || channels == 4;
    return CoreGraphicsPrivate::makeImage(reader.width, reader.height, 8 * channels,
                                          reader.rowBytes, colorSpaceOf(reader, components),
                                          alpha ? kCGImageAlphaLast : kCGImageAlphaNone,
                                          std::move(pixels));
}

}  // namespace

namespace ImageIOPrivate {
const ImageDecoder kPNGDecoder = singleTypeDecoder<kUTTypePNG, recognises>(decode);
}  // namespace ImageIOPrivate
