#pragma once
// A dictionary of a BinaryPropertyList with key lookup: a scan of the keys for small dictionaries,
// an index built on first use for large ones (ArchiveLimits::kLinearKeyScanLimit), so that reading
// every key of a large dictionary stays linear. ASCII keys are indexed in place in the file's
// bytes, so the index's memory stays proportional to the dictionary's size in the file. The first
// of equal keys wins.

#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "BinaryPropertyList.h"

#pragma GCC visibility push(default)  // exported from libVantler

namespace plist {

class PropertyListDictionary {
  public:
    // Raises when `dictionary` is not a dictionary.
    PropertyListDictionary(const BinaryPropertyList& list, const ObjectInfo& dictionary);

    const ObjectInfo& info() const { return dictionary_; }
    std::optional<uint64_t> lookup(std::string_view key);

  private:
    const BinaryPropertyList* list_;
    ObjectInfo dictionary_;
    std::optional<std::unordered_map<std::string_view, uint64_t>> index_;  // key -> value reference
    std::list<std::string>
        convertedKeys_;  // UTF-8 of UTF-16 keys, which the index points into (a list: an
                         // empty std::deque allocates 576 bytes, per decoded object)
};

}  // namespace plist

#pragma GCC visibility pop
