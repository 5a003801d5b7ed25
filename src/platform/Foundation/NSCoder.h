#pragma once
// The coder interface of keyed archiving. Every archivable class reads its fields by string key in
// initWithCoder and writes them in encodeWithCoder. NSKeyedArchiver implements the encoding half,
// NSKeyedUnarchiver the decoding half; calling the other half raises NSInvalidArgumentException,
// as Foundation's abstract NSCoder does.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "NSArray.h"
#include "NSException.h"
#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

// The key under which the root object is stored in $top.
inline constexpr const char* NSKeyedArchiveRootObjectKey = "root";

class NSCoder {
  public:
    virtual ~NSCoder() = default;

    virtual bool allowsKeyedCoding() const { return true; }

    // Writing. A key beginning with "$" is stored with one more "$", as Foundation escapes it.
    // Encoding a none object writes the key with a reference to "$null": the key is then present.
    virtual void encodeObject_forKey(const std::shared_ptr<const NSObject>& object,
                                     std::string_view key);
    // Stores a reference that resolves to the object only if something in the archive encodes it
    // unconditionally, before or after; otherwise it decodes as none.
    virtual void encodeConditionalObject_forKey(const std::shared_ptr<const NSObject>& object,
                                                std::string_view key);
    virtual void encodeBool_forKey(bool value, std::string_view key);
    virtual void encodeInteger_forKey(int64_t value, std::string_view key);
    virtual void encodeInt64_forKey(int64_t value, std::string_view key);
    virtual void encodeInt_forKey(int32_t value, std::string_view key);
    virtual void encodeFloat_forKey(float value, std::string_view key);
    virtual void encodeDouble_forKey(double value, std::string_view key);
    // Copies `length` bytes; `bytes` may be null when length is 0.
    virtual void encodeBytes_length_forKey(const uint8_t* bytes, size_t length,
                                           std::string_view key);

    // Reading. An absent key reads as none, false, 0 or 0.0. A value of the wrong kind raises
    // NSInvalidUnarchiveOperationException; an integer too large for the call raises
    // NSRangeException.
    virtual std::shared_ptr<NSObject> decodeObjectForKey(std::string_view key);
    virtual bool decodeBoolForKey(std::string_view key);
    virtual int64_t decodeIntegerForKey(std::string_view key);
    virtual int64_t decodeInt64ForKey(std::string_view key);
    virtual int32_t decodeIntForKey(std::string_view key);
    virtual float decodeFloatForKey(std::string_view key);
    virtual double decodeDoubleForKey(std::string_view key);
    // The bytes stay valid as long as this decoder lives; callers copy them first. Null, with
    // length 0, when the key is absent.
    virtual const uint8_t* decodeBytesForKey_returnedLength(std::string_view key, size_t* length);
    virtual bool containsValueForKey(std::string_view key);

    // The object under `key` when it is a T (or none when absent); any other class raises
    // NSInvalidUnarchiveOperationException (Foundation's decodeObjectOfClass:forKey:).
    template <class T>
    std::shared_ptr<T> decodeObjectOfClass_forKey(std::string_view key) {
        auto object = decodeObjectForKey(key);
        if (!object) return nullptr;
        auto typed = std::dynamic_pointer_cast<T>(object);
        if (!typed) raiseUnexpectedClass(key, *object, T::objcClass());
        return typed;
    }

    // The array under `key` with every element a T (Foundation's
    // decodeArrayOfObjectsOfClass:forKey:); an absent array reads as empty, an element of any other
    // class raises NSInvalidUnarchiveOperationException.
    template <class T>
    std::vector<std::shared_ptr<T>> decodeArrayOfObjectsOfClass_forKey(std::string_view key) {
        std::vector<std::shared_ptr<T>> elements;
        const auto array = decodeObjectOfClass_forKey<NSArray>(key);
        if (!array) return elements;
        elements.reserve(array->count());
        for (const auto& object : array->objects()) {
            auto typed = std::dynamic_pointer_cast<T>(object);
            if (!typed) raiseUnexpectedElementClass(key, *object, T::objcClass());
            elements.push_back(std::move(typed));
        }
        return elements;
    }

    // The forms Foundation's own collection and string classes use inside their archive entries:
    // an inline array of object references (NS.objects, NS.keys) and an inline string (NS.string).
    // An absent key reads as an empty array and none respectively.
    virtual void encodeArrayOfObjects_forKey(const std::vector<std::shared_ptr<NSObject>>& objects,
                                             std::string_view key);
    virtual std::vector<std::shared_ptr<NSObject>> decodeArrayOfObjectsForKey(std::string_view key);
    virtual void encodeString_forKey(std::string_view value, std::string_view key);
    virtual std::optional<std::string> decodeStringForKey(std::string_view key);

  protected:
    [[noreturn]] void raiseUnexpectedClass(std::string_view key, const NSObject& object,
                                           const NSClass& expected) const;
    [[noreturn]] void raiseUnexpectedElementClass(std::string_view key, const NSObject& object,
                                                  const NSClass& expected) const;
};

#pragma GCC visibility pop
