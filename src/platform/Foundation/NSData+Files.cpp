// NSData's reading and writing through file URLs, and its atomic writes (see NSData.h).

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "NSData.h"
#include "NSProcessInfo.h"
#include "NSURL.h"

namespace {

bool writeAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Creates `path` (exclusively when `exclusive`, and then removes it again on failure), writes the
// bytes and closes it; a close error (a delayed write failure) counts as a failure.
bool writeFile(const std::string& path, std::span<const uint8_t> bytes, bool exclusive) {
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (exclusive ? O_EXCL : O_TRUNC);
    const int fd = open(path.c_str(), flags, 0666);
    if (fd < 0) return false;
    const bool written = writeAll(fd, bytes);
    const bool closed = close(fd) == 0;
    if (written && closed) return true;
    if (exclusive) unlink(path.c_str());
    return false;
}

}  // namespace

std::shared_ptr<NSData> NSData::dataWithContentsOfURL(const NSURL& url) {
    if (!url.isFileURL()) return nullptr;
    return dataWithContentsOfFile_options(url.path(), 0);
}

bool NSData::writeToFile_atomically(const std::string& path, bool useAuxiliaryFile) const {
    if (path.empty()) return false;
    if (!useAuxiliaryFile) return writeFile(path, span(), false);
    const size_t slash = path.rfind('/');
    const std::string directory =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    // A hidden name of bounded length, whatever the length of the final name.
    const std::string auxiliary =
        directory + "." + NSProcessInfo::processInfo()->globallyUniqueString() + ".tmp";
    if (!writeFile(auxiliary, span(), true)) return false;
    if (rename(auxiliary.c_str(), path.c_str()) != 0) {
        unlink(auxiliary.c_str());
        return false;
    }
    return true;
}

bool NSData::writeToURL_atomically(const NSURL& url, bool atomically) const {
    if (!url.isFileURL()) return false;
    return writeToFile_atomically(url.path(), atomically);
}
