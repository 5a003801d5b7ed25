#pragma once
// ImageIO's image writer with ImageIO's names, PNG only: how images are stored in archives and
// offscreen drawings are exported.
//
// The PNG written is a standard, non-interlaced PNG of 8 bits per component: grey, grey + alpha,
// RGB or RGBA after the image's format, without the alpha channel when every pixel is opaque
// (premultiplied images are written with straight alpha, as PNG requires; alpha-only images as
// black RGBA). The colour space goes with it: an sRGB chunk for
// sRGB, device RGB and device grey (device spaces are sRGB here, CGColorSpace.h), the space's ICC
// profile as an iCCP chunk otherwise. Compression is set for thumbnails: fast, with a fair size
// (ImageIOPrivate.h, measured in bench/image_codec_bench.cpp). Text entries given with the image
// (kCGImagePropertyPNGTextEntries) are written as text chunks before the pixels.
//
// Every function accepts a null destination and then does nothing or answers false.

#include <cstddef>
#include <memory>

#include "CGImage.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSMutableData;
class NSDictionary;

// ---- Image property keys (NSString keys of CGImageDestinationAddImage's `properties`)
// PNG-specific properties: the value is a dictionary keyed by the PNG keys below (Apple's text).
inline constexpr const char* kCGImagePropertyPNGDictionary = "{PNG}";
// This port's own PNG key (Apple's ImageIO has only fixed keys such as Title and Author, which
// cannot carry keywords like the freedesktop.org thumbnail standard's "Thumb::Image::Width"):
// a dictionary of NSString keyword -> NSString text, written in its order as one text chunk each,
// tEXt when the text is ASCII, iTXt (UTF-8) otherwise. An entry is left out, as ImageIO leaves out
// property values it cannot use, when either side is not a string, when the keyword is not a PNG
// keyword (1 to 79 printable ASCII characters, no leading, trailing or double space), or when the
// text contains a NUL character.
inline constexpr const char* kCGImagePropertyPNGTextEntries = "TextEntries";

class CGImageDestination;  // opaque
using CGImageDestinationRef = std::shared_ptr<CGImageDestination>;

// A destination that appends the encoded file to `data` when finalised. Null for null data, a type
// other than "public.png" (kUTTypePNG) or a count of 0. `options` may be null; nothing is read
// from it.
CGImageDestinationRef CGImageDestinationCreateWithData(std::shared_ptr<NSMutableData> data,
                                                       const char* type, size_t count,
                                                       const NSDictionary* options);
// Adds an image (kept until finalising) with its properties. Images beyond the count given at
// creation, and null images, are ignored. `properties` may be null; of it only
// kCGImagePropertyPNGDictionary's kCGImagePropertyPNGTextEntries is read, when it has that shape.
void CGImageDestinationAddImage(const CGImageDestinationRef& destination, CGImageRef image,
                                const NSDictionary* properties);
// Encodes the first image added and appends the file to the data. False when no image was added,
// when encoding fails (the data is then unchanged) and on every call after the first.
bool CGImageDestinationFinalize(const CGImageDestinationRef& destination);

#pragma GCC visibility pop
