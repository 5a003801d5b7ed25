// vantler-thumbnailer run as file managers run it (`vantler-thumbnailer -s %s %u %o`): INPUT as a
// path or a file URI, the picture fitted into SIZE × SIZE, the PNG's sRGB chunk and its
// Thumb::Image text entries, exit statuses and the one line on stderr, its own limits (file size,
// deadline), GNOME's sandbox as far as a test can make it; the desktop files in data/ and the
// installed tree. Most cases use the host's test generator (tests/plugins: what it does follows
// the start of the file name: "bytes" hands the file's bytes over, "draw-WxH" draws, "hang" never
// returns...); the cases with real documents use the real generator plug-in.

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../platform/ImageIO/PNGTextChunks.h"
#include "CGColorSpace.h"
#include "CGContext.h"
#include "CGImage.h"
#include "CGImageSource.h"
#include "CGImageToData.h"
#include "DocumentShapes.h"
#include "NSData.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

const std::string kThumbnailer = VANTLER_THUMBNAILER;

// The program with the test generator, or with the generator it finds itself (the real one, in
// ../lib/vantler/ beside its folder), under env(1) with `environment`: its "-u NAME" options first,
// then its NAME=VALUE settings. A stuck program is killed after a minute, so that a broken
// deadline fails the test instead of hanging it.
std::vector<std::string> command(const std::vector<std::string>& environment,
                                 const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"timeout", "-s", "KILL", "60", "env", "-u", "VANTLER_GENERATOR"};
    argv.insert(argv.end(), environment.begin(), environment.end());
    argv.push_back(kThumbnailer);
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return argv;
}
test::CommandResult withTestGenerator(const std::vector<std::string>& arguments,
                                      const std::vector<std::string>& environment = {}) {
    std::vector<std::string> env = environment;
    env.push_back(std::string("VANTLER_GENERATOR=") + VANTLER_TEST_GENERATOR);
    return test::run(command(env, arguments));
}
test::CommandResult withRealGenerator(const std::vector<std::string>& arguments,
                                      const std::vector<std::string>& environment = {}) {
    return test::run(command(environment, arguments));
}

std::vector<uint8_t> bytesOf(const std::shared_ptr<const NSData>& data) {
    return std::vector<uint8_t>(data->span().begin(), data->span().end());
}

// An opaque PNG of width × height: noise (so that it does not compress to nothing), with a red
// top-left quarter for probes.
std::vector<uint8_t> pngOf(size_t width, size_t height) {
    std::vector<uint8_t> pixels(width * height * 3);
    uint32_t state = 12345;
    for (size_t y = 0; y < height; ++y)
        for (size_t x = 0; x < width; ++x) {
            uint8_t* p = &pixels[(y * width + x) * 3];
            state = state * 1103515245u + 12345u;
            const bool red = x < width / 2 && y < height / 2;
            p[0] = red ? 255 : uint8_t(state >> 24);
            p[1] = red ? 0 : uint8_t(state >> 16);
            p[2] = red ? 0 : uint8_t(state >> 8);
        }
    const CGImageRef image = CGImageCreate(
        width, height, 8, 24, width * 3, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
        kCGImageAlphaNone, NSData::dataWithVector(std::move(pixels)));
    return bytesOf(CGImageConvertToPNGData(image));
}

// A Vantler document whose embedded thumbnail is `png` (format version 15, no root object: the
// generator hands the bytes over without decoding the model, Part 1.1 step 4).
std::vector<uint8_t> documentWithThumbnail(const std::vector<uint8_t>& png) {
    document_shapes::Document document;
    document.thumbnail = png;
    document.root = std::shared_ptr<const NSObject>();
    return bytesOf(document_shapes::make(document));
}

// A Vantler document of one screen, drawn by the generator (its background colour).
std::vector<uint8_t> drawnDocument(CGSize size, std::array<double, 4> rgba) {
    document_shapes::Document document;
    document.screens.push_back({size, rgba});
    return bytesOf(document_shapes::make(document));
}

std::string write(const test::ScratchDirectory& scratch, const std::string& name,
                  const std::vector<uint8_t>& bytes) {
    const auto path = scratch.path() / name;
    test::writeFile(path, bytes);
    return path.string();
}

// What the thumbnailer wrote.
struct Thumbnail {
    size_t width = 0, height = 0;
    std::vector<uint8_t> rgba;  // sRGB, premultiplied, rows from the top
    std::map<std::string, std::string> text;
    std::vector<std::string> chunkTypes;

