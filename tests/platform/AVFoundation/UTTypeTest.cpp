// Type identifiers of media files (Part 3.1's supported media test: NSURLTypeIdentifierKey and the
// type-conformance test): every supported type that the ffmpeg program can write here, the
// content deciding the family and the name within it, refusals, and the conformance tree.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "AVFoundationLimits.h"
#include "MediaTestSupport.h"
#include "NSURL.h"
#include "TestSupport.h"
#include "UTType.h"

using namespace MediaTestSupport;

namespace {

// Part 3.1 "Supported media types", in the order tested.
const std::vector<std::string> kSupportedTypes{"com.apple.quicktime-movie",
                                               "public.mpeg-4",
                                               "public.3gpp",
                                               "public.3gpp2",
                                               "public.avi",
                                               "com.apple.itunes.audible",
                                               "public.aac-audio",
                                               "public.aiff-audio",
                                               "com.apple.m4v-video",
                                               "com.apple.m4a-audio",
                                               "public.mpeg-4-audio",
                                               "public.aifc-audio",
                                               "com.apple.mpeg-4-ringtone",
                                               "com.microsoft.waveform-audio",
                                               "public.mp2",
                                               "public.mp3",
                                               "public.au-audio",
                                               "public.enhanced-ac3-audio",
                                               "public.ac3-audio",
                                               "com.apple.protected-mpeg-4-audio"};

// Part 3.1 "Supported media test" steps 2 and 3, on a type identifier.
bool isSupportedType(const std::string& type) {
    if (!UTTypeConformsToType(type, "public.movie") && !UTTypeConformsToType(type, "public.audio"))
        return false;
    for (const std::string& supported : kSupportedTypes)
        if (UTTypeConformsToType(type, supported)) return true;
    return false;
}

std::optional<std::string> typeOf(const std::filesystem::path& path) {
    return NSURLTypeIdentifierForURL(*urlOf(path));
}

struct MadeFile {
    const char* name;
    std::vector<std::string> arguments;  // ffmpeg's, before the output
    const char* type;
};

const std::string kVideo = splitSource(64, 48, 0.2);
const std::string kSmallVideo = splitSource(128, 96, 0.2);
const std::string kTone = "sine=frequency=440:sample_rate=48000:duration=0.3";

void expectTypes(const std::vector<MadeFile>& files) {
    test::ScratchDirectory scratch;
    for (const MadeFile& file : files) {
        SCOPED_TRACE(file.name);
        std::vector<std::string> arguments = file.arguments;
        arguments.push_back((scratch.path() / file.name).string());
        ASSERT_NO_FATAL_FAILURE(ffmpeg(arguments));
        EXPECT_EQ(typeOf(scratch.path() / file.name), file.type);
    }
}

}  // namespace

// Nineteen of the twenty supported types, each by its usual extension, and each passes Part 3.1's
// supported test. Not made: "com.apple.itunes.audible" (FFmpeg reads Audible files but cannot write
// them, and a Mac gives them the com.audible types: see Conformance).
TEST(Part3_1_UTType, EachSupportedTypeMadeHere) {
    const std::vector<std::string> video{"-f",   "lavfi", "-i",       kVideo,
                                         "-c:v", "mpeg4", "-pix_fmt", "yuv420p"};
    const std::vector<std::string> h263{"-f",   "lavfi", "-i",       kSmallVideo,
                                        "-c:v", "h263",  "-pix_fmt", "yuv420p"};
    const auto tone = [](const char* encoder) {
        return std::vector<std::string>{"-f", "lavfi", "-i", kTone, "-c:a", encoder};
    };
    auto ipod = tone("aac");
    ipod.insert(ipod.end(), {"-f", "ipod"});
    // An MPEG-4 audio file with the generic brand and no extension of the family.
    auto mpeg4Audio = tone("aac");
    mpeg4Audio.insert(mpeg4Audio.end(), {"-f", "mp4"});
    const std::vector<MadeFile> files{
        {"movie.mov", video, "com.apple.quicktime-movie"},
        {"movie.mp4", video, "public.mpeg-4"},
        {"movie.3gp", h263, "public.3gpp"},
        {"movie.3g2", h263, "public.3gpp2"},
        {"movie.avi", video, "public.avi"},
        {"sound.aac", tone("aac"), "public.aac-audio"},
        {"sound.aiff", tone("pcm_s16be"), "public.aiff-audio"},
        {"movie.m4v", video, "com.apple.m4v-video"},
        {"sound.m4a", tone("aac"), "com.apple.m4a-audio"},
        {"sound.media", mpeg4Audio, "public.mpeg-4-audio"},
        {"sound.aifc", tone("pcm_s16be"), "public.aifc-audio"},
        {"sound.m4r", ipod, "com.apple.mpeg-4-ringtone"},
        {"sound.wav", tone("pcm_s16le"), "com.microsoft.waveform-audio"},
        {"sound.mp2", tone("mp2"), "public.mp2"},
        {"sound.mp3", tone("libmp3lame"), "public.mp3"},
        {"sound.au", tone("pcm_s16be"), "public.au-audio"},
        {"sound.eac3", tone("eac3"), "public.enhanced-ac3-audio"},
        {"sound.ac3", tone("ac3"), "public.ac3-audio"},
        {"sound.m4p", ipod, "com.apple.protected-mpeg-4-audio"},
    };
    expectTypes(files);
    for (const MadeFile& file : files) {
        SCOPED_TRACE(file.name);
        EXPECT_TRUE(isSupportedType(file.type));
    }
}

