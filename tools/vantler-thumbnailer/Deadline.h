#pragma once
// The program's wall-clock deadline (--timeout). Most file managers wait for a thumbnailer without
// a deadline of their own, and the generator may be stuck anywhere, inside a codec or a layout
// library, where no flag is ever checked: so the deadline is a signal whose handler ends the
// process.
//
// Process-wide: one deadline per process, armed before any other thread starts (threads made later
// inherit the unblocked SIGALRM).

#include <string>

namespace Deadline {

// After `seconds` (> 0) of wall-clock time, wherever the program is: writes `message` and a newline
// to stderr, removes `outputPath` if outputBegun() was called, and exits with status 1 without
// running destructors or exit handlers. False when the timer could not be set (errno says why).
bool arm(double seconds, const std::string& message, const std::string& outputPath);

// From now on an expiry removes the output file, which may hold part of a picture.
void outputBegun();

// Stops the timer; nothing happens at the deadline any more.
void disarm();

}  // namespace Deadline
