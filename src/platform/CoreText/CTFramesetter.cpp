#include "CTFramesetter.h"

#include <cmath>

#include "CTFramePrivate.h"
#include "CTLinePrivate.h"
#include "CoreTextLimits.h"
#include "TextEncoding.h"

using namespace CoreTextPrivate;

namespace {

// Line positions are sums of doubles: a line that fits exactly must not be lost to rounding.
constexpr double kFitTolerance = 1e-9;

}  // namespace

class CTFramesetter {
  public:
    explicit CTFramesetter(const CFAttributedString& string)
        : text(std::make_shared<const StyledText>(string)) {}
    const std::shared_ptr<const StyledText> text;
};

CTFramesetterRef CTFramesetterCreateWithAttributedString(const CFAttributedStringRef& string) {
    return string ? std::make_shared<const CTFramesetter>(*string) : nullptr;
}

CTFrameRef CTFramesetterCreateFrame(const CTFramesetterRef& framesetter, CFRange stringRange,
                                    const CGPathRef& path, const NSDictionary*) {
    if (!framesetter || !path || stringRange.location < 0 || stringRange.length < 0) return nullptr;
    const CGRect box = CGPathGetBoundingBox(path);
    if (!std::isfinite(box.origin.x) || !std::isfinite(box.origin.y) ||
        !std::isfinite(box.size.width) || !std::isfinite(box.size.height))
        return nullptr;

    const StyledText& text = *framesetter->text;
    const auto length = static_cast<size_t>(text.utf16Offset(text.text().size()));
    const size_t first = std::min(static_cast<size_t>(stringRange.location), length);
    const size_t last = stringRange.length == 0
                            ? length
                            : std::min(length, first + static_cast<size_t>(stringRange.length));
    const size_t start = TextEncoding::utf8Offset(text.text(), first);
    const size_t end = TextEncoding::utf8Offset(text.text(), last);

    auto frame = std::make_shared<CTFrame>();
    frame->path = path;
    frame->box = box;
    frame->stringRange =
        CFRangeMake(text.utf16Offset(start), text.utf16Offset(end) - text.utf16Offset(start));
    frame->visibleRange = CFRangeMake(frame->stringRange.location, 0);
    const double width = std::min(box.size.width, CoreTextLimits::kMaxLayoutWidth);
    double baseline = 0, below = 0;  // the last line's baseline, and its descent and leading
    typeset(framesetter->text, start, end, width, [&](const TypesetLine& line) {
        if (frame->lines.size() >= CoreTextLimits::kMaxFrameLines) return false;
        const double y =
            frame->lines.empty() ? box.size.height - line.ascent : baseline - below - line.ascent;
        if (y - line.descent < -kFitTolerance) return false;  // only whole lines
        baseline = y;
        below = line.descent + line.leading;
        frame->origins.push_back({line.offsetInWidth(width), y});
        frame->lines.push_back(std::make_shared<const CTLine>(line));
        frame->visibleRange.length =
            line.range.location + line.range.length - frame->visibleRange.location;
        return true;
    });
    return frame;
}