// Where a container is shared, the extension decides as on a Mac when it names a member of the
// content's family; otherwise the content's own marks do.
TEST(Part3_1_UTType, ContentDecidesWithinAFamily) {
    const std::vector<std::string> video{"-f",   "lavfi", "-i",       kVideo,
                                         "-c:v", "mpeg4", "-pix_fmt", "yuv420p"};
    const std::vector<std::string> h263{"-f",   "lavfi", "-i",       kSmallVideo,
                                        "-c:v", "h263",  "-pix_fmt", "yuv420p"};
    const auto as = [](std::vector<std::string> arguments,
                       std::initializer_list<std::string> more) {
        arguments.insert(arguments.end(), more);
        return arguments;
    };
    const auto tone = [](const char* encoder) {
        return std::vector<std::string>{"-f", "lavfi", "-i", kTone, "-c:a", encoder};
    };
    expectTypes({
        // ISO files: the major brand.
        {"brand-isom.bin", as(video, {"-f", "mp4"}), "public.mpeg-4"},
        {"brand-qt.bin", as(video, {"-f", "mov"}), "com.apple.quicktime-movie"},
        {"brand-m4v.bin", as(video, {"-f", "mp4", "-brand", "M4V "}), "com.apple.m4v-video"},
        {"brand-3gp.bin", as(h263, {"-f", "3gp"}), "public.3gpp"},
        {"brand-3g2.bin", as(h263, {"-f", "3g2"}), "public.3gpp2"},
        {"brand-m4a.bin", as(tone("aac"), {"-f", "ipod"}), "com.apple.m4a-audio"},
        {"brand-m4b", as(tone("aac"), {"-f", "mp4", "-brand", "M4B "}),
         "com.apple.protected-mpeg-4-audio-b"},
        // The extension of another member wins, as on a Mac.
        {"movie-named.m4a", as(video, {"-f", "mp4"}), "com.apple.m4a-audio"},
        {"audio-named.mp4", as(tone("aac"), {"-f", "mp4"}), "public.mpeg-4"},
        {"book.m4b", as(tone("aac"), {"-f", "ipod"}), "com.apple.protected-mpeg-4-audio-b"},
        // AIFF: the form type.
        {"form-aifc.bin", as(tone("pcm_alaw"), {"-f", "aiff"}), "public.aifc-audio"},
        {"form-aiff.bin", as(tone("pcm_s16be"), {"-f", "aiff"}), "public.aiff-audio"},
        {"compressed.aiff", as(tone("pcm_alaw"), {"-f", "aiff"}), "public.aiff-audio"},
        // MPEG audio: the layer.
        {"layer2.bin", as(tone("mp2"), {"-f", "mp2"}), "public.mp2"},
        {"layer3.bin", as(tone("libmp3lame"), {"-f", "mp3"}), "public.mp3"},
        {"layer2-named.mp3", as(tone("mp2"), {"-f", "mp2"}), "public.mp3"},
        // The content decides the family: a WAV named .mp3 is a WAV, a movie named .wav a movie.
        {"wave-named.mp3", as(tone("pcm_s16le"), {"-f", "wav"}), "com.microsoft.waveform-audio"},
        {"movie-named.wav", as(video, {"-f", "avi"}), "public.avi"},
        {"image-named.mp4",
         {"-f", "lavfi", "-i", "color=c=red:s=8x8", "-frames:v", "1", "-f", "image2", "-c:v",
          "png"},
         "public.png"},
    });
}

