#include <gtest/gtest.h>

#include <cmath>

#include "ArchiveShapes.h"
#include "ImageAssetTestSupport.h"

using namespace image_assets;
using Sizes = std::vector<std::pair<size_t, size_t>>;

namespace {

Sizes sizesOf(const std::vector<CGImageRef>& images) {
    Sizes sizes;
    for (const auto& image : images)
        sizes.emplace_back(CGImageGetWidth(image), CGImageGetHeight(image));
    return sizes;
}

// What the callbacks of one test saw, in the order they ran. Callbacks run inside the request or
// on the main queue, which only the test thread drains.
struct Answers {
    std::vector<CGImageRef> images;
    VTMipmapCallback callback() {
        return [this](const CGImageRef& image) { images.push_back(image); };
    }
    bool waitFor(size_t count) {
        return dispatchMainQueueRunUntil([&] { return images.size() >= count; }, deadline());
    }
};

}  // namespace

TEST(VTImageMipmaps, LevelsHalveRoundingUpUntilASideIsBelowTwo) {
    const struct {
        size_t width, height;
        Sizes levels;
    } cases[] = {
        {125, 75, {{125, 75}, {63, 38}, {32, 19}, {16, 10}, {8, 5}, {4, 3}, {2, 2}, {1, 1}}},
        {3, 1000, {{3, 1000}, {2, 500}, {1, 250}}},
        {1, 50, {{1, 50}}},
    };
    for (const auto& c : cases) {
        const auto bitmap = solidBitmap(c.width, c.height, kRed);
        const auto levels = generateMipmaps(bitmap);
        EXPECT_EQ(sizesOf(*levels), c.levels);
        EXPECT_EQ(levels->front(), bitmap);  // the bitmap itself, not a copy
    }
    EXPECT_FALSE(generateMipmaps(nullptr));
    // Premultiplied device RGB: transparent pixels stay transparent, translucent ones keep alpha.
    const ARGB clear{0, 0, 0, 0}, halfBlue{128, 0, 0, 128};
    const auto levels = generateMipmaps(twoColourBitmap(64, 64, clear, halfBlue, 32));
    EXPECT_EQ(CGImageGetBitmapInfo((*levels)[2]), CGBitmapInfo{kCGImageAlphaPremultipliedFirst});
    EXPECT_TRUE(near(pixelAt((*levels)[2], 2, 8), clear, 1));
    EXPECT_TRUE(near(pixelAt((*levels)[2], 13, 8), halfBlue, 2));
}

TEST(VTImageMipmaps, LevelForSizeIsTheLastHalvingStillAtLeastTheSize) {
    const auto image = assetWithBitmap(solidBitmap(1000, 600, kRed));
    const std::pair<CGSize, int64_t> cases[] = {
        {{250, 150}, 2}, {{251, 150}, 1}, {{2000, 10}, 0}, {{0, -7}, 9}, {{NAN, NAN}, 9},
    };
    for (const auto& [size, level] : cases)
        EXPECT_EQ(image->mipmapLevelForSize(size), level) << size.width << " x " << size.height;
    EXPECT_EQ(VTImage::init()->mipmapLevelForSize(CGSizeMake(1, 1)), 0);
}

TEST(VTImageMipmaps, RequestsAreAnsweredInOrderThenFromTheCache) {
    const auto bitmap = solidBitmap(1000, 600, kRed);
    const auto image = assetWithBitmap(bitmap);
    Answers answers;
    image->mipmapImageAtLevel_callback(0, answers.callback());  // level 0: at once, the bitmap
    ASSERT_EQ(answers.images, std::vector<CGImageRef>{bitmap});
    image->mipmapImageAtLevel_callback(2, answers.callback());  // starts the generation
    image->mipmapImageAtLevel_callback(3, answers.callback());  // finds it in progress
    image->_setCGImage(solidBitmap(10, 10, kBlue));             // after the request: not seen by it
    EXPECT_EQ(answers.images.size(), 1u);
    ASSERT_TRUE(answers.waitFor(3));
    EXPECT_EQ(sizesOf(answers.images), (Sizes{{1000, 600}, {250, 150}, {125, 75}}));
    // Cached now: answered at once; a level past the last one gets the smallest.
    image->mipmapImageAtLevel_callback(2, answers.callback());
    image->mipmapImageAtLevel_callback(50, answers.callback());
    image->mipmapImageAtLevel_callback(-3, answers.callback());
    ASSERT_EQ(answers.images.size(), 6u);
    EXPECT_EQ(answers.images[3], answers.images[1]);
    EXPECT_EQ(sizesOf({answers.images[4]}), (Sizes{{1, 1}}));
    EXPECT_EQ(CGImageGetWidth(answers.images[5]), 10u);
}

// A generation without a bitmap answers nothing and caches nothing, so the next request starts
// again; the barrier lets a later tiny generation answer only after it.
TEST(VTImageMipmaps, AGenerationWithoutABitmapAnswersNothingAndCachesNothing) {
    const auto image = VTImage::init();
    Answers answers;
    for (int attempt = 0; attempt < 2; ++attempt) {
        image->mipmapImageAtLevel_callback(1, answers.callback());
        VTImage::addRequestBarrier();
        assetWithBitmap(solidBitmap(2, 2, kRed))
            ->mipmapImageAtLevel_callback(1, answers.callback());
        ASSERT_TRUE(answers.waitFor(attempt + 1));
    }
    EXPECT_EQ(sizesOf(answers.images), (Sizes{{1, 1}, {1, 1}}));
}

TEST(VTImageMipmaps, PendingWorkKeepsTheAssetAndCallbackUntilItHasRun) {
    auto token = std::make_shared<int>(7);
    const std::weak_ptr<int> weakToken = token;
    auto image = assetWithBitmap(solidBitmap(400, 300, kRed));
    const std::weak_ptr<VTImage> weakImage = image;
    Answers answers;
    image->mipmapImageAtLevel_callback(
        1, [token = std::move(token), &answers](const CGImageRef& level) {
            answers.images.push_back(level);
        });
    image.reset();
    EXPECT_FALSE(weakImage.expired());
    ASSERT_TRUE(answers.waitFor(1));
    EXPECT_EQ(CGImageGetWidth(answers.images[0]), 200u);
    ASSERT_TRUE(waitUntilReleased(weakImage));
    EXPECT_TRUE(weakToken.expired());
}

// A decoded asset starts its own generation; the document loader then adds a barrier, so that work
// submitted later finds those levels made.
TEST(VTImageMipmaps, DecodingStartsAGenerationThatTheBarrierOrdersBeforeLaterWork) {
    const auto decoded = archive_shapes::unarchive<VTImage>(
        archive_shapes::archive(assetWithBitmap(solidBitmap(1200, 900, kRed))));
    VTImage::addRequestBarrier();
    Answers answers;
    assetWithBitmap(solidBitmap(2, 2, kBlue))->mipmapImageAtLevel_callback(1, answers.callback());
    ASSERT_TRUE(answers.waitFor(1));
    decoded->mipmapImageAtLevel_callback(1, answers.callback());
    ASSERT_EQ(answers.images.size(), 2u);
    EXPECT_EQ(CGImageGetWidth(answers.images[1]), 600u);
}
