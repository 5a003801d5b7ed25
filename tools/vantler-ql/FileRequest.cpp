#include "FileRequest.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "NSError.h"
#include "Usage.h"

std::string FileRequest::value(const std::string& option) const {
    const auto found = options.find(option);
    return found == options.end() ? std::string() : found->second;
}

std::variant<FileRequest, int> readFileRequest(const std::string& command,
                                               const std::vector<std::string>& args,
                                               const std::vector<FileOption>& accepted,
                                               const FileRequestCheck& check) {
    FileRequest request;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!arg.starts_with("-") || arg == "-") {
            if (!request.path.empty()) return usageError(command + " takes one FILE");
            request.path = arg;
            continue;
        }
        const auto option = std::find_if(accepted.begin(), accepted.end(),
                                         [&](const FileOption& o) { return o.name == arg; });
        if (option == accepted.end()) return usageError("unknown option " + arg);
        std::string value;
        if (option->takesValue) {
            if (i + 1 == args.size()) return usageError(arg + " needs a value");
            value = args[++i];
        }
        request.options[arg] = value;
    }
    if (request.path.empty()) return usageError(command + " needs a FILE");
    if (const std::string problem = check ? check(request) : ""; !problem.empty())
        return usageError(problem);
    request.data = NSData::dataWithContentsOfFile_options(request.path, NSDataReadingMappedIfSafe);
    if (!request.data) {
        std::fprintf(stderr, "vantler-ql: %s: %s\n", request.path.c_str(),
                     std::strerror(errno ? errno : ENOENT));
        return 1;
    }
    return request;
}

std::shared_ptr<VTPrototype> loadDocument(const FileRequest& request) {
    std::shared_ptr<NSError> error;
    auto prototype = VTPrototype::prototypeFromData_error(request.data, &error);
    if (!prototype)
        std::fprintf(stderr, "vantler-ql: %s: %s (%s)\n", request.path.c_str(),
                     error->localizedFailureReason().value_or("").c_str(),
                     error->localizedRecoverySuggestion().value_or("").c_str());
    return prototype;
}
