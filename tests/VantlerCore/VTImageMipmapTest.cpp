// Part 3.2: mipmap levels, the level for a size, and asynchronous level requests answered at once
// or on the main queue (drained here by the test thread), with the barrier of addRequestBarrier.
// scripts/test runs these under ThreadSanitizer too.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ArchiveShapes.h"
#include "CGContext.h"
#include "DispatchQueue.h"
#include "ImageAssetTestSupport.h"
#include "NSKeyedArchiver.h"
#include "TestSupport.h"
#include "VTImage.h"

using namespace image_assets;

namespace {

constexpr ARGB kRed{255, 255, 0, 0};
constexpr ARGB kBlue{255, 0, 0, 255};

std::pair<size_t, size_t> sizeOf(const CGImageRef& image) {
    return {CGImageGetWidth(image), CGImageGetHeight(image)};
}

std::vector<std::pair<size_t, size_t>> sizesOf(const VTMipmapLevels& levels) {
    std::vector<std::pair<size_t, size_t>> sizes;
    for (const auto& level : levels) sizes.push_back(sizeOf(level));
    return sizes;
}

std::shared_ptr<VTImage> assetWithBitmap(const CGImageRef& bitmap) {
    auto image = VTImage::init();
    image->_setCGImage(bitmap);
    return image;
}

// What one request's callback saw. Written and read on the test thread only: callbacks run either
// inside the request (on this thread) or on the main queue, which only this thread drains.
struct Answer {
    bool called = false;
    int order = 0;  // among the answers of one test, from 1
    CGImageRef image;
};

class Answers {
public:
    VTMipmapCallback callbackFor(Answer& answer) {
        return [this, &answer](const CGImageRef& image) {
            answer.called = true;
            answer.order = ++count_;
            answer.image = image;
        };
    }
    bool waitFor(const Answer& answer) {
        return dispatchMainQueueRunUntil([&] { return answer.called; }, deadline());
    }

private:
    int count_ = 0;
};

// Waits until everything the mipmap queue held before this call has finished and handed its result
// to the main queue, and that has run: a barrier, then the generation of a tiny bitmap, whose answer
// comes after every earlier generation's result (the main queue keeps order).
bool settleMipmapQueue() {
    VTImage::addRequestBarrier();
    auto marker = assetWithBitmap(solidBitmap(2, 2, kRed));
    bool answered = false;
    marker->mipmapImageAtLevel_callback(1, [&](const CGImageRef&) { answered = true; });
    return dispatchMainQueueRunUntil([&] { return answered; }, deadline());
}

}  // namespace

// ---- Level generation

TEST(Part3_2_Mipmaps, A1000By600BitmapHas11Levels) {
    const auto bitmap = solidBitmap(1000, 600, kRed);
    const auto levels = generateMipmaps(bitmap);
    ASSERT_TRUE(levels);
    EXPECT_EQ(sizesOf(*levels), (std::vector<std::pair<size_t, size_t>>{{1000, 600},
                                                                        {500, 300},
                                                                        {250, 150},
                                                                        {125, 75},
                                                                        {63, 38},
                                                                        {32, 19},
                                                                        {16, 10},
                                                                        {8, 5},
                                                                        {4, 3},
                                                                        {2, 2},
                                                                        {1, 1}}));
    EXPECT_EQ(levels->front(), bitmap);  // entry 0 is the bitmap itself
}

TEST(Part3_2_Mipmaps, ThinBitmapsHaveFewLevels) {
    const auto tall = generateMipmaps(solidBitmap(3, 1000, kRed));
    ASSERT_TRUE(tall);
    EXPECT_EQ(sizesOf(*tall), (std::vector<std::pair<size_t, size_t>>{{3, 1000}, {2, 500}, {1, 250}}));
    const auto line = generateMipmaps(solidBitmap(1, 50, kRed));
    ASSERT_TRUE(line);
    EXPECT_EQ(sizesOf(*line), (std::vector<std::pair<size_t, size_t>>{{1, 50}}));
    const auto dot = generateMipmaps(solidBitmap(1, 1, kRed));
    ASSERT_TRUE(dot);
    EXPECT_EQ(dot->size(), 1u);
}

TEST(Part3_2_Mipmaps, NoBitmapHasNoLevels) {
    EXPECT_FALSE(generateMipmaps(nullptr));
}

