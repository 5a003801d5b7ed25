// Part 1.1: thumbnail and preview requests, run through the real generator plug-in loaded by the
// QuickLook host (Part 1.2), with documents written as the design tool writes them.

#include <gtest/gtest.h>

#include <array>
#include <thread>

#include "CGImageToData.h"
#include "QLGeneratorHost.h"
#include "DocumentShapes.h"
#include "TestSupport.h"

namespace {

using document_shapes::Document;
using RGBA = std::array<uint8_t, 4>;

constexpr RGBA kClear{0, 0, 0, 0};
constexpr RGBA kRed{255, 0, 0, 255};
constexpr RGBA kBlue{0, 0, 255, 255};

std::shared_ptr<QLGeneratorHost> generator() {
    std::string error;
    auto host = QLGeneratorHost::hostWithPath_error(VANTLER_GENERATOR_PLUGIN, &error);
    EXPECT_NE(host, nullptr) << error;
    return host;
}

// A document file in a scratch folder.
class DocumentFile {
public:
    explicit DocumentFile(const Document& document) : DocumentFile(bytesOf(document_shapes::make(document))) {}
    explicit DocumentFile(const std::vector<uint8_t>& bytes) : path_(scratch_.path() / "document.vantler") {
        test::writeFile(path_, bytes);
    }
    std::string path() const { return path_.string(); }

