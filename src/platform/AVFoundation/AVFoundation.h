#pragma once
// The media framework's names (AVFoundation, CoreMedia) over FFmpeg, reduced to what Part 3.1
// relies on: a still frame at time 0 (or none), the first video track's natural size, and the
// duration in seconds.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CGGeometry.h"
#include "CGImage.h"
#include "NSDictionary.h"
#include "NSError.h"
#include "NSURL.h"

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
CMTime CMTimeMake(int64_t value, int32_t timescale);
// −1, 0 or 1, with CoreMedia's order (invalid < negative infinity < numbers < positive infinity <
// indefinite) and exact comparison of value/timescale pairs.
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
    // The size of the track's frames as stored, before the preferred transform (video tracks; zero
    // for other tracks).
    CGSize naturalSize() const { return naturalSize_; }
    // The rotation that displays the frames upright (from the stream's display matrix).
    CGAffineTransform preferredTransform() const { return preferredTransform_; }

protected:
    std::string mediaType_;
    CGSize naturalSize_ = CGSizeZero;
    CGAffineTransform preferredTransform_ = CGAffineTransformIdentity;
    friend class AVURLAsset;
};

// A media file opened for its facts. Opening reads the container's header only; frames are decoded
// by AVAssetImageGenerator. A file FFmpeg cannot open gives an asset with no tracks and an invalid
// duration.
class AVURLAsset : public NSObject {
public:
    static const NSClass& objcClass() {
        static const NSClass cls{"AVURLAsset", &NSObject::objcClass()};
        return cls;
    }
    const NSClass& classForKeyedArchiver() const override { return objcClass(); }

    // `options` is not used (Part 3.1 passes none).
    static std::shared_ptr<AVURLAsset> URLAssetWithURL_options(std::shared_ptr<const NSURL> URL,
                                                               std::shared_ptr<const NSDictionary> options);
    const std::shared_ptr<const NSURL>& URL() const { return URL_; }
    CMTime duration() const { return duration_; }
    std::vector<std::shared_ptr<AVAssetTrack>> tracks() const { return tracks_; }
    std::vector<std::shared_ptr<AVAssetTrack>> tracksWithMediaType(const std::string& mediaType) const;

private:
    std::shared_ptr<const NSURL> URL_;
    CMTime duration_ = kCMTimeInvalid;
    std::vector<std::shared_ptr<AVAssetTrack>> tracks_;
};

class AVAssetImageGenerator {
public:
    static std::shared_ptr<AVAssetImageGenerator> assetImageGeneratorWithAsset(
        std::shared_ptr<const AVURLAsset> asset);

    void setAppliesPreferredTrackTransform(bool applies) { appliesPreferredTrackTransform_ = applies; }
    void setApertureMode(std::string mode) { apertureMode_ = std::move(mode); }
    void setRequestedTimeToleranceBefore(CMTime tolerance) { toleranceBefore_ = tolerance; }
    void setRequestedTimeToleranceAfter(CMTime tolerance) { toleranceAfter_ = tolerance; }

    // The frame shown at `requestedTime` of the first video track, as an sRGB image (8-bit,
    // premultiplied, in the project's native layout), rotated upright when the preferred transform
    // is applied; null with *error set (domain "AVFoundationErrorDomain") when there is no video
    // track or no frame can be decoded. `actualTime` may be null.
    CGImageRef copyCGImageAtTime_actualTime_error(CMTime requestedTime, CMTime* actualTime,
                                                  std::shared_ptr<NSError>* error) const;

private:
    std::shared_ptr<const AVURLAsset> asset_;
    bool appliesPreferredTrackTransform_ = false;
    std::string apertureMode_;
    CMTime toleranceBefore_;
    CMTime toleranceAfter_;
};
