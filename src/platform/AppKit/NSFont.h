#pragma once
// AppKit's font class, the font a text layer draws with: a face at a point size, over CoreText's
// CTFont (the two are toll-free bridged on macOS; ctFont() is the bridge). Immutable, shared
// between threads freely.
//
// Names resolve through CoreText's table and the project's own fonts (CTFont.h): "Helvetica",
// "Arial-BoldMT", "HelveticaNeue-Light" are Liberation Sans faces, "Times" Liberation Serif,
// "Courier" Liberation Mono, the system font Inter. The names a font reports are those of the face
// that draws it ("LiberationSans-Bold", family "Liberation Sans").

#include <memory>
#include <string>
#include <string_view>

#include "CTFont.h"
#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSFont : public NSObject {
  public:
    NS_CLASS_RECORD("NSFont", NSObject::objcClass())

    // The font named `name` at `fontSize` points; none when no face has that name. A size of 0 or
    // less (or NaN) gives the default size, 12.
    static std::shared_ptr<NSFont> fontWithName_size(std::string_view name, CGFloat fontSize);
    // The system font at `fontSize` points; 0 or less (or NaN) gives the system size, 13. None
    // only when the project's fonts are not installed.
    static std::shared_ptr<NSFont> systemFontOfSize(CGFloat fontSize);

    std::string fontName() const;  // the PostScript name
    std::string familyName() const;
    CGFloat pointSize() const;
    // AppKit's vertical metrics, in points: the ascender above the baseline, the descender below
    // it as a negative number, and the leading between lines.
    CGFloat ascender() const;
    CGFloat descender() const;
    CGFloat leading() const;

    // The same font as CoreText sees it (the toll-free bridge of macOS).
    const CTFontRef& ctFont() const { return font_; }

    explicit NSFont(CTFontRef font) : font_(std::move(font)) {}

  private:
    CTFontRef font_;  // never null
};

#pragma GCC visibility pop
