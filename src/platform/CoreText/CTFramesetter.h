#pragma once
// CoreText framesetters with CoreText's names: an attributed string ready to be laid out into
// frames, the way a text layer lays out its text in its bounds. `CTFramesetterRef` shares an
// immutable framesetter; "release" is the end of the last reference.
//
// Every CoreText object may be used from any thread; layout and drawing are serialised by one
// process-wide lock, as pango's fonts are not thread-safe.

#include <memory>

#include "CFAttributedString.h"
#include "CGPath.h"
#include "CTFrame.h"

#pragma GCC visibility push(default)  // exported from libVantler

class NSDictionary;

class CTFramesetter;  // opaque; defined in CTFramesetter.cpp
using CTFramesetterRef = std::shared_ptr<const CTFramesetter>;

// A framesetter for the string as it is now (later changes to the string do not reach it). Null
// for a null string. At most CoreTextLimits::kMaxTextBytes of the text are laid out.
CTFramesetterRef CTFramesetterCreateWithAttributedString(const CFAttributedStringRef& string);

// A frame of the string's characters `stringRange` (UTF-16; length 0: to the end of the string;
// clamped to the string) laid out in `path`'s bounding box (CTFrame.h; CoreText also shapes lines
// to paths that are not rectangles, which this stand-in does not: it uses the bounding box). At
// most CoreTextLimits::kMaxFrameLines lines. `frameAttributes` is CoreText's dictionary of frame
// options; only null (the defaults) is supported and anything else is ignored. Null for a null
// framesetter or path, a range starting before 0, or a path whose box is empty or not finite.
CTFrameRef CTFramesetterCreateFrame(const CTFramesetterRef& framesetter, CFRange stringRange,
                                    const CGPathRef& path, const NSDictionary* frameAttributes);

#pragma GCC visibility pop