    // R G B A at (x, y); -1s outside the picture (or when nothing was read).
    std::array<int, 4> pixel(size_t x, size_t y) const {
        if (x >= width || y >= height) return {-1, -1, -1, -1};
        const uint8_t* p = &rgba[(y * width + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
};

std::vector<std::string> chunkTypesOf(const std::vector<uint8_t>& png) {
    std::vector<std::string> types;
    for (size_t i = 8; i + 12 <= png.size();) {
        const size_t length = png_text::bigEndian32(&png[i]);
        types.emplace_back(reinterpret_cast<const char*>(&png[i + 4]), 4);
        i += 12 + length;
    }
    return types;
}

// The file at `path` read as a PNG; a failed expectation when it is not one.
Thumbnail readThumbnail(const std::string& path) {
    Thumbnail thumbnail;
    EXPECT_TRUE(fs::exists(path)) << path;
    if (!fs::exists(path)) return thumbnail;
    const auto png = test::readFile(path);
    const auto chunks = png_text::textChunks(png);
    EXPECT_TRUE(chunks.has_value()) << "not a well-formed PNG";
    if (chunks)
        for (const auto& chunk : *chunks) thumbnail.text[chunk.keyword] = chunk.text;
    thumbnail.chunkTypes = chunkTypesOf(png);
    const CGImageRef image = CGImageSourceCreateImageAtIndex(
        CGImageSourceCreateWithData(NSData::dataWithBytes_length(png.data(), png.size()), nullptr),
        0, nullptr);
    EXPECT_NE(image, nullptr) << "the PNG does not decode";
    if (!image) return thumbnail;
    thumbnail.width = CGImageGetWidth(image);
    thumbnail.height = CGImageGetHeight(image);
    thumbnail.rgba.resize(thumbnail.width * thumbnail.height * 4);
    const CGContextRef context = CGBitmapContextCreate(
        thumbnail.rgba.data(), thumbnail.width, thumbnail.height, 8, thumbnail.width * 4,
        CGColorSpaceCreateWithName(kCGColorSpaceSRGB), kCGImageAlphaPremultipliedLast);
    CGContextDrawImage(
        context, CGRect{{0, 0}, {CGFloat(thumbnail.width), CGFloat(thumbnail.height)}}, image);
    return thumbnail;
}

bool hasType(const Thumbnail& thumbnail, const std::string& type) {
    return std::find(thumbnail.chunkTypes.begin(), thumbnail.chunkTypes.end(), type) !=
           thumbnail.chunkTypes.end();
}

// The line a failure prints.
std::string failureLine(const std::string& input, const std::string& reason) {
    return "vantler-thumbnailer: " + input + ": " + reason + "\n";
}

}  // namespace

// ---- INPUT: a path or a file URI

TEST(Part1_1_Thumbnailer, PlainPath) {
    test::ScratchDirectory scratch;
    const auto input = write(scratch, "bytes-800x400.vantler", pngOf(800, 400));
    const auto output = (scratch.path() / "out.png").string();
    const auto result = withTestGenerator({"-s", "256", input, output});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(result.standardOutput, "");
    const auto thumbnail = readThumbnail(output);
    EXPECT_EQ(thumbnail.width, 256u);
    EXPECT_EQ(thumbnail.height, 128u);
}

TEST(Part1_1_Thumbnailer, FileURIWithPercentEncoding) {
    test::ScratchDirectory scratch;
    write(scratch, "bytes with space.vantler", pngOf(40, 20));
    const std::string encoded = "bytes%20with%20space.vantler";
    const std::string folder = scratch.path().string();
    for (const std::string& uri :
         {"file://" + folder + "/" + encoded, "file://localhost" + folder + "/" + encoded,
          "FILE://LocalHost" + folder + "/" + encoded, "file:" + folder + "/" + encoded}) {
        SCOPED_TRACE(uri);
        const auto output = (scratch.path() / "out.png").string();
        fs::remove(output);
        const auto result = withTestGenerator({"-s", "128", uri, output});
        EXPECT_EQ(result.exitStatus, 0) << result.standardError;
        EXPECT_EQ(readThumbnail(output).width, 40u);
    }
}

TEST(Part1_1_Thumbnailer, OtherSchemesAndMalformedURIsAreRefused) {
    test::ScratchDirectory scratch;
    write(scratch, "bytes.vantler", pngOf(40, 20));
    const std::string folder = scratch.path().string();
    const std::vector<std::pair<std::string, std::string>> cases{
        {"smb://server/share/bytes.vantler", "only local files can be read, not \"smb:\" URIs"},
        {"sftp://host" + folder + "/bytes.vantler",
         "only local files can be read, not \"sftp:\" URIs"},
        {"http://example.com/bytes.vantler", "only local files can be read, not \"http:\" URIs"},
        {"trash:///bytes.vantler", "only local files can be read, not \"trash:\" URIs"},
        {"file://server" + folder + "/bytes.vantler",
         "the file URI names another host (\"server\")"},
        {"file:bytes.vantler", "the file URI has no absolute path"},
        {"file://" + folder + "/bytes.vantler?x=1", "the file URI has a query or fragment"},
        {"file://" + folder + "/bytes.vantler#top", "the file URI has a query or fragment"},
        {"file://" + folder + "/bytes%2.vantler", "the file URI has a malformed percent-encoding"},
        {"file://" + folder + "/bytes%zz.vantler", "the file URI has a malformed percent-encoding"},
        {"file://" + folder + "/bytes.vantler%", "the file URI has a malformed percent-encoding"},
        {"file://" + folder + "/bytes%00.vantler", "the file URI encodes a NUL character"},
    };
    for (const auto& [uri, reason] : cases) {
        SCOPED_TRACE(uri);
        const auto output = (scratch.path() / "out.png").string();
        const auto result = withTestGenerator({"-s", "128", uri, output});
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.standardError, failureLine(uri, reason));
        EXPECT_FALSE(fs::exists(output));
    }
}

// ---- SIZE: fitting, and the document's natural size in the text entries

TEST(Part1_1_Thumbnailer, EmbeddedImageIsShrunkNeverEnlarged) {
    test::ScratchDirectory scratch;
    const auto input = write(scratch, "bytes-800x400.vantler", pngOf(800, 400));
    const std::map<std::string, std::string> natural{{"Thumb::Image::Width", "800"},
                                                     {"Thumb::Image::Height", "400"}};
    struct Case {
        const char* size;
        size_t width, height;
    };
    for (const Case& c : {Case{"256", 256, 128}, Case{"1024", 800, 400}, Case{"800", 800, 400},
                          Case{"100", 100, 50}, Case{"1", 1, 1}}) {
        SCOPED_TRACE(c.size);
        const auto output = (scratch.path() / "out.png").string();
        const auto result = withTestGenerator({"-s", c.size, input, output});
        EXPECT_EQ(result.exitStatus, 0) << result.standardError;
        const auto thumbnail = readThumbnail(output);
        EXPECT_EQ(thumbnail.width, c.width);
        EXPECT_EQ(thumbnail.height, c.height);
        EXPECT_EQ(thumbnail.text, natural);
        EXPECT_TRUE(hasType(thumbnail, "sRGB"));
        // The red top-left quarter, probed in its middle.
        if (c.width >= 4) {
            EXPECT_EQ(thumbnail.pixel(c.width / 4, c.height / 4),
                      (std::array<int, 4>{255, 0, 0, 255}));
        }
    }
}

TEST(Part1_1_Thumbnailer, EmbeddedImageInAnotherSpaceIsWrittenInSRGB) {
    test::ScratchDirectory scratch;
    // 5 × 3 pixels with a Display P3 profile (tests/data/images/make.sh).
    const auto input = write(scratch, "bytes-p3.vantler",
                             test::readFile(test::dataDir() / "images/rgb-iccp-p3.png"));
    const auto output = (scratch.path() / "out.png").string();
    const auto result = withTestGenerator({"-s", "256", input, output});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    const auto thumbnail = readThumbnail(output);
    EXPECT_EQ(thumbnail.width, 5u);
    EXPECT_EQ(thumbnail.height, 3u);
    EXPECT_TRUE(hasType(thumbnail, "sRGB"));
    EXPECT_FALSE(hasType(thumbnail, "iCCP"));
    EXPECT_EQ(thumbnail.text, (std::map<std::string, std::string>{{"Thumb::Image::Width", "5"},
                                                                  {"Thumb::Image::Height", "3"}}));
}

TEST(Part1_1_Thumbnailer, DrawnPictureIsDrawnAtTheFittingScale) {
    test::ScratchDirectory scratch;
    // The test generator: a 375 × 667 point context, blue, red at (0, 0, 10, 10) (lower left).
    const auto input = write(scratch, "draw-375x667.vantler", {'x'});
    const std::map<std::string, std::string> natural{{"Thumb::Image::Width", "375"},
                                                     {"Thumb::Image::Height", "667"}};
    struct Case {
        const char* size;
        size_t width, height;
    };
    // 375 × 256 / 667 = 143.9 → 144; 375 × 1334 / 667 = 750 (drawn pictures are enlarged).
    for (const Case& c : {Case{"256", 144, 256}, Case{"128", 72, 128}, Case{"1334", 750, 1334}}) {
        SCOPED_TRACE(c.size);
        const auto output = (scratch.path() / "out.png").string();
        const auto result = withTestGenerator({"-s", c.size, input, output});
        EXPECT_EQ(result.exitStatus, 0) << result.standardError;
        const auto thumbnail = readThumbnail(output);
        EXPECT_EQ(thumbnail.width, c.width);
        EXPECT_EQ(thumbnail.height, c.height);
        EXPECT_EQ(thumbnail.text, natural);
        EXPECT_TRUE(hasType(thumbnail, "sRGB"));
        EXPECT_EQ(thumbnail.pixel(c.width / 2, c.height / 2), (std::array<int, 4>{0, 0, 255, 255}));
        EXPECT_EQ(thumbnail.pixel(0, c.height - 1), (std::array<int, 4>{255, 0, 0, 255}));
    }
}

TEST(Part1_1_Thumbnailer, TextEntriesComeBeforeThePixels) {
    test::ScratchDirectory scratch;
    const auto input = write(scratch, "draw-30x20.vantler", {'x'});
    const auto output = (scratch.path() / "out.png").string();
    ASSERT_EQ(withTestGenerator({"-s", "64", input, output}).exitStatus, 0);
    const auto png = test::readFile(output);
    EXPECT_EQ(png_text::textChunks(png),
              (std::vector<png_text::Chunk>{{"tEXt", "Thumb::Image::Width", "30"},
                                            {"tEXt", "Thumb::Image::Height", "20"}}));
    const auto types = chunkTypesOf(png);
    const auto idat = std::find(types.begin(), types.end(), "IDAT");
    EXPECT_LT(std::find(types.begin(), types.end(), "tEXt"), idat);
}

// ---- Failures: exit 1, one line on stderr, no OUTPUT

TEST(Part1_1_Thumbnailer, MissingDirectoryAndUnreadableInputs) {
    test::ScratchDirectory scratch;
    const auto output = (scratch.path() / "out.png").string();
    const auto missing = (scratch.path() / "missing.vantler").string();
    auto result = withTestGenerator({"-s", "128", missing, output});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, failureLine(missing, "No such file or directory"));

