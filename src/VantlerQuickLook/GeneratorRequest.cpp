#include "GeneratorRequest.h"

#include "NSException.h"
#include "NSKeyedUnarchiver.h"
#include "VTImage.h"

std::shared_ptr<NSData> copyEmbeddedThumbnail(CFURLRef url) {
    if (!url || !url->isFileURL()) return nullptr;
    // Step 2: no error is requested; an unreadable file gives no bytes.
    auto data = NSData::dataWithContentsOfFile_options(url->path(), NSDataReadingMappedIfSafe);
    if (!data || data->length() == 0) return nullptr;
    try {
        auto archive = NSKeyedUnarchiver::initForReadingWithData(data);  // step 3
        size_t length = 0;
        const uint8_t* bytes = archive->decodeBytesForKey_returnedLength(kVantlerThumbnailKey, &length);
        if (!bytes || length == 0) return nullptr;
        return NSData::dataWithBytes_length(bytes, length);  // step 4: copied before the archive goes
    } catch (const NSException&) {
        return nullptr;
    }
}

std::shared_ptr<VTPrototype> loadPrototypeToDraw(CFURLRef url) {
    VTImage::setDecodingStyle(1);  // step 5: video and audio files are not unpacked to disk
    std::shared_ptr<NSError> error;
    // The host lends the URL; the loader takes one of its own (step 6 reads the file again).
    auto prototype = VTPrototype::prototypeFromURL_error(url ? NSURL::URLWithString(url->absoluteString()) : nullptr, &error);
    if (error || !prototype || !prototype->entryScreen()) return nullptr;  // step 7
    return prototype;
}
