// Writing PNG: what the destination refuses, every image layout read back with the same pixels,
// the colour space kept, the text entries written as text chunks, and the output read by an
// independent decoder (Python's zlib, unfiltering by hand).

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CGColorSpace.h"
#include "CGImageDestination.h"
#include "ImageIOPrivate.h"
#include "ImageIOTestSupport.h"
#include "NSDictionary.h"
#include "NSNumber.h"
#include "NSString.h"

using namespace ImageIOTestSupport;

namespace {

std::vector<uint8_t> encode(const CGImageRef& image, const NSDictionary* properties = nullptr) {
    auto data = NSMutableData::data();
    const auto destination = CGImageDestinationCreateWithData(data, kUTTypePNG, 1, nullptr);
    CGImageDestinationAddImage(destination, image, properties);
    if (!CGImageDestinationFinalize(destination)) return {};
    return std::vector<uint8_t>(data->span().begin(), data->span().end());
}

bool hasChunk(const std::vector<uint8_t>& png, const char* type) {
    for (size_t i = 8; i + 8 <= png.size();) {
        if (std::memcmp(png.data() + i + 4, type, 4) == 0) return true;
        i += 12 + (size_t(png[i]) << 24 | size_t(png[i + 1]) << 16 | size_t(png[i + 2]) << 8 |
                   png[i + 3]);
    }
    return false;
}

CGImageRef imageOf(size_t width, size_t height, size_t bitsPerPixel, CGColorSpaceRef space,
                   CGBitmapInfo info, std::vector<uint8_t> bytes) {
    return CGImageCreate(width, height, 8, bitsPerPixel, width * bitsPerPixel / 8, std::move(space),
                         info, NSData::dataWithVector(std::move(bytes)));
}

// Pixel bytes following a pattern, valid when premultiplied; alpha at alphaOffset (or none), or
// opaque everywhere.
std::vector<uint8_t> pattern(size_t count, size_t bytesPerPixel, int alphaOffset,
                             bool premultiplied, bool opaque = false) {
    std::vector<uint8_t> bytes(count * bytesPerPixel);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t a = opaque ? 255 : uint8_t(i * 37 % 256);
        for (size_t c = 0; c < bytesPerPixel; ++c) {
            const uint8_t v = uint8_t((i * 71 + c * 29 + 3) % 256);
            bytes[i * bytesPerPixel + c] = int(c) == alphaOffset ? a
                                           : premultiplied       ? uint8_t(v * a / 255)
                                                                 : v;
        }
    }
    return bytes;
}

// An independent reader: checks the signature, every CRC and the final IEND, then prints the
// unfiltered pixel bytes and each text chunk (keyword and text in hex).
std::string independentReading(const std::vector<uint8_t>& png) {
    static const char* script = R"(
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
assert data[:8] == b'\x89PNG\r\n\x1a\n'
pos, idat, texts = 8, b'', []
while pos < len(data):
    length, kind = struct.unpack('>I4s', data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + length]
    assert zlib.crc32(kind + body) == struct.unpack('>I', data[pos + 8 + length:pos + 12 + length])[0]
    pos += 12 + length
    if kind == b'IHDR': w, h, depth, ctype = struct.unpack('>IIBB', body[:10])
    if kind == b'IDAT': idat += body
    if kind in (b'tEXt', b'iTXt'):
        key, _, text = body.partition(b'\0')
        if kind == b'iTXt':
            assert text[0] == 0
            text = text[2:].split(b'\0', 2)[2]
        texts.append('%s %s %s' % (kind.decode(), key.hex(), text.hex()))
assert kind == b'IEND' and depth == 8
bpp = {0: 1, 2: 3, 4: 2, 6: 4}[ctype]
raw, stride = zlib.decompress(idat), w * bpp
prev, out = bytearray(stride), []
for y in range(h):
    f, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = row[i - bpp] if i >= bpp else 0
        b, c = prev[i], prev[i - bpp] if i >= bpp else 0
        p = a + b - c
        pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
        row[i] = (row[i] + [0, a, b, (a + b) // 2, a if pa <= pb and pa <= pc else b if pb <= pc else c][f]) & 255
    out.append(row.hex())
    prev = row
print('\n'.join(['pixels ' + ''.join(out)] + texts))
)";
    test::ScratchDirectory scratch;
    test::writeFile(scratch.path() / "out.png", png);
    const auto result =
        test::run({VANTLER_PYTHON, "-c", script, (scratch.path() / "out.png").string()});
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    return result.standardOutput;
}

std::string hex(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes)
        out += "0123456789abcdef"[c >> 4], out += "0123456789abcdef"[c & 15];
    return out;
}

std::shared_ptr<NSString> string(const std::string& text) {
    return NSString::stringWithUTF8String(text);
}

}  // namespace

