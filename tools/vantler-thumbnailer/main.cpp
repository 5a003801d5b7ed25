// vantler-thumbnailer: the freedesktop.org thumbnailer for Vantler documents, run by file managers
// as "vantler-thumbnailer -s %s %u %o".
//
// GNOME runs thumbnailers in a bubblewrap sandbox: the document is a read-only copy under another
// name, only /usr is visible (no $HOME, no /etc/fonts), there is no network, and only OUTPUT's
// folder is writable. So nothing here writes a temporary file or reads anything but the document,
// the generator plug-in and the libraries under the program's own prefix.

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

#include "Deadline.h"
#include "DocumentPath.h"
#include "HostPolicy.h"
#include "OutputFile.h"
#include "ProgramCommandLine.h"
#include "QLGeneratorHost.h"
#include "RefusalReason.h"
#include "ThumbnailPicture.h"
#include "ThumbnailerOptions.h"

namespace {

constexpr const char* kProgram = "vantler-thumbnailer";

// One line on stderr naming INPUT and the reason; the exit status of a refusal.
int failure(const ThumbnailerOptions& options, const std::string& reason) {
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, options.input.c_str(), reason.c_str());
    return 1;
}

// "10 s", "0.5 s".
std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

// Why the document at `path` cannot be read before the generator is asked, or empty.
std::string unreadableReason(const std::string& path, uint64_t maxFileSize) {
    if (auto reason = unreadableDocumentReason(path); !reason.empty()) return reason;
    std::error_code failed;
    const uint64_t size = std::filesystem::file_size(path, failed);
    if (failed) return failed.message();
    if (size > maxFileSize)
        return "the file has " + std::to_string(size) + " bytes, more than the limit of " +
               std::to_string(maxFileSize) + " (--max-file-size)";
    return {};
}

int thumbnail(const ThumbnailerOptions& options) {
    if (options.timeoutSeconds > 0 &&
        !Deadline::arm(options.timeoutSeconds,
                       std::string(kProgram) + ": " + options.input + ": timed out after " +
                           secondsText(options.timeoutSeconds) + " (--timeout)",
                       options.output))
        return failure(options,
                       std::string("the deadline could not be set: ") + std::strerror(errno));

    std::string reason;
    const auto path = documentPath(options.input, &reason);
    if (!path) return failure(options, reason);
    if (reason = unreadableReason(*path, options.maxFileSize); !reason.empty())
        return failure(options, reason);

    const auto host = QLGeneratorHost::hostWithPath_error(generatorPlugInPath(""), &reason);
    if (!host) return failure(options, "the generator could not be loaded: " + reason);
    QLRequestOptions request;
    request.contentType = kVantlerDocumentType;
    request.fitSize = CGFloat(options.size);
    request.maxSize = {CGFloat(options.size), CGFloat(options.size)};
    const QLRequestResult result = host->generateThumbnail(*path, request);
    if (result.status != 0) return failure(options, refusalReason(result));

    const auto png = createThumbnailPNG(result, options.size, &reason);
    if (!png) return failure(options, reason);
    if (!writeOutputFile(options.output, png->span(), Deadline::outputBegun, &reason))
        return failure(options, options.output + ": " + reason);
    Deadline::disarm();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A file-size limit (ulimit -f) would kill the process at the write, leaving part of OUTPUT;
    // ignored, the write fails with EFBIG and the file is removed.
    std::signal(SIGXFSZ, SIG_IGN);
    const auto parsed = parseThumbnailerArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (std::holds_alternative<ShowHelp>(parsed)) {
        std::fputs(kThumbnailerUsage, stdout);
        return 0;
    }
    if (std::holds_alternative<ShowVersion>(parsed)) return printVersion(kProgram);
    if (const auto* error = std::get_if<UsageError>(&parsed))
        return usageError(kProgram, error->message);
    return thumbnail(std::get<ThumbnailerOptions>(parsed));
}
