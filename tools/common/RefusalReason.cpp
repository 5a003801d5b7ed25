#include "RefusalReason.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::string refusalReason(const QLRequestResult& result) {
    if (!result.refusalReason.empty()) return result.refusalReason;
    return "the generator refused the document";
}

std::string unreadableDocumentReason(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return std::strerror(errno);
    if (S_ISDIR(status.st_mode)) return std::strerror(EISDIR);
    if (!S_ISREG(status.st_mode)) return "not a regular file";
    // Opened once, so that a file without read permission is named as such.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::strerror(errno);
    close(fd);
    return {};
}
