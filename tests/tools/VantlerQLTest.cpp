// vantler-ql's commands through its command line: thumbnail and preview of one FILE or a batch
// (each FILE in a process of its own), with the test generator (tests/plugins); dump of a keyed
// archive; the committed examples.

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include "../platform/QuickLook/QLTestSupport.h"
#include "NSArray.h"
#include "NSKeyedArchiver.h"
#include "NSString.h"
#include "VTPrototype.h"

namespace {

using qltest::kBlue;
using qltest::kRed;
namespace fs = std::filesystem;

test::CommandResult ql(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), VANTLER_QL);
    return test::run(arguments);
}

TEST(VantlerQL, WrongUsageExits2WithTheUsage) {
    const std::string thumbnail = "thumbnail f -o a.png ", preview = "preview -d dir ";
    const std::pair<std::string, std::string> cases[] = {
        {"", "no command given"},
        {"frobnicate f", "unknown command frobnicate"},
        {"dump", "dump needs a FILE"},
        {"dump a b", "dump takes one FILE"},
        {"dump a --yaml", "unknown option --yaml"},
        {"thumbnail", "thumbnail needs a FILE"},
        {"thumbnail f", "thumbnail needs -o OUT (or -d OUTDIR)"},
        {"thumbnail f -o", "-o needs a value"},
        {"thumbnail f -o a.pdf", "a thumbnail is written as PNG: OUT must end in .png"},
        {thumbnail + "--size 0", "--size needs a whole number from 1 to 32767"},
        {thumbnail + "--size 32768", "--size needs a whole number from 1 to 32767"},
        {thumbnail + "--scale nan", "--scale needs a number above 0, at most 64"},
        {thumbnail + "--scale 2x", "--scale needs a number above 0, at most 64"},
        {thumbnail + "--bogus", "unknown option --bogus"},
        {thumbnail + "f", "several FILEs need -d OUTDIR"},
        {thumbnail + "-d dir", "-o and -d exclude each other"},
        {thumbnail + "--timeout 5", "--format, --timeout and --jobs are for -d OUTDIR"},
        {thumbnail + "--format png", "--format is for previews"},
        {"preview f -o a.png --size 10", "--size is for thumbnails"},
        {"preview f -o a.jpg", "OUT must end in .png, .pdf or .svg"},
        {preview + "--format gif f", "--format needs png, pdf or svg"},
        {preview + "--timeout -1 f", "--timeout needs a number of seconds above 0, at most 86400"},
        {preview + "--jobs 0 f", "--jobs needs a whole number from 1 to 256"},
        {preview, "preview needs a FILE"},
    };
    for (const auto& [line, message] : cases) {
        std::vector<std::string> arguments;
        std::istringstream words(line);
        for (std::string word; words >> word;) arguments.push_back(word);
        const auto result = ql(arguments);
        SCOPED_TRACE(line);
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_TRUE(result.standardError.starts_with("vantler-ql: " + message +
                                                     "\nusage: vantler-ql dump FILE [--json]\n"))
            << result.standardError;
        EXPECT_EQ(result.standardOutput, "");
    }
    EXPECT_EQ(ql({"thumbnail", "", "-o", "a.png"}).standardError.substr(0, 29),
              "vantler-ql: a FILE is empty\nu");
    const auto help = ql({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    for (const char* text :
         {"vantler-ql thumbnail FILE -o OUT.png [--size N] [--scale S]",
          "vantler-ql preview FILE -o OUT.png|OUT.pdf|OUT.svg",
          "vantler-ql thumbnail|preview -d OUTDIR [options] FILE...", "--timeout SECONDS",
          "--format png|pdf|svg", "VANTLER_GENERATOR", "2 wrong usage"})
        EXPECT_NE(help.standardOutput.find(text), std::string::npos) << text;
}

// One FILE: what is written (its size and probes, or the handed-over bytes as they are), or the
// exit status 1 and the line that says why. Pixel rows count from the top; the test generator's
// red square is at the bottom left.
TEST(VantlerQL, RenderOneFile) {
    test::ScratchDirectory scratch;
    const auto folder = scratch.path();
    const auto doc = [&](const std::string& name, const std::vector<uint8_t>& bytes = {'x'}) {
        return qltest::documentNamed(folder, name, bytes);
    };
    const auto blue = qltest::bluePNG(400, 200), smallBlue = qltest::bluePNG(40, 20);
    const auto bytes = doc("bytes", blue), smallBytes = doc("bytes-small", smallBlue),
               garbage = doc("bytes-bad", {'b', 'a', 'd'}), drawn = doc("draw-40x30");
    const auto refused = doc("refuse", {'n', 'o', 't', ' ', 'a', ' ', 'd', 'o', 'c'});
    std::shared_ptr<NSError> error;
    ASSERT_EQ(VTPrototype::prototypeFromPath_error(refused, &error), nullptr);
    const std::string loaderReason = error->localizedFailureReason().value_or("?");
    const std::string undecodable =
        "the handed-over image could not be decoded (no known image format)";
    const std::string out = (folder / "out.png").string();
    const struct {
        std::vector<std::string> arguments;
        std::string error;  // for exit status 1
        size_t width = 0, height = 0;
        std::vector<std::tuple<size_t, size_t, qltest::RGBA>> probes = {};
        std::vector<uint8_t> sameBytes = {};
    } cases[] = {
        {{"thumbnail", drawn, "-o", out},
         "",
         40,
         30,
         {{0, 29, kRed}, {10, 29, kBlue}, {39, 0, kBlue}}},
        {{"thumbnail", drawn, "-o", out, "--scale", "2"},
         "",
         80,
         60,
         {{19, 40, kRed}, {20, 59, kBlue}}},
        {{"thumbnail", doc("draw-400x200"), "-o", out, "--size", "100"},
         "",
         100,
         50,
         {{1, 48, kRed}, {60, 20, kBlue}}},
        {{"thumbnail", doc("draw-10x20"), "-o", out, "--size", "100"}, "", 50, 100},
        {{"thumbnail", doc("maxsize"), "-o", out, "--size", "64"},
         "",
         64,
         64},  // N × N to the generator
        {{"thumbnail", bytes, "-o", out}, "", 400, 200, {}, blue},
        {{"thumbnail", bytes, "-o", out, "--size", "1000"}, "", 400, 200, {}, blue},
        {{"thumbnail", bytes, "-o", out, "--size", "100"}, "", 100, 50, {{50, 25, kBlue}}},
        {{"thumbnail", garbage, "-o", out}, "", 0, 0, {}, {'b', 'a', 'd'}},  // passed on unchecked
        {{"preview", drawn, "-o", out}, "", 40, 30, {{0, 29, kRed}}},
        {{"preview", smallBytes, "-o", out}, "", 40, 20, {}, smallBlue},
        {{"thumbnail", garbage, "-o", out, "--size", "100"}, garbage + ": " + undecodable},
        {{"preview", garbage, "-o", (folder / "out.svg").string()}, garbage + ": " + undecodable},
        {{"thumbnail", refused, "-o", out}, refused + ": " + loaderReason},
        {{"preview", refused, "-o", out}, refused + ": " + loaderReason},
        {{"thumbnail", doc("nothing"), "-o", out}, folder.string() + "/nothing: nothing was drawn"},
        {{"thumbnail", doc("noflush"), "-o", out}, folder.string() + "/noflush: nothing was drawn"},
        {{"thumbnail", doc("absurd-huge"), "-o", out},
         folder.string() + "/absurd-huge: nothing was drawn"},
        {{"thumbnail", drawn, "-o", (folder / "none/a.png").string()},
         drawn + ": " + (folder / "none/a.png").string() + ": No such file or directory"},
        {{"thumbnail", drawn, "-o", out, "--generator", VANTLER_TEST_GENERATOR_NO_INTERFACE},
         std::string("cannot load the generator: ") + VANTLER_TEST_GENERATOR_NO_INTERFACE +
             " does not offer the generator callbacks interface"},
    };
    for (const auto& c : cases) {
        fs::remove(out);
        auto arguments = c.arguments;
        if (std::find(arguments.begin(), arguments.end(), "--generator") == arguments.end())
            arguments.insert(arguments.end(), {"--generator", VANTLER_TEST_GENERATOR});
        SCOPED_TRACE(testing::PrintToString(arguments));
        const auto result = ql(arguments);
        EXPECT_EQ(result.exitStatus, c.error.empty() ? 0 : 1);
        EXPECT_EQ(result.standardError, c.error.empty() ? "" : "vantler-ql: " + c.error + "\n");
        EXPECT_EQ(result.standardOutput, "");
        if (!c.error.empty()) {
            EXPECT_FALSE(fs::exists(out));
            continue;
        }
        if (!c.sameBytes.empty()) {
            EXPECT_EQ(test::readFile(out), c.sameBytes);
        }
        if (!c.width) continue;  // not an image
        const qltest::Pixels pixels{fs::path(out)};
        EXPECT_EQ(pixels.width(), c.width);
        EXPECT_EQ(pixels.height(), c.height);
        for (const auto& [x, row, colour] : c.probes)
            EXPECT_EQ(pixels.at(x, row), colour) << x << ", " << row;
    }
}

// The preview's format follows OUT's extension; the generator comes from the environment, or its
// absence is said.
TEST(VantlerQL, PreviewFormatsAndGeneratorFromTheEnvironment) {
    test::ScratchDirectory scratch;
    const auto drawn = qltest::documentNamed(scratch.path(), "draw-40x30");
    const auto small = qltest::documentNamed(scratch.path(), "bytes", qltest::bluePNG(40, 20));
    const auto withGenerator = [](std::vector<std::string> arguments) {
        arguments.insert(
            arguments.begin(),
            {"env", std::string("VANTLER_GENERATOR=") + VANTLER_TEST_GENERATOR, VANTLER_QL});
        return test::run(arguments);
    };
    const auto pdf = scratch.path() / "a.PDF", svg = scratch.path() / "a.svg",
               pagePDF = scratch.path() / "b.pdf";
    EXPECT_EQ(withGenerator({"preview", drawn, "-o", pdf.string()}).exitStatus, 0);
    EXPECT_TRUE(qltest::textOf(test::readFile(pdf)).starts_with("%PDF-"));
    EXPECT_EQ(withGenerator({"preview", drawn, "-o", svg.string()}).exitStatus, 0);
    EXPECT_NE(qltest::textOf(test::readFile(svg)).find("<svg"), std::string::npos);
    EXPECT_EQ(withGenerator({"preview", small, "-o", pagePDF.string()}).exitStatus, 0);
    EXPECT_NE(qltest::textOf(test::readFile(pagePDF)).find("/MediaBox [ 0 0 40 20 ]"),
              std::string::npos);
    const auto missing = (scratch.path() / "missing.so").string();
    const auto result =
        ql({"thumbnail", drawn, "-o", (scratch.path() / "c.png").string(), "--generator", missing});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(
        result.standardError.starts_with("vantler-ql: cannot load the generator: " + missing))
        << result.standardError;
}

class VantlerQLBatch : public ::testing::Test {
  protected:
    std::string document(const std::string& name, const fs::path& folder = {}) {
        fs::create_directories(scratch_.path() / folder);
        return qltest::documentNamed(scratch_.path() / folder, name);
    }
    fs::path outDir() const { return scratch_.path() / "out"; }
    test::CommandResult batch(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin() + 1,
                         {"--generator", VANTLER_TEST_GENERATOR, "-d", outDir().string()});
        return ql(arguments);
    }
    std::vector<std::string> written() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(outDir()))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::ScratchDirectory scratch_;
};