TEST(PNGWriter, DestinationRefusesWhatItCannotWrite) {
    auto data = NSMutableData::data();
    EXPECT_EQ(CGImageDestinationCreateWithData(nullptr, kUTTypePNG, 1, nullptr), nullptr);
    EXPECT_EQ(CGImageDestinationCreateWithData(data, kUTTypeJPEG, 1, nullptr), nullptr);
    EXPECT_EQ(CGImageDestinationCreateWithData(data, nullptr, 1, nullptr), nullptr);
    EXPECT_EQ(CGImageDestinationCreateWithData(data, kUTTypePNG, 0, nullptr), nullptr);
    const auto empty = CGImageDestinationCreateWithData(data, kUTTypePNG, 1, nullptr);
    ASSERT_NE(empty, nullptr);
    CGImageDestinationAddImage(empty, nullptr, nullptr);
    EXPECT_FALSE(CGImageDestinationFinalize(empty));
    EXPECT_EQ(data->length(), 0u);
    const auto one = CGImageDestinationCreateWithData(data, kUTTypePNG, 1, nullptr);
    CGImageDestinationAddImage(one, decodeFile("rgb-8.png"), nullptr);
    CGImageDestinationAddImage(one, decodeFile("grey-8.png"), nullptr);  // beyond the count
    EXPECT_TRUE(CGImageDestinationFinalize(one));
    EXPECT_FALSE(CGImageDestinationFinalize(one));  // only once
    EXPECT_EQ(CGImageGetBitsPerPixel(decodeBytes({data->span().begin(), data->span().end()})), 24u);
    EXPECT_FALSE(CGImageDestinationFinalize(nullptr));
}

// Every layout reads back with the same straight pixels (a transparent pixel's premultiplied
// colour is lost); an alpha that is opaque everywhere is not written.
TEST(PNGWriter, RoundTripsEveryLayout) {
    const auto rgb = CGColorSpaceCreateDeviceRGB(), grey = CGColorSpaceCreateDeviceGray();
    struct Case {
        size_t bitsPerPixel;
        CGColorSpaceRef space;
        CGBitmapInfo info;
        int alphaOffset;  // in memory, or −1
        bool premultiplied;
    };
    const Case cases[] = {
        {24, rgb, kCGImageAlphaNone, -1, false},
        {32, rgb, kCGImageAlphaLast, 3, false},
        {32, rgb, kCGImageAlphaFirst, 0, false},
        {32, rgb, kCGImageAlphaPremultipliedFirst, 0, true},
        {32, rgb, kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, 3, true},
        {32, rgb, kCGImageAlphaPremultipliedLast, 3, true},
        {32, rgb, kCGImageAlphaPremultipliedLast | kCGBitmapByteOrder32Little, 0, true},
        {32, rgb, kCGImageAlphaNoneSkipFirst, -1, false},
        {32, rgb, kCGImageAlphaNoneSkipLast | kCGBitmapByteOrder32Little, -1, false},
        {8, grey, kCGImageAlphaNone, -1, false},
        {16, grey, kCGImageAlphaLast, 1, false},
        {16, grey, kCGImageAlphaPremultipliedFirst, 0, true},
        {16, grey, kCGImageAlphaNoneSkipLast, -1, false},
        {8, nullptr, kCGImageAlphaOnly, 0, false},
    };
    const size_t width = 7, height = 4;
    for (const auto& c : cases)
        for (bool opaque : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.bitsPerPixel << " bpp, info " << c.info
                                            << (opaque ? ", opaque" : ""));
            if (opaque && (c.alphaOffset < 0 || !c.space)) continue;
            const CGImageRef image = imageOf(width, height, c.bitsPerPixel, c.space, c.info,
                                             pattern(width * height, c.bitsPerPixel / 8,
                                                     c.alphaOffset, c.premultiplied, opaque));
            ASSERT_NE(image, nullptr);
            const auto png = encode(image);
            EXPECT_TRUE(hasChunk(png, "sRGB"));
            const CGImageRef back = decodeBytes(png);
            ASSERT_NE(back, nullptr);
            EXPECT_EQ(CGImageGetWidth(back), width);
            const bool withAlpha = c.alphaOffset >= 0 && !opaque;
            EXPECT_EQ(CGImageGetAlphaInfo(back), withAlpha ? kCGImageAlphaLast : kCGImageAlphaNone);
            EXPECT_EQ(CGImageGetBitsPerPixel(back),
                      !c.space ? 32u : (c.space == rgb ? 24u : 8u) + (withAlpha ? 8 : 0));
            for (size_t y = 0; y < height; ++y)
                for (size_t x = 0; x < width; ++x) {
                    const auto want = straight(image, x, y), got = straight(back, x, y);
                    const uint32_t a = uint32_t(want.back());
                    ASSERT_EQ(got.back(), want.back()) << x << ", " << y;
                    for (size_t i = 0; i + 1 < want.size(); ++i)
                        EXPECT_EQ(CoreGraphicsPrivate::premultiply(uint32_t(got[i]), a),
                                  CoreGraphicsPrivate::premultiply(uint32_t(want[i]), a))
                            << x << ", " << y;
                }
        }
}

