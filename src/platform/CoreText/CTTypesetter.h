#pragma once
// Line breaking (private to CoreText): what CTFramesetter, CTFrame and CTLine share, and what they
// hand the text module (TextModule.h), which lays the lines out and draws them.
//
// Text is laid out one paragraph at a time (CoreText's paragraphs end at "\n", "\r", "\r\n" and
// U+2029), each paragraph in a layout of its own with the alignment and line breaking of the
// paragraph style at its first character. Pango breaks lines and shapes glyphs; the line heights
// and positions are CoreText's, from the fonts' own metrics (CTFont.h), not pango's.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CFAttributedString.h"

#pragma GCC visibility push(default)  // exported from libVantler, for the text module

namespace CoreTextPrivate {

// An attributed string made ready for pango: valid UTF-8 (at most CoreTextLimits::kMaxTextBytes),
// its runs in bytes, every absent attribute replaced by CoreText's default. Immutable.
class StyledText {
  public:
    struct Run {
        size_t start = 0;  // bytes
        size_t end = 0;
        CTFontRef font;    // never null when a face is installed
        CGColorRef color;  // null: opaque black
        CTTextAlignment alignment = kCTTextAlignmentNatural;
        CTLineBreakMode lineBreakMode = kCTLineBreakByWordWrapping;
    };

    explicit StyledText(const CFAttributedString& string);

    const std::string& text() const { return text_; }
    // The run holding byte `offset` (the last run from the end of the text on); null for an empty
    // text.
    const Run* runAt(size_t offset) const;
    // The UTF-16 offset of byte `offset` (a character boundary).
    CFIndex utf16Offset(size_t offset) const;
    const std::vector<Run>& runs() const { return runs_; }

  private:
    std::string text_;
    std::vector<Run> runs_;
    // UTF-16 units before every kBlock-th byte, so that offsets convert without a scan of the text.
    static constexpr size_t kBlock = 64;
    std::vector<CFIndex> blockUnits_;
};

// A line's glyphs, as the text module laid them out: the module's own, opaque here. One
// paragraph's lines share its layout, which the last of them releases under the module's lock.
struct LineLayout;

struct TypesetLine {
    std::shared_ptr<const LineLayout> layout;
    CFRange range;     // UTF-16, a paragraph's last line with its separator
    double width = 0;  // the glyphs' advance, without trailing white space
    // The tallest of its runs' fonts (CTFont.h).
    double ascent = 0, descent = 0, leading = 0;
    CTTextAlignment alignment = kCTTextAlignmentNatural;  // its paragraph's
    bool rightToLeft = false;                             // its paragraph's direction
    // Where the line starts inside a frame `frameWidth` wide, by its paragraph's alignment.
    double offsetInWidth(double frameWidth) const;
};

}  // namespace CoreTextPrivate

#pragma GCC visibility pop

namespace CoreTextPrivate {

// Lays out the text's paragraphs from byte `start` to byte `end` into lines `width` points wide
// (with the paragraph styles' breaking; a paragraph that wraps needs a width above 0, and ends the
// layout otherwise) and hands each line to `place` in order, top down, until `place` answers false
// or the text ends. No line when the text module cannot be loaded.
void typeset(const std::shared_ptr<const StyledText>& text, size_t start, size_t end, double width,
             const std::function<bool(const TypesetLine&)>& place);

}  // namespace CoreTextPrivate
