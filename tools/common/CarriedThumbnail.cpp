#include "CarriedThumbnail.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

#include "CGImageSource.h"
#include "NSData.h"
#include "QLGeneratorHost.h"

namespace {

const std::string kSubject = "the document's thumbnail";

struct PixelSize {
    uint64_t width, height;
};

// A PNG's size from its header (the signature, then the IHDR chunk's length and type, then width
// and height), read before anything is decoded; none when the header is missing.
std::optional<PixelSize> pngHeaderSize(std::span<const uint8_t> png) {
    if (png.size() < 24 || std::memcmp(&png[12], "IHDR", 4) != 0) return std::nullopt;
    const auto bigEndian32 = [&](size_t at) {
        return uint64_t(png[at]) << 24 | uint64_t(png[at + 1]) << 16 | uint64_t(png[at + 2]) << 8 |
               uint64_t(png[at + 3]);
    };
    return PixelSize{bigEndian32(16), bigEndian32(20)};
}

// Why a picture of this size is over the host's surface budget, or empty.
std::string overTheBudget(PixelSize size) {
    if (size.width <= kCGImageMaxDimension && size.height <= kCGImageMaxDimension &&
        double(size.width * size.height) <= kQLMaxSurfacePixels)
        return {};
    return kSubject + " is " + std::to_string(size.width) + " × " + std::to_string(size.height) +
           " pixels, over the limit (" + std::to_string(uint64_t(kQLMaxSurfacePixels)) +
           " pixels, " + std::to_string(kCGImageMaxDimension) + " a side)";
}

}  // namespace

CGImageRef decodeCarriedThumbnail(const std::shared_ptr<const NSData>& png, std::string* problem) {
    const auto source = CGImageSourceCreateWithData(png, nullptr);
    const char* type = CGImageSourceGetType(source);
    // Documents carry PNG; a picture in another format the reader knows is used all the same.
    if (!type) {
        *problem = kSubject + " is not a PNG";
        return nullptr;
    }
    if (std::strcmp(type, kUTTypePNG) == 0) {
        const auto size = pngHeaderSize(png->span());
        if (!size) {
            *problem = kSubject + " is a PNG without its header";
            return nullptr;
        }
        if (*problem = overTheBudget(*size); !problem->empty()) return nullptr;
    }
    auto image = CGImageSourceCreateImageAtIndex(source, 0, nullptr);
    if (!image) {
        *problem = kSubject + " is damaged or truncated";
        return nullptr;
    }
    if (*problem = overTheBudget({CGImageGetWidth(image), CGImageGetHeight(image)});
        !problem->empty())
        return nullptr;
    return image;
}
