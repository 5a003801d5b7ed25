#pragma once
// Every bound the CoreText stand-in enforces, with its reason. Text and sizes come from documents,
// which may be crafted: no input may make layout or drawing take unbounded time or memory.

#include <cstddef>

#pragma GCC visibility push(default)  // exported from libVantler

namespace CoreTextLimits {

// CoreText's size for a font asked for at 0 points (CTFontCreateWithName); a negative or NaN size
// gets it too.
inline constexpr double kDefaultFontSize = 12;
// The largest font size laid out, in points; larger sizes are reduced to it. Pango keeps sizes as
// integers of 1/1024 point; this leaves room for any CTM the text is drawn under.
inline constexpr double kMaxFontSize = 16384;

// The widest frame laid out, in points (pango keeps widths as integers of 1/1024 point, so about
// two million is its ceiling). A wider frame is laid out this wide.
inline constexpr double kMaxLayoutWidth = 1'000'000;

// A frame places at most this many lines. At the smallest sizes a document could use (1 pt), that
// is taller than the largest bitmap a context may have (kCGImageMaxDimension), so it only cuts text
// that nobody could see, and it bounds the work of a crafted text of millions of short paragraphs.
inline constexpr size_t kMaxFrameLines = 50'000;

// The bytes of an attributed string that are laid out; the rest is ignored. 4 MiB is a thousand
// pages of prose, far beyond a text layer, and keeps a crafted string's layout to about a second.
inline constexpr size_t kMaxTextBytes = 4u << 20;

// A paragraph is laid out in prefixes of this many bytes, doubled while all its lines still fit in
// the frame, so that a long paragraph in a small frame costs what the frame shows. A paragraph of a
// few hundred words still takes one layout; no more, because pango breaks a word wider than the
// line by shaping the rest of the word again for every line, so a prefix of one long word costs
// its length squared over the characters a line holds (16 KiB of one word in a 40-point frame
// take seconds, 2 KiB a tenth of one).
inline constexpr size_t kParagraphChunkBytes = 2u << 10;

// Glyphs larger than this (in device pixels) are filled as outlines instead of being rasterised
// into cairo's glyph cache, which keeps every glyph bitmap it makes: a crafted 10000-point text
// would otherwise cache about 100 MB per glyph.
inline constexpr double kMaxGlyphBitmapPixels = 512;

}  // namespace CoreTextLimits

#pragma GCC visibility pop
