#pragma once
// Foundation's NSProcessInfo, reduced to what the system uses: the process identifier, globally
// unique strings (image assets name the private copies of media files with them), and the
// operating system's version as callers that ask for platform features read it.

#include <cstdint>
#include <memory>
#include <string>

#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

struct NSOperatingSystemVersion {
    int64_t majorVersion = 0;
    int64_t minorVersion = 0;
    int64_t patchVersion = 0;
};

class NSProcessInfo : public NSObject {
  public:
    NS_CLASS_RECORD("NSProcessInfo", NSObject::objcClass())

    // The process's object, made on first use and never destroyed.
    static const std::shared_ptr<NSProcessInfo>& processInfo();

    int processIdentifier() const;
    // A new string on every call: never the same twice in one process, and in practice unique
    // across processes and machines (Apple's form: a random UUID, the process identifier and a
    // per-process sequence number in 16 hex digits,
    // "E621E1F8-C36C-495A-93FC-0C247A3E6E5F-4242-000000000000002A"). Safe in file names.
    // Thread-safe.
    std::string globallyUniqueString() const;

    // The version of the platform whose interfaces the stand-ins provide, not the kernel's: a
    // caller that asks "at least 10.14?" asks whether appearances and the dark mode exist, and
    // here they do.
    NSOperatingSystemVersion operatingSystemVersion() const;
    bool isOperatingSystemAtLeastVersion(NSOperatingSystemVersion version) const;
};

#pragma GCC visibility pop
