#pragma once
// The image asset and its mipmap cache: the media content of a layer, a still bitmap or a video or
// audio clip with a still frame. The asset keeps the decoded bitmap for drawing, the encoded image
// bytes for saving and, for video and audio, a private copy of the media file in the temporary
// directory, deleted when the asset goes away. The asset is VTImage.cpp, the mipmap cache
// VTImage+Mipmaps.cpp.
//
// Threads: an asset is used by one thread at a time, except its mipmap
// cache, which the "Mipmap Queue" and the main queue also reach; every access to the cache field
// takes a lock of the asset's own. The per-thread settings are kept per thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CGGeometry.h"
#include "CGImage.h"
#include "NSData.h"
#include "NSObject.h"
#include "NSURL.h"
#include "NSUUID.h"

#pragma GCC visibility push(default)  // exported from libVantler

class AVURLAsset;
class NSCoder;
class NSImage;
class VTImage;

// The thread-dictionary keys of the two per-thread settings. The settings live in thread_local
// storage that models each entry: the encoding delegate itself,
// and for the decoding style the stored number (1 when the style set is 0, else 0).
inline constexpr const char* VTImageEncodingDelegateKey =
    "com.brackenfold.vantler.VTImageEncodingDelegateKey";
inline constexpr const char* VTImageShouldSkipVideoDecodeKey =
    "com.brackenfold.vantler.VTImageShouldSkipVideoDecodeKey";

// What a thread's encoding delegate is told instead of the archive holding the
// image and media bytes (the design tool stores them beside the document).
class VTImageEncodingDelegate {
  public:
    virtual ~VTImageEncodingDelegate() = default;
    // Called on the encoding thread, during encodeWithCoder, with the asset and its UUID.
    virtual void image_didEncodeWithID(const std::shared_ptr<const VTImage>& image,
                                       const std::shared_ptr<const NSUUID>& uuid) = 0;
};

// Mipmap levels, entry 0 the asset's own bitmap, each further entry half the size of the
// previous one (rounded up); and the callback of a level request, given a bitmap or none. The
// bitmap belongs to the cache; a callback that keeps it keeps its own reference.
using VTMipmapLevels = std::vector<CGImageRef>;
using VTMipmapCallback = std::function<void(const CGImageRef& image)>;

class VTImage : public NSObject {
  public:
    NS_CLASS_RECORD("VTImage", NSObject::objcClass())

    // An empty asset as the unarchiver makes it before initWithCoder; model code uses init().
    VTImage() = default;
    // Deletes the temporary file, if any (errors ignored). When the process ends normally, the
    // temporary files of the images still alive are deleted too.
    ~VTImage() override;

    // ---- Making assets
    // No bitmap, scale 1.0, a new random UUID.
    static std::shared_ptr<VTImage> init();
    // A supported video or audio file (isSupportedVideoType) is copied to tempVideoURLForURL(url)
    // and its frame at time 0 becomes the bitmap (none for audio or an unreadable video, logged as
    // "Thumbnail Generation Error %@"); any other file is opened as an image (NSImage). Scale 2.0
    // when the file name without its extension contains "@2x", else 3.0 when it contains "@3x",
    // else 1.0; originalURL is the URL. None for a null URL, or a file that is neither media nor an
    // image.
    static std::shared_ptr<VTImage> imageWithURL(const std::shared_ptr<const NSURL>& url);
    // A new asset (init) whose bitmap is the image's; none for no image.
    static std::shared_ptr<VTImage> imageWithOSImage(const std::shared_ptr<const NSImage>& image);

    // ---- Per-thread settings, each read and written on the calling thread only.
    // The delegate is kept strongly until replaced; none removes it.
    static void setEncodingDelegate(std::shared_ptr<VTImageEncodingDelegate> delegate);
    static std::shared_ptr<VTImageEncodingDelegate> encodingDelegate();
    // 0 (the default) decodes everything; any other value means 1: video and audio files are not
    // written while decoding, so their assets decode as stills. decodingStyle answers 0 or 1 only.
    static void setDecodingStyle(int64_t style);
    static int64_t decodingStyle();

    // ---- A barrier on the "Mipmap Queue" (without waiting), after which submitted work
    // starts only once everything submitted before has finished; nothing when no queue exists yet.
    static void addRequestBarrier();

    // ---- The asset
    // The decoded still (none for audio or when nothing decodes); shared, not copied.
    const CGImageRef& CGImage() const { return image_; }
    // Replaces the bitmap. The stored pngData and the mipmap cache are left as they are: the caller
    // that swaps a bitmap keeps them in step itself.
    void _setCGImage(CGImageRef image) { image_ = std::move(image); }
    // A new platform image of the bitmap at its pixel size; none without a bitmap.
    std::shared_ptr<NSImage> osImage() const;
    // The encoded still: the stored bytes, or else the bitmap encoded as PNG now and kept
    // (CGImageConvertToPNGData); none without a bitmap.
    const std::shared_ptr<const NSData>& pngData() const;
    // Encodes the bitmap as PNG and writes it atomically to the path; a failure (or no bitmap) is
    // ignored.
    void writeToPath(const std::string& path) const;

