// The host's side of a request (Part 1.1 "Host operations called"): bytes handed over, contexts
// asked for, their surfaces, size, scale and orientation, flushing; with the test generator.

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "QLGeneratorHost.h"
#include "QLTestSupport.h"

namespace {

using qltest::kBlue;
using qltest::kRed;

class Part1_1_HostRequest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        host_ = QLGeneratorHost::hostWithPath_error(VANTLER_TEST_GENERATOR, &error);
        ASSERT_NE(host_, nullptr) << error;
    }
    std::string document(const std::string& name, const std::vector<uint8_t>& bytes = {'x'}) {
        return qltest::documentNamed(scratch_.path(), name, bytes);
    }
    QLRequestResult thumbnail(const std::string& name, const QLRequestOptions& options = {}) {
        return host_->generateThumbnail(document(name), options);
    }

    test::ScratchDirectory scratch_;
    std::shared_ptr<QLGeneratorHost> host_;
};

TEST_F(Part1_1_HostRequest, HandedOverBytesAreCopiedWithTheirType) {
    const std::vector<uint8_t> bytes{1, 2, 3, 4, 5};
    const auto path = document("bytes.bin", bytes);
    const auto thumbnail = host_->generateThumbnail(path, {});
    EXPECT_EQ(thumbnail.status, 0);
    ASSERT_NE(thumbnail.data, nullptr);
    EXPECT_EQ(qltest::bytesOf(*thumbnail.data), bytes);
    EXPECT_EQ(thumbnail.contentType, "");
    ASSERT_NE(thumbnail.dataProperties, nullptr);
    EXPECT_EQ(thumbnail.dataProperties->count(), 0u);
    EXPECT_FALSE(thumbnail.context);
    EXPECT_FALSE(thumbnail.flushed);

    const auto preview = host_->generatePreview(path, {});
    ASSERT_NE(preview.data, nullptr);
    EXPECT_EQ(qltest::bytesOf(*preview.data), bytes);
    EXPECT_EQ(preview.contentType, "public.image");
}

TEST_F(Part1_1_HostRequest, ContextIsInPointsWithTheOriginAtTheLowerLeft) {
    const auto result = thumbnail("draw-40x30");
    EXPECT_EQ(result.status, 0);
    ASSERT_TRUE(result.context);
    EXPECT_EQ(result.context->size, (CGSize{40, 30}));
    EXPECT_FALSE(result.context->isBitmap);
    EXPECT_EQ(result.context->properties, nullptr);
    EXPECT_TRUE(result.context->created);
    EXPECT_EQ(result.context->pixelsPerPoint, 1);
    EXPECT_TRUE(result.flushed);
    EXPECT_EQ(result.vectorData, nullptr);
    const qltest::Pixels pixels(result.image);
    ASSERT_EQ(pixels.width(), 40u);
    ASSERT_EQ(pixels.height(), 30u);
    // The red square filled at user (0, 0, 10, 10) is the bottom-left corner of the picture.
    EXPECT_EQ(pixels.at(0, 29), kRed);
    EXPECT_EQ(pixels.at(9, 20), kRed);
    EXPECT_EQ(pixels.at(10, 29), kBlue);
    EXPECT_EQ(pixels.at(0, 19), kBlue);
    EXPECT_EQ(pixels.at(0, 0), kBlue);
    EXPECT_EQ(pixels.at(39, 0), kBlue);
}

TEST_F(Part1_1_HostRequest, ScaleIsPixelsPerPoint) {
    QLRequestOptions options;
    options.scale = 2;
    const auto result = thumbnail("draw-40x30", options);
    ASSERT_TRUE(result.context);
    EXPECT_EQ(result.context->size, (CGSize{40, 30}));
    EXPECT_EQ(result.context->pixelsPerPoint, 2);
    const qltest::Pixels pixels(result.image);
    ASSERT_EQ(pixels.width(), 80u);
    ASSERT_EQ(pixels.height(), 60u);
    EXPECT_EQ(pixels.at(19, 40), kRed);
    EXPECT_EQ(pixels.at(20, 59), kBlue);
    EXPECT_EQ(pixels.at(0, 39), kBlue);
}

