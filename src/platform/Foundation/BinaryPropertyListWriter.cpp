#include "BinaryPropertyListWriter.h"

#include <bit>
#include <cstring>
#include <string>
#include <unordered_map>

#include "ArchiveLimits.h"
#include "NSException.h"

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
  public:
    std::vector<uint8_t> write(const Value& root) {
        flatten(root, 0);
        const uint64_t count = objects_.size();
        refSize_ = byteWidth(count);

        out_.assign({'b', 'p', 'l', 'i', 's', 't', '0', '0'});
        std::vector<uint64_t> offsets;
        offsets.reserve(count);
        for (const Value* object : objects_) {
            offsets.push_back(out_.size());
            writeObject(*object);
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
    // The key under which an equal scalar is written once; the kind is part of it, so 1, 1.0 and
    // true are never merged.
    static std::string scalarKey(const Value& v) {
        std::string key(1, static_cast<char>(v.kind()));
        auto appendBits = [&key](uint64_t bits) {
            key.append(reinterpret_cast<const char*>(&bits), 8);
        };
        switch (v.kind()) {
            case Kind::Null:
                break;
            case Kind::Boolean:
                key.push_back(v.booleanValue() ? 1 : 0);
                break;
            case Kind::Integer:
                appendBits(v.integerValue().bits);
                key.push_back(v.integerValue().isUnsigned ? 1 : 0);
                break;
            case Kind::Real:
                appendBits(v.realValue().isFloat32
                               ? std::bit_cast<uint32_t>(static_cast<float>(v.realValue().value))
                               : std::bit_cast<uint64_t>(v.realValue().value));
                key.push_back(v.realValue().isFloat32 ? 1 : 0);
                break;
            case Kind::Date:
                appendBits(std::bit_cast<uint64_t>(v.dateValue()));
                break;
            case Kind::UID:
                appendBits(v.uidValue());
                break;
            case Kind::String:
                key += v.stringValue();
                break;
            default:
                return {};
        }
        return key;
    }

    // Assigns object indices in pre-order, dictionary keys before values (CoreFoundation's
    // _flattenPlist); returns the index of `v`.
    uint64_t flatten(const Value& v, unsigned depth) {
        if (depth > ArchiveLimits::kMaxNestingDepth)
            NSException::raise(NSInvalidArgumentException,
                               "property list nests deeper than " +
                                   std::to_string(ArchiveLimits::kMaxNestingDepth) + " levels");
        const bool isCollection =
            v.kind() == Kind::Array || v.kind() == Kind::Set || v.kind() == Kind::Dictionary;
        const bool mergeable = !isCollection && v.kind() != Kind::Data;
        std::string key;
        if (mergeable) {
            key = scalarKey(v);
            if (auto it = uniqued_.find(key); it != uniqued_.end()) return it->second;
        }
        const uint64_t index = objects_.size();
        objects_.push_back(&v);
        refs_.emplace(&v, std::vector<uint64_t>{});
        if (mergeable) uniqued_.emplace(std::move(key), index);
        if (!isCollection) return index;

        std::vector<uint64_t> children;
        if (v.kind() == Kind::Dictionary) {
            children.reserve(2 * v.entries().size());
            for (const auto& entry : v.entries())
                children.push_back(flatten(entry.first, depth + 1));
            for (const auto& entry : v.entries())
                children.push_back(flatten(entry.second, depth + 1));
        } else {
            children.reserve(v.elements().size());
            for (const auto& element : v.elements())
                children.push_back(flatten(element, depth + 1));
        }
        refs_[&v] = std::move(children);
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

    void writeObject(const Value& v) {
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
                const auto& children = refs_.at(&v);
                const uint8_t marker = v.kind() == Kind::Array ? 0xA0
                                       : v.kind() == Kind::Set ? 0xC0
                                                               : 0xD0;
                writeMarkerAndLength(
                    marker, v.kind() == Kind::Dictionary ? children.size() / 2 : children.size());
                for (uint64_t ref : children) appendBigEndian(out_, ref, refSize_);
                break;
            }
        }
    }

    std::vector<const Value*> objects_;
    std::unordered_map<const Value*, std::vector<uint64_t>> refs_;
    std::unordered_map<std::string, uint64_t> uniqued_;
    std::vector<uint8_t> out_;
    unsigned refSize_ = 1;
};

}  // namespace

std::vector<uint8_t> writeBinaryPropertyList(const Value& root) {
    return Writer().write(root);
}

}  // namespace plist
