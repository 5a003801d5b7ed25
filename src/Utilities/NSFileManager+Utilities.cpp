#include "NSFileManager+Utilities.h"

#include "NSPathUtilities.h"
#include "NSProcessInfo.h"

namespace {

// The path split at the last dot of its last component. A file of ".png" is an export whose name
// was all refused characters: an extension without a name, so its next name is " 2.png", which
// stays visible and opens as a picture.
std::pair<std::string, std::string> splitExtension(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return {path, ""};
    return {path.substr(0, dot), path.substr(dot + 1)};
}

}  // namespace

std::optional<std::string> uniqueFilePath(const NSFileManager& manager, const std::string& path) {
    if (!manager.fileExistsAtPath(path)) return path;
    const auto [base, extension] = splitExtension(path);
    for (int64_t n = 2; n <= kUniqueFilePathMaxNumber; ++n) {
        std::string candidate = base + " " + std::to_string(n) + "." + extension;
        if (!manager.fileExistsAtPath(candidate)) return candidate;
    }
    return std::nullopt;
}

std::string createUniqueTemporaryDirectory(const NSFileManager& manager) {
    // NSTemporaryDirectory() ends with a slash.
    std::string path =
        NSTemporaryDirectory() + NSProcessInfo::processInfo()->globallyUniqueString();
    manager.createDirectoryAtPath_withIntermediateDirectories_error(path, true, nullptr);
    return path;
}
