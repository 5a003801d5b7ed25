#pragma once
// ImageIO's image reader with ImageIO's names: how image assets and archived pictures are decoded.
//
// A source is made over encoded bytes and recognises the format by content (no type hint): PNG,
// JPEG, GIF, TIFF, WebP, HEIC (and AVIF, which the same HEIF library reads). Index 0 is the image;
// for GIF and animated WebP it is the first frame. Images keep their colour space: an embedded ICC
// profile (PNG iCCP, JPEG APP2, TIFF, WebP ICCP, HEIF colr) becomes the image's space (the named
// space when the profile is one of ours byte for byte, so a Display P3 image written by this system
// reads back in kCGColorSpaceDisplayP3); PNG's sRGB, gAMA and cHRM chunks are honoured (see
// PNGDecoder.cpp); an image without colour information is sRGB (device grey for grey images,
// the neutral axis of sRGB). Pixels come out in 8 bits per component (16-bit files are rounded)
// with straight alpha (premultiplied where the file stores it so: TIFF, some HEIF), as described in
// ImageIOPrivate.h. EXIF orientation is not applied (JPEG, TIFF): a rotated photo draws as stored.
//
// Hostile bytes never crash, hang or exhaust memory: dimensions beyond CGImage.h's limits, declared
// before anything is allocated, are refused, as are truncated and corrupt files (no partial
// images); nothing is printed (every codec's warning and error output is silenced). The limits are
// in ImageIOLimits.h.
//
// Every function accepts a null source and then answers null or 0.

#include <cstddef>
#include <memory>

#include "CGImage.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSData;
class NSDictionary;

// Uniform type identifiers of the formats read (Apple's strings).
inline constexpr const char* kUTTypePNG = "public.png";
inline constexpr const char* kUTTypeJPEG = "public.jpeg";
inline constexpr const char* kUTTypeGIF = "com.compuserve.gif";
inline constexpr const char* kUTTypeTIFF = "public.tiff";
inline constexpr const char* kUTTypeWebP = "org.webmproject.webp";
inline constexpr const char* kUTTypeHEIC = "public.heic";
inline constexpr const char* kUTTypeAVIF = "public.avif";

// Option keys (NSString keys of the options dictionary; the text is the constant's name, as on
// macOS). Every image is decoded in full when it is made, so ShouldCache is always in effect.
inline constexpr const char* kCGImageSourceShouldCache = "kCGImageSourceShouldCache";

class CGImageSource;  // opaque
using CGImageSourceRef = std::shared_ptr<const CGImageSource>;

// A source over `data` (kept, not copied). Null only for null data, as on macOS: bytes in no known
// format give a source whose type is null and whose image is null. `options` is read for nothing
// and may be null.
CGImageSourceRef CGImageSourceCreateWithData(std::shared_ptr<const NSData> data,
                                             const NSDictionary* options);
// The format's type identifier (one of the constants above, static text), or null when the bytes
// are in no format this reader knows.
const char* CGImageSourceGetType(const CGImageSourceRef& source);
// 1 for a recognised format (only the first frame of an animation is read), else 0.
size_t CGImageSourceGetCount(const CGImageSourceRef& source);
// The image at `index` (only 0 exists), decoded in full; null for another index, an unrecognised
// format, or bytes that do not decode. `options` may be null (see kCGImageSourceShouldCache).
CGImageRef CGImageSourceCreateImageAtIndex(const CGImageSourceRef& source, size_t index,
                                           const NSDictionary* options);

#pragma GCC visibility pop
