// vantler-ql: a qlmanage-like command line for Vantler documents.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ArchiveDump.h"
#include "NSData.h"
#include "NSException.h"

namespace {

constexpr const char* kUsage =
    "usage: vantler-ql dump FILE [--json]\n"
    "       vantler-ql --help\n"
    "\n"
    "  dump FILE    print a keyed archive's top-level entries and object graph: each object\n"
    "               once, with its class, keys and values, referred to as @UID afterwards\n"
    "  --json       print the same as JSON\n"
    "\n"
    "Exit status: 0 success, 1 the file could not be read or is not a valid keyed archive,\n"
    "2 wrong usage.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "vantler-ql: %s\n%s", message.c_str(), kUsage);
    return 2;
}

int dump(const std::vector<std::string>& args) {
    std::string file;
    DumpFormat format = DumpFormat::Text;
    for (const auto& arg : args) {
        if (arg == "--json") format = DumpFormat::JSON;
        else if (arg.starts_with("-") && arg != "-") return usageError("unknown option " + arg);
        else if (file.empty()) file = arg;
        else return usageError("dump takes one FILE");
    }
    if (file.empty()) return usageError("dump needs a FILE");

    const auto data = NSData::dataWithContentsOfFile_options(file, NSDataReadingMappedIfSafe);
    if (!data) {
        std::fprintf(stderr, "vantler-ql: %s: %s\n", file.c_str(), std::strerror(errno ? errno : ENOENT));
        return 1;
    }
    try {
        const std::string text = dumpKeyedArchive(data, format);
        std::fwrite(text.data(), 1, text.size(), stdout);
    } catch (const NSException& e) {
        std::fprintf(stderr, "vantler-ql: %s: %s\n", file.c_str(), e.reason().c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usageError("no command given");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "dump") return dump(args);
    return usageError("unknown command " + command);
}
