#pragma once
// The text chunks of a PNG file read independently of libpng, each chunk's CRC checked.

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace png_text {

struct Chunk {
    std::string type;  // "tEXt" or "iTXt"
    std::string keyword;
    std::string text;
    bool operator==(const Chunk&) const = default;
};

// Bit by bit, as the PNG standard's sample code defines it.
inline uint32_t crc32(const uint8_t* bytes, size_t length) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) {
        c ^= bytes[i];
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return c ^ 0xFFFFFFFFu;
}

inline uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The text chunks in file order; none when the file is not a well-formed chunk list (bad
// signature, a chunk past the end, a wrong CRC, no IEND at the end, a malformed text chunk).
inline std::optional<std::vector<Chunk>> textChunks(const std::vector<uint8_t>& png) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0) return std::nullopt;
    std::vector<Chunk> chunks;
    size_t i = 8;
    while (i + 12 <= png.size()) {
        const size_t length = bigEndian32(png.data() + i);
        if (length > png.size() - i - 12) return std::nullopt;
        const std::string type(reinterpret_cast<const char*>(png.data() + i + 4), 4);
        const uint8_t* data = png.data() + i + 8;
        if (crc32(png.data() + i + 4, length + 4) != bigEndian32(data + length))
            return std::nullopt;
        i += 12 + length;
        if (type == "IEND") return i == png.size() ? std::optional(chunks) : std::nullopt;
        if (type != "tEXt" && type != "iTXt") continue;
        const std::string body(reinterpret_cast<const char*>(data), length);
        const size_t end = body.find('\0');
        if (end == std::string::npos) return std::nullopt;
        std::string text = body.substr(end + 1);
        if (type == "iTXt") {
            // compression flag, method, language tag NUL, translated keyword NUL, text
            if (text.size() < 2 || text[0] != 0) return std::nullopt;
            const size_t language = text.find('\0', 2);
            if (language == std::string::npos) return std::nullopt;
            const size_t translated = text.find('\0', language + 1);
            if (translated == std::string::npos) return std::nullopt;
            text = text.substr(translated + 1);
        }
        chunks.push_back({type, body.substr(0, end), text});
    }
    return std::nullopt;
}

}  // namespace png_text
