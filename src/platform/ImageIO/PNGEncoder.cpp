// PNG encoding with libpng. See CGImageDestination.h for what is written and ImageIOPrivate.h for
// the settings.
//
// libpng reports errors by longjmp. The function that calls it under setjmp (writePNG) holds no
// C++ objects and works on a plain struct; the rows it writes come from a callback, and everything
// with a destructor lives in encodePNG (STYLE.md).

#include <png.h>

#include <climits>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "CGColorSpacePrivate.h"
#include "CGImagePrivate.h"
#include "ImageIOPrivate.h"
#include "NSData.h"

namespace {

// Growable output in C memory, filled by libpng's write callback.
struct OutputBuffer {
    uint8_t* data;
    size_t size;
    size_t capacity;
};

// The state shared with libpng: trivially destructible, so a longjmp may leave any of it.
struct PNGWriter {
    png_structp png;
    png_infop info;
    OutputBuffer out;
    png_uint_32 width;
    png_uint_32 height;
    int colorType;
    int sRGB;                // write an sRGB chunk
    const uint8_t* profile;  // else write this profile as iCCP (when not null)
    png_uint_32 profileLength;
    png_textp text;  // text chunks, before the pixels
    int textCount;
    int level;
    int filters;
    int strategy;
    const uint8_t* (*rowAt)(void* context, png_uint_32 y);  // row y, ready to write
    void* rowContext;
    int filler;  // the rows have an extra byte per pixel for libpng to drop: 1 before, 2 after
    int bgr;     // the rows hold B G R: libpng swaps them
};

[[noreturn]] void pngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}  // nothing is printed

void pngWrite(png_structp png, png_bytep bytes, size_t length) {
    OutputBuffer& out = static_cast<PNGWriter*>(png_get_io_ptr(png))->out;
    if (length > out.capacity - out.size) {
        size_t capacity = out.capacity ? out.capacity : 1 << 16;
        while (capacity - out.size < length) {
            if (capacity > SIZE_MAX / 2) png_error(png, "output too large");
            capacity *= 2;
        }
        auto* grown = static_cast<uint8_t*>(std::realloc(out.data, capacity));
        if (!grown) png_error(png, "out of memory");
        out.data = grown;
        out.capacity = capacity;
    }
    std::memcpy(out.data + out.size, bytes, length);
    out.size += length;
}

void pngFlush(png_structp) {}