    static std::vector<uint8_t> bytesOf(const std::shared_ptr<const NSData>& data) {
        return {data->bytes(), data->bytes() + data->length()};
    }

private:
    test::ScratchDirectory scratch_;
    std::filesystem::path path_;
};

// The pixel at (x, row) of a host's picture (premultiplied first, 32-bit host order), as R G B A.
RGBA pixelAt(const CGImageRef& image, size_t x, size_t row) {
    auto bytes = CGDataProviderCopyData(CGImageGetDataProvider(image));
    const uint8_t* p = bytes->bytes() + row * CGImageGetBytesPerRow(image) + x * 4;
    return {p[2], p[1], p[0], p[3]};  // B G R A in memory on a little-endian machine
}

std::vector<uint8_t> pngOfSize(size_t width, size_t height) {
    auto context = CGBitmapContextCreate(nullptr, width, height, 8, 0, CGColorSpaceCreateDeviceRGB(),
                                         kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    return DocumentFile::bytesOf(CGImageConvertToPNGData(CGBitmapContextCreateImage(context)));
}

TEST(Part1_1_Requests, EmbeddedThumbnailAnswersBothRequestsUnchanged) {
    const std::vector<uint8_t> png = pngOfSize(3, 2);
    DocumentFile file(Document{.screens = {{{375, 667}}}, .thumbnail = png});
    auto host = generator();
    for (const auto& result : {host->generateThumbnail(file.path(), {}), host->generatePreview(file.path(), {})}) {
        EXPECT_EQ(result.status, 0);
        ASSERT_NE(result.data, nullptr);
        EXPECT_EQ(DocumentFile::bytesOf(result.data), png);
        EXPECT_FALSE(result.context.has_value());
        ASSERT_NE(result.dataProperties, nullptr);
        EXPECT_EQ(result.dataProperties->count(), 0u);
    }
    EXPECT_EQ(host->generatePreview(file.path(), {}).contentType, "public.image");
    EXPECT_EQ(host->generateThumbnail(file.path(), {}).contentType, "");
}

TEST(Part1_1_Requests, EmbeddedThumbnailIsHandedOverEvenWhenTheModelWouldNotLoad) {
    const std::vector<uint8_t> bytes = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'};  // never validated
    auto host = generator();
    for (const Document& document : {Document{.formatVersion = 16, .thumbnail = bytes},
                                     Document{.formatVersion = 99, .thumbnail = bytes},
                                     Document{.root = std::shared_ptr<const NSObject>(), .thumbnail = bytes},
                                     Document{.root = NSString::stringWithUTF8String("x"), .thumbnail = bytes},
                                     Document{.prototypeVersion = 16, .thumbnail = bytes}}) {
        DocumentFile file(document);
        for (const auto& result : {host->generateThumbnail(file.path(), {}), host->generatePreview(file.path(), {})}) {
            EXPECT_EQ(result.status, 0);
            ASSERT_NE(result.data, nullptr);
            EXPECT_EQ(DocumentFile::bytesOf(result.data), bytes);
        }
    }
}

TEST(Part1_1_Requests, ZeroLengthThumbnailIsTreatedAsAbsent) {
    DocumentFile file(Document{.screens = {{{40, 30}, {1, 0, 0, 1}}}, .thumbnail = std::vector<uint8_t>{}});
    const auto result = generator()->generateThumbnail(file.path(), {});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.data, nullptr);
    ASSERT_TRUE(result.context.has_value());
    EXPECT_EQ(result.context->size.width, 40);
    EXPECT_EQ(result.context->size.height, 30);
    EXPECT_TRUE(result.flushed);
    EXPECT_EQ(pixelAt(result.image, 20, 15), kRed);
}

TEST(Part1_1_Requests, ThumbnailContextIsTheEntryScreensSizeWhateverTheMaximum) {
    DocumentFile file(Document{.screens = {{{375, 667}, {0, 0, 1, 1}}, {{100, 100}}}});
    QLRequestOptions options;
    options.maxSize = {64, 64};
    const auto result = generator()->generateThumbnail(file.path(), options);
    EXPECT_EQ(result.status, 0);
    ASSERT_TRUE(result.context.has_value());
    EXPECT_EQ(result.context->size.width, 375);
    EXPECT_EQ(result.context->size.height, 667);
    EXPECT_FALSE(result.context->isBitmap);
    EXPECT_EQ(result.context->properties, nullptr);
    EXPECT_EQ(CGImageGetWidth(result.image), 375u);
    EXPECT_EQ(CGImageGetHeight(result.image), 667u);
    EXPECT_EQ(pixelAt(result.image, 0, 0), kBlue);
    EXPECT_EQ(pixelAt(result.image, 374, 666), kBlue);
}

TEST(Part1_1_Requests, PreviewOfOneScreenIsDrawnUntranslated) {
    DocumentFile file(Document{.screens = {{{320, 568}, {1, 0, 0, 1}}}});
    const auto result = generator()->generatePreview(file.path(), {});
    EXPECT_EQ(result.status, 0);
    ASSERT_TRUE(result.context.has_value());
    EXPECT_EQ(result.context->size.width, 320);
    EXPECT_EQ(result.context->size.height, 568);
    EXPECT_FALSE(result.context->isBitmap);
    EXPECT_TRUE(result.flushed);
    for (auto [x, row] : {std::pair<size_t, size_t>{0, 0}, {319, 0}, {0, 567}, {319, 567}, {160, 284}})
        EXPECT_EQ(pixelAt(result.image, x, row), kRed) << x << "," << row;
}

TEST(Part1_1_Requests, PreviewPlacesScreensSideBySideOnTheBottomEdge) {
    DocumentFile file(Document{.screens = {{{100, 200}, {1, 0, 0, 1}}, {{300, 100}, {0, 0, 1, 1}}}});
    const auto result = generator()->generatePreview(file.path(), {});
    EXPECT_EQ(result.status, 0);
    ASSERT_TRUE(result.context.has_value());
    EXPECT_EQ(result.context->size.width, 430);  // 100 + 30 + 300
    EXPECT_EQ(result.context->size.height, 200);
    // Rows count from the top: the sheet's bottom edge is row 199.
    EXPECT_EQ(pixelAt(result.image, 50, 0), kRed);
    EXPECT_EQ(pixelAt(result.image, 50, 199), kRed);
    EXPECT_EQ(pixelAt(result.image, 115, 150), kClear);  // the gap is left as the context started
    // The second screen, translated by 130 along x and clipped to (0, 0, 300, 100) there.
    EXPECT_EQ(pixelAt(result.image, 130, 199), kBlue);
    EXPECT_EQ(pixelAt(result.image, 429, 100), kBlue);
    EXPECT_EQ(pixelAt(result.image, 129, 199), kClear);
    EXPECT_EQ(pixelAt(result.image, 280, 99), kClear);  // above the lower screen
    EXPECT_EQ(pixelAt(result.image, 280, 0), kClear);
}

TEST(Part1_1_Requests, DocumentWithoutScreensFailsBothRequests) {
    DocumentFile file(Document{});
    auto host = generator();
    for (const auto& result : {host->generateThumbnail(file.path(), {}), host->generatePreview(file.path(), {})}) {
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.data, nullptr);
        EXPECT_FALSE(result.context.has_value());
    }
}

