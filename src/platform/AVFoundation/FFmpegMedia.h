#pragma once
// FFmpeg behind the media framework's names: how a media file is opened, which of its streams are
// tracks, and how a stream's display matrix becomes a preferred transform. Private to the media
// module, VantlerMedia.so (MediaModule.h): no FFmpeg type crosses into the library.

extern "C" {
#include <libavformat/avformat.h>
}

#include <memory>
#include <string>

#include "CGGeometry.h"

namespace FFmpegMedia {

struct FormatContextClose {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using FormatContext = std::unique_ptr<AVFormatContext, FormatContextClose>;

// Silences FFmpeg's log (once per process; safe from several threads): a thumbnailer must print
// nothing for a damaged file.
void silenceLogging();

// The decoders that a document's media may be decoded with (FFmpeg's names): the video codecs of
// the supported media types and the audio codecs whose parameters the tracks report. A crafted
// file can name any of FFmpeg's hundreds of codecs in its headers; only these ever run on its
// bytes, in stream probing and in frame decoding alike.
extern const char* const kSupportedDecoders;

// Opens the file at `path` and reads its stream parameters, within AVFoundationLimits.h: the local
// file only (no other protocol, so a crafted file cannot make FFmpeg open a network address), only
// the demuxers of the supported media types (so a playlist or concatenation script cannot make it
// read other files), and only kSupportedDecoders. Null when FFmpeg cannot open it as one of those.
FormatContext openMediaFile(const std::string& path);

// AVFoundation's tracks: video streams other than attached pictures (cover art is not a video
// track), and audio streams.
bool isVideoTrack(const AVStream& stream);
bool isAudioTrack(const AVStream& stream);
// The index of the first video track, or -1.
int firstVideoTrackIndex(const AVFormatContext& context);

// A quarter turn count: the clockwise rotation, 0, 90, 180 or 270 degrees, that shows a stream's
// stored frames upright, from its display matrix (or its "rotate" tag when there is no matrix).
// Matrices that are no multiple of a quarter turn, or that mirror, give 0.
int clockwiseDisplayRotation(const AVStream& stream);
// AVFoundation's preferredTransform for that rotation of a width × height frame: it maps stored
// pixel coordinates (y down) onto the upright frame, whose origin stays at the top left (an iPhone
// portrait video, stored landscape and turned 90 degrees, has (0, 1, -1, 0, height, 0)).
CGAffineTransform preferredTransformForRotation(int clockwiseDegrees, double width, double height);

}  // namespace FFmpegMedia