TEST(Part3_2_Mipmaps, LevelsAreDeviceRGBPremultipliedFirstAndKeepTheirColours) {
    const auto levels = generateMipmaps(twoColourBitmap(1000, 600, kRed, kBlue));
    ASSERT_TRUE(levels);
    ASSERT_GE(levels->size(), 5u);
    for (size_t i = 1; i < levels->size(); ++i) {
        const auto& level = (*levels)[i];
        EXPECT_EQ(CGImageGetColorSpace(level), CGColorSpaceCreateDeviceRGB()) << i;
        EXPECT_EQ(CGImageGetBitsPerComponent(level), 8u) << i;
        EXPECT_EQ(CGImageGetBitmapInfo(level), CGBitmapInfo{kCGImageAlphaPremultipliedFirst}) << i;
    }
    // Flat regions away from the seam between the halves.
    const auto& level3 = (*levels)[3];  // 125 × 75
    EXPECT_TRUE(near(pixelAt(level3, 10, 37), kRed, 2));
    EXPECT_TRUE(near(pixelAt(level3, 115, 37), kBlue, 2));
    const auto& level6 = (*levels)[6];  // 16 × 10
    EXPECT_TRUE(near(pixelAt(level6, 1, 5), kRed, 2));
    EXPECT_TRUE(near(pixelAt(level6, 14, 5), kBlue, 2));
}

TEST(Part3_2_Mipmaps, TransparentPixelsStayTransparent) {
    const auto levels = generateMipmaps(twoColourBitmap(64, 64, {0, 0, 0, 0}, {128, 0, 128, 0}));
    ASSERT_TRUE(levels);
    const auto& level2 = (*levels)[2];  // 16 × 16
    EXPECT_TRUE(near(pixelAt(level2, 2, 8), (ARGB{0, 0, 0, 0}), 1));
    EXPECT_TRUE(near(pixelAt(level2, 13, 8), (ARGB{128, 0, 128, 0}), 2));
}

// ---- The level for a size

TEST(Part3_2_Mipmaps, LevelForSize) {
    const auto image = assetWithBitmap(solidBitmap(1000, 600, kRed));
    EXPECT_EQ(image->mipmapLevelForSize(CGSizeMake(100, 100)), 2);
    EXPECT_EQ(image->mipmapLevelForSize(CGSizeMake(250, 150)), 2);
    EXPECT_EQ(image->mipmapLevelForSize(CGSizeMake(251, 150)), 1);
    EXPECT_EQ(image->mipmapLevelForSize(CGSizeMake(2000, 10)), 0);
    EXPECT_EQ(image->mipmapLevelForSize(CGSizeMake(0.5, 0.5)), 9);
    EXPECT_EQ(image->mipmapLevelForSize(CGSizeMake(0, -7)), 9);  // raised to 1 × 1
    EXPECT_EQ(image->mipmapLevelForSize(CGSizeMake(NAN, NAN)), 9);
    EXPECT_EQ(image->mipmapLevelForSize(CGSizeMake(INFINITY, 1)), 0);
}

TEST(Part3_2_Mipmaps, LevelForSizeWithoutABitmapIsZero) {
    EXPECT_EQ(VTImage::init()->mipmapLevelForSize(CGSizeMake(1, 1)), 0);
}

// ---- Requests

TEST(Part3_2_Mipmaps, LevelZeroAndBelowAreAnsweredAtOnceWithTheBitmap) {
    const auto bitmap = solidBitmap(40, 30, kRed);
    const auto image = assetWithBitmap(bitmap);
    Answers answers;
    Answer zero, negative;
    image->mipmapImageAtLevel_callback(0, answers.callbackFor(zero));
    image->mipmapImageAtLevel_callback(-3, answers.callbackFor(negative));
    EXPECT_TRUE(zero.called);
    EXPECT_TRUE(negative.called);
    EXPECT_EQ(zero.image, bitmap);
    EXPECT_EQ(negative.image, bitmap);

    // And the same once the levels exist.
    Answer first;
    image->mipmapImageAtLevel_callback(1, answers.callbackFor(first));
    ASSERT_TRUE(answers.waitFor(first));
    Answer zeroAgain, negativeAgain;
    image->mipmapImageAtLevel_callback(0, answers.callbackFor(zeroAgain));
    image->mipmapImageAtLevel_callback(-3, answers.callbackFor(negativeAgain));
    EXPECT_TRUE(zeroAgain.called);
    EXPECT_TRUE(negativeAgain.called);
    EXPECT_EQ(zeroAgain.image, bitmap);
    EXPECT_EQ(negativeAgain.image, bitmap);
}

