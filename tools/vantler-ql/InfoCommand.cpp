#include "InfoCommand.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "DocumentInfo.h"
#include "NSData.h"
#include "NSError.h"
#include "Usage.h"
#include "VTPrototype.h"

int infoCommand(const std::vector<std::string>& args) {
    std::string file;
    InfoFormat format = InfoFormat::Text;
    for (const auto& arg : args) {
        if (arg == "--json")
            format = InfoFormat::JSON;
        else if (arg.starts_with("-") && arg != "-")
            return usageError("unknown option " + arg);
        else if (file.empty())
            file = arg;
        else
            return usageError("info takes one FILE");
    }
    if (file.empty()) return usageError("info needs a FILE");

    const std::shared_ptr<const NSData> data =
        NSData::dataWithContentsOfFile_options(file, NSDataReadingMappedIfSafe);
    if (!data) {
        std::fprintf(stderr, "vantler-ql: %s: %s\n", file.c_str(),
                     std::strerror(errno ? errno : ENOENT));
        return 1;
    }
    std::shared_ptr<NSError> error;
    const auto prototype = VTPrototype::prototypeFromData_error(data, &error);
    if (!prototype) {
        std::fprintf(stderr, "vantler-ql: %s: %s (%s)\n", file.c_str(),
                     error->localizedFailureReason().value_or("").c_str(),
                     error->localizedRecoverySuggestion().value_or("").c_str());
        return 1;
    }
    const std::string text = documentInfo(*prototype, data, format);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
