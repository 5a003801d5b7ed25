#include "FileRequest.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "NSError.h"
#include "RefusalReason.h"
#include "Usage.h"

std::string FileRequest::value(const std::string& option) const {
    const auto found = options.find(option);
    return found == options.end() ? std::string() : found->second;
}

namespace {

std::shared_ptr<const NSData> readDocumentFile(const std::string& path, std::string* problem) {
    if (*problem = unreadableDocumentReason(path); !problem->empty()) return nullptr;
    auto data = NSData::dataWithContentsOfFile_options(path, NSDataReadingMappedIfSafe);
    if (!data) *problem = std::strerror(errno ? errno : EIO);
    return data;
}

std::shared_ptr<const NSData> readStandardInput(std::string* problem) {
    std::vector<uint8_t> bytes;
    uint8_t buffer[1 << 16];
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *problem = std::strerror(errno);
            return nullptr;
        }
        if (n == 0) return NSData::dataWithVector(std::move(bytes));
        if (bytes.size() + size_t(n) > kMaxStandardInputBytes) {
            *problem = "more than " + std::to_string(kMaxStandardInputBytes) + " bytes";
            return nullptr;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
}

}  // namespace

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
    std::string problem;
    request.data = request.readsStandardInput() ? readStandardInput(&problem)
                                                : readDocumentFile(request.path, &problem);
    if (!request.data) {
        std::fprintf(stderr, "vantler-ql: %s: %s\n", request.name().c_str(), problem.c_str());
        return 1;
    }
    return request;
}

std::shared_ptr<VTPrototype> loadDocument(const FileRequest& request) {
    std::shared_ptr<NSError> error;
    auto prototype = VTPrototype::prototypeFromData_error(request.data, &error);
    if (!prototype)
        std::fprintf(stderr, "vantler-ql: %s: %s (%s)\n", request.name().c_str(),
                     error->localizedFailureReason().value_or("").c_str(),
                     error->localizedRecoverySuggestion().value_or("").c_str());
    return prototype;
}
