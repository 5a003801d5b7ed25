#pragma once
// Writes keyed archives in Apple's NSKeyedArchiver form, as a binary property list: $objects[0] is
// "$null"; strings, numbers and data are stored as themselves, every other object as a dictionary
// with "$class" naming a class dictionary ($classname, $classes) written once per class; objects
// are uniqued by identity and get their UID before their fields, their class dictionary after;
// scalars are stored inline.
//
// A conditional object reserves a "$null" slot that an unconditional encode of the same object
// fills in place, before or after; a slot nobody fills decodes as none.

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "NSCoder.h"
#include "NSData.h"
#include "PropertyListValue.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSKeyedArchiver : public NSCoder {
  public:
    // The archive is written into `data` (replacing its bytes) by finishEncoding.
    static std::shared_ptr<NSKeyedArchiver> initForWritingWithMutableData(
        std::shared_ptr<NSMutableData> data);
    // The archive of `root` under NSKeyedArchiveRootObjectKey.
    static std::shared_ptr<NSData> archivedDataWithRootObject(
        const std::shared_ptr<const NSObject>& root);

    void encodeObject_forKey(const std::shared_ptr<const NSObject>& object,
                             std::string_view key) override;
    void encodeConditionalObject_forKey(const std::shared_ptr<const NSObject>& object,
                                        std::string_view key) override;
    void encodeBool_forKey(bool value, std::string_view key) override;
    void encodeInteger_forKey(int64_t value, std::string_view key) override;
    void encodeInt64_forKey(int64_t value, std::string_view key) override;
    void encodeInt_forKey(int32_t value, std::string_view key) override;
    void encodeFloat_forKey(float value, std::string_view key) override;
    void encodeDouble_forKey(double value, std::string_view key) override;
    void encodeBytes_length_forKey(const uint8_t* bytes, size_t length,
                                   std::string_view key) override;
    void encodeArrayOfObjects_forKey(const std::vector<std::shared_ptr<NSObject>>& objects,
                                     std::string_view key) override;
    void encodeString_forKey(std::string_view value, std::string_view key) override;

    // Writes the archive into the data object. Encoding afterwards raises
    // NSInvalidArgumentException.
    void finishEncoding();

    explicit NSKeyedArchiver(std::shared_ptr<NSMutableData> data);

  private:
    // The dictionary being filled: an object's fields, or $top. Keys written twice are rare (a
    // class hierarchy writing a key its superclass wrote), so a bit per quick hash of each key
    // written tells most new keys apart without comparing texts.
    struct Scope {
        std::vector<std::pair<plist::Value, plist::Value>> entries;
        std::array<uint64_t, 4> keyHashBits{};
    };

    void setValue(std::string_view key, plist::Value value);
    uint64_t referenceTo(const std::shared_ptr<const NSObject>& object);
    void encodeInto(uint64_t uid, const NSObject& object);
    uint64_t classReference(const NSClass& cls);
    void requireOpen(const char* selector) const;

    std::shared_ptr<NSMutableData> data_;
    std::vector<plist::Value> objects_;
    std::vector<Scope> scopes_;
    // Every object given a UID, encoded or only reserved by a conditional reference; kept alive so
    // that no address is reused by another object while the archive is written.
    struct Reference {
        uint64_t uid;
        bool encoded;  // false while only conditional references reserve the slot
    };
    std::unordered_map<const NSObject*, Reference> references_;
    std::vector<std::shared_ptr<const NSObject>> retained_;
    std::unordered_map<const NSClass*, uint64_t> classUIDs_;
    std::unordered_map<const NSClass*, size_t> entryCounts_;  // of the last object of each class
    bool finished_ = false;
};

#pragma GCC visibility pop
