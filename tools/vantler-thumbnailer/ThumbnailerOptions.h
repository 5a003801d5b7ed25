#pragma once
// The command line of vantler-thumbnailer:
//     vantler-thumbnailer [--max-file-size BYTES] [--timeout SECONDS] -s SIZE INPUT OUTPUT
// as a .thumbnailer file's Exec line runs it ("vantler-thumbnailer -s %s %u %o").

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "ThumbnailerLimits.h"

// The --help text.
extern const char* const kThumbnailerUsage;

struct ThumbnailerOptions {
    int64_t size = 0;  // the largest side of the picture written, in pixels: 1 to kMaxThumbnailSize
    std::string input;   // as given: a path or a URI (DocumentPath.h)
    std::string output;  // a path
    uint64_t maxFileSize = ThumbnailerLimits::kDefaultMaxFileSize;      // bytes
    double timeoutSeconds = ThumbnailerLimits::kDefaultTimeoutSeconds;  // 0: no deadline
};

struct ShowHelp {};
struct ShowVersion {};
struct UsageError {
    std::string message;  // one line, without the program's name
};

// The options, a request for --help or --version (anywhere on the line), or what is wrong with
// the line.
// Options may come before, between or after the operands, as "--name VALUE" or "--name=VALUE"
// ("-s VALUE" or "-sVALUE" for the size); "--" ends the options. Numbers are plain decimal: SIZE
// a whole number, BYTES a whole number optionally followed by K, M or G (powers of 1024), SECONDS
// a decimal number.
std::variant<ThumbnailerOptions, ShowHelp, ShowVersion, UsageError> parseThumbnailerArguments(
    const std::vector<std::string>& arguments);
