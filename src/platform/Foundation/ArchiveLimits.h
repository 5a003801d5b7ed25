#pragma once
// Every bound that reading a property list or a keyed archive enforces, with its reason.
// A crafted file must never crash, hang or exhaust memory; each limit turns into an NSException.

#include <cstdint>

#pragma GCC visibility push(default)  // exported from libVantler

namespace ArchiveLimits {

// Apple's CoreFoundation refuses property lists nested deeper than this on macOS
// (_CFPropertyListMaxRecursionDepth). The same bound applies to nested objects in a keyed archive,
// which also bounds the stack that decoding uses. (An XML property list meets libxml2's own bound
// first: it refuses documents whose elements nest deeper than 256, xmlParserMaxDepth.)
inline constexpr unsigned kMaxNestingDepth = 512;

// CoreFoundation rejects counts and offsets above LONG_MAX.
inline constexpr uint64_t kMaxCount = static_cast<uint64_t>(INT64_MAX);

// Decoding turns file bytes into objects; a few bytes of the file (a one-byte reference repeated in
// an array, many references to one long string) can stand for far more memory. Every decoded object
// and element is charged against this budget, so memory stays proportional to a sane document.
inline constexpr uint64_t kMaxDecodedBytes = 512ull << 20;  // 512 MiB
// What one decoded object or collection element is charged on top of its own bytes (roughly the
// allocation and bookkeeping it costs).
inline constexpr uint64_t kDecodedObjectOverhead = 64;
inline constexpr uint64_t kDecodedElementOverhead = 16;

// Dictionaries with more keys than this are indexed once instead of numbered each time a reader
// comes back to them (PropertyListDictionary.h), so that decoding an object with many keys (an
// ordered set keeps one key per element) stays linear. Objects of the model have up to about 50.
inline constexpr uint64_t kNumberedKeyLimit = 64;

// An XML property list is parsed whole into memory; refuse absurd inputs before parsing.
inline constexpr uint64_t kMaxXMLPropertyListBytes = 256ull << 20;  // 256 MiB
// Parsing turns each tag of an XML list into a libxml2 node and then a value, a few hundred bytes
// (measured: 14 MB of "<true/>" took 600 MB), so the tags are counted before parsing: this many
// keep the parse near the decoding budget, while 256 MiB of tags would take gigabytes.
inline constexpr uint64_t kMaxXMLTags = 2'000'000;

}  // namespace ArchiveLimits

#pragma GCC visibility pop
