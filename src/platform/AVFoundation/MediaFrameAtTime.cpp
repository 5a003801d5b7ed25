// The frame shown at a time (MediaModule.h): the first video track's frame, decoded, converted to
// sRGB pixels in cairo's native premultiplied layout and turned upright, for AVAssetImageGenerator.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "AVFoundationLimits.h"
#include "CGImagePrivate.h"
#include "FFmpegMedia.h"
#include "MediaModule.h"

namespace AVFoundationPrivate {

namespace {

struct CodecContextFree {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct ScaleContextFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
using CodecContext = std::unique_ptr<AVCodecContext, CodecContextFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using ScaleContext = std::unique_ptr<SwsContext, ScaleContextFree>;

// The pixels of the widest vector block swscale writes at once (64 bytes of 32-bit pixels, an
// AVX-512 register, the stride alignment FFmpeg gives its own frames).
constexpr size_t kSwscaleBlockPixels = 16;

bool fitsImageLimits(int64_t width, int64_t height) {
    return width > 0 && height > 0 && uint64_t(width) <= kCGImageMaxDimension &&
           uint64_t(height) <= kCGImageMaxDimension &&
           uint64_t(width) * uint64_t(height) <= kCGImageMaxPixelCount;
}

// The frame shown at `target` with zero tolerances, from frames offered in presentation order
// (times in the stream's time base): the last frame presented at or before the target, else the
// first one after it. Frames before `origin` (the asset's time 0) are lead-in that is never shown;
// one is taken only when the stream has no other frame, as is a frame without a time.
class FrameChooser {
  public:
    FrameChooser(int64_t origin, int64_t target) : origin_(origin), target_(target) {}

    // True when the choice is made (the frames still to come cannot change it).
    bool offer(Frame frame) {
        const int64_t time = frame->best_effort_timestamp;
        if (time == AV_NOPTS_VALUE) {
            chosen_ = shown_ ? std::move(shown_) : std::move(frame);
            return true;
        }
        if (time < origin_) {
            if (!leadIn_) leadIn_ = std::move(frame);
            return false;
        }
        if (time < target_) {
            shown_ = std::move(frame);
            return false;
        }
        chosen_ = shown_ && time > target_ ? std::move(shown_) : std::move(frame);
        return true;
    }
    // The choice, or at the end of the stream the best frame seen; null when none was.
    Frame take() {
        if (chosen_) return std::move(chosen_);
        if (shown_) return std::move(shown_);
        return std::move(leadIn_);
    }

