#pragma once
// The rarer formats' codecs (giflib, libtiff, libwebp, libheif) are in a module of their own,
// loaded the first time the image reader meets one of these formats, so that reading a PNG or a
// JPEG, as nearly every document does, maps none of them (libheif alone brings a dozen codec
// libraries). The reader tells the formats by their signatures itself (RareFormatDecoders.cpp);
// the module only decodes.

#include <cstdint>
#include <span>

#include "CGImage.h"
#include "LoadableModule.h"

#pragma GCC visibility push(default)  // exported from libVantler

namespace ImageIOPrivate {

inline constexpr const char* kImageCodecsModuleFile = "VantlerImageCodecs.so";
inline constexpr const char* kImageCodecsModuleEntry = "VantlerImageCodecsModule";

// The module's table: each function decodes as ImageDecoder::decode does (null when the bytes do
// not decode within the limits; never prints).
struct ImageCodecsModule {
    using Decode = CGImageRef (*)(std::span<const uint8_t> bytes);
    Decode decodeGIF;
    Decode decodeTIFF;
    Decode decodeWebP;
    Decode decodeHEIF;
};

// The module's decoders, each in its own file.
CGImageRef decodeGIF(std::span<const uint8_t> bytes);   // GIFDecoder.cpp
CGImageRef decodeTIFF(std::span<const uint8_t> bytes);  // TIFFDecoder.cpp
CGImageRef decodeWebP(std::span<const uint8_t> bytes);  // WebPDecoder.cpp
CGImageRef decodeHEIF(std::span<const uint8_t> bytes);  // HEIFDecoder.cpp

// The table, loading the module on the first call; null when it cannot be loaded.
inline const ImageCodecsModule* imageCodecsModule() {
    return LoadableModule::table<ImageCodecsModule>(kImageCodecsModuleFile,
                                                    kImageCodecsModuleEntry);
}

}  // namespace ImageIOPrivate

#pragma GCC visibility pop
