// vantler-ql through its command line, mostly with the test generator (tests/plugins): thumbnail
// and preview of one FILE or a batch (each FILE in a process of its own), dump of a keyed archive.

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include "../platform/QuickLook/QLTestSupport.h"
#include "DocumentShapes.h"
#include "NSArray.h"
#include "NSDate.h"
#include "NSDictionary.h"
#include "NSKeyedArchiver.h"
#include "NSNumber.h"
#include "NSString.h"
#include "ScopedEnvironmentVariable.h"
#include "VTPrototype+Writing.h"

namespace {

using qltest::kBlue;
using qltest::kClear;
using qltest::kRed;
namespace fs = std::filesystem;

test::CommandResult ql(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), VANTLER_QL);
    return test::run(arguments);
}

TEST(VantlerQL, WrongUsageExits2WithOneLine) {
    const std::string thumbnail = "thumbnail f -o a.png ", preview = "preview -d dir ";
    const std::pair<std::string, std::string> cases[] = {
        // clang-format off
        {"", "no command given"},
        {"frobnicate f", "unknown command frobnicate"},
        {"info", "info needs a FILE"},
        {"info a --xml", "unknown option --xml"},
        {"dump a b", "dump takes one FILE"},
        {"thumbnail f -o", "-o needs a value"},
        {thumbnail + "--scale 2x", "--scale needs a number above 0, at most 64, not \"2x\""},
        {thumbnail + "-d dir", "-o and -d exclude each other"},
        {"preview f -o a.pdf --scale 2", "--scale is for PNG output"},
        {preview + "--format gif f", "--format needs png, pdf or svg"},
        {preview + "--jobs 0 f", "--jobs needs a whole number from 1 to 256, not \"0\""},
        {"thumbnail f", "thumbnail needs -o OUT (or -d OUTDIR)"},
        {"thumbnail f -o a.pdf", "a thumbnail is written as PNG: OUT must end in .png"},
        {thumbnail + "--size 32768", "--size needs a whole number from 1 to 32767, not \"32768\""},
        {thumbnail + "--size 1e2", "--size needs a whole number from 1 to 32767, not \"1e2\""},
        {thumbnail + "f", "several FILEs need -d OUTDIR"},
        {thumbnail + "--timeout 5", "--format, --timeout and --jobs are for -d OUTDIR"},
        {thumbnail + "--format png", "--format is for previews"},
        {"preview f -o a.jpg", "OUT must end in .png, .pdf or .svg"},
        {preview + "--timeout -1 f", "--timeout needs a number of seconds from 0 to 86400 (0: no deadline), not \"-1\""},
        {preview, "preview needs a FILE"},
        {"export f", "export needs -d DIR"},
        {"export f -d", "-d needs a value"},
        {"embed-thumbnail f", "embed-thumbnail needs either -o OUT or --in-place"},
        {"embed-thumbnail f -o g --in-place", "embed-thumbnail needs either -o OUT or --in-place"},
        // clang-format on
    };
    for (const auto& [line, message] : cases) {
        std::vector<std::string> arguments;
        std::istringstream words(line);
        for (std::string word; words >> word;) arguments.push_back(word);
        const auto result = ql(arguments);
        EXPECT_EQ(result.exitStatus, 2) << line;
        EXPECT_EQ(result.standardError, "vantler-ql: " + message + " (see vantler-ql --help)\n");
    }
    const std::string usage = "usage: vantler-ql", version = "vantler-ql " VANTLER_VERSION "\n";
    for (const auto& [arguments, start] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--help"}, usage},
             {{"info", "f", "-h"}, usage},
             {{"help"}, usage},
             {{"thumbnail", "--version"}, version}}) {
        const auto answer = ql(arguments);
        EXPECT_EQ(answer.exitStatus, 0);
        EXPECT_TRUE(answer.standardOutput.starts_with(start)) << arguments[0];
    }
}

