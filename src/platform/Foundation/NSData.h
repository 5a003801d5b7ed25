#pragma once
// Immutable bytes. The bytes are shared, never copied between data objects: a slice of a mapped
// file keeps the mapping alive, so bytes a decoder handed out outlive the decoder.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSURL;

// NSDataReadingOptions
enum NSDataReadingOptions : unsigned {
    NSDataReadingMappedIfSafe = 1u << 0,
    NSDataReadingUncached = 1u << 1,
    NSDataReadingMappedAlways = 1u << 3,
};

class NSData : public NSObject {
  public:
    NS_CLASS_RECORD("NSData", NSObject::objcClass())

    NSData() = default;
    // Shares bytes owned elsewhere: `owner` keeps `bytes` alive.
    NSData(std::shared_ptr<const void> owner, std::span<const uint8_t> bytes)
        : owner_(std::move(owner)), bytes_(bytes) {}

    static std::shared_ptr<NSData> dataWithBytes_length(const void* bytes, size_t length);
    static std::shared_ptr<NSData> dataWithVector(std::vector<uint8_t> bytes);
    // The whole file at `path`, or none when it can't be read. With NSDataReadingMappedIfSafe or
    // NSDataReadingMappedAlways a regular file is mapped read-only instead of copied; should the
    // file shrink while it is mapped, the bytes past its new end read as zeros
    // (FileMappingGuard.h).
    static std::shared_ptr<NSData> dataWithContentsOfFile_options(const std::string& path,
                                                                  unsigned options);
    // File URLs (NSData+Files.cpp): the whole file a file URL names, read into memory; none for a
    // URL of another scheme or a file that can't be read.
    static std::shared_ptr<NSData> dataWithContentsOfURL(const NSURL& url);
    // Writes the bytes to the file at `path`, replacing what is there; false on failure. With
    // useAuxiliaryFile, into a new file in the same directory that is then renamed over the path,
    // so that the path holds either the old file or all of the new bytes, and a failure leaves
    // nothing behind; without, in place.
    bool writeToFile_atomically(const std::string& path, bool useAuxiliaryFile) const;
    // The same for a file URL; false for a URL of another scheme.
    bool writeToURL_atomically(const NSURL& url, bool atomically) const;

    virtual std::span<const uint8_t> span() const { return bytes_; }
    const uint8_t* bytes() const { return span().data(); }
    size_t length() const { return span().size(); }
    // A data object sharing bytes [offset, offset + length) of this one; the range must lie inside.
    std::shared_ptr<NSData> subdataWithRange(size_t offset, size_t length) const;

    bool isEqual(const NSObject& other) const override;
    size_t hash() const override;

    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

  protected:
    std::shared_ptr<const void> owner_;
    std::span<const uint8_t> bytes_;
};

// Growable bytes (archived as {NS.data: <inline data>}, Apple's NSMutableData form).
class NSMutableData : public NSData {
  public:
    NS_CLASS_RECORD("NSMutableData", NSData::objcClass())

    static std::shared_ptr<NSMutableData> data() { return std::make_shared<NSMutableData>(); }

    std::span<const uint8_t> span() const override { return storage_; }
    std::vector<uint8_t>& mutableBytes() { return storage_; }
    void appendBytes_length(const void* bytes, size_t length);
    void setData(std::vector<uint8_t> bytes) { storage_ = std::move(bytes); }

    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

  private:
    std::vector<uint8_t> storage_;
};

#pragma GCC visibility pop
