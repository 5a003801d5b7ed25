// The facts of a media file (MediaModule.h): the duration, and each stream as a track with its
// natural size and preferred transform, or as no track.

#include "FFmpegMedia.h"
#include "MediaModule.h"

namespace AVFoundationPrivate {

namespace {

// The container's duration (FFmpeg keeps it in microseconds); invalid when unknown.
CMTime durationOf(const AVFormatContext& context) {
    static_assert(AV_TIME_BASE == 1'000'000);
    if (context.duration == AV_NOPTS_VALUE || context.duration < 0) return kCMTimeInvalid;
    return CMTimeMake(context.duration, AV_TIME_BASE);
}

MediaStreamFacts factsOfStream(const AVStream& stream) {
    MediaStreamFacts facts;
    if (FFmpegMedia::isVideoTrack(stream)) {
        const AVCodecParameters& parameters = *stream.codecpar;
        const double width = parameters.width > 0 ? parameters.width : 0;
        const double height = parameters.height > 0 ? parameters.height : 0;
        facts.kind = MediaStreamKind::videoTrack;
        facts.naturalSize = CGSizeMake(width, height);
        facts.preferredTransform = FFmpegMedia::preferredTransformForRotation(
            FFmpegMedia::clockwiseDisplayRotation(stream), width, height);
    } else if (FFmpegMedia::isAudioTrack(stream)) {
        facts.kind = MediaStreamKind::audioTrack;
    }
    return facts;
}

}  // namespace

MediaFileFacts mediaFileFacts(const std::string& path) {
    MediaFileFacts facts;
    const FFmpegMedia::FormatContext context = FFmpegMedia::openMediaFile(path);
    if (!context) return facts;
    facts.duration = durationOf(*context);
    for (unsigned i = 0; i < context->nb_streams; ++i)
        facts.streams.push_back(factsOfStream(*context->streams[i]));
    return facts;
}

}  // namespace AVFoundationPrivate
