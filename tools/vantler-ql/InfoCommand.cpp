#include "InfoCommand.h"

#include <cstdio>

#include "DocumentInfo.h"
#include "FileRequest.h"
#include "NSError.h"
#include "VTPrototype.h"

int infoCommand(const std::vector<std::string>& args) {
    const auto parsed = readFileRequest("info", args);
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    const auto& request = std::get<FileRequest>(parsed);
    std::shared_ptr<NSError> error;
    const auto prototype = VTPrototype::prototypeFromData_error(request.data, &error);
    if (!prototype) {
        std::fprintf(stderr, "vantler-ql: %s: %s (%s)\n", request.path.c_str(),
                     error->localizedFailureReason().value_or("").c_str(),
                     error->localizedRecoverySuggestion().value_or("").c_str());
        return 1;
    }
    const std::string text =
        documentInfo(*prototype, request.data, request.json ? InfoFormat::JSON : InfoFormat::Text);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
