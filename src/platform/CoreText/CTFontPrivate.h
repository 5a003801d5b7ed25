#pragma once
// The inside of CTFont, for the CoreText sources.

#include <pango/pango.h>

#include "CTFont.h"
#include "CTFontCatalog.h"

class CTFont {
  public:
    CTFont(const CoreTextPrivate::FontFace& face, CGFloat size) : face(face), size(size) {}

    // Pango's description of exactly this face (the catalog's own family, weight and slant) at
    // the size in points. The caller frees it.
    PangoFontDescription* newDescription() const;

    const CoreTextPrivate::FontFace& face;  // the catalog's, kept until the process ends
    const CGFloat size;
};

namespace CoreTextPrivate {

// The font for `request` at `size` (the size rules of CTFont.h applied); null when no face is
// installed.
CTFontRef fontFor(const FontRequest& request, CGFloat size);

}  // namespace CoreTextPrivate
