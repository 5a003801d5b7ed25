#pragma once
// Foundation's path functions (NSPathUtilities.h) that image assets use for their private copies
// of media files.

#include <string>

#pragma GCC visibility push(default)  // exported from libVantler

// The directory for temporary files: $TMPDIR when it is set and not empty, else "/tmp/"; always
// with one trailing slash, as on a Mac, so that a file name can be appended directly. Read on every
// call.
std::string NSTemporaryDirectory();

#pragma GCC visibility pop
