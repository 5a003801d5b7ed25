#include "PangoTypesetter.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "CTFontCatalog.h"
#include "CTFontPrivate.h"
#include "CoreTextLimits.h"

namespace CoreTextPrivate {

// A paragraph's layout, released under the catalog's lock (its lines hold fonts of the font map).
using LayoutRef = std::shared_ptr<PangoLayout>;

// One laid-out paragraph's lines come from one layout, which every line keeps.
struct LineLayout {
    std::shared_ptr<const StyledText> text;
    LayoutRef layout;
    PangoLayoutLine* line = nullptr;  // the layout's
    size_t paragraphStart = 0;        // bytes: where the layout's text starts
};

namespace {

// Pango's description of exactly the font's face (the catalog's own family, weight and slant) at
// its size in points. The caller frees it.
PangoFontDescription* newDescription(const CTFont& font) {
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, font.face.family.c_str());
    pango_font_description_set_weight(description, static_cast<PangoWeight>(font.face.weight));
    pango_font_description_set_style(description,
                                     font.face.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    // Absolute: in the layout's units, which are points (no resolution applies).
    pango_font_description_set_absolute_size(description, font.size * PANGO_SCALE);
    return description;
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
            PangoFontDescription* description = newDescription(*run.font);
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
    line.layout =
        std::make_shared<const LineLayout>(LineLayout{text, layout, pangoLine, paragraphStart});
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

}  // namespace

std::vector<TypesetLine> typesetParagraph(const std::shared_ptr<const StyledText>& text,
                                          size_t start, size_t stop, size_t separatorEnd,
                                          double width, bool complete) {
    std::lock_guard guard(FontCatalog::shared().lock());
    const StyledText::Run* style = text->runAt(start);
    const CTLineBreakMode mode = style ? style->lineBreakMode : kCTLineBreakByWordWrapping;
    const CTTextAlignment alignment = style ? style->alignment : kCTTextAlignmentNatural;
    const LayoutRef layout = newLayout();
    PangoLayout* raw = layout.get();
    pango_layout_set_text(raw, text->text().data() + start, static_cast<int>(stop - start));
    if (style && style->font) {  // what an empty paragraph's line is measured in
        PangoFontDescription* description = newDescription(*style->font);
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

    std::vector<TypesetLine> lines;
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
    return lines;
}

bool typesetSingleLine(const std::shared_ptr<const StyledText>& text, TypesetLine& line) {
    if (text->text().empty()) return false;
    std::lock_guard guard(FontCatalog::shared().lock());
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

void drawLine(cairo_t* cr, const TypesetLine& line, const CGAffineTransform& textMatrix,
              CGPoint origin, const RunPaint& paint) {
    std::lock_guard guard(FontCatalog::shared().lock());
    const LineLayout& glyphs = *line.layout;
    cairo_save(cr);
    cairo_translate(cr, origin.x, origin.y);
    cairo_matrix_t linear;
    cairo_matrix_init(&linear, textMatrix.a, textMatrix.b, textMatrix.c, textMatrix.d, 0, 0);
    cairo_transform(cr, &linear);
    cairo_scale(cr, 1, -1);  // pango draws y down
    double x = 0;
    for (GSList* runs = glyphs.line->runs; runs; runs = runs->next) {
        auto* glyphItem = static_cast<PangoGlyphItem*>(runs->data);
        PangoFont* font = glyphItem->item->analysis.font;
        const StyledText::Run* style = glyphs.text->runAt(
            glyphs.paragraphStart + static_cast<size_t>(glyphItem->item->offset));
        const CGContext::Paint rgba =
            style && style->color ? paint(style->color) : CGContext::Paint{0, 0, 0, 1};
        cairo_set_source_rgba(cr, rgba[0], rgba[1], rgba[2], rgba[3]);
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
