#pragma once
// Reads a binary property list ("bplist00") in place, without building a tree: objects are read on
// demand from the bytes, which may be a mapped file. Opening checks the header, the trailer and
// every offset-table entry once; each object's extent is checked when it is read. Every breach
// raises NSException (NSInvalidArgumentException) with a reason naming what was read and what is
// wrong.
//
// The checks follow Apple's CoreFoundation reader (CFBinaryPList.c).

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "PropertyListValue.h"

#pragma GCC visibility push(default)  // exported from libVantler

namespace plist {

// One object of the object table whose extent has been checked.
struct ObjectInfo {
    uint64_t ref = 0;  // index in the object table
    Kind kind = Kind::Null;
    uint64_t count = 0;    // byte width of a number, bytes of data, code units of a string,
                           // elements of an array or set, entries of a dictionary
    uint64_t payload = 0;  // offset of the first byte after the marker and length
    bool isUTF16 = false;  // for strings: UTF-16BE units rather than ASCII bytes
};

class BinaryPropertyList {
  public:
    static bool hasBinaryHeader(std::span<const uint8_t> bytes);

    // `owner` keeps `bytes` alive for as long as this reader and the data it hands out.
    BinaryPropertyList(std::shared_ptr<const void> owner, std::span<const uint8_t> bytes);

    uint64_t objectCount() const { return objectCount_; }
    uint64_t topObject() const { return topObject_; }
    ObjectInfo object(uint64_t ref) const;

    // Accessors of one kind raise when the object is of another.
    bool booleanValue(const ObjectInfo& object) const;
    Integer integerValue(const ObjectInfo& object) const;
    Real realValue(const ObjectInfo& object) const;
    double dateValue(const ObjectInfo& object) const;
    // The bytes of a data object, sharing this reader's owner.
    Bytes dataValue(const ObjectInfo& object) const;
    std::string stringValue(const ObjectInfo& object) const;  // UTF-8
    // The bytes of an ASCII (not UTF-16) string, in place.
    std::string_view asciiStringView(const ObjectInfo& object) const;
    bool stringEquals(const ObjectInfo& object, std::string_view utf8) const;
    uint64_t uidValue(const ObjectInfo& object) const;
    // Element `index` of an array or set.
    uint64_t elementRef(const ObjectInfo& collection, uint64_t index) const;
    uint64_t keyRef(const ObjectInfo& dictionary, uint64_t index) const;
    uint64_t valueRef(const ObjectInfo& dictionary, uint64_t index) const;
    // The value of the first entry whose key is the string `key`, scanning the keys in order.
    std::optional<uint64_t> lookup(const ObjectInfo& dictionary, std::string_view key) const;

    const std::shared_ptr<const void>& owner() const { return owner_; }

  private:
    uint64_t readSizedInteger(uint64_t offset, unsigned width) const;
    uint64_t readRef(uint64_t offset) const;
    void require(const ObjectInfo& object, Kind kind, const char* what) const;

    std::shared_ptr<const void> owner_;
    std::span<const uint8_t> bytes_;
    unsigned offsetIntSize_ = 0;
    unsigned objectRefSize_ = 0;
    uint64_t objectCount_ = 0;
    uint64_t topObject_ = 0;
    uint64_t offsetTableOffset_ = 0;
};

// UTF-16 code units (host order) to UTF-8; a lone surrogate becomes U+FFFD.
void appendUTF16AsUTF8(std::string& out, const uint16_t* units, size_t count);

}  // namespace plist

#pragma GCC visibility pop
