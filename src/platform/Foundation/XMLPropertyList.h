#pragma once
// Reads an XML property list (Apple's "plist" DTD) through libxml2 into a Value tree. A dictionary
// whose only entry is "CF$UID" with an integer is a UID, as CoreFoundation's XML parser reads it.
// No network, no external entities, no entity expansion; nesting is bounded like binary lists.
// Malformed input raises NSException (NSInvalidArgumentException) with the reason.

#include <cstdint>
#include <span>

#include "PropertyListValue.h"

#pragma GCC visibility push(default)  // exported from libVantler

namespace plist {

bool looksLikeXMLPropertyList(std::span<const uint8_t> bytes);
Value parseXMLPropertyList(std::span<const uint8_t> bytes);

}  // namespace plist

#pragma GCC visibility pop
