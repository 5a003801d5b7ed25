// The PNG writer's text chunks (CGImageDestination.h, kCGImagePropertyPNGTextEntries), read back
// by an independent chunk reader (PNGTextChunks.h).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CGColorSpace.h"
#include "CGImage.h"
#include "CGImageDestination.h"
#include "CGImageSource.h"
#include "NSData.h"
#include "NSDictionary.h"
#include "NSNumber.h"
#include "NSString.h"
#include "PNGTextChunks.h"

namespace {

using png_text::Chunk;

// A 4 × 2 opaque grey RGB image.
CGImageRef smallImage() {
    return CGImageCreate(4, 2, 8, 24, 12, CGColorSpaceCreateDeviceRGB(), kCGImageAlphaNone,
                         NSData::dataWithVector(std::vector<uint8_t>(24, 0x80)));
}

std::shared_ptr<NSString> string(const std::string& text) {
    return NSString::stringWithUTF8String(text);
}

// {"{PNG}": {"TextEntries": entries}}
std::shared_ptr<NSDictionary> textProperties(std::vector<NSDictionary::Entry> entries) {
    const auto png = NSDictionary::dictionaryWithEntries(
        {{string(kCGImagePropertyPNGTextEntries),
          NSDictionary::dictionaryWithEntries(std::move(entries))}});
    return NSDictionary::dictionaryWithEntries({{string(kCGImagePropertyPNGDictionary), png}});
}

std::vector<uint8_t> encode(const NSDictionary* properties) {
    auto data = NSMutableData::data();
    const auto destination = CGImageDestinationCreateWithData(data, kUTTypePNG, 1, nullptr);
    CGImageDestinationAddImage(destination, smallImage(), properties);
    if (!CGImageDestinationFinalize(destination)) return {};
    return std::vector<uint8_t>(data->span().begin(), data->span().end());
}

std::vector<Chunk> chunksOf(const std::vector<uint8_t>& png) {
    const auto chunks = png_text::textChunks(png);
    EXPECT_TRUE(chunks.has_value()) << "not a well-formed PNG chunk list";
    return chunks.value_or(std::vector<Chunk>{});
}

// The image decodes again: libpng accepted every chunk written.
void expectDecodes(const std::vector<uint8_t>& png) {
    const auto source =
        CGImageSourceCreateWithData(NSData::dataWithBytes_length(png.data(), png.size()), nullptr);
    const CGImageRef image = CGImageSourceCreateImageAtIndex(source, 0, nullptr);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(CGImageGetWidth(image), 4u);
    EXPECT_EQ(CGImageGetHeight(image), 2u);
}

}  // namespace

TEST(Part3_3_PNGTextEntries, WrittenInOrderAsTextChunks) {
    const auto properties = textProperties({{string("Thumb::Image::Width"), string("800")},
                                            {string("Thumb::Image::Height"), string("400")},
                                            {string("Software"), string("vantler")}});
    const auto png = encode(properties.get());
    const std::vector<Chunk> expected{{"tEXt", "Thumb::Image::Width", "800"},
                                      {"tEXt", "Thumb::Image::Height", "400"},
                                      {"tEXt", "Software", "vantler"}};
    EXPECT_EQ(chunksOf(png), expected);
    expectDecodes(png);
}

TEST(Part3_3_PNGTextEntries, NonASCIITextIsUTF8InITXt) {
    const auto properties =
        textProperties({{string("Title"), string("Caf\xC3\xA9 \xE2\x80\x94 1")}});
    const auto png = encode(properties.get());
    const std::vector<Chunk> expected{{"iTXt", "Title", "Caf\xC3\xA9 \xE2\x80\x94 1"}};
    EXPECT_EQ(chunksOf(png), expected);
    expectDecodes(png);
}

TEST(Part3_3_PNGTextEntries, UnwritableEntriesAreLeftOut) {
    const std::string longest(79, 'k');
    const auto properties = textProperties({
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
        {string("Empty text"), string("")},
    });
    const auto png = encode(properties.get());
    const std::vector<Chunk> expected{{"tEXt", longest, "79 characters"},
                                      {"tEXt", "One Space", "single space"},
                                      {"tEXt", "Empty text", ""}};
    EXPECT_EQ(chunksOf(png), expected);
    expectDecodes(png);
}

TEST(Part3_3_PNGTextEntries, OtherShapesWriteNoText) {
    EXPECT_EQ(chunksOf(encode(nullptr)), std::vector<Chunk>{});
    // The PNG dictionary as a string, the entries as a string, entries at the top level.
    const auto pngNotDictionary = NSDictionary::dictionaryWithEntries(
        {{string(kCGImagePropertyPNGDictionary), string("TextEntries")}});
    EXPECT_EQ(chunksOf(encode(pngNotDictionary.get())), std::vector<Chunk>{});
    const auto entriesNotDictionary = NSDictionary::dictionaryWithEntries(
        {{string(kCGImagePropertyPNGDictionary),
          NSDictionary::dictionaryWithEntries(
              {{string(kCGImagePropertyPNGTextEntries), string("Title")}})}});
    EXPECT_EQ(chunksOf(encode(entriesNotDictionary.get())), std::vector<Chunk>{});
    const auto topLevel = NSDictionary::dictionaryWithEntries(
        {{string(kCGImagePropertyPNGTextEntries),
          NSDictionary::dictionaryWithEntries({{string("Title"), string("x")}})}});
    EXPECT_EQ(chunksOf(encode(topLevel.get())), std::vector<Chunk>{});
}