// A FILE that crashes or hangs fails alone, within its deadline, while the others run.
TEST_F(VantlerQLBatch, CrashAndHangFailAlone) {
    const auto crash = document("crash.vantler"), hang = document("hang.vantler"),
               refuse = document("refuse.vantler");
    const auto start = std::chrono::steady_clock::now();
    const auto result =
        batch({"thumbnail", "--timeout", "6", "--jobs", "3", document("draw-10x10.vantler"), crash,
               document("draw-20x10.vantler"), hang, refuse, document("draw-30x10.vantler")});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(written(),
              (std::vector<std::string>{"draw-10x10.png", "draw-20x10.png", "draw-30x10.png"}));
    EXPECT_EQ(qltest::Pixels(outDir() / "draw-20x10.png").width(), 20u);
    const auto& errors = result.standardError;
    EXPECT_NE(errors.find("vantler-ql: " + crash + ": crashed (signal 11)\n"), std::string::npos)
        << errors;
    EXPECT_NE(errors.find("vantler-ql: " + hang + ": timed out after 6 s\n"), std::string::npos)
        << errors;
    EXPECT_NE(errors.find("vantler-ql: " + refuse + ": "), std::string::npos) << errors;
    // One line per failed FILE; no progress when stderr is not a terminal.
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 3) << errors;
    EXPECT_EQ(errors.find("["), std::string::npos) << errors;
    EXPECT_EQ(result.standardOutput, "");
}

