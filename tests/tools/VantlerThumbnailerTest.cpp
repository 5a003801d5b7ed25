// vantler-thumbnailer run as file managers run it ("vantler-thumbnailer -s %s %u %o"): tables of
// command lines with the picture or the exit status and stderr line expected; GNOME's sandbox; the
// desktop files and the installed tree. Most cases use the test generator (tests/plugins: "bytes"
// hands the file's bytes over, "draw-WxH" draws, "hang" never returns...); those named
// "real" use the Vantler generator on documents written as the design tool writes them.

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <tuple>

#include "../platform/ImageIO/PNGTextChunks.h"
#include "../platform/QuickLook/QLTestSupport.h"
#include "CGColorSpace.h"
#include "CGImageToData.h"
#include "DocumentShapes.h"

namespace fs = std::filesystem;

namespace {

using document_shapes::Document;
using qltest::kBlue;
using qltest::kGreen;
using qltest::kRed;

const std::string kReal = "real";  // the generator the program finds itself
const std::string kTest = VANTLER_TEST_GENERATOR;

// The program under env(1) with `environment` ("-u NAME" options first, then NAME=VALUE) and the
// generator; killed after a minute, so that a broken deadline fails instead of hanging.
test::CommandResult thumbnailer(const std::vector<std::string>& arguments,
                                const std::string& generator = kTest,
                                std::vector<std::string> environment = {}) {
    std::vector<std::string> argv{"timeout", "-s", "KILL", "60", "env", "-u", "VANTLER_GENERATOR"};
    if (generator != kReal) environment.push_back("VANTLER_GENERATOR=" + generator);
    argv.insert(argv.end(), environment.begin(), environment.end());
    argv.push_back(VANTLER_THUMBNAILER);
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return test::run(argv);
}

// An opaque PNG of noise (so that it does not compress to nothing), its top-left quarter red.
std::vector<uint8_t> noisePNG(size_t width, size_t height) {
    std::vector<uint8_t> pixels(width * height * 3);
    uint32_t state = 12345;
    for (size_t i = 0; i < width * height; ++i) {
        state = state * 1103515245u + 12345u;
        const bool red = i % width < width / 2 && i / width < height / 2;
        pixels[i * 3] = red ? 255 : uint8_t(state >> 24);
        pixels[i * 3 + 1] = red ? 0 : uint8_t(state >> 16);
        pixels[i * 3 + 2] = red ? 0 : uint8_t(state >> 8);
    }
    return qltest::bytesOf(CGImageConvertToPNGData(CGImageCreate(
        width, height, 8, 24, width * 3, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
        kCGImageAlphaNone, NSData::dataWithVector(std::move(pixels)))));
}

// A document carrying `png` as its thumbnail and no root: handed over without loading the model.
std::vector<uint8_t> documentWithThumbnail(const std::vector<uint8_t>& png) {
    return qltest::bytesOf(
        document_shapes::make({.root = std::shared_ptr<const NSObject>(), .thumbnail = png}));
}
std::vector<uint8_t> greenScreenDocument() {
    return qltest::bytesOf(document_shapes::make({.screens = {{{375, 667}, {0, 1, 0, 1}}}}));
}

// `arguments` with "IN" and "OUT" standing for `input` and `output`.
std::vector<std::string> commandLine(std::vector<std::string> arguments, const std::string& input,
                                     const std::string& output) {
    for (auto& argument : arguments)
        if (argument == "IN" || argument == "OUT") argument = argument == "IN" ? input : output;
    return arguments;
}

// The PNG written at `path`: its size, text entries, and sRGB chunk but no ICC profile, with the
// text before the pixels.
void expectThumbnail(const fs::path& path, size_t width, size_t height, const std::string& naturalW,
                     const std::string& naturalH) {
    const auto png = test::readFile(path);
    EXPECT_EQ(png_text::textChunks(png),
              (std::vector<png_text::Chunk>{{"tEXt", "Thumb::Image::Width", naturalW},
                                            {"tEXt", "Thumb::Image::Height", naturalH}}));
    std::string types;
    for (size_t i = 8; i + 12 <= png.size(); i += 12 + png_text::bigEndian32(&png[i]))
        types += std::string(reinterpret_cast<const char*>(&png[i + 4]), 4) + " ";
    EXPECT_TRUE(types.starts_with("IHDR sRGB tEXt tEXt IDAT ")) << types;
    EXPECT_EQ(types.find("iCCP"), std::string::npos) << types;
    const qltest::Pixels pixels(path);
    EXPECT_EQ(pixels.width(), width);
    EXPECT_EQ(pixels.height(), height);
}

TEST(Thumbnailer, WritesTheFittedPicture) {
    test::ScratchDirectory scratch;
    const auto folder = scratch.path().string();
    const auto wide = qltest::documentNamed(folder, "bytes-800x400", noisePNG(800, 400));
    qltest::documentNamed(folder, "bytes with space", noisePNG(40, 20));
    const auto uri = folder + "/bytes%20with%20space";
    // A Display P3 profile (tests/data/images/make.sh): written in sRGB.
    const auto p3 = qltest::documentNamed(
        folder, "bytes-p3", test::readFile(test::dataDir() / "images/rgb-iccp-p3.png"));
    const auto drawn = qltest::documentNamed(folder, "draw-375x667");
    const auto embedded =
        qltest::documentNamed(folder, "embedded", documentWithThumbnail(noisePNG(800, 400)));
    const auto green = qltest::documentNamed(folder, "green", greenScreenDocument());
    const auto wideSize = std::to_string(fs::file_size(wide));
    using Probes = std::vector<std::tuple<double, double, qltest::RGBA>>;  // fractions of the sides
    const Probes redQuarter{{0.25, 0.25, kRed}}, drawnProbes{{0.5, 0.5, kBlue}, {0, 0.999, kRed}};
    const struct {
        std::vector<std::string> arguments;
        std::string input, generator;
        size_t width, height;
        std::string naturalWidth, naturalHeight;
        Probes probes;
    } cases[] = {
        // An embedded picture is shrunk to fit, never enlarged.
        {{"-s", "256", "IN", "OUT"}, wide, kTest, 256, 128, "800", "400", redQuarter},
        {{"-s", "1024", "IN", "OUT"}, wide, kTest, 800, 400, "800", "400", redQuarter},
        {{"-s", "800", "IN", "OUT"}, wide, kTest, 800, 400, "800", "400", redQuarter},
        {{"-s", "1", "IN", "OUT"}, wide, kTest, 1, 1, "800", "400", {}},
        {{"-s", "100", "IN", "OUT"}, p3, kTest, 5, 3, "5", "3", {}},
        // Option forms, operand order, and the file-size limit met exactly or in units of 1024.
        {{"-s100", "IN", "OUT"}, wide, kTest, 100, 50, "800", "400", redQuarter},
        {{"--size=100", "IN", "OUT"}, wide, kTest, 100, 50, "800", "400", redQuarter},
        {{"IN", "--size", "100", "OUT"}, wide, kTest, 100, 50, "800", "400", redQuarter},
        {{"IN", "OUT", "-s", "100", "--max-file-size", wideSize},
         wide,
         kTest,
         100,
         50,
         "800",
         "400",
         {}},
        {{"--timeout=0", "--max-file-size=1M", "-s", "100", "--", "IN", "OUT"},
         wide,
         kTest,
         100,
         50,
         "800",
         "400",
         {}},
        // File URIs, percent-encoded.
        {{"-s", "128", "file://" + uri, "OUT"}, "", kTest, 40, 20, "40", "20", redQuarter},
        {{"-s", "128", "file://localhost" + uri, "OUT"}, "", kTest, 40, 20, "40", "20", {}},
        {{"-s", "128", "FILE://LocalHost" + uri, "OUT"}, "", kTest, 40, 20, "40", "20", {}},
        {{"-s", "128", "file:" + uri, "OUT"}, "", kTest, 40, 20, "40", "20", {}},
        // A drawn picture is drawn at the scale that fits, enlarged too; its natural size in
        // points.
        {{"-s", "256", "IN", "OUT"}, drawn, kTest, 144, 256, "375", "667", drawnProbes},
        {{"-s", "128", "IN", "OUT"}, drawn, kTest, 72, 128, "375", "667", drawnProbes},
        {{"-s", "1334", "IN", "OUT"}, drawn, kTest, 750, 1334, "375", "667", drawnProbes},
        {{"-s", "256", "IN", "OUT"}, embedded, kReal, 256, 128, "800", "400", redQuarter},
        {{"-s", "1024", "IN", "OUT"}, embedded, kReal, 800, 400, "800", "400", redQuarter},
        {{"-s", "256", "IN", "OUT"}, green, kReal, 144, 256, "375", "667", {{0.5, 0.5, kGreen}}},
    };
    for (const auto& c : cases) {
        const auto output = scratch.path() / "out.png";
        fs::remove(output);
        const auto arguments = commandLine(c.arguments, c.input, output);
        SCOPED_TRACE(testing::PrintToString(arguments));
        const auto result = thumbnailer(arguments, c.generator);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.standardError + result.standardOutput, "");
        expectThumbnail(output, c.width, c.height, c.naturalWidth, c.naturalHeight);
        const qltest::Pixels pixels(output);
        for (const auto& [x, y, colour] : c.probes)
            EXPECT_EQ(pixels.at(size_t(x * c.width), size_t(y * c.height)), colour)
                << x << ", " << y;
    }
}

