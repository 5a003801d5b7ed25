// ImageIO's reader. See CGImageSource.h; each format's decoder is in its own file.

#include "CGImageSource.h"

#include <array>

#include "ImageIOPrivate.h"
#include "NSData.h"

class CGImageSource {
  public:
    std::shared_ptr<const NSData> data;
    const ImageIOPrivate::ImageDecoder* decoder = nullptr;
    const char* type = nullptr;
};

namespace ImageIOPrivate {

const ImageDecoder* decoderFor(std::span<const uint8_t> bytes) {
    static const std::array<const ImageDecoder*, 6> decoders{
        &kPNGDecoder, &kJPEGDecoder, &kGIFDecoder, &kTIFFDecoder, &kWebPDecoder, &kHEIFDecoder};
    for (const ImageDecoder* decoder : decoders)
        if (decoder->typeOf(bytes)) return decoder;
    return nullptr;
}

}  // namespace ImageIOPrivate

CGImageSourceRef CGImageSourceCreateWithData(std::shared_ptr<const NSData> data,
                                             const NSDictionary* /*options*/) {
    if (!data) return nullptr;
    auto source = std::make_shared<CGImageSource>();
    source->decoder = ImageIOPrivate::decoderFor(data->span());
    if (source->decoder) source->type = source->decoder->typeOf(data->span());
    source->data = std::move(data);
    return source;
}

const char* CGImageSourceGetType(const CGImageSourceRef& source) {
    return source ? source->type : nullptr;
}

size_t CGImageSourceGetCount(const CGImageSourceRef& source) {
    return source && source->decoder ? 1 : 0;
}

CGImageRef CGImageSourceCreateImageAtIndex(const CGImageSourceRef& source, size_t index,
                                           const NSDictionary* /*options*/) {
    if (!source || !source->decoder || index != 0) return nullptr;
    return source->decoder->decode(source->data->span());
}