  private:
    int64_t origin_, target_;
    Frame chosen_, shown_, leadIn_;
};

// Decodes the frame of stream `index` shown at `target`; null with `*failure` set when none comes
// within AVFoundationLimits::kMaxPacketsBeforeFrame packets or before the end of the file.
Frame decodeFrame(AVFormatContext& format, int index, AVCodecContext& codec, FrameChooser& chooser,
                  std::string* failure) {
    Packet packet(av_packet_alloc());
    if (!packet) {
        *failure = "Out of memory";
        return nullptr;
    }
    size_t packetsRead = 0;
    bool draining = false;
    for (;;) {
        for (;;) {
            Frame frame(av_frame_alloc());
            if (!frame) {
                *failure = "Out of memory";
                return nullptr;
            }
            const int received = avcodec_receive_frame(&codec, frame.get());
            if (received == AVERROR_EOF) return chooser.take();
            // EAGAIN wants another packet; a damaged packet's error is passed over like it.
            if (received < 0) break;
            if (chooser.offer(std::move(frame))) return chooser.take();
        }
        if (draining) return chooser.take();
        const int read = av_read_frame(&format, packet.get());
        if (read < 0) {
            // The end of the file (or an unreadable rest): the frames the decoder still holds.
            draining = avcodec_send_packet(&codec, nullptr) >= 0;
            if (!draining) return chooser.take();
            continue;
        }
        if (++packetsRead > AVFoundationLimits::kMaxPacketsBeforeFrame) {
            *failure = "No frame was decoded within the first " +
                       std::to_string(AVFoundationLimits::kMaxPacketsBeforeFrame) + " packets";
            return nullptr;
        }
        // A packet that does not decode is skipped: the next key frame may.
        if (packet->stream_index == index) avcodec_send_packet(&codec, packet.get());
        av_packet_unref(packet.get());
    }
}

// FFmpeg's colour matrix (swscale's SWS_CS_* number) for a frame's YUV. Untagged video follows
// what players assume: BT.709 for HD sizes, BT.601 for standard definition.
int colourMatrixFor(const AVFrame& frame) {
    switch (frame.colorspace) {
        case AVCOL_SPC_BT709:
            return SWS_CS_ITU709;
        case AVCOL_SPC_FCC:
            return SWS_CS_FCC;
        case AVCOL_SPC_BT470BG:
        case AVCOL_SPC_SMPTE170M:
            return SWS_CS_ITU601;
        case AVCOL_SPC_SMPTE240M:
            return SWS_CS_SMPTE240M;
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL:
            return SWS_CS_BT2020;
        default:
            return frame.width >= 1280 || frame.height > 576 ? SWS_CS_ITU709 : SWS_CS_ITU601;
    }
}

bool isFullRange(const AVFrame& frame) {
    switch (frame.format) {
        case AV_PIX_FMT_YUVJ420P:
        case AV_PIX_FMT_YUVJ422P:
        case AV_PIX_FMT_YUVJ444P:
        case AV_PIX_FMT_YUVJ440P:
        case AV_PIX_FMT_YUVJ411P:
            return true;
        default:
            return frame.color_range == AVCOL_RANGE_JPEG;
    }
}

// A frame's pixels as native premultiplied ARGB words (cairo's ARGB32, CGImage's
// kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host), rows packed; the primaries and
// transfer are taken as sRGB's (BT.709 shares them). Empty with `*failure` set when swscale cannot
// convert the frame.
std::vector<uint32_t> nativeARGBPixels(const AVFrame& frame, std::string* failure) {
    const auto format = static_cast<AVPixelFormat>(frame.format);
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    ScaleContext scale(descriptor ? sws_getContext(frame.width, frame.height, format, frame.width,
                                                   frame.height, AV_PIX_FMT_RGB32,
                                                   SWS_BILINEAR | SWS_FULL_CHR_H_INT, nullptr,
                                                   nullptr, nullptr)
                                  : nullptr);
    if (!scale) {
        *failure = std::string("The frames' pixel format ") +
                   (descriptor ? descriptor->name : "(unknown)") + " cannot be converted";
        return {};
    }
    if (!(descriptor->flags & AV_PIX_FMT_FLAG_RGB)) {
        // When swscale takes no details for this format, its defaults (BT.601, the format's
        // range) stay: a colour shift, not a reason to show nothing.
        const int* matrix = sws_getCoefficients(colourMatrixFor(frame));
        sws_setColorspaceDetails(scale.get(), matrix, isFullRange(frame) ? 1 : 0, matrix, 1, 0,
                                 1 << 16, 1 << 16);
    }
    // swscale's vector code writes whole blocks of pixels past a row's last one: from 4:2:0 and
    // 4:2:2 frames up to 15 pixels (60 bytes), beyond the end of the last row into whatever the
    // heap keeps there. Rows are converted at a stride of whole blocks, then packed in place.
    const size_t width = size_t(frame.width), height = size_t(frame.height);
    const size_t stride =
        (width + kSwscaleBlockPixels - 1) / kSwscaleBlockPixels * kSwscaleBlockPixels;
    std::vector<uint32_t> pixels(stride * height);
    uint8_t* destination[4] = {reinterpret_cast<uint8_t*>(pixels.data()), nullptr, nullptr,
                               nullptr};
    const int destinationStride[4] = {int(stride * 4), 0, 0, 0};
    if (sws_scale(scale.get(), frame.data, frame.linesize, 0, frame.height, destination,
                  destinationStride) != frame.height) {
        *failure = "The frame could not be converted to RGB";
        return {};
    }
    for (size_t y = 1; stride != width && y < height; ++y)
        std::copy_n(pixels.begin() + std::ptrdiff_t(y * stride), width,
                    pixels.begin() + std::ptrdiff_t(y * width));
    pixels.resize(width * height);
    // swscale keeps alpha straight; CGImage's format is premultiplied. Opaque formats have 255.
    if (descriptor->flags & AV_PIX_FMT_FLAG_ALPHA) {
        using CoreGraphicsPrivate::premultiply;
        for (uint32_t& pixel : pixels) {
            const uint32_t alpha = pixel >> 24;
            pixel = alpha << 24 | uint32_t(premultiply((pixel >> 16) & 0xFF, alpha)) << 16 |
                    uint32_t(premultiply((pixel >> 8) & 0xFF, alpha)) << 8 |
                    premultiply(pixel & 0xFF, alpha);
        }
    }
    return pixels;
}

// The pixels of a width × height frame turned clockwise by 90, 180 or 270 degrees, as the
// preferred transform of FFmpegMedia::preferredTransformForRotation maps them (y down).
std::vector<uint32_t> rotated(const std::vector<uint32_t>& pixels, size_t width, size_t height,
                              int clockwiseDegrees) {
    std::vector<uint32_t> result(pixels.size());
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) {
            const uint32_t pixel = pixels[y * width + x];
            switch (clockwiseDegrees) {
                case 90:
                    result[x * height + (height - 1 - y)] = pixel;
                    break;
                case 180:
                    result[(height - 1 - y) * width + (width - 1 - x)] = pixel;
                    break;
                default:
                    result[(width - 1 - x) * height + y] = pixel;
                    break;
            }
        }
    }
    return result;
}

// A frame time (stream time base) as a CMTime on the stream's own timescale when it has one that
// fits, else in microseconds.
CMTime timeFor(int64_t time, AVRational timeBase) {
    if (timeBase.num == 1 && timeBase.den > 0) return CMTimeMake(time, timeBase.den);
    return CMTimeMake(av_rescale_q(time, timeBase, AVRational{1, AV_TIME_BASE}), AV_TIME_BASE);
}

// A decoder for the stream, told the image limits; null with `*failure` set when there is none.
CodecContext openDecoder(const AVStream& stream, std::string* failure) {
    const AVCodec* decoder = avcodec_find_decoder(stream.codecpar->codec_id);
    if (!decoder) {
        *failure = "There is no decoder for the video's codec";
        return nullptr;
    }
    CodecContext codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), stream.codecpar) < 0) {
        *failure = "The video's decoder could not be set up";
        return nullptr;
    }
    // The decoder refuses larger frames before allocating them.
    codec->max_pixels = int64_t{kCGImageMaxPixelCount};
    // One frame is wanted: frame threads would only delay it.
    codec->thread_count = 1;
    codec->pkt_timebase = stream.time_base;
    AVDictionary* options = nullptr;
    const bool opened =
        av_dict_set(&options, "codec_whitelist", FFmpegMedia::kSupportedDecoders, 0) >= 0 &&
        avcodec_open2(codec.get(), decoder, &options) >= 0;
    av_dict_free(&options);
    if (!opened) {
        *failure = "The video's decoder could not be opened";
        return nullptr;
    }
    return codec;
}

