#include "NSData.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "FileMappingGuard.h"
#include "NSCoder.h"
#include "NSException.h"

namespace {

// A read-only mapping of a whole file, guarded against the file shrinking under it
// (FileMappingGuard.h), unmapped when the last data object sharing it goes away.
struct FileMapping {
    void* address = nullptr;
    size_t length = 0;
    ~FileMapping() {
        if (!address) return;
        unguardMapping(address);
        munmap(address, length);
    }
};

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

std::shared_ptr<NSData> readWhole(int fd, size_t size) {
    std::vector<uint8_t> bytes(size);
    size_t done = 0;
    while (done < size) {
        ssize_t n = read(fd, bytes.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // the file shrank under us: keep what is there
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    return NSData::dataWithVector(std::move(bytes));
}

}  // namespace

std::shared_ptr<NSData> NSData::dataWithBytes_length(const void* bytes, size_t length) {
    const auto* begin = static_cast<const uint8_t*>(bytes);
    return dataWithVector(std::vector<uint8_t>(begin, begin + length));
}

std::shared_ptr<NSData> NSData::dataWithVector(std::vector<uint8_t> bytes) {
    auto owner = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
    std::span<const uint8_t> view(owner->data(), owner->size());
    return std::make_shared<NSData>(std::move(owner), view);
}

std::shared_ptr<NSData> NSData::dataWithContentsOfFile_options(const std::string& path,
                                                               unsigned options) {
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return nullptr;
    struct stat info {};
    if (fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
    const auto size = static_cast<size_t>(info.st_size);
    const bool mapped = options & (NSDataReadingMappedIfSafe | NSDataReadingMappedAlways);
    if (!mapped || size == 0) return readWhole(fd.get(), size);

    void* address = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd.get(), 0);
    if (address == MAP_FAILED) return readWhole(fd.get(), size);
    if (!guardMapping(address, size)) {
        munmap(address, size);
        return readWhole(fd.get(), size);
    }
    auto mapping = std::make_shared<FileMapping>();
    mapping->address = address;
    mapping->length = size;
    std::span<const uint8_t> view(static_cast<const uint8_t*>(address), size);
    return std::make_shared<NSData>(std::move(mapping), view);
}

std::shared_ptr<NSData> NSData::subdataWithRange(size_t offset, size_t length) const {
    const auto all = span();
    if (offset > all.size() || length > all.size() - offset)
        NSException::raise(NSRangeException, "subdataWithRange: range lies outside the data");
    // A mutable data object owns its bytes itself; a slice of it copies them.
    if (!owner_) return dataWithBytes_length(all.data() + offset, length);
    return std::make_shared<NSData>(owner_, all.subspan(offset, length));
}

bool NSData::isEqual(const NSObject& other) const {
    const auto* data = dynamic_cast<const NSData*>(&other);
    if (!data) return false;
    const auto a = span(), b = data->span();
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

size_t NSData::hash() const {
    // Foundation hashes at most the first 80 bytes; so do we, which keeps hashing large images
    // cheap.
    const auto bytes = span();
    size_t h = bytes.size();
    for (size_t i = 0; i < bytes.size() && i < 80; ++i) h = h * 31 + bytes[i];
    return h;
}

// A plain NSData is stored directly in $objects; NSKeyedArchiver never calls these for it. They
// serve a recorded class of NSData that is not the plain form (a subclass's "$classes" hint).
void NSData::encodeWithCoder(NSCoder& coder) const {
    coder.encodeBytes_length_forKey(bytes(), length(), "NS.data");
}

bool NSData::initWithCoder(NSCoder& coder) {
    size_t length = 0;
    const uint8_t* bytes = coder.decodeBytesForKey_returnedLength("NS.data", &length);
    auto copy = dataWithBytes_length(bytes, length);
    owner_ = copy->owner_;
    bytes_ = copy->bytes_;
    return true;
}

void NSMutableData::appendBytes_length(const void* bytes, size_t length) {
    const auto* begin = static_cast<const uint8_t*>(bytes);
    storage_.insert(storage_.end(), begin, begin + length);
}

void NSMutableData::encodeWithCoder(NSCoder& coder) const {
    coder.encodeBytes_length_forKey(storage_.data(), storage_.size(), "NS.data");
}

bool NSMutableData::initWithCoder(NSCoder& coder) {
    size_t length = 0;
    const uint8_t* bytes = coder.decodeBytesForKey_returnedLength("NS.data", &length);
    storage_.assign(bytes, bytes + length);
    return true;
}
