// Writing OUTPUT in place. See OutputFile.h.

#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool writeOutputFile(const std::string& path, std::span<const uint8_t> bytes,
                     const std::function<void()>& removable, std::string* reason) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (reason) *reason = std::strerror(errno);
        return false;
    }
    struct stat status {};
    const bool regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    if (regular) removable();
    size_t written = 0;
    int error = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        written += size_t(n);
    }
    // close() reports errors of delayed writes (NFS, a full disk with some file systems).
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0) return true;
    if (regular) unlink(path.c_str());
    if (reason) *reason = std::strerror(error);
    return false;
}
