// The decoders of GIF, TIFF, WebP and HEIF (ImageCodecsModule.h): each format is told by its
// signature here, cheaply and without the module; its bytes are decoded by the module, loaded the
// first time one is met.

#include <algorithm>
#include <cstring>

#include "CGImageSource.h"
#include "ImageCodecsModule.h"
#include "ImageIOPrivate.h"

namespace ImageIOPrivate {

namespace {

bool isGIF(std::span<const uint8_t> bytes) {
    return bytes.size() >= 6 && (std::memcmp(bytes.data(), "GIF87a", 6) == 0 ||
                                 std::memcmp(bytes.data(), "GIF89a", 6) == 0);
}

bool isTIFF(std::span<const uint8_t> bytes) {
    if (bytes.size() < 4) return false;
    const uint8_t* b = bytes.data();
    return (b[0] == 'I' && b[1] == 'I' && (b[2] == 42 || b[2] == 43) && b[3] == 0) ||
           (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && (b[3] == 42 || b[3] == 43));
}

bool isWebP(std::span<const uint8_t> bytes) {
    return bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
           std::memcmp(bytes.data() + 8, "WEBP", 4) == 0;
}

uint32_t bigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

bool brandIs(const uint8_t* brand, const char* name) {
    return std::memcmp(brand, name, 4) == 0;
}

// HEIC or AVIF, from the file type box: 'ftyp', the major brand, a minor version, then compatible
// brands.
const char* heifTypeOf(std::span<const uint8_t> bytes) {
    if (bytes.size() < 16 || std::memcmp(bytes.data() + 4, "ftyp", 4) != 0) return nullptr;
    const size_t boxSize = std::min<size_t>(bigEndian32(bytes.data()), bytes.size());
    const uint8_t* major = bytes.data() + 8;
    for (const char* brand : {"heic", "heix", "heim", "heis", "hevc", "hevx"})
        if (brandIs(major, brand)) return kUTTypeHEIC;
    for (const char* brand : {"avif", "avis"})
        if (brandIs(major, brand)) return kUTTypeAVIF;
    if (!brandIs(major, "mif1") && !brandIs(major, "msf1")) return nullptr;
    // A generic HEIF major brand: the compatible brands tell the codec.
    for (size_t offset = 16; offset + 4 <= boxSize; offset += 4) {
        const uint8_t* brand = bytes.data() + offset;
        if (brandIs(brand, "avif") || brandIs(brand, "avis")) return kUTTypeAVIF;
        if (brandIs(brand, "heic") || brandIs(brand, "heix")) return kUTTypeHEIC;
    }
    return kUTTypeHEIC;
}

// Decodes with the module's decoder `decode`; null, like any undecodable file, when the module
// cannot be loaded.
template <ImageCodecsModule::Decode ImageCodecsModule::*decode>
CGImageRef decodeInModule(std::span<const uint8_t> bytes) {
    const ImageCodecsModule* module = imageCodecsModule();
    return module ? (module->*decode)(bytes) : nullptr;
}

}  // namespace

const ImageDecoder kGIFDecoder =
    singleTypeDecoder<kUTTypeGIF, isGIF>(decodeInModule<&ImageCodecsModule::decodeGIF>);
const ImageDecoder kTIFFDecoder =
    singleTypeDecoder<kUTTypeTIFF, isTIFF>(decodeInModule<&ImageCodecsModule::decodeTIFF>);
const ImageDecoder kWebPDecoder =
    singleTypeDecoder<kUTTypeWebP, isWebP>(decodeInModule<&ImageCodecsModule::decodeWebP>);
const ImageDecoder kHEIFDecoder{heifTypeOf, decodeInModule<&ImageCodecsModule::decodeHEIF>};

}  // namespace ImageIOPrivate
