#include "CTFontPrivate.h"

#include <algorithm>
#include <cmath>

#include "CoreTextLimits.h"

using namespace CoreTextPrivate;

PangoFontDescription* CTFont::newDescription() const {
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, face.family.c_str());
    pango_font_description_set_weight(description, static_cast<PangoWeight>(face.weight));
    pango_font_description_set_style(description,
                                     face.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    // Absolute: in the layout's units, which are points (no resolution applies).
    pango_font_description_set_absolute_size(description, size * PANGO_SCALE);
    return description;
}

namespace CoreTextPrivate {

CTFontRef fontFor(const FontRequest& request, CGFloat size) {
    const FontFace* face = FontCatalog::shared().faceFor(request);
    if (!face) return nullptr;
    if (!(size > 0)) size = CoreTextLimits::kDefaultFontSize;  // 0, negative and NaN
    return std::make_shared<const CTFont>(*face, std::min(size, CoreTextLimits::kMaxFontSize));
}

}  // namespace CoreTextPrivate

CTFontRef CTFontCreateWithName(std::string_view name, CGFloat size) {
    std::optional<FontRequest> request = substitutedFontRequest(name);
    if (!request) request = FontCatalog::shared().installedFontRequest(name);
    return request ? fontFor(*request, size) : nullptr;
}

CTFontRef CTFontCreateUIFontForLanguage(CTFontUIFontType type, CGFloat size, std::string_view) {
    switch (type) {
        case kCTFontUIFontUser:
            return fontFor({"Liberation Sans"}, size == 0 ? 12 : size);
        case kCTFontUIFontUserFixedPitch:
            return fontFor({"Liberation Mono"}, size == 0 ? 12 : size);
        case kCTFontUIFontSystem:
            return fontFor({"Inter"}, size == 0 ? 13 : size);
        case kCTFontUIFontEmphasizedSystem:
            return fontFor({"Inter", 700}, size == 0 ? 13 : size);
    }
    return nullptr;
}

std::string CTFontCopyPostScriptName(const CTFontRef& font) {
    return font ? font->face.postScriptName : std::string();
}
std::string CTFontCopyFamilyName(const CTFontRef& font) {
    return font ? font->face.family : std::string();
}
std::string CTFontCopyFullName(const CTFontRef& font) {
    return font ? font->face.fullName : std::string();
}
CGFloat CTFontGetSize(const CTFontRef& font) {
    return font ? font->size : 0;
}
CGFloat CTFontGetAscent(const CTFontRef& font) {
    return font ? font->face.ascent * font->size : 0;
}
CGFloat CTFontGetDescent(const CTFontRef& font) {
    return font ? font->face.descent * font->size : 0;
}
CGFloat CTFontGetLeading(const CTFontRef& font) {
    return font ? font->face.leading * font->size : 0;
}
