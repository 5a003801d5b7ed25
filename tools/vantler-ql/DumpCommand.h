#pragma once
// `vantler-ql dump FILE [--json]`.

#include <string>
#include <vector>

// The command's exit status: 0, 1 (unreadable or malformed archive), 2 (wrong usage).
int dumpCommand(const std::vector<std::string>& args);
