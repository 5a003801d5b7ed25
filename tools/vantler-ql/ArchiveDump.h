#pragma once
// `vantler-ql dump`: the top-level entries and the object graph of any keyed archive, as text or
// JSON. It reads the archive's structure directly (class names, keys, values), so it needs no class
// registered; every object is printed once, in the order first referenced from $top, and referred
// to by "@UID" afterwards, so shared objects and cycles are safe.
//
// Raises NSException with the reason when the archive is malformed.

#include <string>

#include "NSData.h"

enum class DumpFormat { Text, JSON };

std::string dumpKeyedArchive(const std::shared_ptr<const NSData>& data, DumpFormat format);
