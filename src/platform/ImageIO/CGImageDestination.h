#pragma once
// ImageIO's image writer with ImageIO's names (Parts 3.3, 4.1 "Image I/O", 4.3), PNG only.
//
// The PNG written is a standard, non-interlaced PNG of 8 bits per component: grey, grey + alpha,
// RGB or RGBA after the image's format, without the alpha channel when every pixel is opaque
// (premultiplied images are written with straight alpha, as PNG requires; alpha-only images as
// black RGBA). The colour space goes with it: an sRGB chunk for
// sRGB, device RGB and device grey (device spaces are sRGB here, CGColorSpace.h), the space's ICC
// profile as an iCCP chunk otherwise. Compression is set for thumbnails: fast, with a fair size
// (ImageIOPrivate.h, measured in bench/image_codec_bench.cpp).
//
// Every function accepts a null destination and then does nothing or answers false.

#include <cstddef>
#include <memory>

#include "CGImage.h"

class NSMutableData;
class NSDictionary;

class CGImageDestination;  // opaque
using CGImageDestinationRef = std::shared_ptr<CGImageDestination>;

// A destination that appends the encoded file to `data` when finalised. Null for null data, a type
// other than "public.png" (kUTTypePNG) or a count of 0. `options` may be null; nothing is read
// from it.
CGImageDestinationRef CGImageDestinationCreateWithData(std::shared_ptr<NSMutableData> data,
                                                       const char* type, size_t count,
                                                       const NSDictionary* options);
// Adds an image (kept until finalising). Images beyond the count given at creation, and null
// images, are ignored. `properties` may be null; nothing is read from it.
void CGImageDestinationAddImage(const CGImageDestinationRef& destination, CGImageRef image,
                                const NSDictionary* properties);
// Encodes the first image added and appends the file to the data. False when no image was added,
// when encoding fails (the data is then unchanged) and on every call after the first.
bool CGImageDestinationFinalize(const CGImageDestinationRef& destination);
