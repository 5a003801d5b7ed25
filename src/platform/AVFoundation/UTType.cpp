// Uniform type identifiers of media files (UTType.h). On a Mac the type comes from the file name's
// extension alone; here the content decides the family (so a PNG named x.mp4 is an image, garbage
// named x.mp4 is data), and within a container shared by several types the extension decides as on
// a Mac, else the content's own marks (a brand, a form type, a layer).

#include "UTType.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "AVFoundationLimits.h"
#include "CGImageSource.h"
#include "MediaModule.h"
#include "NSData.h"

using namespace AVFoundationPrivate;

namespace {

// ---- Declarations: each type's parents and file name extensions, as macOS's CoreTypes bundle
// declares them (UTExportedTypeDeclarations; Apple's UTType documentation agrees, except that it
// describes public.mpeg-4-audio as conforming to public.mpeg-4 too: the system's declaration
// names public.audio only). Types other bundles declare are marked.
struct TypeDeclaration {
    std::string_view identifier;
    std::vector<std::string_view> conformsTo;
    std::vector<std::string_view> extensions;
};

const std::vector<TypeDeclaration>& declarations() {
    static const std::vector<TypeDeclaration> table{
        {"public.item", {}, {}},
        {"public.content", {}, {}},
        {"public.data", {"public.item"}, {}},
        {"public.audiovisual-content", {"public.data", "public.content"}, {}},
        {"public.movie", {"public.audiovisual-content"}, {}},
        {"public.video", {"public.movie"}, {}},
        {"public.audio", {"public.audiovisual-content"}, {}},
        // Movies.
        {"com.apple.quicktime-movie", {"public.movie"}, {"mov", "qt"}},
        {"public.mpeg-4", {"public.movie"}, {"mp4", "mpg4"}},
        {"com.apple.m4v-video", {"public.mpeg-4"}, {"m4v"}},
        {"public.3gpp", {"public.movie"}, {"3gp", "3gpp", "sdv"}},
        {"public.3gpp2", {"public.movie"}, {"3g2", "3gp2"}},
        {"public.avi", {"public.movie"}, {"avi", "vfw"}},
        {"public.mpeg", {"public.movie"}, {"mpg", "mpeg", "mpe", "m75", "m15"}},
        {"public.mpeg-2-transport-stream", {"public.movie"}, {"ts"}},
        // Audio.
        {"public.mpeg-4-audio", {"public.audio"}, {}},
        {"com.apple.m4a-audio", {"public.mpeg-4-audio"}, {"m4a"}},
        // Declared with the .m4r extension by the Music app.
        {"com.apple.mpeg-4-ringtone", {"public.mpeg-4-audio"}, {"m4r"}},
        {"com.apple.protected-mpeg-4-audio", {"public.audio"}, {"m4p"}},
        {"com.apple.protected-mpeg-4-audio-b", {"com.apple.protected-mpeg-4-audio"}, {"m4b"}},
        {"public.aac-audio", {"public.audio"}, {"aac", "adts"}},
        {"public.aifc-audio", {"public.audio"}, {"aifc"}},
        {"public.aiff-audio", {"public.aifc-audio"}, {"aiff", "aif"}},
        {"com.microsoft.waveform-audio", {"public.audio"}, {"wav", "wave"}},
        {"public.mp2", {"public.audio"}, {"mp2"}},
        {"public.mp3", {"public.audio"}, {"mp3", "mpga"}},
        {"public.au-audio", {"public.audio"}, {"au", "snd"}},
        {"public.ac3-audio", {"public.audio"}, {"ac3"}},
        {"public.enhanced-ac3-audio", {"public.audio"}, {"eac3", "ec3"}},
        {"com.audible.aa-audio", {"public.audio"}, {}},
        {"com.audible.aa-audiobook", {"com.audible.aa-audio"}, {"aa"}},
        {"com.audible.aax-audiobook", {"com.audible.aa-audio"}, {"aax"}},
        // Named in AVFoundation's list of audiovisual types (so among the supported ones) but
        // declared by no system bundle; Audible files have the com.audible types above, so no file
        // has this.
        {"com.apple.itunes.audible", {"public.audio"}, {}},
        // Stills (the types ImageIO's reader gives).
        {"public.image", {"public.data", "public.content"}, {}},
        {"public.png", {"public.image"}, {"png"}},
        {"public.jpeg", {"public.image"}, {"jpeg", "jpg"}},
        {"com.compuserve.gif", {"public.image"}, {"gif"}},
        {"public.tiff", {"public.image"}, {"tiff", "tif"}},
        {"org.webmproject.webp", {"public.image"}, {"webp"}},
        {"public.heif-standard", {"public.image"}, {}},
        {"public.heic", {"public.heif-standard"}, {"heic"}},
        {"public.avif", {"public.image"}, {"avif"}},
    };
    return table;
}

const TypeDeclaration* declarationOf(std::string_view identifier) {
    for (const TypeDeclaration& declaration : declarations())
        if (declaration.identifier == identifier) return &declaration;
    return nullptr;
}

// The declared type whose extensions include `extension` (lower case), or empty.
std::string_view typeForExtension(std::string_view extension) {
    for (const TypeDeclaration& declaration : declarations())
        for (std::string_view candidate : declaration.extensions)
            if (candidate == extension) return declaration.identifier;
    return {};
}

// ---- Reading the head of the file.
// Bytes of the file from an offset.
struct Bytes {
    std::vector<uint8_t> data;
    bool toTheEnd = false;  // whether they reach the end of the file
};

// At most `count` bytes from `offset`; false when the file cannot be read.
bool readAt(int descriptor, uint64_t offset, size_t count, Bytes* bytes) {
    bytes->data.assign(count, 0);
    size_t total = 0;
    while (total < count) {
        const ssize_t got =
            pread(descriptor, bytes->data.data() + total, count - total, off_t(offset + total));
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) break;
        total += size_t(got);
    }
    bytes->data.resize(total);
    bytes->toTheEnd = total < count;
    return true;
}