    const auto folder = scratch.path().string();
    result = withTestGenerator({"-s", "128", folder, output});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, failureLine(folder, "not a regular file"));
    EXPECT_FALSE(fs::exists(output));
}

TEST(Part1_1_Thumbnailer, FileSizeLimitIsCheckedBeforeReading) {
    test::ScratchDirectory scratch;
    const auto png = pngOf(40, 20);
    const auto input = write(scratch, "bytes.vantler", png);
    const auto output = (scratch.path() / "out.png").string();
    const std::string size = std::to_string(png.size());
    const std::string oneLess = std::to_string(png.size() - 1);

    auto result = withTestGenerator({"--max-file-size", size, "-s", "128", input, output});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    fs::remove(output);

    result = withTestGenerator({"--max-file-size", oneLess, "-s", "128", input, output});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError,
              failureLine(input, "the file has " + size + " bytes, more than the limit of " +
                                     oneLess + " (--max-file-size)"));
    EXPECT_FALSE(fs::exists(output));

    // Units of 1024 (the noise of 40 × 20 pixels takes more than 1 KiB as PNG).
    ASSERT_GT(png.size(), 1024u);
    result = withTestGenerator({"--max-file-size=1K", "-s", "128", input, output});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError,
              failureLine(input, "the file has " + size +
                                     " bytes, more than the limit of 1024 (--max-file-size)"));
    result = withTestGenerator({"--max-file-size=1M", "-s", "128", input, output});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
}

