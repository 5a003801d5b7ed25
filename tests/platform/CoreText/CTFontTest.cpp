// The project's own fonts: the Mac's names map onto Liberation (metric-compatible with Arial, Times
// New Roman, Courier New) and Inter (the system font); nothing else on the machine is used.

#include <gtest/gtest.h>

#include <cmath>

#include "CTFont.h"
#include "CTLine.h"
#include "CoreTextLimits.h"
#include "TextTestSupport.h"

using namespace TextTestSupport;

TEST(CTFont, HelveticaIsLiberationSansWithArialsMetrics) {
    const auto font = NSFont::fontWithName_size("Helvetica", 12);
    ASSERT_NE(font, nullptr);
    EXPECT_DOUBLE_EQ(font->ascender(), kSansAscent * 12);
    EXPECT_DOUBLE_EQ(font->descender(), -kSansDescent * 12);
    EXPECT_DOUBLE_EQ(font->leading(), kSansLeading * 12);
    // Arial's published advances (units of 2048): H 1479, e 1139, l 455, l 455, o 1139.
    const double arialHello = (1479 + 1139 + 455 + 455 + 1139) / 2048.0 * 100;
    const auto line = CTLineCreateWithAttributedString(
        NSAttributedString::initWithString_attributes("Hello", attributes("Arial", 100)));
    EXPECT_NEAR(CTLineGetTypographicBounds(line, nullptr, nullptr, nullptr), arialHello,
                arialHello * 0.01);
}

// nullptr: no font (not one of ours, even when the system has it).
TEST(CTFont, NamesResolveToOurFacesOnly) {
    const std::pair<const char*, const char*> cases[] = {
        // clang-format off
        {"helvetica", "LiberationSans"}, {"Helvetica-Bold", "LiberationSans-Bold"}, {"Helvetica-Oblique", "LiberationSans-Italic"},
        {"HelveticaNeue-Light", "LiberationSans"},  // weight 300: the nearest face is Regular
        {"Arial-BoldMT", "LiberationSans-Bold"}, {"Arial Bold Italic", "LiberationSans-BoldItalic"}, {"Times-Roman", "LiberationSerif"},
        {"TimesNewRomanPS-BoldItalicMT", "LiberationSerif-BoldItalic"}, {"Courier-Oblique", "LiberationMono-Italic"},
        {"CourierNewPS-BoldMT", "LiberationMono-Bold"}, {".AppleSystemUIFont", "Inter-Regular"}, {"SF Pro Text Bold", "Inter-Bold"},
        {"SFProText-Semibold", "Inter-SemiBold"}, {".SFNS-Light", "Inter-Light"}, {"System Font", "Inter-Regular"},
        {"NoSuchFont", nullptr}, {"", nullptr}, {"Helvetica-Wide", nullptr}, {"HelveticaX", nullptr}, {"Arial Bold Foo", nullptr},
        {"DejaVu Sans", nullptr}, {"sans-serif", nullptr},
    };  // clang-format on
    for (const auto& [name, postScriptName] : cases) {
        const auto font = NSFont::fontWithName_size(name, 12);
        EXPECT_EQ(font ? font->fontName() : "none", postScriptName ? postScriptName : "none")
            << name;
    }
    EXPECT_EQ(CTFontCreateWithName("NoSuchFont", 12), nullptr);
}

// The system and UI fonts; sizes of 0, below 0 or NaN take the default, huge ones are capped.
TEST(CTFont, SystemFontsAndSizes) {
    EXPECT_EQ(NSFont::systemFontOfSize(0)->pointSize(), 13);
    const auto ui = [](CTFontUIFontType type, CGFloat size = 0) {
        return CTFontCreateUIFontForLanguage(type, size, "en");
    };
    EXPECT_EQ(CTFontCopyPostScriptName(ui(kCTFontUIFontEmphasizedSystem)), "Inter-Bold");
    EXPECT_EQ(CTFontCopyFullName(ui(kCTFontUIFontUserFixedPitch)), "Liberation Mono");
    EXPECT_EQ(ui(static_cast<CTFontUIFontType>(99), 12), nullptr);
    for (double size : {0.0, -5.0, std::nan("")})
        EXPECT_EQ(NSFont::fontWithName_size("Helvetica", size)->pointSize(), 12) << size;
    EXPECT_EQ(NSFont::fontWithName_size("Helvetica", 1e300)->pointSize(),
              CoreTextLimits::kMaxFontSize);
}
