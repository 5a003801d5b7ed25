// vantler-thumbnailer run as file managers run it ("vantler-thumbnailer -s %s %u %o"), mostly with
// the test generator (tests/plugins: documents named "bytes...", "draw-WxH", "hang"...); "real"
// cases use the Vantler generator the program finds beside itself.

#include <gtest/gtest.h>

#include <optional>

#include "../platform/ImageIO/PNGTextChunks.h"
#include "../platform/QuickLook/QLTestSupport.h"
#include "CGColorSpace.h"
#include "CGImageToData.h"
#include "DocumentShapes.h"

namespace fs = std::filesystem;

namespace {

using qltest::kBlue;
using qltest::kGreen;
using qltest::kRed;

const std::string kReal = "real";
const std::string kTest = VANTLER_TEST_GENERATOR;

// Killed after a minute, so that a broken deadline fails instead of hanging.
test::CommandResult thumbnailer(const std::vector<std::string>& arguments,
                                const std::string& generator = kTest) {
    std::vector<std::string> argv{"timeout", "-s", "KILL", "60", "env", "-u", "VANTLER_GENERATOR"};
    if (generator != kReal) argv.push_back("VANTLER_GENERATOR=" + generator);
    argv.push_back(VANTLER_THUMBNAILER);
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return test::run(argv);
}

// Opaque noise (so that it does not compress to nothing), its top-left quarter red.
std::vector<uint8_t> noisePNG(size_t width, size_t height) {
    std::vector<uint8_t> pixels(width * height * 3);
    uint32_t state = 12345;
    for (size_t i = 0; i < pixels.size(); ++i) {
        state = state * 1103515245u + 12345u;
        const bool red = i / 3 % width < width / 2 && i / 3 / width < height / 2;
        pixels[i] = red ? (i % 3 ? 0 : 255) : uint8_t(state >> 24);
    }
    return qltest::bytesOf(CGImageConvertToPNGData(CGImageCreate(
        width, height, 8, 24, width * 3, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
        kCGImageAlphaNone, NSData::dataWithVector(std::move(pixels)))));
}

std::vector<uint8_t> documentBytes(const document_shapes::Document& document) {
    return qltest::bytesOf(document_shapes::make(document));
}
const std::vector<uint8_t> kGreenScreen = documentBytes({.screens = {{{375, 667}, {0, 1, 0, 1}}}});

// `arguments` with "IN" and "OUT" standing for `input` and `output`.
std::vector<std::string> commandLine(std::vector<std::string> arguments, const std::string& input,
                                     const std::string& output) {
    for (auto& argument : arguments)
        if (argument == "IN" || argument == "OUT") argument = argument == "IN" ? input : output;
    return arguments;
}

// An embedded picture is shrunk to fit, never enlarged; a drawn one is drawn at the scale that
// fits, enlarged too, its natural size in points. Probes are fractions of the sides.
TEST(Thumbnailer, WritesTheFittedPicture) {
    test::ScratchDirectory scratch;
    const auto folder = scratch.path().string();
    const auto wide = qltest::documentNamed(folder, "bytes-800x400", noisePNG(800, 400));
    qltest::documentNamed(folder, "bytes with space", noisePNG(40, 20));
    const auto uri = folder + "/bytes%20with%20space";
    const auto p3 = qltest::documentNamed(
        folder, "bytes-p3", test::readFile(test::dataDir() / "images/rgb-iccp-p3.png"));
    const auto drawn = qltest::documentNamed(folder, "draw-375x667");
    const auto green = qltest::documentNamed(folder, "green", kGreenScreen);
    const auto wideSize = std::to_string(fs::file_size(wide));
    const struct {
        std::vector<std::string> arguments;
        std::string input, generator;
        size_t width, height;
        std::string naturalWidth, naturalHeight;
        double x, y;
        std::optional<qltest::RGBA> colour;  // none: no probe
    } cases[] = {
        // clang-format off
        {{"-s", "1024", "IN", "OUT"}, wide, kTest, 800, 400, "800", "400", 0.25, 0.25, kRed},
        {{"-s", "100", "IN", "OUT"}, p3, kTest, 5, 3, "5", "3", 0, 0, {}},
        {{"IN", "-s100", "OUT", "--max-file-size", wideSize}, wide, kTest, 100, 50, "800", "400", 0.25, 0.25, kRed},
        {{"--timeout=0", "--max-file-size=1M", "--size=100", "--", "IN", "OUT"}, wide, kTest, 100, 50, "800", "400", 0.25, 0.25, kRed},
        {{"-s", "128", "FILE://LocalHost" + uri, "OUT"}, "", kTest, 40, 20, "40", "20", 0.25, 0.25, kRed},
        {{"-s", "256", "IN", "OUT"}, drawn, kTest, 144, 256, "375", "667", 0, 0.999, kRed},
        {{"-s", "1334", "IN", "OUT"}, drawn, kTest, 750, 1334, "375", "667", 0.5, 0.5, kBlue},
        {{"-s", "256", "IN", "OUT"}, green, kReal, 144, 256, "375", "667", 0.5, 0.5, kGreen},
        // clang-format on
    };
    for (const auto& c : cases) {
        const auto output = scratch.path() / "out.png";
        fs::remove(output);
        const auto arguments = commandLine(c.arguments, c.input, output);
        SCOPED_TRACE(testing::PrintToString(arguments));
        const auto result = thumbnailer(arguments, c.generator);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.standardError + result.standardOutput, "");
        // The natural size in text chunks and an sRGB chunk, all before the pixels.
        const auto png = test::readFile(output);
        EXPECT_EQ(
            png_text::textChunks(png),
            (std::vector<png_text::Chunk>{{"tEXt", "Thumb::Image::Width", c.naturalWidth},
                                          {"tEXt", "Thumb::Image::Height", c.naturalHeight}}));
        std::string types;
        for (size_t i = 8; i + 12 <= png.size(); i += 12 + png_text::bigEndian32(&png[i]))
            types += std::string(reinterpret_cast<const char*>(&png[i + 4]), 4) + " ";
        EXPECT_TRUE(types.starts_with("IHDR sRGB tEXt tEXt IDAT ")) << types;
        const qltest::Pixels pixels(output);
        EXPECT_EQ(pixels.width(), c.width);
        EXPECT_EQ(pixels.height(), c.height);
        if (c.colour) {
            EXPECT_EQ(pixels.at(size_t(c.x * c.width), size_t(c.y * c.height)), *c.colour);
        }
    }
}

