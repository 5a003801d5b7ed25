// The host's side of a request, with the test generator: bytes handed over, contexts asked for
// and refused, flushing. The surfaces' size, scale and orientation are tested through vantler-ql.

#include <gtest/gtest.h>

#include "QLGeneratorHost.h"
#include "QLTestSupport.h"

namespace {

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
    const auto thumbnail = host_->generateThumbnail("file://" + document("bytes", bytes), {});
    EXPECT_EQ(qltest::bytesOf(thumbnail.data), bytes);
    EXPECT_EQ(thumbnail.dataProperties->count(), 0u);
    EXPECT_FALSE(thumbnail.context || thumbnail.flushed);
    EXPECT_EQ(host_->generatePreview(document("bytes", bytes), {}).contentType, "public.image");
}

TEST_F(QLRequest, WhatTheHandlerAskedIsRecorded) {
    EXPECT_EQ(thumbnail("maxsize", {.maxSize = {64, 48}}).context->size, (CGSize{64, 48}));
    const auto unflushed = thumbnail("noflush");
    EXPECT_TRUE(unflushed.context->created);
    EXPECT_FALSE(unflushed.flushed);
    EXPECT_EQ(unflushed.image, nullptr);
}

// Absurd sizes and a host that refuses contexts: the handler gets no context and its answer stands.
TEST_F(QLRequest, NoContextForAbsurdSizesOrWhenRefused) {
    for (QLOutputFormat format : {QLOutputFormat::PNG, QLOutputFormat::PDF, QLOutputFormat::SVG})
        for (const char* name : {"draw-nanx10", "draw-0.0x10", "draw--10x10", "draw-1e13x1"}) {
            SCOPED_TRACE(testing::Message() << name << " format " << int(format));
            const auto result = thumbnail(name, {.format = format});
            EXPECT_EQ(result.status, 0);
            ASSERT_TRUE(result.context);
            EXPECT_FALSE(result.context->created || result.flushed);
            EXPECT_EQ(result.context->unitsPerPoint, 0);
        }
    const auto refused = thumbnail("draw-40x30", {.refuseContexts = true});
    EXPECT_EQ(refused.context->size, (CGSize{40, 30}));
    EXPECT_FALSE(refused.context->created || refused.flushed);
}

// A picture over the host's budget is drawn scaled down to fit it, keeping its aspect ratio.
TEST_F(QLRequest, PicturesOverTheBudgetAreScaledDown) {
    struct Case {
        const char* name;
        CGFloat scale;
        size_t width, height;  // of the PNG drawn
    };
    for (const Case& c : std::initializer_list<Case>{{"draw-32767x10", 1, 32767, 10},
                                                     {"draw-16384x10", 4, 32767, 20},
                                                     {"draw-1e9x1", 1, 32767, 1},
                                                     {"draw-1e7x1e7", 1, 8192, 8192}}) {
        SCOPED_TRACE(c.name);
        const auto result = thumbnail(c.name, {.scale = c.scale});
        ASSERT_TRUE(result.context && result.context->created && result.image);
        EXPECT_EQ(CGImageGetWidth(result.image), c.width);
        EXPECT_EQ(CGImageGetHeight(result.image), c.height);
    }
    const auto page = thumbnail("draw-4194304x1000", {.format = QLOutputFormat::PDF});
    ASSERT_TRUE(page.context && page.context->created);
    EXPECT_EQ(page.context->unitsPerPoint, 0.25);
}

}  // namespace
