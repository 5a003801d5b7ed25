#pragma once
// Structure-aware mutation of keyed archives for libFuzzer. Flipping bytes of a binary property
// list mostly breaks its offset table, so the unarchiver refuses the file before any model class
// sees it. These mutations read the list into its values, change it where a crafted document
// would (a UID pointed elsewhere, a value of another kind, a key dropped or doubled, a class chain
// changed, a value nested deeper, objects spliced in from another archive) and write a valid
// binary property list again. Bytes that are not a binary property list get libFuzzer's own byte
// mutation, and so does a share of those that are, so that the reader's own checks stay covered.

#include <cstddef>
#include <cstdint>

// LLVMFuzzerCustomMutator: the mutated input in `data` (capacity `maxSize`); returns its size.
size_t mutateKeyedArchive(uint8_t* data, size_t size, size_t maxSize, unsigned seed);

// LLVMFuzzerCustomCrossOver: `first` with the objects of `second` spliced in and one of its
// references pointed at them, written to `out` (capacity `maxOutSize`); returns its size.
size_t crossOverKeyedArchives(const uint8_t* first, size_t firstSize, const uint8_t* second,
                              size_t secondSize, uint8_t* out, size_t maxOutSize, unsigned seed);
