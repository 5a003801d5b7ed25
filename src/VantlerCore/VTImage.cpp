// The image asset. The mipmap cache is VTImage+Mipmaps.cpp.

#include "VTImage.h"

#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>

#include "AVFoundation.h"
#include "CGContext.h"
#include "CGImageToData.h"
#include "NSCoder.h"
#include "NSFileManager.h"
#include "NSImage.h"
#include "NSLog.h"
#include "NSPathUtilities.h"
#include "NSProcessInfo.h"
#include "UTType.h"

namespace {

// The per-thread settings, one thread_local per thread-dictionary entry.
// Under VTImageEncodingDelegateKey: the delegate itself, kept strongly.
thread_local std::shared_ptr<VTImageEncodingDelegate> threadEncodingDelegate;
// Under VTImageShouldSkipVideoDecodeKey: the stored number, absent until the style is first set.
thread_local std::optional<int64_t> threadShouldSkipVideoDecode;

// The video and audio types an asset keeps as media, in the order tested.
constexpr std::array<const char*, 20> kSupportedMediaTypes{
    "com.apple.quicktime-movie",
    "public.mpeg-4",
    "public.3gpp",
    "public.3gpp2",
    "public.avi",
    "com.apple.itunes.audible",
    "public.aac-audio",
    "public.aiff-audio",
    "com.apple.m4v-video",
    "com.apple.m4a-audio",
    "public.mpeg-4-audio",
    "public.aifc-audio",
    "com.apple.mpeg-4-ringtone",
    "com.microsoft.waveform-audio",
    "public.mp2",
    "public.mp3",
    "public.au-audio",
    "public.enhanced-ac3-audio",
    "public.ac3-audio",
    "com.apple.protected-mpeg-4-audio",
};

// NSURL's lastPathComponent, except that the root ("/") and an empty path have none here: the
// component goes into a file name.
std::optional<std::string> lastPathComponent(const NSURL& url) {
    std::string path = url.path();
    while (path.size() > 1 && path.ends_with('/')) path.pop_back();
    const size_t slash = path.rfind('/');
    std::string component = slash == std::string::npos ? path : path.substr(slash + 1);
    if (component.empty()) return std::nullopt;
    return component;
}

// NSString's stringByDeletingPathExtension for one component: "icon@3x copy.png" -> "icon@3x copy".
std::string deletingPathExtension(const std::string& component) {
    const size_t dot = component.rfind('.');
    return dot == std::string::npos || dot == 0 ? component : component.substr(0, dot);
}

// 2.0 for a "@2x" file name (extension aside), else 3.0 for "@3x", else 1.0.
float scaleFromFileName(const NSURL& url) {
    const std::string name = deletingPathExtension(lastPathComponent(url).value_or(""));
    if (name.find("@2x") != std::string::npos) return 2.0f;
    if (name.find("@3x") != std::string::npos) return 3.0f;
    return 1.0f;
}

// "%@" of an error, in Foundation's description form.
std::string describe(const std::shared_ptr<NSError>& error) {
    if (!error) return "(null)";
    return "Error Domain=" + error->domain() + " Code=" + std::to_string(error->code()) + " \"" +
           error->localizedDescription() + "\"";
}

// The still of a media file: the frame at time 0, upright, at its encoded pixel size; none (logged)
// when no frame comes back.
CGImageRef copyFirstFrame(const std::shared_ptr<AVURLAsset>& asset) {
    auto generator = AVAssetImageGenerator::assetImageGeneratorWithAsset(asset);
    generator->setAppliesPreferredTrackTransform(true);
    generator->setApertureMode(AVAssetImageGeneratorApertureModeEncodedPixels);
    generator->setRequestedTimeToleranceBefore(kCMTimeZero);
    generator->setRequestedTimeToleranceAfter(kCMTimeZero);
    std::shared_ptr<NSError> error;
    CGImageRef frame =
        generator->copyCGImageAtTime_actualTime_error(CMTimeMake(0, 60), nullptr, &error);
    if (!frame) NSLog("Thumbnail Generation Error " + describe(error));
    return frame;
}

// The temporary copies of movies that images hold, each with the process that made it. An image
// removes its copy when destroyed; when a program ends normally the copies of the images still
// alive are removed too, since an image that a queued mipmap answer holds at the end of a program
// is never destroyed, and a program must leave no copies behind. A forked child that exits leaves
// its parent's copies alone.
class TemporaryMovieCopies {
  public:
    static TemporaryMovieCopies& shared() {
        // Never destroyed: images may still be destroyed while the process exits.
        static TemporaryMovieCopies* const copies = new TemporaryMovieCopies;
        return *copies;
    }
    TemporaryMovieCopies(const TemporaryMovieCopies&) = delete;
    TemporaryMovieCopies& operator=(const TemporaryMovieCopies&) = delete;

    void add(const std::string& path) {
        std::lock_guard lock(mutex_);
        makers_[path] = getpid();
    }
    void remove(const std::string& path) {
        std::lock_guard lock(mutex_);
        makers_.erase(path);
    }

