#include "CTTypesetter.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "CGContextPrivate.h"
#include "CTFontPrivate.h"
#include "CoreTextLimits.h"
#include "TextEncoding.h"

namespace CoreTextPrivate {

namespace {

// CoreText's default font for text without one.
CTFontRef defaultFont() {
    return CTFontCreateWithName("Helvetica", CoreTextLimits::kDefaultFontSize);
}

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The paragraph from `start`: where its text ends and where its separator ends.
std::pair<size_t, size_t> paragraphEnd(const std::string& text, size_t start, size_t end) {
    for (size_t i = start; i < end; ++i) {
        if (text[i] == '\n') return {i, i + 1};
        if (text[i] == '\r') return {i, i + 1 < end && text[i + 1] == '\n' ? i + 2 : i + 1};
        if (text[i] == '\xE2' && i + 3 <= end && text.compare(i, 3, "\xE2\x80\xA9") == 0)
            return {i, i + 3};  // U+2029 PARAGRAPH SEPARATOR
    }
    return {end, end};
}

bool wraps(CTLineBreakMode mode) {
    return mode == kCTLineBreakByWordWrapping || mode == kCTLineBreakByCharWrapping;
}

LayoutRef newLayout() {
    return LayoutRef(pango_layout_new(FontCatalog::shared().context()), [](PangoLayout* layout) {
        std::lock_guard guard(FontCatalog::shared().lock());
        g_object_unref(layout);
    });
}

// The runs' fonts and colours over bytes [start, stop) of the text, for a layout of those bytes.
void setAttributes(PangoLayout* layout, const StyledText& text, size_t start, size_t stop) {
    PangoAttrList* list = pango_attr_list_new();
    for (const StyledText::Run& run : text.runs()) {
        if (run.end <= start || run.start >= stop) continue;
        const auto first = static_cast<guint>(std::max(run.start, start) - start);
        const auto last = static_cast<guint>(std::min(run.end, stop) - start);
        if (run.font) {
            PangoFontDescription* description = run.font->newDescription();
            PangoAttribute* attribute = pango_attr_font_desc_new(description);
            pango_font_description_free(description);
            attribute->start_index = first;
            attribute->end_index = last;
            pango_attr_list_insert(list, attribute);
        }
        // Only so that runs of different colours become different items: drawLine paints each
        // item in its run's colour as the context matches it.
        const auto rgba = CGColorGetSRGBComponentsForDrawing(run.color);
        const auto channel = [](double v) { return static_cast<guint16>(std::lround(v * 65535)); };
        PangoAttribute* colour =
            run.color
                ? pango_attr_foreground_new(channel(rgba[0]), channel(rgba[1]), channel(rgba[2]))
                : pango_attr_foreground_new(0, 0, 0);
        colour->start_index = first;
        colour->end_index = last;
        pango_attr_list_insert(list, colour);
    }
    pango_layout_set_attributes(layout, list);
    pango_attr_list_unref(list);
}

// Fills in everything but the string range of `line`, layout line `pangoLine` of a layout of the
// text from byte `paragraphStart`.
TypesetLine lineFor(const std::shared_ptr<const StyledText>& text, const LayoutRef& layout,
                    PangoLayoutLine* pangoLine, size_t paragraphStart) {
    TypesetLine line;
    line.text = text;
    line.layout = layout;
    line.line = pangoLine;
    line.paragraphStart = paragraphStart;
    PangoRectangle logical;
    pango_layout_line_get_extents(pangoLine, nullptr, &logical);
    line.width = double(logical.width) / PANGO_SCALE;
    line.rightToLeft = pangoLine->resolved_dir == PANGO_DIRECTION_RTL;
    const auto measure = [&](const StyledText::Run* run) {
        if (!run || !run->font) return;
        line.ascent = std::max(line.ascent, CTFontGetAscent(run->font));
        line.descent = std::max(line.descent, CTFontGetDescent(run->font));
        line.leading = std::max(line.leading, CTFontGetLeading(run->font));
    };
    for (GSList* runs = pangoLine->runs; runs; runs = runs->next) {
        const auto* glyphItem = static_cast<const PangoGlyphItem*>(runs->data);
        measure(text->runAt(paragraphStart + static_cast<size_t>(glyphItem->item->offset)));
    }
    if (!pangoLine->runs) measure(text->runAt(paragraphStart + pangoLine->start_index));
    return line;
}

// Lays out paragraph [start, stop) of the text, `width` wide, into `lines`; with `complete` false
// the text goes on past `stop` and the last line, which may continue, is left out.
void typesetParagraph(const std::shared_ptr<const StyledText>& text, size_t start, size_t stop,
                      size_t separatorEnd, double width, bool complete,
                      std::vector<TypesetLine>& lines) {
    const StyledText::Run* style = text->runAt(start);
    const CTLineBreakMode mode = style ? style->lineBreakMode : kCTLineBreakByWordWrapping;
    const CTTextAlignment alignment = style ? style->alignment : kCTTextAlignmentNatural;
    const LayoutRef layout = newLayout();
    PangoLayout* raw = layout.get();
    pango_layout_set_text(raw, text->text().data() + start, static_cast<int>(stop - start));
    if (style && style->font) {  // what an empty paragraph's line is measured in
        PangoFontDescription* description = style->font->newDescription();
        pango_layout_set_font_description(raw, description);
        pango_font_description_free(description);
    }
    setAttributes(raw, *text, start, stop);
    const int pangoWidth =
        static_cast<int>(std::min(width, CoreTextLimits::kMaxLayoutWidth) * PANGO_SCALE);
    switch (mode) {
        case kCTLineBreakByWordWrapping:
            // CoreText breaks a word wider than the line between characters.
            pango_layout_set_wrap(raw, PANGO_WRAP_WORD_CHAR);
            pango_layout_set_width(raw, pangoWidth);
            break;
        case kCTLineBreakByCharWrapping:
            pango_layout_set_wrap(raw, PANGO_WRAP_CHAR);
            pango_layout_set_width(raw, pangoWidth);
            break;
        case kCTLineBreakByClipping:
            break;  // no width: no wrapping
        case kCTLineBreakByTruncatingHead:
        case kCTLineBreakByTruncatingTail:
        case kCTLineBreakByTruncatingMiddle:
            // With a width and an ellipsis mode, pango makes each paragraph one shortened line.
            if (width > 0) pango_layout_set_width(raw, pangoWidth);
            pango_layout_set_ellipsize(
                raw, mode == kCTLineBreakByTruncatingHead   ? PANGO_ELLIPSIZE_START
                     : mode == kCTLineBreakByTruncatingTail ? PANGO_ELLIPSIZE_END
                                                            : PANGO_ELLIPSIZE_MIDDLE);
            break;
    }
    pango_layout_set_justify(raw, alignment == kCTTextAlignmentJustified);

    GSList* pangoLines = pango_layout_get_lines_readonly(raw);
    const size_t count = g_slist_length(pangoLines);
    const size_t usable = complete ? count : count - std::min<size_t>(count, 1);
    size_t index = 0;
    for (GSList* item = pangoLines; item && index < usable; item = item->next, ++index) {
        auto* pangoLine = static_cast<PangoLayoutLine*>(item->data);
        TypesetLine line = lineFor(text, layout, pangoLine, start);
        line.alignment = alignment;
        const size_t lineStart = start + static_cast<size_t>(pangoLine->start_index);
        const size_t lineEnd = complete && index + 1 == count
                                   ? separatorEnd
                                   : lineStart + static_cast<size_t>(pangoLine->length);
        line.range = CFRangeMake(text->utf16Offset(lineStart),
                                 text->utf16Offset(lineEnd) - text->utf16Offset(lineStart));
        lines.push_back(std::move(line));
    }
}

}  // namespace

// ---- StyledText

StyledText::StyledText(const CFAttributedString& string) {
    std::string_view source = string.textUTF8();
    if (source.size() > CoreTextLimits::kMaxTextBytes) {
        size_t cut = CoreTextLimits::kMaxTextBytes;
        while (cut > 0 && isContinuationByte(source[cut])) --cut;
        source = source.substr(0, cut);
    }
    text_ = TextEncoding::validUTF8(source);
    std::string_view rest = text_;
    size_t offset = 0;
    CTFontRef fallbackFont;
    const auto addRun = [&](Run run, size_t length) {
        if (length == 0) return;
        run.start = offset;
        run.end = offset + length;
        if (!run.font) {
            if (!fallbackFont) fallbackFont = defaultFont();
            run.font = fallbackFont;
        }
        runs_.push_back(std::move(run));
        offset += length;
        rest.remove_prefix(length);
    };
    for (const CFAttributedString::StyleRun& styleRun : string.styleRuns()) {
        if (rest.empty()) break;
        const size_t length = TextEncoding::utf8Offset(
            rest, static_cast<size_t>(std::max<CFIndex>(styleRun.length, 0)));
        addRun(Run{0, 0, styleRun.font, styleRun.foregroundColor, styleRun.alignment,
                   styleRun.lineBreakMode},
               length);
    }
    addRun(Run{}, rest.size());

    CFIndex units = 0;
    for (size_t i = 0; i < text_.size(); ++i) {
        if (i % kBlock == 0) blockUnits_.push_back(units);
        const unsigned char c = static_cast<unsigned char>(text_[i]);
        if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1;
    }
    blockUnits_.push_back(units);  // also the end's, when the size is a multiple of kBlock
}

const StyledText::Run* StyledText::runAt(size_t offset) const {
    if (runs_.empty()) return nullptr;
    const auto found =
        std::upper_bound(runs_.begin(), runs_.end(), offset,
                         [](size_t value, const Run& run) { return value < run.end; });
    return found == runs_.end() ? &runs_.back() : &*found;
}

CFIndex StyledText::utf16Offset(size_t offset) const {
    offset = std::min(offset, text_.size());
    const size_t block = offset / kBlock;
    CFIndex units = blockUnits_[block];
    for (size_t i = block * kBlock; i < offset; ++i) {
        const unsigned char c = static_cast<unsigned char>(text_[i]);
        if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1;
    }
    return units;
}

// ---- Lines

double TypesetLine::offsetInWidth(double frameWidth) const {
    switch (alignment) {
        case kCTTextAlignmentLeft:
            return 0;
        case kCTTextAlignmentRight:
            return frameWidth - width;
        case kCTTextAlignmentCenter:
            return (frameWidth - width) / 2;
        case kCTTextAlignmentJustified:  // a justified line fills the width; a last line is natural
        case kCTTextAlignmentNatural:
            break;
    }
    return rightToLeft ? frameWidth - width : 0;
}

void typeset(const std::shared_ptr<const StyledText>& text, size_t start, size_t end, double width,
             const std::function<bool(const TypesetLine&)>& place) {
    const std::string& bytes = text->text();
    while (start < end) {
        const auto [stop, next] = paragraphEnd(bytes, start, end);
        const StyledText::Run* style = text->runAt(start);
        const bool wrapping = !style || wraps(style->lineBreakMode);
        if (wrapping && !(width > 0)) return;
        // A long paragraph is laid out in growing prefixes while all its lines so far were placed:
        // the lines before a prefix's last one are the whole paragraph's.
        size_t handedOver = 0;
        for (size_t chunk = CoreTextLimits::kParagraphChunkBytes;; chunk *= 2) {
            size_t prefixEnd = stop;
            if (wrapping && stop - start > chunk) {
                prefixEnd = start + chunk;
                while (isContinuationByte(bytes[prefixEnd])) ++prefixEnd;
            }
            const bool complete = prefixEnd == stop;
            std::vector<TypesetLine> lines;
            typesetParagraph(text, start, prefixEnd, next, width, complete, lines);
            for (; handedOver < lines.size(); ++handedOver)
                if (!place(lines[handedOver])) return;
            if (complete) break;
        }
        start = next;
    }
}

bool typesetSingleLine(const std::shared_ptr<const StyledText>& text, TypesetLine& line) {
    if (text->text().empty()) return false;
    const LayoutRef layout = newLayout();
    pango_layout_set_text(layout.get(), text->text().data(), static_cast<int>(text->text().size()));
    setAttributes(layout.get(), *text, 0, text->text().size());
    pango_layout_set_single_paragraph_mode(layout.get(), TRUE);
    PangoLayoutLine* pangoLine = pango_layout_get_line_readonly(layout.get(), 0);
    if (!pangoLine) return false;
    line = lineFor(text, layout, pangoLine, 0);
    line.range = CFRangeMake(0, text->utf16Offset(text->text().size()));
    return true;
}

void drawLine(cairo_t* cr, const CGContext& context, const TypesetLine& line,
              const CGAffineTransform& textMatrix, CGPoint origin) {
    cairo_save(cr);
    cairo_translate(cr, origin.x, origin.y);
    cairo_matrix_t glyphs;
    cairo_matrix_init(&glyphs, textMatrix.a, textMatrix.b, textMatrix.c, textMatrix.d, 0, 0);
    cairo_transform(cr, &glyphs);
    cairo_scale(cr, 1, -1);  // pango draws y down
    double x = 0;
    for (GSList* runs = line.line->runs; runs; runs = runs->next) {
        auto* glyphItem = static_cast<PangoGlyphItem*>(runs->data);
        PangoFont* font = glyphItem->item->analysis.font;
        const StyledText::Run* style =
            line.text->runAt(line.paragraphStart + static_cast<size_t>(glyphItem->item->offset));
        const CGContext::Paint paint =
            style && style->color ? context.paintFor(style->color) : CGContext::Paint{0, 0, 0, 1};
        cairo_set_source_rgba(cr, paint[0], paint[1], paint[2], paint[3]);
        // The glyphs' size on the device, to choose between cached bitmaps and outlines.
        const double size = style && style->font ? CTFontGetSize(style->font) : 0;
        double ax = size, ay = 0, bx = 0, by = size;
        cairo_user_to_device_distance(cr, &ax, &ay);
        cairo_user_to_device_distance(cr, &bx, &by);
        const double deviceSize = std::max(std::hypot(ax, ay), std::hypot(bx, by));
        cairo_move_to(cr, x / PANGO_SCALE, 0);
        if (deviceSize > CoreTextLimits::kMaxGlyphBitmapPixels) {
            pango_cairo_glyph_string_path(cr, font, glyphItem->glyphs);
            cairo_fill(cr);
        } else {
            pango_cairo_show_glyph_string(cr, font, glyphItem->glyphs);
        }
        x += pango_glyph_string_get_width(glyphItem->glyphs);
    }
    cairo_new_path(cr);  // the current point is not part of cairo's saved state
    cairo_restore(cr);
}

}  // namespace CoreTextPrivate
