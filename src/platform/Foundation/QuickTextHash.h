#pragma once
// A hash of a key's length and its first and last eight bytes: far cheaper than hashing all of it,
// and enough to tell apart the few dozen keys that the objects of an archive use. Tables that use
// it compare the texts as well, so a collision costs time, never a wrong answer.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

inline uint64_t quickTextHash(std::string_view text) {
    uint64_t head = 0, tail = 0;
    std::memcpy(&head, text.data(), std::min<size_t>(text.size(), 8));
    if (text.size() > 8) std::memcpy(&tail, text.data() + text.size() - 8, 8);
    uint64_t mixed = head * 0x9E3779B97F4A7C15ull ^ std::rotl(tail, 31) ^ text.size();
    // Fold the high bits down, so that a difference anywhere reaches the low bits tables use.
    mixed ^= mixed >> 32;
    mixed *= 0xBF58476D1CE4E5B9ull;
    return mixed ^ (mixed >> 29);
}
