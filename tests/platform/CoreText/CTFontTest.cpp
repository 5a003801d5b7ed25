// Part 4.1 "Text" / Part 4.2 "Text drawing" step 1: the project's own fonts. The substitution table
// maps the Mac's names onto Liberation (metric-compatible with Arial, Times New Roman, Courier New)
// and Inter (the system font); the installed faces answer to their own names; nothing else on the
// machine is used, whatever its fontconfig configuration says.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "CTFont.h"
#include "CTLine.h"
#include "CoreTextLimits.h"
#include "TestSupport.h"
#include "TextTestSupport.h"

using namespace TextTestSupport;

namespace {

double widthOf(std::string_view text, std::string_view font, double size) {
    const auto string = NSAttributedString::initWithString_attributes(text, attributes(font, size));
    return CTLineGetTypographicBounds(CTLineCreateWithAttributedString(string), nullptr, nullptr,
                                      nullptr);
}

}  // namespace

TEST(Part4_1_CTFont, HelveticaIsLiberationSansWithArialsMetrics) {
    const auto font = NSFont::fontWithName_size("Helvetica", 12);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->familyName(), "Liberation Sans");
    EXPECT_EQ(font->fontName(), "LiberationSans");
    EXPECT_EQ(font->pointSize(), 12);
    EXPECT_DOUBLE_EQ(font->ascender(), kSansAscent * 12);
    EXPECT_DOUBLE_EQ(font->descender(), -kSansDescent * 12);
    EXPECT_DOUBLE_EQ(font->leading(), kSansLeading * 12);
    // Arial's published advances (units of 2048): H 1479, e 1139, l 455, l 455, o 1139.
    const double arialHello = (1479 + 1139 + 455 + 455 + 1139) / 2048.0 * 100;
    EXPECT_NEAR(widthOf("Hello", "Helvetica", 100), arialHello, arialHello * 0.01);
    EXPECT_NEAR(widthOf("Hello", "Arial", 100), arialHello, arialHello * 0.01);
}

TEST(Part4_1_CTFont, SubstitutionTable) {
    const std::pair<const char*, const char*> cases[] = {
        {"Helvetica", "LiberationSans"},
        {"helvetica", "LiberationSans"},
        {"Helvetica-Bold", "LiberationSans-Bold"},
        {"Helvetica-Oblique", "LiberationSans-Italic"},
        {"Helvetica-BoldOblique", "LiberationSans-BoldItalic"},
        {"Helvetica Neue", "LiberationSans"},
        {"HelveticaNeue-Light", "LiberationSans"},  // weight 300: the nearest face is Regular
        {"HelveticaNeue-Bold", "LiberationSans-Bold"},
        {"Arial", "LiberationSans"},
        {"ArialMT", "LiberationSans"},
        {"Arial-BoldMT", "LiberationSans-Bold"},
        {"Arial-ItalicMT", "LiberationSans-Italic"},
        {"Arial Bold Italic", "LiberationSans-BoldItalic"},
        {"Times", "LiberationSerif"},
        {"Times-Roman", "LiberationSerif"},
        {"Times-Bold", "LiberationSerif-Bold"},
        {"Times New Roman", "LiberationSerif"},
        {"TimesNewRomanPSMT", "LiberationSerif"},
        {"TimesNewRomanPS-BoldItalicMT", "LiberationSerif-BoldItalic"},
        {"Courier", "LiberationMono"},
        {"Courier-Oblique", "LiberationMono-Italic"},
        {"Courier New", "LiberationMono"},
        {"CourierNewPS-BoldMT", "LiberationMono-Bold"},
        {".AppleSystemUIFont", "Inter-Regular"},
        {"SF Pro", "Inter-Regular"},
        {"SF Pro Text Bold", "Inter-Bold"},
        {"SFProText-Semibold", "Inter-SemiBold"},
        {".SFNS-Light", "Inter-Light"},
        {"San Francisco", "Inter-Regular"},
        {"System Font", "Inter-Regular"},
    };
    for (const auto& [name, postScriptName] : cases) {
        const auto font = NSFont::fontWithName_size(name, 12);
        ASSERT_NE(font, nullptr) << name;
        EXPECT_EQ(font->fontName(), postScriptName) << name;
    }
}

