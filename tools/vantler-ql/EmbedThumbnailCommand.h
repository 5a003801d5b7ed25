#pragma once
// `vantler-ql embed-thumbnail FILE (-o OUT | --in-place)`: the document saved again, carrying a
// fresh picture of its entry screen.

#include <string>
#include <vector>

// The command's exit status: 0 when the document was written; 1 when it is refused or cannot be
// written; 2 for wrong usage (among it neither -o nor --in-place: FILE is never replaced unasked).
int embedThumbnailCommand(const std::vector<std::string>& args);