TEST(Part3_2_Mipmaps, TwoRequestsOnAFreshAsset) {
    const auto image = assetWithBitmap(solidBitmap(1000, 600, kRed));
    Answers answers;
    Answer first, second;
    image->mipmapImageAtLevel_callback(2, answers.callbackFor(first));   // starts the generation
    image->mipmapImageAtLevel_callback(3, answers.callbackFor(second));  // finds it in progress
    EXPECT_FALSE(first.called);
    EXPECT_FALSE(second.called);
    ASSERT_TRUE(answers.waitFor(second));
    // The second is answered on the main queue after the generation stored its result and answered
    // the first.
    EXPECT_TRUE(first.called);
    EXPECT_EQ(first.order, 1);
    EXPECT_EQ(second.order, 2);
    EXPECT_EQ(sizeOf(first.image), (std::pair<size_t, size_t>{250, 150}));
    EXPECT_EQ(sizeOf(second.image), (std::pair<size_t, size_t>{125, 75}));

    // Now the levels exist: answered at once, with the cached bitmaps themselves.
    Answer third;
    image->mipmapImageAtLevel_callback(2, answers.callbackFor(third));
    EXPECT_TRUE(third.called);
    EXPECT_EQ(third.image, first.image);
}

TEST(Part3_2_Mipmaps, ALevelAboveTheLastGetsTheSmallest) {
    const auto image = assetWithBitmap(solidBitmap(1000, 600, kRed));
    Answers answers;
    Answer fresh;
    image->mipmapImageAtLevel_callback(50, answers.callbackFor(fresh));
    ASSERT_TRUE(answers.waitFor(fresh));
    EXPECT_EQ(sizeOf(fresh.image), (std::pair<size_t, size_t>{1, 1}));
    Answer cached;
    image->mipmapImageAtLevel_callback(50, answers.callbackFor(cached));
    EXPECT_TRUE(cached.called);  // at once
    EXPECT_EQ(cached.image, fresh.image);
    Answer last;
    image->mipmapImageAtLevel_callback(10, answers.callbackFor(last));
    EXPECT_EQ(last.image, fresh.image);
}

TEST(Part3_2_Mipmaps, ATinyBitmapAnswersEveryLevelWithItself) {
    const auto bitmap = solidBitmap(1, 50, kRed);
    const auto image = assetWithBitmap(bitmap);
    Answers answers;
    Answer answer;
    image->mipmapImageAtLevel_callback(4, answers.callbackFor(answer));
    ASSERT_TRUE(answers.waitFor(answer));
    EXPECT_EQ(answer.image, bitmap);
}

TEST(Part3_2_Mipmaps, AnAssetWithoutABitmapEndsWithNoCache) {
    const auto image = VTImage::init();
    Answers answers;
    Answer fresh;
    image->mipmapImageAtLevel_callback(1, answers.callbackFor(fresh));
    ASSERT_TRUE(settleMipmapQueue());
    // A fresh generation without a bitmap calls nothing, and leaves no cache: the next request
    // starts again instead of being answered at once.
    EXPECT_FALSE(fresh.called);
    Answer again;
    image->mipmapImageAtLevel_callback(1, answers.callbackFor(again));
    EXPECT_FALSE(again.called);
    ASSERT_TRUE(settleMipmapQueue());
    EXPECT_FALSE(again.called);
}

TEST(Part3_2_Mipmaps, TheBitmapOfTheRequestIsTheOneUsed) {
    const auto image = assetWithBitmap(solidBitmap(100, 100, kRed));
    Answers answers;
    Answer answer;
    image->mipmapImageAtLevel_callback(1, answers.callbackFor(answer));
    image->_setCGImage(solidBitmap(10, 10, kBlue));  // after the request: not seen by it
    ASSERT_TRUE(answers.waitFor(answer));
    EXPECT_EQ(sizeOf(answer.image), (std::pair<size_t, size_t>{50, 50}));
    EXPECT_TRUE(near(pixelAt(answer.image, 25, 25), kRed, 2));
}

TEST(Part3_2_Mipmaps, PendingRequestsKeepTheAssetAndCallback) {
    std::weak_ptr<VTImage> weakImage;
    auto token = std::make_shared<int>(7);
    std::weak_ptr<int> weakToken = token;
    bool answered = false;
    {
        auto image = assetWithBitmap(solidBitmap(400, 300, kRed));
        weakImage = image;
        image->mipmapImageAtLevel_callback(1, [token = std::move(token), &answered](const CGImageRef& level) {
            answered = *token == 7 && CGImageGetWidth(level) == 200;
        });
    }
    EXPECT_FALSE(weakImage.expired());  // held by the queued work
    ASSERT_TRUE(dispatchMainQueueRunUntil([&] { return answered; }, deadline()));
    ASSERT_TRUE(waitUntilReleased(weakImage));
    EXPECT_TRUE(weakToken.expired());
}

