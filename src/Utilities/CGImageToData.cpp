// Colour spaces and image codecs. See CGImageToData.h.

#include "CGImageToData.h"

#include <map>
#include <mutex>
#include <string>

#include "CGContext.h"
#include "CGImageDestination.h"
#include "CGImageSource.h"
#include "NSData.h"
#include "NSDictionary.h"
#include "NSNumber.h"
#include "NSString.h"

namespace {

// The two maps and the held sRGB profile, made on first use and never
// emptied. The object is never destroyed, so colour spaces handed out stay valid until the process
// ends even while other statics are being torn down.
struct ColorSpaceCaches {
    std::mutex mutex;  // see CGImageToData.h "Concurrency"
    // `nameToColorSpaceMap`: names compared as strings.
    std::map<std::string, CGColorSpaceRef, std::less<>> byName;
    // `dataToColorSpaceMap`: profiles compared by bytes. The key views the bytes of the space's own
    // ICC data object, held beside it, so the key lives exactly as long as its entry.
    struct ProfileEntry {
        std::shared_ptr<NSData> bytes;
        CGColorSpaceRef space;
    };
    std::map<std::string_view, ProfileEntry, std::less<>> byProfile;
    std::shared_ptr<NSData> sRGBProfile;
};

ColorSpaceCaches& caches() {
    static auto* instance = new ColorSpaceCaches;
    return *instance;
}

std::string_view asKey(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The cached space for a non-null name, made and stored on the first miss.
CGColorSpaceRef lookUpName(std::string_view name) {
    auto& cache = caches();
    std::lock_guard lock(cache.mutex);
    if (auto found = cache.byName.find(name); found != cache.byName.end()) return found->second;
    // The sRGB name answers the process's one sRGB space, the very object drawing matches into.
    CGColorSpaceRef space =
        name == kCGColorSpaceSRGB ? CGColorSpaceGetSRGB() : CGColorSpaceCreateWithName(name);
    if (!space) return nullptr;  // not stored, so the next call tries again
    cache.byName.emplace(std::string(name), space);
    return space;
}

// The same steps for profile data.
CGColorSpaceRef lookUpProfile(std::span<const uint8_t> bytes) {
    auto& cache = caches();
    std::lock_guard lock(cache.mutex);
    if (auto found = cache.byProfile.find(asKey(bytes)); found != cache.byProfile.end())
        return found->second.space;
    CGColorSpaceRef space = CGColorSpaceCreateWithICCData(bytes);
    if (!space) return nullptr;
    // The space's ICC data is exactly these bytes (CGColorSpace.h); its data object owns the key.
    auto held = CGColorSpaceCopyICCData(space);
    if (!held) return nullptr;
    cache.byProfile.emplace(asKey(held->span()), ColorSpaceCaches::ProfileEntry{held, space});
    return space;
}

}  // namespace

CGColorSpaceRef cachedColorSpaceFromName(const char* name) {
    if (!name) return nullptr;
    return lookUpName(name);
}

CGColorSpaceRef cachedColorSpaceFromName(const std::shared_ptr<const NSString>& name) {
    if (!name) return nullptr;
    return lookUpName(name->UTF8String());
}

CGColorSpaceRef cachedColorSpaceFromICCData(const NSData* data) {
    if (!data) return nullptr;
    return lookUpProfile(data->span());
}

CGColorSpaceRef cachedColorSpaceFromICCData(const std::shared_ptr<const NSData>& data) {
    return cachedColorSpaceFromICCData(data.get());
}

std::shared_ptr<NSData> sRGBICCProfile() {
    // Taken outside the lock: cachedColorSpaceFromName locks the same mutex.
    {
        auto& cache = caches();
        std::lock_guard lock(cache.mutex);
        if (cache.sRGBProfile) return cache.sRGBProfile;
    }
    auto profile = CGColorSpaceCopyICCData(CGColorSpaceGetSRGB());
    if (!profile) return nullptr;  // the next call tries again
    auto& cache = caches();
    std::lock_guard lock(cache.mutex);
    if (!cache.sRGBProfile) cache.sRGBProfile = std::move(profile);  // the first thread's copy wins
    return cache.sRGBProfile;
}

CGColorRef CGColorCreateSRGB(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    return CGColorCreate(CGColorSpaceGetSRGB(), {red, green, blue, alpha});
}

bool cachedColorSpaceMapContainsName(std::string_view name) {
    auto& cache = caches();
    std::lock_guard lock(cache.mutex);
    return cache.byName.find(name) != cache.byName.end();
}

bool cachedColorSpaceMapContainsICCData(std::span<const uint8_t> bytes) {
    auto& cache = caches();
    std::lock_guard lock(cache.mutex);
    return cache.byProfile.find(asKey(bytes)) != cache.byProfile.end();
}

// ---- Image codecs

CGImageRef CGImageCreateFromPNGData(const std::shared_ptr<const NSData>& data) {
    if (!data) return nullptr;
    // No type hint and no options: the source recognises the format from the bytes.
    CGImageSourceRef source = CGImageSourceCreateWithData(data, nullptr);
    if (!source) return nullptr;
    // The first image, decoded now and kept decoded (kCGImageSourceShouldCache).
    static const auto* options =
        new std::shared_ptr<NSDictionary>(NSDictionary::dictionaryWithEntries(
            {{NSString::stringWithUTF8String(kCGImageSourceShouldCache),
              NSNumber::numberWithBool(true)}}));
    // The image keeps what it needs; the source is released at the end of the scope.
    return CGImageSourceCreateImageAtIndex(source, 0, options->get());
}

CGImageRef CGImageCreateFromPNGData(const NSData* data) {
    if (!data) return nullptr;
    // The source keeps its data: share the bytes when the object is shared, else copy them.
    if (auto owner = data->weak_from_this().lock())
        return CGImageCreateFromPNGData(std::make_shared<NSData>(
            std::shared_ptr<const void>(owner, data->bytes()), data->span()));
    return CGImageCreateFromPNGData(
        std::shared_ptr<const NSData>(NSData::dataWithBytes_length(data->bytes(), data->length())));
}

std::shared_ptr<NSData> CGImageConvertToPNGData(const CGImageRef& image) {
    if (!image) return nullptr;
    // One PNG image into a growable buffer, no options.
    auto buffer = NSMutableData::data();
    CGImageDestinationRef destination =
        CGImageDestinationCreateWithData(buffer, kUTTypePNG, 1, nullptr);
    if (!destination) return nullptr;
    // The bytes are complete only once the destination is finalised; then an immutable copy.
    CGImageDestinationAddImage(destination, image, nullptr);
    if (!CGImageDestinationFinalize(destination)) return nullptr;
    return NSData::dataWithVector(std::move(buffer->mutableBytes()));
}

CGImageRef createDecodedCGImage(const CGImageRef& image) {
    if (!image) return nullptr;
    const size_t width = CGImageGetWidth(image);
    const size_t height = CGImageGetHeight(image);
    // Own memory, 8 bits per component, rows chosen by the platform, a new device RGB
    // space (released with this scope), premultiplied alpha first with the default byte order.
    CGContextRef context;
    {
        CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
        context = CGBitmapContextCreate(nullptr, width, height, 8, 0, space,
                                        kCGImageAlphaPremultipliedFirst);
    }
    if (!context) return nullptr;
    // Points equal pixels.
    CGContextDrawImage(context,
                       CGRectMake(0, 0, static_cast<CGFloat>(width), static_cast<CGFloat>(height)),
                       image);
    return CGBitmapContextCreateImage(context);
}
