#pragma once

#include "DocumentShapes.h"
#include "KeyedArchive.h"
#include "NSKeyedArchiver.h"
#include "NSKeyedUnarchiver.h"
#include "VTArchivableClasses.h"

namespace archive_shapes {

inline std::shared_ptr<NSData> archive(const std::shared_ptr<const NSObject>& root) {
    return NSKeyedArchiver::archivedDataWithRootObject(root);
}

template <class T>
std::shared_ptr<T> unarchive(const std::shared_ptr<const NSData>& data) {
    VTRegisterArchivableClasses();
    return std::dynamic_pointer_cast<T>(NSKeyedUnarchiver::unarchiveObjectWithData(data));
}

// A T decoded from an archive whose root writes what `encode` writes under the class `className`:
// the legacy, damaged or out-of-range archives the model never writes.
template <class T>
std::shared_ptr<T> decodeShaped(const char* className, std::function<void(NSCoder&)> encode) {
    return unarchive<T>(archive(std::make_shared<document_shapes::Shaped>(
        className, NSObject::objcClass(), std::move(encode))));
}

class StoredArchive {
  public:
    explicit StoredArchive(const NSData& data) : archive_(data) {}
    const plist::BinaryPropertyList& list() const { return archive_.plist(); }
    const plist::ObjectInfo& top() const { return archive_.top(); }
    plist::ObjectInfo root() const { return referencedEntry(top(), "root").value(); }
    std::optional<plist::ObjectInfo> value(const plist::ObjectInfo& entry,
                                           const std::string& key) const {
        const auto ref = list().lookup(entry, key);
        return ref ? std::optional(list().object(*ref)) : std::nullopt;
    }
    std::optional<plist::ObjectInfo> referencedEntry(const plist::ObjectInfo& entry,
                                                     const std::string& key) const {
        const auto uid = value(entry, key);
        if (!uid || uid->kind != plist::Kind::UID) return std::nullopt;
        return archive_.entry(list().uidValue(*uid));
    }
    // The object entry that element `index` of an inline array of references (NS.objects) names.
    plist::ObjectInfo elementEntry(const plist::ObjectInfo& array, uint64_t index) const {
        return archive_.entry(list().uidValue(list().object(list().elementRef(array, index))));
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

  private:
    mutable KeyedArchive archive_;  // classOf caches what it has read
};

}  // namespace archive_shapes
