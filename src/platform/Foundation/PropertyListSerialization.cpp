#include "PropertyListSerialization.h"

#include "BinaryPropertyListWriter.h"
#include "NSException.h"
#include "XMLPropertyList.h"

namespace plist {

std::unique_ptr<BinaryPropertyList> openPropertyList(const NSData& data) {
    const auto bytes = data.span();
    if (BinaryPropertyList::hasBinaryHeader(bytes)) {
        // Keep the data object's bytes alive through an owner that shares the data object itself.
        auto owner = std::static_pointer_cast<const void>(data.shared_from_this());
        return std::make_unique<BinaryPropertyList>(std::move(owner), bytes);
    }
    if (looksLikeXMLPropertyList(bytes)) {
        auto converted = std::make_shared<const std::vector<uint8_t>>(
            writeBinaryPropertyList(parseXMLPropertyList(bytes)));
        std::span<const uint8_t> view(converted->data(), converted->size());
        return std::make_unique<BinaryPropertyList>(std::move(converted), view);
    }
    NSException::raise(NSInvalidArgumentException,
                       "data is not a property list (neither binary nor XML)");
}

}  // namespace plist
