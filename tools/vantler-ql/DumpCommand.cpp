#include "DumpCommand.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ArchiveDump.h"
#include "NSData.h"
#include "NSException.h"
#include "Usage.h"

int dumpCommand(const std::vector<std::string>& args) {
    std::string file;
    DumpFormat format = DumpFormat::Text;
    for (const auto& arg : args) {
        if (arg == "--json")
            format = DumpFormat::JSON;
        else if (arg.starts_with("-") && arg != "-")
            return usageError("unknown option " + arg);
        else if (file.empty())
            file = arg;
        else
            return usageError("dump takes one FILE");
    }
    if (file.empty()) return usageError("dump needs a FILE");

    const auto data = NSData::dataWithContentsOfFile_options(file, NSDataReadingMappedIfSafe);
    if (!data) {
        std::fprintf(stderr, "vantler-ql: %s: %s\n", file.c_str(),
                     std::strerror(errno ? errno : ENOENT));
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
