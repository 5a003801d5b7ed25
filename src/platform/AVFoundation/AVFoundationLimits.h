#pragma once
// Every limit of the media stand-in, with its reason (STYLE.md). Media files reach the thumbnailer
// from file managers, so a crafted file must end quickly with a null result. The frame size is
// bounded by CGImage.h's kCGImageMaxDimension and kCGImageMaxPixelCount, checked against what the
// file declares before a decoder is opened and again on each decoded frame.

#include <cstddef>
#include <cstdint>

namespace AVFoundationLimits {

// Bytes FFmpeg may read while it works out the streams' parameters (its `probesize`; FFmpeg's own
// default). A camera file has them in its first kilobytes; a file that hides them further in is
// opened with what was found.
inline constexpr int64_t kMaxProbeBytes = 5'000'000;
// Media time FFmpeg may decode for the same purpose, in microseconds (its `analyzeduration`;
// FFmpeg's own default, 5 seconds).
inline constexpr int64_t kMaxAnalyzeMicroseconds = 5'000'000;
// Streams a file may declare. Phone and camera files have two to five, films with many languages
// a few dozen; each stream costs FFmpeg a parser and codec state, so a file declaring thousands
// is refused (it opens with no tracks).
inline constexpr size_t kMaxStreams = 100;
// Packets of the video track read before a frame must have come out of the decoder. A real file
// gives its first frame within a few packets (the decoder's reordering delay); this bounds the work
// on a file whose packets never decode.
inline constexpr size_t kMaxPacketsBeforeFrame = 2000;
// Bytes read from the head of a file to recognise its content (type identifiers): every container
// and image signature the classification needs lies in the first few kilobytes, after an ID3 tag.
inline constexpr size_t kTypeProbeBytes = 64 * 1024;

}  // namespace AVFoundationLimits
