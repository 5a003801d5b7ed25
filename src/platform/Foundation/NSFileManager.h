#pragma once
// The file operations of Foundation's NSFileManager that image assets and the file utilities use:
// copying a media file into the temporary directory, comparing two private copies, deleting a copy
// when its asset goes away, and making folders. Paths are POSIX paths in the file system's bytes (a
// file URL's path()); errors are NSCocoaErrorDomain errors with Foundation's codes. Every operation
// may be called from any thread.

#include <memory>
#include <string>

#include "NSError.h"
#include "NSObject.h"
#include "NSURL.h"

#pragma GCC visibility push(default)  // exported from libVantler

inline constexpr const char* NSCocoaErrorDomain = "NSCocoaErrorDomain";
// Foundation's NSCocoaErrorDomain codes for file operations.
inline constexpr int64_t NSFileNoSuchFileError = 4;
inline constexpr int64_t NSFileReadUnknownError = 256;
inline constexpr int64_t NSFileReadNoSuchFileError = 260;
inline constexpr int64_t NSFileWriteUnknownError = 512;
inline constexpr int64_t NSFileWriteNoPermissionError = 513;
inline constexpr int64_t NSFileWriteFileExistsError = 516;
inline constexpr int64_t NSFileWriteOutOfSpaceError = 640;

class NSFileManager : public NSObject {
  public:
    NS_CLASS_RECORD("NSFileManager", NSObject::objcClass())

    // The process-wide manager, made on first use and never destroyed.
    static const std::shared_ptr<NSFileManager>& defaultManager();

    // Whether something exists at the path, a symbolic link being followed (a dangling link:
    // false).
    bool fileExistsAtPath(const std::string& path) const;
    // Whether the process may read what is at the path (access(2) with R_OK, links followed).
    bool isReadableFileAtPath(const std::string& path) const;

    // Foundation's comparison: true when both paths name the same file, or two regular files of the
    // same length and bytes, or two symbolic links with the same target text (links are not
    // followed), or two directories holding the same names whose entries compare equal in turn.
    // False when either path does not exist, the kinds differ, or either is another kind of file (a
    // FIFO or a device is never opened). Memory stays bounded whatever the files' sizes.
    bool contentsEqualAtPath_andPath(const std::string& path1, const std::string& path2) const;

    // Copies a file, a symbolic link (as a link) or a directory with everything in it. Fails,
    // setting *error when `error` is not null, when the source does not exist
    // (NSFileReadNoSuchFileError), the destination exists already (NSFileWriteFileExistsError) or
    // the copy fails (a partial copy is then removed).
    bool copyItemAtPath_toPath_error(const std::string& source, const std::string& destination,
                                     std::shared_ptr<NSError>* error) const;
    // The same for file URLs; a URL of another scheme fails with NSFileReadUnknownError or
    // NSFileWriteUnknownError.
    bool copyItemAtURL_toURL_error(const NSURL& source, const NSURL& destination,
                                   std::shared_ptr<NSError>* error) const;

    // Makes a directory; with `createIntermediates`, also every missing one on its path, and a
    // directory already there is then no failure. Fails, setting *error when `error` is not null,
    // when something is in the way (NSFileWriteFileExistsError), a parent is missing and
    // `createIntermediates` is false (NSFileNoSuchFileError), or creation fails. The new
    // directories get the process's default permissions (0777 less the umask), as Foundation's do
    // without attributes.
    bool createDirectoryAtPath_withIntermediateDirectories_error(
        const std::string& path, bool createIntermediates, std::shared_ptr<NSError>* error) const;

    // Removes a file, a symbolic link (not its target) or a directory with everything in it. Fails,
    // setting *error when `error` is not null, when nothing exists at the path
    // (NSFileNoSuchFileError) or removal fails.
    bool removeItemAtPath_error(const std::string& path, std::shared_ptr<NSError>* error) const;
    // The same for a file URL; a URL of another scheme fails with NSFileWriteUnknownError.
    bool removeItemAtURL_error(const NSURL& URL, std::shared_ptr<NSError>* error) const;
};

#pragma GCC visibility pop
