// The host's output files: what a handler handed over or drew, as PNG, PDF or SVG, fitted when
// asked; and writing them whole.

#include <gtest/gtest.h>

#include "QLGeneratorHost.h"
#include "QLTestSupport.h"

namespace {

using qltest::kBlue;
using qltest::kRed;

QLRequestResult handedOver(const std::vector<uint8_t>& bytes) {
    QLRequestResult result;
    result.status = 0;
    result.data = NSData::dataWithVector(bytes);
    result.contentType = "public.image";
    return result;
}

QLRequestOptions fit(CGFloat size, QLOutputFormat format = QLOutputFormat::PNG) {
    QLRequestOptions options;
    options.fitSize = size;
    options.format = format;
    return options;
}

std::vector<uint8_t> outputOf(const QLRequestResult& result, const QLRequestOptions& options,
                              std::string* reason = nullptr) {
    const auto data = QLCreateOutputData(result, options, reason);
    return data ? qltest::bytesOf(*data) : std::vector<uint8_t>{};
}

std::string prefix(const std::vector<uint8_t>& bytes, size_t n) {
    return std::string(bytes.begin(), bytes.begin() + std::min(n, bytes.size()));
}

TEST(Part1_1_HostOutput, HandedOverPNGIsWrittenUnchangedWithoutFit) {
    const auto png = qltest::bluePNG(400, 200);
    EXPECT_EQ(outputOf(handedOver(png), {}), png);
    // Bytes in no known format are passed on too: the generator does not check them (Part 1.1).
    const std::vector<uint8_t> garbage{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    EXPECT_EQ(outputOf(handedOver(garbage), {}), garbage);
}

TEST(Part1_1_HostOutput, HandedOverPNGIsShrunkToFitButNeverEnlarged) {
    const auto png = qltest::bluePNG(400, 200);
    const auto shrunk = qltest::decode(outputOf(handedOver(png), fit(100)));
    ASSERT_NE(shrunk, nullptr);
    EXPECT_EQ(CGImageGetWidth(shrunk), 100u);
    EXPECT_EQ(CGImageGetHeight(shrunk), 50u);
    EXPECT_EQ(qltest::Pixels(shrunk).at(50, 25), kBlue);
    // Already small enough: the same bytes.
    EXPECT_EQ(outputOf(handedOver(png), fit(1000)), png);
    EXPECT_EQ(outputOf(handedOver(png), fit(400)), png);
    // The fitting box is fitSize × scale pixels.
    auto options = fit(100);
    options.scale = 2;
    const auto retina = qltest::decode(outputOf(handedOver(png), options));
    EXPECT_EQ(CGImageGetWidth(retina), 200u);
    EXPECT_EQ(CGImageGetHeight(retina), 100u);
}

TEST(Part1_1_HostOutput, UndecodableBytesFailWhenTheyMustBeRead) {
    const std::vector<uint8_t> garbage{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    std::string reason;
    EXPECT_EQ(QLCreateOutputData(handedOver(garbage), fit(100), &reason), nullptr);
    EXPECT_EQ(reason, "the handed-over image could not be decoded (no known image format)");
    auto truncated = qltest::bluePNG(40, 20);
    truncated.resize(truncated.size() / 2);
    EXPECT_EQ(QLCreateOutputData(handedOver(truncated), fit(10), &reason), nullptr);
    EXPECT_EQ(reason, "the handed-over image could not be decoded (a damaged public.png image)");
    EXPECT_EQ(QLCreateOutputData(handedOver(garbage), fit(0, QLOutputFormat::PDF), &reason), nullptr);
    EXPECT_EQ(reason, "the handed-over image could not be decoded (no known image format)");
}

TEST(Part1_1_HostOutput, HandedOverImageBecomesOnePageOfItsSize) {
    const auto png = qltest::bluePNG(40, 20);
    const auto pdf = outputOf(handedOver(png), fit(0, QLOutputFormat::PDF));
    EXPECT_EQ(prefix(pdf, 5), "%PDF-");
    const std::string pdfText(pdf.begin(), pdf.end());
    EXPECT_NE(pdfText.find("/MediaBox [ 0 0 40 20 ]"), std::string::npos);
    const auto svg = outputOf(handedOver(png), fit(0, QLOutputFormat::SVG));
    const std::string svgText(svg.begin(), svg.end());
    EXPECT_NE(svgText.find("<svg"), std::string::npos);
}

TEST(Part1_1_HostOutput, DrawnPicturesAreEncoded) {
    QLRequestResult result;
    result.status = 0;
    result.flushed = true;
    auto context = CGBitmapContextCreate(nullptr, 8, 4, 8, 0, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
                                         kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host);
    auto* pixels = static_cast<uint8_t*>(CGBitmapContextGetData(context));
    for (size_t i = 0; i < 8 * 4; ++i) {
        pixels[i * 4 + 2] = 255;  // B G R A: red
        pixels[i * 4 + 3] = 255;
    }
    result.image = CGBitmapContextCreateImage(context);
    const auto png = qltest::decode(outputOf(result, {}));
    ASSERT_NE(png, nullptr);
    EXPECT_EQ(CGImageGetWidth(png), 8u);
    EXPECT_EQ(qltest::Pixels(png).at(3, 2), kRed);

    QLRequestResult vector;
    vector.status = 0;
    vector.flushed = true;
    vector.vectorData = NSData::dataWithVector({'%', 'P', 'D', 'F', '-'});
    QLRequestOptions pdf;
    pdf.format = QLOutputFormat::PDF;
    EXPECT_EQ(outputOf(vector, pdf), qltest::bytesOf(*vector.vectorData));
}

TEST(Part1_1_HostOutput, RefusalsAndEmptyResultsSayWhy) {
    std::string reason;
    QLRequestResult refused;
    refused.status = 1;
    refused.data = NSData::dataWithVector(qltest::bluePNG(4, 4));
    EXPECT_EQ(QLCreateOutputData(refused, {}, &reason), nullptr);
    EXPECT_EQ(reason, "the generator refused the document");

    QLRequestResult nothing;
    nothing.status = 0;
    EXPECT_EQ(QLCreateOutputData(nothing, {}, &reason), nullptr);
    EXPECT_EQ(reason, "nothing was drawn");
    nothing.data = NSData::dataWithVector({});  // zero bytes are nothing handed over
    nothing.context = QLContextRecord{{10, 10}, false, nullptr, true, 1};  // asked, never flushed
    EXPECT_EQ(QLCreateOutputData(nothing, {}, &reason), nullptr);
    EXPECT_EQ(reason, "nothing was drawn");
}

TEST(Part1_1_HostOutput, FilesAreWrittenWholeOrNotAtAll) {
    test::ScratchDirectory scratch;
    const auto path = scratch.path() / "out.png";
    test::writeFile(path, {'o', 'l', 'd'});
    const auto data = NSData::dataWithVector({'n', 'e', 'w'});
    std::string reason;
    ASSERT_TRUE(QLWriteOutputFile(path.string(), *data, &reason)) << reason;
    EXPECT_EQ(test::readFile(path), (std::vector<uint8_t>{'n', 'e', 'w'}));
    // Nothing but the file is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path()),
                            std::filesystem::directory_iterator()), 1);

    const auto missing = scratch.path() / "no folder" / "out.png";
    EXPECT_FALSE(QLWriteOutputFile(missing.string(), *data, &reason));
    EXPECT_EQ(reason, missing.string() + ": No such file or directory");
}

}  // namespace
