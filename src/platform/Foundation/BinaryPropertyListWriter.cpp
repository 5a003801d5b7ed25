#include "BinaryPropertyListWriter.h"

#include <bit>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ArchiveLimits.h"
#include "NSException.h"
#include "QuickTextHash.h"

namespace plist {
namespace {

unsigned byteWidth(uint64_t value) {
    if (value < (1ull << 8)) return 1;
    if (value < (1ull << 16)) return 2;
    if (value < (1ull << 32)) return 4;
    return 8;
}

void appendBigEndian(std::vector<uint8_t>& out, uint64_t value, unsigned width) {
    for (unsigned i = width; i-- > 0;) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// UTF-8 to UTF-16 code units; an invalid or overlong sequence becomes U+FFFD.
std::vector<uint16_t> utf16Units(const std::string& utf8) {
    std::vector<uint16_t> units;
    units.reserve(utf8.size());
    const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
    const size_t n = utf8.size();
    size_t i = 0;
    while (i < n) {
        uint32_t c = s[i];
        unsigned extra = 0;
        uint32_t smallest = 0;
        if (c >= 0x80) {
            if ((c & 0xE0) == 0xC0)
                extra = 1, c &= 0x1F, smallest = 0x80;
            else if ((c & 0xF0) == 0xE0)
                extra = 2, c &= 0x0F, smallest = 0x800;
            else if ((c & 0xF8) == 0xF0)
                extra = 3, c &= 0x07, smallest = 0x10000;
            else
                extra = 4;  // not a lead byte
        }
        bool valid = extra < 4 && n - i - 1 >= extra;
        for (unsigned k = 1; valid && k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                valid = false;
            else
                c = (c << 6) | (s[i + k] & 0x3F);
        }
        if (!valid || c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            units.push_back(0xFFFD);
            ++i;
            continue;
        }
        i += extra + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            units.push_back(static_cast<uint16_t>(0xD800 + (c >> 10)));
            units.push_back(static_cast<uint16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            units.push_back(static_cast<uint16_t>(c));
        }
    }
    return units;
}

bool isASCII(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

class Writer {
    // One object of the table: the value, and for a collection where its references lie in refs_.
    struct Flattened {
        const Value* value;
        uint64_t firstRef;
        uint64_t refCount;
    };

  public:
    std::vector<uint8_t> write(const Value& root) {
        flatten(root, 0);
        const uint64_t count = objects_.size();
        refSize_ = byteWidth(count);

        out_.assign({'b', 'p', 'l', 'i', 's', 't', '0', '0'});
        // Most objects are numbers, references and short keys: about ten bytes each, one offset,
        // and the references of the collections; growing past that is rare.
        out_.reserve(objects_.size() * (10 + 8) + refs_.size() * refSize_);
        std::vector<uint64_t> offsets;
        offsets.reserve(count);
        for (const Flattened& object : objects_) {
            offsets.push_back(out_.size());
            writeObject(object);
        }
        const uint64_t tableOffset = out_.size();
        const unsigned offsetSize = byteWidth(tableOffset);
        for (uint64_t offset : offsets) appendBigEndian(out_, offset, offsetSize);
        // Trailer: 5 unused bytes, the sort version, the two widths, count, top object, table
        // offset.
        out_.insert(out_.end(), 6, 0);
        out_.push_back(static_cast<uint8_t>(offsetSize));
        out_.push_back(static_cast<uint8_t>(refSize_));
        appendBigEndian(out_, count, 8);
        appendBigEndian(out_, 0, 8);
        appendBigEndian(out_, tableOffset, 8);
        return std::move(out_);
    }

  private:
    // What an equal scalar other than a string is written once under; the kind is part of it, so
    // 1, 1.0 and true are never merged.
    struct ScalarKey {
        Kind kind;
        uint64_t bits;
        bool flag;  // an unsigned integer, a 32-bit real
        bool operator==(const ScalarKey&) const = default;
    };
    struct ScalarKeyHash {
        size_t operator()(const ScalarKey& key) const {
            return std::hash<uint64_t>{}(key.bits * 0x9E3779B97F4A7C15ull ^
                                         (static_cast<uint64_t>(key.kind) << 1 | key.flag));
        }
    };
    static ScalarKey scalarKey(const Value& v) {
        switch (v.kind()) {
            case Kind::Boolean:
                return {v.kind(), v.booleanValue(), false};
            case Kind::Integer:
                return {v.kind(), v.integerValue().bits, v.integerValue().isUnsigned};
            case Kind::Real:
                return {v.kind(),
                        v.realValue().isFloat32
                            ? std::bit_cast<uint32_t>(static_cast<float>(v.realValue().value))
                            : std::bit_cast<uint64_t>(v.realValue().value),
                        v.realValue().isFloat32};
            case Kind::Date:
                return {v.kind(), std::bit_cast<uint64_t>(v.dateValue()), false};
            case Kind::UID:
                return {v.kind(), v.uidValue(), false};
            default:
                return {v.kind(), 0, false};
        }
    }

    // The index of an equal value written before, or of `v` once entered (then `isNew`).
    uint64_t uniqued(const Value& v, bool& isNew) {
        const uint64_t next = objects_.size();
        if (v.kind() == Kind::String) {
            const auto [it, added] = uniquedStrings_.try_emplace(v.stringValue(), next);
            isNew = added;
            return it->second;
        }
        const auto [it, added] = uniquedScalars_.try_emplace(scalarKey(v), next);
        isNew = added;
        return it->second;
    }

    // Assigns object indices in pre-order, dictionary keys before values (CoreFoundation's
    // _flattenPlist); returns the index of `v`. A collection's child references are gathered on
    // `pending_` while its children are flattened (theirs above them), then moved to `refs_`.
    uint64_t flatten(const Value& v, unsigned depth) {
        if (depth > ArchiveLimits::kMaxNestingDepth)
            NSException::raise(NSInvalidArgumentException,
                               "property list nests deeper than " +
                                   std::to_string(ArchiveLimits::kMaxNestingDepth) + " levels");
        const bool isCollection =
            v.kind() == Kind::Array || v.kind() == Kind::Set || v.kind() == Kind::Dictionary;
        if (!isCollection && v.kind() != Kind::Data) {
            bool isNew = false;
            const uint64_t index = uniqued(v, isNew);
            if (isNew) objects_.push_back({&v, 0, 0});
            return index;
        }
        const uint64_t index = objects_.size();
        objects_.push_back({&v, 0, 0});
        if (!isCollection) return index;

        const size_t first = pending_.size();
        if (v.kind() == Kind::Dictionary) {
            for (const auto& entry : v.entries())
                pending_.push_back(flatten(entry.first, depth + 1));
            for (const auto& entry : v.entries())
                pending_.push_back(flatten(entry.second, depth + 1));
        } else {
            for (const auto& element : v.elements())
                pending_.push_back(flatten(element, depth + 1));
        }
        objects_[index].firstRef = refs_.size();
        objects_[index].refCount = pending_.size() - first;
        refs_.insert(refs_.end(), pending_.begin() + first, pending_.end());
        pending_.resize(first);
        return index;
    }

    void writeMarkerAndLength(uint8_t marker, uint64_t length) {
        // CoreFoundation uses the long form from 15 on: the nibble 0xF, then an integer object.
        if (length < 15) {
            out_.push_back(static_cast<uint8_t>(marker | length));
            return;
        }
        out_.push_back(static_cast<uint8_t>(marker | 0x0F));
        writeUnsigned(length);
    }

    void writeUnsigned(uint64_t value) {
        const unsigned width = byteWidth(value);
        out_.push_back(static_cast<uint8_t>(0x10 | std::countr_zero(width)));
        appendBigEndian(out_, value, width);
    }

    void writeObject(const Flattened& object) {
        const Value& v = *object.value;
        switch (v.kind()) {
            case Kind::Null:
                out_.push_back(0x00);
                break;
            case Kind::Boolean:
                out_.push_back(v.booleanValue() ? 0x09 : 0x08);
                break;
            case Kind::Integer: {
                const Integer i = v.integerValue();
                if (i.isUnsigned) {
                    // Above INT64_MAX: 16 bytes, the high 8 zero.
                    out_.push_back(0x14);
                    appendBigEndian(out_, 0, 8);
                    appendBigEndian(out_, i.bits, 8);
                } else if (i.signedValue() < 0 || i.bits > UINT32_MAX) {
                    out_.push_back(0x13);
                    appendBigEndian(out_, i.bits, 8);
                } else {
                    writeUnsigned(i.bits);
                }
                break;
            }
            case Kind::Real:
                if (v.realValue().isFloat32) {
                    out_.push_back(0x22);
                    appendBigEndian(
                        out_, std::bit_cast<uint32_t>(static_cast<float>(v.realValue().value)), 4);
                } else {
                    out_.push_back(0x23);
                    appendBigEndian(out_, std::bit_cast<uint64_t>(v.realValue().value), 8);
                }
                break;
            case Kind::Date:
                out_.push_back(0x33);
                appendBigEndian(out_, std::bit_cast<uint64_t>(v.dateValue()), 8);
                break;
            case Kind::Data: {
                const auto bytes = v.dataValue().bytes;
                writeMarkerAndLength(0x40, bytes.size());
                out_.insert(out_.end(), bytes.begin(), bytes.end());
                break;
            }
            case Kind::String: {
                const std::string& s = v.stringValue();
                if (isASCII(s)) {
                    writeMarkerAndLength(0x50, s.size());
                    out_.insert(out_.end(), s.begin(), s.end());
                } else {
                    const auto units = utf16Units(s);
                    writeMarkerAndLength(0x60, units.size());
                    for (uint16_t unit : units) appendBigEndian(out_, unit, 2);
                }
                break;
            }
            case Kind::UID: {
                const unsigned width = byteWidth(v.uidValue());
                out_.push_back(static_cast<uint8_t>(0x80 | (width - 1)));
                appendBigEndian(out_, v.uidValue(), width);
                break;
            }
            case Kind::Array:
            case Kind::Set:
            case Kind::Dictionary: {
                const uint8_t marker = v.kind() == Kind::Array ? 0xA0
                                       : v.kind() == Kind::Set ? 0xC0
                                                               : 0xD0;
                writeMarkerAndLength(
                    marker, v.kind() == Kind::Dictionary ? object.refCount / 2 : object.refCount);
                for (uint64_t i = 0; i < object.refCount; ++i)
                    appendBigEndian(out_, refs_[object.firstRef + i], refSize_);
                break;
            }
        }
    }

    std::vector<Flattened> objects_;
    std::vector<uint64_t> refs_;
    std::vector<uint64_t> pending_;
    // Strings are keyed by their text in the values, which outlive the writer.
    struct TextHash {
        size_t operator()(std::string_view text) const { return quickTextHash(text); }
    };
    std::unordered_map<std::string_view, uint64_t, TextHash> uniquedStrings_;
    std::unordered_map<ScalarKey, uint64_t, ScalarKeyHash> uniquedScalars_;
    std::vector<uint8_t> out_;
    unsigned refSize_ = 1;
};

}  // namespace

std::vector<uint8_t> writeBinaryPropertyList(const Value& root) {
    return Writer().write(root);
}

}  // namespace plist