// The length of an ID3v2 tag at the start of `head` (header, syncsafe size, optional footer), or 0.
uint64_t id3TagLength(std::span<const uint8_t> head) {
    if (head.size() < 10 || std::memcmp(head.data(), "ID3", 3) != 0) return 0;
    uint64_t size = 0;
    for (size_t i = 6; i < 10; ++i) {
        if (head[i] & 0x80) return 0;  // not syncsafe: no tag
        size = size << 7 | head[i];
    }
    const bool footer = (head[5] & 0x10) != 0;
    return 10 + size + (footer ? 10 : 0);
}

// What the type of a file in a shared container follows when its extension names no member.
struct Content {
    std::span<const uint8_t> bytes;  // from the media's start (after an ID3 tag)
    const std::string& path;
    const MediaModule& media;
};

bool fourCharacterCodeIs(std::span<const uint8_t> bytes, size_t offset, const char* code) {
    return bytes.size() >= offset + 4 && std::memcmp(bytes.data() + offset, code, 4) == 0;
}

// ISO base media and QuickTime files: the major brand of the "ftyp" box.
std::string_view typeOfBrand(const Content& content) {
    if (!fourCharacterCodeIs(content.bytes, 4, "ftyp"))
        return "com.apple.quicktime-movie";  // QuickTime before "ftyp"
    const auto brandIs = [&](const char* brand) {
        return fourCharacterCodeIs(content.bytes, 8, brand);
    };
    if (brandIs("qt  ")) return "com.apple.quicktime-movie";
    if (brandIs("M4V ") || brandIs("M4VH") || brandIs("M4VP")) return "com.apple.m4v-video";
    if (brandIs("M4A ")) return "com.apple.m4a-audio";
    if (brandIs("M4B ")) return "com.apple.protected-mpeg-4-audio-b";
    if (brandIs("M4P ")) return "com.apple.protected-mpeg-4-audio";
    if (brandIs("aax ")) return "com.audible.aax-audiobook";
    if (content.bytes.size() >= 11 && std::memcmp(content.bytes.data() + 8, "3gp", 3) == 0)
        return "public.3gpp";
    if (content.bytes.size() >= 11 && std::memcmp(content.bytes.data() + 8, "3g2", 3) == 0)
        return "public.3gpp2";
    // A generic brand (isom, mp42, ...): a movie when it has a video track, else MPEG-4 audio.
    const MediaFileFacts facts = content.media.factsOfFile(content.path);
    const auto isVideoTrack = [](const MediaStreamFacts& stream) {
        return stream.kind == MediaStreamKind::videoTrack;
    };
    if (!facts.streams.empty() &&
        std::none_of(facts.streams.begin(), facts.streams.end(), isVideoTrack))
        return "public.mpeg-4-audio";
    return "public.mpeg-4";
}

// AIFF files: the form type ("AIFF", or "AIFC" for compressed and newer files).
std::string_view typeOfForm(const Content& content) {
    return fourCharacterCodeIs(content.bytes, 8, "AIFC") ? "public.aifc-audio"
                                                         : "public.aiff-audio";
}

// MPEG audio: the layer of the first frame header (layer II is MP2; layer III, and anything
// unclear, MP3).
std::string_view typeOfLayer(const Content& content) {
    const auto& bytes = content.bytes;
    const bool frameHeader = bytes.size() >= 2 && bytes[0] == 0xFF && (bytes[1] & 0xE0) == 0xE0;
    return frameHeader && ((bytes[1] >> 1) & 3) == 2 ? "public.mp2" : "public.mp3";
}