TEST_F(Part1_1_HostRequest, SurfaceSidesRoundUp) {
    QLRequestOptions options;
    options.scale = 1.5;
    const auto result = thumbnail("draw-11x7", options);  // 16.5 × 10.5 pixels
    ASSERT_NE(result.image, nullptr);
    EXPECT_EQ(CGImageGetWidth(result.image), 17u);
    EXPECT_EQ(CGImageGetHeight(result.image), 11u);
}

TEST_F(Part1_1_HostRequest, FitRendersAtTheScaleThatFits) {
    QLRequestOptions options;
    options.fitSize = 100;
    const auto wide = thumbnail("draw-400x200", options);
    ASSERT_TRUE(wide.context);
    EXPECT_EQ(wide.context->size, (CGSize{400, 200}));  // the handler's size is untouched
    EXPECT_EQ(wide.context->pixelsPerPoint, 0.25);
    const qltest::Pixels pixels(wide.image);
    EXPECT_EQ(pixels.width(), 100u);
    EXPECT_EQ(pixels.height(), 50u);
    EXPECT_EQ(pixels.at(0, 49), kRed);  // 10 points are 2.5 pixels
    EXPECT_EQ(pixels.at(1, 48), kRed);
    EXPECT_EQ(pixels.at(50, 25), kBlue);

    // Drawn pictures are rendered at the fitting size, larger too; tall ones fit by height.
    const auto small = thumbnail("draw-20x40", options);
    EXPECT_EQ(CGImageGetWidth(small.image), 50u);
    EXPECT_EQ(CGImageGetHeight(small.image), 100u);
    // 667 × (256 / 667) is 256.00000000000003: still 256 pixels.
    options.fitSize = 256;
    const auto phone = thumbnail("draw-375x667", options);
    EXPECT_EQ(CGImageGetHeight(phone.image), 256u);
    EXPECT_EQ(CGImageGetWidth(phone.image), 144u);
    // The scale multiplies: fit into 256 points at 2 pixels per point.
    options.scale = 2;
    const auto retina = thumbnail("draw-375x667", options);
    EXPECT_EQ(CGImageGetHeight(retina.image), 512u);
}

TEST_F(Part1_1_HostRequest, MaxSizeReachesTheHandler) {
    QLRequestOptions options;
    options.maxSize = {64, 48};
    const auto result = thumbnail("maxsize", options);
    ASSERT_TRUE(result.context);
    EXPECT_EQ(result.context->size, (CGSize{64, 48}));
}

TEST_F(Part1_1_HostRequest, PropertiesAndBitmapFlagAreRecorded) {
    const auto result = thumbnail("props");
    ASSERT_TRUE(result.context);
    EXPECT_TRUE(result.context->isBitmap);
    ASSERT_NE(result.context->properties, nullptr);
    EXPECT_EQ(result.context->properties->count(), 1u);
    EXPECT_TRUE(result.context->created);
}

TEST_F(Part1_1_HostRequest, UnflushedContextGivesNoPicture) {
    const auto result = thumbnail("noflush");
    EXPECT_EQ(result.status, 0);
    ASSERT_TRUE(result.context);
    EXPECT_TRUE(result.context->created);
    EXPECT_FALSE(result.flushed);
    EXPECT_EQ(result.image, nullptr);
}

