#pragma once
// Key lookup in the dictionaries of a BinaryPropertyList, for a reader that asks each object
// dictionary for its keys one by one (the keyed unarchiver).
//
// CoreFoundation writes each distinct string once, so the thousands of object dictionaries of an
// archive share a few dozen key objects. PropertyListKeyNumbers reads each key object once and
// gives its text a small number; a dictionary of ordinary size is then "numbered" (each of its keys
// noted by its number), after which finding a key is a quick hash of the asked text and a probe
// of a small table, with no string compared and nothing allocated per object.
//
// A dictionary of many keys (an ordered set keeps one key per element) is indexed once instead, so
// that reading every key of it stays linear. In both ways the first of equal keys wins.

#include <array>
#include <cstdint>
#include <functional>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ArchiveLimits.h"
#include "BinaryPropertyList.h"

#pragma GCC visibility push(default)  // exported from libVantler

namespace plist {

class PropertyListKeyNumbers {
  public:
    static constexpr uint32_t kNotAKey = UINT32_MAX;

    // `charge` is told the bytes of every table entry made from the file's contents, so that the
    // caller's decoding budget covers them.
    PropertyListKeyNumbers(const BinaryPropertyList& list, std::function<void(uint64_t)> charge);

    // The number of the key object `ref` (a reference read from a dictionary); kNotAKey for an
    // object that no reader can ask for (not a string, or too long).
    uint32_t numberOfKeyObject(uint64_t ref);
    // The number of `key`, or kNotAKey when no key object numbered so far spells it.
    uint32_t numberOfText(std::string_view key) const;

  private:
    struct TextHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    static constexpr uint32_t kUnread = 0;

    const BinaryPropertyList* list_;
    std::function<void(uint64_t)> charge_;
    std::vector<uint32_t> numberOfRef_;  // by object reference; made on first use
    std::unordered_map<std::string, uint32_t, TextHash, std::equal_to<>> numberOfText_;
    // The keys asked for are nearly always the same few dozen texts, so the answer for a text is
    // remembered in a slot chosen by a quick hash of it, which saves hashing the whole text and
    // walking the map; the slot keeps a copy of the text it answers for. A miss holds only until
    // a new text is numbered.
    struct Remembered {
        std::array<char, 32> text;
        uint8_t size = UINT8_MAX;  // UINT8_MAX: an empty slot
        uint32_t number = kNotAKey;
        size_t textsKnown = 0;  // numberOfText_.size() when the answer was found
    };
    mutable std::array<Remembered, 1024> remembered_{};
};

class PropertyListDictionary {
  public:
    // Raises when `dictionary` is not a dictionary. `numbers` serves every dictionary of `list`.
    PropertyListDictionary(const BinaryPropertyList& list, const ObjectInfo& dictionary,
                           PropertyListKeyNumbers& numbers);

    const ObjectInfo& info() const { return dictionary_; }
    std::optional<uint64_t> lookup(std::string_view key);

  private:
    void numberKeys();
    std::optional<uint64_t> lookupInIndex(std::string_view key);

    const BinaryPropertyList* list_;
    ObjectInfo dictionary_;
    PropertyListKeyNumbers* numbers_;
    // A dictionary of ordinary size, numbered on the first lookup: the number of each key in the
    // dictionary's order, and an open-addressing table of positions + 1 by number (key numbers are
    // small and dense, so a number is its own hash; twice the slots of the keys keeps probes
    // short). A repeated key is not entered again: the first one stands.
    static constexpr size_t kPositionSlots = 2 * ArchiveLimits::kNumberedKeyLimit;
    bool numbered_ = false;
    std::array<uint32_t, ArchiveLimits::kNumberedKeyLimit> keyNumbers_;
    std::array<uint8_t, kPositionSlots> positions_;
    // A dictionary of many keys: key -> value reference.
    std::optional<std::unordered_map<std::string_view, uint64_t>> index_;
    std::list<std::string>
        convertedKeys_;  // UTF-8 of UTF-16 keys, which the index points into (a list: an
                         // empty std::deque allocates 576 bytes, per decoded object)
};

}  // namespace plist

#pragma GCC visibility pop
