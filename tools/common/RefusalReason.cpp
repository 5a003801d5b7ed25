#include "RefusalReason.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

std::string refusalReason(const QLRequestResult& result) {
    if (!result.refusalReason.empty()) return result.refusalReason;
    return "the generator refused the document";
}

std::string unreadableDocumentReason(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return std::strerror(errno);
    if (!S_ISREG(status.st_mode)) return "not a regular file";
    return {};
}