// Names met again get -2, -3, ...; previews come in the format asked.
TEST_F(VantlerQLBatch, OutputNamesAndFormats) {
    auto result =
        batch({"thumbnail", "--size", "16", document("draw-10x10.vantler", "one"),
               document("draw-10x10.vantler", "two"), document("draw-10x10-2.vantler", "two"),
               document("draw-8x32.vantler", "one")});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(written(), (std::vector<std::string>{"draw-10x10-2-2.png", "draw-10x10-2.png",
                                                   "draw-10x10.png", "draw-8x32.png"}));
    const qltest::Pixels tall(outDir() / "draw-8x32.png");
    EXPECT_EQ(tall.width(), 4u);
    EXPECT_EQ(tall.height(), 16u);
    fs::remove_all(outDir());
    result = batch(
        {"preview", "--format", "svg", document("draw-10x10.vantler"), document("bytes.vantler")});
    EXPECT_EQ(result.exitStatus, 1);  // the bytes "x" are no image to put on a page
    EXPECT_EQ(written(), (std::vector<std::string>{"draw-10x10.svg"}));
    EXPECT_NE(
        result.standardError.find("bytes.vantler: the handed-over image could not be decoded"),
        std::string::npos);
    fs::remove_all(outDir());
    test::writeFile(outDir(), {'f', 'i', 'l', 'e'});
    result = batch({"thumbnail", document("draw-10x10")});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(result.standardError.starts_with("vantler-ql: " + outDir().string() + ": "))
        << result.standardError;
}