// One FILE: what is written (its size and probes, or the handed-over bytes), or the line that says
// why. The Vantler generator's thumbnail is the entry screen at its own size, or the picture the
// document carries even when the model would not load; its preview puts the screens side by side
// on the bottom edge, 30 points apart, each clipped to its size.
TEST(VantlerQL, RenderOneFile) {
    test::ScratchDirectory scratch;
    const auto folder = scratch.path();
    const auto doc = [&](const std::string& name, const std::vector<uint8_t>& bytes = {'x'}) {
        return qltest::documentNamed(folder, name, bytes);
    };
    const auto real = [&](const std::string& name, const document_shapes::Document& document) {
        return doc(name, qltest::bytesOf(document_shapes::make(document)));
    };
    const auto blue = qltest::bluePNG(400, 200);
    auto cut = qltest::bluePNG(40, 20);
    cut.resize(cut.size() / 2);
    const auto bytes = doc("bytes", blue), garbage = doc("bytes-bad", {'b', 'a', 'd'}),
               drawn = doc("draw-40x30"),
               plain = doc("plain",
                           test::readFile(test::dataDir() / "documents/plain-dictionary.bplist")),
               carried = real("carried", {.formatVersion = 16, .thumbnail = blue}),
               two = real("two",
                          {.screens = {{{100, 200}, {1, 0, 0, 1}}, {{300, 100}, {0, 0, 1, 1}}}}),
               entry = real("entry",
                            {.screens = {{{375, 667}, {0, 0, 1, 1}}, {{100, 100}, {1, 0, 0, 1}}}});
    const std::string out = folder / "out.png", noFolder = folder / "missing/a.png",
                      pdf = folder / "a.PDF", page = folder / "page.pdf",
                      noInterface = VANTLER_TEST_GENERATOR_NO_INTERFACE,
                      vantler = VANTLER_GENERATOR_PLUGIN;
    const struct {
        std::vector<std::string> arguments;
        std::string error;  // for exit status 1
        size_t width = 0, height = 0;
        std::vector<std::tuple<size_t, size_t, qltest::RGBA>> probes = {};
        std::vector<uint8_t> sameBytes = {};
    } cases[] = {
        // clang-format off
        {{"thumbnail", drawn, "-o", out}, "", 40, 30, {{0, 29, kRed}, {9, 20, kRed}, {10, 29, kBlue}, {39, 0, kBlue}}},
        {{"thumbnail", doc("draw-11x7"), "-o", out, "--scale", "1.5"}, "", 17, 11, {{14, 10, kRed}, {15, 5, kBlue}}},
        {{"thumbnail", doc("draw-400x200"), "-o", out, "--size", "100"}, "", 100, 50, {{1, 48, kRed}, {50, 25, kBlue}}},
        {{"thumbnail", doc("maxsize"), "-o", out, "--size", "64"}, "", 64, 64, {{32, 32, kBlue}}},
        {{"thumbnail", bytes, "-o", out, "--size", "100", "--scale", "2"}, "", 200, 100, {{50, 25, kBlue}}},
        {{"thumbnail", bytes, "-o", out, "--size", "1000"}, "", 400, 200, {}, blue},
        {{"preview", doc("bytes-page", qltest::bluePNG(40, 20)), "-o", page}, "", 0, 0},
        {{"preview", drawn, "-o", pdf}, "", 0, 0},
        {{"thumbnail", carried, "-o", out, "--generator", vantler}, "", 400, 200, {}, blue},
        {{"preview", carried, "-o", out, "--generator", vantler}, "", 400, 200, {}, blue},
        {{"thumbnail", entry, "-o", out, "--generator", vantler}, "", 375, 667, {{0, 0, kBlue}, {374, 666, kBlue}}},
        {{"preview", two, "-o", out, "--generator", vantler, "--size", "86"}, "", 86, 40, {{10, 20, kRed}, {70, 20, kBlue}}},
        {{"thumbnail", real("wide", {.screens = {{{40000, 100}, {0, 0, 1, 1}}}}), "-o", out, "--generator", vantler}, "", 32767, 82, {{32766, 40, kBlue}}},
        {{"preview", two, "-o", out, "--generator", vantler}, "", 430, 200, {{50, 0, kRed}, {50, 199, kRed}, {115, 150, kClear}, {129, 199, kClear}, {130, 199, kBlue}, {429, 100, kBlue}, {280, 99, kClear}}},
        {{"thumbnail", garbage, "-o", out}, garbage + ": the document's thumbnail is not a PNG"},
        {{"preview", doc("bytes-cut", cut), "-o", page}, folder.string() + "/bytes-cut: the document's thumbnail is damaged or truncated"},
        {{"thumbnail", doc("bytes-huge", qltest::hugeHeaderPNG()), "-o", out}, folder.string() + "/bytes-huge: the document's thumbnail is 30000 × 30000 pixels, over the limit (67108864 pixels, 32767 a side)"},
        {{"preview", plain, "-o", out, "--generator", vantler}, plain + ": keyed archive: no $version entry"},
        {{"thumbnail", real("none", {}), "-o", out, "--generator", vantler}, folder.string() + "/none: the document has no screens"},
        {{"thumbnail", doc("nothing"), "-o", out}, folder.string() + "/nothing: nothing was drawn"},
        {{"thumbnail", folder.string() + "/absent", "-o", out}, folder.string() + "/absent: No such file or directory"},
        {{"thumbnail", drawn, "-o", noFolder}, drawn + ": " + noFolder + ": No such file or directory"},
        {{"thumbnail", drawn, "-o", out, "--generator", noInterface}, "cannot load the generator: " + noInterface + " does not offer the generator callbacks interface"},
        // clang-format on
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
        EXPECT_EQ(fs::exists(out), c.error.empty() && c.arguments[3] == out);
        if (!c.sameBytes.empty()) {
            EXPECT_EQ(test::readFile(out), c.sameBytes);
        }
        if (!c.width) continue;
        const qltest::Pixels pixels{fs::path(out)};
        EXPECT_EQ(pixels.width(), c.width);
        EXPECT_EQ(pixels.height(), c.height);
        for (const auto& [x, row, colour] : c.probes)
            EXPECT_EQ(pixels.at(x, row), colour) << x << ", " << row;
    }
    EXPECT_TRUE(qltest::textOf(test::readFile(pdf)).starts_with("%PDF-"));  // whatever the case
    EXPECT_NE(qltest::textOf(test::readFile(page)).find("/MediaBox [ 0 0 40 20 ]"),
              std::string::npos);
}

