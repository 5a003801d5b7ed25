// The host's output files: what a handler handed over or drew, as PNG, PDF or SVG, fitted when
// asked; and writing them whole.

#include <gtest/gtest.h>

#include "QLGeneratorHost.h"
#include "QLTestSupport.h"

namespace {

const std::vector<uint8_t> kGarbage{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};

QLRequestResult handedOver(const std::vector<uint8_t>& bytes) {
    QLRequestResult result;
    result.status = 0;
    result.data = NSData::dataWithVector(bytes);
    return result;
}

QLRequestOptions options(CGFloat fit, QLOutputFormat format = QLOutputFormat::PNG,
                         CGFloat scale = 1) {
    QLRequestOptions options;
    options.fitSize = fit;
    options.format = format;
    options.scale = scale;
    return options;
}

std::vector<uint8_t> outputOf(const QLRequestResult& result, const QLRequestOptions& options) {
    return qltest::bytesOf(QLCreateOutputData(result, options, nullptr));
}

// Handed-over bytes pass unchanged unless they must be read: shrunk to fit fitSize × scale pixels
// (never enlarged), or put on a page of their size.
TEST(QLOutput, HandedOverImages) {
    const auto png = qltest::bluePNG(400, 200);
    EXPECT_EQ(outputOf(handedOver(png), {}), png);
    EXPECT_EQ(outputOf(handedOver(kGarbage), {}), kGarbage);  // the generator does not check them
    EXPECT_EQ(outputOf(handedOver(png), options(1000)), png);
    EXPECT_EQ(outputOf(handedOver(png), options(400)), png);
    for (const CGFloat scale : {1, 2}) {
        const qltest::Pixels shrunk(
            qltest::decode(outputOf(handedOver(png), options(100, {}, scale))));
        EXPECT_EQ(shrunk.width(), 100 * scale);
        EXPECT_EQ(shrunk.height(), 50 * scale);
        EXPECT_EQ(shrunk.at(50, 25), qltest::kBlue);
    }
    const auto small = handedOver(qltest::bluePNG(40, 20));
    const auto pdf = qltest::textOf(outputOf(small, options(0, QLOutputFormat::PDF)));
    EXPECT_TRUE(pdf.starts_with("%PDF-"));
    EXPECT_NE(pdf.find("/MediaBox [ 0 0 40 20 ]"), std::string::npos);
    EXPECT_NE(qltest::textOf(outputOf(small, options(0, QLOutputFormat::SVG))).find("<svg"),
              std::string::npos);
}

TEST(QLOutput, DrawnPicturesAreEncoded) {
    QLRequestResult result;
    result.status = 0;
    result.flushed = true;
    const auto context = qltest::sRGBContext(8, 4);
    CGContextSetFillColorWithColor(
        context, CGColorCreate(CGColorSpaceCreateWithName(kCGColorSpaceSRGB), {1, 0, 0, 1}));
    CGContextFillRect(context, CGRect{{0, 0}, {8, 4}});
    result.image = CGBitmapContextCreateImage(context);
    const qltest::Pixels png(qltest::decode(outputOf(result, {})));
    EXPECT_EQ(png.width(), 8u);
    EXPECT_EQ(png.at(3, 2), qltest::kRed);
    result.vectorData = NSData::dataWithVector({'%', 'P', 'D', 'F', '-'});
    EXPECT_EQ(outputOf(result, options(0, QLOutputFormat::PDF)),
              qltest::bytesOf(result.vectorData));
}

TEST(QLOutput, FailuresSayWhy) {
    auto truncated = qltest::bluePNG(40, 20);
    truncated.resize(truncated.size() / 2);
    QLRequestResult refused = handedOver(qltest::bluePNG(4, 4));
    refused.status = 1;
    QLRequestResult empty = handedOver({});  // zero bytes are nothing handed over
    empty.context = QLContextRecord{{10, 10}, false, nullptr, true, 1};  // asked, never flushed
    const std::string undecodable = "the handed-over image could not be decoded ";
    const struct {
        QLRequestResult result;
        QLRequestOptions options;
        std::string reason;
    } cases[] = {
        {handedOver(kGarbage), options(100), undecodable + "(no known image format)"},
        {handedOver(truncated), options(10), undecodable + "(a damaged public.png image)"},
        {handedOver(kGarbage), options(0, QLOutputFormat::PDF),
         undecodable + "(no known image format)"},
        {refused, {}, "the generator refused the document"},
        {QLRequestResult{.status = 0}, {}, "nothing was drawn"},
        {empty, {}, "nothing was drawn"},
    };
    for (const auto& c : cases) {
        std::string reason;
        EXPECT_EQ(QLCreateOutputData(c.result, c.options, &reason), nullptr) << c.reason;
        EXPECT_EQ(reason, c.reason);
    }
}

TEST(QLOutput, FilesAreWrittenWholeOrNotAtAll) {
    test::ScratchDirectory scratch;
    const auto path = scratch.path() / "out.png";
    test::writeFile(path, {'o', 'l', 'd'});
    const auto data = NSData::dataWithVector({'n', 'e', 'w'});
    std::string reason;
    ASSERT_TRUE(QLWriteOutputFile(path.string(), *data, &reason)) << reason;
    EXPECT_EQ(test::readFile(path), (std::vector<uint8_t>{'n', 'e', 'w'}));
    // Nothing but the file is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path()), {}), 1);
    const auto missing = scratch.path() / "no folder" / "out.png";
    EXPECT_FALSE(QLWriteOutputFile(missing.string(), *data, &reason));
    EXPECT_EQ(reason, missing.string() + ": No such file or directory");
}

}  // namespace