TEST(Part4_1_CTFont, InstalledFacesAnswerToTheirOwnNames) {
    EXPECT_EQ(NSFont::fontWithName_size("Liberation Sans", 12)->fontName(), "LiberationSans");
    EXPECT_EQ(NSFont::fontWithName_size("LiberationSerif-Italic", 12)->fontName(),
              "LiberationSerif-Italic");
    EXPECT_EQ(NSFont::fontWithName_size("liberation mono bold", 12)->fontName(),
              "LiberationMono-Bold");
    EXPECT_EQ(NSFont::fontWithName_size("Inter", 12)->fontName(), "Inter-Regular");
    EXPECT_EQ(NSFont::fontWithName_size("Inter-Medium", 12)->familyName(), "Inter");
}

TEST(Part4_1_CTFont, UnknownNamesGiveNone) {
    for (const char* name : {"NoSuchFont", "", "Helvetica-Wide", "HelveticaX", "Arial Bold Foo",
                             "DejaVu Sans" /* a system font, not one of ours */, "sans-serif"})
        EXPECT_EQ(NSFont::fontWithName_size(name, 12), nullptr) << name;
    EXPECT_EQ(CTFontCreateWithName("NoSuchFont", 12), nullptr);
}

TEST(Part4_1_CTFont, SystemFont) {
    const auto font = NSFont::systemFontOfSize(12);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->familyName(), "Inter");
    EXPECT_EQ(font->fontName(), "Inter-Regular");
    EXPECT_EQ(font->pointSize(), 12);
    EXPECT_GT(font->ascender(), 0);
    EXPECT_LT(font->descender(), 0);
    EXPECT_EQ(NSFont::systemFontOfSize(0)->pointSize(), 13);
    EXPECT_EQ(CTFontCopyPostScriptName(CTFontCreateUIFontForLanguage(kCTFontUIFontSystem, 0, "en")),
              "Inter-Regular");
    EXPECT_EQ(CTFontCopyPostScriptName(
                  CTFontCreateUIFontForLanguage(kCTFontUIFontEmphasizedSystem, 0, "en")),
              "Inter-Bold");
    EXPECT_EQ(CTFontGetSize(CTFontCreateUIFontForLanguage(kCTFontUIFontUser, 0, "en")), 12);
    EXPECT_EQ(CTFontCopyFamilyName(CTFontCreateUIFontForLanguage(kCTFontUIFontUser, 0, "en")),
              "Liberation Sans");
    EXPECT_EQ(CTFontCopyFullName(CTFontCreateUIFontForLanguage(kCTFontUIFontUserFixedPitch, 0, "")),
              "Liberation Mono");
    EXPECT_EQ(CTFontCreateUIFontForLanguage(static_cast<CTFontUIFontType>(99), 12, ""), nullptr);
}

TEST(Part4_1_CTFont, SizeRules) {
    EXPECT_EQ(NSFont::fontWithName_size("Helvetica", 0)->pointSize(), 12);
    EXPECT_EQ(NSFont::fontWithName_size("Helvetica", -5)->pointSize(), 12);
    EXPECT_EQ(NSFont::fontWithName_size("Helvetica", std::nan(""))->pointSize(), 12);
    EXPECT_EQ(NSFont::fontWithName_size("Helvetica", 1e300)->pointSize(),
              CoreTextLimits::kMaxFontSize);
    EXPECT_EQ(CTFontGetSize(CTFontCreateWithName("Helvetica", 0)), 12);
    EXPECT_EQ(CTFontGetSize(nullptr), 0);
    EXPECT_EQ(CTFontCopyPostScriptName(nullptr), "");
}

