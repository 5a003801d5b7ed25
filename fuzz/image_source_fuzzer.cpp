// libFuzzer target for the image readers, which decode whatever pictures a document carries:
// recognise the bytes as PNG, JPEG, GIF, TIFF, WebP or HEIF and decode the first image. A null
// image is the documented failure; a crash, a hang, a leak or output on stderr is a bug.
//
// Built with -fsanitize=fuzzer when VANTLER_FUZZ is on; otherwise built with fuzz_replay.cpp as a
// plain program that runs this function over files (the seed corpus in CTest).

#include <cstddef>
#include <cstdint>

#include "CGImageSource.h"
#include "NSData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const auto source =
        CGImageSourceCreateWithData(NSData::dataWithBytes_length(bytes, size), nullptr);
    CGImageSourceCreateImageAtIndex(source, 0, nullptr);
    return 0;
}
