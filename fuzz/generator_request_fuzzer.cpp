// libFuzzer target for what a file manager hands the generator: any bytes, as a document file,
// through the generator plug-in and the QuickLook host in process, as the programs run them. The
// thumbnail is asked at the thumbnailer's usual size and made into its PNG as vantler-thumbnailer
// writes it; the preview at its natural size (the host's surface budget bounds it), written as PNG,
// PDF or SVG by the input's length, so that the three surfaces share the inputs. Every refusal is a
// documented answer; a crash, a hang, a leak or unbounded memory is a bug. libFuzzer's -timeout
// stands in for the programs' deadline (10 s), -rss_limit_mb for their memory.
//
// Built with -fsanitize=fuzzer when VANTLER_FUZZ is on; otherwise built with fuzz_replay.cpp as a
// plain program that runs this function over files (the seed corpus in CTest).

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "DispatchQueue.h"
#include "HostPolicy.h"
#include "QLGeneratorHost.h"
#include "ThumbnailPicture.h"

namespace {

// The thumbnailer's size for the file managers' "normal" thumbnails.
constexpr int64_t kThumbnailSize = 128;
constexpr QLOutputFormat kPreviewFormats[] = {QLOutputFormat::PNG, QLOutputFormat::PDF,
                                              QLOutputFormat::SVG};

const QLGeneratorHost& host() {
    static const auto loaded = [] {
        std::string error;
        auto host = QLGeneratorHost::hostWithPath_error(VANTLER_GENERATOR_PLUGIN, &error);
        if (!host) {
            std::fprintf(stderr, "generator_request_fuzzer: %s\n", error.c_str());
            std::abort();
        }
        return host;
    }();
    return *loaded;
}

// The input as a file the host can open by path, in memory so that a fuzzing run writes no disk.
class DocumentFile {
  public:
    DocumentFile(const uint8_t* bytes, size_t size) : fd_(memfd_create("document", MFD_CLOEXEC)) {
        for (size_t written = 0; fd_ >= 0 && written < size;) {
            const ssize_t n = write(fd_, bytes + written, size - written);
            if (n <= 0) std::abort();
            written += static_cast<size_t>(n);
        }
    }
    ~DocumentFile() {
        if (fd_ >= 0) close(fd_);
    }
    DocumentFile(const DocumentFile&) = delete;
    DocumentFile& operator=(const DocumentFile&) = delete;

    std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

  private:
    int fd_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const DocumentFile document(bytes, size);

    QLRequestOptions thumbnail;
    thumbnail.contentType = kVantlerDocumentType;
    thumbnail.fitSize = kThumbnailSize;
    thumbnail.maxSize = {kThumbnailSize, kThumbnailSize};
    const QLRequestResult thumbnailResult = host().generateThumbnail(document.path(), thumbnail);
    std::string reason;
    if (thumbnailResult.status == 0) createThumbnailPNG(thumbnailResult, kThumbnailSize, &reason);

    QLRequestOptions preview;
    preview.contentType = kVantlerDocumentType;
    preview.format = kPreviewFormats[size % std::size(kPreviewFormats)];
    const QLRequestResult previewResult = host().generatePreview(document.path(), preview);
    QLCreateOutputData(previewResult, preview, &reason);

    // A host's main loop turns between requests. Decoded images answer their mipmap generation on
    // the main queue, and until those answers run they hold the images and the document's bytes.
    dispatchMainQueueDrain();
    return 0;
}
