#pragma once
// The names of a batch's output files in its one output folder.

#include <string>
#include <vector>

// For each file: its name without the last extension, then "." and `extension` ("a.vantler" ->
// "a.png"). A name already given in this batch gets "-2", "-3", ... before the extension, so that
// no two files overwrite each other ("a.png", "a-2.png"). A file without a name (a path ending in
// "/") is "untitled".
std::vector<std::string> uniqueOutputNames(const std::vector<std::string>& files,
                                           const std::string& extension);