// FFmpeg's demuxers of audiovisual types and their types. Where a container is shared, the types
// a name's extension may choose among, and the type of the content otherwise.
struct MediaFamily {
    const char* demuxer;
    std::string_view type;  // the one type of an unshared container
    std::vector<std::string_view> members = {};
    std::string_view (*typeOfContent)(const Content&) = nullptr;
};

const std::vector<MediaFamily>& mediaFamilies() {
    static const std::vector<MediaFamily> families{
        {"mov",
         {},
         {"com.apple.quicktime-movie", "public.mpeg-4", "com.apple.m4v-video", "public.3gpp",
          "public.3gpp2", "com.apple.m4a-audio", "com.apple.mpeg-4-ringtone",
          "com.apple.protected-mpeg-4-audio", "com.apple.protected-mpeg-4-audio-b",
          "com.audible.aax-audiobook"},
         typeOfBrand},
        {"aiff", {}, {"public.aiff-audio", "public.aifc-audio"}, typeOfForm},
        {"mp3", {}, {"public.mp2", "public.mp3"}, typeOfLayer},
        {"avi", "public.avi"},
        {"aac", "public.aac-audio"},
        {"wav", "com.microsoft.waveform-audio"},
        {"au", "public.au-audio"},
        {"ac3", "public.ac3-audio"},
        {"eac3", "public.enhanced-ac3-audio"},
        {"aa", "com.audible.aa-audiobook"},
        {"mpeg", "public.mpeg"},
        {"mpegts", "public.mpeg-2-transport-stream"},
    };
    return families;
}

// Whether FFmpeg's comma-separated list of a demuxer's names holds `name`.
bool namesInclude(std::string_view names, std::string_view name) {
    for (;;) {
        const size_t comma = names.find(',');
        if (names.substr(0, comma) == name) return true;
        if (comma == std::string_view::npos) return false;
        names.remove_prefix(comma + 1);
    }
}

std::string lowerCaseExtension(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return extension;
}

struct DescriptorClose {
    int descriptor;
    ~DescriptorClose() { close(descriptor); }
};

}  // namespace

std::optional<std::string> NSURLTypeIdentifierForURL(const NSURL& url) {
    if (!url.isFileURL()) return std::nullopt;
    const std::string path = url.path();
    // Non-blocking, so that a named pipe handed over as a file cannot stall the caller.
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) return std::nullopt;
    const DescriptorClose closer{descriptor};
    struct stat status;
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;

    Bytes head;
    if (!readAt(descriptor, 0, AVFoundationLimits::kTypeProbeBytes, &head)) return std::nullopt;
    if (head.data.empty()) return "public.data";

    const auto stillType = CGImageSourceGetType(CGImageSourceCreateWithData(
        NSData::dataWithBytes_length(head.data.data(), head.data.size()), nullptr));
    if (stillType) return stillType;

    // MP3 and AAC files may start with an ID3 tag larger than the head (cover art): the media
    // starts after it.
    Bytes media;
    if (const uint64_t tagLength = id3TagLength(head.data)) {
        if (!readAt(descriptor, tagLength, AVFoundationLimits::kTypeProbeBytes, &media))
            return std::nullopt;
    } else {
        media = std::move(head);
    }

    // Without the media module no content is recognised as media.
    const MediaModule* module = mediaModule();
    const char* demuxerNames =
        module ? module->probedDemuxerNames(media.data, media.toTheEnd) : nullptr;
    if (!demuxerNames) return "public.data";
    for (const MediaFamily& family : mediaFamilies()) {
        if (!namesInclude(demuxerNames, family.demuxer)) continue;
        if (!family.typeOfContent) return std::string(family.type);
        const std::string_view byExtension = typeForExtension(lowerCaseExtension(path));
        if (std::find(family.members.begin(), family.members.end(), byExtension) !=
            family.members.end())
            return std::string(byExtension);
        const Content content{media.data, path, *module};
        return std::string(family.typeOfContent(content));
    }
    return "public.data";
}

bool UTTypeConformsToType(const std::string& type, const std::string& conformsTo) {
    if (type == conformsTo) return true;
    // Walk up the declared parents; the declarations form no cycle, and each type is visited once.
    std::vector<std::string_view> pending{type}, visited;
    while (!pending.empty()) {
        const std::string_view current = pending.back();
        pending.pop_back();
        if (std::find(visited.begin(), visited.end(), current) != visited.end()) continue;
        visited.push_back(current);
        const TypeDeclaration* declaration = declarationOf(current);
        if (!declaration) continue;
        for (std::string_view parent : declaration->conformsTo) {
            if (parent == conformsTo) return true;
            pending.push_back(parent);
        }
    }
    return false;
}
