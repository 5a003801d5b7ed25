#include "CTFontPrivate.h"

#include <algorithm>
#include <cmath>

#include "CoreTextLimits.h"

using namespace CoreTextPrivate;

namespace CoreTextPrivate {

CTFontRef fontFor(const FontRequest& request, CGFloat size) {
    const TextModule* module = textModule();
    const FontFace* face = module ? module->faceFor(request) : nullptr;
    if (!face) return nullptr;
    if (!(size > 0)) size = CoreTextLimits::kDefaultFontSize;  // 0, negative and NaN
    return std::make_shared<const CTFont>(*face, std::min(size, CoreTextLimits::kMaxFontSize));
}

}  // namespace CoreTextPrivate

CTFontRef CTFontCreateWithName(std::string_view name, CGFloat size) {
    const TextModule* module = textModule();
    if (!module) return nullptr;
    std::optional<FontRequest> request = substitutedFontRequest(name);
    if (!request) request = module->installedFontRequest(name);
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
