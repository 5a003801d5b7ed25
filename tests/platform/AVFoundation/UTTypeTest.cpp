// Type identifiers of media files and their conformance, as a supported-media test asks them: the
// content decides the family and, where a container is shared, the extension or the content's own
// marks decide the name within it.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "AVFoundationLimits.h"
#include "MediaTestSupport.h"
#include "UTType.h"

using namespace MediaTestSupport;

namespace {

// The media types a preview supports.
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

bool isSupportedType(const std::string& type) {
    if (!UTTypeConformsToType(type, "public.movie") && !UTTypeConformsToType(type, "public.audio"))
        return false;
    return std::any_of(kSupportedTypes.begin(), kSupportedTypes.end(),
                       [&](const std::string& s) { return UTTypeConformsToType(type, s); });
}

std::optional<std::string> typeOf(const std::filesystem::path& path) {
    return NSURLTypeIdentifierForURL(*NSURL::fileURLWithPath(path.string()));
}

// Each supported type ffmpeg can write, by its usual extension, then by content alone. Not made:
// Audible files, which FFmpeg cannot write.
TEST(UTType, MediaFilesMadeHere) {
    const auto video = splitVideo("mpeg4");
    const auto h263 = splitVideo("h263", 128, 96);
    const auto as = [](std::vector<std::string> arguments, std::vector<std::string> more) {
        return arguments + more;
    };
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        const char* type;
    } files[] = {
        {"movie.mov", video, "com.apple.quicktime-movie"},
        {"movie.mp4", video, "public.mpeg-4"},
        {"movie.3gp", h263, "public.3gpp"},
        {"movie.3g2", h263, "public.3gpp2"},
        {"movie.avi", video, "public.avi"},
        {"sound.aac", tone("aac"), "public.aac-audio"},
        {"sound.aiff", tone("pcm_s16be"), "public.aiff-audio"},
        {"movie.m4v", video, "com.apple.m4v-video"},
        {"sound.m4a", tone("aac"), "com.apple.m4a-audio"},
        {"sound.media", as(tone("aac"), {"-f", "mp4"}), "public.mpeg-4-audio"},
        {"sound.aifc", tone("pcm_s16be"), "public.aifc-audio"},
        {"sound.m4r", as(tone("aac"), {"-f", "ipod"}), "com.apple.mpeg-4-ringtone"},
        {"sound.wav", tone("pcm_s16le"), "com.microsoft.waveform-audio"},
        {"sound.mp2", tone("mp2"), "public.mp2"},
        {"sound.mp3", tone("libmp3lame"), "public.mp3"},
        {"sound.au", tone("pcm_s16be"), "public.au-audio"},
        {"sound.eac3", tone("eac3"), "public.enhanced-ac3-audio"},
        {"sound.ac3", tone("ac3"), "public.ac3-audio"},
        {"sound.m4p", as(tone("aac"), {"-f", "ipod"}), "com.apple.protected-mpeg-4-audio"},
        // ISO files: the major brand.
        {"brand-isom.bin", as(video, {"-f", "mp4"}), "public.mpeg-4"},
        {"brand-qt.bin", as(video, {"-f", "mov"}), "com.apple.quicktime-movie"},
        {"brand-m4v.bin", as(video, {"-f", "mp4", "-brand", "M4V "}), "com.apple.m4v-video"},
        {"brand-3gp.bin", as(h263, {"-f", "3gp"}), "public.3gpp"},
        {"brand-3g2.bin", as(h263, {"-f", "3g2"}), "public.3gpp2"},
        {"brand-m4a.bin", as(tone("aac"), {"-f", "ipod"}), "com.apple.m4a-audio"},
        {"brand-m4b", as(tone("aac"), {"-f", "mp4", "-brand", "M4B "}),
         "com.apple.protected-mpeg-4-audio-b"},
        // The extension of another member of the family wins, as on a Mac.
        {"movie-named.m4a", as(video, {"-f", "mp4"}), "com.apple.m4a-audio"},
        {"audio-named.mp4", as(tone("aac"), {"-f", "mp4"}), "public.mpeg-4"},
        {"book.m4b", as(tone("aac"), {"-f", "ipod"}), "com.apple.protected-mpeg-4-audio-b"},
        // AIFF: the form type; MPEG audio: the layer.
        {"form-aifc.bin", as(tone("pcm_alaw"), {"-f", "aiff"}), "public.aifc-audio"},
        {"form-aiff.bin", as(tone("pcm_s16be"), {"-f", "aiff"}), "public.aiff-audio"},
        {"compressed.aiff", as(tone("pcm_alaw"), {"-f", "aiff"}), "public.aiff-audio"},
        {"layer2.bin", as(tone("mp2"), {"-f", "mp2"}), "public.mp2"},
        {"layer3.bin", as(tone("libmp3lame"), {"-f", "mp3"}), "public.mp3"},
        {"layer2-named.mp3", as(tone("mp2"), {"-f", "mp2"}), "public.mp3"},
        // The content decides the family.
        {"wave-named.mp3", as(tone("pcm_s16le"), {"-f", "wav"}), "com.microsoft.waveform-audio"},
        {"movie-named.wav", as(video, {"-f", "avi"}), "public.avi"},
        {"image-named.mp4",
         {"-f", "lavfi", "-i", "color=c=red:s=8x8", "-frames:v", "1", "-f", "image2", "-c:v",
          "png"},
         "public.png"},
    };
    test::ScratchDirectory scratch;
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        ASSERT_NO_FATAL_FAILURE(
            ffmpeg(as(file.arguments, {(scratch.path() / file.name).string()})));
        EXPECT_EQ(typeOf(scratch.path() / file.name), file.type);
    }
    // An MP3 whose ID3 tag (cover art) is larger than the bytes first read is still found.
    const auto cover = (scratch.path() / "noise.png").string(),
               song = (scratch.path() / "song").string();
    ASSERT_NO_FATAL_FAILURE(ffmpeg(
        {"-f", "lavfi", "-i", "nullsrc=s=256x256,geq=random(1)*255:random(2)*255:random(3)*255",
         "-frames:v", "1", "-pix_fmt", "rgb24", cover}));
    ASSERT_GT(std::filesystem::file_size(cover), AVFoundationLimits::kTypeProbeBytes);
    ASSERT_NO_FATAL_FAILURE(ffmpeg({"-f", "lavfi", "-i", "sine=duration=0.3", "-i", cover, "-map",
                                    "0", "-map", "1", "-c:a", "libmp3lame", "-c:v", "copy",
                                    "-disposition:v", "attached_pic", "-f", "mp3", song}));
    EXPECT_EQ(typeOf(song), "public.mp3");
}

