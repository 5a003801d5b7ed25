// libFuzzer target for everything a document file goes through: any bytes, as a document file,
// first through the generator plug-in and the QuickLook host in process, as the programs run them.
// The thumbnail is asked at the thumbnailer's usual size and made into its PNG as
// vantler-thumbnailer writes it; the preview at its natural size (the host's surface budget bounds
// it), written as PNG, PDF or SVG by the input's length, so that the three surfaces share the
// inputs. Then the document is opened as vantler-ql's document commands and vantler-view open it:
// summarised as text and JSON (info), its first screens exported as PNG (export), and, as the
// library's editing users take it, read whole, edited and saved, which must load again
// (embed-thumbnail; DocumentExercise.h). Every refusal is a documented answer; a crash, a hang, a
// leak or unbounded memory is a bug. libFuzzer's -timeout stands in for the programs' deadline (10
// s), -rss_limit_mb for their memory.
//
// Built with -fsanitize=fuzzer when VANTLER_FUZZ is on; otherwise built with fuzz_replay.cpp as a
// plain program that runs this function over files (the seed corpus in CTest).

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>

#include "DispatchQueue.h"
#include "DocumentExercise.h"
#include "DocumentInfo.h"
#include "HostPolicy.h"
#include "NSFileManager+Utilities.h"
#include "QLGeneratorHost.h"
#include "ThumbnailPicture.h"
#include "VTLayer+Offscreen.h"

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

// How many screens are exported: each is a file written, so a document of thousands of screens
// would cost an input as much as thousands of typical ones.
constexpr size_t kExportedScreens = 16;

// The folder exports are written into, made when first used and removed with the process; emptied
// after each input.
class ExportDirectory {
  public:
    ExportDirectory() : path_(createUniqueTemporaryDirectory(*NSFileManager::defaultManager())) {}
    ~ExportDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ExportDirectory(const ExportDirectory&) = delete;
    ExportDirectory& operator=(const ExportDirectory&) = delete;

    const std::string& path() const { return path_; }
    void empty() const {
        std::error_code ignored;
        for (const auto& file : std::filesystem::directory_iterator(path_, ignored))
            std::filesystem::remove(file.path(), ignored);
    }

  private:
    std::string path_;
};

// What vantler-ql's info, export and embed-thumbnail commands and vantler-view do with the file.
void openDocument(const DocumentFile& document) {
    static const ExportDirectory exports;
    const auto data =
        NSData::dataWithContentsOfFile_options(document.path(), NSDataReadingMappedIfSafe);
    const auto prototype = VTPrototype::prototypeFromData_error(data, nullptr);
    if (!prototype) return;
    documentInfo(*prototype, data, InfoFormat::Text);
    documentInfo(*prototype, data, InfoFormat::JSON);
    const auto screens = prototype->screens();
    for (size_t i = 0; i < screens.size() && i < kExportedScreens; ++i)
        writePNGToDirectory(*screens[i], exports.path());
    exports.empty();

    readWholeDocument(*prototype);
    editDocument(prototype);
    requireSavesAndLoadsAgain(prototype);
}

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

    openDocument(document);

    // A host's main loop turns between requests. Decoded images answer their mipmap generation on
    // the main queue, and until those answers run they hold the images and the document's bytes.
    dispatchMainQueueDrain();
    return 0;
}
