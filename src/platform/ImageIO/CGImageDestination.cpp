// ImageIO's writer, PNG only. See CGImageDestination.h.

#include "CGImageDestination.h"

#include <cstring>
#include <vector>

#include "CGImageSource.h"
#include "ImageIOPrivate.h"
#include "NSData.h"
#include "NSDictionary.h"
#include "NSString.h"

class CGImageDestination {
  public:
    struct Image {
        CGImageRef image;
        std::vector<ImageIOPrivate::PNGTextEntry> text;
    };
    std::shared_ptr<NSMutableData> data;
    size_t count = 0;
    std::vector<Image> images;
    bool finalized = false;
};

namespace {

// The dictionary under `key` in `dictionary`, or null when absent or of another kind.
const NSDictionary* dictionaryFor(const NSDictionary* dictionary, const char* key) {
    if (!dictionary) return nullptr;
    const auto value = dictionary->objectForKey(NSString(key));
    return dynamic_cast<const NSDictionary*>(value.get());
}

// The string pairs of properties' {PNG} TextEntries, in order (CGImageDestination.h).
std::vector<ImageIOPrivate::PNGTextEntry> textEntriesOf(const NSDictionary* properties) {
    std::vector<ImageIOPrivate::PNGTextEntry> text;
    const NSDictionary* entries = dictionaryFor(
        dictionaryFor(properties, kCGImagePropertyPNGDictionary), kCGImagePropertyPNGTextEntries);
    if (!entries) return text;
    for (const auto& [key, value] : entries->entries()) {
        const auto* keyword = dynamic_cast<const NSString*>(key.get());
        const auto* string = dynamic_cast<const NSString*>(value.get());
        if (keyword && string) text.push_back({keyword->UTF8String(), string->UTF8String()});
    }
    return text;
}

}  // namespace

CGImageDestinationRef CGImageDestinationCreateWithData(std::shared_ptr<NSMutableData> data,
                                                       const char* type, size_t count,
                                                       const NSDictionary* /*options*/) {
    if (!data || !type || std::strcmp(type, kUTTypePNG) != 0 || count == 0) return nullptr;
    auto destination = std::make_shared<CGImageDestination>();
    destination->data = std::move(data);
    destination->count = count;
    return destination;
}

void CGImageDestinationAddImage(const CGImageDestinationRef& destination, CGImageRef image,
                                const NSDictionary* properties) {
    if (!destination || !image || destination->finalized) return;
    if (destination->images.size() >= destination->count) return;
    destination->images.push_back({std::move(image), textEntriesOf(properties)});
}

bool CGImageDestinationFinalize(const CGImageDestinationRef& destination) {
    if (!destination || destination->finalized) return false;
    destination->finalized = true;
    if (destination->images.empty()) return false;
    std::vector<uint8_t> file;
    const auto& first = destination->images.front();
    if (!ImageIOPrivate::encodePNG(first.image, ImageIOPrivate::PNGEncoderSettings{}, file,
                                   first.text))
        return false;
    destination->data->appendBytes_length(file.data(), file.size());
    return true;
}