bool writePNG(PNGWriter* w) {
    if (setjmp(png_jmpbuf(w->png))) return false;
    png_set_write_fn(w->png, w, pngWrite, pngFlush);
    png_set_benign_errors(w->png, 1);  // a profile libpng dislikes is left out, not fatal
    png_set_option(w->png, PNG_SKIP_sRGB_CHECK_PROFILE, PNG_OPTION_ON);
    png_set_IHDR(w->png, w->info, w->width, w->height, 8, w->colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (w->sRGB)
        png_set_sRGB(w->png, w->info, PNG_sRGB_INTENT_PERCEPTUAL);
    else if (w->profile)
        png_set_iCCP(w->png, w->info, "ICC Profile", PNG_COMPRESSION_TYPE_BASE, w->profile,
                     w->profileLength);
    if (w->textCount > 0) png_set_text(w->png, w->info, w->text, w->textCount);
    png_set_compression_level(w->png, w->level);
    png_set_compression_strategy(w->png, w->strategy);
    png_set_filter(w->png, PNG_FILTER_TYPE_BASE, w->filters);
    png_write_info(w->png, w->info);
    if (w->filler) png_set_filler(w->png, 0, w->filler == 1 ? PNG_FILLER_BEFORE : PNG_FILLER_AFTER);
    if (w->bgr) png_set_bgr(w->png);
    for (png_uint_32 y = 0; y < w->height; ++y) png_write_row(w->png, w->rowAt(w->rowContext, y));
    png_write_end(w->png, nullptr);
    return true;
}

// Where the rows to write come from.
struct RowSource {
    enum class Mode { direct, straight, rgbOfOpaque, greyOfOpaque };
    const CGImage* image;
    Mode mode;
    std::vector<uint8_t> straight;  // R G B A or W A
    std::vector<uint8_t> packed;    // R G B or W
};

const uint8_t* rowAt(void* context, png_uint_32 y) {
    auto& source = *static_cast<RowSource*>(context);
    const CGImage& image = *source.image;
    if (source.mode == RowSource::Mode::direct) return image.row(y);
    CoreGraphicsPrivate::readStraightRow(image.layout, image.row(y), image.width,
                                         source.straight.data());
    if (source.mode == RowSource::Mode::straight) return source.straight.data();
    const size_t in = source.mode == RowSource::Mode::rgbOfOpaque ? 4 : 2;
    const size_t out = in - 1;
    for (size_t x = 0; x < image.width; ++x)
        std::memcpy(source.packed.data() + x * out, source.straight.data() + x * in, out);
    return source.packed.data();
}

// Spaces whose pixels are sRGB's (CGColorSpace.h: device spaces are sRGB; the extended space's
// 8-bit values are plain sRGB).
bool writesAsSRGB(const CGColorSpaceRef& space) {
    if (!space) return true;  // alpha only: black, in any space
    const char* name = CGColorSpaceGetName(space);
    if (!name) return false;
    for (const char* srgb : {kCGColorSpaceSRGB, kCGColorSpaceDeviceRGB, kCGColorSpaceDeviceGray,
                             kCGColorSpaceExtendedSRGB})
        if (std::strcmp(name, srgb) == 0) return true;
    return false;
}

// Whether every pixel of an image with an alpha byte is opaque.
bool allOpaque(const CGImage& image) {
    const auto& layout = image.layout;
    for (size_t y = 0; y < image.height; ++y) {
        const uint8_t* alpha = image.row(y) + layout.alphaOffset;
        for (size_t x = 0; x < image.width; ++x, alpha += layout.bytesPerPixel)
            if (*alpha != 255) return false;
    }
    return true;
}

// Whether an entry can be written (CGImageDestination.h, kCGImagePropertyPNGTextEntries).
bool isWritable(const ImageIOPrivate::PNGTextEntry& entry) {
    // PNG specification 11.3.4.2: a keyword is 1 to 79 Latin-1 printable characters without
    // leading, trailing or consecutive spaces; only its ASCII part reads the same in UTF-8.
    const std::string& keyword = entry.keyword;
    if (keyword.empty() || keyword.size() > 79) return false;
    if (keyword.front() == ' ' || keyword.back() == ' ') return false;
    if (keyword.find("  ") != std::string::npos) return false;
    for (unsigned char c : keyword)
        if (c < 0x20 || c > 0x7E) return false;
    // Text chunks end their text at the chunk's end, but libpng takes C strings.
    return entry.text.find('\0') == std::string::npos;
}

// Whether the text can go in a tEXt chunk, whose text is Latin-1: ASCII is the same in both.
bool isASCII(const std::string& text) {
    for (unsigned char c : text)
        if (c > 0x7F) return false;
    return true;
}

// The libpng form of the writable entries; the strings stay in `entries`, which libpng copies from.
std::vector<png_text> pngTextOf(std::span<const ImageIOPrivate::PNGTextEntry> entries) {
    std::vector<png_text> text;
    for (const auto& entry : entries) {
        if (!isWritable(entry)) continue;
        png_text chunk{};
        chunk.key = const_cast<char*>(entry.keyword.c_str());
        chunk.text = const_cast<char*>(entry.text.c_str());
        if (isASCII(entry.text)) {
            chunk.compression = PNG_TEXT_COMPRESSION_NONE;
            chunk.text_length = entry.text.size();
        } else {
            chunk.compression = PNG_ITXT_COMPRESSION_NONE;
            chunk.itxt_length = entry.text.size();
        }
        text.push_back(chunk);
    }
    return text;
}

}  // namespace

