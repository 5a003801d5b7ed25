#pragma once
// Line breaking and line drawing over pango (private to CoreText): what CTFramesetter, CTFrame and
// CTLine share.
//
// Text is laid out one paragraph at a time (CoreText's paragraphs end at "\n", "\r", "\r\n" and
// U+2029), each paragraph in a pango layout of its own with the alignment and line breaking of the
// paragraph style at its first character. Pango breaks lines and shapes glyphs; the line heights
// and positions are CoreText's, from the fonts' own metrics (CTFont.h), not pango's.

#include <cairo.h>
#include <pango/pango.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CFAttributedString.h"
#include "CGContext.h"

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

// A paragraph's layout, released under the catalog's lock (its lines hold fonts of the font map).
using LayoutRef = std::shared_ptr<PangoLayout>;

// One laid-out paragraph's lines come from one layout, which every line keeps.
struct TypesetLine {
    std::shared_ptr<const StyledText> text;
    LayoutRef layout;
    PangoLayoutLine* line = nullptr;  // the layout's
    size_t paragraphStart = 0;        // bytes: where the layout's text starts
    CFRange range;                    // UTF-16, a paragraph's last line with its separator
    double width = 0;                 // the glyphs' advance, without trailing white space
    // The tallest of its runs' fonts (CTFont.h).
    double ascent = 0, descent = 0, leading = 0;
    CTTextAlignment alignment = kCTTextAlignmentNatural;  // its paragraph's
    bool rightToLeft = false;                             // its paragraph's direction
    // Where the line starts inside a frame `frameWidth` wide, by its paragraph's alignment.
    double offsetInWidth(double frameWidth) const;
};

// Lays out the text's paragraphs from byte `start` to byte `end` into lines `width` points wide
// (with the paragraph styles' breaking; a paragraph that wraps needs a width above 0, and ends the
// layout otherwise) and hands each line to `place` in order, top down, until `place` answers false
// or the text ends. Under the catalog's lock.
void typeset(const std::shared_ptr<const StyledText>& text, size_t start, size_t end, double width,
             const std::function<bool(const TypesetLine&)>& place);

// Lays out the whole text as one line, without wrapping ("\n" shown as a glyph, not broken);
// false when the text is empty. Under the catalog's lock.
bool typesetSingleLine(const std::shared_ptr<const StyledText>& text, TypesetLine& line);

// Draws `line` on cairo in user space (y up): its origin (the left end of its baseline) at
// `origin`, its glyphs transformed by the text matrix's linear part, painted in each run's colour
// as `context` paints it. Under the catalog's lock.
void drawLine(cairo_t* cr, const CGContext& context, const TypesetLine& line,
              const CGAffineTransform& textMatrix, CGPoint origin);

}  // namespace CoreTextPrivate
