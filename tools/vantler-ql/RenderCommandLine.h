#pragma once
// The command line of `vantler-ql thumbnail` and `vantler-ql preview`, single-file (-o) and batch
// (-d) forms (Usage.cpp has the text).

#include <optional>
#include <string>
#include <vector>

#include "QLGeneratorHost.h"

enum class RequestKind { Thumbnail, Preview };

struct RenderCommandLine {
    RequestKind kind = RequestKind::Thumbnail;
    std::vector<std::string> files;               // one without -d
    std::string output;                           // -o
    std::string outputDirectory;                  // -d
    std::optional<int> size;                      // --size
    double scale = 1;                             // --scale
    QLOutputFormat format = QLOutputFormat::PNG;  // from -o's extension, or --format with -d
    double timeoutSeconds = 10;                   // --timeout: batch only
    int jobs = 0;                                 // --jobs: batch only; 0: the default
    std::string generator;                        // --generator, as given (may be empty)

    bool isBatch() const { return !outputDirectory.empty(); }
    // What the host is asked for (QLGeneratorHost.h).
    QLRequestOptions requestOptions() const;
};

// The arguments that follow the command word; false with `message` set on wrong usage.
bool parseRenderCommandLine(RequestKind kind, const std::vector<std::string>& args,
                            RenderCommandLine* commandLine, std::string* message);

// "thumbnail" or "preview"; "png", "pdf" or "svg".
const char* commandName(RequestKind kind);
const char* extensionOf(QLOutputFormat format);