// A FILE that crashes or hangs fails alone, within its deadline, while the others run: one line
// per failed FILE, no progress when stderr is not a terminal. Names met again get -2, -3, ...
TEST(VantlerQLBatch, EachFileAlone) {
    test::ScratchDirectory scratch;
    const auto out = scratch.path() / "out";
    fs::create_directories(scratch.path() / "one");
    const auto doc = [&](const std::string& name) {
        return qltest::documentNamed(scratch.path(), name);
    };
    const auto batch = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin() + 1, {"--generator", VANTLER_TEST_GENERATOR, "-d", out});
        return ql(arguments);
    };
    const auto crash = doc("crash.vantler"), hang = doc("hang.vantler");
    const auto start = std::chrono::steady_clock::now();
    auto result = batch({"thumbnail", "--timeout", "6", "--jobs", "3", doc("draw-20x10.vantler"),
                         crash, doc("one/draw-20x10.vantler"), hang, doc("draw-20x10-2.vantler"),
                         doc("refuse.vantler")});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(test::filesIn(out), (std::vector<std::string>{"draw-20x10-2-2.png",
                                                            "draw-20x10-2.png", "draw-20x10.png"}));
    const auto& errors = result.standardError;
    EXPECT_NE(errors.find("vantler-ql: " + crash + ": crashed (signal 11)\n"), std::string::npos)
        << errors;
    EXPECT_NE(errors.find("vantler-ql: " + hang + ": timed out after 6 s\n"), std::string::npos)
        << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 3) << errors;
    EXPECT_EQ(errors.find("["), std::string::npos) << errors;

    const auto pages = batch({"preview", "--format", "svg", doc("draw-20x10.vantler")});
    EXPECT_EQ(pages.exitStatus, 0) << pages.standardError;
    EXPECT_TRUE(fs::exists(out / "draw-20x10.svg"));
}

