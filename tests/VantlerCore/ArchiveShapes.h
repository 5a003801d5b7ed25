#pragma once
// Test helpers for the archive forms of VantlerCore classes: objects that write an arbitrary set of
// keys under a model class name (to build legacy or out-of-range archives that the model itself never
// writes), round trips through NSKeyedArchiver/NSKeyedUnarchiver, and a look at the stored entries.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "KeyedArchive.h"
#include "NSCoder.h"
#include "NSData.h"
#include "NSKeyedArchiver.h"
#include "NSKeyedUnarchiver.h"
#include "NSObject.h"
#include "VTArchivableClasses.h"

namespace archive_shapes {

// Writes what `encode` writes, recorded under the class `cls` (for example one named "VTAnimationInfo").
class ShapedObject : public NSObject {
public:
    ShapedObject(const NSClass& cls, std::function<void(NSCoder&)> encode)
        : cls_(cls), encode_(std::move(encode)) {}
    const NSClass& classForKeyedArchiver() const override { return cls_; }
    void encodeWithCoder(NSCoder& coder) const override { encode_(coder); }

private:
    const NSClass& cls_;
    std::function<void(NSCoder&)> encode_;
};

inline const NSClass& curveShape() {
    static const NSClass cls{"VTAnimationCurve", &NSObject::objcClass()};
    return cls;
}
inline const NSClass& infoShape() {
    static const NSClass cls{"VTAnimationInfo", &NSObject::objcClass()};
    return cls;
}

inline std::shared_ptr<NSObject> shaped(const NSClass& cls, std::function<void(NSCoder&)> encode) {
    return std::make_shared<ShapedObject>(cls, std::move(encode));
}

inline std::shared_ptr<NSData> archive(const std::shared_ptr<const NSObject>& root) {
    return NSKeyedArchiver::archivedDataWithRootObject(root);
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

// The stored form of an archive: object entries and the values of their keys.
class StoredArchive {
public:
    explicit StoredArchive(const NSData& data) : archive_(data) {}

    const plist::BinaryPropertyList& list() const { return archive_.plist(); }
    plist::ObjectInfo root() { return referencedEntry(top(), "root").value(); }
    const plist::ObjectInfo& top() const { return archive_.top(); }
    std::string className(const plist::ObjectInfo& entry) { return archive_.classOf(entry).name; }

    std::optional<plist::ObjectInfo> value(const plist::ObjectInfo& entry, const std::string& key) const {
        const auto ref = list().lookup(entry, key);
        if (!ref) return std::nullopt;
        return list().object(*ref);
    }
    // The entry of $objects that the UID under `key` refers to.
    std::optional<plist::ObjectInfo> referencedEntry(const plist::ObjectInfo& entry, const std::string& key) const {
        const auto uid = value(entry, key);
        if (!uid || uid->kind != plist::Kind::UID) return std::nullopt;
        return archive_.entry(list().uidValue(*uid));
    }
    // The keys of an object entry in stored order, without "$class".
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
    KeyedArchive archive_;
};

}  // namespace archive_shapes
