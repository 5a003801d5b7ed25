#include "CTFramePrivate.h"

#include <cmath>

#include "CGContextPrivate.h"
#include "CTLinePrivate.h"
#include "TextModule.h"

using namespace CoreTextPrivate;

std::vector<CTLineRef> CTFrameGetLines(const CTFrameRef& frame) {
    return frame ? frame->lines : std::vector<CTLineRef>{};
}

void CTFrameGetLineOrigins(const CTFrameRef& frame, CFRange range, CGPoint origins[]) {
    if (!frame || !origins || range.location < 0 || range.length < 0) return;
    const auto count = static_cast<CFIndex>(frame->origins.size());
    const CFIndex end = range.length == 0 ? count : std::min(count, range.location + range.length);
    for (CFIndex i = range.location; i < end; ++i) origins[i - range.location] = frame->origins[i];
}

CFRange CTFrameGetStringRange(const CTFrameRef& frame) {
    return frame ? frame->stringRange : CFRange{};
}

CFRange CTFrameGetVisibleStringRange(const CTFrameRef& frame) {
    return frame ? frame->visibleRange : CFRange{};
}

CGPathRef CTFrameGetPath(const CTFrameRef& frame) {
    return frame ? frame->path : nullptr;
}

void CTFrameDraw(const CTFrameRef& frame, const CGContextRef& context) {
    if (!frame || !context || frame->lines.empty()) return;
    const CGAffineTransform textMatrix = CGContextGetTextMatrix(context);
    const double determinant = textMatrix.a * textMatrix.d - textMatrix.b * textMatrix.c;
    // Cairo would refuse the matrix and stay in an error state for good.
    if (determinant == 0 || !std::isfinite(determinant)) return;
    const TextModule& module = *textModule();  // loaded: it laid these lines out
    cairo_t* cr = context->beginPaint();
    if (!cr) return;
    const RunPaint paint = [&](const CGColorRef& color) { return context->paintFor(color); };
    for (size_t i = 0; i < frame->lines.size(); ++i) {
        const CGPoint origin{frame->box.origin.x + frame->origins[i].x,
                             frame->box.origin.y + frame->origins[i].y};
        module.drawLine(cr, frame->lines[i]->typeset, textMatrix, origin, paint);
    }
    context->endPaint();
}
