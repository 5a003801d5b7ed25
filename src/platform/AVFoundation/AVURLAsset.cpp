// AVURLAsset (AVFoundation.h): the facts an image asset takes from a media file, its tracks with
// their natural sizes and preferred transforms, and its duration, as the media module reads them.

#include "AVFoundation.h"
#include "MediaModule.h"

const char* const AVMediaTypeVideo = "vide";
const char* const AVMediaTypeAudio = "soun";

using namespace AVFoundationPrivate;

std::shared_ptr<AVURLAsset> AVURLAsset::URLAssetWithURL_options(
    std::shared_ptr<const NSURL> URL, std::shared_ptr<const NSDictionary> /*options*/) {
    if (!URL) return nullptr;
    auto asset = std::make_shared<AVURLAsset>();
    asset->URL_ = std::move(URL);
    if (!asset->URL_->isFileURL()) return asset;
    // Without the module the file reads as one FFmpeg cannot open: no tracks, no duration.
    const MediaModule* module = mediaModule();
    if (!module) return asset;
    const MediaFileFacts facts = module->factsOfFile(asset->URL_->path());

    asset->duration_ = facts.duration;
    for (const MediaStreamFacts& stream : facts.streams) {
        auto track = std::make_shared<AVAssetTrack>();
        if (stream.kind == MediaStreamKind::videoTrack) {
            track->mediaType_ = AVMediaTypeVideo;
            track->naturalSize_ = stream.naturalSize;
            track->preferredTransform_ = stream.preferredTransform;
        } else if (stream.kind == MediaStreamKind::audioTrack) {
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
