// The host's side of a request, with the test generator: bytes handed over, contexts asked for,
// their surfaces, size, scale and orientation, flushing.

#include <gtest/gtest.h>

#include <thread>

#include "QLGeneratorHost.h"
#include "QLTestSupport.h"

namespace {

using qltest::kBlue;
using qltest::kRed;

class QLRequest : public ::testing::Test {
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

TEST_F(QLRequest, HandedOverBytesAreCopiedWithTheirType) {
    const std::vector<uint8_t> bytes{1, 2, 3, 4, 5};
    const auto thumbnail = host_->generateThumbnail(document("bytes", bytes), {});
    EXPECT_EQ(thumbnail.status, 0);
    EXPECT_EQ(qltest::bytesOf(thumbnail.data), bytes);
    EXPECT_EQ(thumbnail.contentType, "");
    ASSERT_NE(thumbnail.dataProperties, nullptr);
    EXPECT_EQ(thumbnail.dataProperties->count(), 0u);
    EXPECT_FALSE(thumbnail.context || thumbnail.flushed);
    const auto preview = host_->generatePreview(document("bytes", bytes), {});
    EXPECT_EQ(qltest::bytesOf(preview.data), bytes);
    EXPECT_EQ(preview.contentType, "public.image");
}

// The context is in points with the origin at the lower left (the red square of user (0, 0, 10,
// 10) lands at the bottom left of the picture); scale is pixels per point, sides round up, a fit
// renders at the scale that fits, enlarging too.
TEST_F(QLRequest, SurfaceSizeScaleAndOrientation) {
    const struct {
        const char* name;
        CGFloat scale, fit;
        size_t width, height;
        CGFloat pixelsPerPoint;
        size_t redX, redRow, blueX, blueRow;
    } cases[] = {
        {"draw-40x30", 1, 0, 40, 30, 1, 9, 20, 39, 0},
        {"draw-40x30", 2, 0, 80, 60, 2, 19, 40, 20, 59},
        {"draw-11x7", 1.5, 0, 17, 11, 1.5, 14, 10, 15, 5},
        {"draw-400x200", 1, 100, 100, 50, 0.25, 1, 48, 50, 25},
        {"draw-20x40", 1, 100, 50, 100, 2.5, 24, 75, 25, 74},
        // 667 × (256 / 667) is 256.00000000000003: still 256 pixels.
        {"draw-375x667", 1, 256, 144, 256, 256.0 / 667, 0, 255, 100, 100},
        {"draw-375x667", 2, 256, 288, 512, 512.0 / 667, 0, 511, 100, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " scale " << c.scale << " fit " << c.fit);
        QLRequestOptions options;
        options.scale = c.scale;
        options.fitSize = c.fit;
        const auto result = thumbnail(c.name, options);
        ASSERT_TRUE(result.context);
        EXPECT_TRUE(result.context->created && result.flushed);
        EXPECT_FALSE(result.context->isBitmap);
        EXPECT_EQ(result.context->properties, nullptr);
        EXPECT_EQ(result.context->pixelsPerPoint, c.pixelsPerPoint);
        EXPECT_EQ(result.vectorData, nullptr);
        const qltest::Pixels pixels(result.image);
        ASSERT_EQ(pixels.width(), c.width);
        ASSERT_EQ(pixels.height(), c.height);
        EXPECT_EQ(pixels.at(0, c.height - 1), kRed);
        EXPECT_EQ(pixels.at(c.redX, c.redRow), kRed);
        EXPECT_EQ(pixels.at(c.blueX, c.blueRow), kBlue);
    }
}

TEST_F(QLRequest, WhatTheHandlerAskedIsRecorded) {
    QLRequestOptions options;
    options.maxSize = {64, 48};
    EXPECT_EQ(thumbnail("maxsize", options).context->size, (CGSize{64, 48}));
    EXPECT_EQ(host_->generatePreview(document("maxsize"), {}).context->size, (CGSize{100, 100}));
    const auto props = thumbnail("props");
    EXPECT_TRUE(props.context->isBitmap);
    ASSERT_NE(props.context->properties, nullptr);
    EXPECT_EQ(props.context->properties->count(), 1u);
    const auto unflushed = thumbnail("noflush");
    EXPECT_TRUE(unflushed.context->created);
    EXPECT_FALSE(unflushed.flushed);
    EXPECT_EQ(unflushed.image, nullptr);
}

// Absurd sizes, sizes one past the pixel limits and a host that refuses contexts: the handler gets
// no context and its answer stands.
TEST_F(QLRequest, NoContextForAbsurdSizesOrWhenRefused) {
    for (QLOutputFormat format : {QLOutputFormat::PNG, QLOutputFormat::PDF, QLOutputFormat::SVG})
        for (const char* name : {"absurd-nan", "absurd-zero", "absurd-negative", "absurd-huge"}) {
            SCOPED_TRACE(testing::Message() << name << " format " << int(format));
            QLRequestOptions options;
            options.format = format;
            const auto result = thumbnail(name, options);
            EXPECT_EQ(result.status, 0);
            ASSERT_TRUE(result.context);
            EXPECT_FALSE(result.context->created || result.flushed);
        }
    QLRequestOptions options;
    options.scale = 64;
    EXPECT_FALSE(thumbnail("draw-600x600", options).context->created);  // 38400 pixels wide
    EXPECT_TRUE(thumbnail("draw-32767x10").context->created);
    EXPECT_FALSE(thumbnail("draw-32768x10").context->created);
    EXPECT_FALSE(thumbnail("draw-10001x10000").context->created);  // 100010000 pixels
    options = {};
    options.refuseContexts = true;
    const auto refused = thumbnail("draw-40x30", options);
    EXPECT_EQ(refused.status, 0);
    EXPECT_EQ(refused.context->size, (CGSize{40, 30}));
    EXPECT_FALSE(refused.context->created || refused.flushed);
}

TEST_F(QLRequest, VectorSurfacesGiveDocuments) {
    QLRequestOptions options;
    options.format = QLOutputFormat::PDF;
    const auto pdf = host_->generatePreview(document("draw-40x30"), options);
    EXPECT_TRUE(pdf.flushed);
    EXPECT_EQ(pdf.image, nullptr);
    EXPECT_EQ(pdf.context->pixelsPerPoint, 0);
    EXPECT_TRUE(qltest::textOf(qltest::bytesOf(pdf.vectorData)).starts_with("%PDF-"));
    options.format = QLOutputFormat::SVG;
    const auto svg = qltest::textOf(
        qltest::bytesOf(host_->generatePreview(document("draw-40x30"), options).vectorData));
    EXPECT_TRUE(svg.starts_with("<?xml") && svg.find("<svg") != std::string::npos) << svg;
}

TEST_F(QLRequest, TwoThreadsAtOnce) {
    const auto work = [this](const std::string& path, size_t width, size_t height) {
        for (int i = 0; i < 25; ++i) {
            const qltest::Pixels pixels(host_->generateThumbnail(path, {}).image);
            if (pixels.width() != width || pixels.height() != height ||
                pixels.at(0, height - 1) != kRed || pixels.at(width - 1, 0) != kBlue)
                ADD_FAILURE() << "request " << i << " of " << path << " came out wrong";
        }
    };
    std::thread first(work, document("draw-60x20"), 60, 20);
    std::thread second(work, document("draw-20x60"), 20, 60);
    first.join();
    second.join();
}

TEST_F(QLRequest, FileURLsAndRelativePathsNameTheDocument) {
    EXPECT_TRUE(host_->generateThumbnail("file://" + document("draw-8x6"), {}).flushed);
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(scratch_.path());
    const auto relative = host_->generateThumbnail("draw-8x6", {});
    std::filesystem::current_path(cwd);
    EXPECT_TRUE(relative.flushed);
}

}  // namespace