    // Pixels per point of the still: 1.0 after init; positive.
    float scale() const { return scale_; }
    const std::shared_ptr<const NSUUID>& uuid() const { return uuid_; }
    // Where the asset was imported from; may be none.
    const std::shared_ptr<const NSURL>& originalURL() const { return originalURL_; }
    // The private copy of a video or audio file; present exactly when the asset is video or audio.
    const std::shared_ptr<const NSURL>& temporaryFileURL() const { return temporaryFileURL_; }
    const std::shared_ptr<const NSURL>& videoURL() const { return temporaryFileURL_; }

    // The media framework's view of the temporary file, made on first call and kept; none when
    // there is no temporary file.
    std::shared_ptr<AVURLAsset> mediaAsset() const;
    bool isVideoOrAudio() const { return temporaryFileURL_ != nullptr; }
    bool isAudio() const { return isVideoOrAudio() && !image_; }
    // Seconds: 0 until mediaAsset() has been called (this does not make the media asset), and 0
    // when the media's duration is not above zero. Media the framework cannot read has an invalid
    // duration, which CoreMedia orders above zero: NaN then, as on a Mac.
    double duration() const;
    // Video or audio: the natural size (before rotation) of the first video track of mediaAsset(),
    // or the zero size; a still: the bitmap's size in pixels.
    CGSize pixelSize() const;
    // pixelSize divided by scale, each dimension rounded up to a whole number.
    CGSize pointSize() const;

    // Equal: the same object; or both assets (of this class or a subclass) agree on
    // isVideoOrAudio and then have temporary files of equal contents (video or audio), or equal
    // pngData (stills; an asset without a bitmap has no pngData and is equal to no other asset).
    bool isEqual(const NSObject& other) const override;
    using NSObject::isEqual;  // the form that takes none
    // Bitmap width ^ bitmap height ^ (1 for video or audio, else 0).
    size_t hash() const override;

    // Keys "uuid", "url", "scale", "jpegData", "videoData", "imageData", "imageWidth",
    // "imageHeight". Decoding requests mipmap level 1, which
    // starts the level generation in the background. Malformed values raise as the coder does.
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    // ---- Mipmaps
    // The largest whole number of halvings after which the bitmap is still at least `size` (each
    // dimension first raised to at least 1; NaN counts as 1) in both dimensions; 0 without a
    // bitmap.
    int64_t mipmapLevelForSize(CGSize size) const;
    // Level `level` of the bitmap, given to `callback` (a function, not empty): at once (on this
    // thread) with the bitmap for a level of 0 or below, and with entry min(count - 1, level) when
    // the levels exist (none when the cached list is empty); otherwise later, on the main queue,
    // once a generation on the "Mipmap Queue" has stored the levels (a fresh generation that finds
    // no bitmap calls nothing). The asset and the callback are kept by the queued work until it has
    // run.
    void mipmapImageAtLevel_callback(int64_t level, VTMipmapCallback callback);

  protected:
    // Decoding without the level-1 request: identity, bitmap and, for style 0, the media file.
    void decodeContentsWithCoder(NSCoder& coder);

  private:
    CGImageRef image_;
    float scale_ = 1.0f;
    std::shared_ptr<const NSUUID> uuid_;
    std::shared_ptr<const NSURL> originalURL_;
    std::shared_ptr<const NSURL> temporaryFileURL_;
    // Filled on first use by the const operations that need them, on the asset's one thread.
    mutable std::shared_ptr<const NSData> pngData_;
    mutable std::shared_ptr<AVURLAsset> videoAsset_;
    // None (never requested, or the last generation found no bitmap), the placeholder
    // (generation in progress) or the levels; read and written under mipmapMutex_ only.
    std::shared_ptr<const VTMipmapLevels> mipmapCache_;
    std::mutex mipmapMutex_;
};

// ---- Free functions
// Whether a file URL names a movie or audio file of one of the 20 supported types (by its type
// identifier, UTType.h); false when the type cannot be determined.
bool isSupportedVideoType(const NSURL& url);
// A file URL in NSTemporaryDirectory() named "<globallyUniqueString>_<last path component of url>",
// or "<globallyUniqueString>_temp" for no URL or a URL without a last path component.
std::shared_ptr<NSURL> tempVideoURLForURL(const NSURL* url);
// A bitmap of raw pixels: bytes A, R, G, B per pixel (premultiplied, device RGB), rows packed. The
// size is rounded to whole pixels (halves away from zero); none for no data, data whose length is
// not width × 4 × height, or a size no bitmap context takes (CGContext.h). The bytes are copied.
CGImageRef CGImageCreateFromData(const std::shared_ptr<const NSData>& data, CGSize size);
// The extension `CGImage` of the platform image class: the image's bitmap, as
// CGImageForProposedRect:context:hints: gives it with no rectangle, context or hints.
CGImageRef NSImageCGImage(const NSImage& image);

// The mipmap levels of a bitmap (none for no bitmap): entry 0 is the bitmap itself, entry i ≥ 1 has
// ceil(W / 2^i) × ceil(H / 2^i) pixels and is drawn from entry i - 1 into a device RGB,
// premultiplied alpha-first bitmap; the list ends with the first entry narrower or lower than 2
// pixels (a bitmap below 2 in either dimension has entry 0 only), or early at the last level made
// should a bitmap context fail.
std::optional<VTMipmapLevels> generateMipmaps(const CGImageRef& image);

#pragma GCC visibility pop