// The asset's time 0 (the container's start) and the requested time, on the stream's clock.
struct Timeline {
    bool timed = false;  // whether the stream has a usable time base
    int64_t origin = 0;
    int64_t target = 0;
};

Timeline timelineFor(const AVFormatContext& format, const AVStream& stream, CMTime requestedTime) {
    const AVRational timeBase = stream.time_base;
    Timeline timeline;
    timeline.timed = timeBase.num > 0 && timeBase.den > 0;
    if (!timeline.timed) return timeline;
    if (format.start_time != AV_NOPTS_VALUE)
        timeline.origin = av_rescale_q(format.start_time, AVRational{1, AV_TIME_BASE}, timeBase);
    int64_t offset = 0;
    if (CMTIME_IS_VALID(requestedTime) && CMTimeCompare(requestedTime, kCMTimeZero) > 0 &&
        std::isfinite(CMTimeGetSeconds(requestedTime)))
        offset =
            av_rescale_q(requestedTime.value, AVRational{1, requestedTime.timescale}, timeBase);
    // av_rescale_q answers AV_NOPTS_VALUE when the result overflows: a time past any end.
    if (offset == AV_NOPTS_VALUE ||
        __builtin_add_overflow(timeline.origin, offset, &timeline.target))
        timeline.target = INT64_MAX;
    return timeline;
}