// On a terminal: one progress line redrawn in place, each failure's line above it, and a count at
// the end. --timeout 0 sets no deadline.
TEST(VantlerQLBatch, OnATerminalOneProgressLineAndACount) {
    test::ScratchDirectory scratch;
    const auto refused = qltest::documentNamed(scratch.path(), "refuse.vantler");
    // Python's pty runs the program with a terminal as its standard error.
    const auto result = test::run(
        {VANTLER_PYTHON, "-c",
         "import os, pty, sys; sys.exit(os.waitstatus_to_exitcode(pty.spawn(sys.argv[1:])))",
         VANTLER_QL, "thumbnail", "--generator", VANTLER_TEST_GENERATOR, "--timeout", "0", "--jobs",
         "1", "-d", (scratch.path() / "out").string(),
         qltest::documentNamed(scratch.path(), "draw-20x10.vantler"), refused});
    EXPECT_EQ(result.exitStatus, 1);
    // The terminal ends each line with "\r\n".
    const std::string clear = "\r\033[K";
    EXPECT_EQ(result.standardOutput,
              clear + "[1/2] draw-20x10.vantler" + clear + "vantler-ql: " + refused +
                  ": the generator refused the document\r\n[2/2] refuse.vantler" + clear +
                  "1 written, 1 failed\r\n");
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
    EXPECT_EQ(ql({"dump", path}).standardOutput,
              "archiver: NSKeyedArchiver\nversion: 100000\ntop:\n  root = @1 NSArray\n"
              "@1 NSArray (NSArray : NSObject)\n"
              "  NS.objects = [@2 Link, @3 Link, @2 Link, \"quote \\\" and \\\\ and \\n\", \"quote "
              "\\\" and \\\\ and \\n\"]\n"
              "@2 Link (Link : NSObject)\n  next = @3 Link\n"
              "@3 Link (Link : NSObject)\n  next = @2 Link\n");
    EXPECT_EQ(test::run({"sh", "-c", "\"$0\" dump \"$1\" --json | \"$2\" -m json.tool", VANTLER_QL,
                         path, VANTLER_PYTHON})
                  .exitStatus,
              0);  // valid JSON, escapes and all
    const auto bad = qltest::documentNamed(scratch.path(), "bad.plist",
                                           {'b', 'p', 'l', 'i', 's', 't', '0', '0', 1, 2, 3});
    EXPECT_EQ(
        ql({"dump", bad}).standardError,
        "vantler-ql: " + bad + ": binary property list: file is too short to hold a trailer\n");
}

