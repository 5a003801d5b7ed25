#pragma once
// XML property lists are parsed with libxml2, which brings ICU: together they cost a process a few
// milliseconds of loading, and documents are binary lists. So the parser lives in a module of its
// own (VantlerXML.so), loaded the first time an XML list is read (XMLPropertyList.cpp).

#include <cstdint>
#include <span>
#include <string>

#include "LoadableModule.h"
#include "PropertyListValue.h"

#pragma GCC visibility push(default)  // exported from libVantler

namespace plist {

inline constexpr const char* kXMLModuleFile = "VantlerXML.so";
inline constexpr const char* kXMLModuleEntry = "VantlerXMLModule";

struct XMLModule {
    // As parseXMLPropertyList, for bytes within the size limits (XMLPropertyListParser.cpp).
    Value (*parse)(std::span<const uint8_t> bytes);
};

// Raises NSInvalidArgumentException with "XML property list: " and the reason; both sides report
// malformed input through it.
[[noreturn]] void raiseXMLPropertyListError(const std::string& reason);

// The table, loading the module on the first call; null when it cannot be loaded.
inline const XMLModule* xmlModule() {
    return LoadableModule::table<XMLModule>(kXMLModuleFile, kXMLModuleEntry);
}

}  // namespace plist

#pragma GCC visibility pop
