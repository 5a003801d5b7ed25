#pragma once
// Colour spaces and image codecs.
//
// Colour spaces are made once per name or per ICC profile and shared for the life of the process,
// so every colour made from the same name or profile refers to the identical colour-space object
// (archived colours are read through these caches; screens and layers make their default colours
// with CGColorCreateSRGB). Nothing here logs or reports an error: a failure is a null result, and a
// failed creation stores nothing, so a later call with the same key tries again.
//
// Concurrency: the caches and the held profile are guarded by one mutex. A host may run requests
// of one process on several threads (a batch thumbnailer, tests), and without the lock two threads
// missing on the same key at once would each store a different space, breaking "identical object
// for equal keys", or corrupt the maps outright.

#include <memory>
#include <span>
#include <string_view>

#include "CGColor.h"
#include "CGColorSpace.h"
#include "CGImage.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSData;
class NSString;

// ---- Colour spaces
// The shared space for a colour-space name (compared as strings: the whole text, embedded NULs
// included): null for a null name or a name CGColorSpaceCreateWithName rejects (nothing is stored
// then). The result is shared with the cache and stays valid for the life of the process.
CGColorSpaceRef cachedColorSpaceFromName(const char* name);
CGColorSpaceRef cachedColorSpaceFromName(const std::shared_ptr<const NSString>& name);
// The shared space for ICC profile data, keyed by the bytes (two data objects with equal bytes give
// the identical space): null for null data or data CGColorSpaceCreateWithICCData rejects (nothing
// is stored then).
CGColorSpaceRef cachedColorSpaceFromICCData(const NSData* data);
CGColorSpaceRef cachedColorSpaceFromICCData(const std::shared_ptr<const NSData>& data);

// The ICC profile of the shared sRGB space, taken once and then the identical data object on every
// call (an archived colour's profile is compared against it); null only if the copy failed, and
// then the next call tries again.
std::shared_ptr<NSData> sRGBICCProfile();

// A new colour (red, green, blue, alpha as fractions of 1) in the shared sRGB space
// (CGColorSpaceGetSRGB), the one cachedColorSpaceFromName(kCGColorSpaceSRGB) gives.
CGColorRef CGColorCreateSRGB(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha);

// ---- Observing the caches (tests: "the map stays without an entry")
// Whether the name map, or the profile map, holds an entry for the key.
bool cachedColorSpaceMapContainsName(std::string_view name);
bool cachedColorSpaceMapContainsICCData(std::span<const uint8_t> bytes);

// ---- Image codecs: thin fixed configurations of the ImageIO
// stand-in (src/platform/ImageIO/) and of a bitmap context (CGContext.h).

// A new image decoded from encoded image bytes (no type hint: PNG, the format this system writes,
// or any other format CGImageSource.h reads), with its own colour space; null for null data and
// for bytes that do not decode (empty, garbage, truncated, beyond the size limits).
CGImageRef CGImageCreateFromPNGData(const NSData* data);
CGImageRef CGImageCreateFromPNGData(const std::shared_ptr<const NSData>& data);
// The image as the bytes of a standard PNG file (CGImageDestination.h: 8 bits per component,
// straight alpha, the image's colour space as an sRGB or iCCP chunk), or null for a null image or
// when writing fails.
std::shared_ptr<NSData> CGImageConvertToPNGData(const CGImageRef& image);
// A new, fully decoded copy of the image in device RGB, 8 bits per component, premultiplied alpha
// first with the default byte order (bytes A R G B), drawn through a bitmap context (colours
// matched from the image's space); null for a null image or when the context cannot be made.
CGImageRef createDecodedCGImage(const CGImageRef& image);

#pragma GCC visibility pop
