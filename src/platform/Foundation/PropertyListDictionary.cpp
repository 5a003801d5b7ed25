#include "PropertyListDictionary.h"

#include <algorithm>
#include <cstring>

#include "ArchiveLimits.h"
#include "NSException.h"
#include "QuickTextHash.h"

namespace plist {
namespace {
// Keys are asked for by code, never longer than this; longer keys in a file can never match.
constexpr size_t kMaxKeyBytes = 256;

// A key object's text, when it is a string that can be asked for.
std::optional<std::string_view> keyText(const BinaryPropertyList& list, const ObjectInfo& key,
                                        std::list<std::string>& converted) {
    if (key.kind != Kind::String || key.count > kMaxKeyBytes) return std::nullopt;
    if (key.isUTF16) return converted.emplace_back(list.stringValue(key));
    return list.asciiStringView(key);
}
}  // namespace

PropertyListKeyNumbers::PropertyListKeyNumbers(const BinaryPropertyList& list,
                                               std::function<void(uint64_t)> charge)
    : list_(&list), charge_(std::move(charge)) {}

uint32_t PropertyListKeyNumbers::numberOfKeyObject(uint64_t ref) {
    if (numberOfRef_.empty()) {
        charge_(list_->objectCount() * sizeof(uint32_t));
        numberOfRef_.assign(list_->objectCount(), kUnread);
    }
    uint32_t& number = numberOfRef_[ref];  // `ref` comes from keyRef, inside the object table
    if (number != kUnread) return number;
    std::list<std::string> converted;
    const auto text = keyText(*list_, list_->object(ref), converted);
    if (!text) return number = kNotAKey;
    if (auto it = numberOfText_.find(*text); it != numberOfText_.end()) return number = it->second;
    charge_(ArchiveLimits::kDecodedElementOverhead + text->size());
    const auto next = static_cast<uint32_t>(numberOfText_.size() + 1);
    return number = numberOfText_.emplace(std::string(*text), next).first->second;
}

uint32_t PropertyListKeyNumbers::numberOfText(std::string_view key) const {
    Remembered& remembered = remembered_[quickTextHash(key) % remembered_.size()];
    const bool sameText = key.size() <= remembered.text.size() && remembered.size == key.size() &&
                          std::memcmp(remembered.text.data(), key.data(), key.size()) == 0;
    if (sameText &&
        (remembered.number != kNotAKey || remembered.textsKnown == numberOfText_.size()))
        return remembered.number;
    const auto it = numberOfText_.find(key);
    const uint32_t number = it == numberOfText_.end() ? kNotAKey : it->second;
    if (key.size() <= remembered.text.size()) {
        std::memcpy(remembered.text.data(), key.data(), key.size());
        remembered.size = static_cast<uint8_t>(key.size());
        remembered.number = number;
        remembered.textsKnown = numberOfText_.size();
    }
    return number;
}

PropertyListDictionary::PropertyListDictionary(const BinaryPropertyList& list,
                                               const ObjectInfo& dictionary,
                                               PropertyListKeyNumbers& numbers)
    : list_(&list), dictionary_(dictionary), numbers_(&numbers) {
    if (dictionary.kind != Kind::Dictionary)
        NSException::raise(NSInvalidArgumentException, "binary property list: object " +
                                                           std::to_string(dictionary.ref) +
                                                           " is not a dictionary");
}

std::optional<uint64_t> PropertyListDictionary::lookup(std::string_view key) {
    if (dictionary_.count > ArchiveLimits::kNumberedKeyLimit) return lookupInIndex(key);
    if (!numbered_) numberKeys();
    const uint32_t number = numbers_->numberOfText(key);
    if (number == PropertyListKeyNumbers::kNotAKey) return std::nullopt;
    for (size_t slot = number % kPositionSlots; positions_[slot] != 0;
         slot = (slot + 1) % kPositionSlots) {
        const size_t position = positions_[slot] - 1;
        if (keyNumbers_[position] == number) return list_->valueRef(dictionary_, position);
    }
    return std::nullopt;
}

void PropertyListDictionary::numberKeys() {
    positions_.fill(0);
    for (uint64_t i = 0; i < dictionary_.count; ++i) {
        const uint32_t number = numbers_->numberOfKeyObject(list_->keyRef(dictionary_, i));
        keyNumbers_[i] = number;
        if (number == PropertyListKeyNumbers::kNotAKey) continue;
        size_t slot = number % kPositionSlots;
        while (positions_[slot] != 0 && keyNumbers_[positions_[slot] - 1] != number)
            slot = (slot + 1) % kPositionSlots;
        if (positions_[slot] == 0) positions_[slot] = static_cast<uint8_t>(i + 1);
    }
    numbered_ = true;
}

std::optional<uint64_t> PropertyListDictionary::lookupInIndex(std::string_view key) {
    if (!index_) {
        index_.emplace();
        index_->reserve(dictionary_.count);
        for (uint64_t i = 0; i < dictionary_.count; ++i) {
            const auto text =
                keyText(*list_, list_->object(list_->keyRef(dictionary_, i)), convertedKeys_);
            if (text) index_->emplace(*text, list_->valueRef(dictionary_, i));
        }
    }
    auto it = index_->find(key);
    if (it == index_->end()) return std::nullopt;
    return it->second;
}

}  // namespace plist