  private:
    TemporaryMovieCopies() {
        std::atexit([] { shared().removeThisProcessCopies(); });
    }
    void removeThisProcessCopies() {
        std::lock_guard lock(mutex_);
        for (const auto& [path, maker] : makers_)
            if (maker == getpid()) unlink(path.c_str());
    }

    std::mutex mutex_;
    std::unordered_map<std::string, pid_t> makers_;
};

// A name for the temporary copy of the movie at `url` (tempVideoURLForURL), removed at exit too.
std::shared_ptr<NSURL> temporaryMovieCopyURL(const NSURL* url) {
    auto copy = tempVideoURLForURL(url);
    TemporaryMovieCopies::shared().add(copy->path());
    return copy;
}

// An archive may hold any value under "scale": an absent, zero, negative or non-finite one would
// make point sizes meaningless, so such an asset gets 1.0 (this system never writes another).
float sanitisedScale(float scale) {
    return std::isfinite(scale) && scale > 0 ? scale : 1.0f;
}

}  // namespace

VTImage::~VTImage() {
    if (!temporaryFileURL_) return;
    NSFileManager::defaultManager()->removeItemAtURL_error(*temporaryFileURL_, nullptr);
    TemporaryMovieCopies::shared().remove(temporaryFileURL_->path());
}

std::shared_ptr<VTImage> VTImage::init() {
    auto image = std::make_shared<VTImage>();
    image->scale_ = 1.0f;
    image->uuid_ = NSUUID::UUID();
    return image;
}

std::shared_ptr<VTImage> VTImage::imageWithURL(const std::shared_ptr<const NSURL>& url) {
    if (!url) return nullptr;
    std::shared_ptr<VTImage> image;
    if (isSupportedVideoType(*url)) {
        image = init();
        image->temporaryFileURL_ = temporaryMovieCopyURL(url.get());
        // A failed copy leaves an asset whose media does not open; its frame grab fails and logs.
        NSFileManager::defaultManager()->copyItemAtURL_toURL_error(*url, *image->temporaryFileURL_,
                                                                   nullptr);
        image->image_ = copyFirstFrame(image->mediaAsset());
    } else {
        image = imageWithOSImage(NSImage::initWithContentsOfURL(*url));
        if (!image) return nullptr;
    }
    image->scale_ = scaleFromFileName(*url);
    image->originalURL_ = url;
    return image;
}

std::shared_ptr<VTImage> VTImage::imageWithOSImage(const std::shared_ptr<const NSImage>& image) {
    if (!image) return nullptr;
    auto asset = init();
    asset->_setCGImage(NSImageCGImage(*image));
    return asset;
}

void VTImage::setEncodingDelegate(std::shared_ptr<VTImageEncodingDelegate> delegate) {
    threadEncodingDelegate = std::move(delegate);
}

std::shared_ptr<VTImageEncodingDelegate> VTImage::encodingDelegate() {
    return threadEncodingDelegate;
}

void VTImage::setDecodingStyle(int64_t style) {
    threadShouldSkipVideoDecode = style == 0 ? 1 : 0;
}

int64_t VTImage::decodingStyle() {
    return threadShouldSkipVideoDecode == 0 ? 1 : 0;
}

std::shared_ptr<NSImage> VTImage::osImage() const {
    return NSImage::initWithCGImage_size(image_, CGSizeZero);
}

const std::shared_ptr<const NSData>& VTImage::pngData() const {
    if (!pngData_) pngData_ = CGImageConvertToPNGData(image_);
    return pngData_;
}

void VTImage::writeToPath(const std::string& path) const {
    if (const auto data = CGImageConvertToPNGData(image_)) data->writeToFile_atomically(path, true);
}

std::shared_ptr<AVURLAsset> VTImage::mediaAsset() const {
    if (!videoAsset_ && temporaryFileURL_)
        videoAsset_ = AVURLAsset::URLAssetWithURL_options(temporaryFileURL_, nullptr);
    return videoAsset_;
}

double VTImage::duration() const {
    if (!videoAsset_) return 0;
    const CMTime duration = videoAsset_->duration();
    if (CMTimeCompare(duration, kCMTimeZero) <= 0) return 0;
    return CMTimeGetSeconds(duration);
}

CGSize VTImage::pixelSize() const {
    if (isVideoOrAudio()) {
        const auto tracks = mediaAsset()->tracksWithMediaType(AVMediaTypeVideo);
        return tracks.empty() ? CGSizeZero : tracks.front()->naturalSize();
    }
    return CGSizeMake(static_cast<CGFloat>(CGImageGetWidth(image_)),
                      static_cast<CGFloat>(CGImageGetHeight(image_)));
}

CGSize VTImage::pointSize() const {
    const CGSize pixels = pixelSize();
    const double scale = scale_;
    return CGSizeMake(std::ceil(pixels.width / scale), std::ceil(pixels.height / scale));
}

bool VTImage::isEqual(const NSObject& other) const {
    if (this == &other) return true;
    if (!isKindOfClass(other, classForKeyedArchiver())) return false;
    const auto* image = dynamic_cast<const VTImage*>(&other);
    if (!image || image->isVideoOrAudio() != isVideoOrAudio()) return false;
    if (isVideoOrAudio())
        return NSFileManager::defaultManager()->contentsEqualAtPath_andPath(
            temporaryFileURL_->path(), image->temporaryFileURL_->path());
    const auto& mine = pngData();
    const auto& theirs = image->pngData();
    return mine && theirs && mine->isEqual(*theirs);
}

