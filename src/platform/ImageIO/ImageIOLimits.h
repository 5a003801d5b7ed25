#pragma once
// Every limit of the image codecs, with its reason (STYLE.md). The dimensions and pixel count of
// any decoded image are CGImage.h's kCGImageMaxDimension and kCGImageMaxPixelCount, checked against
// what a file declares before its pixels are allocated; the limits here bound the rest.

#include <cstddef>
#include <cstdint>

#include "CGColorSpace.h"
#include "CGImage.h"

#pragma GCC visibility push(default)  // exported from libVantler

namespace ImageIOLimits {

// libpng: the most memory one ancillary chunk may take once decompressed (iCCP, zTXt, iTXt...).
// The longest profile CGColorSpaceCreateWithICCData accepts; a compressed chunk that inflates past
// it (a zlib bomb) is dropped, the image still decodes.
inline constexpr size_t kMaxPNGAncillaryChunkBytes = kCGColorSpaceMaxICCDataLength;
// libpng: the most ancillary chunks (text, sPLT, unknown) kept per file. Real files have a few;
// a file of millions of tiny tEXt chunks would otherwise cost memory and time for nothing.
inline constexpr uint32_t kMaxPNGCachedChunks = 1000;

// libjpeg: the most scans a progressive JPEG may have. Real encoders write about 10; each scan of a
// hostile file can cost a pass over the whole coefficient buffer, so thousands of tiny scans would
// take minutes. 500 is the limit libjpeg-turbo's own TurboJPEG API applies (TJFLAG_LIMITSCANS).
inline constexpr int kMaxJPEGScans = 500;

// libtiff: the largest single allocation it may make for strips, tiles and tag arrays. A strip of
// the largest allowed image, 4 bytes a pixel (400 MB); a hostile file declaring a larger strip or
// tag array is refused before allocating.
inline constexpr size_t kMaxTIFFSingleAllocation = 4 * size_t{kCGImageMaxPixelCount};

// ICC profiles turned into colour spaces are kept by their bytes so that images of one camera or
// app share one space (and its lcms2 transforms). Few distinct profiles occur in a process; past
// this the cache starts over.
inline constexpr size_t kMaxCachedProfiles = 32;

}  // namespace ImageIOLimits

#pragma GCC visibility pop
