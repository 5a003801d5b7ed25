#pragma once
// The inside of CTFont, for the CoreText sources and the text module.

#include "CTFont.h"
#include "TextModule.h"

class CTFont {
  public:
    CTFont(const CoreTextPrivate::FontFace& face, CGFloat size) : face(face), size(size) {}

    const CoreTextPrivate::FontFace& face;  // the text module's, kept until the process ends
    const CGFloat size;
};

namespace CoreTextPrivate {

// The font for `request` at `size` (the size rules of CTFont.h applied); null when no face is
// installed or the text module cannot be loaded.
CTFontRef fontFor(const FontRequest& request, CGFloat size);

}  // namespace CoreTextPrivate
