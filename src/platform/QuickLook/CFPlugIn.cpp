// CoreFoundation's UUID objects, constant strings and plug-in instance counts, for the
// generator plug-in and the host in one process.

#include "CFPlugIn.h"

#include <array>
#include <atomic>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_set>

#include "CFPlugInPrivate.h"

struct __CFUUID {
    CFUUIDBytes bytes;
    bool constant;                // interned by CFUUIDGetConstantUUIDWithBytes, never freed
    std::atomic<uint32_t> count;  // references; unused for constants
};

namespace {

using UUIDKey = std::array<uint8_t, 16>;

UUIDKey keyOf(const CFUUIDBytes& bytes) {
    UUIDKey key;
    std::memcpy(key.data(), &bytes, key.size());
    return key;
}

// Every live UUID object, so that CFRetain, CFRelease and CFEqual can tell a UUID from the other
// objects that CoreFoundation's callers may hand them (CFTypeRef is any object).
struct UUIDRegistry {
    std::mutex mutex;
    std::unordered_set<const __CFUUID*> live;
    std::map<UUIDKey, const __CFUUID*> constants;
};

UUIDRegistry& registry() {
    static auto* r = new UUIDRegistry;  // kept until the process ends: constants outlive everything
    return *r;
}

bool isUUID(CFTypeRef object) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return r.live.contains(static_cast<const __CFUUID*>(object));
}

CFUUIDRef makeUUID(const CFUUIDBytes& bytes) {
    auto* uuid = new __CFUUID{bytes, false, 1};
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.live.insert(uuid);
    return uuid;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
    return -1;
}

// How many instances of each factory are live (CFPlugInGetInstanceCountForFactory).
struct FactoryCounts {
    std::mutex mutex;
    std::map<UUIDKey, uint32_t> counts;
};

FactoryCounts& factoryCounts() {
    static auto* counts = new FactoryCounts;
    return *counts;
}

// The innermost factory recorder of this thread (CFPlugInPrivate.h), or none.
thread_local CFPlugInFactoryRecorder* currentRecorder = nullptr;

}  // namespace

extern "C" {

CFStringRef __CFStringMakeConstantString(const char* cStr) {
    if (!cStr) return nullptr;
    struct Strings {
        std::mutex mutex;
        std::map<std::string, std::unique_ptr<NSString>, std::less<>> byText;
    };
    static auto* strings = new Strings;  // constant strings live as long as the process
    std::lock_guard lock(strings->mutex);
    auto& slot = strings->byText[cStr];
    if (!slot) slot = std::make_unique<NSString>(std::string(cStr));
    return slot.get();
}

CFUUIDRef CFUUIDCreateFromString(CFAllocatorRef, CFStringRef uuidString) {
    if (!uuidString) return nullptr;
    const std::string& text = uuidString->UTF8String();
    // 8-4-4-4-12 hex digits.
    if (text.size() != 36) return nullptr;
    uint8_t bytes[16];
    size_t n = 0;
    for (size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') return nullptr;
            ++i;
            continue;
        }
        const int high = hexValue(text[i]), low = hexValue(text[i + 1]);
        if (high < 0 || low < 0) return nullptr;
        bytes[n++] = static_cast<uint8_t>(high << 4 | low);
        i += 2;
    }
    CFUUIDBytes uuidBytes;
    std::memcpy(&uuidBytes, bytes, sizeof bytes);
    return makeUUID(uuidBytes);
}

CFUUIDRef CFUUIDCreateFromUUIDBytes(CFAllocatorRef, CFUUIDBytes bytes) {
    return makeUUID(bytes);
}

CFUUIDRef CFUUIDGetConstantUUIDWithBytes(CFAllocatorRef, uint8_t byte0, uint8_t byte1,
                                         uint8_t byte2, uint8_t byte3, uint8_t byte4, uint8_t byte5,
                                         uint8_t byte6, uint8_t byte7, uint8_t byte8, uint8_t byte9,
                                         uint8_t byte10, uint8_t byte11, uint8_t byte12,
                                         uint8_t byte13, uint8_t byte14, uint8_t byte15) {
    const CFUUIDBytes bytes{byte0, byte1, byte2,  byte3,  byte4,  byte5,  byte6,  byte7,
                            byte8, byte9, byte10, byte11, byte12, byte13, byte14, byte15};
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto& slot = r.constants[keyOf(bytes)];
    if (!slot) {
        slot = new __CFUUID{bytes, true, 1};
        r.live.insert(slot);
    }
    return slot;
}

CFUUIDBytes CFUUIDGetUUIDBytes(CFUUIDRef uuid) {
    if (!uuid) return CFUUIDBytes{};
    return uuid->bytes;
}

CFTypeRef CFRetain(CFTypeRef object) {
    if (object && isUUID(object)) {
        auto* uuid = const_cast<__CFUUID*>(static_cast<const __CFUUID*>(object));
        if (!uuid->constant) uuid->count.fetch_add(1, std::memory_order_relaxed);
    }
    return object;
}

void CFRelease(CFTypeRef object) {
    if (!object || !isUUID(object)) return;
    auto* uuid = const_cast<__CFUUID*>(static_cast<const __CFUUID*>(object));
    if (uuid->constant || uuid->count.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        r.live.erase(uuid);
    }
    delete uuid;
}

Boolean CFEqual(CFTypeRef a, CFTypeRef b) {
    if (a == b) return a != nullptr;
    if (!a || !b || !isUUID(a) || !isUUID(b)) return false;
    const auto* x = static_cast<const __CFUUID*>(a);
    const auto* y = static_cast<const __CFUUID*>(b);
    return std::memcmp(&x->bytes, &y->bytes, sizeof x->bytes) == 0;
}

void CFPlugInAddInstanceForFactory(CFUUIDRef factoryID) {
    if (!factoryID) return;
    {
        auto& f = factoryCounts();
        std::lock_guard lock(f.mutex);
        ++f.counts[keyOf(factoryID->bytes)];
    }
    if (currentRecorder) currentRecorder->record(factoryID);
}

void CFPlugInRemoveInstanceForFactory(CFUUIDRef factoryID) {
    if (!factoryID) return;
    auto& f = factoryCounts();
    std::lock_guard lock(f.mutex);
    const auto it = f.counts.find(keyOf(factoryID->bytes));
    if (it == f.counts.end()) return;  // a removal without an addition: nothing to take away
    if (--it->second == 0) f.counts.erase(it);
}

uint32_t CFPlugInGetInstanceCountForFactory(CFUUIDRef factoryID) {
    if (!factoryID) return 0;
    auto& f = factoryCounts();
    std::lock_guard lock(f.mutex);
    const auto it = f.counts.find(keyOf(factoryID->bytes));
    return it == f.counts.end() ? 0 : it->second;
}

}  // extern "C"

CFPlugInFactoryRecorder::CFPlugInFactoryRecorder() : outer_(currentRecorder) {
    currentRecorder = this;
}

CFPlugInFactoryRecorder::~CFPlugInFactoryRecorder() {
    currentRecorder = outer_;
    CFRelease(factoryID_);
}

void CFPlugInFactoryRecorder::record(CFUUIDRef factoryID) {
    if (factoryID_) return;  // the first registration names the plug-in's factory
    factoryID_ = static_cast<CFUUIDRef>(CFRetain(factoryID));
}

CFUUIDRef CFPlugInFactoryRecorder::copyFactoryID() const {
    return static_cast<CFUUIDRef>(CFRetain(factoryID_));
}
