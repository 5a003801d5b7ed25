#pragma once
// Writes a property list as "bplist00" the way Apple's CoreFoundation writer (CFBinaryPList.c) lays
// it out: the root is object 0, objects follow in
// pre-order with dictionary keys before values, integers and references take their smallest width,
// a float32 real takes 4 bytes, strings are ASCII when they can be and UTF-16BE otherwise.
//
// Equal strings, numbers, dates and UIDs are written once (readers do not care, and keys such as
// "$class" then cost one object per archive). Arrays, sets, dictionaries and data are never merged.

#include <cstdint>
#include <vector>

#include "PropertyListValue.h"

#pragma GCC visibility push(default)  // exported from libVantler

namespace plist {

std::vector<uint8_t> writeBinaryPropertyList(const Value& root);

}  // namespace plist

#pragma GCC visibility pop
