#include "CTTypesetter.h"

#include <algorithm>

#include "CoreTextLimits.h"
#include "TextEncoding.h"
#include "TextModule.h"

namespace CoreTextPrivate {

namespace {

// CoreText's default font for text without one.
CTFontRef defaultFont() {
    return CTFontCreateWithName("Helvetica", CoreTextLimits::kDefaultFontSize);
}

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The paragraph from `start`: where its text ends and where its separator ends.
std::pair<size_t, size_t> paragraphEnd(const std::string& text, size_t start, size_t end) {
    for (size_t i = start; i < end; ++i) {
        if (text[i] == '\n') return {i, i + 1};
        if (text[i] == '\r') return {i, i + 1 < end && text[i + 1] == '\n' ? i + 2 : i + 1};
        if (text[i] == '\xE2' && i + 3 <= end && text.compare(i, 3, "\xE2\x80\xA9") == 0)
            return {i, i + 3};  // U+2029 PARAGRAPH SEPARATOR
    }
    return {end, end};
}

bool wraps(CTLineBreakMode mode) {
    return mode == kCTLineBreakByWordWrapping || mode == kCTLineBreakByCharWrapping;
}

}  // namespace

// ---- StyledText

StyledText::StyledText(const CFAttributedString& string) {
    std::string_view source = string.textUTF8();
    if (source.size() > CoreTextLimits::kMaxTextBytes) {
        size_t cut = CoreTextLimits::kMaxTextBytes;
        while (cut > 0 && isContinuationByte(source[cut])) --cut;
        source = source.substr(0, cut);
    }
    text_ = TextEncoding::validUTF8(source);
    std::string_view rest = text_;
    size_t offset = 0;
    CTFontRef fallbackFont;
    const auto addRun = [&](Run run, size_t length) {
        if (length == 0) return;
        run.start = offset;
        run.end = offset + length;
        if (!run.font) {
            if (!fallbackFont) fallbackFont = defaultFont();
            run.font = fallbackFont;
        }
        runs_.push_back(std::move(run));
        offset += length;
        rest.remove_prefix(length);
    };
    for (const CFAttributedString::StyleRun& styleRun : string.styleRuns()) {
        if (rest.empty()) break;
        const size_t length = TextEncoding::utf8Offset(
            rest, static_cast<size_t>(std::max<CFIndex>(styleRun.length, 0)));
        addRun(Run{0, 0, styleRun.font, styleRun.foregroundColor, styleRun.alignment,
                   styleRun.lineBreakMode},
               length);
    }
    addRun(Run{}, rest.size());

    CFIndex units = 0;
    for (size_t i = 0; i < text_.size(); ++i) {
        if (i % kBlock == 0) blockUnits_.push_back(units);
        const unsigned char c = static_cast<unsigned char>(text_[i]);
        if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1;
    }
    blockUnits_.push_back(units);  // also the end's, when the size is a multiple of kBlock
}

const StyledText::Run* StyledText::runAt(size_t offset) const {
    if (runs_.empty()) return nullptr;
    const auto found =
        std::upper_bound(runs_.begin(), runs_.end(), offset,
                         [](size_t value, const Run& run) { return value < run.end; });
    return found == runs_.end() ? &runs_.back() : &*found;
}

CFIndex StyledText::utf16Offset(size_t offset) const {
    offset = std::min(offset, text_.size());
    const size_t block = offset / kBlock;
    CFIndex units = blockUnits_[block];
    for (size_t i = block * kBlock; i < offset; ++i) {
        const unsigned char c = static_cast<unsigned char>(text_[i]);
        if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1;
    }
    return units;
}

// ---- Lines

double TypesetLine::offsetInWidth(double frameWidth) const {
    switch (alignment) {
        case kCTTextAlignmentLeft:
            return 0;
        case kCTTextAlignmentRight:
            return frameWidth - width;
        case kCTTextAlignmentCenter:
            return (frameWidth - width) / 2;
        case kCTTextAlignmentJustified:  // a justified line fills the width; a last line is natural
        case kCTTextAlignmentNatural:
            break;
    }
    return rightToLeft ? frameWidth - width : 0;
}

void typeset(const std::shared_ptr<const StyledText>& text, size_t start, size_t end, double width,
             const std::function<bool(const TypesetLine&)>& place) {
    const TextModule* module = textModule();
    if (!module) return;
    const std::string& bytes = text->text();
    while (start < end) {
        const auto [stop, next] = paragraphEnd(bytes, start, end);
        const StyledText::Run* style = text->runAt(start);
        const bool wrapping = !style || wraps(style->lineBreakMode);
        if (wrapping && !(width > 0)) return;
        // A long paragraph is laid out in growing prefixes while all its lines so far were placed:
        // the lines before a prefix's last one are the whole paragraph's.
        size_t handedOver = 0;
        for (size_t chunk = CoreTextLimits::kParagraphChunkBytes;; chunk *= 2) {
            size_t prefixEnd = stop;
            if (wrapping && stop - start > chunk) {
                prefixEnd = start + chunk;
                while (isContinuationByte(bytes[prefixEnd])) ++prefixEnd;
            }
            const bool complete = prefixEnd == stop;
            const std::vector<TypesetLine> lines =
                module->typesetParagraph(text, start, prefixEnd, next, width, complete);
            for (; handedOver < lines.size(); ++handedOver)
                if (!place(lines[handedOver])) return;
            if (complete) break;
        }
        start = next;
    }
}

}  // namespace CoreTextPrivate
