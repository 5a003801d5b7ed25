// Geometry and colour archive encoding. See NSCoder+geometry.h.

#include "NSCoder+geometry.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "CGImageToData.h"
#include "NSCoder.h"
#include "NSData.h"
#include "NSString.h"

namespace {

// A sub-key: K with a dot and the suffix ("%@.x" & co.). A document's layers ask for thousands of
// them, so the usual short ones are built on the stack.
class SubKey {
  public:
    SubKey(std::string_view key, std::string_view suffix) {
        const size_t size = key.size() + 1 + suffix.size();
        char* out = size <= stack_.size() ? stack_.data() : heap_.assign(size, '\0').data();
        std::copy(key.begin(), key.end(), out);
        out[key.size()] = '.';
        std::copy(suffix.begin(), suffix.end(), out + key.size() + 1);
        text_ = {out, size};
    }
    SubKey(const SubKey&) = delete;
    SubKey& operator=(const SubKey&) = delete;
    operator std::string_view() const { return text_; }

  private:
    std::array<char, 48> stack_;
    std::string heap_;
    std::string_view text_;
};

SubKey subKey(std::string_view key, std::string_view suffix) {
    return {key, suffix};
}

// "%@.%zu": the component index as an unsigned decimal.
SubKey componentKey(std::string_view key, size_t index) {
    std::array<char, 20> digits;
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), index).ptr;
    return {key, std::string_view(digits.data(), end - digits.data())};
}

bool sameBytes(std::span<const uint8_t> a, std::span<const uint8_t> b) {
    return std::ranges::equal(a, b);  // NSData isEqualToData:
}

// `colorProfileCache`: an ordered, growing list of distinct profile data
// objects, compared by bytes, never cleared. The object is never destroyed, so entries stay valid
// while other statics are torn down at exit.
struct ColorProfileCache {
    std::mutex mutex;  // see NSCoder+geometry.h "Concurrency"
    std::vector<std::shared_ptr<NSData>> entries;
};

ColorProfileCache& colorProfileCache() {
    static auto* instance = new ColorProfileCache;
    return *instance;
}

// The first entry with the profile's bytes, or the fresh profile appended and returned, so that
// every colour with one profile writes the identical data object.
std::shared_ptr<NSData> sharedProfile(std::shared_ptr<NSData> fresh) {
    auto& cache = colorProfileCache();
    std::lock_guard lock(cache.mutex);
    for (const auto& entry : cache.entries)
        if (sameBytes(entry->span(), fresh->span())) return entry;
    cache.entries.push_back(fresh);
    return fresh;
}

// The name a colour's space is archived under: its own, or sRGB for an unnamed space whose profile
// is the sRGB profile byte for byte; none otherwise.
std::shared_ptr<NSString> archivedSpaceName(const CGColorSpaceRef& space,
                                            const std::shared_ptr<NSData>& profile) {
    if (auto name = CGColorSpaceCopyName(space)) return name;
    if (!profile) return nullptr;
    const auto sRGBProfile = sRGBICCProfile();
    if (sRGBProfile && sameBytes(profile->span(), sRGBProfile->span()))
        return NSString::stringWithUTF8String(kCGColorSpaceSRGB);
    return nullptr;
}

// The space of an archived colour: its name, then its profile, then the cached sRGB space, then
// device RGB. Spaces from the caches are shared for the life of the process; the device RGB one is
// the caller's own.
CGColorSpaceRef archivedColorSpace(NSCoder& coder, std::string_view key) {
    CGColorSpaceRef space;
    if (const SubKey nameKey = subKey(key, "space_name"); coder.containsValueForKey(nameKey))
        space = cachedColorSpaceFromName(coder.decodeObjectOfClass_forKey<NSString>(nameKey));
    if (!space) {
        if (const SubKey profileKey = subKey(key, "profile"); coder.containsValueForKey(profileKey))
            space =
                cachedColorSpaceFromICCData(coder.decodeObjectOfClass_forKey<NSData>(profileKey));
    }
    if (!space) space = cachedColorSpaceFromName(kCGColorSpaceSRGB);
    if (!space) space = CGColorSpaceCreateDeviceRGB();
    return space;
}

}  // namespace