namespace ImageIOPrivate {

bool encodePNG(const CGImageRef& image, const PNGEncoderSettings& settings,
               std::vector<uint8_t>& out, std::span<const PNGTextEntry> text) {
    if (!image) return false;
    using Alpha = CoreGraphicsPrivate::PixelLayout::Alpha;
    const auto& layout = image->layout;
    RowSource source{image.get(), RowSource::Mode::straight, {}, {}};
    int colorType;
    int filler = 0, bgr = 0;
    // An image whose alpha is 255 everywhere is written without it (a quarter fewer bytes to
    // compress, as opaque bitmap contexts make them); premultiplied colour equals straight then.
    const bool opaque = layout.isOpaque() || (layout.colorComponents != 0 && allOpaque(*image));
    if (layout.colorComponents == 1) {
        const bool straightWA = layout.alpha == Alpha::straight && layout.color[0] == 0;
        if (layout.alpha == Alpha::none) {
            colorType = PNG_COLOR_TYPE_GRAY;
            source.mode = RowSource::Mode::direct;
        } else if (opaque) {
            colorType = PNG_COLOR_TYPE_GRAY;
            source.mode = RowSource::Mode::greyOfOpaque;
        } else {
            colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
            source.mode = straightWA ? RowSource::Mode::direct : RowSource::Mode::straight;
        }
    } else if (layout.colorComponents == 3) {
        const bool rgbOrder =
            layout.color[0] + 1 == layout.color[1] && layout.color[1] + 1 == layout.color[2];
        const bool bgrOrder =
            layout.color[2] + 1 == layout.color[1] && layout.color[1] + 1 == layout.color[0];
        if (layout.alpha == Alpha::none) {
            colorType = PNG_COLOR_TYPE_RGB;
            source.mode = RowSource::Mode::direct;
        } else if (opaque) {
            colorType = PNG_COLOR_TYPE_RGB;
            if (rgbOrder || bgrOrder) {
                // Four bytes a pixel, the colour in a row: libpng drops the alpha (or skipped)
                // byte and swaps B G R itself.
                source.mode = RowSource::Mode::direct;
                filler = layout.alphaOffset == 0 ? 1 : 2;
                bgr = bgrOrder ? 1 : 0;
            } else {
                source.mode = RowSource::Mode::rgbOfOpaque;
            }
        } else {
            colorType = PNG_COLOR_TYPE_RGB_ALPHA;
            source.mode = layout.alpha == Alpha::straight && rgbOrder && layout.color[0] == 0
                              ? RowSource::Mode::direct
                              : RowSource::Mode::straight;
        }
    } else {
        colorType = PNG_COLOR_TYPE_RGB_ALPHA;  // alpha only: black with that alpha
        source.mode = RowSource::Mode::straight;
    }
    source.straight.resize(image->width * 4);
    source.packed.resize(image->width * 3);

    std::shared_ptr<NSData> profile;
    const bool sRGB = writesAsSRGB(image->space);
    if (!sRGB) profile = CGColorSpaceCopyICCData(image->space);

    PNGWriter writer{};
    writer.width = static_cast<png_uint_32>(image->width);
    writer.height = static_cast<png_uint_32>(image->height);
    writer.colorType = colorType;
    writer.sRGB = sRGB;
    if (profile) {
        writer.profile = profile->bytes();
        writer.profileLength = static_cast<png_uint_32>(profile->length());
    }
    std::vector<png_text> chunks = pngTextOf(text);
    if (chunks.size() > size_t{INT_MAX}) return false;
    writer.text = chunks.data();
    writer.textCount = static_cast<int>(chunks.size());
    writer.level = settings.compressionLevel;
    writer.filters = settings.filters;
    writer.strategy = settings.strategy;
    writer.rowAt = rowAt;
    writer.rowContext = &source;
    writer.filler = filler;
    writer.bgr = bgr;
    writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (!writer.png) return false;
    writer.info = png_create_info_struct(writer.png);
    struct Guard {
        PNGWriter* writer;
        ~Guard() {
            png_destroy_write_struct(&writer->png, writer->info ? &writer->info : nullptr);
            std::free(writer->out.data);
        }
    } guard{&writer};
    if (!writer.info) return false;
    if (!writePNG(&writer)) return false;
    out.insert(out.end(), writer.out.data, writer.out.data + writer.out.size);
    return true;
}

}  // namespace ImageIOPrivate
