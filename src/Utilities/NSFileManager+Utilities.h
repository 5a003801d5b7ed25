#pragma once
// The file manager's extension for naming new files beside existing ones ("a.png", then "a 2.png",
// "a 3.png", ...) and for making a private folder in the temporary directory. Free functions
// taking the manager first, as the other platform-class extensions of this folder are.

#include <cstdint>
#include <optional>
#include <string>

#include "NSFileManager.h"

#pragma GCC visibility push(default)  // exported from libVantler

// `uniqueFilePath:`: the path itself when nothing exists there; otherwise, with B the path without
// its extension and E its extension (what follows the last dot of the last component, "" without
// one), the first of "B n.E" for n = 2, 3, ... kUniqueFilePathMaxNumber at which nothing exists.
// None when every one of them is taken, so that a caller never replaces a file it did not make.
// The checks are not atomic with the caller's write: another writer may take the name in between.
std::optional<std::string> uniqueFilePath(const NSFileManager& manager, const std::string& path);

// The highest number tried. Each try is one file-system lookup: ten thousand of them take a few
// milliseconds, so a folder where every name is taken answers at once, and exporting many layers
// of one name (which tries 2, 3, ... again for each) stays bounded.
inline constexpr int64_t kUniqueFilePathMaxNumber = 10'000;

// `createUniqueTemporaryDirectory`: NSTemporaryDirectory() followed by a globally unique string of
// the process (NSProcessInfo), made with every missing folder on its way. The path comes back also
// when making it failed (a temporary directory that cannot be written): the caller's own writes
// into it then fail and say so.
std::string createUniqueTemporaryDirectory(const NSFileManager& manager);

#pragma GCC visibility pop
