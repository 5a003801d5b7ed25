#pragma once
// The inside of the ImageIO stand-in: one small interface that each format's decoder implements in
// its own file, the colour-space helpers they share, and the PNG encoder behind CGImageDestination.
// Not platform API.
//
// Decoded images (CGImage.h formats), by what the file holds:
//   grey                 8 bits, kCGImageAlphaNone
//   grey + alpha         16 bits, kCGImageAlphaLast (W A)
//   colour               24 bits, kCGImageAlphaNone (R G B)
//   colour + alpha       32 bits, kCGImageAlphaLast (R G B A), or kCGImageAlphaPremultipliedLast
//                        where the codec gives premultiplied pixels (TIFF, premultiplied HEIF)
// GIF always gives R G B A (kCGImageAlphaLast).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "CGColorSpace.h"
#include "CGImage.h"

#pragma GCC visibility push(default)  // exported from libVantler

namespace ImageIOPrivate {

// ---- Decoders
struct ImageDecoder {
    // The uniform type identifier (CGImageSource.h) of the bytes when they are in this decoder's
    // format (judged by their signature; cheap), else null.
    const char* (*typeOf)(std::span<const uint8_t> bytes);
    // The image, or null when the bytes do not decode within the limits. Never prints.
    CGImageRef (*decode)(std::span<const uint8_t> bytes);
};

// The decoder of a format with a single type, which `recognises` tells by the bytes' signature.
template <const char* const& type, bool (*recognises)(std::span<const uint8_t>)>
constexpr ImageDecoder singleTypeDecoder(CGImageRef (*decode)(std::span<const uint8_t>)) {
    return {[](std::span<const uint8_t> bytes) -> const char* {
                return recognises(bytes) ? type : nullptr;
            },
            decode};
}

// PNG and JPEG, which nearly every document holds, each in its own file.
extern const ImageDecoder kPNGDecoder;   // PNGDecoder.cpp (libpng)
extern const ImageDecoder kJPEGDecoder;  // JPEGDecoder.cpp (libjpeg-turbo)
// The rarer formats (RareFormatDecoders.cpp), decoded by the codecs module (ImageCodecsModule.h):
// GIF (giflib), TIFF (libtiff), WebP (libwebp), HEIC and AVIF (libheif).
extern const ImageDecoder kGIFDecoder;
extern const ImageDecoder kTIFFDecoder;
extern const ImageDecoder kWebPDecoder;
extern const ImageDecoder kHEIFDecoder;

// The decoder for the bytes, or null.
const ImageDecoder* decoderFor(std::span<const uint8_t> bytes);

// ---- Colour spaces (ImageIOColor.cpp)
// The space an embedded ICC profile describes, for an image of `components` colour components (1
// or 3): one of the named spaces when the bytes are its profile exactly, else a space made from
// the bytes (shared by bytes, see ImageIOLimits::kMaxCachedProfiles). Null when the profile is
// unusable or its component count differs from the image's.
CGColorSpaceRef colorSpaceFromICCProfile(std::span<const uint8_t> profile, size_t components);
// The space of an image without colour information: sRGB, or device grey (sRGB's neutral axis).
CGColorSpaceRef defaultColorSpace(size_t components);
// CIE xy chromaticities of a white point and three primaries.
struct Chromaticities {
    double whiteX, whiteY, redX, redY, greenX, greenY, blueX, blueY;
};
// The space of a PNG's gAMA (the file's gamma: encoded = linear^gamma, e.g. 0.45455) and optional
// cHRM: sRGB itself (or device grey) when they are sRGB's own within the PNG specification's
// tolerance, else an ICC space built by lcms2 with a pure power curve of 1 / gamma and the
// chromaticities (sRGB's when absent). Null when lcms2 cannot build it.
CGColorSpaceRef colorSpaceFromGamma(double gamma,
                                    const std::optional<Chromaticities>& chromaticities,
                                    size_t components);
// sRGB's ICC profile bytes (the named space's).
std::span<const uint8_t> sRGBProfileBytes();

// ---- PNG encoder (PNGEncoder.cpp)
// zlib settings. The defaults are CGImageDestination's: zlib level 2 with the Up filter on every
// row, chosen with bench/image_codec_bench.cpp (bench/run-images) on three 2000 × 2000 opaque
// pictures, time per encode and size on the 2-core benchmark machine. Photo-like (written as RGB):
//   level 2, Up          116 ms  4.11 MB   ← chosen
//   level 1, Up          117 ms  4.11 MB
//   level 2, Sub         124 ms  4.29 MB
//   level 2, Paeth       145 ms  4.16 MB
//   level 2, adaptive    158 ms  4.06 MB   (libpng picks a filter per row)
//   level 6, Up          175 ms  3.89 MB
//   level 1, Sub, RLE     75 ms  3.78 MB
// Interface-like and text pictures, measured with their (opaque) alpha still written:
//   level 2, Up           28 ms  101 KB     41 ms  638 KB   ← chosen
//   level 2, adaptive     75 ms  101 KB     86 ms  591 KB
//   level 6, Up           49 ms   41 KB     82 ms  500 KB
//   level 1, Sub, RLE     28 ms   77 KB     59 ms  2.41 MB
// Up compresses about as well as adaptive filtering at two thirds of the time or less; levels
// above 2 cost more time than they save bytes until level 6 (lazy matching: 1.5–2 × the time); RLE
// wins on photos but is 3.7 × larger on text, which design documents are full of.
struct PNGEncoderSettings {
    int compressionLevel = 2;  // zlib level, 0…9
    int filters = 0x20;        // libpng PNG_FILTER_* mask: 0x08 none, 0x10 sub, 0x20 up,
                               // 0x40 average, 0x80 Paeth (several: libpng picks per row)
    int strategy = 0;          // zlib strategy: 0 default, 1 filtered, 3 RLE
};
// One text chunk: a keyword and its text, UTF-8 (CGImageDestination.h,
// kCGImagePropertyPNGTextEntries).
struct PNGTextEntry {
    std::string keyword;
    std::string text;
};
// The image as a PNG file, appended to `out`, with the entries of `text` as text chunks before the
// pixels (those CGImageDestination.h calls unwritable are left out); false (and `out` unchanged)
// when the image cannot be encoded.
bool encodePNG(const CGImageRef& image, const PNGEncoderSettings& settings,
               std::vector<uint8_t>& out, std::span<const PNGTextEntry> text = {});

}  // namespace ImageIOPrivate

#pragma GCC visibility pop
