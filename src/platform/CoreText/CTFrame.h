#pragma once
// CoreText frames with CoreText's names: the lines of an attributed string laid out in a path
// (CTFramesetter.h makes them), and their drawing into a context, as text layers draw.
// `CTFrameRef` shares an immutable frame; "release" is the end of the last reference. Every
// function accepts a null frame or context and then does nothing (or answers empty).
//
// Geometry, in the user space of the context the frame is drawn into (y up): the lines fill the
// path's bounding box from its top down. The first line's baseline lies its ascent below the top,
// each next line one line height lower (the previous line's descent and leading and this line's
// ascent: ascent + descent + leading of the font for text in one font); lines are broken to the
// box's width by the paragraph style's line breaking and placed across it by its alignment; only
// whole lines are placed: the first line whose descent would reach below the box's bottom is left
// out, with every line after it.

#include <memory>
#include <vector>

#include "CFAttributedString.h"
#include "CGContext.h"
#include "CGPath.h"
#include "CTLine.h"

#pragma GCC visibility push(default)  // exported from libVantler

class CTFrame;  // opaque; defined in CTFramePrivate.h for the CoreText sources
using CTFrameRef = std::shared_ptr<const CTFrame>;

// The lines placed, top down.
std::vector<CTLineRef> CTFrameGetLines(const CTFrameRef& frame);
// The origins (left end of the baseline) of lines range.location … + range.length (length 0: to the
// last line), relative to the path's bounding box origin, into `origins`, which must have room.
void CTFrameGetLineOrigins(const CTFrameRef& frame, CFRange range, CGPoint origins[]);
// The part of the string the frame was asked to lay out, and the part its lines show (UTF-16).
CFRange CTFrameGetStringRange(const CTFrameRef& frame);
CFRange CTFrameGetVisibleStringRange(const CTFrameRef& frame);
CGPathRef CTFrameGetPath(const CTFrameRef& frame);

// Draws the frame's lines into the context: each at its origin (plus the box origin) in user space,
// the glyphs transformed by the context's text matrix (its linear part: CoreText sets the text
// position to each line's origin) and then the CTM, painted in their runs' foreground colours as
// one element of the context (with its clip, alpha and shadow). A text matrix that cannot be
// inverted draws nothing.
void CTFrameDraw(const CTFrameRef& frame, const CGContextRef& context);

#pragma GCC visibility pop
