// The document gate: a document's bytes become a prototype, or an error value that says why they
// cannot. The error values of writing are made here too.

#include "VTPrototype.h"

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

// Stores the error only when the caller asked for one.
std::shared_ptr<VTPrototype> fail(std::shared_ptr<NSError>* error, const std::string& reason,
                                  const char* suggestion) {
    if (error) *error = VTDocumentError(VTDocumentReadErrorCode, reason, suggestion);
    return nullptr;
}

}  // namespace

std::shared_ptr<NSError> VTDocumentError(int64_t code, const std::string& reason,
                                         const char* suggestion) {
    auto userInfo = std::make_shared<NSMutableDictionary>();
    userInfo->setObject_forKey(NSString::stringWithUTF8String(reason),
                               NSString::stringWithUTF8String(NSLocalizedFailureReasonErrorKey));
    if (suggestion)
        userInfo->setObject_forKey(
            NSString::stringWithUTF8String(suggestion),
            NSString::stringWithUTF8String(NSLocalizedRecoverySuggestionErrorKey));
    return NSError::errorWithDomain_code_userInfo(VTDocumentErrorDomain, code, std::move(userInfo));
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