std::string usageLine(const std::string& message) {
    return "vantler-thumbnailer: " + message + " (see vantler-thumbnailer --help)\n";
}

// Wrong usage exits 2; a refused or unreadable INPUT exits 1; either way one line on stderr and no
// OUTPUT.
TEST(Thumbnailer, FailuresSayWhyInOneLine) {
    test::ScratchDirectory scratch;
    const auto folder = scratch.path().string();
    const auto small = qltest::documentNamed(folder, "bytes", noisePNG(40, 20));
    const auto size = std::to_string(fs::file_size(small));
    const auto oneLess = std::to_string(fs::file_size(small) - 1);
    ASSERT_GT(fs::file_size(small), 1024u);
    const auto refused = qltest::documentNamed(folder, "refuse");
    const auto noFolder = folder + "/missing/out.png";
    const auto real = [&](const std::string& name, const Document& document) {
        return qltest::documentNamed(folder, name,
                                     qltest::bytesOf(document_shapes::make(document)));
    };
    const auto sizeSays = [](const std::string& bytes, const std::string& limit) {
        return "the file has " + bytes + " bytes, more than the limit of " + limit +
               " (--max-file-size)";
    };
    const std::string malformed = "the file URI has a malformed percent-encoding",
                      timeout = "--timeout must be a number of seconds from 0 to 86400, not ";
    const std::vector<std::string> usual{"-s", "9", "IN", "OUT"};
    const struct {
        std::string input;  // empty: wrong usage
        std::string reason;
        std::vector<std::string> arguments;
        std::string generator = kTest;
        bool reasonIsPrefix = false;
    } cases[] = {
        {"", "-s SIZE is required", {}},
        {"", "-s needs a value", {"-s"}},
        {"", "expected INPUT and OUTPUT, got 1 operands", {"-s", "256", "a"}},
        {"", "SIZE must be a whole number from 1 to 4096, not \"0\"", {"-s", "0", "a", "b"}},
        {"", "SIZE must be a whole number from 1 to 4096, not \"12px\"", {"-s", "12px", "a", "b"}},
        {"", "unknown option -x", {"-x", "a", "b"}},
        {"", timeout + "\"-1\"", {"--timeout", "-1", "-s", "9", "a", "b"}},
        {"", timeout + "\"nan\"", {"--timeout", "nan", "-s", "9", "a", "b"}},
        {"",
         "--max-file-size must be a whole number of bytes, not \"1T\"",
         {"--max-file-size", "1T", "-s", "9", "a", "b"}},
        {"",
         "--max-file-size must be a whole number of bytes, not \"99999999999999999999\"",
         {"--max-file-size", "99999999999999999999", "-s", "9", "a", "b"}},
        {"", "INPUT and OUTPUT must not be empty", {"-s", "9", "", "b"}},
        {"smb://server/share/bytes", "only local files can be read, not \"smb:\" URIs", usual},
        {"file://server" + small, "the file URI names another host (\"server\")", usual},
        {"file:bytes", "the file URI has no absolute path", usual},
        {"file://" + small + "?x=1", "the file URI has a query or fragment", usual},
        {"file://" + small + "#top", "the file URI has a query or fragment", usual},
        {"file://" + small + "%2", malformed, usual},
        {"file://" + small + "%zz", malformed, usual},
        {"file://" + small + "%00", "the file URI encodes a NUL character", usual},
        {folder + "/missing", "No such file or directory", usual},
        {folder, "not a regular file", usual},
        {small, sizeSays(size, oneLess), {"--max-file-size", oneLess, "-s", "9", "IN", "OUT"}},
        {small, sizeSays(size, "1024"), {"--max-file-size=1K", "-s", "9", "IN", "OUT"}},
        {qltest::documentNamed(folder, "hang"),
         "timed out after 0.5 s (--timeout)",
         {"--timeout", "0.5", "-s", "9", "IN", "OUT"}},
        {qltest::documentNamed(folder, "nothing"), "nothing was drawn", usual},
        {qltest::documentNamed(folder, "bytes-garbage", {'n', 'o', 'p', 'e'}),
         "the embedded thumbnail could not be decoded", usual},
        {small, noFolder + ": No such file or directory", {"-s", "9", "IN", noFolder}},
        // The loader's reason, whatever the generator; a generator that is not there.
        {refused, "", usual, kTest, true},
        {refused, "the generator could not be loaded: ", usual, folder + "/none.so", true},
        {qltest::documentNamed(folder, "empty", {}), "File has no data", usual, kReal},
        {qltest::documentNamed(folder, "garbage", {'g', 'a', 'r', 'b', 'a', 'g', 'e'}),
         "data is not a property list (neither binary nor XML)", usual, kReal},
        {real("too-new", {.screens = {{{100, 100}}}, .formatVersion = 16}),
         "Document was created with a newer version of Vantler", usual, kReal},
        {real("no-root", {.root = std::shared_ptr<const NSObject>()}), "File Cannot be read", usual,
         kReal},
        {real("no-screens", {}), "the document has no screens", usual, kReal},
    };
    const auto output = (scratch.path() / "out.png").string();
    for (const auto& c : cases) {
        const auto arguments = commandLine(c.arguments, c.input, output);
        SCOPED_TRACE(testing::PrintToString(arguments));
        const auto result = thumbnailer(arguments, c.generator);
        EXPECT_EQ(result.exitStatus, c.input.empty() ? 2 : 1);
        const auto line = c.input.empty()
                              ? usageLine(c.reason)
                              : "vantler-thumbnailer: " + c.input + ": " + c.reason + "\n";
        if (c.reasonIsPrefix) {
            EXPECT_TRUE(result.standardError.starts_with(line.substr(0, line.size() - 1)))
                << result.standardError;
            EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), '\n'),
                      1);
        } else {
            EXPECT_EQ(result.standardError, line);
        }
        EXPECT_FALSE(fs::exists(output));
    }
    // A generator that crashes takes the program with it: no exit status, no file.
    const auto crash = thumbnailer({"-s", "9", qltest::documentNamed(folder, "crash"), output});
    EXPECT_EQ(crash.exitStatus, -1);
    EXPECT_FALSE(fs::exists(output));
    // A file-size limit of 1 KiB (ulimit -f) stops the write part way: the partial file is removed.
    std::string shell = "ulimit -f 1 && exec";
    for (const auto& argument : std::vector<std::string>{
             "env", "VANTLER_GENERATOR=" + kTest, VANTLER_THUMBNAILER, "-s", "256",
             qltest::documentNamed(folder, "bytes-big", noisePNG(800, 400)), output})
        shell += " '" + argument + "'";
    const auto limited = test::run({"sh", "-c", shell});
    EXPECT_EQ(limited.exitStatus, 1);
    EXPECT_TRUE(limited.standardError.ends_with(output + ": File too large\n"))
        << limited.standardError;
    EXPECT_FALSE(fs::exists(output));
}

