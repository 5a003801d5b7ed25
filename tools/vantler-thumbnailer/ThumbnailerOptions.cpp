// Parsing vantler-thumbnailer's command line. See ThumbnailerOptions.h.

#include "ThumbnailerOptions.h"

#include <cstdint>
#include <optional>

#include "ProgramCommandLine.h"

const char* const kThumbnailerUsage =
    "usage: vantler-thumbnailer [OPTIONS] -s SIZE INPUT OUTPUT\n"
    "       vantler-thumbnailer --help | --version\n"
    "\n"
    "Writes a thumbnail of the Vantler document INPUT to OUTPUT as a PNG image in sRGB, for file\n"
    "managers (freedesktop.org thumbnailer: \"vantler-thumbnailer -s %s %u %o\").\n"
    "\n"
    "  INPUT        a local path, or a file:// URI (percent-encoded; host empty or localhost);\n"
    "               other URI schemes are refused\n"
    "  OUTPUT       the PNG file to write; it is written in place (no temporary file) and\n"
    "               removed again when writing fails\n"
    "  -s, --size SIZE\n"
    "               the largest side of the picture, in pixels (1 to 4096). The picture keeps\n"
    "               its aspect ratio: a drawn thumbnail is drawn at the scale that fits it into\n"
    "               SIZE x SIZE; a thumbnail embedded in the document is shrunk to fit, never\n"
    "               enlarged. The text entries Thumb::Image::Width and Thumb::Image::Height give\n"
    "               the document's own size: the entry screen's size in points, or the embedded\n"
    "               image's size in pixels.\n"
    "  --max-file-size BYTES\n"
    "               refuse a larger INPUT without reading it (default 256M; K, M and G suffixes\n"
    "               count in 1024s)\n"
    "  --timeout SECONDS\n"
    "               give up after this long, wherever the work is (default 10; 0: no deadline)\n"
    "  -h, --help   print this help\n"
    "  --version    print the version\n"
    "\n"
    "The generator plug-in is $VANTLER_GENERATOR when set, else\n"
    "../lib/vantler/VantlerQuickLook.so from the program's folder.\n"
    "\n"
    "Exit status: 0 a thumbnail was written; 1 the document was refused or could not be read, the\n"
    "limits were reached, or the thumbnail could not be written (one line on stderr says why);\n"
    "2 wrong usage.\n";

namespace {

std::optional<uint64_t> parseBytes(std::string_view text) {
    uint64_t unit = 1;
    if (!text.empty()) {
        const char suffix = text.back();
        unit = suffix == 'K'   ? 1ull << 10
               : suffix == 'M' ? 1ull << 20
               : suffix == 'G' ? 1ull << 30
                               : 1;
        if (unit != 1) text.remove_suffix(1);
    }
    const auto count = parseWholeNumber(text, 0, INT64_MAX);
    if (!count || uint64_t(*count) > UINT64_MAX / unit) return std::nullopt;
    return uint64_t(*count) * unit;
}

}  // namespace

std::variant<ThumbnailerOptions, ShowHelp, ShowVersion, UsageError> parseThumbnailerArguments(
    const std::vector<std::string>& arguments) {
    for (const auto& argument : arguments) {
        if (argument == "--") break;
        if (argument == "--help" || argument == "-h") return ShowHelp{};
        if (argument == "--version") return ShowVersion{};
    }

    ThumbnailerOptions options;
    bool sizeGiven = false;
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument == "-" || !argument.starts_with("-")) {
            operands.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        // The option's name and value: "--name=VALUE", "-sVALUE", or the next argument.
        std::string name = argument;
        std::optional<std::string> value;
        if (const size_t equals = argument.find('=');
            argument.starts_with("--") && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        } else if (argument.starts_with("-s") && argument.size() > 2 &&
                   !argument.starts_with("--")) {
            name = "-s";
            value = argument.substr(2);
        }
        if (name != "-s" && name != "--size" && name != "--max-file-size" && name != "--timeout")
            return UsageError{"unknown option " + name};
        if (!value) {
            if (i + 1 == arguments.size()) return UsageError{name + " needs a value"};
            value = arguments[++i];
        }
        if (name == "-s" || name == "--size") {
            const auto size = parseWholeNumber(*value, 1, ThumbnailerLimits::kMaxThumbnailSize);
            if (!size)
                return UsageError{badValue(name,
                                           "a whole number from 1 to " +
                                               std::to_string(ThumbnailerLimits::kMaxThumbnailSize),
                                           *value)};
            options.size = *size;
            sizeGiven = true;
        } else if (name == "--max-file-size") {
            const auto bytes = parseBytes(*value);
            if (!bytes) return UsageError{badValue(name, "a whole number of bytes", *value)};
            options.maxFileSize = *bytes;
        } else {
            const auto seconds = parseTimeout(*value);
            if (!seconds) return UsageError{badValue(name, kTimeoutValues, *value)};
            options.timeoutSeconds = *seconds;
        }
    }
    if (!sizeGiven) return UsageError{"-s SIZE is required"};
    if (operands.size() != 2)
        return UsageError{"expected INPUT and OUTPUT, got " + std::to_string(operands.size()) +
                          " operands"};
    options.input = operands[0];
    options.output = operands[1];
    if (options.input.empty() || options.output.empty())
        return UsageError{"INPUT and OUTPUT must not be empty"};
    return options;
}
