// Type identifiers of media files and their conformance: the content decides the family and, where
// a container is shared, the extension or the content's own marks decide the name within it.

#include <gtest/gtest.h>

#include <optional>

#include "MediaTestSupport.h"
#include "UTType.h"

using namespace MediaTestSupport;

namespace {

std::optional<std::string> typeOf(const std::filesystem::path& path) {
    return NSURLTypeIdentifierForURL(*NSURL::fileURLWithPath(path.string()));
}

// By the usual extension, then by content alone. Not made: Audible files, which FFmpeg cannot
// write.
TEST(UTType, MediaFilesMadeHere) {
    const auto video = splitVideo("mpeg4"), h263 = splitVideo("h263", 128, 96);
    const auto aac = tone("aac"), alaw = tone("pcm_alaw"), mp2 = tone("mp2");
    const Arguments mp4{"-f", "mp4"}, ipod{"-f", "ipod"}, aiff{"-f", "aiff"};
    // clang-format off
    const std::tuple<const char*, Arguments, const char*> files[] = {
        {"sound.m4r", aac + ipod, "com.apple.mpeg-4-ringtone"},
        {"sound.ac3", tone("ac3"), "public.ac3-audio"},
        {"sound.media", aac + mp4, "public.mpeg-4-audio"},
        {"brand-qt.bin", video + Arguments{"-f", "mov"}, "com.apple.quicktime-movie"},
        {"brand-m4v.bin", video + mp4 + Arguments{"-brand", "M4V "}, "com.apple.m4v-video"},
        {"brand-3gp.bin", h263 + Arguments{"-f", "3gp"}, "public.3gpp"},
        {"brand-3g2.bin", h263 + Arguments{"-f", "3g2"}, "public.3gpp2"},
        {"brand-m4a.bin", aac + ipod, "com.apple.m4a-audio"},
        {"brand-m4b", aac + mp4 + Arguments{"-brand", "M4B "}, "com.apple.protected-mpeg-4-audio-b"},
        {"movie-named.m4a", video + mp4, "com.apple.m4a-audio"},
        {"audio-named.mp4", aac + mp4, "public.mpeg-4"},
        {"form-aifc.bin", alaw + aiff, "public.aifc-audio"},
        {"compressed.aiff", alaw + aiff, "public.aiff-audio"},
        {"layer2.bin", mp2 + Arguments{"-f", "mp2"}, "public.mp2"},
        {"layer2-named.mp3", mp2 + Arguments{"-f", "mp2"}, "public.mp3"},
        {"wave-named.mp3", tone("pcm_s16le") + Arguments{"-f", "wav"}, "com.microsoft.waveform-audio"},
        {"image-named.mp4", {"-f", "lavfi", "-i", "color", "-frames:v", "1", "-f", "image2", "-c:v", "png"}, "public.png"}};
    // clang-format on
    test::ScratchDirectory scratch;
    for (const auto& [name, arguments, type] : files)
        EXPECT_EQ(typeOf(made(scratch, name, arguments)), type) << name;
}

// Small and cut files keep their family (a short MP3 is taken on a weak probe score because the
// whole file was read); what is no media is an image type, data, or nothing when it can't be read.
TEST(UTType, FilesOnDisk) {
    test::ScratchDirectory scratch;
    test::writeFile(scratch.path() / "notes.mp3", {'n', 'o', 't', 'e', 's', '\n'});
    test::writeFile(scratch.path() / "empty.mp4", {});
    std::filesystem::create_directory(scratch.path() / "folder.mov");
    const auto media = test::dataDir() / "media", images = test::dataDir() / "images";
    // clang-format off
    const std::pair<std::filesystem::path, std::optional<std::string>> files[] = {
        {media / "tone.mp3", "public.mp3"}, {media / "tone.aac", "public.aac-audio"},
        {media / "tone.wav", "com.microsoft.waveform-audio"}, {media / "split.avi", "public.avi"},
        {media / "split-with-sound.mov", "com.apple.quicktime-movie"}, {media / "truncated-no-header.mp4", "public.mpeg-4"},
        {media / "garbage.mp4", "public.data"}, {images / "jpeg-rgb.jpg", "public.jpeg"},
        {images / "heic-quad.heic", "public.heic"}, {scratch.path() / "notes.mp3", "public.data"},
        {scratch.path() / "empty.mp4", "public.data"}, {scratch.path() / "missing.mp4", std::nullopt},
        {scratch.path() / "folder.mov", std::nullopt}};
    // clang-format on
    for (const auto& [path, type] : files) EXPECT_EQ(typeOf(path), type) << path;
    EXPECT_EQ(NSURLTypeIdentifierForURL(*NSURL::URLWithString("http://example.com/movie.mp4")),
              std::nullopt);
}

// The conformance tree of macOS's declarations; an undeclared identifier conforms to itself only.
TEST(UTType, Conformance) {
    // clang-format off
    const std::tuple<const char*, const char*, bool> pairs[] = {
        {"com.apple.m4v-video", "public.mpeg-4", true}, {"public.aiff-audio", "public.aifc-audio", true},
        {"public.aifc-audio", "public.aiff-audio", false}, {"public.heic", "public.audiovisual-content", false},
        {"com.apple.protected-mpeg-4-audio-b", "public.audio", true}, {"public.mpeg-4-audio", "public.mpeg-4", false},
        {"dyn.ah62d4rv4ge80c6dp", "dyn.ah62d4rv4ge80c6dp", true}, {"dyn.ah62d4rv4ge80c6dp", "public.data", false}};
    // clang-format on
    for (const auto& [type, ancestor, conforms] : pairs)
        EXPECT_EQ(UTTypeConformsToType(type, ancestor), conforms) << type << " in " << ancestor;
}

}  // namespace
