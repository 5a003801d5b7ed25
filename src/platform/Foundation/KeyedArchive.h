#pragma once
// The structure of a keyed archive over a property list, shared by NSKeyedUnarchiver and the
// archive dump: the top-level dictionary ($archiver, $version, $top, $objects), the entries of
// $objects by UID, "$null" entries, class dictionaries, and key escaping, in the forms Apple's
// archiver writes.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "BinaryPropertyList.h"
#include "NSData.h"

#pragma GCC visibility push(default)  // exported from libVantler

struct KeyedArchiveClass {
    std::string name;                  // $classname
    std::vector<std::string> classes;  // $classes: the class, its superclasses, the root class
    std::vector<std::string> hints;    // $classhints: fallback names, possibly none
};

class KeyedArchive {
  public:
    static constexpr int64_t kVersion = 100000;
    static constexpr std::string_view kArchiverName = "NSKeyedArchiver";
    static constexpr std::string_view kNullEntry = "$null";

    // Raises NSException (NSInvalidArgumentException) when the data is not a property list or has
    // no keyed-archive structure: a dictionary with $version 100000, a string $archiver, a
    // dictionary $top and an array $objects.
    explicit KeyedArchive(const NSData& data);

    const plist::BinaryPropertyList& plist() const { return *plist_; }
    const std::string& archiverName() const { return archiverName_; }
    const plist::ObjectInfo& top() const { return top_; }
    uint64_t objectCount() const { return objects_.count; }
    // The entry of $objects for `uid`; raises when the UID lies outside $objects.
    plist::ObjectInfo entry(uint64_t uid) const;
    // Whether an entry is the string "$null", which stands for none wherever it is (not only at 0).
    bool isNullEntry(const plist::ObjectInfo& entry) const;
    // The class of an object entry (a dictionary), read through its "$class" reference; raises when
    // the entry has no "$class" or it does not lead to a class dictionary, naming the entry by
    // `uid` when given. Class dictionaries are read once per class UID.
    const KeyedArchiveClass& classOf(const plist::ObjectInfo& objectEntry,
                                     std::optional<uint64_t> uid = std::nullopt);
    // The same for a reader that has already found the entry's "$class" value (none when absent).
    const KeyedArchiveClass& classNamedBy(std::optional<uint64_t> classValueRef,
                                          const plist::ObjectInfo& objectEntry,
                                          std::optional<uint64_t> uid);

    // Counts memory that decoding makes out of file bytes against ArchiveLimits::kMaxDecodedBytes
    // and raises once the budget is spent; everything this archive or its decoder materialises is
    // charged.
    void charge(uint64_t bytes);

    // A user key as stored: one more "$" in front of a key that begins with "$".
    static std::string escapedKey(std::string_view key);
    // A stored key as the user wrote it (the inverse of escapedKey; "$class" and generic keys
    // stay).
    static std::string_view unescapedKey(std::string_view storedKey);

  private:
    std::vector<std::string> stringArray(const plist::ObjectInfo& array, const char* what);

    std::unique_ptr<plist::BinaryPropertyList> plist_;
    std::string archiverName_;
    plist::ObjectInfo top_;
    plist::ObjectInfo objects_;
    std::unordered_map<uint64_t, KeyedArchiveClass> classes_;
    // The "$class" value of each large object dictionary read so far, by its object in the property
    // list: a crafted list can give one dictionary of many keys many UIDs, and scanning its keys
    // for "$class" under each UID would take quadratic time.
    std::unordered_map<uint64_t, std::optional<uint64_t>> classValueRefs_;
    uint64_t charged_ = 0;
};

#pragma GCC visibility pop
