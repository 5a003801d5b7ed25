// The project's own fonts: the substitution table maps the Mac's names onto Liberation
// (metric-compatible with Arial, Times New Roman, Courier New) and Inter (the system font); the
// installed faces answer to their own names; nothing else on the machine is used, whatever its
// fontconfig configuration says.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "CTFont.h"
#include "CTLine.h"
#include "CoreTextLimits.h"
#include "TestSupport.h"
#include "TextTestSupport.h"

using namespace TextTestSupport;

TEST(CTFont, HelveticaIsLiberationSansWithArialsMetrics) {
    const auto font = NSFont::fontWithName_size("Helvetica", 12);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->familyName(), "Liberation Sans");
    EXPECT_EQ(font->pointSize(), 12);
    EXPECT_DOUBLE_EQ(font->ascender(), kSansAscent * 12);
    EXPECT_DOUBLE_EQ(font->descender(), -kSansDescent * 12);
    EXPECT_DOUBLE_EQ(font->leading(), kSansLeading * 12);
    // Arial's published advances (units of 2048): H 1479, e 1139, l 455, l 455, o 1139.
    const double arialHello = (1479 + 1139 + 455 + 455 + 1139) / 2048.0 * 100;
    for (const char* name : {"Helvetica", "Arial"}) {
        const auto line = CTLineCreateWithAttributedString(
            NSAttributedString::initWithString_attributes("Hello", attributes(name, 100)));
        EXPECT_NEAR(CTLineGetTypographicBounds(line, nullptr, nullptr, nullptr), arialHello,
                    arialHello * 0.01)
            << name;
    }
}

// nullptr: no font (not one of ours, even when the system has it).
TEST(CTFont, NamesResolveToOurFacesOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"Helvetica", "LiberationSans"},
        {"helvetica", "LiberationSans"},
        {"Helvetica-Bold", "LiberationSans-Bold"},
        {"Helvetica-Oblique", "LiberationSans-Italic"},
        {"Helvetica-BoldOblique", "LiberationSans-BoldItalic"},
        {"Helvetica Neue", "LiberationSans"},
        {"HelveticaNeue-Light", "LiberationSans"},  // weight 300: the nearest face is Regular
        {"HelveticaNeue-Bold", "LiberationSans-Bold"},
        {"ArialMT", "LiberationSans"},
        {"Arial-BoldMT", "LiberationSans-Bold"},
        {"Arial-ItalicMT", "LiberationSans-Italic"},
        {"Arial Bold Italic", "LiberationSans-BoldItalic"},
        {"Times", "LiberationSerif"},
        {"Times-Roman", "LiberationSerif"},
        {"Times-Bold", "LiberationSerif-Bold"},
        {"Times New Roman", "LiberationSerif"},
        {"TimesNewRomanPS-BoldItalicMT", "LiberationSerif-BoldItalic"},
        {"Courier", "LiberationMono"},
        {"Courier-Oblique", "LiberationMono-Italic"},
        {"CourierNewPS-BoldMT", "LiberationMono-Bold"},
        {".AppleSystemUIFont", "Inter-Regular"},
        {"SF Pro Text Bold", "Inter-Bold"},
        {"SFProText-Semibold", "Inter-SemiBold"},
        {".SFNS-Light", "Inter-Light"},
        {"San Francisco", "Inter-Regular"},
        {"System Font", "Inter-Regular"},
        {"Liberation Sans", "LiberationSans"},
        {"LiberationSerif-Italic", "LiberationSerif-Italic"},
        {"liberation mono bold", "LiberationMono-Bold"},
        {"Inter", "Inter-Regular"},
        {"Inter-Medium", "Inter-Medium"},
        {"NoSuchFont", nullptr},
        {"", nullptr},
        {"Helvetica-Wide", nullptr},
        {"HelveticaX", nullptr},
        {"Arial Bold Foo", nullptr},
        {"DejaVu Sans", nullptr},
        {"sans-serif", nullptr},
    };
    for (const auto& [name, postScriptName] : cases) {
        const auto font = NSFont::fontWithName_size(name, 12);
        EXPECT_EQ(font ? font->fontName() : "none", postScriptName ? postScriptName : "none")
            << name;
    }
    EXPECT_EQ(CTFontCreateWithName("NoSuchFont", 12), nullptr);
}