// What a process resolves and draws, as text: the environment test compares two processes' reports.
TEST(Part4_1_CTFont, DISABLED_ReportForEnvironmentTest) {
    std::ostringstream report;
    for (const char* name : {"Helvetica", "Times-Bold", "Courier", "System Font", "Inter",
                             "DejaVu Sans", "NoSuchFont", "Liberation Serif"}) {
        const auto font = NSFont::fontWithName_size(name, 12);
        report << name << ": " << (font ? font->fontName() : "none") << "\n";
    }
    const CGContextRef context = bitmap(120, 40);
    CTFrameDraw(frameOf("Hello, world", CGRectMake(0, 0, 120, 40), 14), context);
    uint64_t hash = 1469598103934665603u;  // FNV-1a of the pixels
    const auto* data = static_cast<const uint8_t*>(CGBitmapContextGetData(context));
    for (size_t i = 0; i < 120 * 40 * 4; ++i) hash = (hash ^ data[i]) * 1099511628211u;
    report << "pixels: " << hash << "\n";
    std::cout << "REPORT-BEGIN\n" << report.str() << "REPORT-END\n";
}

TEST(Part4_1_CTFont, ResultsDoNotDependOnTheSystemsFontconfig) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    const auto report = [&](std::vector<std::string> environment) {
        std::vector<std::string> argv{"/usr/bin/env"};
        argv.insert(argv.end(), environment.begin(), environment.end());
        argv.insert(argv.end(), {self, "--gtest_also_run_disabled_tests",
                                 "--gtest_filter=Part4_1_CTFont.DISABLED_ReportForEnvironmentTest"});
        const test::CommandResult result = test::run(argv);
        EXPECT_EQ(result.exitStatus, 0) << result.standardError;
        const auto begin = result.standardOutput.find("REPORT-BEGIN");
        const auto end = result.standardOutput.find("REPORT-END");
        EXPECT_NE(begin, std::string::npos);
        EXPECT_NE(end, std::string::npos);
        EXPECT_EQ(result.standardError.find("Fontconfig"), std::string::npos) << result.standardError;
        return begin == std::string::npos || end == std::string::npos
                   ? std::string()
                   : result.standardOutput.substr(begin, end - begin);
    };
    const std::string ordinary = report({});
    EXPECT_NE(ordinary.find("Helvetica: LiberationSans\n"), std::string::npos) << ordinary;
    EXPECT_NE(ordinary.find("DejaVu Sans: none\n"), std::string::npos) << ordinary;
    // A sandbox's view: no configuration file, no home, no cache folders.
    EXPECT_EQ(report({"-u", "HOME", "-u", "XDG_CACHE_HOME", "-u", "XDG_CONFIG_HOME",
                      "FONTCONFIG_FILE=/nonexistent/fonts.conf", "FONTCONFIG_PATH=/nonexistent"}),
              ordinary);
    test::ScratchDirectory scratch;
    test::writeFile(scratch.path() / "empty.conf", {});
    EXPECT_EQ(report({"-u", "HOME", "FONTCONFIG_FILE=" + (scratch.path() / "empty.conf").string()}),
              ordinary);
    // A configuration that would make every family DejaVu Sans, were it read.
    const std::string hostile =
        "<?xml version=\"1.0\"?><fontconfig><dir>/usr/share/fonts</dir>"
        "<match target=\"pattern\"><edit name=\"family\" mode=\"assign\" binding=\"strong\">"
        "<string>DejaVu Sans</string></edit></match></fontconfig>";
    test::writeFile(scratch.path() / "hostile.conf", {hostile.begin(), hostile.end()});
    EXPECT_EQ(report({"FONTCONFIG_FILE=" + (scratch.path() / "hostile.conf").string(), "LANG=ja_JP.UTF-8"}),
              ordinary);
}
