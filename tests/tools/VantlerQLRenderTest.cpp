// `vantler-ql thumbnail` and `vantler-ql preview` with one FILE, through the test generator
// (tests/plugins): options, output formats, fitting, refusals, exit statuses.

#include <gtest/gtest.h>

#include "../platform/QuickLook/QLTestSupport.h"
#include "VTPrototype.h"

namespace {

using qltest::kBlue;
using qltest::kRed;

class VantlerQL_Render : public ::testing::Test {
  protected:
    std::string document(const std::string& name, const std::vector<uint8_t>& bytes = {'x'}) {
        return qltest::documentNamed(scratch_.path(), name, bytes);
    }
    std::string output(const std::string& name) const { return (scratch_.path() / name).string(); }
    test::CommandResult ql(std::vector<std::string> args) const {
        args.insert(args.begin(), {VANTLER_QL});
        args.insert(args.end(), {"--generator", VANTLER_TEST_GENERATOR});
        return test::run(args);
    }
    CGImageRef decodeFile(const std::string& path) const {
        if (!std::filesystem::exists(path)) return nullptr;
        return qltest::decode(test::readFile(path));
    }

    test::ScratchDirectory scratch_;
};

TEST_F(VantlerQL_Render, HelpTellsEveryCommand) {
    const auto result = test::run({VANTLER_QL, "--help"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardError, "");
    for (const char* text : {"vantler-ql thumbnail FILE -o OUT.png [--size N] [--scale S]",
                             "vantler-ql preview FILE -o OUT.png|OUT.pdf|OUT.svg",
                             "vantler-ql thumbnail|preview -d OUTDIR [options] FILE...",
                             "vantler-ql dump FILE [--json]", "--timeout SECONDS", "--format png|pdf|svg",
                             "--generator PATH", "VANTLER_GENERATOR", "2 wrong usage"})
        EXPECT_NE(result.standardOutput.find(text), std::string::npos) << text;
}

TEST_F(VantlerQL_Render, WrongUsageExits2) {
    const auto file = document("draw-4x4");
    const std::vector<std::vector<std::string>> cases{
        {},
        {"thumbnail"},
        {"thumbnail", file},
        {"thumbnail", file, "-o"},
        {"thumbnail", file, "-o", output("a.pdf")},
        {"thumbnail", file, "-o", output("a.png"), "--size", "0"},
        {"thumbnail", file, "-o", output("a.png"), "--size", "12.5"},
        {"thumbnail", file, "-o", output("a.png"), "--size", "32768"},
        {"thumbnail", file, "-o", output("a.png"), "--scale", "0"},
        {"thumbnail", file, "-o", output("a.png"), "--scale", "nan"},
        {"thumbnail", file, "-o", output("a.png"), "--scale", "2x"},
        {"thumbnail", file, "-o", output("a.png"), "--bogus"},
        {"thumbnail", file, file, "-o", output("a.png")},
        {"thumbnail", file, "-o", output("a.png"), "-d", output("dir")},
        {"thumbnail", file, "-o", output("a.png"), "--timeout", "5"},
        {"thumbnail", file, "-o", output("a.png"), "--format", "png"},
        {"preview", file, "-o", output("a.png"), "--size", "10"},
        {"preview", file, "-o", output("a.jpg")},
        {"preview", file, "-o", output("png")},
        {"preview", "-d", output("dir"), "--format", "gif", file},
        {"preview", "-d", output("dir"), "--timeout", "-1", file},
        {"preview", "-d", output("dir"), "--jobs", "0", file},
        {"preview", "-d", output("dir")},
        {"frobnicate", file},
    };
    for (const auto& args : cases) {
        std::vector<std::string> argv{VANTLER_QL};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto result = test::run(argv);
        std::string shown;
        for (const auto& a : args) shown += a + " ";
        EXPECT_EQ(result.exitStatus, 2) << shown;
        EXPECT_TRUE(result.standardError.starts_with("vantler-ql: ")) << shown;
        EXPECT_NE(result.standardError.find("usage: vantler-ql"), std::string::npos) << shown;
        EXPECT_EQ(result.standardOutput, "") << shown;
    }
    EXPECT_FALSE(std::filesystem::exists(output("a.png")));
    EXPECT_FALSE(std::filesystem::exists(output("dir")));
}

TEST_F(VantlerQL_Render, ThumbnailAtNaturalSizeAndScale) {
    const auto file = document("draw-40x30");
    auto result = ql({"thumbnail", file, "-o", output("a.png")});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(result.standardOutput, "");
    const qltest::Pixels natural(decodeFile(output("a.png")));
    ASSERT_EQ(natural.width(), 40u);
    ASSERT_EQ(natural.height(), 30u);
    EXPECT_EQ(natural.at(0, 29), kRed);  // user (0, 0, 10, 10) at the bottom left
    EXPECT_EQ(natural.at(10, 29), kBlue);
    EXPECT_EQ(natural.at(39, 0), kBlue);

    result = ql({"thumbnail", file, "-o", output("b.png"), "--scale", "2"});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const qltest::Pixels scaled(decodeFile(output("b.png")));
    EXPECT_EQ(scaled.width(), 80u);
    EXPECT_EQ(scaled.height(), 60u);
    EXPECT_EQ(scaled.at(19, 40), kRed);
}

TEST_F(VantlerQL_Render, ThumbnailSizeFitsADrawnPicture) {
    const auto result = ql({"thumbnail", document("draw-400x200"), "-o", output("a.png"), "--size", "100"});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const qltest::Pixels fitted(decodeFile(output("a.png")));
    EXPECT_EQ(fitted.width(), 100u);
    EXPECT_EQ(fitted.height(), 50u);
    EXPECT_EQ(fitted.at(1, 48), kRed);
    EXPECT_EQ(fitted.at(60, 20), kBlue);
    // Rendered at the fitting scale, so a small picture comes out at the size asked for.
    ASSERT_EQ(ql({"thumbnail", document("draw-10x20"), "-o", output("b.png"), "--size", "100"}).exitStatus, 0);
    const auto enlarged = decodeFile(output("b.png"));
    EXPECT_EQ(CGImageGetWidth(enlarged), 50u);
    EXPECT_EQ(CGImageGetHeight(enlarged), 100u);
    // The generator is given N × N as its maximum size.
    ASSERT_EQ(ql({"thumbnail", document("maxsize"), "-o", output("c.png"), "--size", "64"}).exitStatus, 0);
    EXPECT_EQ(CGImageGetWidth(decodeFile(output("c.png"))), 64u);
}

TEST_F(VantlerQL_Render, ThumbnailBytesUnchangedOrShrunkButNeverEnlarged) {
    const auto png = qltest::bluePNG(400, 200);
    const auto file = document("bytes.vantler", png);
    ASSERT_EQ(ql({"thumbnail", file, "-o", output("a.png")}).exitStatus, 0);
    EXPECT_EQ(test::readFile(output("a.png")), png);

    ASSERT_EQ(ql({"thumbnail", file, "-o", output("b.png"), "--size", "100"}).exitStatus, 0);
    const qltest::Pixels shrunk(decodeFile(output("b.png")));
    EXPECT_EQ(shrunk.width(), 100u);
    EXPECT_EQ(shrunk.height(), 50u);
    EXPECT_EQ(shrunk.at(50, 25), kBlue);

    ASSERT_EQ(ql({"thumbnail", file, "-o", output("c.png"), "--size", "1000"}).exitStatus, 0);
    EXPECT_EQ(test::readFile(output("c.png")), png);  // 400 × 200 fits: the same bytes
}

TEST_F(VantlerQL_Render, UndecodableBytesFailWhenTheyMustBeShrunk) {
    const auto file = document("bytes.vantler", {'n', 'o', 'p', 'e'});
    const auto result = ql({"thumbnail", file, "-o", output("a.png"), "--size", "100"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError,
              "vantler-ql: " + file + ": the handed-over image could not be decoded (no known image format)\n");
    EXPECT_FALSE(std::filesystem::exists(output("a.png")));
    // Without --size they pass as they are.
    EXPECT_EQ(ql({"thumbnail", file, "-o", output("b.png")}).exitStatus, 0);
}

TEST_F(VantlerQL_Render, RefusalPrintsTheLoadersReason) {
    const auto file = document("refuse.vantler", {'n', 'o', 't', ' ', 'a', ' ', 'd', 'o', 'c'});
    std::shared_ptr<NSError> error;
    ASSERT_EQ(VTPrototype::prototypeFromPath_error(file, &error), nullptr);
    ASSERT_NE(error, nullptr);
    const auto reason = error->localizedFailureReason();
    ASSERT_TRUE(reason);
    for (const char* command : {"thumbnail", "preview"}) {
        // The product's generator says why: the loader's reason, from its one read of the file.
        auto result = test::run({VANTLER_QL, command, file, "-o", output("a.png"), "--generator",
                                 VANTLER_GENERATOR_PLUGIN});
        EXPECT_EQ(result.exitStatus, 1) << command;
        EXPECT_EQ(result.standardError, "vantler-ql: " + file + ": " + *reason + "\n") << command;
        EXPECT_FALSE(std::filesystem::exists(output("a.png"))) << command;
        // A generator that gives no reason.
        result = ql({command, file, "-o", output("a.png")});
        EXPECT_EQ(result.exitStatus, 1) << command;
        EXPECT_EQ(result.standardError,
                  "vantler-ql: " + file + ": the generator refused the document\n")
            << command;
    }
}

TEST_F(VantlerQL_Render, NothingDrawnExits1) {
    for (const char* name : {"nothing", "noflush", "absurd-huge", "absurd-nan"}) {
        const auto file = document(name);
        const auto result = ql({"thumbnail", file, "-o", output("a.png")});
        EXPECT_EQ(result.exitStatus, 1) << name;
        EXPECT_EQ(result.standardError, "vantler-ql: " + file + ": nothing was drawn\n") << name;
        EXPECT_FALSE(std::filesystem::exists(output("a.png"))) << name;
    }
}

TEST_F(VantlerQL_Render, GeneratorFromTheEnvironmentOrFailing) {
    const auto file = document("draw-8x8");
    auto result = test::run({"/usr/bin/env", std::string("VANTLER_GENERATOR=") + VANTLER_TEST_GENERATOR,
                             VANTLER_QL, "thumbnail", file, "-o", output("a.png")});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(CGImageGetWidth(decodeFile(output("a.png"))), 8u);

    result = test::run({VANTLER_QL, "thumbnail", file, "-o", output("b.png"), "--generator",
                        output("missing.so")});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(result.standardError.starts_with("vantler-ql: cannot load the generator: " + output("missing.so")))
        << result.standardError;
    result = test::run({VANTLER_QL, "thumbnail", file, "-o", output("b.png"), "--generator",
                        VANTLER_TEST_GENERATOR_NO_INTERFACE});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, std::string("vantler-ql: cannot load the generator: ") +
                                        VANTLER_TEST_GENERATOR_NO_INTERFACE +
                                        " does not offer the generator callbacks interface\n");
}

TEST_F(VantlerQL_Render, UnwritableOutputExits1) {
    const auto file = document("draw-8x8");
    const auto out = output("no such folder/a.png");
    const auto result = ql({"thumbnail", file, "-o", out});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, "vantler-ql: " + file + ": " + out + ": No such file or directory\n");
}

TEST_F(VantlerQL_Render, PreviewFormatFollowsTheExtension) {
    const auto file = document("draw-40x30");
    ASSERT_EQ(ql({"preview", file, "-o", output("a.png")}).exitStatus, 0);
    EXPECT_EQ(CGImageGetWidth(decodeFile(output("a.png"))), 40u);
    ASSERT_EQ(ql({"preview", file, "-o", output("a.PDF")}).exitStatus, 0);
    const auto pdf = test::readFile(output("a.PDF"));
    EXPECT_EQ(std::string(pdf.begin(), pdf.begin() + 5), "%PDF-");
    ASSERT_EQ(ql({"preview", file, "-o", output("a.svg")}).exitStatus, 0);
    const auto svg = test::readFile(output("a.svg"));
    EXPECT_NE(std::string(svg.begin(), svg.end()).find("<svg"), std::string::npos);
}

TEST_F(VantlerQL_Render, PreviewBytesOnAPageOfTheirSize) {
    const auto png = qltest::bluePNG(40, 20);
    const auto file = document("bytes.vantler", png);
    ASSERT_EQ(ql({"preview", file, "-o", output("a.png")}).exitStatus, 0);
    EXPECT_EQ(test::readFile(output("a.png")), png);
    ASSERT_EQ(ql({"preview", file, "-o", output("a.pdf")}).exitStatus, 0);
    const auto pdf = test::readFile(output("a.pdf"));
    const std::string pdfText(pdf.begin(), pdf.end());
    EXPECT_TRUE(pdfText.starts_with("%PDF-"));
    EXPECT_NE(pdfText.find("/MediaBox [ 0 0 40 20 ]"), std::string::npos);

    const auto garbage = document("bytes-bad.vantler", {'b', 'a', 'd'});
    const auto result = ql({"preview", garbage, "-o", output("b.svg")});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, "vantler-ql: " + garbage +
                                        ": the handed-over image could not be decoded (no known image format)\n");
}

}  // namespace
