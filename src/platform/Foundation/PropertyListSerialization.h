#pragma once
// Opens property-list bytes of either format as a BinaryPropertyList: binary lists are read in
// place; XML lists are parsed and converted to binary form in memory, so that one reader serves
// both.

#include <memory>

#include "BinaryPropertyList.h"
#include "NSData.h"

#pragma GCC visibility push(default)  // exported from libVantler

namespace plist {

// Raises NSException (NSInvalidArgumentException) when the bytes are neither format or malformed.
std::unique_ptr<BinaryPropertyList> openPropertyList(const NSData& data);

}  // namespace plist

#pragma GCC visibility pop
