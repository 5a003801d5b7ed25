#include "InfoCommand.h"

#include <cstdio>

#include "DocumentInfo.h"
#include "FileRequest.h"

int infoCommand(const std::vector<std::string>& args) {
    const auto parsed = readFileRequest("info", args, {{"--json"}});
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    const auto& request = std::get<FileRequest>(parsed);
    const auto prototype = loadDocument(request);
    if (!prototype) return 1;
    const std::string text = documentInfo(
        *prototype, request.data, request.has("--json") ? InfoFormat::JSON : InfoFormat::Text);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
