// ImageIO's writer, PNG only. See CGImageDestination.h.

#include "CGImageDestination.h"

#include <cstring>
#include <vector>

#include "CGImageSource.h"
#include "ImageIOPrivate.h"
#include "NSData.h"

class CGImageDestination {
  public:
    std::shared_ptr<NSMutableData> data;
    size_t count = 0;
    std::vector<CGImageRef> images;
    bool finalized = false;
};

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
                                const NSDictionary* /*properties*/) {
    if (!destination || !image || destination->finalized) return;
    if (destination->images.size() >= destination->count) return;
    destination->images.push_back(std::move(image));
}

bool CGImageDestinationFinalize(const CGImageDestinationRef& destination) {
    if (!destination || destination->finalized) return false;
    destination->finalized = true;
    if (destination->images.empty()) return false;
    std::vector<uint8_t> file;
    if (!ImageIOPrivate::encodePNG(destination->images.front(),
                                   ImageIOPrivate::PNGEncoderSettings{}, file))
        return false;
    destination->data->appendBytes_length(file.data(), file.size());
    return true;
}