// An MP3 whose ID3 tag (cover art) is larger than the bytes first read is still found.
TEST(Part3_1_UTType, LargeID3Tag) {
    test::ScratchDirectory scratch;
    const auto cover = scratch.path() / "noise.png";
    const auto song = scratch.path() / "song.bin";
    ASSERT_NO_FATAL_FAILURE(ffmpeg(
        {"-f", "lavfi", "-i", "nullsrc=s=256x256,geq=random(1)*255:random(2)*255:random(3)*255",
         "-frames:v", "1", "-pix_fmt", "rgb24", cover.string()}));
    ASSERT_GT(std::filesystem::file_size(cover), AVFoundationLimits::kTypeProbeBytes);
    ASSERT_NO_FATAL_FAILURE(ffmpeg({"-f", "lavfi", "-i", kTone, "-i", cover.string(), "-map", "0",
                                    "-map", "1", "-c:a", "libmp3lame", "-c:v", "copy",
                                    "-disposition:v", "attached_pic", "-f", "mp3", song.string()}));
    EXPECT_EQ(typeOf(song), "public.mp3");
}

// The small files of tests/data/media: a short MP3 scores only AVPROBE_SCORE_RETRY in FFmpeg's
// probe, taken (as FFmpeg takes it) because the whole file was read; a cut file keeps its family.
TEST(Part3_1_UTType, SmallFiles) {
    const auto media = test::dataDir() / "media";
    EXPECT_EQ(typeOf(media / "tone.mp3"), "public.mp3");
    EXPECT_EQ(typeOf(media / "tone.aac"), "public.aac-audio");
    EXPECT_EQ(typeOf(media / "tone.wav"), "com.microsoft.waveform-audio");
    EXPECT_EQ(typeOf(media / "split.mp4"), "public.mpeg-4");
    EXPECT_EQ(typeOf(media / "split-with-sound.mov"), "com.apple.quicktime-movie");
    EXPECT_EQ(typeOf(media / "split.avi"), "public.avi");
    EXPECT_EQ(typeOf(media / "truncated-no-header.mp4"), "public.mpeg-4");
}

// Files that are no media: the image reader's types, data, or none when the file can't be read.
TEST(Part3_1_UTType, Refusals) {
    test::ScratchDirectory scratch;
    const auto png = scratch.path() / "picture.png";
    ASSERT_NO_FATAL_FAILURE(
        ffmpeg({"-f", "lavfi", "-i", "color=c=red:s=8x8", "-frames:v", "1", png.string()}));
    const auto text = scratch.path() / "notes.txt";
    const std::string words = "A text file is not a movie, whatever its name.\n";
    test::writeFile(text, std::vector<uint8_t>(words.begin(), words.end()));
    test::writeFile(scratch.path() / "notes.mp3", std::vector<uint8_t>(words.begin(), words.end()));
    test::writeFile(scratch.path() / "empty.mp4", {});
    std::filesystem::create_directory(scratch.path() / "folder.mov");

    EXPECT_EQ(typeOf(png), "public.png");
    EXPECT_EQ(typeOf(text), "public.data");
    EXPECT_EQ(typeOf(scratch.path() / "notes.mp3"), "public.data");
    EXPECT_EQ(typeOf(scratch.path() / "empty.mp4"), "public.data");
    EXPECT_EQ(typeOf(test::dataDir() / "media" / "garbage.mp4"), "public.data");
    EXPECT_EQ(typeOf(scratch.path() / "missing.mp4"), std::nullopt);
    EXPECT_EQ(typeOf(scratch.path() / "folder.mov"), std::nullopt);
    EXPECT_EQ(NSURLTypeIdentifierForURL(*NSURL::URLWithString("http://example.com/movie.mp4")),
              std::nullopt);
    for (const char* type : {"public.png", "public.data"})
        EXPECT_FALSE(isSupportedType(type)) << type;
    // The stills the image reader knows.
    EXPECT_EQ(typeOf(test::dataDir() / "images" / "jpeg-rgb.jpg"), "public.jpeg");
    EXPECT_EQ(typeOf(test::dataDir() / "images" / "heic-quad.heic"), "public.heic");
    EXPECT_EQ(typeOf(test::dataDir() / "images" / "gif-transparent.gif"), "com.compuserve.gif");
}

