#include "BinaryPropertyList.h"

#include <cstring>
#include <vector>

#include "ArchiveLimits.h"
#include "CheckedArithmetic.h"
#include "NSException.h"

namespace plist {
namespace {

constexpr uint64_t kHeaderSize = 8;
constexpr uint64_t kTrailerSize = 32;

[[noreturn]] void fail(const std::string& reason) {
    NSException::raise(NSInvalidArgumentException, "binary property list: " + reason);
}

std::string describeRef(uint64_t ref) {
    return "object " + std::to_string(ref);
}

// Markers are documented in hexadecimal (CoreFoundation's kCFBinaryPlistMarker… constants); so are
// they in reasons.
std::string describeMarker(uint8_t marker) {
    static const char* digits = "0123456789abcdef";
    return std::string("0x") + digits[marker >> 4] + digits[marker & 0x0F];
}

}  // namespace

bool BinaryPropertyList::hasBinaryHeader(std::span<const uint8_t> bytes) {
    // CoreFoundation checks only "bplist0": "SnowLeopard will parse "bplist0?"".
    return bytes.size() >= 7 && std::memcmp(bytes.data(), "bplist0", 7) == 0;
}

uint64_t BinaryPropertyList::readSizedInteger(uint64_t offset, unsigned width) const {
    // Callers have checked offset + width against the size; widths above 8 keep the low 64 bits,
    // as CoreFoundation's _getSizedInt does.
    const uint8_t* p = bytes_.data() + offset;
    switch (width) {
        case 1:
            return p[0];
        case 2:
            return static_cast<uint64_t>(p[0]) << 8 | p[1];
        case 4: {
            uint32_t v;
            std::memcpy(&v, p, 4);
            return __builtin_bswap32(v);
        }
        case 8: {
            uint64_t v;
            std::memcpy(&v, p, 8);
            return __builtin_bswap64(v);
        }
        default: {
            uint64_t value = 0;
            for (unsigned i = 0; i < width; ++i) value = (value << 8) | p[i];
            return value;
        }
    }
}

BinaryPropertyList::BinaryPropertyList(std::shared_ptr<const void> owner,
                                       std::span<const uint8_t> bytes)
    : owner_(std::move(owner)), bytes_(bytes) {
    const uint64_t size = bytes.size();
    // Header, at least one one-byte object and the trailer.
    if (size < kHeaderSize + kTrailerSize + 1) fail("file is too short to hold a trailer");
    if (!hasBinaryHeader(bytes)) fail("header is not \"bplist0\"");

    const uint64_t trailer = size - kTrailerSize;
    offsetIntSize_ = bytes[trailer + 6];
    objectRefSize_ = bytes[trailer + 7];
    objectCount_ = readSizedInteger(trailer + 8, 8);
    topObject_ = readSizedInteger(trailer + 16, 8);
    offsetTableOffset_ = readSizedInteger(trailer + 24, 8);

    // One invariant per line, as CoreFoundation's __CFBinaryPlistGetTopLevelInfo checks them.
    if (offsetIntSize_ < 1 || offsetIntSize_ > 8) fail("trailer offset size is not 1 to 8 bytes");
    if (objectRefSize_ < 1 || objectRefSize_ > 8)
        fail("trailer reference size is not 1 to 8 bytes");
    if (objectCount_ < 1) fail("trailer says there are no objects");
    if (objectCount_ > ArchiveLimits::kMaxCount) fail("trailer object count is too large");
    if (topObject_ >= objectCount_) fail("trailer top object lies outside the object table");
    if (offsetTableOffset_ < kHeaderSize + 1) fail("offset table starts inside the header");
    if (offsetTableOffset_ >= trailer) fail("offset table starts past the trailer");
    const auto tableSize = checkedMultiply(objectCount_, offsetIntSize_);
    const auto tableEnd = tableSize ? checkedAdd(offsetTableOffset_, *tableSize) : std::nullopt;
    if (!tableEnd || *tableEnd != trailer)
        fail("offset table does not end where the trailer begins");
    if (objectRefSize_ < 8 && (1ull << (8 * objectRefSize_)) <= objectCount_)
        fail("trailer reference size is too small for the object count");
    if (offsetIntSize_ < 8 && (1ull << (8 * offsetIntSize_)) <= offsetTableOffset_)
        fail("trailer offset size is too small to reach the offset table");

    for (uint64_t i = 0; i < objectCount_; ++i) {
        const uint64_t offset =
            readSizedInteger(offsetTableOffset_ + i * offsetIntSize_, offsetIntSize_);
        if (offset < kHeaderSize)
            fail("offset table entry " + std::to_string(i) + " points into the header");
        if (offset >= offsetTableOffset_)
            fail("offset table entry " + std::to_string(i) + " points past the object area");
    }
}

uint64_t BinaryPropertyList::readRef(uint64_t offset) const {
    const uint64_t ref = readSizedInteger(offset, objectRefSize_);
    if (ref >= objectCount_)
        fail("reference " + std::to_string(ref) + " lies outside the object table of " +
             std::to_string(objectCount_) + " objects");
    return ref;
}

ObjectInfo BinaryPropertyList::object(uint64_t ref) const {
    if (ref >= objectCount_) fail(describeRef(ref) + " lies outside the object table");
    const uint64_t offset =
        readSizedInteger(offsetTableOffset_ + ref * offsetIntSize_, offsetIntSize_);
    const uint8_t marker = bytes_[offset];
    const uint8_t low = marker & 0x0F;

    ObjectInfo info;
    info.ref = ref;
    info.payload = offset + 1;

    // The length of data, strings and collections: the low nibble, or 0xF and an integer object.
    auto readLength = [&]() -> uint64_t {
        if (low != 0x0F) return low;
        if (info.payload >= offsetTableOffset_)
            fail(describeRef(ref) + " length runs past the object area");
        const uint8_t lengthMarker = bytes_[info.payload];
        if ((lengthMarker & 0xF0) != 0x10 || (lengthMarker & 0x0F) > 3)
            fail(describeRef(ref) + " has an extended length that is not an integer");
        const unsigned width = 1u << (lengthMarker & 0x0F);
        const auto end = checkedAdd(info.payload, 1 + width);
        if (!end || *end > offsetTableOffset_)
            fail(describeRef(ref) + " length runs past the object area");
        const uint64_t length = readSizedInteger(info.payload + 1, width);
        if (length > ArchiveLimits::kMaxCount) fail(describeRef(ref) + " has a negative length");
        info.payload = *end;
        return length;
    };

    uint64_t elementSize = 1;
    switch (marker >> 4) {
        case 0x0:
            if (marker == 0x00)
                info.kind = Kind::Null;
            else if (marker == 0x08 || marker == 0x09)
                info.kind = Kind::Boolean;
            else
                fail(describeRef(ref) + " has the unsupported marker " + describeMarker(marker));
            info.count = 0;
            break;
        case 0x1:
            if (low > 4) fail(describeRef(ref) + " is an integer wider than 16 bytes");
            info.kind = Kind::Integer;
            info.count = 1ull << low;
            break;
        case 0x2:
            if (low != 2 && low != 3)
                fail(describeRef(ref) + " is a real that is neither 4 nor 8 bytes");
            info.kind = Kind::Real;
            info.count = 1ull << low;
            break;
        case 0x3:
            if (marker != 0x33) fail(describeRef(ref) + " is a date that is not 8 bytes");
            info.kind = Kind::Date;
            info.count = 8;
            break;
        case 0x4:
            info.kind = Kind::Data;
            info.count = readLength();
            break;
        case 0x5:
            info.kind = Kind::String;
            info.count = readLength();
            break;
        case 0x6:
            info.kind = Kind::String;
            info.isUTF16 = true;
            info.count = readLength();
            elementSize = 2;
            break;
        case 0x8:
            info.kind = Kind::UID;
            info.count = low + 1u;
            break;
        case 0xA:
            info.kind = Kind::Array;
            info.count = readLength();
            elementSize = objectRefSize_;
            break;
        case 0xC:
            info.kind = Kind::Set;
            info.count = readLength();
            elementSize = objectRefSize_;
            break;
        case 0xD:
            info.kind = Kind::Dictionary;
            info.count = readLength();
            elementSize = 2ull * objectRefSize_;
            break;
        default:
            fail(describeRef(ref) + " has the unsupported marker " + describeMarker(marker));
    }

    const bool sized = info.kind != Kind::Null && info.kind != Kind::Boolean;
    const uint64_t units = sized ? info.count : 0;
    const auto payloadSize = checkedMultiply(units, elementSize);
    const auto end = payloadSize ? checkedAdd(info.payload, *payloadSize) : std::nullopt;
    if (!end || *end > offsetTableOffset_) fail(describeRef(ref) + " runs past the object area");
    return info;
}

void BinaryPropertyList::require(const ObjectInfo& object, Kind kind, const char* what) const {
    if (object.kind != kind) fail(describeRef(object.ref) + " is not " + what);
}

bool BinaryPropertyList::booleanValue(const ObjectInfo& object) const {
    require(object, Kind::Boolean, "a boolean");
    return bytes_[object.payload - 1] == 0x09;
}

Integer BinaryPropertyList::integerValue(const ObjectInfo& object) const {
    require(object, Kind::Integer, "an integer");
    const unsigned width = static_cast<unsigned>(object.count);
    if (width == 16) {
        // CoreFoundation keeps only the low 64 bits of a 16-byte integer, as an unsigned value.
        return Integer::fromUnsigned(readSizedInteger(object.payload + 8, 8));
    }
    const uint64_t raw = readSizedInteger(object.payload, width);
    // 1, 2 and 4 bytes are unsigned, 8 bytes are signed two's complement.
    return width == 8 ? Integer::fromSigned(static_cast<int64_t>(raw)) : Integer::fromUnsigned(raw);
}

Real BinaryPropertyList::realValue(const ObjectInfo& object) const {
    require(object, Kind::Real, "a real");
    const uint64_t raw = readSizedInteger(object.payload, static_cast<unsigned>(object.count));
    if (object.count == 4) {
        float f;
        const auto bits = static_cast<uint32_t>(raw);
        std::memcpy(&f, &bits, sizeof f);
        return {static_cast<double>(f), true};
    }
    double d;
    std::memcpy(&d, &raw, sizeof d);
    return {d, false};
}

double BinaryPropertyList::dateValue(const ObjectInfo& object) const {
    require(object, Kind::Date, "a date");
    const uint64_t raw = readSizedInteger(object.payload, 8);
    double d;
    std::memcpy(&d, &raw, sizeof d);
    return d;
}

Bytes BinaryPropertyList::dataValue(const ObjectInfo& object) const {
    require(object, Kind::Data, "data");
    return {owner_, bytes_.subspan(object.payload, object.count)};
}

void appendUTF16AsUTF8(std::string& out, const uint16_t* units, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

std::string_view BinaryPropertyList::asciiStringView(const ObjectInfo& object) const {
    require(object, Kind::String, "a string");
    if (object.isUTF16) fail(describeRef(object.ref) + " is not an ASCII string");
    const uint8_t* payload = bytes_.data() + object.payload;
    // CoreFoundation decodes these bytes as ASCII and fails the parse if that fails.
    for (uint64_t i = 0; i < object.count; ++i)
        if (payload[i] >= 0x80)
            fail(describeRef(object.ref) + " is an ASCII string with a non-ASCII byte");
    return {reinterpret_cast<const char*>(payload), object.count};
}

std::string BinaryPropertyList::stringValue(const ObjectInfo& object) const {
    if (!object.isUTF16) return std::string(asciiStringView(object));
    const uint8_t* payload = bytes_.data() + object.payload;
    std::string out;
    std::vector<uint16_t> units(object.count);
    for (uint64_t i = 0; i < object.count; ++i)
        units[i] = static_cast<uint16_t>((payload[2 * i] << 8) | payload[2 * i + 1]);
    out.reserve(object.count);
    appendUTF16AsUTF8(out, units.data(), units.size());
    return out;
}

bool BinaryPropertyList::stringEquals(const ObjectInfo& object, std::string_view utf8) const {
    if (object.kind != Kind::String) return false;
    if (!object.isUTF16) return object.count == utf8.size() && asciiStringView(object) == utf8;
    // A UTF-16 string has at least as many UTF-8 bytes as units, at most three per unit.
    if (utf8.size() < object.count || utf8.size() > 3 * object.count) return false;
    return stringValue(object) == utf8;
}

uint64_t BinaryPropertyList::uidValue(const ObjectInfo& object) const {
    require(object, Kind::UID, "a UID");
    if (object.count > 8) fail(describeRef(object.ref) + " is a UID wider than 8 bytes");
    const uint64_t value = readSizedInteger(object.payload, static_cast<unsigned>(object.count));
    if (value > UINT32_MAX) fail(describeRef(object.ref) + " is a UID above 2^32 - 1");
    return value;
}

uint64_t BinaryPropertyList::elementRef(const ObjectInfo& collection, uint64_t index) const {
    if (collection.kind != Kind::Array && collection.kind != Kind::Set)
        fail(describeRef(collection.ref) + " is not an array");
    if (index >= collection.count)
        fail(describeRef(collection.ref) + " has no element " + std::to_string(index));
    return readRef(collection.payload + index * objectRefSize_);
}

uint64_t BinaryPropertyList::keyRef(const ObjectInfo& dictionary, uint64_t index) const {
    require(dictionary, Kind::Dictionary, "a dictionary");
    if (index >= dictionary.count)
        fail(describeRef(dictionary.ref) + " has no entry " + std::to_string(index));
    return readRef(dictionary.payload + index * objectRefSize_);
}

uint64_t BinaryPropertyList::valueRef(const ObjectInfo& dictionary, uint64_t index) const {
    require(dictionary, Kind::Dictionary, "a dictionary");
    if (index >= dictionary.count)
        fail(describeRef(dictionary.ref) + " has no entry " + std::to_string(index));
    return readRef(dictionary.payload + (dictionary.count + index) * objectRefSize_);
}

std::optional<uint64_t> BinaryPropertyList::lookup(const ObjectInfo& dictionary,
                                                   std::string_view key) const {
    require(dictionary, Kind::Dictionary, "a dictionary");
    for (uint64_t i = 0; i < dictionary.count; ++i) {
        if (stringEquals(object(keyRef(dictionary, i)), key)) return valueRef(dictionary, i);
    }
    return std::nullopt;
}

}  // namespace plist
