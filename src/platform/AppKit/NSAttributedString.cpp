#include "NSAttributedString.h"

#include <algorithm>
#include <array>

#include "NSColor.h"
#include "NSFont.h"
#include "NSParagraphStyle.h"
#include "TextEncoding.h"

const std::shared_ptr<NSString>& NSAttributeNameString(NSAttributeName name) {
    static const std::array<std::shared_ptr<NSString>, 3> strings{
        NSString::stringWithUTF8String("NSFont"), NSString::stringWithUTF8String("NSColor"),
        NSString::stringWithUTF8String("NSParagraphStyle")};
    return strings[static_cast<size_t>(name)];
}

namespace {

std::shared_ptr<NSDictionary> orEmpty(std::shared_ptr<NSDictionary> attributes) {
    return attributes ? std::move(attributes) : std::make_shared<NSDictionary>();
}

template <class T>
const T* valueOf(const NSDictionary& attributes, const NSString& name) {
    return dynamic_cast<const T*>(attributes.objectForKey(name).get());
}

CTTextAlignment coreTextAlignment(NSTextAlignment alignment) {
    return alignment >= NSTextAlignmentLeft && alignment <= NSTextAlignmentNatural
               ? static_cast<CTTextAlignment>(alignment)
               : kCTTextAlignmentNatural;
}

CTLineBreakMode coreTextLineBreakMode(NSLineBreakMode mode) {
    return mode >= NSLineBreakByWordWrapping && mode <= NSLineBreakByTruncatingMiddle
               ? static_cast<CTLineBreakMode>(mode)
               : kCTLineBreakByWordWrapping;
}

}  // namespace

std::shared_ptr<NSAttributedString> NSAttributedString::initWithString(std::string_view string) {
    return initWithString_attributes(string, nullptr);
}

std::shared_ptr<NSAttributedString> NSAttributedString::initWithString_attributes(
    std::string_view string, std::shared_ptr<NSDictionary> attributes) {
    auto result = std::make_shared<NSAttributedString>();
    result->set(string, std::move(attributes));
    return result;
}

void NSAttributedString::set(std::string_view string, std::shared_ptr<NSDictionary> attributes) {
    text_ = TextEncoding::validUTF8(string);
    length_ = TextEncoding::utf16Length(text_);
    runs_.clear();
    if (length_ > 0) runs_.push_back({length_, orEmpty(std::move(attributes))});
}

std::shared_ptr<NSString> NSAttributedString::string() const {
    return NSString::stringWithUTF8String(text_);
}

std::shared_ptr<NSDictionary> NSAttributedString::attributesAtIndex_effectiveRange(
    uint64_t index, NSRange* effectiveRange) const {
    uint64_t start = 0;
    for (const Run& run : runs_) {
        if (index < start + run.length) {
            if (effectiveRange) *effectiveRange = NSMakeRange(start, run.length);
            return run.attributes;
        }
        start += run.length;
    }
    return nullptr;
}

std::vector<CFAttributedString::StyleRun> NSAttributedString::styleRuns() const {
    std::vector<StyleRun> result;
    for (const Run& run : runs_) {
        StyleRun style;
        style.length = static_cast<CFIndex>(run.length);
        if (const auto* font = valueOf<NSFont>(*run.attributes, *NSFontAttributeName))
            style.font = font->ctFont();
        if (const auto* color = valueOf<NSColor>(*run.attributes, *NSForegroundColorAttributeName))
            style.foregroundColor = color->CGColor();
        if (const auto* paragraph =
                valueOf<NSParagraphStyle>(*run.attributes, *NSParagraphStyleAttributeName)) {
            style.alignment = coreTextAlignment(paragraph->alignment());
            style.lineBreakMode = coreTextLineBreakMode(paragraph->lineBreakMode());
        }
        result.push_back(std::move(style));
    }
    return result;
}

std::shared_ptr<NSMutableAttributedString> NSMutableAttributedString::initWithString_attributes(
    std::string_view string, std::shared_ptr<NSDictionary> attributes) {
    auto result = std::make_shared<NSMutableAttributedString>();
    result->set(string, std::move(attributes));
    return result;
}

void NSMutableAttributedString::setAttributes_range(std::shared_ptr<NSDictionary> attributes,
                                                    NSRange range) {
    if (range.location >= length_ || range.length == 0) return;
    const uint64_t end = range.location + std::min(range.length, length_ - range.location);
    // Rebuild the runs: the parts of the old ones before and after the range, the range between.
    std::vector<Run> runs;
    uint64_t start = 0;
    bool inserted = false;
    for (const Run& run : runs_) {
        const uint64_t runEnd = start + run.length;
        if (start < range.location)
            runs.push_back({std::min(runEnd, range.location) - start, run.attributes});
        if (runEnd > range.location && !inserted) {
            runs.push_back({end - range.location, orEmpty(attributes)});
            inserted = true;
        }
        if (runEnd > end) runs.push_back({runEnd - std::max(start, end), run.attributes});
        start = runEnd;
    }
    runs_ = std::move(runs);
}