// An object that refers to another one, so that two of them make a cycle.
class Link : public NSObject {
  public:
    TEST_CLASS("Link", NSObject::objcClass())
    std::weak_ptr<NSObject> next;
    void encodeWithCoder(NSCoder& coder) const override {
        coder.encodeObject_forKey(next.lock(), "next");
    }
};

// dump prints each object once (shared objects and cycles by reference), or valid JSON; a file
// that is no archive exits 1 with the reader's reason.
TEST(VantlerQLDump, ObjectGraph) {
    test::ScratchDirectory scratch;
    auto a = std::make_shared<Link>(), b = std::make_shared<Link>();
    a->next = b;
    b->next = a;
    auto shared = NSString::stringWithUTF8String("quote \" and \\ and \n");
    const auto path =
        qltest::documentNamed(scratch.path(), "archive.plist",
                              qltest::bytesOf(NSKeyedArchiver::archivedDataWithRootObject(
                                  NSArray::arrayWithObjects({a, b, a, shared, shared}))));
    auto result = ql({"dump", path});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(result.standardOutput,
              "archiver: NSKeyedArchiver\n"
              "version: 100000\n"
              "top:\n"
              "  root = @1 NSArray\n"
              "@1 NSArray (NSArray : NSObject)\n"
              "  NS.objects = [@2 Link, @3 Link, @2 Link, \"quote \\\" and \\\\ and \\n\", \"quote "
              "\\\" and \\\\ and \\n\"]\n"
              "@2 Link (Link : NSObject)\n"
              "  next = @3 Link\n"
              "@3 Link (Link : NSObject)\n"
              "  next = @2 Link\n");
    result = ql({"dump", path, "--json"});
    ASSERT_EQ(result.exitStatus, 0);
    const auto json = qltest::documentNamed(
        scratch.path(), "dump.json", {result.standardOutput.begin(), result.standardOutput.end()});
    const auto check = test::run({VANTLER_PYTHON, "-c",
                                  "import json,sys; d=json.load(open(sys.argv[1])); "
                                  "print(d['top']['root']['$ref'], d['objects'][0]['class'], "
                                  "repr(d['objects'][0]['values']['NS.objects'][3]))",
                                  json});
    EXPECT_EQ(check.exitStatus, 0) << check.standardError;
    EXPECT_EQ(check.standardOutput, "1 NSArray 'quote \" and \\\\ and \\n'\n");
    const auto bad = qltest::documentNamed(scratch.path(), "bad.plist",
                                           {'b', 'p', 'l', 'i', 's', 't', '0', '0', 1, 2, 3});
    for (const auto& [file, reason] :
         {std::pair<std::string, std::string>{
              bad, "binary property list: file is too short to hold a trailer"},
          {"/nonexistent/file.vantler", "No such file or directory"}}) {
        result = ql({"dump", file});
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.standardOutput, "");
        EXPECT_EQ(result.standardError, "vantler-ql: " + file + ": " + reason + "\n");
    }
}

TEST(Examples, CommittedExamplesAreWhatTheGeneratorWrites) {
    test::ScratchDirectory scratch;
    ASSERT_EQ(test::run({VANTLER_MAKE_EXAMPLES, scratch.path().string()}).exitStatus, 0);
    size_t compared = 0;
    for (const auto& entry : fs::directory_iterator(scratch.path())) {
        const auto committed = test::sourceDir() / "examples" / entry.path().filename();
        EXPECT_EQ(test::readFile(entry.path()), test::readFile(committed)) << committed;
        EXPECT_EQ(ql({"dump", committed.string()}).exitStatus, 0);
        ++compared;
    }
    EXPECT_EQ(compared, 3u);
}

}  // namespace
