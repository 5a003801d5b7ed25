#pragma once
// Overflow-checked arithmetic on file offsets and lengths (uint64_t). Every position computed from
// file contents goes through these, so a crafted length can never wrap around.

#include <cstdint>
#include <optional>

inline std::optional<uint64_t> checkedAdd(uint64_t a, uint64_t b) {
    uint64_t sum;
    if (__builtin_add_overflow(a, b, &sum)) return std::nullopt;
    return sum;
}

inline std::optional<uint64_t> checkedMultiply(uint64_t a, uint64_t b) {
    uint64_t product;
    if (__builtin_mul_overflow(a, b, &product)) return std::nullopt;
    return product;
}
