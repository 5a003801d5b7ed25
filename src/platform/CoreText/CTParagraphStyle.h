#pragma once
// CoreText's paragraph enumerations, with their values (which AppKit's NSTextAlignment and
// NSLineBreakMode share on macOS).

#include <cstdint>

#pragma GCC visibility push(default)  // exported from libVantler

enum CTTextAlignment : uint8_t {
    kCTTextAlignmentLeft = 0,
    kCTTextAlignmentRight = 1,
    kCTTextAlignmentCenter = 2,
    kCTTextAlignmentJustified = 3,  // every line but a paragraph's last fills the width
    kCTTextAlignmentNatural = 4,    // left for left-to-right paragraphs, right for right-to-left
};

enum CTLineBreakMode : uint8_t {
    kCTLineBreakByWordWrapping =
        0,  // at word boundaries; a word wider than the line at a character
    kCTLineBreakByCharWrapping = 1,
    kCTLineBreakByClipping = 2,  // no wrapping: each paragraph is one line, cut at the frame's edge
    kCTLineBreakByTruncatingHead = 3,  // no wrapping: each paragraph one line, "…" at its start
    kCTLineBreakByTruncatingTail = 4,
    kCTLineBreakByTruncatingMiddle = 5,
};

#pragma GCC visibility pop