void encodeCGPoint_forKey(NSCoder& coder, CGPoint point, std::string_view key) {
    coder.encodeDouble_forKey(point.x, subKey(key, "x"));
    coder.encodeDouble_forKey(point.y, subKey(key, "y"));
}

void encodeCGSize_forKey(NSCoder& coder, CGSize size, std::string_view key) {
    coder.encodeDouble_forKey(size.width, subKey(key, "width"));
    coder.encodeDouble_forKey(size.height, subKey(key, "height"));
}

void encodeCGRect_forKey(NSCoder& coder, CGRect rect, std::string_view key) {
    encodeCGPoint_forKey(coder, rect.origin, subKey(key, "origin"));
    encodeCGSize_forKey(coder, rect.size, subKey(key, "size"));
}

void encodeCGColor_forKey(NSCoder& coder, const CGColorRef& color, std::string_view key) {
    if (!color) return;
    const CGColorSpaceRef space = CGColorGetColorSpace(color);

    // The profile, shared through colorProfileCache: the cached entry is what is written.
    std::shared_ptr<NSData> profile = CGColorSpaceCopyICCData(space);
    if (profile) {
        profile = sharedProfile(std::move(profile));
        coder.encodeObject_forKey(profile, subKey(key, "profile"));
    }

    if (auto name = archivedSpaceName(space, profile))
        coder.encodeObject_forKey(name, subKey(key, "space_name"));

    // The count (components plus alpha) as a 32-bit integer, then each component.
    const size_t count = CGColorGetNumberOfComponents(color);
    const CGFloat* components = CGColorGetComponents(color);
    coder.encodeInt_forKey(static_cast<int32_t>(count), subKey(key, "count"));
    for (size_t i = 0; i < count; ++i)
        coder.encodeDouble_forKey(components[i], componentKey(key, i));
}

CGColorRef newCGColorForKey(NSCoder& coder, std::string_view key) {
    // The count, widened with its sign; absent or 0 gives null (a negative count would match no
    // space anyway).
    const SubKey countKey = subKey(key, "count");
    if (!coder.containsValueForKey(countKey)) return nullptr;
    const int64_t count = coder.decodeIntForKey(countKey);
    if (count <= 0) return nullptr;

    const CGColorSpaceRef space = archivedColorSpace(coder, key);

    // The count must be the space's components plus alpha; nothing more is read otherwise.
    // This also bounds the buffer below: spaces have at most 3 components.
    if (static_cast<uint64_t>(count) != CGColorSpaceGetNumberOfComponents(space) + 1)
        return nullptr;

    // The components, an absent one reading as 0.0, into the colour.
    std::array<CGFloat, 4> components{};
    if (static_cast<uint64_t>(count) > components.size()) return nullptr;  // no such space exists
    for (size_t i = 0; i < static_cast<size_t>(count); ++i)
        components[i] = coder.decodeDoubleForKey(componentKey(key, i));
    return CGColorCreate(space,
                         std::span<const CGFloat>(components.data(), static_cast<size_t>(count)));
}

bool containsCGPointForKey(NSCoder& coder, std::string_view key) {
    return coder.containsValueForKey(subKey(key, "x")) &&
           coder.containsValueForKey(subKey(key, "y"));
}

CGPoint decodeCGPointForKey(NSCoder& coder, std::string_view key) {
    CGPoint point;
    point.x = coder.decodeDoubleForKey(subKey(key, "x"));
    point.y = coder.decodeDoubleForKey(subKey(key, "y"));
    return point;
}

CGSize decodeCGSizeForKey(NSCoder& coder, std::string_view key) {
    CGSize size;
    size.width = coder.decodeDoubleForKey(subKey(key, "width"));
    size.height = coder.decodeDoubleForKey(subKey(key, "height"));
    return size;
}

CGRect decodeCGRectForKey(NSCoder& coder, std::string_view key) {
    CGRect rect;
    rect.origin = decodeCGPointForKey(coder, subKey(key, "origin"));
    rect.size = decodeCGSizeForKey(coder, subKey(key, "size"));
    return rect;
}

std::vector<std::shared_ptr<const NSData>> colorProfileCacheEntries() {
    auto& cache = colorProfileCache();
    std::lock_guard lock(cache.mutex);
    return {cache.entries.begin(), cache.entries.end()};
}