TEST(Thumbnailer, HelpTellsTheTruth) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--help"}, {"-h"}, {"-s", "256", "a", "b", "--help"}}) {
        const auto result = thumbnailer(arguments);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.standardError, "");
        EXPECT_TRUE(result.standardOutput.starts_with(
            "usage: vantler-thumbnailer [OPTIONS] -s SIZE INPUT OUTPUT\n"));
        for (const char* mention :
             {"file://", "--max-file-size BYTES", "default 256M", "--timeout SECONDS", "default 10",
              "1 to 4096", "Thumb::Image::Width", "VANTLER_GENERATOR", "Exit status: 0"})
            EXPECT_NE(result.standardOutput.find(mention), std::string::npos) << mention;
    }
}

// GNOME's sandbox: a read-only copy under another name, no $HOME, no fonts configuration, a
// temporary folder that is read-only or watched, another locale. The picture is the same as
// outside it, and nothing is written but OUTPUT.
TEST(ThumbnailerSandbox, SamePictureAndNothingElseWritten) {
    test::ScratchDirectory scratch;
    const fs::path documents = scratch.path() / "documents", outputs = scratch.path() / "outputs",
                   readOnlyTemporary = scratch.path() / "read-only-tmp",
                   watchedTemporary = scratch.path() / "watched-tmp";
    for (const auto& folder : {documents, readOnlyTemporary, watchedTemporary, outputs})
        fs::create_directory(folder);
    const std::tuple<std::string, std::vector<uint8_t>, std::string> inputs[] = {
        {"bytes-gnome-desktop-file-to-thumbnail", noisePNG(300, 200), kTest},
        {"draw-375x667-gnome-desktop-file-to-thumbnail", {'x'}, kTest},
        {"gnome-desktop-file-to-thumbnail.embedded", documentWithThumbnail(noisePNG(300, 200)),
         kReal},
        {"gnome-desktop-file-to-thumbnail.drawn", greenScreenDocument(), kReal},
    };
    for (const auto& [name, bytes, generator] : inputs) {
        test::writeFile(documents / name, bytes);
        fs::permissions(documents / name,
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    }
    fs::permissions(documents, fs::perms::owner_read | fs::perms::owner_exec);
    fs::permissions(readOnlyTemporary, fs::perms::owner_read | fs::perms::owner_exec);
    const auto output = (outputs / "thumbnail.png").string();
    for (const auto& [name, bytes, generator] : inputs) {
        const std::vector<std::string> arguments{"-s", "256", (documents / name).string(), output};
        ASSERT_EQ(thumbnailer(arguments, generator, {"LC_ALL=C"}).exitStatus, 0) << name;
        const auto outside = test::readFile(output);
        for (const auto& temporary : {readOnlyTemporary, watchedTemporary}) {
            SCOPED_TRACE(name + " with TMPDIR " + temporary.string());
            fs::remove(output);
            const auto result =
                thumbnailer(arguments, generator,
                            {"-u", "HOME", "-u", "XDG_CACHE_HOME", "-u", "XDG_CONFIG_HOME",
                             "LC_ALL=C.UTF-8", "FONTCONFIG_FILE=/nonexistent",
                             "FONTCONFIG_PATH=/nonexistent", "TMPDIR=" + temporary.string()});
            EXPECT_EQ(result.exitStatus, 0);
            EXPECT_EQ(result.standardError, "");
            EXPECT_EQ(test::readFile(output), outside);
            EXPECT_EQ(std::distance(fs::directory_iterator(outputs), {}), 1);
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(watchedTemporary), {}), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(documents), {}),
              std::ptrdiff_t(std::size(inputs)));
    fs::permissions(documents, fs::perms::owner_all);
    fs::permissions(readOnlyTemporary, fs::perms::owner_all);
}