// dump shows values as people read them: a dictionary's entries as "key": value, numbers as short
// as they read back, dates in ISO 8601; FILE "-" is standard input; --extract saves a top-level
// data entry whole.
TEST(VantlerQLDump, ValuesAsPeopleReadThem) {
    test::ScratchDirectory scratch;
    const auto string = [](const char* text) { return NSString::stringWithUTF8String(text); };
    const auto archive = NSKeyedArchiver::archivedDataWithRootObject(NSArray::arrayWithObjects(
        {NSDictionary::dictionaryWithEntries({{string("double"), NSNumber::numberWithDouble(0.231)},
                                              {string("float"), NSNumber::numberWithFloat(0.1f)},
                                              {string("whole"), NSNumber::numberWithDouble(3)}}),
         NSDate::dateWithTimeIntervalSinceReferenceDate(818332157.25),
         NSDate::dateWithTimeIntervalSinceReferenceDate(1e300)}));
    const auto path =
        qltest::documentNamed(scratch.path(), "values.plist", qltest::bytesOf(archive));
    const auto dumped = test::run({"sh", "-c", "\"$0\" dump - < \"$1\"", VANTLER_QL, path});
    EXPECT_EQ(dumped.exitStatus, 0);
    for (const char* shown :
         {"  \"double\": 0.231\n  \"float\": 0.1f\n  \"whole\": 3.0\n",
          "  NS.time = 2026-12-07T10:29:17.250Z\n", "  NS.time = date(1e+300)\n"})
        EXPECT_NE(dumped.standardOutput.find(shown), std::string::npos) << dumped.standardOutput;

    const std::vector<uint8_t> picture{0x89, 'P', 'N', 'G', 0, 1, 2};
    const auto carrying =
        qltest::documentNamed(scratch.path(), "carrying.vantler",
                              qltest::bytesOf(document_shapes::make({.thumbnail = picture})));
    const auto out = (scratch.path() / "thumbnail.png").string();
    EXPECT_EQ(ql({"dump", carrying, "--extract", "kVantlerThumbnailKey", "-o", out}).exitStatus, 0);
    EXPECT_EQ(test::readFile(out), picture);
    EXPECT_EQ(ql({"dump", carrying, "--extract", "absent", "-o", out}).standardError,
              "vantler-ql: " + carrying + ": no top-level data entry \"absent\"\n");
}

// info --json of every example document, and of the test documents with links, transitions and
// components, against its file in tests/data/info (VANTLER_UPDATE_DOCUMENTS=1 rewrites them). The
// temporary copy of a movie (media-player) does not outlive the program.
TEST(VantlerQLInfo, DocumentsMatchTheirGoldenFiles) {
    const test::ScratchDirectory temporary;
    const test::ScopedEnvironmentVariable tmpdir{"TMPDIR", temporary.path().string()};
    const auto goldens = test::dataDir() / "info";
    for (const auto& name : test::filesIn(test::sourceDir() / "examples")) {
        if (!name.ends_with(".vantler")) continue;
        EXPECT_TRUE(fs::exists(goldens / fs::path(name).replace_extension(".json"))) << name;
    }
    for (const auto& name : test::filesIn(goldens)) {
        const auto document = fs::path(name).replace_extension(".vantler");
        const auto example = test::sourceDir() / "examples" / document;
        const auto path = fs::exists(example) ? example : test::dataDir() / "documents" / document;
        const auto result = ql({"info", "--json", path.string()});
        EXPECT_EQ(result.exitStatus, 0) << path << result.standardError;
        if (std::getenv("VANTLER_UPDATE_DOCUMENTS"))
            test::writeFile(goldens / name,
                            {result.standardOutput.begin(), result.standardOutput.end()});
        const auto golden = test::readFile(goldens / name);
        EXPECT_EQ(result.standardOutput, std::string(golden.begin(), golden.end())) << name;
    }
    EXPECT_EQ(test::filesIn(temporary.path()), std::vector<std::string>{});
}

// A document of two screens, "Home" and "Card/Detail", each holding a layer named "Card".
std::vector<uint8_t> namedLayersDocument() {
    const auto prototype = VTPrototype::init();
    for (const char* name : {"Home", "Card/Detail"}) {
        auto screen = VTScreen::initWithCanvasName_size(name, {40, 30});
        screen->addSublayer(VTLayer::initWithName("Card"));
        prototype->addScreen(screen);
    }
    return qltest::bytesOf(dataFromPrototype_error(prototype, nullptr));
}

