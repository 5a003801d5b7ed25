#pragma once
// Archives written key by key under a model class's name, to build the legacy, damaged or
// out-of-range archives the model itself never writes, and a look at how an archive stores its
// entries (kinds, widths, key order, shared objects).

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DocumentShapes.h"
#include "KeyedArchive.h"
#include "NSKeyedArchiver.h"
#include "NSKeyedUnarchiver.h"
#include "VTArchivableClasses.h"

namespace archive_shapes {

inline std::shared_ptr<NSData> archive(const std::shared_ptr<const NSObject>& root) {
    return NSKeyedArchiver::archivedDataWithRootObject(root);
}

// An object recorded under the model class `className`, writing what `encode` writes.
inline std::shared_ptr<NSObject> shaped(const char* className,
                                        std::function<void(NSCoder&)> encode) {
    return std::make_shared<document_shapes::Shaped>(className, NSObject::objcClass(),
                                                     std::move(encode));
}

// The root object of an archive as a T; none when it is none or of another class.
template <class T>
std::shared_ptr<T> unarchive(const std::shared_ptr<const NSData>& data) {
    VTRegisterArchivableClasses();
    return std::dynamic_pointer_cast<T>(NSKeyedUnarchiver::unarchiveObjectWithData(data));
}

template <class T>
std::shared_ptr<T> roundTrip(const std::shared_ptr<const NSObject>& root) {
    return unarchive<T>(archive(root));
}

// A T decoded from an archive whose root writes what `encode` writes under `className`.
template <class T>
std::shared_ptr<T> decodeShaped(const char* className, std::function<void(NSCoder&)> encode) {
    return unarchive<T>(archive(shaped(className, std::move(encode))));
}

// The stored form of an archive: object entries and the values of their keys.
class StoredArchive {
  public:
    explicit StoredArchive(const NSData& data) : archive_(data) {}

    const plist::BinaryPropertyList& list() const { return archive_.plist(); }
    const KeyedArchive& keyed() const { return archive_; }
    const plist::ObjectInfo& top() const { return archive_.top(); }
    plist::ObjectInfo root() const { return referencedEntry(top(), "root").value(); }
    std::string className(const plist::ObjectInfo& entry) const {
        return archive_.classOf(entry).name;
    }

    std::optional<plist::ObjectInfo> value(const plist::ObjectInfo& entry,
                                           const std::string& key) const {
        const auto ref = list().lookup(entry, key);
        if (!ref) return std::nullopt;
        return list().object(*ref);
    }
    // The entry of $objects that the UID under `key` refers to.
    std::optional<plist::ObjectInfo> referencedEntry(const plist::ObjectInfo& entry,
                                                     const std::string& key) const {
        const auto uid = value(entry, key);
        if (!uid || uid->kind != plist::Kind::UID) return std::nullopt;
        return archive_.entry(list().uidValue(*uid));
    }
    // The keys of an object entry (or of $top) in stored order, without "$class".
    std::vector<std::string> keys(const plist::ObjectInfo& entry) const {
        std::vector<std::string> result;
        for (uint64_t i = 0; i < entry.count; ++i) {
            auto key = list().stringValue(list().object(list().keyRef(entry, i)));
            if (key != "$class") result.push_back(std::move(key));
        }
        return result;
    }
    bool isNull(const plist::ObjectInfo& entry) const { return archive_.isNullEntry(entry); }

  private:
    mutable KeyedArchive archive_;  // classOf caches what it has read
};

}  // namespace archive_shapes
