// Turning what a handler handed over or drew into the bytes of an output file, and writing them.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "CGImageDestination.h"
#include "CGImageSource.h"
#include "QLGeneratorHost.h"
#include "QLSurface.h"

namespace {

bool fail(std::string* reason, std::string text) {
    if (reason) *reason = std::move(text);
    return false;
}

bool isPNG(const char* type) {
    return type && std::strcmp(type, kUTTypePNG) == 0;
}

std::shared_ptr<const NSData> encodePNG(const CGImageRef& image, std::string* reason) {
    auto data = NSMutableData::data();
    auto destination = CGImageDestinationCreateWithData(data, kUTTypePNG, 1, nullptr);
    CGImageDestinationAddImage(destination, image, nullptr);
    if (!CGImageDestinationFinalize(destination)) {
        fail(reason, "the picture could not be encoded as PNG");
        return nullptr;
    }
    return data;
}

// The image drawn at `unitsPerPoint` onto a surface of its size in pixels as points: a shrunk
// PNG, or one page of PDF or SVG.
std::shared_ptr<const NSData> redraw(const CGImageRef& image, QLOutputFormat format,
                                     CGFloat unitsPerPoint, std::string* reason) {
    const CGSize size{CGFloat(CGImageGetWidth(image)), CGFloat(CGImageGetHeight(image))};
    auto surface = QLSurface::surfaceWithSize(size, format, unitsPerPoint);
    if (!surface) {
        fail(reason, "the handed-over image is too large to redraw");
        return nullptr;
    }
    CGContextSetInterpolationQuality(surface->context(), kCGInterpolationHigh);
    CGContextDrawImage(surface->context(), CGRect{{0, 0}, size}, image);
    if (format == QLOutputFormat::PNG) return encodePNG(surface->createImage(), reason);
    return surface->closeDocument();
}

// Handed-over bytes for the output (QLGeneratorHost.h, QLCreateOutputData).
std::shared_ptr<const NSData> outputForBytes(const std::shared_ptr<const NSData>& bytes,
                                             const QLRequestOptions& options, std::string* reason) {
    const auto source = CGImageSourceCreateWithData(bytes, nullptr);
    const char* type = CGImageSourceGetType(source);
    const bool fit = std::isfinite(options.fitSize) && options.fitSize > 0;
    // The generator hands the bytes over unchecked; PNG output passes them on as they
    // are unless they have to be read.
    if (options.format == QLOutputFormat::PNG && !fit && (!type || isPNG(type))) return bytes;

    const CGImageRef image = CGImageSourceCreateImageAtIndex(source, 0, nullptr);
    if (!image) {
        fail(reason,
             std::string("the handed-over image could not be decoded (") +
                 (type ? "a damaged " + std::string(type) + " image" : "no known image format") +
                 ")");
        return nullptr;
    }
    CGFloat shrink = 1;
    if (fit) {
        // A PNG's box is in pixels; a page's in points, one per pixel of the image.
        const bool png = options.format == QLOutputFormat::PNG;
        const CGFloat scale =
            png && std::isfinite(options.scale) && options.scale > 0 ? options.scale : 1;
        const CGFloat box = options.fitSize * scale;
        shrink = std::min({CGFloat(1), box / CGFloat(CGImageGetWidth(image)),
                           box / CGFloat(CGImageGetHeight(image))});
    }
    // Never enlarged: a PNG that fits as it is stays as it was handed over.
    if (shrink == 1 && options.format == QLOutputFormat::PNG && isPNG(type)) return bytes;
    return redraw(image, options.format, shrink, reason);
}

// The file `path` names through its symbolic links, as cp and a shell's > write through them: a
// link keeps pointing at the new file instead of being replaced by it. A dangling link names the
// file the write creates. None for a loop of links.
std::optional<std::string> fileBehindLinks(std::filesystem::path path) {
    constexpr int kMaxLinks = 40;  // as the kernel follows
    for (int links = 0; links < kMaxLinks; ++links) {
        std::error_code error;
        const auto target = std::filesystem::read_symlink(path, error);
        if (error) return path.string();  // not a link (or nothing there yet)
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return std::nullopt;
}

}  // namespace

std::shared_ptr<const NSData> QLCreateOutputData(const QLRequestResult& result,
                                                 const QLRequestOptions& options,
                                                 std::string* reason) {
    if (result.status != 0) {
        fail(reason, "the generator refused the document");
        return nullptr;
    }
    if (result.data && result.data->length() != 0)
        return outputForBytes(result.data, options, reason);
    if (result.flushed) {
        if (options.format == QLOutputFormat::PNG && result.image)
            return encodePNG(result.image, reason);
        if (options.format != QLOutputFormat::PNG && result.vectorData) return result.vectorData;
    }
    fail(reason, "nothing was drawn");
    return nullptr;
}

bool QLWriteOutputFile(const std::string& requested, const NSData& data, std::string* reason) {
    const auto path = fileBehindLinks(requested);
    if (!path) return fail(reason, requested + ": " + std::strerror(ELOOP));
    // A temporary name beside the file, unique in the process and among processes, created with
    // O_EXCL, so that a reader never sees half a file and an existing file is replaced whole.
    static std::atomic<unsigned> counter{0};
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = *path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return fail(reason, requested + ": " + std::strerror(errno));
    }
    if (fd < 0) return fail(reason, requested + ": " + std::strerror(EEXIST));

    const auto bytes = data.span();
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += size_t(n);
    }
    const int writeError = written == bytes.size() ? 0 : (errno ? errno : EIO);
    const int closeError = close(fd) == 0 ? 0 : errno;
    if (const int error = writeError ? writeError : closeError) {
        unlink(temporary.c_str());
        return fail(reason, requested + ": " + std::strerror(error));
    }
    if (rename(temporary.c_str(), path->c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        return fail(reason, requested + ": " + std::strerror(error));
    }
    return true;
}