TEST(Part1_1_Thumbnailer, DeadlineEndsAHangingGenerator) {
    test::ScratchDirectory scratch;
    const auto input = write(scratch, "hang.vantler", {'x'});
    const auto output = (scratch.path() / "out.png").string();
    const auto result = withTestGenerator({"--timeout", "0.5", "-s", "128", input, output});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, failureLine(input, "timed out after 0.5 s (--timeout)"));
    EXPECT_FALSE(fs::exists(output));
}

TEST(Part1_1_Thumbnailer, RefusedCrashedAndEmptyRequests) {
    test::ScratchDirectory scratch;
    const auto output = (scratch.path() / "out.png").string();

    // The generator answers 1: the reason is the document loader's (this file is no archive).
    const auto refused = write(scratch, "refuse.vantler", {'x'});
    auto result = withTestGenerator({"-s", "128", refused, output});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(result.standardError.starts_with("vantler-thumbnailer: " + refused + ": "));
    EXPECT_EQ(std::count(result.standardError.begin(), result.standardError.end(), '\n'), 1);

    // The generator answers 0 having handed over and drawn nothing.
    const auto nothing = write(scratch, "nothing.vantler", {'x'});
    result = withTestGenerator({"-s", "128", nothing, output});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, failureLine(nothing, "nothing was drawn"));

    // Handed-over bytes that are no image.
    const auto garbage =
        write(scratch, "bytes-garbage.vantler", {'n', 'o', 't', ' ', 'p', 'n', 'g'});
    result = withTestGenerator({"-s", "128", garbage, output});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError,
              failureLine(garbage, "the embedded thumbnail could not be decoded"));

    // The generator dies of SIGSEGV: no exit status at all, and no file.
    const auto crash = write(scratch, "crash.vantler", {'x'});
    result = withTestGenerator({"-s", "128", crash, output});
    EXPECT_NE(result.exitStatus, 0);
    EXPECT_FALSE(fs::exists(output));

    // No generator where it is looked for.
    result = test::run(command({"VANTLER_GENERATOR=" + (scratch.path() / "none.so").string()},
                               {"-s", "128", refused, output}));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(result.standardError.starts_with("vantler-thumbnailer: " + refused +
                                                 ": the generator could not be loaded: "));
    EXPECT_FALSE(fs::exists(output));
}

