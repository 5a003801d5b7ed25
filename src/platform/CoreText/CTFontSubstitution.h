#pragma once
// The project's own font substitution table (private to CoreText): the Mac font names documents
// use, mapped onto the faces the project installs (fonts-liberation2, fonts-inter). Liberation's
// faces are metric-compatible with Arial, Times New Roman and Courier New, so text set in those or
// in Helvetica, Times and Courier breaks into the same lines; Inter stands in for the Mac's system
// font.

#include <optional>
#include <string>
#include <string_view>

namespace CoreTextPrivate {

// A face wanted: a family installed under the project's configuration, an OpenType weight
// (100 thin … 400 regular … 700 bold … 900 black) and a slant.
struct FontRequest {
    std::string family;
    int weight = 400;
    bool italic = false;
    friend bool operator==(const FontRequest&, const FontRequest&) = default;
};

// The request for `name` when the table knows it, else none. Compared without regard to ASCII
// case, a name is a base of the table, optionally followed by "-" or " " and style words run
// together or apart (PostScript "Helvetica-BoldOblique", "HelveticaNeue-Light", full "Arial Bold
// Italic"), with Monotype's "PS"/"MT" tags where Apple's names have them ("ArialMT",
// "Arial-BoldMT", "TimesNewRomanPS-ItalicMT"). Bases:
//   Helvetica, Helvetica Neue, HelveticaNeue, Arial                          -> Liberation Sans
//   Times (so also Times-Roman), Times New Roman, TimesNewRoman               -> Liberation Serif
//   Courier, Courier New, CourierNew                                         -> Liberation Mono
//   .AppleSystemUIFont, .SFNS, .SFNSText, .SFNSDisplay, SF Pro, SF Pro Text,
//   SF Pro Display, SFPro, SFProText, SFProDisplay, San Francisco, System Font -> Inter
// Style words: Thin 100; ExtraLight, UltraLight 200; Light 300; Regular, Roman, Book, Normal,
// Plain 400; Medium 500; SemiBold, DemiBold 600; Bold 700; ExtraBold, UltraBold, Heavy 800;
// Black 900; Italic, Oblique: slanted; Condensed, Narrow: accepted and ignored (no narrow face
// is installed). A word outside this list makes the name unknown to the table.
std::optional<FontRequest> substitutedFontRequest(std::string_view name);

}  // namespace CoreTextPrivate
