#pragma once
// Writing OUTPUT. A sandboxed host (GNOME runs thumbnailers under bubblewrap) makes only OUTPUT's
// folder writable and may watch it, so the file is written in place, without a temporary name, and
// a failed write leaves no file behind: hosts take an existing OUTPUT as a thumbnail.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

// Creates or truncates `path` (permissions 0666 less the umask) and writes `bytes` to it. On any
// failure removes the file again (once opened, when it is a regular file, never a device or a
// FIFO) and returns false with `reason` set to the system's message. `removable` is called once
// the file is open and may be removed by others too (the deadline's handler).
bool writeOutputFile(const std::string& path, std::span<const uint8_t> bytes,
                     const std::function<void()>& removable, std::string* reason);
