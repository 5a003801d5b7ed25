// XML property lists: recognised and held to their size limits here; parsed by the XML module
// (XMLPropertyListModule.h).

#include "XMLPropertyList.h"

#include <algorithm>

#include "ArchiveLimits.h"
#include "NSException.h"
#include "XMLPropertyListModule.h"

namespace plist {

void raiseXMLPropertyListError(const std::string& reason) {
    NSException::raise(NSInvalidArgumentException, "XML property list: " + reason);
}

bool looksLikeXMLPropertyList(std::span<const uint8_t> bytes) {
    // Skip a UTF-8 byte-order mark and white space; an XML list starts with "<".
    size_t i = 0;
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) i = 3;
    while (i < bytes.size() &&
           (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    return i < bytes.size() && bytes[i] == '<';
}

Value parseXMLPropertyList(std::span<const uint8_t> bytes) {
    if (bytes.size() > ArchiveLimits::kMaxXMLPropertyListBytes)
        raiseXMLPropertyListError("file is larger than 256 MiB");
    // Every tag, comment and declaration begins with "<"; counting them bounds the parse's memory.
    if (static_cast<uint64_t>(std::count(bytes.begin(), bytes.end(), '<')) >
        ArchiveLimits::kMaxXMLTags)
        raiseXMLPropertyListError("file holds more than 2000000 tags");
    const XMLModule* module = xmlModule();
    if (!module) raiseXMLPropertyListError("cannot be read: the XML module could not be loaded");
    return module->parse(bytes);
}

}  // namespace plist
