#pragma once
// `vantler-ql export FILE -d DIR [--layer NAME]`: every screen of the document, or every layer of
// that name, written as a PNG file into DIR, named after it; each path written printed on a line.

#include <string>
#include <vector>

// The command's exit status: 0 when every file was written; 1 when the document is refused, holds
// nothing to export, or a file could not be written; 2 for wrong usage.
int exportCommand(const std::vector<std::string>& args);
