#pragma once
// CoreText lines with CoreText's names: one line of laid-out glyphs, from a frame (CTFrame.h) or
// made alone from an attributed string. `CTLineRef` shares an immutable line; "release" is the end
// of the last reference. Every function accepts a null line and answers 0 or an empty range.

#include <memory>

#include "CFAttributedString.h"
#include "CGGeometry.h"

#pragma GCC visibility push(default)  // exported from libVantler

class CTLine;  // opaque; defined in CTLinePrivate.h for the CoreText sources
using CTLineRef = std::shared_ptr<const CTLine>;

// The whole string as one line, not wrapped (line breaks in it are shown, not obeyed). Null for a
// null or empty string.
CTLineRef CTLineCreateWithAttributedString(const CFAttributedStringRef& string);
// The line's width (the glyphs' advances, in points, without trailing white space of a wrapped
// line), and through the pointers that are not null its ascent, descent and leading (the largest of
// its fonts', CTFont.h).
double CTLineGetTypographicBounds(const CTLineRef& line, CGFloat* ascent, CGFloat* descent,
                                  CGFloat* leading);
// The characters of the string the line shows (UTF-16), a paragraph's last line with its separator.
CFRange CTLineGetStringRange(const CTLineRef& line);

#pragma GCC visibility pop