TEST_F(Part1_1_HostRequest, AbsurdSizesGetNoContext) {
    for (QLOutputFormat format : {QLOutputFormat::PNG, QLOutputFormat::PDF, QLOutputFormat::SVG}) {
        QLRequestOptions options;
        options.format = format;
        for (const char* name : {"absurd-nan", "absurd-zero", "absurd-negative", "absurd-huge"}) {
            const auto result = thumbnail(name, options);
            EXPECT_EQ(result.status, 0) << name;
            ASSERT_TRUE(result.context) << name;
            EXPECT_FALSE(result.context->created) << name << " " << int(format);
            EXPECT_FALSE(result.flushed) << name;
        }
    }
    // One past the pixel limits at a scale that would make a sane size absurd.
    QLRequestOptions options;
    options.scale = 64;
    EXPECT_FALSE(thumbnail("draw-600x600", options).context->created);  // 38400 pixels wide
    options.scale = 1;
    EXPECT_TRUE(thumbnail("draw-32767x10", options).context->created);
    EXPECT_FALSE(thumbnail("draw-32768x10", options).context->created);
    EXPECT_FALSE(thumbnail("draw-10001x10000", options).context->created);  // 100010000 pixels
}

TEST_F(Part1_1_HostRequest, RefusedContextsLeaveTheStatusToTheHandler) {
    QLRequestOptions options;
    options.refuseContexts = true;
    const auto result = thumbnail("draw-40x30", options);
    EXPECT_EQ(result.status, 0);
    ASSERT_TRUE(result.context);
    EXPECT_EQ(result.context->size, (CGSize{40, 30}));
    EXPECT_FALSE(result.context->created);
    EXPECT_FALSE(result.flushed);
}

TEST_F(Part1_1_HostRequest, VectorSurfacesGiveDocuments) {
    QLRequestOptions options;
    options.format = QLOutputFormat::PDF;
    const auto pdf = host_->generatePreview(document("draw-40x30"), options);
    EXPECT_TRUE(pdf.flushed);
    EXPECT_EQ(pdf.image, nullptr);
    ASSERT_NE(pdf.vectorData, nullptr);
    const auto pdfText = qltest::bytesOf(*pdf.vectorData);
    EXPECT_EQ(std::string(pdfText.begin(), pdfText.begin() + 5), "%PDF-");
    EXPECT_EQ(pdf.context->pixelsPerPoint, 0);

    options.format = QLOutputFormat::SVG;
    const auto svg = host_->generatePreview(document("draw-40x30"), options);
    ASSERT_NE(svg.vectorData, nullptr);
    const auto svgBytes = qltest::bytesOf(*svg.vectorData);
    const std::string svgText(svgBytes.begin(), svgBytes.end());
    EXPECT_TRUE(svgText.starts_with("<?xml")) << svgText.substr(0, 40);
    EXPECT_NE(svgText.find("<svg"), std::string::npos);
}

TEST_F(Part1_1_HostRequest, TwoThreadsAtOnce) {
    const auto wide = document("draw-60x20"), tall = document("draw-20x60");
    std::vector<std::string> failures(2);
    const auto work = [&](const std::string& path, size_t width, size_t height, std::string* failure) {
        for (int i = 0; i < 25; ++i) {
            const auto result = host_->generateThumbnail(path, {});
            const qltest::Pixels pixels(result.image);
            if (pixels.width() != width || pixels.height() != height ||
                pixels.at(0, height - 1) != kRed || pixels.at(width - 1, 0) != kBlue)
                *failure = "request " + std::to_string(i) + " of " + path + " came out wrong";
        }
    };
    std::thread first(work, wide, 60, 20, &failures[0]);
    std::thread second(work, tall, 20, 60, &failures[1]);
    first.join();
    second.join();
    EXPECT_EQ(failures[0], "");
    EXPECT_EQ(failures[1], "");
}

TEST_F(Part1_1_HostRequest, FileURLsAndRelativePathsNameTheDocument) {
    const auto path = document("draw-8x6");
    EXPECT_TRUE(host_->generateThumbnail("file://" + path, {}).flushed);
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(scratch_.path());
    const auto relative = host_->generateThumbnail("draw-8x6", {});
    std::filesystem::current_path(cwd);
    EXPECT_TRUE(relative.flushed);
}

}  // namespace
