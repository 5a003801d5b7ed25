// FFmpeg's probe of the head of a file (MediaModule.h), which tells the media family of a file's
// type identifier (UTType.cpp).

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <vector>

#include "FFmpegMedia.h"
#include "MediaModule.h"

namespace AVFoundationPrivate {

// FFmpeg's best guess at the bytes' format (its probes read only the bytes, not the file's name),
// or none when no demuxer is sure enough by FFmpeg's own rule when it opens a file: a score above
// AVPROBE_SCORE_RETRY while more of the file could tell, any score once it has all of it (a short
// MP3 scores only AVPROBE_SCORE_RETRY).
const char* probedDemuxerNames(std::span<const uint8_t> head, bool wholeFile) {
    if (head.empty()) return nullptr;
    FFmpegMedia::silenceLogging();
    // The probes may read past the end of the bytes, into zero padding of FFmpeg's size.
    std::vector<uint8_t> padded(head.size() + AVPROBE_PADDING_SIZE, 0);
    std::copy(head.begin(), head.end(), padded.begin());
    AVProbeData probe{};
    probe.filename = "";
    probe.buf = padded.data();
    probe.buf_size = int(head.size());
    int score = 0;
    const AVInputFormat* format = av_probe_input_format3(&probe, 1, &score);
    return format && score > (wholeFile ? 0 : AVPROBE_SCORE_RETRY) ? format->name : nullptr;
}

}  // namespace AVFoundationPrivate
