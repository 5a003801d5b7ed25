#pragma once
// AppKit's paragraph styles, as far as text drawing uses them (a mutable copy of the default style
// with word wrapping and an alignment). The enumerations have AppKit's values
// on macOS, which CoreText's CTTextAlignment and CTLineBreakMode share.

#include <cstdint>
#include <memory>

#include "CTParagraphStyle.h"
#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

enum NSTextAlignment : int64_t {
    NSTextAlignmentLeft = kCTTextAlignmentLeft,
    NSTextAlignmentRight = kCTTextAlignmentRight,
    NSTextAlignmentCenter = kCTTextAlignmentCenter,
    NSTextAlignmentJustified = kCTTextAlignmentJustified,
    NSTextAlignmentNatural = kCTTextAlignmentNatural,
};

enum NSLineBreakMode : int64_t {
    NSLineBreakByWordWrapping = kCTLineBreakByWordWrapping,
    NSLineBreakByCharWrapping = kCTLineBreakByCharWrapping,
    NSLineBreakByClipping = kCTLineBreakByClipping,
    NSLineBreakByTruncatingHead = kCTLineBreakByTruncatingHead,
    NSLineBreakByTruncatingTail = kCTLineBreakByTruncatingTail,
    NSLineBreakByTruncatingMiddle = kCTLineBreakByTruncatingMiddle,
};

class NSMutableParagraphStyle;

class NSParagraphStyle : public NSObject {
  public:
    NS_CLASS_RECORD("NSParagraphStyle", NSObject::objcClass())

    // The shared default style: natural alignment, word wrapping. (Immutable: the class has no
    // setters.)
    static std::shared_ptr<NSParagraphStyle> defaultParagraphStyle();
    // A new mutable style with this one's settings.
    std::shared_ptr<NSMutableParagraphStyle> mutableCopy() const;

    NSTextAlignment alignment() const { return alignment_; }
    NSLineBreakMode lineBreakMode() const { return lineBreakMode_; }

  protected:
    NSTextAlignment alignment_ = NSTextAlignmentNatural;
    NSLineBreakMode lineBreakMode_ = NSLineBreakByWordWrapping;
};

class NSMutableParagraphStyle : public NSParagraphStyle {
  public:
    NS_CLASS_RECORD("NSMutableParagraphStyle", NSParagraphStyle::objcClass())

    // A value outside the enumeration is kept; CoreText then reads it as natural alignment, or as
    // word wrapping.
    void setAlignment(NSTextAlignment alignment) { alignment_ = alignment; }
    void setLineBreakMode(NSLineBreakMode mode) { lineBreakMode_ = mode; }
};

#pragma GCC visibility pop