TEST(Part3_2_Mipmaps, DecodingRequestsLevelOneAndTheBarrierOrdersLaterWork) {
    const auto bitmap = solidBitmap(1200, 900, kRed);
    const auto archive = NSKeyedArchiver::archivedDataWithRootObject(assetWithBitmap(bitmap));
    const auto decoded = archive_shapes::unarchive<VTImage>(archive);  // starts its generation
    ASSERT_NE(decoded, nullptr);
    // As the document loader does: a barrier, then later work (a tiny generation) starts only once
    // the decoded asset's generation has finished, so its answer comes after that result was stored.
    VTImage::addRequestBarrier();
    const auto tiny = assetWithBitmap(solidBitmap(2, 2, kBlue));
    Answers answers;
    Answer tinyAnswer;
    tiny->mipmapImageAtLevel_callback(1, answers.callbackFor(tinyAnswer));
    ASSERT_TRUE(answers.waitFor(tinyAnswer));
    // So the decoded asset's levels are there without this test having asked for them.
    Answer level;
    decoded->mipmapImageAtLevel_callback(1, answers.callbackFor(level));
    EXPECT_TRUE(level.called);
    EXPECT_EQ(sizeOf(level.image), (std::pair<size_t, size_t>{600, 450}));
}

TEST(Part3_2_Mipmaps, RequestsFromSeveralThreads) {
    // Several request threads at once, some on one shared asset: one generation per asset, every
    // callback answered. The cache field is reached by the request threads, the mipmap queue and the
    // main queue (ThreadSanitizer checks the locking).
    constexpr int kThreads = 4;
    const auto shared = assetWithBitmap(solidBitmap(300, 200, kRed));
    std::atomic<int> answered{0};
    std::vector<std::thread> threads;
    std::vector<std::shared_ptr<VTImage>> own(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        own[t] = assetWithBitmap(solidBitmap(100 + 10 * t, 80, kBlue));
        threads.emplace_back([&, t] {
            const auto count = [&](const CGImageRef& image) {
                if (image) answered.fetch_add(1);
            };
            shared->mipmapImageAtLevel_callback(1 + t, count);
            own[t]->mipmapImageAtLevel_callback(1, count);
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(dispatchMainQueueRunUntil([&] { return answered.load() == 2 * kThreads; }, deadline()));
    Answers answers;
    Answer last;
    shared->mipmapImageAtLevel_callback(50, answers.callbackFor(last));
    EXPECT_TRUE(last.called);
    EXPECT_EQ(sizeOf(last.image), (std::pair<size_t, size_t>{2, 1}));  // after 300 × 200 ... 3 × 2
}

// ---- Process exit

// The child of TheProcessMayExitWhileGenerationsRun; skipped in ordinary runs.
TEST(Part3_2_Mipmaps, ExitChild) {
    if (!std::getenv("VANTLER_MIPMAP_EXIT_CHILD"))
        GTEST_SKIP() << "runs only as the child process of TheProcessMayExitWhileGenerationsRun";
    // Large bitmaps, so that generations are still running or queued when main returns.
    for (int i = 0; i < 4; ++i)
        assetWithBitmap(solidBitmap(2000, 1500, kRed))->mipmapImageAtLevel_callback(1, [](const CGImageRef&) {});
    VTImage::addRequestBarrier();
    std::printf("generations in flight; returning from the test\n");
}

TEST(Part3_2_Mipmaps, TheProcessMayExitWhileGenerationsRun) {
    const auto program = std::filesystem::read_symlink("/proc/self/exe").string();
    const auto result = test::run({"env", "VANTLER_MIPMAP_EXIT_CHILD=1", program,
                                   "--gtest_filter=Part3_2_Mipmaps.ExitChild"});
    EXPECT_EQ(result.exitStatus, 0) << result.standardOutput << result.standardError;
    EXPECT_NE(result.standardOutput.find("generations in flight; returning from the test"), std::string::npos)
        << result.standardOutput;
    EXPECT_NE(result.standardOutput.find("[  PASSED  ] 1 test"), std::string::npos) << result.standardOutput;
}
