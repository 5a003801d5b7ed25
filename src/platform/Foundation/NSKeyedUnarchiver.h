#pragma once
// Reads a keyed archive written by Apple's NSKeyedArchiver (binary or XML property list) or by
// ours. Objects are decoded on demand: opening reads the property list's trailer, offset table and
// top-level dictionary only.
//
// Decoding is two-step, as Foundation's unarchiver does it: the class registry makes an empty
// instance of the recorded class, the instance is registered under its UID, and then its
// initWithCoder fills it. A reference to an object still being decoded gets that same instance, so
// back references and cycles never recurse; an object whose initWithCoder yields none decodes as
// none everywhere after. Foundation's own value classes are the exception: a collection or URL
// referred to from inside itself raises NSInvalidUnarchiveOperationException, since it would own
// itself.
//
// Malformed data raises NSException: NSInvalidArgumentException when the bytes are not a keyed
// archive, NSInvalidUnarchiveOperationException when an object or value in it is wrong, and
// NSRangeException when an integer does not fit the decode call.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "KeyedArchive.h"
#include "NSCoder.h"
#include "NSData.h"
#include "PropertyListDictionary.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSKeyedUnarchiver : public NSCoder {
  public:
    using ClassFactory = std::function<std::shared_ptr<NSObject>()>;
    // A class of the registry: how to make an empty instance, and whether the class is one of
    // Foundation's own value classes (collections, strings, URLs, …), which are built from their
    // members and so can never be a member of themselves.
    struct RegisteredClass {
        ClassFactory factory;
        bool isFoundationValue = false;
    };

    // The process-wide class registry (Foundation's +setClass:forClassName:): decoding an object
    // whose recorded class is `name` calls `factory` for an empty instance. Foundation's own value
    // and collection classes are registered from the start. Thread-safe.
    static void setClass_forClassName(ClassFactory factory, const std::string& name);
    template <class T>
    static void registerClass() {
        setClass_forClassName([] { return std::make_shared<T>(); }, T::objcClass().name);
    }

    // Raises when `data` is not a keyed archive. The decoder keeps the data alive.
    static std::shared_ptr<NSKeyedUnarchiver> initForReadingWithData(
        const std::shared_ptr<const NSData>& data);
    // The root object of an archive, or none; raises as the decoding does.
    static std::shared_ptr<NSObject> unarchiveObjectWithData(
        const std::shared_ptr<const NSData>& data);

    std::shared_ptr<NSObject> decodeObjectForKey(std::string_view key) override;
    bool decodeBoolForKey(std::string_view key) override;
    int64_t decodeIntegerForKey(std::string_view key) override;
    int64_t decodeInt64ForKey(std::string_view key) override;
    int32_t decodeIntForKey(std::string_view key) override;
    float decodeFloatForKey(std::string_view key) override;
    double decodeDoubleForKey(std::string_view key) override;
    const uint8_t* decodeBytesForKey_returnedLength(std::string_view key, size_t* length) override;
    bool containsValueForKey(std::string_view key) override;
    std::vector<std::shared_ptr<NSObject>> decodeArrayOfObjectsForKey(
        std::string_view key) override;
    std::optional<std::string> decodeStringForKey(std::string_view key) override;

    // Ends decoding; reading afterwards raises NSInvalidUnarchiveOperationException.
    void finishDecoding();

    explicit NSKeyedUnarchiver(const std::shared_ptr<const NSData>& data);

  private:
    // The object dictionary being decoded (or $top), through which keys are read.
    struct Scope {
        plist::PropertyListDictionary dictionary;
    };
    // What was decoded under a UID; none for "$null", UID 0 and objects that yielded none.
    using DecodedObject = std::shared_ptr<NSObject>;

    std::optional<plist::ObjectInfo> valueForKey(std::string_view key, const char* selector);
    std::shared_ptr<NSObject> decodeObjectWithUID(uint64_t uid);
    std::shared_ptr<NSObject> decodeValueEntry(uint64_t uid, const plist::ObjectInfo& entry);
    std::shared_ptr<NSObject> decodeClassEntry(uint64_t uid, const plist::ObjectInfo& entry);
    const RegisteredClass& factoryFor(const KeyedArchiveClass& cls, uint64_t uid);
    // The integer under `key` for the integer decode calls (absent: 0); booleans read as 0 or 1.
    plist::Integer integerForKey(std::string_view key, const char* selector);
    [[noreturn]] void raiseWrongKind(std::string_view key, const char* selector,
                                     const char* found) const;

    std::shared_ptr<const NSData> data_;
    KeyedArchive archive_;
    plist::PropertyListKeyNumbers keyNumbers_;  // serves every scope's dictionary
    std::vector<Scope> scopes_;
    // What was decoded under each UID, in pages of kSlotsPerPage allocated when first touched, so
    // that memory follows the objects decoded, not the length of $objects.
    struct Slot {
        DecodedObject object;
        // A Foundation value whose initWithCoder is running: a reference to it from inside is
        // refused.
        enum : uint8_t { Unknown, Decoded, ValueBeingDecoded } state = Unknown;
    };
    static constexpr size_t kSlotsPerPage = 1024;
    Slot& slot(uint64_t uid);
    std::vector<std::unique_ptr<Slot[]>> decoded_;
    // The factory of each class of the archive (KeyedArchive keeps the class records in place).
    std::unordered_map<const KeyedArchiveClass*, RegisteredClass> factories_;
    bool finished_ = false;
};

#pragma GCC visibility pop