// Order of building step 1: every refusal answers status 1 to both requests, handing nothing over.
TEST(Part1_1_Requests, RefusedDocumentsAnswerStatusOne) {
    const std::vector<std::vector<uint8_t>> refused = {
        {},                                                          // an empty file
        {'g', 'a', 'r', 'b', 'a', 'g', 'e'},                         // garbage bytes
        test::readFile(test::dataDir() / "documents" / "plain-dictionary.bplist"),  // not a keyed archive
        DocumentFile::bytesOf(document_shapes::make(Document{.screens = {{{10, 10}}}, .formatVersion = 16})),
        DocumentFile::bytesOf(document_shapes::make(Document{.screens = {{{10, 10}}}, .formatVersion = 99})),
        DocumentFile::bytesOf(document_shapes::make(Document{.root = std::shared_ptr<const NSObject>()})),
        DocumentFile::bytesOf(document_shapes::make(Document{.root = NSString::stringWithUTF8String("x")})),
        DocumentFile::bytesOf(document_shapes::make(Document{.screens = {{{10, 10}}}, .prototypeVersion = 16})),
    };
    auto host = generator();
    for (size_t i = 0; i < refused.size(); ++i) {
        DocumentFile file(refused[i]);
        for (const auto& result : {host->generateThumbnail(file.path(), {}), host->generatePreview(file.path(), {})}) {
            EXPECT_EQ(result.status, 1) << "refusal " << i;
            EXPECT_EQ(result.data, nullptr) << "refusal " << i;
            EXPECT_FALSE(result.context.has_value()) << "refusal " << i;
        }
    }
    test::ScratchDirectory scratch;  // a missing file
    EXPECT_EQ(host->generateThumbnail((scratch.path() / "missing.vantler").string(), {}).status, 1);
    EXPECT_EQ(host->generatePreview((scratch.path() / "missing.vantler").string(), {}).status, 1);
}

TEST(Part1_1_Requests, NoContextFromTheHostStillAnswersZero) {
    DocumentFile file(Document{.screens = {{{100, 100}, {1, 0, 0, 1}}}});
    QLRequestOptions options;
    options.refuseContexts = true;
    auto host = generator();
    for (const auto& result : {host->generateThumbnail(file.path(), options), host->generatePreview(file.path(), options)}) {
        EXPECT_EQ(result.status, 0);
        ASSERT_TRUE(result.context.has_value());
        EXPECT_FALSE(result.context->created);
        EXPECT_FALSE(result.flushed);
    }
}

TEST(Part1_1_Requests, TwoThreadsAtOnceGiveTheResultsOfOneAfterTheOther) {
    DocumentFile first(Document{.screens = {{{100, 200}, {1, 0, 0, 1}}, {{300, 100}, {0, 0, 1, 1}}}});
    DocumentFile second(Document{.screens = {{{64, 48}, {0, 0, 1, 1}}}});
    auto host = generator();
    auto picture = [](const QLRequestResult& result) {
        return DocumentFile::bytesOf(CGDataProviderCopyData(CGImageGetDataProvider(result.image)));
    };
    const auto alonePreview = picture(host->generatePreview(first.path(), {}));
    const auto aloneThumbnail = picture(host->generateThumbnail(second.path(), {}));
    for (int round = 0; round < 5; ++round) {
        QLRequestResult preview, thumbnail;
        std::thread a([&] { preview = host->generatePreview(first.path(), {}); });
        std::thread b([&] { thumbnail = host->generateThumbnail(second.path(), {}); });
        a.join();
        b.join();
        EXPECT_EQ(picture(preview), alonePreview);
        EXPECT_EQ(picture(thumbnail), aloneThumbnail);
    }
}

}  // namespace