// A named space's profile goes into an iCCP chunk and reads back as the identical named space; a
// space made from profile bytes keeps those bytes.
TEST(PNGWriter, KeepsTheColourSpace) {
    for (const char* name : {kCGColorSpaceDisplayP3, kCGColorSpaceGenericGrayGamma2_2}) {
        SCOPED_TRACE(name);
        const auto space = CGColorSpaceCreateWithName(name);
        const size_t components = CGColorSpaceGetNumberOfComponents(space);
        const auto png = encode(imageOf(3, 2, 8 * components, space, kCGImageAlphaNone,
                                        pattern(6, components, -1, false)));
        EXPECT_TRUE(hasChunk(png, "iCCP"));
        EXPECT_FALSE(hasChunk(png, "sRGB"));
        ASSERT_NE(decodeBytes(png), nullptr);
        EXPECT_EQ(CGImageGetColorSpace(decodeBytes(png)), space);
    }
    const auto profile = fileBytes("DisplayP3-test.icc");
    const auto back = decodeBytes(encode(imageOf(3, 2, 24, CGColorSpaceCreateWithICCData(profile),
                                                 kCGImageAlphaNone, pattern(6, 3, -1, false))));
    ASSERT_NE(back, nullptr);
    const auto bytes = CGColorSpaceCopyICCData(CGImageGetColorSpace(back));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(bytes->span().begin(), bytes->span().end()), profile);
}

// The settings can be chosen (for the benchmark); every level and filter gives the same pixels,
// and an independent decoder reads them too.
TEST(PNGWriter, OutputIsStandardPNGWhateverTheSettings) {
    const CGImageRef image = decodeFile("rgba-8.png");
    const auto a = CGImageGetBytes(image);
    for (int level : {0, 1, 6, 9})
        for (int filters : {0x08, 0x10, 0x20, 0x40, 0x80, 0xF8}) {
            SCOPED_TRACE(testing::Message() << "level " << level << ", filters " << filters);
            std::vector<uint8_t> png;
            ASSERT_TRUE(ImageIOPrivate::encodePNG(image, {level, filters, 0}, png));
            const CGImageRef back = decodeBytes(png);
            ASSERT_NE(back, nullptr);
            const auto b = CGImageGetBytes(back);
            EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()));
            if (level == 9) {
                EXPECT_EQ(
                    independentReading(png),
                    "pixels " + hex({reinterpret_cast<const char*>(a.data()), a.size()}) + "\n");
            }
        }
}

// Text entries are written in order, as tEXt, or iTXt (UTF-8) when not Latin-1-safe ASCII; keywords
// PNG cannot hold and values that are not strings are left out; other shapes write no text.
TEST(PNGWriter, TextEntriesBecomeTextChunks) {
    const CGImageRef image = imageOf(4, 2, 24, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNone,
                                     std::vector<uint8_t>(24, 0x80));
    const auto inPNG = [](std::shared_ptr<NSObject> entries) {
        return NSDictionary::dictionaryWithEntries(
            {{string(kCGImagePropertyPNGDictionary),
              NSDictionary::dictionaryWithEntries(
                  {{string(kCGImagePropertyPNGTextEntries), std::move(entries)}})}});
    };
    const std::string longest(79, 'k'), cafe = "Caf\xC3\xA9 \xE2\x80\x94 1";
    const auto entries = NSDictionary::dictionaryWithEntries({
        {string("Thumb::Image::Width"), string("800")},
        {string(""), string("empty keyword")},
        {string(std::string(80, 'k')), string("80 characters")},
        {string(longest), string("79 characters")},
        {string(" Lead"), string("leading space")},
        {string("Trail "), string("trailing space")},
        {string("Two  Spaces"), string("double space")},
        {string("One Space"), string("single space")},
        {string("Caf\xC3\xA9"), string("non-ASCII keyword")},
        {string("Tab\there"), string("control character")},
        {string("Nul"), string(std::string("a\0b", 3))},
        {string("Number"), NSNumber::numberWithInteger(3)},
        {NSNumber::numberWithInteger(4), string("number keyword")},
        {string("Title"), string(cafe)},
        {string("Empty text"), string("")},
    });
    const auto pixels = "pixels " + hex(std::string(24, '\x80')) + "\n";
    EXPECT_EQ(independentReading(encode(image, inPNG(entries).get())),
              pixels + "tEXt " + hex("Thumb::Image::Width") + " " + hex("800") + "\ntEXt " +
                  hex(longest) + " " + hex("79 characters") + "\ntEXt " + hex("One Space") + " " +
                  hex("single space") + "\niTXt " + hex("Title") + " " + hex(cafe) + "\ntEXt " +
                  hex("Empty text") + " \n");
    const std::shared_ptr<NSDictionary> shapes[] = {
        nullptr,
        NSDictionary::dictionaryWithEntries(
            {{string(kCGImagePropertyPNGDictionary), string("TextEntries")}}),
        inPNG(string("Title")),
        NSDictionary::dictionaryWithEntries(
            {{string(kCGImagePropertyPNGTextEntries),
              NSDictionary::dictionaryWithEntries({{string("Title"), string("x")}})}}),
    };
    for (const auto& properties : shapes)
        EXPECT_EQ(independentReading(encode(image, properties.get())), pixels);
}
