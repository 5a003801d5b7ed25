#pragma once
// The attributed string as CoreText reads it: what CTFramesetterCreateWithAttributedString and
// CTLineCreateWithAttributedString take (CoreFoundation's CFAttributedStringRef).
//
// On macOS, NSAttributedString is toll-free bridged with CFAttributedString, and CoreText reads
// AppKit's attribute values (NSFont, NSColor, NSParagraphStyle) itself. Here CoreText sits below
// AppKit, so the bridge is this interface: NSAttributedString (AppKit) derives from it and answers
// with its text and, for each run of equal attributes, the values CoreText uses, already taken out
// of AppKit's objects.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "CGColor.h"
#include "CTFont.h"
#include "CTParagraphStyle.h"
#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

// CoreFoundation's index and range: positions in UTF-16 code units, as every CoreText range counts.
using CFIndex = int64_t;
struct CFRange {
    CFIndex location = 0;
    CFIndex length = 0;
    friend bool operator==(const CFRange&, const CFRange&) = default;
};
constexpr CFRange CFRangeMake(CFIndex location, CFIndex length) {
    return {location, length};
}

class CFAttributedString : public NSObject {
  public:
    // What CoreText reads from one run of attributes. None stands for an absent attribute, for
    // which CoreText uses its defaults: Helvetica 12 (CTFontCreateWithName), opaque black, natural
    // alignment and word wrapping.
    struct StyleRun {
        CFIndex length = 0;  // UTF-16 code units; the runs cover the text in order
        CTFontRef font;
        CGColorRef foregroundColor;
        CTTextAlignment alignment = kCTTextAlignmentNatural;
        CTLineBreakMode lineBreakMode = kCTLineBreakByWordWrapping;
    };

    // The text, valid UTF-8 (TextEncoding.h's validUTF8 makes any bytes so).
    virtual std::string_view textUTF8() const = 0;
    // The runs, in order; their lengths add up to the text's UTF-16 length. A run past the text's
    // end is cut there; text after the last run gets the defaults.
    virtual std::vector<StyleRun> styleRuns() const = 0;
};
using CFAttributedStringRef = std::shared_ptr<const CFAttributedString>;

#pragma GCC visibility pop
