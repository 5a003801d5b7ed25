#pragma once
// CoreText fonts with CoreText's names: a face at a size, the font a text layer draws with (through
// NSFont). `CTFontRef` shares an immutable, thread-safe font; "release" is the end of the last
// reference. Every function accepts a null font and then answers 0 or the empty string.
//
// The faces are the project's own (CTFontCatalog.h): the substitution table of
// CTFontSubstitution.h maps the Mac's names onto Liberation (metric-compatible with Arial, Times
// New Roman, Courier New) and Inter (the system font); the installed faces also answer to their
// own PostScript, full and family names. Nothing else on the machine is used.
//
// Sizes are in points. A size of 0, a negative or NaN size gives CoreText's default size, 12;
// a size above CoreTextLimits::kMaxFontSize is reduced to it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "CGGeometry.h"

#pragma GCC visibility push(default)  // exported from libVantler

class CTFont;  // opaque; defined in CTFontPrivate.h for the CoreText sources
using CTFontRef = std::shared_ptr<const CTFont>;

// The font `name` names, at `size`. CoreText itself falls back to a default face for a name it
// does not know; this stand-in answers none instead, so that AppKit's fontWithName:size: can answer
// none and its caller choose the fallback (a text layer takes the system font). CoreText's third
// argument, a font matrix, is not supported.
CTFontRef CTFontCreateWithName(std::string_view name, CGFloat size);

// CoreText's enumeration, with its values, for the faces this stand-in provides.
enum CTFontUIFontType : uint32_t {
    kCTFontUIFontUser = 0,              // Helvetica: Liberation Sans
    kCTFontUIFontUserFixedPitch = 1,    // Courier: Liberation Mono
    kCTFontUIFontSystem = 2,            // the system font: Inter
    kCTFontUIFontEmphasizedSystem = 3,  // the system font, bold: Inter Bold
};
// The user-interface font of that type at `size` (0: the type's default size, 12 for the user
// fonts, 13 for the system fonts, as on macOS); `language` is accepted and ignored, as every face
// here covers the same scripts. Null for a type outside the enumeration, or when the project's
// fonts are not installed.
CTFontRef CTFontCreateUIFontForLanguage(CTFontUIFontType type, CGFloat size,
                                        std::string_view language);

// The face's names: "LiberationSans-Bold", "Liberation Sans", "Liberation Sans Bold".
std::string CTFontCopyPostScriptName(const CTFontRef& font);
std::string CTFontCopyFamilyName(const CTFontRef& font);
std::string CTFontCopyFullName(const CTFontRef& font);
CGFloat CTFontGetSize(const CTFontRef& font);
// The face's vertical metrics at the font's size, in points, as CoreText gives them (from the
// font's horizontal header): ascent above the baseline and descent below it (both positive), and
// leading, the extra gap between lines. A line of this font is ascent + descent + leading tall.
CGFloat CTFontGetAscent(const CTFontRef& font);
CGFloat CTFontGetDescent(const CTFontRef& font);
CGFloat CTFontGetLeading(const CTFontRef& font);

#pragma GCC visibility pop
