#include "FileRequest.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Usage.h"

std::variant<FileRequest, int> readFileRequest(const std::string& command,
                                               const std::vector<std::string>& args) {
    FileRequest request;
    for (const auto& arg : args) {
        if (arg == "--json")
            request.json = true;
        else if (arg.starts_with("-") && arg != "-")
            return usageError("unknown option " + arg);
        else if (request.path.empty())
            request.path = arg;
        else
            return usageError(command + " takes one FILE");
    }
    if (request.path.empty()) return usageError(command + " needs a FILE");
    request.data = NSData::dataWithContentsOfFile_options(request.path, NSDataReadingMappedIfSafe);
    if (!request.data) {
        std::fprintf(stderr, "vantler-ql: %s: %s\n", request.path.c_str(),
                     std::strerror(errno ? errno : ENOENT));
        return 1;
    }
    return request;
}