// Small and cut files keep their family (a short MP3 is taken on a weak probe score because the
// whole file was read); what is no media is an image type, data, or nothing when it can't be read.
TEST(UTType, FilesOnDisk) {
    test::ScratchDirectory scratch;
    const std::string words = "A text file is not a movie, whatever its name.\n";
    test::writeFile(scratch.path() / "notes.mp3", {words.begin(), words.end()});
    test::writeFile(scratch.path() / "empty.mp4", {});
    std::filesystem::create_directory(scratch.path() / "folder.mov");
    const auto data = test::dataDir();
    const std::pair<std::filesystem::path, std::optional<std::string>> files[] = {
        {data / "media/tone.mp3", "public.mp3"},
        {data / "media/tone.aac", "public.aac-audio"},
        {data / "media/tone.wav", "com.microsoft.waveform-audio"},
        {data / "media/split.mp4", "public.mpeg-4"},
        {data / "media/split-with-sound.mov", "com.apple.quicktime-movie"},
        {data / "media/split.avi", "public.avi"},
        {data / "media/truncated-no-header.mp4", "public.mpeg-4"},
        {data / "media/garbage.mp4", "public.data"},
        {data / "images/jpeg-rgb.jpg", "public.jpeg"},
        {data / "images/heic-quad.heic", "public.heic"},
        {data / "images/gif-transparent.gif", "com.compuserve.gif"},
        {scratch.path() / "notes.mp3", "public.data"},
        {scratch.path() / "empty.mp4", "public.data"},
        {scratch.path() / "missing.mp4", std::nullopt},
        {scratch.path() / "folder.mov", std::nullopt},
    };
    for (const auto& [path, type] : files) EXPECT_EQ(typeOf(path), type) << path;
    EXPECT_EQ(NSURLTypeIdentifierForURL(*NSURL::URLWithString("http://example.com/movie.mp4")),
              std::nullopt);
}

// The conformance tree of macOS's declarations.
TEST(UTType, Conformance) {
    const std::vector<std::string> movies{
        "com.apple.quicktime-movie", "public.mpeg-4", "public.3gpp", "public.3gpp2", "public.avi",
        "com.apple.m4v-video"};
    for (const std::string& type : kSupportedTypes) {
        SCOPED_TRACE(type);
        const bool movie = std::find(movies.begin(), movies.end(), type) != movies.end();
        EXPECT_EQ(UTTypeConformsToType(type, "public.movie"), movie);
        EXPECT_EQ(UTTypeConformsToType(type, "public.audio"), !movie);
        for (const char* ancestor : {type.c_str(), "public.audiovisual-content", "public.content",
                                     "public.data", "public.item"})
            EXPECT_TRUE(UTTypeConformsToType(type, ancestor)) << ancestor;
        EXPECT_FALSE(UTTypeConformsToType(type, "public.image"));
        EXPECT_TRUE(isSupportedType(type));
    }
    const struct {
        const char *type, *ancestor;
        bool conforms;
    } pairs[] = {
        {"public.aiff-audio", "public.aifc-audio", true},
        {"public.aifc-audio", "public.aiff-audio", false},
        {"com.apple.m4v-video", "public.mpeg-4", true},
        {"com.apple.m4a-audio", "public.mpeg-4-audio", true},
        {"com.apple.mpeg-4-ringtone", "public.mpeg-4-audio", true},
        {"com.apple.protected-mpeg-4-audio-b", "com.apple.protected-mpeg-4-audio", true},
        // MPEG-4 audio is declared as audio only, not as an MPEG-4 movie.
        {"public.mpeg-4-audio", "public.mpeg-4", false},
        {"public.mpeg-4", "public.mpeg-4-audio", false},
        {"com.audible.aax-audiobook", "public.audio", true},
        {"public.png", "public.image", true},
        {"public.heic", "public.image", true},
        {"public.png", "public.data", true},
        {"public.png", "public.audiovisual-content", false},
        {"public.data", "public.movie", false},
        {"public.movie", "public.mpeg-4", false},
        // An undeclared identifier conforms to itself only.
        {"dyn.ah62d4rv4ge80c6dp", "dyn.ah62d4rv4ge80c6dp", true},
        {"dyn.ah62d4rv4ge80c6dp", "public.data", false},
    };
    for (const auto& pair : pairs)
        EXPECT_EQ(UTTypeConformsToType(pair.type, pair.ancestor), pair.conforms)
            << pair.type << " in " << pair.ancestor;
    // Audible files get the com.audible types, none of the supported list: not supported, as on a
    // Mac.
    for (const char* type :
         {"com.audible.aax-audiobook", "public.mpeg", "public.png", "public.data"})
        EXPECT_FALSE(isSupportedType(type)) << type;
    EXPECT_TRUE(isSupportedType("com.apple.protected-mpeg-4-audio-b"));
}

}  // namespace