// The frame's time from the asset's time 0; none when the stream keeps no time for it.
std::optional<CMTime> timeSinceOrigin(const AVFrame& frame, const Timeline& timeline,
                                      AVRational timeBase) {
    const int64_t time = frame.best_effort_timestamp;
    int64_t sinceOrigin = 0;
    if (!timeline.timed || time == AV_NOPTS_VALUE ||
        __builtin_sub_overflow(time, timeline.origin, &sinceOrigin))
        return std::nullopt;
    return timeFor(sinceOrigin, timeBase);
}

MediaFrame failed(std::string reason) {
    MediaFrame frame;
    frame.failure = std::move(reason);
    return frame;
}

}  // namespace

MediaFrame mediaFrameAtTime(const std::string& path, CMTime requestedTime, bool upright) {
    const FFmpegMedia::FormatContext format = FFmpegMedia::openMediaFile(path);
    if (!format) return failed("The file could not be opened as media");
    const int index = FFmpegMedia::firstVideoTrackIndex(*format);
    if (index < 0) return failed("The media has no video track");
    AVStream& stream = *format->streams[index];
    const AVCodecParameters& parameters = *stream.codecpar;
    if ((parameters.width != 0 || parameters.height != 0) &&
        !fitsImageLimits(parameters.width, parameters.height))
        return failed("The video's frames of " + std::to_string(parameters.width) + " x " +
                      std::to_string(parameters.height) + " pixels exceed the image size limits");

    std::string failure = "No frame of the video track could be decoded";
    const CodecContext codec = openDecoder(stream, &failure);
    if (!codec) return failed(failure);
    for (unsigned i = 0; i < format->nb_streams; ++i)
        if (int(i) != index) format->streams[i]->discard = AVDISCARD_ALL;

    const Timeline timeline = timelineFor(*format, stream, requestedTime);
    // Failing to seek (a file without an index) leaves the reading at the start.
    if (timeline.timed) av_seek_frame(format.get(), index, timeline.target, AVSEEK_FLAG_BACKWARD);
    FrameChooser chooser(timeline.origin, timeline.target);
    const Frame frame = decodeFrame(*format, index, *codec, chooser, &failure);
    if (!frame) return failed(failure);
    if (!fitsImageLimits(frame->width, frame->height))
        return failed("A decoded frame of " + std::to_string(frame->width) + " x " +
                      std::to_string(frame->height) + " pixels exceeds the image size limits");

    MediaFrame result;
    result.pixels = nativeARGBPixels(*frame, &failure);
    if (result.pixels.empty()) return failed(failure);
    result.width = size_t(frame->width);
    result.height = size_t(frame->height);
    const int rotation = upright ? FFmpegMedia::clockwiseDisplayRotation(stream) : 0;
    if (rotation != 0) {
        result.pixels = rotated(result.pixels, result.width, result.height, rotation);
        if (rotation != 180) std::swap(result.width, result.height);
    }
    result.time = timeSinceOrigin(*frame, timeline, stream.time_base);
    return result;
}

}  // namespace AVFoundationPrivate
