// libFuzzer target for whole documents decoded through the model: load the bytes as a document and,
// when they load, read all of it, make an editor's edits and save it, which must load again
// (DocumentExercise.h). The reading error is the documented failure; a crash, a
// hang, a leak or unbounded recursion is a bug.
//
// Built with -fsanitize=fuzzer when VANTLER_FUZZ is on; otherwise built with fuzz_replay.cpp as a
// plain program that runs this function over files (the seed corpus in CTest).

#include <cstddef>
#include <cstdint>

#include "DispatchQueue.h"
#include "DocumentExercise.h"
#include "NSData.h"
#include "VTPrototype.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (const auto prototype = VTPrototype::prototypeFromData_error(
            NSData::dataWithBytes_length(bytes, size), nullptr)) {
        readWholeDocument(*prototype);
        editDocument(prototype);
        requireSavesAndLoadsAgain(prototype);
    }
    // As a host's main loop would between documents: decoded images answer their mipmap
    // generation on the main queue, and until those answers run they hold the images.
    dispatchMainQueueDrain();
    return 0;
}
