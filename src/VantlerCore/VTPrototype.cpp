#include "VTPrototype.h"

#include <algorithm>
#include <cstdio>

#include "NSArray.h"
#include "NSCoder.h"
#include "NSException.h"
#include "NSKeyedUnarchiver.h"
#include "NSString.h"
#include "VTArchivableClasses.h"
#include "VTDecodedLayers.h"
#include "VTImage.h"

namespace {

// The texts of the reading errors.
constexpr const char* kRunningLatestSuggestion =
    "Make sure you're running the latest version of Vantler";

std::shared_ptr<NSError> readingError(const std::string& reason, const char* suggestion) {
    auto userInfo = std::make_shared<NSMutableDictionary>();
    userInfo->setObject_forKey(NSString::stringWithUTF8String(reason),
                               NSString::stringWithUTF8String(NSLocalizedFailureReasonErrorKey));
    userInfo->setObject_forKey(
        NSString::stringWithUTF8String(suggestion),
        NSString::stringWithUTF8String(NSLocalizedRecoverySuggestionErrorKey));
    return NSError::errorWithDomain_code_userInfo(VTDocumentErrorDomain, VTDocumentReadErrorCode,
                                                  std::move(userInfo));
}

// Stores the error only when the caller asked for one.
std::shared_ptr<VTPrototype> fail(std::shared_ptr<NSError>* error, const std::string& reason,
                                  const char* suggestion) {
    if (error) *error = readingError(reason, suggestion);
    return nullptr;
}

// The elements of the array under `key` as T; an element of another class raises, as sending it
// T's messages would on the platform (the loader turns that into its exception error).
template <class T>
std::vector<std::shared_ptr<T>> decodeArrayOf(NSCoder& coder, std::string_view key) {
    std::vector<std::shared_ptr<T>> result;
    auto array = coder.decodeObjectOfClass_forKey<NSArray>(key);
    if (!array) return result;
    for (const auto& object : array->objects()) {
        auto typed = std::dynamic_pointer_cast<T>(object);
        if (!typed)
            NSException::raise(NSInvalidArgumentException,
                               std::string(key) + " holds an object of class " +
                                   object->className() + ", not " + T::objcClass().name);
        result.push_back(std::move(typed));
    }
    return result;
}

}  // namespace

std::shared_ptr<VTPrototype> VTPrototype::init() {
    return std::make_shared<VTPrototype>();
}

std::shared_ptr<VTPrototype> VTPrototype::prototypeFromData_error(
    const std::shared_ptr<const NSData>& data, std::shared_ptr<NSError>* error) {
    // Absent data counts as length 0.
    if (!data || data->length() == 0)
        return fail(error, "File has no data", kRunningLatestSuggestion);
    VTRegisterArchivableClasses();
    // Every layer decoded stays here until the document as a whole is known to be sound.
    VTDecodedLayers decodedLayers;
    std::shared_ptr<NSObject> root;
    try {
        auto unarchiver = NSKeyedUnarchiver::initForReadingWithData(data);
        if (const auto problem = VTDecodedLayers::problemBeforeDecoding(*data))
            return fail(error, *problem, "The file is corrupt.");
        const int64_t version = unarchiver->decodeInt64ForKey(kVantlerDocumentFormatVersionKey);
        if (version >= kVantlerFirstUnreadableFormatVersion)  // the root is never decoded
            return fail(error, "Document was created with a newer version of Vantler",
                        "Make sure you have the latest version of Vantler");
        root = unarchiver->decodeObjectForKey(NSKeyedArchiveRootObjectKey);
        unarchiver->finishDecoding();
        // Whatever the root turned out to be, level requests made while decoding run before later
        // work on the mipmap queue.
        VTImage::addRequestBarrier();
    } catch (const NSException& exception) {  // malformed archive data
        decodedLayers.takeApart();
        return fail(error,
                    exception.reason().empty() ? "Error reading document" : exception.reason(),
                    kRunningLatestSuggestion);
    }
    if (const auto problem = decodedLayers.problem()) {
        root.reset();
        decodedLayers.takeApart();
        return fail(error, *problem, "The file is corrupt.");
    }
    if (!root) return fail(error, "File Cannot be read", "The file is corrupt.");
    auto prototype = std::dynamic_pointer_cast<VTPrototype>(root);
    if (!prototype)
        return fail(error, "File has unrecognized root class", kRunningLatestSuggestion);
    return prototype;
}

std::shared_ptr<VTPrototype> VTPrototype::prototypeFromURL_error(
    const std::shared_ptr<const NSURL>& url, std::shared_ptr<NSError>* error) {
    std::shared_ptr<NSData> data;
    if (url && url->isFileURL())
        data = NSData::dataWithContentsOfFile_options(url->path(), NSDataReadingMappedIfSafe);
    return prototypeFromData_error(data, error);
}

std::shared_ptr<VTPrototype> VTPrototype::prototypeFromPath_error(const std::string& path,
                                                                  std::shared_ptr<NSError>* error) {
    return prototypeFromURL_error(NSURL::fileURLWithPath(path), error);
}

std::string VTPrototype::description() const {
    char text[48];
    std::snprintf(text, sizeof text, "<%s: %p>", className().c_str(),
                  static_cast<const void*>(this));
    return text;
}

std::shared_ptr<VTScreen> VTPrototype::entryScreen() const {
    return screens_.empty() ? nullptr : screens_.front();
}

bool VTPrototype::initWithCoder(NSCoder& coder) {
    // A newer prototype yields none (signed comparison).
    if (coder.decodeIntegerForKey("version") >= kVantlerFirstUnreadableFormatVersion) return false;
    prefersMouseCursor_ = coder.decodeBoolForKey("prefersMouseCursor");
    screens_ = decodeArrayOf<VTScreen>(coder, "screens");
    // An ordered set (of identities: a prototype is equal only to itself), so a component
    // stored twice is kept once, at its first place.
    for (auto& component : decodeArrayOf<VTPrototype>(coder, "symbols"))
        if (std::find(symbols_.begin(), symbols_.end(), component) == symbols_.end())
            symbols_.push_back(std::move(component));
    auto self = std::static_pointer_cast<VTPrototype>(shared_from_this());
    for (const auto& screen : screens_) screen->setPrototype(self);
    return true;
}