TEST(Part1_1_Thumbnailer, FailedWriteLeavesNoFile) {
    test::ScratchDirectory scratch;
    const auto input = write(scratch, "bytes-800x400.vantler", pngOf(800, 400));

    const auto noFolder = (scratch.path() / "missing" / "out.png").string();
    auto result = withTestGenerator({"-s", "256", input, noFolder});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, failureLine(input, noFolder + ": No such file or directory"));

    // A file-size limit of 1 KiB stops the write of a picture of noise part way: the partial file
    // is removed.
    const auto output = (scratch.path() / "out.png").string();
    std::string line = "ulimit -f 1 && exec";
    for (const auto& argument :
         command({std::string("VANTLER_GENERATOR=") + VANTLER_TEST_GENERATOR},
                 {"-s", "256", input, output}))
        line += " '" + argument + "'";
    result = test::run({"sh", "-c", line});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, failureLine(input, output + ": File too large"));
    EXPECT_FALSE(fs::exists(output));
}

// ---- GNOME's sandbox: a read-only copy under another name, no $HOME, no /etc/fonts, no writable
// temporary directory; nothing may be written but OUTPUT.

TEST(Part1_1_Thumbnailer, RunsInASandboxAndWritesNothingElse) {
    test::ScratchDirectory scratch;
    const fs::path documents = scratch.path() / "documents";
    const fs::path readOnlyTemporary = scratch.path() / "read-only-tmp";
    const fs::path watchedTemporary = scratch.path() / "watched-tmp";
    const fs::path outputs = scratch.path() / "outputs";
    for (const auto& folder : {documents, readOnlyTemporary, watchedTemporary, outputs})
        fs::create_directory(folder);

    struct Input {
        std::string name;
        std::vector<uint8_t> bytes;
        bool realGenerator;
    };
    const std::vector<Input> inputs{
        {"bytes-gnome-desktop-file-to-thumbnail", pngOf(300, 200), false},
        {"draw-375x667-gnome-desktop-file-to-thumbnail", {'x'}, false},
        {"gnome-desktop-file-to-thumbnail.embedded", documentWithThumbnail(pngOf(300, 200)), true},
        {"gnome-desktop-file-to-thumbnail.drawn", drawnDocument({375, 667}, {0, 1, 0, 1}), true},
    };
    for (const auto& input : inputs) {
        test::writeFile(documents / input.name, input.bytes);
        fs::permissions(documents / input.name,
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    }
    fs::permissions(documents, fs::perms::owner_read | fs::perms::owner_exec);
    fs::permissions(readOnlyTemporary, fs::perms::owner_read | fs::perms::owner_exec);

    for (const auto& temporary : {readOnlyTemporary, watchedTemporary}) {
        for (const auto& input : inputs) {
            SCOPED_TRACE(input.name + " with TMPDIR " + temporary.string());
            const auto output = (outputs / "thumbnail.png").string();
            fs::remove(output);
            const std::vector<std::string> environment{"-u",
                                                       "HOME",
                                                       "-u",
                                                       "XDG_CACHE_HOME",
                                                       "-u",
                                                       "XDG_CONFIG_HOME",
                                                       "FONTCONFIG_FILE=/nonexistent",
                                                       "FONTCONFIG_PATH=/nonexistent",
                                                       "TMPDIR=" + temporary.string()};
            const std::vector<std::string> arguments{"-s", "256", (documents / input.name).string(),
                                                     output};
            const auto result = input.realGenerator ? withRealGenerator(arguments, environment)
                                                    : withTestGenerator(arguments, environment);
            EXPECT_EQ(result.exitStatus, 0) << result.standardError;
            EXPECT_EQ(result.standardError, "");
            const auto thumbnail = readThumbnail(output);
            EXPECT_GT(thumbnail.width, 0u);
            EXPECT_EQ(std::distance(fs::directory_iterator(outputs), fs::directory_iterator()), 1);
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(watchedTemporary), fs::directory_iterator()), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(documents), fs::directory_iterator()),
              std::ptrdiff_t(inputs.size()));
    fs::permissions(documents, fs::perms::owner_all);
    fs::permissions(readOnlyTemporary, fs::perms::owner_all);
}