// info of a refused document is the loader's reason and suggestion, of one without screens says
// so; export prints each path written into DIR, named after the screen or layer and numbered when
// the name is taken. What a command cannot do is one line each and exit status 1.
TEST(VantlerQLDocumentCommands, InfoAndExport) {
    test::ScratchDirectory scratch;
    const std::string document =
        qltest::documentNamed(scratch.path(), "layers.vantler", namedLayersDocument());
    const std::string out = scratch.path() / "out", missing = scratch.path() / "missing";
    const auto made = [&](const char* name, const document_shapes::Document& shape) {
        return qltest::documentNamed(scratch.path(), name,
                                     qltest::bytesOf(document_shapes::make(shape)));
    };
    const auto newer = made("newer.vantler", {.formatVersion = 16}),
               empty = made("empty.vantler", {});
    fs::create_directory(out);
    const std::string unwritable = ": could not be written\n",
                      refused = "vantler-ql: " + newer +
                                ": Document was created with a newer version of Vantler (Make sure "
                                "you have the latest version of Vantler)\n";
    const struct {
        std::vector<std::string> arguments;
        int exitStatus;
        std::string standardOutput, standardError;
    } cases[] = {
        // clang-format off
        {{"info", newer}, 1, "", refused},
        {{"export", newer, "-d", out}, 1, "", refused},
        {{"info", empty}, 0, "format version: 15\nembedded thumbnail: none\nprefers mouse cursor: no\nno screens\n0 transitions\n0 components\n"},
        {{"export", document, "-d", out}, 0, out + "/Home.png\n" + out + "/CardDetail.png\n"},
        {{"export", document, "--layer", "Card", "-d", out}, 0, out + "/Card.png\n" + out + "/Card 2.png\n"},
        {{"export", document, "-d", out, "--layer", "Cards"}, 1, "", "vantler-ql: " + document + ": no layer is named \"Cards\"\n"},
        {{"export", document, "-d", missing}, 1, "", "vantler-ql: " + missing + "/Home.png" + unwritable + "vantler-ql: " + missing + "/CardDetail.png" + unwritable},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const auto result = ql(c.arguments);
        EXPECT_EQ(result.exitStatus, c.exitStatus);
        EXPECT_EQ(result.standardOutput, c.standardOutput);
        EXPECT_EQ(result.standardError, c.standardError);
    }
    EXPECT_EQ(test::filesIn(out),
              (std::vector<std::string>{"Card 2.png", "Card.png", "CardDetail.png", "Home.png"}));
}

// embed-thumbnail saves the document again carrying a picture of its entry screen, which the
// generator then hands over as it stands.
TEST(VantlerQLEmbedThumbnail, SavesTheDocumentWithItsPicture) {
    test::ScratchDirectory scratch;
    const auto document = qltest::documentNamed(
        scratch.path(), "plain.vantler",
        qltest::bytesOf(document_shapes::make({.screens = {{{40, 30}, {1, 0, 0, 1}}}})));
    const std::string copy = scratch.path() / "copy.vantler", png = scratch.path() / "a.png";
    EXPECT_EQ(ql({"embed-thumbnail", document, "-o", copy}).exitStatus, 0);
    EXPECT_EQ(ql({"embed-thumbnail", document, "--in-place"}).exitStatus, 0);
    EXPECT_EQ(test::readFile(document), test::readFile(copy));
    ASSERT_EQ(
        ql({"thumbnail", copy, "-o", png, "--generator", VANTLER_GENERATOR_PLUGIN}).exitStatus, 0);
    const qltest::Pixels pixels{fs::path(png)};
    EXPECT_EQ(pixels.width(), 40u);
    EXPECT_EQ(pixels.height(), 30u);
    EXPECT_EQ(pixels.at(39, 29), kRed);
}

TEST(Examples, CommittedExamplesAreWhatTheGeneratorWrites) {
    test::ScratchDirectory scratch;
    const auto examples = test::sourceDir() / "examples";
    ASSERT_EQ(
        test::run({VANTLER_MAKE_EXAMPLES, (examples / "assets").string(), scratch.path().string()})
            .exitStatus,
        0);
    const auto names = test::filesIn(scratch.path());
    EXPECT_EQ(names.size(), 6u);
    for (const auto& name : names) {
        const auto committed = examples / name;
        EXPECT_EQ(test::readFile(scratch.path() / name), test::readFile(committed)) << committed;
        EXPECT_EQ(ql({"dump", committed.string()}).exitStatus, 0);
    }
}

}  // namespace
