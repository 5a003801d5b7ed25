// libFuzzer target for the media stand-in (src/platform/AVFoundation/): the bytes as a file named
// like a movie are classified by type identifier, opened as an asset and asked for the frame at
// time 0 turned upright, as an image asset does when it imports a movie. A null image with an error
// is the documented failure; a crash, a hang, a leak or output on stderr is a bug.
//
// Built with -fsanitize=fuzzer when VANTLER_FUZZ is on; otherwise built with fuzz_replay.cpp as a
// plain program that runs this function over files (the seed corpus in CTest).

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "AVFoundation.h"
#include "NSError.h"
#include "NSURL.h"
#include "UTType.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    // FFmpeg reads files only: one per process, rewritten for each input and removed after it.
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("media_asset_fuzzer-" + std::to_string(getpid()) + ".mp4"))
                                        .string();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    const bool written = std::fwrite(bytes, 1, size, file) == size;
    if (std::fclose(file) == 0 && written) {
        const auto url = NSURL::fileURLWithPath(path);
        NSURLTypeIdentifierForURL(*url);
        const auto generator = AVAssetImageGenerator::assetImageGeneratorWithAsset(
            AVURLAsset::URLAssetWithURL_options(url, nullptr));
        generator->setAppliesPreferredTrackTransform(true);
        std::shared_ptr<NSError> error;
        generator->copyCGImageAtTime_actualTime_error(CMTimeMake(0, 60), nullptr, &error);
    }
    std::remove(path.c_str());
    return 0;
}
