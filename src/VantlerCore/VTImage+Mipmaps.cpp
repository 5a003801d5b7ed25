// The mipmap cache of an image asset and its asynchronous level requests.

#include <algorithm>
#include <atomic>
#include <cmath>

#include "CGContext.h"
#include "DispatchQueue.h"
#include "VTImage.h"

namespace {

// The mark of a generation in progress: one process-wide empty list, recognised by identity only.
// Leaked, so that work still queued at exit never sees it destroyed.
const std::shared_ptr<const VTMipmapLevels>& placeholderObject() {
    static const auto& placeholder =
        *new std::shared_ptr<const VTMipmapLevels>(std::make_shared<const VTMipmapLevels>());
    return placeholder;
}

// The "Mipmap Queue" once made, for addRequestBarrier, which must not make it.
std::atomic<const dispatch_queue_t*> existingMipmapQueue{nullptr};

// The "Mipmap Queue": made on the first generation request, never destroyed (a leaked handle, so
// that the process may exit while generations run; DispatchQueue.h "Lifetime").
const dispatch_queue_t& mipmapQueue() {
    static const dispatch_queue_t& queue = []() -> const dispatch_queue_t& {
        const auto* made =
            new dispatch_queue_t(dispatch_queue_create("Mipmap Queue", DISPATCH_QUEUE_CONCURRENT));
        existingMipmapQueue.store(made, std::memory_order_release);
        return *made;
    }();
    return queue;
}

// Entry min(count - 1, level) of a list that has entries; level ≥ 1 here.
const CGImageRef& entryForLevel(const VTMipmapLevels& levels, int64_t level) {
    return levels[std::min(levels.size() - 1, static_cast<size_t>(level))];
}

}  // namespace

void VTImage::addRequestBarrier() {
    if (const auto* queue = existingMipmapQueue.load(std::memory_order_acquire))
        dispatch_barrier_async(*queue, {});
}

int64_t VTImage::mipmapLevelForSize(CGSize size) const {
    const double width = std::fmax(size.width, 1.0), height = std::fmax(size.height, 1.0);
    const double ratio = std::fmin(static_cast<double>(CGImageGetWidth(image_)) / width,
                                   static_cast<double>(CGImageGetHeight(image_)) / height);
    // log2 of a ratio of at most 32767 (the largest side) is at most 15; fmax turns the -infinity
    // of no bitmap into 0.
    return static_cast<int64_t>(std::fmax(std::log2(ratio), 0.0));
}

void VTImage::mipmapImageAtLevel_callback(int64_t level, VTMipmapCallback callback) {
    // Level 0 is the asset's own bitmap, answered at once.
    if (level <= 0) {
        callback(image_);
        return;
    }
    const auto& placeholder = placeholderObject();
    std::shared_ptr<const VTMipmapLevels> cache;
    {
        // An empty cache is marked as generating here, under the same lock as the look, so that two
        // threads requesting at once start one generation.
        std::lock_guard lock(mipmapMutex_);
        cache = mipmapCache_;
        if (!cache) mipmapCache_ = placeholder;
    }
    auto self = std::static_pointer_cast<VTImage>(shared_from_this());
    if (cache == placeholder) {
        // A generation is running: ask again once the mipmap queue has passed it, on the main
        // queue.
        dispatch_async(mipmapQueue(), [self, level, callback] {
            dispatch_async(dispatch_get_main_queue(), [self, level, callback] {
                self->mipmapImageAtLevel_callback(level, callback);
            });
        });
        return;
    }
    if (cache) {
        // Generated: the level's entry, or the smallest there is; none when nothing could be made.
        callback(cache->empty() ? CGImageRef() : entryForLevel(*cache, level));
        return;
    }
    // The generation reads only the bitmap as it is now and its own new bitmaps.
    dispatch_async(mipmapQueue(), [self, level, callback, bitmap = image_] {
        auto generated = generateMipmaps(bitmap);
        std::shared_ptr<const VTMipmapLevels> levels;
        if (generated) levels = std::make_shared<const VTMipmapLevels>(std::move(*generated));
        dispatch_async(dispatch_get_main_queue(), [self, level, callback, levels] {
            {
                std::lock_guard lock(self->mipmapMutex_);
                self->mipmapCache_ = levels;
            }
            if (levels && !levels->empty()) callback(entryForLevel(*levels, level));
        });
    });
}

std::optional<VTMipmapLevels> generateMipmaps(const CGImageRef& image) {
    if (!image) return std::nullopt;
    VTMipmapLevels levels{image};
    const CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    const size_t width = CGImageGetWidth(image), height = CGImageGetHeight(image);
    // A bitmap with a side below 2 cannot be halved.
    if (width < 2 || height < 2) return levels;
    // Every size from the full one; each level drawn from the one before.
    for (int i = 1;; ++i) {
        const double scale = std::ldexp(1.0, -i);
        const auto w = static_cast<size_t>(std::ceil(scale * static_cast<double>(width)));
        const auto h = static_cast<size_t>(std::ceil(scale * static_cast<double>(height)));
        const auto context =
            CGBitmapContextCreate(nullptr, w, h, 8, 0, space, kCGImageAlphaPremultipliedFirst);
        // A level that cannot be made ends the list.
        if (!context) break;
        CGContextDrawImage(context,
                           CGRectMake(0, 0, static_cast<CGFloat>(w), static_cast<CGFloat>(h)),
                           levels.back());
        auto level = CGBitmapContextCreateImage(context);
        if (!level) break;
        levels.push_back(std::move(level));
        if (w < 2 || h < 2) break;
    }
    return levels;
}
