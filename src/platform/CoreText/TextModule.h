#pragma once
// Text shaping and the fonts it uses are in a module of their own, VantlerText.so: pango, harfbuzz
// and the glib they stand on are mapped, and the fonts' configuration built, the first time a font
// is made or text is laid out, so that a document without text, a carried thumbnail or a program's
// --help maps none of them. CoreText's own sources keep every rule that needs no font (names,
// sizes, paragraphs, the frame's whole lines, the limits) and ask the module, through this table,
// for the faces, the lines and their glyphs.
//
// Pango's font maps and fonts are not thread-safe. The module serialises every use of them and of
// fontconfig behind a lock of its own (CTFontCatalog.h), which the table's functions take as they
// need it, and so does the release of the layouts that lines keep. Callers hold no lock.

#include <cairo.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CGContextPrivate.h"
#include "CTFontSubstitution.h"
#include "CTTypesetter.h"
#include "LoadableModule.h"

#pragma GCC visibility push(default)  // exported from libVantler

namespace CoreTextPrivate {

inline constexpr const char* kTextModuleFile = "VantlerText.so";
inline constexpr const char* kTextModuleEntry = "VantlerTextModule";

// One installed face and the metrics CoreText gives it: the font's horizontal header (hhea)
// ascender, descender (positive, below the baseline) and line gap, as fractions of the em.
struct FontFace {
    std::string family;          // the face's first family name
    std::string postScriptName;  // "LiberationSans-Bold"
    std::string fullName;        // "Liberation Sans Bold"
    int weight = 400;            // OpenType weight
    bool italic = false;
    double ascent = 0;
    double descent = 0;
    double leading = 0;
};

// The paint of a run's foreground colour (never null), as the context drawn into matches it.
using RunPaint = std::function<CGContext::Paint(const CGColorRef& color)>;

// The module's table.
struct TextModule {
    // The request for a name of an installed face: a PostScript name ("LiberationSerif-Italic"),
    // a full name ("Inter Medium") or a family name ("Liberation Mono", its regular face), compared
    // without regard to ASCII case; none when no installed face has that name.
    std::optional<FontRequest> (*installedFontRequest)(std::string_view name);
    // The installed face fontconfig matches for `request` (the family, then the nearest weight and
    // the slant), as it will be drawn, kept until the process ends; null when no face matches (no
    // font files installed).
    const FontFace* (*faceFor)(const FontRequest& request);

    // The lines of paragraph [start, stop) of the text (bytes; its separator ends at
    // `separatorEnd`), broken `width` points wide by the line breaking of the paragraph style at
    // its first character and measured in their fonts (CTFont.h), top down. With `complete` false
    // the paragraph goes on past `stop`, and its last line, which may continue, is left out.
    std::vector<TypesetLine> (*typesetParagraph)(const std::shared_ptr<const StyledText>& text,
                                                 size_t start, size_t stop, size_t separatorEnd,
                                                 double width, bool complete);
    // The whole text as one line, without wrapping ("\n" shown as a glyph, not broken); false
    // when the text is empty.
    bool (*typesetSingleLine)(const std::shared_ptr<const StyledText>& text, TypesetLine& line);
    // Draws `line` on cairo in user space (y up): its origin (the left end of its baseline) at
    // `origin`, its glyphs transformed by the text matrix's linear part, each run painted in
    // `paint` of its foreground colour (opaque black for a run without one).
    void (*drawLine)(cairo_t* cr, const TypesetLine& line, const CGAffineTransform& textMatrix,
                     CGPoint origin, const RunPaint& paint);
};

// The table, loading the module on the first call. Null when the module cannot be loaded: fonts
// are then null and no text is laid out, as on a machine without the project's fonts.
inline const TextModule* textModule() {
    return LoadableModule::table<TextModule>(kTextModuleFile, kTextModuleEntry);
}

}  // namespace CoreTextPrivate

#pragma GCC visibility pop
