#pragma once
// A 128-bit universally unique identifier, archived as {NS.uuidbytes: <16 inline bytes>}.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSUUID : public NSObject {
  public:
    using Bytes = std::array<uint8_t, 16>;

    NS_CLASS_RECORD("NSUUID", NSObject::objcClass())

    // A new random (version 4) identifier.
    static std::shared_ptr<NSUUID> UUID();
    static std::shared_ptr<NSUUID> initWithUUIDBytes(const Bytes& bytes);
    // From "E621E1F8-C36C-495A-93FC-0C247A3E6E5F" (either case); none when malformed.
    static std::shared_ptr<NSUUID> initWithUUIDString(std::string_view text);

    const Bytes& uuidBytes() const { return bytes_; }
    std::string UUIDString() const;  // upper case, as Foundation prints it

    bool isEqual(const NSObject& other) const override;
    size_t hash() const override;

    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

  private:
    Bytes bytes_{};
};

#pragma GCC visibility pop
