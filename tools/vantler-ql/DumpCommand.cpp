#include "DumpCommand.h"

#include <cstdio>

#include "ArchiveDump.h"
#include "FileRequest.h"
#include "NSException.h"

int dumpCommand(const std::vector<std::string>& args) {
    const auto parsed = readFileRequest("dump", args, {{"--json"}});
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    const auto& request = std::get<FileRequest>(parsed);
    try {
        const std::string text = dumpKeyedArchive(
            request.data, request.has("--json") ? DumpFormat::JSON : DumpFormat::Text);
        std::fwrite(text.data(), 1, text.size(), stdout);
    } catch (const NSException& e) {
        std::fprintf(stderr, "vantler-ql: %s: %s\n", request.path.c_str(), e.reason().c_str());
        return 1;
    }
    return 0;
}
