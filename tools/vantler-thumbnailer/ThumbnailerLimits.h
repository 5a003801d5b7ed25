#pragma once
// Every limit of vantler-thumbnailer, with its reason. Most file managers wait for a thumbnailer
// without a deadline and hand it whatever file the user browses to, so the program bounds itself.

#include <cstdint>

namespace ThumbnailerLimits {

// The largest input read by default (--max-file-size). Design documents with embedded media reach
// tens of megabytes; a file far beyond this is more likely a mistyped or crafted one, and the
// generator maps and decodes the whole file.
inline constexpr uint64_t kDefaultMaxFileSize = 256ull << 20;  // 256 MiB

// The wall-clock deadline by default (--timeout), in seconds: long enough for a large document
// on a slow machine, short enough that a stuck generator does not hold a host's queue for long.
inline constexpr double kDefaultTimeoutSeconds = 10;

// The largest -s SIZE, in pixels. The freedesktop.org thumbnail cache's largest size is 1024
// (xx-large); four times that leaves room for a host of its own while bounding the picture drawn to
// 4096 × 4096 pixels (64 MiB).
inline constexpr int64_t kMaxThumbnailSize = 4096;

}  // namespace ThumbnailerLimits