// The system and UI fonts; sizes of 0, below 0 or NaN take the default, huge ones are capped.
TEST(CTFont, SystemFontsAndSizes) {
    EXPECT_EQ(NSFont::systemFontOfSize(12)->fontName(), "Inter-Regular");
    EXPECT_EQ(NSFont::systemFontOfSize(0)->pointSize(), 13);
    const auto ui = [](CTFontUIFontType type, CGFloat size = 0) {
        return CTFontCreateUIFontForLanguage(type, size, "en");
    };
    EXPECT_EQ(CTFontCopyPostScriptName(ui(kCTFontUIFontSystem)), "Inter-Regular");
    EXPECT_EQ(CTFontCopyPostScriptName(ui(kCTFontUIFontEmphasizedSystem)), "Inter-Bold");
    EXPECT_EQ(CTFontGetSize(ui(kCTFontUIFontUser)), 12);
    EXPECT_EQ(CTFontCopyFamilyName(ui(kCTFontUIFontUser)), "Liberation Sans");
    EXPECT_EQ(CTFontCopyFullName(ui(kCTFontUIFontUserFixedPitch)), "Liberation Mono");
    EXPECT_EQ(ui(static_cast<CTFontUIFontType>(99), 12), nullptr);
    for (double size : {0.0, -5.0, std::nan("")})
        EXPECT_EQ(NSFont::fontWithName_size("Helvetica", size)->pointSize(), 12) << size;
    EXPECT_EQ(NSFont::fontWithName_size("Helvetica", 1e300)->pointSize(),
              CoreTextLimits::kMaxFontSize);
    EXPECT_EQ(CTFontGetSize(CTFontCreateWithName("Helvetica", 0)), 12);
    EXPECT_EQ(CTFontGetSize(nullptr), 0);
    EXPECT_EQ(CTFontCopyPostScriptName(nullptr), "");
}

// What a process resolves and draws, as text: the next test compares two processes' reports.
TEST(CTFont, DISABLED_ReportForEnvironmentTest) {
    std::ostringstream report;
    for (const char* name : {"Helvetica", "Times-Bold", "Courier", "System Font", "Inter",
                             "DejaVu Sans", "NoSuchFont", "Liberation Serif"}) {
        const auto font = NSFont::fontWithName_size(name, 12);
        report << name << ": " << (font ? font->fontName() : "none") << "\n";
    }
    const CGContextRef context = nativeContext(120, 40);
    CTFrameDraw(frameOf("Hello, world", CGRectMake(0, 0, 120, 40), 14), context);
    uint64_t hash = 1469598103934665603u;  // FNV-1a of the pixels
    const auto* data = static_cast<const uint8_t*>(CGBitmapContextGetData(context));
    for (size_t i = 0; i < 120 * 40 * 4; ++i) hash = (hash ^ data[i]) * 1099511628211u;
    std::cout << "REPORT-BEGIN\n" << report.str() << "pixels: " << hash << "\nREPORT-END\n";
}

TEST(CTFont, ResultsDoNotDependOnTheSystemsFontconfig) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    const auto report = [&](std::vector<std::string> environment) {
        std::vector<std::string> argv{"/usr/bin/env"};
        argv.insert(argv.end(), environment.begin(), environment.end());
        argv.insert(argv.end(), {self, "--gtest_also_run_disabled_tests",
                                 "--gtest_filter=CTFont.DISABLED_ReportForEnvironmentTest"});
        const test::CommandResult result = test::run(argv);
        EXPECT_EQ(result.exitStatus, 0) << result.standardError;
        EXPECT_EQ(result.standardError.find("Fontconfig"), std::string::npos)
            << result.standardError;
        const auto begin = result.standardOutput.find("REPORT-BEGIN");
        const auto end = result.standardOutput.find("REPORT-END");
        EXPECT_NE(end, std::string::npos);
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
    EXPECT_EQ(report({"FONTCONFIG_FILE=" + (scratch.path() / "hostile.conf").string(),
                      "LANG=ja_JP.UTF-8"}),
              ordinary);
}
