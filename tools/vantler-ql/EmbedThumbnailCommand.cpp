#include "EmbedThumbnailCommand.h"

#include <cstdio>

#include "FileRequest.h"
#include "QLGeneratorHost.h"
#include "VTPrototype+Writing.h"

int embedThumbnailCommand(const std::vector<std::string>& args) {
    const auto parsed = readFileRequest(
        "embed-thumbnail", args, {{"-o", true}, {"--in-place"}}, [](const FileRequest& request) {
            if (request.has("-o") == request.has("--in-place"))
                return "embed-thumbnail needs either -o OUT or --in-place";
            if (request.has("--in-place") && request.readsStandardInput())
                return "--in-place needs a FILE, not standard input";
            return "";
        });
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    const auto& request = std::get<FileRequest>(parsed);
    const auto prototype = loadDocument(request);
    if (!prototype) return 1;

    std::shared_ptr<NSError> error;
    const auto data = dataFromPrototype_error(prototype, &error);
    if (!data) {
        std::fprintf(stderr, "vantler-ql: %s: %s\n", request.name().c_str(),
                     error->localizedFailureReason().value_or("").c_str());
        return 1;
    }
    // Whole or not at all: a reader of the file, or a failure half-way, never sees half a document.
    const std::string output = request.has("-o") ? request.value("-o") : request.path;
    std::string reason;
    if (!QLWriteOutputFile(output, *data, &reason)) {
        std::fprintf(stderr, "vantler-ql: %s\n", reason.c_str());
        return 1;
    }
    return 0;
}
