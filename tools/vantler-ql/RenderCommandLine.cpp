#include "RenderCommandLine.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "HostPolicy.h"
#include "ProgramCommandLine.h"

namespace {

// Bounds of the numbers a user may give: enough for any real use, small enough that no
// combination reaches an overflow (the host refuses surfaces beyond the image limits anyway).
constexpr int kMaxSize = 32767;
constexpr double kMaxScale = 64;
constexpr int kMaxJobs = 256;

std::optional<QLOutputFormat> formatNamed(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name == "png") return QLOutputFormat::PNG;
    if (name == "pdf") return QLOutputFormat::PDF;
    if (name == "svg") return QLOutputFormat::SVG;
    return std::nullopt;
}

std::optional<QLOutputFormat> formatOfPath(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::nullopt;
    return formatNamed(path.substr(dot + 1));
}

bool fail(std::string* message, std::string text) {
    *message = std::move(text);
    return false;
}

}  // namespace

const char* commandName(RequestKind kind) {
    return kind == RequestKind::Thumbnail ? "thumbnail" : "preview";
}

const char* extensionOf(QLOutputFormat format) {
    switch (format) {
        case QLOutputFormat::PDF:
            return "pdf";
        case QLOutputFormat::SVG:
            return "svg";
        case QLOutputFormat::PNG:
            break;
    }
    return "png";
}

QLRequestOptions RenderCommandLine::requestOptions() const {
    QLRequestOptions options;
    options.contentType = kVantlerDocumentType;
    options.format = format;
    options.scale = scale;
    if (size) {
        options.fitSize = *size;
        options.maxSize = {double(*size), double(*size)};
    }
    return options;
}

bool parseRenderCommandLine(RequestKind kind, const std::vector<std::string>& args,
                            RenderCommandLine* commandLine, std::string* message) {
    RenderCommandLine& c = *commandLine;
    c = RenderCommandLine{};
    c.kind = kind;
    const std::string command = commandName(kind);
    std::optional<QLOutputFormat> namedFormat;
    bool batchOption = false, filesOnly = false, scaleGiven = false;

    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (filesOnly || arg == "-" || !arg.starts_with("-")) {
            c.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            filesOnly = true;
            continue;
        }
        // "--name=value" or "--name value" ("-o value", "-d value").
        std::optional<std::string> value;
        if (const auto equals = arg.find('=');
            arg.starts_with("--") && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
        }
        const auto takeValue = [&]() -> std::optional<std::string> {
            if (value) return value;
            if (i + 1 < args.size()) return args[++i];
            return std::nullopt;
        };
        const bool known = arg == "-o" || arg == "-d" || arg == "--size" || arg == "--scale" ||
                           arg == "--format" || arg == "--timeout" || arg == "--jobs" ||
                           arg == "--generator";
        if (!known) return fail(message, "unknown option " + arg);
        const auto text = takeValue();
        if (!text) return fail(message, arg + " needs a value");

        if (arg == "-o") {
            c.output = *text;
        } else if (arg == "-d") {
            c.outputDirectory = *text;
        } else if (arg == "--generator") {
            c.generator = *text;
        } else if (arg == "--size") {
            c.size = parseWholeNumber(*text, 1, kMaxSize);
            if (!c.size)
                return fail(
                    message,
                    badValue(arg, "a whole number from 1 to " + std::to_string(kMaxSize), *text));
        } else if (arg == "--scale") {
            const auto scale = parseDecimal(*text);
            if (!scale || *scale <= 0 || *scale > kMaxScale)
                return fail(message, badValue(arg, "a number above 0, at most 64", *text));
            c.scale = *scale;
            scaleGiven = true;
        } else if (arg == "--format") {
            if (kind != RequestKind::Preview) return fail(message, "--format is for previews");
            namedFormat = formatNamed(*text);
            if (!namedFormat) return fail(message, "--format needs png, pdf or svg");
            batchOption = true;
        } else if (arg == "--timeout") {
            const auto seconds = parseTimeout(*text);
            if (!seconds) return fail(message, badValue(arg, kTimeoutValues, *text));
            c.timeoutSeconds = *seconds;
            batchOption = true;
        } else {
            const auto jobs = parseWholeNumber(*text, 1, kMaxJobs);
            if (!jobs)
                return fail(
                    message,
                    badValue(arg, "a whole number from 1 to " + std::to_string(kMaxJobs), *text));
            c.jobs = *jobs;
            batchOption = true;
        }
    }

    if (c.files.empty()) return fail(message, command + " needs a FILE");
    if (c.files.end() != std::find(c.files.begin(), c.files.end(), std::string()))
        return fail(message, "a FILE is empty");
    if (!c.output.empty() && !c.outputDirectory.empty())
        return fail(message, "-o and -d exclude each other");
    if (c.outputDirectory.empty()) {
        if (c.output.empty()) return fail(message, command + " needs -o OUT (or -d OUTDIR)");
        if (c.files.size() > 1) return fail(message, "several FILEs need -d OUTDIR");
        if (batchOption) return fail(message, "--format, --timeout and --jobs are for -d OUTDIR");
        const auto format = formatOfPath(c.output);
        if (kind == RequestKind::Thumbnail && format != QLOutputFormat::PNG)
            return fail(message, "a thumbnail is written as PNG: OUT must end in .png");
        if (!format) return fail(message, "OUT must end in .png, .pdf or .svg");
        c.format = *format;
    } else {
        c.format = namedFormat.value_or(QLOutputFormat::PNG);
    }
    // A page is measured in points; pixels per point would be silently lost on it.
    if (scaleGiven && c.format != QLOutputFormat::PNG)
        return fail(message, "--scale is for PNG output");
    return true;
}
