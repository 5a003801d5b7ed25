#pragma once
// Geometry and colour archive encoding.
//
// Points, sizes, rectangles and colours are never archived as opaque values: each is spread over a
// group of scalar entries whose keys are the caller's key K with a dot and a fixed suffix appended
// (K.x, K.y; K.width, K.height; K.origin.x … K.size.height; K.profile, K.space_name, K.count, K.0
// …). The layer's archive form is the user.
//
// Form: on the platform these are the `geometry` category of NSCoder, instance operations used on
// an archiver (encode) and an unarchiver (decode). C++ has no categories, and adding members to the
// platform's NSCoder would make Foundation know about the model's geometry (dependencies point
// down only), so each operation is a free function that takes the coder first, named by
// the selector rule (every colon but the last becomes `_`): `encodeCGPoint:forKey:` →
// `encodeCGPoint_forKey(coder, point, key)`, `newCGColorForKey:` → `newCGColorForKey(coder, key)`.
// They use only NSCoder's public virtual interface, so they work on any coder.
//
// Failures: nothing here logs or raises by itself. An absent or mismatched colour group reads as a
// null colour, absent geometry entries read as 0.0. What the coder raises on malformed data (a
// value of the wrong kind under a key, for instance a K.space_name that is not a string or a
// K.count too large for 32 bits) propagates, as everywhere in the keyed archive.
//
// Concurrency: `colorProfileCache` is guarded by a mutex, as the colour-space caches are. A host
// may run requests of one process on several threads (a batch thumbnailer, tests); without
// the lock two threads writing colours at once could corrupt the list, or both append the same
// profile and break "one entry per distinct profile" (then two archives, or two colours of one
// archive, would hold different data objects for one profile, and an archive could store those
// bytes twice). The lock is held only to search and extend the list, never while the coder writes.

#include <memory>
#include <string_view>
#include <vector>

#include "CGColor.h"
#include "CGGeometry.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSCoder;
class NSData;

// ---- Writing. Each writes its group's entries in the order given; nothing else.
// K.x then K.y, with encodeDouble_forKey (8-byte reals in the archive).
void encodeCGPoint_forKey(NSCoder& coder, CGPoint point, std::string_view key);
// K.width then K.height, with encodeDouble_forKey.
void encodeCGSize_forKey(NSCoder& coder, CGSize size, std::string_view key);
// The origin as a point group under K.origin, then the size as a size group under K.size: the
// entries K.origin.x, K.origin.y, K.size.width, K.size.height, in that order.
void encodeCGRect_forKey(NSCoder& coder, CGRect rect, std::string_view key);
// A colour. A null colour writes nothing. Otherwise, in this order:
// - K.profile (an object, NSData) when the colour's space has ICC profile data: the entry of
//   colorProfileCache with those bytes (appended first if none has them), so that every colour with
//   that profile writes the identical data object and an archive stores its bytes once;
// - K.space_name (an object, NSString) when the space has a name, or has none but its profile is
//   byte for byte the sRGB profile (sRGBICCProfile), which is then named
//   kCGColorSpaceSRGB;
// - K.count, the number of components including alpha, with encodeInt_forKey (a 32-bit integer);
// - K.0 … K.(count−1), the components in order (alpha last), with encodeDouble_forKey.
void encodeCGColor_forKey(NSCoder& coder, const CGColorRef& color, std::string_view key);

// ---- Reading
// A new colour, or null when K.count is absent, zero or negative, or
// differs from the chosen space's components plus alpha (no component is read then). The space is
// the first that yields one of: K.space_name through cachedColorSpaceFromName, K.profile through
// cachedColorSpaceFromICCData, the cached sRGB space, a device RGB space. A missing K.i reads as
// 0.0. The components go through CGColorCreate, which clamps them to the space's range.
CGColorRef newCGColorForKey(NSCoder& coder, std::string_view key);
// True when K.x and K.y are both present; K.y is asked only when K.x is present.
bool containsCGPointForKey(NSCoder& coder, std::string_view key);
// From K.x and K.y with decodeDoubleForKey; no presence test, so an absent entry reads as 0.0.
CGPoint decodeCGPointForKey(NSCoder& coder, std::string_view key);
// From K.width and K.height; an absent entry reads as 0.0.
CGSize decodeCGSizeForKey(NSCoder& coder, std::string_view key);
// Origin from decodeCGPointForKey on K.origin, size from decodeCGSizeForKey on K.size.
CGRect decodeCGRectForKey(NSCoder& coder, std::string_view key);

// ---- Observing colorProfileCache (tests)
// A snapshot of the list, in order: the distinct profile data objects written so far by the
// process.
std::vector<std::shared_ptr<const NSData>> colorProfileCacheEntries();

#pragma GCC visibility pop
