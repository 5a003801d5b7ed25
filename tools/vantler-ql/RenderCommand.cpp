#include "RenderCommand.h"

#include <cstdio>

#include "CarriedThumbnail.h"
#include "HostPolicy.h"
#include "RefusalReason.h"

namespace {

int failure(const std::string& subject, const std::string& reason) {
    std::fprintf(stderr, "vantler-ql: %s: %s\n", subject.c_str(), reason.c_str());
    return 1;
}

}  // namespace

int renderOneFile(const RenderCommandLine& commandLine) {
    const std::string& file = commandLine.files.front();
    // Checked first: a missing document needs no plug-in loaded to be named.
    if (const auto reason = unreadableDocumentReason(file); !reason.empty())
        return failure(file, reason);
    std::string error;
    const auto host =
        QLGeneratorHost::hostWithPath_error(generatorPlugInPath(commandLine.generator), &error);
    if (!host) return failure("cannot load the generator", error);

    const QLRequestOptions options = commandLine.requestOptions();
    const QLRequestResult result = commandLine.kind == RequestKind::Thumbnail
                                       ? host->generateThumbnail(file, options)
                                       : host->generatePreview(file, options);
    if (result.status != 0) return failure(file, refusalReason(result));
    if (result.data && result.data->length() != 0 && !decodeCarriedThumbnail(result.data, &error))
        return failure(file, error);
    const auto data = QLCreateOutputData(result, options, &error);
    if (!data) return failure(file, error);
    if (!QLWriteOutputFile(commandLine.output, *data, &error)) return failure(file, error);
    return 0;
}