// Wrong usage exits 2; a refused or unreadable INPUT exits 1; either way one line on stderr and no
// OUTPUT. A reason ending in "..." is a prefix.
TEST(Thumbnailer, FailuresSayWhyInOneLine) {
    test::ScratchDirectory scratch;
    const auto folder = scratch.path().string();
    const auto small = qltest::documentNamed(folder, "bytes", noisePNG(40, 20));
    const auto size = std::to_string(fs::file_size(small)),
               oneLess = std::to_string(fs::file_size(small) - 1);
    ASSERT_GT(fs::file_size(small), 1024u);
    const auto noFolder = folder + "/missing/out.png";
    const auto doc = [&](const std::string& name, const std::vector<uint8_t>& bytes = {'x'}) {
        return qltest::documentNamed(folder, name, bytes);
    };
    const auto tooBig = [&](const std::string& limit) {
        return "the file has " + size + " bytes, more than the limit of " + limit +
               " (--max-file-size)";
    };
    const std::vector<std::string> usual{"-s", "9", "IN", "OUT"};
    const struct {
        std::string input;  // empty: wrong usage
        std::string reason;
        std::vector<std::string> arguments;
        std::string generator = kTest;
    } cases[] = {
        // clang-format off
        {"", "-s SIZE is required", {}},
        {"", "-s needs a value", {"-s"}},
        {"", "expected INPUT and OUTPUT, got 1 operands", {"-s", "256", "a"}},
        {"", "-s needs a whole number from 1 to 4096, not \"0\"", {"-s", "0", "a", "b"}},
        {"", "unknown option -x", {"-x", "a", "b"}},
        {"", "--timeout needs a number of seconds from 0 to 86400 (0: no deadline), not \"nan\"", {"--timeout", "nan", "-s", "9", "a", "b"}},
        {"", "--max-file-size needs a whole number of bytes, not \"99999999999999999999\"", {"--max-file-size", "99999999999999999999", "-s", "9", "a", "b"}},
        {"", "INPUT and OUTPUT must not be empty", {"-s", "9", "", "b"}},
        {"smb://server/share/bytes", "only local files can be read, not \"smb:\" URIs", usual},
        {"file://server" + small, "the file URI names another host (\"server\")", usual},
        {"file:bytes", "the file URI has no absolute path", usual},
        {"file://" + small + "#top", "the file URI has a query or fragment", usual},
        {"file://" + small + "%2", "the file URI has a malformed percent-encoding", usual},
        {"file://" + small + "%00", "the file URI encodes a NUL character", usual},
        {folder + "/missing", "No such file or directory", usual},
        {folder, "Is a directory", usual},
        {"/dev/null", "not a regular file", usual},
        {small, tooBig(oneLess), {"--max-file-size", oneLess, "-s", "9", "IN", "OUT"}},
        {small, tooBig("1024"), {"--max-file-size=1K", "-s", "9", "IN", "OUT"}},
        {doc("hang"), "timed out after 0.5 s (--timeout)", {"--timeout", "0.5", "-s", "9", "IN", "OUT"}},
        {doc("nothing"), "nothing was drawn", usual},
        {doc("bytes-garbage", {'n', 'o'}), "the document's thumbnail is not a PNG", usual},
        {small, noFolder + ": No such file or directory", {"-s", "9", "IN", noFolder}},
        {doc("refuse"), "...", usual},
        {doc("refuse"), "the generator could not be loaded: ...", usual, folder + "/none.so"},
        {doc("too-new", documentBytes({.screens = {{{100, 100}}}, .formatVersion = 16})), "Document was created with a newer version of Vantler", usual, kReal},
        // clang-format on
    };
    const auto output = (scratch.path() / "out.png").string();
    for (const auto& c : cases) {
        const auto arguments = commandLine(c.arguments, c.input, output);
        SCOPED_TRACE(testing::PrintToString(arguments));
        const auto result = thumbnailer(arguments, c.generator);
        EXPECT_EQ(result.exitStatus, c.input.empty() ? 2 : 1);
        const auto line =
            c.input.empty()
                ? "vantler-thumbnailer: " + c.reason + " (see vantler-thumbnailer --help)\n"
                : "vantler-thumbnailer: " + c.input + ": " + c.reason + "\n";
        EXPECT_TRUE(result.standardError.starts_with(line.substr(0, line.find("...\n"))))
            << result.standardError;
        EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), '\n'), 1);
        EXPECT_FALSE(fs::exists(output));
    }
}

