#include "PropertyListDictionary.h"

#include "ArchiveLimits.h"
#include "NSException.h"

namespace plist {
namespace {
// Keys are asked for by code, never longer than this; longer keys in a file are not indexed.
constexpr size_t kMaxIndexedKeyBytes = 256;
}  // namespace

PropertyListDictionary::PropertyListDictionary(const BinaryPropertyList& list,
                                               const ObjectInfo& dictionary)
    : list_(&list), dictionary_(dictionary) {
    if (dictionary.kind != Kind::Dictionary)
        NSException::raise(NSInvalidArgumentException, "binary property list: object " +
                                                           std::to_string(dictionary.ref) +
                                                           " is not a dictionary");
}

std::optional<uint64_t> PropertyListDictionary::lookup(std::string_view key) {
    if (dictionary_.count <= ArchiveLimits::kLinearKeyScanLimit || key.size() > kMaxIndexedKeyBytes)
        return list_->lookup(dictionary_, key);
    if (!index_) {
        index_.emplace();
        index_->reserve(dictionary_.count);
        for (uint64_t i = 0; i < dictionary_.count; ++i) {
            const ObjectInfo keyObject = list_->object(list_->keyRef(dictionary_, i));
            // Only string keys short enough to be asked for can match.
            if (keyObject.kind != Kind::String || keyObject.count > kMaxIndexedKeyBytes) continue;
            std::string_view text;
            if (keyObject.isUTF16)
                text = convertedKeys_.emplace_back(list_->stringValue(keyObject));
            else
                text = list_->asciiStringView(keyObject);
            index_->emplace(text, list_->valueRef(dictionary_, i));
        }
    }
    auto it = index_->find(key);
    if (it == index_->end()) return std::nullopt;
    return it->second;
}

}  // namespace plist
