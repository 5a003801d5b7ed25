#include "NSFont.h"

namespace {

// AppKit's default sizes, which its size arguments of 0 or less stand for.
constexpr CGFloat kDefaultUserFontSize = 12;
constexpr CGFloat kSystemFontSize = 13;

std::shared_ptr<NSFont> fontFor(CTFontRef font) {
    return font ? std::make_shared<NSFont>(std::move(font)) : nullptr;
}

}  // namespace

std::shared_ptr<NSFont> NSFont::fontWithName_size(std::string_view name, CGFloat fontSize) {
    return fontFor(CTFontCreateWithName(name, fontSize > 0 ? fontSize : kDefaultUserFontSize));
}

std::shared_ptr<NSFont> NSFont::systemFontOfSize(CGFloat fontSize) {
    return fontFor(CTFontCreateUIFontForLanguage(kCTFontUIFontSystem,
                                                 fontSize > 0 ? fontSize : kSystemFontSize, {}));
}

std::string NSFont::fontName() const {
    return CTFontCopyPostScriptName(font_);
}
std::string NSFont::familyName() const {
    return CTFontCopyFamilyName(font_);
}
CGFloat NSFont::pointSize() const {
    return CTFontGetSize(font_);
}
CGFloat NSFont::ascender() const {
    return CTFontGetAscent(font_);
}
CGFloat NSFont::descender() const {
    return -CTFontGetDescent(font_);
}
CGFloat NSFont::leading() const {
    return CTFontGetLeading(font_);
}
