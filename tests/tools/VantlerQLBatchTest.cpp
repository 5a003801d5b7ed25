// `vantler-ql thumbnail|preview -d OUTDIR FILE...`: each FILE in its own process with a deadline,
// reports per FILE, unique output names; through the test generator (tests/plugins).

#include <gtest/gtest.h>

#include <chrono>

#include "../platform/QuickLook/QLTestSupport.h"

namespace {

class VantlerQL_Batch : public ::testing::Test {
  protected:
    std::string document(const std::string& name) { return qltest::documentNamed(scratch_.path(), name); }
    std::filesystem::path outDir() const { return scratch_.path() / "out"; }
    test::CommandResult ql(std::vector<std::string> args) const {
        args.insert(args.begin(), {VANTLER_QL});
        args.insert(args.begin() + 2, {"--generator", VANTLER_TEST_GENERATOR, "-d", outDir().string()});
        return test::run(args);
    }
    std::vector<std::string> written() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(outDir()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::ScratchDirectory scratch_;
};

TEST_F(VantlerQL_Batch, CrashAndHangFailAloneWithinTheDeadline) {
    const auto good1 = document("draw-10x10.vantler"), crash = document("crash.vantler"),
               good2 = document("draw-20x10.vantler"), hang = document("hang.vantler"),
               refuse = document("refuse.vantler"), good3 = document("draw-30x10.vantler");
    const auto start = std::chrono::steady_clock::now();
    const auto result = ql({"thumbnail", "--timeout", "2", "--jobs", "3", good1, crash, good2, hang, refuse, good3});
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(result.exitStatus, 1);
    // The hanging file is stopped at its deadline; the others run meanwhile.
    EXPECT_LT(seconds, 2 + 5.0);
    EXPECT_EQ(written(), (std::vector<std::string>{"draw-10x10.png", "draw-20x10.png", "draw-30x10.png"}));
    EXPECT_EQ(CGImageGetWidth(qltest::decode(test::readFile(outDir() / "draw-20x10.png"))), 20u);
    const auto& errors = result.standardError;
    EXPECT_NE(errors.find("vantler-ql: " + crash + ": crashed (signal 11)\n"), std::string::npos) << errors;
    EXPECT_NE(errors.find("vantler-ql: " + hang + ": timed out after 2 s\n"), std::string::npos) << errors;
    EXPECT_NE(errors.find("vantler-ql: " + refuse + ": "), std::string::npos) << errors;
    // One line per failed file, none for the good ones, no progress when not on a terminal.
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 3) << errors;
    EXPECT_EQ(errors.find("["), std::string::npos) << errors;
    EXPECT_EQ(result.standardOutput, "");
}

TEST_F(VantlerQL_Batch, AllWrittenExits0) {
    const auto result = ql({"thumbnail", "--size", "16", document("draw-32x8"), document("draw-8x32")});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(written(), (std::vector<std::string>{"draw-32x8.png", "draw-8x32.png"}));
    const auto tall = qltest::decode(test::readFile(outDir() / "draw-8x32.png"));
    EXPECT_EQ(CGImageGetWidth(tall), 4u);
    EXPECT_EQ(CGImageGetHeight(tall), 16u);
}

TEST_F(VantlerQL_Batch, SameNamesDoNotOverwriteEachOther) {
    std::filesystem::create_directories(scratch_.path() / "one");
    std::filesystem::create_directories(scratch_.path() / "two");
    const auto a = qltest::documentNamed(scratch_.path() / "one", "draw-10x10.vantler");
    const auto b = qltest::documentNamed(scratch_.path() / "two", "draw-10x10.vantler");
    const auto c = qltest::documentNamed(scratch_.path() / "two", "draw-10x10-2.vantler");
    const auto d = qltest::documentNamed(scratch_.path() / "one", "draw-20x20.vantler");
    const auto result = ql({"thumbnail", a, b, c, d});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(written(), (std::vector<std::string>{"draw-10x10-2-2.png", "draw-10x10-2.png", "draw-10x10.png",
                                                   "draw-20x20.png"}));
}

TEST_F(VantlerQL_Batch, PreviewsInTheFormatAsked) {
    const auto result = ql({"preview", "--format", "svg", document("draw-10x10.vantler"),
                            document("bytes.vantler")});
    EXPECT_EQ(result.exitStatus, 1);  // the bytes "x" are no image to put on an SVG page
    EXPECT_EQ(written(), (std::vector<std::string>{"draw-10x10.svg"}));
    EXPECT_NE(result.standardError.find("bytes.vantler: the handed-over image could not be decoded"),
              std::string::npos);
}

TEST_F(VantlerQL_Batch, UnusableOutputFolderExits1) {
    test::writeFile(outDir(), {'f', 'i', 'l', 'e'});
    const auto result = ql({"thumbnail", document("draw-10x10")});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(result.standardError.starts_with("vantler-ql: " + outDir().string() + ": ")) << result.standardError;
}

}  // namespace
