#include "NSProcessInfo.h"

#include <unistd.h>

#include <atomic>
#include <cinttypes>
#include <cstdio>

#include "NSUUID.h"

const std::shared_ptr<NSProcessInfo>& NSProcessInfo::processInfo() {
    static const auto& info =
        *new std::shared_ptr<NSProcessInfo>(std::make_shared<NSProcessInfo>());
    return info;
}

int NSProcessInfo::processIdentifier() const {
    return static_cast<int>(getpid());
}

std::string NSProcessInfo::globallyUniqueString() const {
    // The UUID is random; the sequence number makes two strings of one process differ even if two
    // UUIDs ever collided, and the process identifier separates processes that share a sequence.
    static std::atomic<uint64_t> sequence{0};
    const uint64_t number = sequence.fetch_add(1, std::memory_order_relaxed);
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, "-%d-%016" PRIX64, processIdentifier(), number);
    return NSUUID::UUID()->UUIDString() + suffix;
}

NSOperatingSystemVersion NSProcessInfo::operatingSystemVersion() const {
    return {10, 14, 0};
}

bool NSProcessInfo::isOperatingSystemAtLeastVersion(NSOperatingSystemVersion version) const {
    const NSOperatingSystemVersion own = operatingSystemVersion();
    if (own.majorVersion != version.majorVersion) return own.majorVersion > version.majorVersion;
    if (own.minorVersion != version.minorVersion) return own.minorVersion > version.minorVersion;
    return own.patchVersion >= version.patchVersion;
}