// ---- Real documents through the real generator plug-in

TEST(Part1_1_Thumbnailer, RealDocumentWithEmbeddedThumbnail) {
    test::ScratchDirectory scratch;
    const auto input = write(scratch, "embedded.vantler", documentWithThumbnail(pngOf(800, 400)));
    struct Case {
        const char* size;
        size_t width, height;
    };
    for (const Case& c : {Case{"256", 256, 128}, Case{"1024", 800, 400}}) {
        SCOPED_TRACE(c.size);
        const auto output = (scratch.path() / "out.png").string();
        const auto result = withRealGenerator({"-s", c.size, input, output});
        EXPECT_EQ(result.exitStatus, 0) << result.standardError;
        const auto thumbnail = readThumbnail(output);
        EXPECT_EQ(thumbnail.width, c.width);
        EXPECT_EQ(thumbnail.height, c.height);
        EXPECT_EQ(thumbnail.text,
                  (std::map<std::string, std::string>{{"Thumb::Image::Width", "800"},
                                                      {"Thumb::Image::Height", "400"}}));
        EXPECT_EQ(thumbnail.pixel(c.width / 4, c.height / 4), (std::array<int, 4>{255, 0, 0, 255}));
    }
}

TEST(Part1_1_Thumbnailer, RealDrawnDocument) {
    test::ScratchDirectory scratch;
    const auto input = write(scratch, "drawn.vantler", drawnDocument({375, 667}, {0, 1, 0, 1}));
    const auto output = (scratch.path() / "out.png").string();
    const auto result = withRealGenerator({"-s", "256", input, output});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    const auto thumbnail = readThumbnail(output);
    EXPECT_EQ(thumbnail.width, 144u);
    EXPECT_EQ(thumbnail.height, 256u);
    EXPECT_EQ(thumbnail.text,
              (std::map<std::string, std::string>{{"Thumb::Image::Width", "375"},
                                                  {"Thumb::Image::Height", "667"}}));
    EXPECT_EQ(thumbnail.pixel(72, 128), (std::array<int, 4>{0, 255, 0, 255}));
}

TEST(Part1_1_Thumbnailer, RealDocumentsThatAreRefused) {
    test::ScratchDirectory scratch;
    document_shapes::Document tooNew;
    tooNew.screens.push_back({{100, 100}, {0, 0, 0, 1}});
    tooNew.formatVersion = 16;
    document_shapes::Document noRoot;
    noRoot.root = std::shared_ptr<const NSObject>();
    document_shapes::Document noScreens;
    // The reasons are the loader's failure reasons (Part 2.2 "Error value"), and Part 1.1 step 7.
    struct Case {
        std::string name;
        std::vector<uint8_t> bytes;
        std::string reason;
    };
    const std::vector<Case> cases{
        {"empty.vantler", {}, "File has no data"},
        {"garbage.vantler",
         {'g', 'a', 'r', 'b', 'a', 'g', 'e'},
         "data is not a property list (neither binary nor XML)"},
        {"too-new.vantler", bytesOf(document_shapes::make(tooNew)),
         "Document was created with a newer version of Vantler"},
        {"no-root.vantler", bytesOf(document_shapes::make(noRoot)), "File Cannot be read"},
        {"no-screens.vantler", bytesOf(document_shapes::make(noScreens)),
         "the document has no screens"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto input = write(scratch, c.name, c.bytes);
        const auto output = (scratch.path() / "out.png").string();
        const auto result = withRealGenerator({"-s", "256", input, output});
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.standardError, failureLine(input, c.reason));
        EXPECT_FALSE(fs::exists(output));
    }
}

// ---- The command line

