#pragma once

#include <string>
#include <vector>

// `vantler-ql info FILE [--json]`: 0 when the document loads, 1 when it is refused (the loader's
// reason and suggestion on standard error), 2 for wrong usage.
int infoCommand(const std::vector<std::string>& args);
