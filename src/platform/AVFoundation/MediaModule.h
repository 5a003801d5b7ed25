#pragma once
// FFmpeg is in a module of its own, loaded the first time a document needs a media file read: a
// process that shows a carried thumbnail or a still maps none of FFmpeg's libraries, nor runs
// their code on what it reads. The module hands the media stand-in plain data (the facts of a
// file, a frame's pixels, a probe's answer); errors, images and the public classes are made in the
// library.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "AVFoundation.h"
#include "CGGeometry.h"
#include "LoadableModule.h"

#pragma GCC visibility push(default)  // exported from libVantler

namespace AVFoundationPrivate {

inline constexpr const char* kMediaModuleFile = "VantlerMedia.so";
inline constexpr const char* kMediaModuleEntry = "VantlerMediaModule";

// What a stream of a media file is to AVFoundation: a video track, an audio track, or another
// stream that is no track (subtitles, data, cover art: a picture is no video track).
enum class MediaStreamKind { videoTrack, audioTrack, other };

struct MediaStreamFacts {
    MediaStreamKind kind = MediaStreamKind::other;
    // Video tracks: AVAssetTrack's naturalSize and preferredTransform.
    CGSize naturalSize = CGSizeZero;
    CGAffineTransform preferredTransform = CGAffineTransformIdentity;
};

// The facts read once when an asset is made. A file FFmpeg cannot open as one of the supported
// media types has no streams and an invalid duration.
struct MediaFileFacts {
    CMTime duration = kCMTimeInvalid;       // AVURLAsset's duration
    std::vector<MediaStreamFacts> streams;  // every stream, in the file's order
};

// The frame of the first video track shown at a requested time: `width` × `height` native
// premultiplied ARGB words (CGImage's kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host,
// sRGB), rows packed. No pixels when there is no such frame: `failure` says why.
struct MediaFrame {
    std::vector<uint32_t> pixels;
    size_t width = 0;
    size_t height = 0;
    // The frame's own time from the asset's start; none when the stream does not tell it.
    std::optional<CMTime> time;
    std::string failure;
};

// The module's table; no function prints (FFmpeg's log is silenced).
struct MediaModule {
    // The facts of the media file at `path` (AVURLAsset).
    MediaFileFacts (*factsOfFile)(const std::string& path);
    // The frame shown at `requestedTime`, turned upright when `upright`, decoded anew from the
    // file (AVAssetImageGenerator).
    MediaFrame (*frameAtTime)(const std::string& path, CMTime requestedTime, bool upright);
    // The names of the demuxer that FFmpeg's probe picks for the head of a file (FFmpeg's
    // comma-separated list, "mov,mp4,m4a,3gp,3g2,mj2" for MPEG-4 and QuickTime files), or null
    // when no demuxer is sure enough. `wholeFile` tells that the bytes are all of the file.
    const char* (*probedDemuxerNames)(std::span<const uint8_t> head, bool wholeFile);
};

// The module's functions, each in its own file.
MediaFileFacts mediaFileFacts(const std::string& path);  // MediaFileFacts.cpp
MediaFrame mediaFrameAtTime(const std::string& path, CMTime requestedTime,
                            bool upright);  // MediaFrameAtTime.cpp
const char* probedDemuxerNames(std::span<const uint8_t> head,
                               bool wholeFile);  // MediaTypeProbe.cpp

// The table, loading the module on the first call; null when it cannot be loaded.
inline const MediaModule* mediaModule() {
    return LoadableModule::table<MediaModule>(kMediaModuleFile, kMediaModuleEntry);
}

}  // namespace AVFoundationPrivate

#pragma GCC visibility pop