// File managers find the thumbnailer by its entry and documents by the glob alone: binary property
// lists in general are not Vantler documents, so the type has no magic.
TEST(ThumbnailerDesktopFiles, EntryAndMimeType) {
    EXPECT_EQ(qltest::textOf(test::readFile(test::sourceDir() / "data/vantler.thumbnailer")),
              "[Thumbnailer Entry]\n"
              "TryExec=vantler-thumbnailer\n"
              "Exec=vantler-thumbnailer -s %s %u %o\n"
              "MimeType=application/x-vantler;\n");
    test::ScratchDirectory scratch;
    const fs::path mime = scratch.path() / "mime";
    fs::create_directories(mime / "packages");
    fs::copy_file(test::sourceDir() / "data/vantler-mime.xml", mime / "packages/vantler.xml");
    const auto result = test::run({"update-mime-database", mime.string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const auto read = [&](const char* name) { return qltest::textOf(test::readFile(mime / name)); };
    EXPECT_NE(read("globs2").find("50:application/x-vantler:*.vantler\n"), std::string::npos);
    EXPECT_EQ(read("magic").find("application/x-vantler"), std::string::npos);
    EXPECT_NE(read("application/x-vantler.xml").find("<comment>Vantler document</comment>"),
              std::string::npos);
    EXPECT_NE(read("generic-icons").find("application/x-vantler:"), std::string::npos);
}

// Installed into a DESTDIR, the program finds its libraries and the generator beside itself,
// never in the build tree.
TEST(ThumbnailerInstall, InstalledTreeRunsFromDestdir) {
    test::ScratchDirectory scratch;
    const fs::path destdir = scratch.path() / "destdir", usr = destdir / "usr";
    auto result = test::run({"env", "DESTDIR=" + destdir.string(), VANTLER_CMAKE, "--install",
                             VANTLER_BUILD_DIR, "--prefix", "/usr"});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    for (const char* file :
         {"bin/vantler-thumbnailer", "bin/vantler-ql", "share/thumbnailers/vantler.thumbnailer",
          "lib/vantler/VantlerQuickLook.so", "lib/vantler/libVantlerQuickLookHost.so"})
        EXPECT_TRUE(fs::exists(usr / file)) << file;
    EXPECT_EQ(test::readFile(usr / "share/mime/packages/vantler.xml"),
              test::readFile(test::sourceDir() / "data/vantler-mime.xml"));
    const auto program = (usr / "bin/vantler-thumbnailer").string();
    result = test::run({"readelf", "-d", program});
    EXPECT_NE(result.standardOutput.find("[$ORIGIN/../lib/vantler:$ORIGIN]"), std::string::npos);
    EXPECT_EQ(result.standardOutput.find(VANTLER_BUILD_DIR), std::string::npos);
    result = test::run({"env", "-u", "LD_LIBRARY_PATH", "ldd", program});
    std::istringstream lines(result.standardOutput);
    int vantlerLibraries = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("libVantler") == std::string::npos) continue;
        ++vantlerLibraries;
        EXPECT_NE(line.find("=> " + (usr / "bin/../lib/vantler").string()), std::string::npos)
            << line;
    }
    EXPECT_GT(vantlerLibraries, 0);
    const auto input = qltest::documentNamed(scratch.path(), "embedded",
                                             documentWithThumbnail(noisePNG(800, 400)));
    const auto output = scratch.path() / "out.png";
    result = test::run({"env", "-u", "LD_LIBRARY_PATH", "-u", "VANTLER_GENERATOR", program, "-s",
                        "256", input, output.string()});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(qltest::Pixels(output).width(), 256u);
}

}  // namespace
