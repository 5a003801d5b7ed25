#include "GeneratorRequest.h"

#include "NSException.h"
#include "NSKeyedUnarchiver.h"
#include "VTImage.h"

std::shared_ptr<const NSData> readDocument(CFURLRef url) {
    if (!url || !url->isFileURL()) return nullptr;
    return NSData::dataWithContentsOfFile_options(url->path(), NSDataReadingMappedIfSafe);
}

std::shared_ptr<NSData> copyEmbeddedThumbnail(const std::shared_ptr<const NSData>& document) {
    if (!document || document->length() == 0) return nullptr;
    try {
        auto archive = NSKeyedUnarchiver::initForReadingWithData(document);
        size_t length = 0;
        const uint8_t* bytes =
            archive->decodeBytesForKey_returnedLength(kVantlerThumbnailKey, &length);
        if (!bytes || length == 0) return nullptr;
        // Copied: the bytes belong to the archive, which goes at the end of this scope.
        return NSData::dataWithBytes_length(bytes, length);
    } catch (const NSException&) {
        return nullptr;
    }
}

std::shared_ptr<VTPrototype> loadPrototypeToDraw(const std::shared_ptr<const NSData>& document,
                                                 std::string* reason) {
    VTImage::setDecodingStyle(1);
    std::shared_ptr<NSError> error;
    auto prototype = VTPrototype::prototypeFromData_error(document, &error);
    if (error || !prototype) {
        *reason = error ? error->localizedFailureReason().value_or(error->localizedDescription())
                        : "the document could not be loaded";
        return nullptr;
    }
    if (!prototype->entryScreen()) {
        *reason = "the document has no screens";
        return nullptr;
    }
    return prototype;
}
