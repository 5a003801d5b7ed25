#pragma once
// The picture vantler-thumbnailer writes for a thumbnail request's result, as the freedesktop.org
// thumbnail standard asks: a PNG in sRGB whose text entries "Thumb::Image::Width" and
// "Thumb::Image::Height" give the document's natural size.

#include <cstdint>
#include <memory>
#include <string>

#include "NSData.h"
#include "QLGeneratorHost.h"

// The PNG file for `result` (a result of status 0 of a request made with fitSize `size`), or null
// with `reason` set:
// - handed-over bytes (the embedded thumbnail, passed on unchecked by the generator) are decoded,
// in any
//   format CGImageSource.h reads, and drawn in sRGB at the largest scale up to 1 that fits
//   size × size pixels, sides rounded to whole pixels: shrunk, never enlarged. Natural size: the
//   decoded image's pixels. Bytes that don't decode: "the embedded thumbnail could not be decoded".
// - a flushed picture (already drawn to fit by the host, in sRGB) is written as it is. Natural
// size:
//   the context's size in points, rounded to whole points.
// - anything else: "nothing was drawn".
std::shared_ptr<const NSData> createThumbnailPNG(const QLRequestResult& result, int64_t size,
                                                 std::string* reason);
