#include "Examples.h"
#include "NSKeyedArchiver.h"

namespace examples {

std::shared_ptr<NSData> documentData(const std::shared_ptr<const VTPrototype>& prototype,
                                     const std::optional<std::vector<uint8_t>>& thumbnail) {
    auto data = NSMutableData::data();
    auto archiver = NSKeyedArchiver::initForWritingWithMutableData(data);
    archiver->encodeObject_forKey(prototype, NSKeyedArchiveRootObjectKey);
    archiver->encodeInt64_forKey(kVantlerDocumentFormatVersion, kVantlerDocumentFormatVersionKey);
    if (thumbnail)
        archiver->encodeBytes_length_forKey(thumbnail->data(), thumbnail->size(),
                                            kVantlerThumbnailKey);
    archiver->finishEncoding();
    return data;
}

}  // namespace examples
