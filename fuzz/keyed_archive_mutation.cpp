// libFuzzer's mutation hooks for the fuzzers whose inputs are keyed archives (documents): mutations
// at the level of the archive's objects (KeyedArchiveMutator.h) besides byte mutation.

#include <cstddef>
#include <cstdint>

#include "KeyedArchiveMutator.h"

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
    return mutateKeyedArchive(data, size, maxSize, seed);
}

extern "C" size_t LLVMFuzzerCustomCrossOver(const uint8_t* first, size_t firstSize,
                                            const uint8_t* second, size_t secondSize, uint8_t* out,
                                            size_t maxOutSize, unsigned int seed) {
    return crossOverKeyedArchives(first, firstSize, second, secondSize, out, maxOutSize, seed);
}
