#pragma once
// The command line shared by `info` and `dump`: COMMAND FILE [--json].

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "NSData.h"

struct FileRequest {
    std::string path;
    bool json = false;
    std::shared_ptr<const NSData> data;  // the file's bytes (mapped when safe)
};

// The request, or the exit status already reported on standard error: 2 for wrong usage, 1 for a
// file that cannot be read.
std::variant<FileRequest, int> readFileRequest(const std::string& command,
                                               const std::vector<std::string>& args);
