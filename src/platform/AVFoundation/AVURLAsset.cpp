// AVURLAsset over FFmpeg (AVFoundation.h): the facts an image asset takes from a media file, its
// tracks with their natural sizes and preferred transforms, and its duration.

#include "AVFoundation.h"
#include "FFmpegMedia.h"

const char* const AVMediaTypeVideo = "vide";
const char* const AVMediaTypeAudio = "soun";

namespace {

// The container's duration (FFmpeg keeps it in microseconds); invalid when unknown.
CMTime durationOf(const AVFormatContext& context) {
    static_assert(AV_TIME_BASE == 1'000'000);
    if (context.duration == AV_NOPTS_VALUE || context.duration < 0) return kCMTimeInvalid;
    return CMTimeMake(context.duration, AV_TIME_BASE);
}

}  // namespace

std::shared_ptr<AVURLAsset> AVURLAsset::URLAssetWithURL_options(
    std::shared_ptr<const NSURL> URL, std::shared_ptr<const NSDictionary> /*options*/) {
    if (!URL) return nullptr;
    auto asset = std::make_shared<AVURLAsset>();
    asset->URL_ = std::move(URL);
    if (!asset->URL_->isFileURL()) return asset;
    const FFmpegMedia::FormatContext context = FFmpegMedia::openMediaFile(asset->URL_->path());
    if (!context) return asset;

    asset->duration_ = durationOf(*context);
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream& stream = *context->streams[i];
        auto track = std::make_shared<AVAssetTrack>();
        if (FFmpegMedia::isVideoTrack(stream)) {
            const AVCodecParameters& parameters = *stream.codecpar;
            const double width = parameters.width > 0 ? parameters.width : 0;
            const double height = parameters.height > 0 ? parameters.height : 0;
            track->mediaType_ = AVMediaTypeVideo;
            track->naturalSize_ = CGSizeMake(width, height);
            track->preferredTransform_ = FFmpegMedia::preferredTransformForRotation(
                FFmpegMedia::clockwiseDisplayRotation(stream), width, height);
        } else if (FFmpegMedia::isAudioTrack(stream)) {
            track->mediaType_ = AVMediaTypeAudio;
        } else {
            continue;
        }
        asset->tracks_.push_back(std::move(track));
    }
    return asset;
}

std::vector<std::shared_ptr<AVAssetTrack>> AVURLAsset::tracksWithMediaType(
    const std::string& mediaType) const {
    std::vector<std::shared_ptr<AVAssetTrack>> result;
    for (const auto& track : tracks_)
        if (track->mediaType() == mediaType) result.push_back(track);
    return result;
}
