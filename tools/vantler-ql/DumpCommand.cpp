#include "DumpCommand.h"

#include <cstdio>

#include "ArchiveDump.h"
#include "FileRequest.h"
#include "NSException.h"
#include "NSKeyedUnarchiver.h"
#include "QLGeneratorHost.h"

namespace {

std::string optionsProblem(const FileRequest& request) {
    if (request.has("--extract") != request.has("-o"))
        return "--extract KEY and -o OUT go together";
    if (request.has("--extract") && request.has("--json"))
        return "--extract prints nothing to --json";
    return "";
}

int fail(const FileRequest& request, const std::string& reason) {
    std::fprintf(stderr, "vantler-ql: %s: %s\n", request.name().c_str(), reason.c_str());
    return 1;
}

// Saves the bytes of a top-level data entry whole, read as the generator reads the thumbnail a
// document carries.
int extract(const FileRequest& request) {
    const std::string key = request.value("--extract");
    NSKeyedUnarchiver archive(request.data);
    size_t length = 0;
    const uint8_t* bytes = archive.decodeBytesForKey_returnedLength(key, &length);
    if (!bytes) return fail(request, "no top-level data entry \"" + key + "\"");
    std::string reason;
    if (!QLWriteOutputFile(request.value("-o"), *NSData::dataWithBytes_length(bytes, length),
                           &reason)) {
        std::fprintf(stderr, "vantler-ql: %s\n", reason.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int dumpCommand(const std::vector<std::string>& args) {
    const auto parsed = readFileRequest(
        "dump", args, {{"--json"}, {"--extract", true}, {"-o", true}}, optionsProblem);
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    const auto& request = std::get<FileRequest>(parsed);
    try {
        if (request.has("--extract")) return extract(request);
        const std::string text = dumpKeyedArchive(
            request.data, request.has("--json") ? DumpFormat::JSON : DumpFormat::Text);
        std::fwrite(text.data(), 1, text.size(), stdout);
    } catch (const NSException& e) {
        return fail(request, e.reason());
    }
    return 0;
}
