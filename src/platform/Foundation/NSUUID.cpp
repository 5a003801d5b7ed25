#include "NSUUID.h"

#include <cstring>
#include <random>

#include "NSCoder.h"
#include "NSException.h"

std::shared_ptr<NSUUID> NSUUID::UUID() {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    Bytes bytes;
    for (size_t i = 0; i < bytes.size(); i += 8) {
        const uint64_t r = generator();
        std::memcpy(bytes.data() + i, &r, 8);
    }
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return initWithUUIDBytes(bytes);
}

std::shared_ptr<NSUUID> NSUUID::initWithUUIDBytes(const Bytes& bytes) {
    auto uuid = std::make_shared<NSUUID>();
    uuid->bytes_ = bytes;
    return uuid;
}

std::shared_ptr<NSUUID> NSUUID::initWithUUIDString(std::string_view text) {
    if (text.size() != 36) return nullptr;
    Bytes bytes{};
    size_t nibble = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-') return nullptr;
            continue;
        }
        int value = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (value < 0) return nullptr;
        bytes[nibble / 2] =
            static_cast<uint8_t>(bytes[nibble / 2] | (nibble % 2 ? value : value << 4));
        ++nibble;
    }
    return initWithUUIDBytes(bytes);
}

std::string NSUUID::UUIDString() const {
    static const char* digits = "0123456789ABCDEF";
    std::string text;
    for (size_t i = 0; i < bytes_.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
        text.push_back(digits[bytes_[i] >> 4]);
        text.push_back(digits[bytes_[i] & 0x0F]);
    }
    return text;
}

bool NSUUID::isEqual(const NSObject& other) const {
    const auto* uuid = dynamic_cast<const NSUUID*>(&other);
    return uuid && uuid->bytes_ == bytes_;
}

size_t NSUUID::hash() const {
    uint64_t h;
    std::memcpy(&h, bytes_.data(), sizeof h);
    return static_cast<size_t>(h);
}

void NSUUID::encodeWithCoder(NSCoder& coder) const {
    coder.encodeBytes_length_forKey(bytes_.data(), bytes_.size(), "NS.uuidbytes");
}

bool NSUUID::initWithCoder(NSCoder& coder) {
    size_t length = 0;
    const uint8_t* bytes = coder.decodeBytesForKey_returnedLength("NS.uuidbytes", &length);
    if (length != bytes_.size())
        NSException::raise(NSInvalidUnarchiveOperationException,
                           "NS.uuidbytes holds " + std::to_string(length) + " bytes, not 16");
    std::memcpy(bytes_.data(), bytes, bytes_.size());
    return true;
}