TEST(Part1_1_Thumbnailer, HelpTellsTheTruth) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--help"}, {"-h"}, {"-s", "256", "a", "b", "--help"}}) {
        const auto result = test::run(command({}, arguments));
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.standardError, "");
        const std::string& help = result.standardOutput;
        EXPECT_TRUE(
            help.starts_with("usage: vantler-thumbnailer [OPTIONS] -s SIZE INPUT OUTPUT\n"));
        for (const char* mention :
             {"file://", "--max-file-size BYTES", "default 256M", "--timeout SECONDS", "default 10",
              "1 to 4096", "Thumb::Image::Width", "VANTLER_GENERATOR", "Exit status: 0"})
            EXPECT_NE(help.find(mention), std::string::npos) << mention;
    }
}

TEST(Part1_1_Thumbnailer, UsageErrorsExitWith2) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{}, "-s SIZE is required"},
        {{"a", "b"}, "-s SIZE is required"},
        {{"-s", "256", "a"}, "expected INPUT and OUTPUT, got 1 operands"},
        {{"-s", "256", "a", "b", "c"}, "expected INPUT and OUTPUT, got 3 operands"},
        {{"-s", "0", "a", "b"}, "SIZE must be a whole number from 1 to 4096, not \"0\""},
        {{"-s", "4097", "a", "b"}, "SIZE must be a whole number from 1 to 4096, not \"4097\""},
        {{"-s", "12px", "a", "b"}, "SIZE must be a whole number from 1 to 4096, not \"12px\""},
        {{"-s"}, "-s needs a value"},
        {{"--size=-3", "a", "b"}, "SIZE must be a whole number from 1 to 4096, not \"-3\""},
        {{"-x", "a", "b"}, "unknown option -x"},
        {{"--timeout", "-1", "-s", "9", "a", "b"},
         "--timeout must be a number of seconds from 0 to 86400, not \"-1\""},
        {{"--timeout", "nan", "-s", "9", "a", "b"},
         "--timeout must be a number of seconds from 0 to 86400, not \"nan\""},
        {{"--max-file-size", "1T", "-s", "9", "a", "b"},
         "--max-file-size must be a whole number of bytes, not \"1T\""},
        {{"--max-file-size", "99999999999999999999", "-s", "9", "a", "b"},
         "--max-file-size must be a whole number of bytes, not \"99999999999999999999\""},
        {{"-s", "9", "", "b"}, "INPUT and OUTPUT must not be empty"},
    };
    for (const auto& [arguments, message] : cases) {
        SCOPED_TRACE(message);
        const auto result = test::run(command({}, arguments));
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_EQ(result.standardError,
                  "vantler-thumbnailer: " + message + " (see vantler-thumbnailer --help)\n");
    }
}

TEST(Part1_1_Thumbnailer, OptionFormsAndOperandOrder) {
    test::ScratchDirectory scratch;
    const auto input = write(scratch, "bytes-800x400.vantler", pngOf(800, 400));
    const auto output = (scratch.path() / "out.png").string();
    for (const auto& arguments :
         std::vector<std::vector<std::string>>{{"-s100", input, output},
                                               {"--size=100", input, output},
                                               {input, "--size", "100", output},
                                               {input, output, "-s", "100"},
                                               {"--timeout=0", "-s", "100", "--", input, output}}) {
        fs::remove(output);
        const auto result = withTestGenerator(arguments);
        EXPECT_EQ(result.exitStatus, 0) << result.standardError;
        EXPECT_EQ(readThumbnail(output).width, 100u);
    }
}

// ---- The desktop files

TEST(Part1_1_ThumbnailerDesktopFiles, ThumbnailerEntry) {
    const auto bytes = test::readFile(test::sourceDir() / "data/vantler.thumbnailer");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
              "[Thumbnailer Entry]\n"
              "TryExec=vantler-thumbnailer\n"
              "Exec=vantler-thumbnailer -s %s %u %o\n"
              "MimeType=application/x-vantler;\n");
}

namespace {

std::string attribute(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    std::string text = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return text;
}

std::vector<xmlNode*> elements(xmlNode* parent) {
    std::vector<xmlNode*> result;
    for (xmlNode* child = parent->children; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE) result.push_back(child);
    return result;
}

std::string name(xmlNode* node) {
    return reinterpret_cast<const char*>(node->name);
}

}  // namespace

