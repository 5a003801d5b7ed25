#pragma once
// The media framework's names (AVFoundation, CoreMedia) over FFmpeg, reduced to what importing a
// movie into an image asset relies on: a still frame at time 0 (or none), the first video track's
// natural size, and the duration in seconds.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CGGeometry.h"
#include "CGImage.h"
#include "NSDictionary.h"
#include "NSError.h"
#include "NSURL.h"

#pragma GCC visibility push(default)  // exported from libVantler

// ---- CoreMedia time
enum CMTimeFlags : uint32_t {
    kCMTimeFlags_Valid = 1u << 0,
    kCMTimeFlags_HasBeenRounded = 1u << 1,
    kCMTimeFlags_PositiveInfinity = 1u << 2,
    kCMTimeFlags_NegativeInfinity = 1u << 3,
    kCMTimeFlags_Indefinite = 1u << 4,
};
struct CMTime {
    int64_t value = 0;
    int32_t timescale = 0;
    uint32_t flags = 0;
    int64_t epoch = 0;
};
extern const CMTime kCMTimeZero;     // 0/1, valid
extern const CMTime kCMTimeInvalid;  // all zero
// value/timescale seconds; kCMTimeInvalid when the timescale is not positive.
CMTime CMTimeMake(int64_t value, int32_t timescale);
// Whether the time carries kCMTimeFlags_Valid (CoreMedia's macro of that name).
bool CMTIME_IS_VALID(CMTime time);
// −1, 0 or 1, with CoreMedia's documented order (negative infinity < numbers < indefinite <
// positive infinity < invalid; so an invalid time is greater than kCMTimeZero), a larger epoch
// greater, and exact comparison of value/timescale pairs.
int32_t CMTimeCompare(CMTime time1, CMTime time2);
// value / timescale in seconds; NaN for invalid or indefinite times, ±infinity for the infinities.
double CMTimeGetSeconds(CMTime time);

// ---- Media types
extern const char* const AVMediaTypeVideo;  // "vide"
extern const char* const AVMediaTypeAudio;  // "soun"
extern const char* const AVAssetImageGeneratorApertureModeEncodedPixels;
extern const char* const AVAssetImageGeneratorApertureModeCleanAperture;

class AVAssetTrack {
  public:
    virtual ~AVAssetTrack() = default;
    const std::string& mediaType() const { return mediaType_; }
    // The size of the track's frames as stored (the coded size after the codec's own cropping),
    // before the preferred transform, in pixels; zero for audio tracks and when FFmpeg could not
    // tell (frames its decoders refuse as larger than CGImage.h's limits).
    CGSize naturalSize() const { return naturalSize_; }
    // The quarter turn that shows the frames upright, from the stream's display matrix (or its
    // "rotate" tag), as AVFoundation gives it: it maps stored pixel coordinates (y down) onto the
    // upright frame, e.g. (0, 1, -1, 0, height, 0) for a phone video shot upright. Identity for
    // other matrices (mirrors, angles that are no quarter turn) and for audio tracks.
    CGAffineTransform preferredTransform() const { return preferredTransform_; }

  protected:
    std::string mediaType_;
    CGSize naturalSize_ = CGSizeZero;
    CGAffineTransform preferredTransform_ = CGAffineTransformIdentity;
    friend class AVURLAsset;
};

// A media file opened for its facts, read once when the asset is made: the container's header and
// the streams' parameters (FFmpeg's probing, within AVFoundationLimits.h). Frames are decoded by
// AVAssetImageGenerator. A file FFmpeg cannot open as one of the supported media types
// (FFmpeg's demuxers of them only; local files only) gives an asset with no tracks and an invalid
// duration, as every file does when FFmpeg's module (MediaModule.h) cannot be loaded. An asset is
// immutable: several threads may use one, and several assets may be made and used on several
// threads at once.
class AVURLAsset : public NSObject {
  public:
    NS_CLASS_RECORD("AVURLAsset", NSObject::objcClass())

    // Null for a null URL; a URL of another scheme than "file" gives an asset with no tracks.
    // `options` is not used (the importer passes none).
    static std::shared_ptr<AVURLAsset> URLAssetWithURL_options(
        std::shared_ptr<const NSURL> URL, std::shared_ptr<const NSDictionary> options);
    const std::shared_ptr<const NSURL>& URL() const { return URL_; }
    // The container's duration, in microseconds (timescale 1000000); invalid when unknown.
    CMTime duration() const { return duration_; }
    // The video tracks (cover art in an audio file is not one) and audio tracks, in stream
    // order; other streams (subtitles, data) are not listed.
    std::vector<std::shared_ptr<AVAssetTrack>> tracks() const { return tracks_; }
    std::vector<std::shared_ptr<AVAssetTrack>> tracksWithMediaType(
        const std::string& mediaType) const;

  private:
    std::shared_ptr<const NSURL> URL_;
    CMTime duration_ = kCMTimeInvalid;
    std::vector<std::shared_ptr<AVAssetTrack>> tracks_;
};

class AVAssetImageGenerator {
  public:
    static std::shared_ptr<AVAssetImageGenerator> assetImageGeneratorWithAsset(
        std::shared_ptr<const AVURLAsset> asset);

    void setAppliesPreferredTrackTransform(bool applies) {
        appliesPreferredTrackTransform_ = applies;
    }
    // Kept for AVFoundation's interface; both modes give the full coded frame (FFmpeg reads no
    // clean-aperture box), which is what the encoded-pixels mode asks for.
    void setApertureMode(std::string mode) { apertureMode_ = std::move(mode); }
    // Kept for AVFoundation's interface; the frame given is always the one shown at exactly the
    // requested time, which meets any tolerance (the importer asks for zero ones).
    void setRequestedTimeToleranceBefore(CMTime tolerance) { toleranceBefore_ = tolerance; }
    void setRequestedTimeToleranceAfter(CMTime tolerance) { toleranceAfter_ = tolerance; }

    // The frame of the first video track shown at `requestedTime` (seconds from the container's
    // start; a time that is no positive number is the start, so time 0 is the first frame), decoded
    // anew from the asset's file on each call, as an sRGB image in cairo's native layout
    // (kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host, 8 bits, alpha 255 for opaque
    // video; YUV converted with the stream's colour matrix, BT.709 for untagged HD and BT.601 for
    // untagged SD), turned upright when the preferred transform is applied. `*actualTime`, when
    // asked for, is the frame's own time. Null with `*error` (when asked for) set to AVFoundation's
    // unknown error, domain "AVFoundationErrorDomain", code -11800 (AVErrorUnknown), description
    // "The operation could not be completed", and a failure reason: no asset or not a local file,
    // FFmpeg's module that cannot be loaded, a file that does not open, no video track, no decoder,
    // frames beyond CGImage.h's size limits, or no frame decoded within
    // AVFoundationLimits::kMaxPacketsBeforeFrame packets.
    CGImageRef copyCGImageAtTime_actualTime_error(CMTime requestedTime, CMTime* actualTime,
                                                  std::shared_ptr<NSError>* error) const;

  private:
    std::shared_ptr<const AVURLAsset> asset_;
    bool appliesPreferredTrackTransform_ = false;
    std::string apertureMode_;
    CMTime toleranceBefore_;
    CMTime toleranceAfter_;
};

#pragma GCC visibility pop