size_t VTImage::hash() const {
    return CGImageGetWidth(image_) ^ CGImageGetHeight(image_) ^ (isVideoOrAudio() ? 1 : 0);
}

bool VTImage::initWithCoder(NSCoder& coder) {
    decodeContentsWithCoder(coder);
    // Every decoded asset starts its level generation now, in the background.
    mipmapImageAtLevel_callback(1, [](const CGImageRef&) {});
    return true;
}

void VTImage::decodeContentsWithCoder(NSCoder& coder) {
    auto uuid = coder.decodeObjectOfClass_forKey<NSUUID>("uuid");
    uuid_ = uuid ? std::move(uuid) : NSUUID::UUID();
    scale_ = sanitisedScale(coder.containsValueForKey("scale") ? coder.decodeFloatForKey("scale")
                                                               : 1.0f);
    originalURL_ = coder.decodeObjectOfClass_forKey<NSURL>("url");

    // The still, for either decoding style: raw pixels when the archive has them, else encoded
    // bytes.
    if (coder.containsValueForKey("imageData")) {
        const auto width = static_cast<uint64_t>(coder.decodeInt64ForKey("imageWidth"));
        const auto height = static_cast<uint64_t>(coder.decodeInt64ForKey("imageHeight"));
        image_ = CGImageCreateFromData(
            coder.decodeObjectOfClass_forKey<NSData>("imageData"),
            CGSizeMake(static_cast<double>(width), static_cast<double>(height)));
    } else {
        pngData_ = coder.decodeObjectOfClass_forKey<NSData>("jpegData");
        image_ = CGImageCreateFromPNGData(pngData_);
    }

    // The preview generator (style 1) writes no media file at all.
    if (decodingStyle() != 0) return;
    const auto video = coder.decodeObjectOfClass_forKey<NSData>("videoData");
    if (!video) return;
    temporaryFileURL_ = temporaryMovieCopyURL(originalURL_.get());
    if (!video->writeToURL_atomically(*temporaryFileURL_, true)) {
        NSLog("Could write video to temporary directory");
        TemporaryMovieCopies::shared().remove(temporaryFileURL_->path());
        temporaryFileURL_ = nullptr;
    }
}

void VTImage::encodeWithCoder(NSCoder& coder) const {
    if (const auto delegate = encodingDelegate()) {
        delegate->image_didEncodeWithID(std::static_pointer_cast<const VTImage>(shared_from_this()),
                                        uuid_);
    } else {
        if (const auto& url = videoURL())
            coder.encodeObject_forKey(NSData::dataWithContentsOfURL(*url), "videoData");
        coder.encodeObject_forKey(pngData(), "jpegData");
    }
    coder.encodeObject_forKey(uuid_, "uuid");
    coder.encodeObject_forKey(originalURL_, "url");
    coder.encodeDouble_forKey(scale_, "scale");
}

// ---- Free functions

bool isSupportedVideoType(const NSURL& url) {
    const auto type = NSURLTypeIdentifierForURL(url);
    if (!type) return false;
    if (!UTTypeConformsToType(*type, "public.movie") &&
        !UTTypeConformsToType(*type, "public.audio"))
        return false;
    for (const char* supported : kSupportedMediaTypes)
        if (UTTypeConformsToType(*type, supported)) return true;
    return false;
}

std::shared_ptr<NSURL> tempVideoURLForURL(const NSURL* url) {
    const auto component = url ? lastPathComponent(*url) : std::nullopt;
    return NSURL::fileURLWithPath(NSTemporaryDirectory() +
                                  NSProcessInfo::processInfo()->globallyUniqueString() + "_" +
                                  component.value_or("temp"));
}

CGImageRef CGImageCreateFromData(const std::shared_ptr<const NSData>& data, CGSize size) {
    if (!data) return nullptr;
    // Sizes beyond any bitmap's are refused before they are converted to integers.
    const double width = std::round(size.width), height = std::round(size.height);
    if (!(width >= 0 && width <= kCGImageMaxDimension && height >= 0 &&
          height <= kCGImageMaxDimension))
        return nullptr;
    const auto w = static_cast<size_t>(width), h = static_cast<size_t>(height);
    // w × 4 × h cannot overflow: each side is at most 32767.
    if (data->length() != w * 4 * h) return nullptr;
    // The context only reads these bytes (nothing is drawn into it), so the immutable data may be
    // handed to it; the new image takes a copy.
    auto context =
        CGBitmapContextCreate(const_cast<uint8_t*>(data->bytes()), w, h, 8, w * 4,
                              CGColorSpaceCreateDeviceRGB(), kCGImageAlphaPremultipliedFirst);
    return CGBitmapContextCreateImage(context);
}

CGImageRef NSImageCGImage(const NSImage& image) {
    return image.CGImageForProposedRect_context_hints(nullptr, nullptr, nullptr);
}