// --help and --version answer on standard output wherever they are on the line, before anything
// else is checked.
TEST(Thumbnailer, AnswersHelpAndVersion) {
    const struct {
        std::vector<std::string> arguments;
        std::string start;
    } cases[] = {
        {{"--help"}, "usage: vantler-thumbnailer [OPTIONS] -s SIZE INPUT OUTPUT\n"},
        {{"-s", "0", "-h"}, "usage: vantler-thumbnailer [OPTIONS] -s SIZE INPUT OUTPUT\n"},
        {{"a", "--version"}, "vantler-thumbnailer " VANTLER_VERSION "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const auto result = thumbnailer(c.arguments, kTest);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_TRUE(result.standardOutput.starts_with(c.start)) << result.standardOutput;
        EXPECT_EQ(result.standardError, "");
    }
}

// A process maps what its path needs: a carried PNG, a drawn screen, a refusal and wrong usage load
// none of the library's modules, nor any library that only a module links; a carried GIF loads the
// image codecs module (libheif with it) and nothing else.
TEST(Thumbnailer, LoadsOnlyWhatItsPathNeeds) {
    test::ScratchDirectory scratch;
    const auto folder = scratch.path().string();
    const auto carried = [&](const std::string& name, const std::string& image) {
        return qltest::documentNamed(
            folder, name,
            documentBytes({.formatVersion = 16,
                           .thumbnail = test::readFile(test::dataDir() / "images" / image)}));
    };
    const std::string codecs = "VantlerImageCodecs.so";
    const struct {
        std::vector<std::string> arguments;
        std::vector<std::string> modules;
    } cases[] = {
        {{"-s", "64", carried("png", "grey-8.png"), "OUT"}, {}},
        {{"-s", "64", carried("gif", "gif-transparent.gif"), "OUT"}, {codecs, "libheif"}},
        {{"-s", "64", qltest::documentNamed(folder, "green", kGreenScreen), "OUT"}, {}},
        {{"-s", "64", qltest::documentNamed(folder, "garbage", {'x'}), "OUT"}, {}},
        {{"-s"}, {}},
    };
    const std::string onDemand[] = {codecs,          "VantlerMedia.so", "VantlerText.so",
                                    "VantlerXML.so", "libavcodec",      "libpango",
                                    "libharfbuzz",   "libheif",         "libxml2"};
    for (const auto& c : cases) {
        const auto arguments = commandLine(c.arguments, "", folder + "/out.png");
        SCOPED_TRACE(testing::PrintToString(arguments));
        std::vector<std::string> argv{"env", "-u", "VANTLER_GENERATOR", "LD_DEBUG=files",
                                      VANTLER_THUMBNAILER};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const auto loaded = test::run(argv).standardError;
        ASSERT_NE(loaded.find("file=libVantler.so"), std::string::npos) << loaded;
        for (const auto& name : onDemand) {
            const bool expected = std::count(c.modules.begin(), c.modules.end(), name) == 1;
            EXPECT_EQ(loaded.find(name) != std::string::npos, expected) << name;
        }
    }
}

}  // namespace

// An installed tree runs wherever it is unpacked: the programs find their libraries and the
// plug-in relative to themselves, never in the build tree.
TEST(ThumbnailerInstall, InstalledTreeRunsFromDestdir) {
    test::ScratchDirectory scratch;
    const fs::path usr = scratch.path() / "usr";
    auto result = test::run({"env", "DESTDIR=" + scratch.path().string(), VANTLER_CMAKE,
                             "--install", VANTLER_BUILD_DIR, "--prefix", "/usr"});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_TRUE(fs::exists(usr / "share/thumbnailers/vantler.thumbnailer"));
    EXPECT_EQ(test::readFile(usr / "share/mime/packages/vantler.xml"),
              test::readFile(test::sourceDir() / "data/vantler-mime.xml"));
    const auto program = (usr / "bin/vantler-thumbnailer").string();
    result = test::run({"readelf", "-d", program});
    EXPECT_EQ(result.standardOutput.find(VANTLER_BUILD_DIR), std::string::npos);
    const auto output = scratch.path() / "thumbnail.png";
    result =
        test::run({"env", "-u", "LD_LIBRARY_PATH", "-u", "VANTLER_GENERATOR", program, "-s", "128",
                   (test::sourceDir() / "examples/sign-in.vantler").string(), output.string()});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_TRUE(fs::exists(output));
}