TEST(Part1_1_ThumbnailerDesktopFiles, MimeTypeByGlobOnly) {
    const auto path = test::sourceDir() / "data/vantler-mime.xml";
    xmlDoc* document = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR);
    ASSERT_NE(document, nullptr) << "not well-formed XML";
    xmlNode* root = xmlDocGetRootElement(document);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(name(root), "mime-info");
    ASSERT_NE(root->ns, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(root->ns->href),
                 "http://www.freedesktop.org/standards/shared-mime-info");
    const auto types = elements(root);
    ASSERT_EQ(types.size(), 1u);
    EXPECT_EQ(name(types[0]), "mime-type");
    EXPECT_EQ(attribute(types[0], "type"), "application/x-vantler");
    std::vector<std::string> seen;
    for (xmlNode* element : elements(types[0])) {
        seen.push_back(name(element));
        if (name(element) == "comment") {
            xmlChar* text = xmlNodeGetContent(element);
            EXPECT_STREQ(reinterpret_cast<const char*>(text), "Vantler document");
            xmlFree(text);
        }
        if (name(element) == "glob") {
            EXPECT_EQ(attribute(element, "pattern"), "*.vantler");
        }
    }
    // No <magic>: binary property lists in general are not Vantler documents.
    EXPECT_EQ(seen, (std::vector<std::string>{"comment", "generic-icon", "glob"}));
    xmlFreeDoc(document);
}

TEST(Part1_1_ThumbnailerDesktopFiles, MimeDatabaseBuildsWithTheGlob) {
    if (!fs::exists("/usr/bin/update-mime-database"))
        GTEST_SKIP() << "update-mime-database (Debian package shared-mime-info) is not installed";
    test::ScratchDirectory scratch;
    const fs::path packages = scratch.path() / "mime/packages";
    fs::create_directories(packages);
    fs::copy_file(test::sourceDir() / "data/vantler-mime.xml", packages / "vantler.xml");
    const auto result = test::run({"update-mime-database", (scratch.path() / "mime").string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const auto globs = test::readFile(scratch.path() / "mime/globs2");
    EXPECT_NE(std::string(globs.begin(), globs.end()).find("50:application/x-vantler:*.vantler\n"),
              std::string::npos);
    const auto magic = test::readFile(scratch.path() / "mime/magic");
    EXPECT_EQ(std::string(magic.begin(), magic.end()).find("application/x-vantler"),
              std::string::npos);
}

// ---- Installation

TEST(Part1_1_ThumbnailerInstall, InstalledTreeRunsFromDestdir) {
    test::ScratchDirectory scratch;
    const fs::path destdir = scratch.path() / "destdir";
    auto result = test::run({"env", "DESTDIR=" + destdir.string(), VANTLER_CMAKE, "--install",
                             VANTLER_BUILD_DIR, "--prefix", "/usr"});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const fs::path usr = destdir / "usr";
    for (const char* file :
         {"bin/vantler-thumbnailer", "bin/vantler-ql", "share/thumbnailers/vantler.thumbnailer",
          "share/mime/packages/vantler.xml", "lib/vantler/VantlerQuickLook.so",
          "lib/vantler/libVantlerFoundation.so", "lib/vantler/libVantlerCoreGraphics.so",
          "lib/vantler/libVantlerImageIO.so", "lib/vantler/libVantlerQuickLookHost.so",
          "lib/vantler/libVantlerCore.so"})
        EXPECT_TRUE(fs::exists(usr / file)) << file;
    EXPECT_EQ(test::readFile(usr / "share/mime/packages/vantler.xml"),
              test::readFile(test::sourceDir() / "data/vantler-mime.xml"));

    // The run path is relative to the program ($ORIGIN), never the build tree.
    const auto program = (usr / "bin/vantler-thumbnailer").string();
    result = test::run({"readelf", "-d", program});
    ASSERT_EQ(result.exitStatus, 0);
    EXPECT_NE(result.standardOutput.find("[$ORIGIN/../lib/vantler:$ORIGIN]"), std::string::npos)
        << result.standardOutput;
    EXPECT_EQ(result.standardOutput.find(VANTLER_BUILD_DIR), std::string::npos);

    // Every Vantler library the program needs resolves inside the installed tree, and the program
    // finds the installed plug-in beside itself.
    result = test::run({"env", "-u", "LD_LIBRARY_PATH", "ldd", program});
    ASSERT_EQ(result.exitStatus, 0);
    std::istringstream lines(result.standardOutput);
    int vantlerLibraries = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("libVantler") == std::string::npos) continue;
        ++vantlerLibraries;
        EXPECT_NE(line.find("=> " + (usr / "bin/../lib/vantler").string()), std::string::npos)
            << line;
    }
    EXPECT_GT(vantlerLibraries, 0);

    const auto input = (scratch.path() / "embedded.vantler").string();
    test::writeFile(input, documentWithThumbnail(pngOf(800, 400)));
    const auto output = (scratch.path() / "out.png").string();
    result = test::run({"env", "-u", "LD_LIBRARY_PATH", "-u", "VANTLER_GENERATOR", program, "-s",
                        "256", input, output});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(readThumbnail(output).width, 256u);
}