// The conformance tree of macOS's declarations.
TEST(Part3_1_UTType, Conformance) {
    const std::vector<std::string> movies{
        "com.apple.quicktime-movie", "public.mpeg-4", "public.3gpp", "public.3gpp2", "public.avi",
        "com.apple.m4v-video"};
    for (const std::string& type : kSupportedTypes) {
        SCOPED_TRACE(type);
        const bool movie = std::find(movies.begin(), movies.end(), type) != movies.end();
        EXPECT_TRUE(UTTypeConformsToType(type, type));
        EXPECT_EQ(UTTypeConformsToType(type, "public.movie"), movie);
        EXPECT_EQ(UTTypeConformsToType(type, "public.audio"), !movie);
        for (const char* ancestor :
             {"public.audiovisual-content", "public.content", "public.data", "public.item"})
            EXPECT_TRUE(UTTypeConformsToType(type, ancestor)) << ancestor;
        EXPECT_FALSE(UTTypeConformsToType(type, "public.image"));
        EXPECT_TRUE(isSupportedType(type));
    }
    EXPECT_TRUE(UTTypeConformsToType("public.aiff-audio", "public.aifc-audio"));
    EXPECT_FALSE(UTTypeConformsToType("public.aifc-audio", "public.aiff-audio"));
    EXPECT_TRUE(UTTypeConformsToType("com.apple.m4v-video", "public.mpeg-4"));
    EXPECT_TRUE(UTTypeConformsToType("com.apple.m4a-audio", "public.mpeg-4-audio"));
    EXPECT_TRUE(UTTypeConformsToType("com.apple.mpeg-4-ringtone", "public.mpeg-4-audio"));
    EXPECT_TRUE(UTTypeConformsToType("com.apple.protected-mpeg-4-audio-b",
                                     "com.apple.protected-mpeg-4-audio"));
    EXPECT_TRUE(isSupportedType("com.apple.protected-mpeg-4-audio-b"));
    // The system declares MPEG-4 audio as audio only, not as an MPEG-4 movie.
    EXPECT_FALSE(UTTypeConformsToType("public.mpeg-4-audio", "public.mpeg-4"));
    EXPECT_FALSE(UTTypeConformsToType("public.mpeg-4", "public.mpeg-4-audio"));
    // Audible files are audio, but none of Part 3.1's list (which names com.apple.itunes.audible,
    // an identifier no system bundle gives a file): not supported, as on a Mac.
    EXPECT_TRUE(UTTypeConformsToType("com.audible.aax-audiobook", "public.audio"));
    EXPECT_FALSE(isSupportedType("com.audible.aax-audiobook"));
    EXPECT_FALSE(isSupportedType("public.mpeg"));
    // Stills and the roots.
    EXPECT_TRUE(UTTypeConformsToType("public.png", "public.image"));
    EXPECT_TRUE(UTTypeConformsToType("public.heic", "public.image"));
    EXPECT_TRUE(UTTypeConformsToType("public.png", "public.data"));
    EXPECT_FALSE(UTTypeConformsToType("public.png", "public.audiovisual-content"));
    EXPECT_FALSE(UTTypeConformsToType("public.data", "public.movie"));
    EXPECT_FALSE(UTTypeConformsToType("public.movie", "public.mpeg-4"));
    // An undeclared identifier conforms to itself only.
    EXPECT_TRUE(UTTypeConformsToType("dyn.ah62d4rv4ge80c6dp", "dyn.ah62d4rv4ge80c6dp"));
    EXPECT_FALSE(UTTypeConformsToType("dyn.ah62d4rv4ge80c6dp", "public.data"));
}
