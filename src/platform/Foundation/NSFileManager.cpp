#include "NSFileManager.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <span>
#include <system_error>
#include <vector>

#include "NSDictionary.h"
#include "NSString.h"

namespace fs = std::filesystem;

namespace {

// Foundation's userInfo key for the path an error concerns.
constexpr const char* kFilePathKey = "NSFilePath";

void setError(std::shared_ptr<NSError>* error, int64_t code, const std::string& path,
              const std::error_code& cause) {
    if (!error) return;
    std::vector<NSDictionary::Entry> entries{
        {NSString::stringWithUTF8String(kFilePathKey), NSString::stringWithUTF8String(path)}};
    if (cause)
        entries.emplace_back(NSString::stringWithUTF8String(NSLocalizedFailureReasonErrorKey),
                             NSString::stringWithUTF8String(cause.message()));
    *error = NSError::errorWithDomain_code_userInfo(
        NSCocoaErrorDomain, code, NSDictionary::dictionaryWithEntries(std::move(entries)));
}

int64_t writeErrorCode(const std::error_code& cause) {
    if (cause == std::errc::permission_denied || cause == std::errc::operation_not_permitted ||
        cause == std::errc::read_only_file_system)
        return NSFileWriteNoPermissionError;
    if (cause == std::errc::no_space_on_device) return NSFileWriteOutOfSpaceError;
    if (cause == std::errc::file_exists) return NSFileWriteFileExistsError;
    return NSFileWriteUnknownError;
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// Reads up to buffer.size() bytes, fewer only at the end of the file; -1 on a read error.
ssize_t readFully(int fd, std::span<uint8_t> buffer) {
    size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t n = read(fd, buffer.data() + done, buffer.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

bool regularFilesEqual(const std::string& path1, const std::string& path2, off_t length) {
    // O_NONBLOCK: the files were regular when looked at; should one be swapped for a FIFO
    // meanwhile, opening it must not wait for a writer.
    FileDescriptor a(open(path1.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    FileDescriptor b(open(path2.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (a.get() < 0 || b.get() < 0) return false;
    constexpr size_t kChunk = 64 * 1024;
    std::vector<uint8_t> bufferA(kChunk), bufferB(kChunk);
    off_t compared = 0;
    for (;;) {
        const ssize_t nA = readFully(a.get(), bufferA);
        const ssize_t nB = readFully(b.get(), bufferB);
        if (nA < 0 || nB < 0 || nA != nB) return false;
        if (nA == 0) return compared == length;
        if (std::memcmp(bufferA.data(), bufferB.data(), static_cast<size_t>(nA)) != 0) return false;
        compared += nA;
    }
}

std::vector<std::string> sortedEntryNames(const std::string& directory, bool* ok) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    *ok = !ec;
    std::sort(names.begin(), names.end());
    return names;
}

bool contentsEqual(const std::string& path1, const std::string& path2) {
    struct stat a {
    }, b{};
    if (lstat(path1.c_str(), &a) != 0 || lstat(path2.c_str(), &b) != 0) return false;
    if (a.st_dev == b.st_dev && a.st_ino == b.st_ino) return true;
    if ((a.st_mode & S_IFMT) != (b.st_mode & S_IFMT)) return false;
    switch (a.st_mode & S_IFMT) {
        case S_IFREG:
            return a.st_size == b.st_size && regularFilesEqual(path1, path2, a.st_size);
        case S_IFLNK: {
            std::error_code ec1, ec2;
            const fs::path target1 = fs::read_symlink(path1, ec1);
            const fs::path target2 = fs::read_symlink(path2, ec2);
            return !ec1 && !ec2 && target1 == target2;
        }
        case S_IFDIR: {
            // Links inside are compared as links, never followed, so the walk cannot loop; its
            // depth is bounded by the longest path the system accepts.
            bool ok1 = false, ok2 = false;
            const auto names1 = sortedEntryNames(path1, &ok1);
            const auto names2 = sortedEntryNames(path2, &ok2);
            if (!ok1 || !ok2 || names1 != names2) return false;
            for (const auto& name : names1)
                if (!contentsEqual(path1 + "/" + name, path2 + "/" + name)) return false;
            return true;
        }
        default:
            return false;
    }
}

}  // namespace

const std::shared_ptr<NSFileManager>& NSFileManager::defaultManager() {
    static const auto& manager =
        *new std::shared_ptr<NSFileManager>(std::make_shared<NSFileManager>());
    return manager;
}

bool NSFileManager::fileExistsAtPath(const std::string& path) const {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

bool NSFileManager::isReadableFileAtPath(const std::string& path) const {
    return access(path.c_str(), R_OK) == 0;
}

bool NSFileManager::contentsEqualAtPath_andPath(const std::string& path1,
                                                const std::string& path2) const {
    return contentsEqual(path1, path2);
}

bool NSFileManager::copyItemAtPath_toPath_error(const std::string& source,
                                                const std::string& destination,
                                                std::shared_ptr<NSError>* error) const {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(source, ec))) {
        setError(error, NSFileReadNoSuchFileError, source, ec);
        return false;
    }
    if (fs::exists(fs::symlink_status(destination, ec))) {
        setError(error, NSFileWriteFileExistsError, destination, {});
        return false;
    }
    fs::copy(source, destination, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
             ec);
    if (ec) {
        std::error_code ignored;
        fs::remove_all(destination, ignored);
        setError(error, writeErrorCode(ec), destination, ec);
        return false;
    }
    return true;
}

bool NSFileManager::copyItemAtURL_toURL_error(const NSURL& source, const NSURL& destination,
                                              std::shared_ptr<NSError>* error) const {
    if (!source.isFileURL()) {
        setError(error, NSFileReadUnknownError, source.absoluteString(), {});
        return false;
    }
    if (!destination.isFileURL()) {
        setError(error, NSFileWriteUnknownError, destination.absoluteString(), {});
        return false;
    }
    return copyItemAtPath_toPath_error(source.path(), destination.path(), error);
}

bool NSFileManager::createDirectoryAtPath_withIntermediateDirectories_error(
    const std::string& path, bool createIntermediates, std::shared_ptr<NSError>* error) const {
    std::error_code ec;
    if (createIntermediates) {
        fs::create_directories(path, ec);
    } else if (!fs::create_directory(path, ec) && !ec) {
        ec = std::make_error_code(std::errc::file_exists);  // a directory was there already
    }
    if (!ec) return true;
    int64_t code = writeErrorCode(ec);
    if (ec == std::errc::no_such_file_or_directory) code = NSFileNoSuchFileError;
    // A file where the directory, or one on its path, would go.
    if (ec == std::errc::not_a_directory) code = NSFileWriteFileExistsError;
    setError(error, code, path, ec);
    return false;
}

bool NSFileManager::removeItemAtPath_error(const std::string& path,
                                           std::shared_ptr<NSError>* error) const {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec))) {
        setError(error, NSFileNoSuchFileError, path, ec);
        return false;
    }
    fs::remove_all(path, ec);
    if (ec) {
        setError(error, writeErrorCode(ec), path, ec);
        return false;
    }
    return true;
}

bool NSFileManager::removeItemAtURL_error(const NSURL& URL, std::shared_ptr<NSError>* error) const {
    if (!URL.isFileURL()) {
        setError(error, NSFileWriteUnknownError, URL.absoluteString(), {});
        return false;
    }
    return removeItemAtPath_error(URL.path(), error);
}
