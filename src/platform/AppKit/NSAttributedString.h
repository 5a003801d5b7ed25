#pragma once
// Attributed strings, the form in which a text layer hands its text to CoreText: text with
// attributes, kept as runs of characters that share one attribute dictionary.
// `initWithString_attributes` makes one run over the whole text; NSMutableAttributedString's
// `setAttributes_range` splits runs.
//
// NSAttributedString is what CoreText lays out (CFAttributedString.h, the toll-free bridge): it
// reads the attributes below from each run and ignores any other.
//   NSFontAttributeName            "NSFont"            an NSFont
//   NSForegroundColorAttributeName "NSColor"           an NSColor
//   NSParagraphStyleAttributeName  "NSParagraphStyle"  an NSParagraphStyle (alignment, line break)
// A value of another class counts as absent (CoreText's default then applies).
//
// Positions and lengths are in UTF-16 code units, as in Foundation. The text is kept as valid
// UTF-8: bytes of the given string that are not are replaced by U+FFFD (TextEncoding.h).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "CFAttributedString.h"
#include "NSDictionary.h"
#include "NSString.h"

#pragma GCC visibility push(default)  // exported from libVantler

// The attribute names above. Each is one string object for the process, made when first used, so
// that loading the library runs no code.
enum class NSAttributeName { font, foregroundColor, paragraphStyle };
const std::shared_ptr<NSString>& NSAttributeNameString(NSAttributeName name);
#define NSFontAttributeName NSAttributeNameString(NSAttributeName::font)
#define NSForegroundColorAttributeName NSAttributeNameString(NSAttributeName::foregroundColor)
#define NSParagraphStyleAttributeName NSAttributeNameString(NSAttributeName::paragraphStyle)

// Foundation's range.
struct NSRange {
    uint64_t location = 0;
    uint64_t length = 0;
    friend bool operator==(const NSRange&, const NSRange&) = default;
};
constexpr NSRange NSMakeRange(uint64_t location, uint64_t length) {
    return {location, length};
}

class NSAttributedString : public CFAttributedString {
  public:
    NS_CLASS_RECORD("NSAttributedString", NSObject::objcClass())

    // The text with no attributes, or with `attributes` (kept; none: no attributes) over all of it.
    static std::shared_ptr<NSAttributedString> initWithString(std::string_view string);
    static std::shared_ptr<NSAttributedString> initWithString_attributes(
        std::string_view string, std::shared_ptr<NSDictionary> attributes);

    std::shared_ptr<NSString> string() const;
    uint64_t length() const { return length_; }
    // The attributes of the character at `index` (an empty dictionary for a string without any),
    // and through `effectiveRange` when it is not null the run they cover. None past the end.
    std::shared_ptr<NSDictionary> attributesAtIndex_effectiveRange(uint64_t index,
                                                                   NSRange* effectiveRange) const;

    // CFAttributedString
    std::string_view textUTF8() const override { return text_; }
    std::vector<StyleRun> styleRuns() const override;

  protected:
    // Takes `string` (made valid UTF-8) as the text, with `attributes` over all of it.
    void set(std::string_view string, std::shared_ptr<NSDictionary> attributes);

    struct Run {
        uint64_t length = 0;                       // UTF-16 code units, above 0
        std::shared_ptr<NSDictionary> attributes;  // never null
    };

    std::string text_;
    uint64_t length_ = 0;
    std::vector<Run> runs_;  // covering the text in order; none for an empty text
};

class NSMutableAttributedString : public NSAttributedString {
  public:
    NS_CLASS_RECORD("NSMutableAttributedString", NSAttributedString::objcClass())

    static std::shared_ptr<NSMutableAttributedString> initWithString_attributes(
        std::string_view string, std::shared_ptr<NSDictionary> attributes);

    // Gives the characters of `range` the attributes `attributes` (none: no attributes), replacing
    // theirs. A range that reaches past the end is cut at the end.
    void setAttributes_range(std::shared_ptr<NSDictionary> attributes, NSRange range);
};

#pragma GCC visibility pop
