// See FFmpegMedia.h.

#include "FFmpegMedia.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/log.h>
}

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "AVFoundationLimits.h"
#include "CGImage.h"

namespace FFmpegMedia {

namespace {

// The demuxers of the supported media types (FFmpeg's names; "mov" reads QuickTime, MPEG-4,
// M4V, M4A and 3GPP files, "mp3" MP2 and MP3, "aa" Audible files).
constexpr const char* kSupportedDemuxers = "mov,avi,aac,aiff,wav,mp3,au,ac3,eac3,aa";

}  // namespace

const char* const kSupportedDecoders =
    "h264,hevc,mpeg4,h263,mjpeg,prores,mpeg1video,mpeg2video,png,"
    "aac,aac_fixed,mp3,mp3float,mp2,mp2float,alac,ac3,ac3_fixed,eac3,adpcm_ima_qt,adpcm_ima_wav,"
    "pcm_s16le,pcm_s16be,pcm_s24le,pcm_s24be,pcm_s32le,pcm_s32be,pcm_f32le,pcm_f32be,pcm_f64le,"
    "pcm_f64be,pcm_u8,pcm_s8,pcm_alaw,pcm_mulaw";

namespace {

// Frees what FFmpeg left in an options dictionary (the options it did not take).
struct DictionaryScope {
    AVDictionary** dictionary;
    ~DictionaryScope() { av_dict_free(dictionary); }
};

// The side data of a stream (FFmpeg 6.1 moved it into the codec parameters).
const uint8_t* streamSideData(const AVStream& stream, AVPacketSideDataType type, size_t* size) {
#if LIBAVFORMAT_VERSION_INT >= AV_VERSION_INT(60, 15, 100)
    const AVPacketSideData* data = av_packet_side_data_get(
        stream.codecpar->coded_side_data, stream.codecpar->nb_coded_side_data, type);
    if (!data) return nullptr;
    *size = data->size;
    return data->data;
#else
    return av_stream_get_side_data(&stream, type, size);
#endif
}

// Nearest quarter turn of an angle in degrees, in 0..270; -1 when the angle is not within a
// degree of one.
int quarterTurn(double degrees) {
    if (!std::isfinite(degrees)) return -1;
    const double turns = std::round(degrees / 90.0);
    if (std::fabs(degrees - turns * 90.0) > 1.0) return -1;
    return static_cast<int>(((static_cast<long long>(turns) % 4) + 4) % 4) * 90;
}

}  // namespace

void silenceLogging() {
    static const bool silenced = [] {
        av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    (void)silenced;
}

FormatContext openMediaFile(const std::string& path) {
    silenceLogging();
    AVDictionary* options = nullptr;
    const DictionaryScope scope{&options};
    const auto set = [&options](const char* key, const std::string& value) {
        return av_dict_set(&options, key, value.c_str(), 0) >= 0;
    };
    if (!set("protocol_whitelist", "file") || !set("format_whitelist", kSupportedDemuxers) ||
        !set("codec_whitelist", kSupportedDecoders) ||
        !set("probesize", std::to_string(AVFoundationLimits::kMaxProbeBytes)) ||
        !set("analyzeduration", std::to_string(AVFoundationLimits::kMaxAnalyzeMicroseconds)) ||
        !set("max_streams", std::to_string(AVFoundationLimits::kMaxStreams)))
        return nullptr;

    AVFormatContext* raw = nullptr;
    // The "file:" prefix keeps a path that looks like a URL ("concat:a|b") a path.
    if (avformat_open_input(&raw, ("file:" + path).c_str(), nullptr, &options) < 0) return nullptr;
    FormatContext context(raw);
    // Finding the parameters decodes a few frames: their decoders refuse frames above the image
    // limits before allocating them.
    std::vector<AVDictionary*> decoderOptions(context->nb_streams, nullptr);
    const std::string maxPixels = std::to_string(kCGImageMaxPixelCount);
    bool decoderOptionsSet = true;
    for (AVDictionary*& dictionary : decoderOptions)
        decoderOptionsSet =
            decoderOptionsSet && av_dict_set(&dictionary, "max_pixels", maxPixels.c_str(), 0) >= 0;
    // A failure to find them leaves the parameters the container's header gave; the tracks are
    // still listed, as AVFoundation lists a track it cannot decode.
    if (decoderOptionsSet)
        avformat_find_stream_info(context.get(), decoderOptions.data());
    else
        context.reset();
    for (AVDictionary*& dictionary : decoderOptions) av_dict_free(&dictionary);
    return context;
}

bool isVideoTrack(const AVStream& stream) {
    return stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
           !(stream.disposition & AV_DISPOSITION_ATTACHED_PIC);
}

bool isAudioTrack(const AVStream& stream) {
    return stream.codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
}

int firstVideoTrackIndex(const AVFormatContext& context) {
    for (unsigned i = 0; i < context.nb_streams; ++i)
        if (isVideoTrack(*context.streams[i])) return static_cast<int>(i);
    return -1;
}

int clockwiseDisplayRotation(const AVStream& stream) {
    size_t size = 0;
    const uint8_t* matrixBytes = streamSideData(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (matrixBytes && size >= 9 * sizeof(int32_t)) {
        int32_t matrix[9];
        std::memcpy(matrix, matrixBytes, sizeof matrix);
        // A negative determinant mirrors the picture, which no quarter turn shows.
        if (static_cast<int64_t>(matrix[0]) * matrix[4] -
                static_cast<int64_t>(matrix[1]) * matrix[3] <
            0)
            return 0;
        // av_display_rotation_get gives the counterclockwise angle.
        const int turn = quarterTurn(-av_display_rotation_get(matrix));
        return turn < 0 ? 0 : turn;
    }
    // Older muxers wrote the clockwise angle as a tag.
    const AVDictionaryEntry* tag = av_dict_get(stream.metadata, "rotate", nullptr, 0);
    if (!tag || !tag->value) return 0;
    char* end = nullptr;
    const double degrees = std::strtod(tag->value, &end);
    if (end == tag->value || *end != '\0') return 0;
    const int turn = quarterTurn(degrees);
    return turn < 0 ? 0 : turn;
}

CGAffineTransform preferredTransformForRotation(int clockwiseDegrees, double width, double height) {
    switch (clockwiseDegrees) {
        case 90:
            return CGAffineTransformMake(0, 1, -1, 0, height, 0);
        case 180:
            return CGAffineTransformMake(-1, 0, 0, -1, width, height);
        case 270:
            return CGAffineTransformMake(0, -1, 1, 0, 0, width);
        default:
            return CGAffineTransformIdentity;
    }
}

}  // namespace FFmpegMedia
