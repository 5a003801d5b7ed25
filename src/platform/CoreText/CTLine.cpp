#include "CTLinePrivate.h"

#include "TextModule.h"

using namespace CoreTextPrivate;

CTLineRef CTLineCreateWithAttributedString(const CFAttributedStringRef& string) {
    if (!string) return nullptr;
    const TextModule* module = textModule();
    if (!module) return nullptr;
    auto text = std::make_shared<const StyledText>(*string);
    TypesetLine line;
    if (!module->typesetSingleLine(text, line)) return nullptr;
    return std::make_shared<const CTLine>(std::move(line));
}

double CTLineGetTypographicBounds(const CTLineRef& line, CGFloat* ascent, CGFloat* descent,
                                  CGFloat* leading) {
    if (ascent) *ascent = line ? line->typeset.ascent : 0;
    if (descent) *descent = line ? line->typeset.descent : 0;
    if (leading) *leading = line ? line->typeset.leading : 0;
    return line ? line->typeset.width : 0;
}

CFRange CTLineGetStringRange(const CTLineRef& line) {
    return line ? line->typeset.range : CFRange{};
}
