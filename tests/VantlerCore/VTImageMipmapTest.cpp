// Mipmap levels of an image asset, the level for a size, and level requests answered at once or on
// the main queue (drained here by the test thread), ordered by the request barrier. scripts/test
// runs these under ThreadSanitizer too.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <utility>
#include <vector>

#include "ArchiveShapes.h"
#include "ImageAssetTestSupport.h"
#include "TestSupport.h"

using namespace image_assets;

namespace {

using Size = std::pair<size_t, size_t>;

Size sizeOf(const CGImageRef& image) {
    return {CGImageGetWidth(image), CGImageGetHeight(image)};
}

// What one request's callback saw. Written and read on the test thread only: callbacks run either
// inside the request or on the main queue, which only this thread drains.
struct Answer {
    bool called = false;
    int order = 0;  // among the answers of one test, from 1
    CGImageRef image;
};

class Answers {
  public:
    VTMipmapCallback callbackFor(Answer& answer) {
        return [this, &answer](const CGImageRef& image) { answer = {true, ++count_, image}; };
    }
    bool waitFor(const Answer& answer) {
        return dispatchMainQueueRunUntil([&] { return answer.called; }, deadline());
    }
    // Asks `image` for `level` and waits for the answer.
    Answer request(VTImage& image, int64_t level) {
        Answer answer;
        image.mipmapImageAtLevel_callback(level, callbackFor(answer));
        EXPECT_TRUE(waitFor(answer)) << "level " << level;
        return answer;
    }

  private:
    int count_ = 0;
};

// Waits until everything the mipmap queue held before this call has finished and its answers have
// run: behind a barrier, a tiny generation answers after every earlier one (the main queue keeps
// order).
bool settleMipmapQueue() {
    VTImage::addRequestBarrier();
    Answers answers;
    Answer marker;
    assetWithBitmap(solidBitmap(2, 2, kRed))
        ->mipmapImageAtLevel_callback(1, answers.callbackFor(marker));
    return answers.waitFor(marker);
}

}  // namespace

TEST(VTImageMipmaps, LevelsHalveRoundingUpUntilASideIsBelowTwo) {
    const struct {
        std::vector<size_t> widths, heights;
    } cases[] = {
        {{1000, 500, 250, 125, 63, 32, 16, 8, 4, 2, 1},
         {600, 300, 150, 75, 38, 19, 10, 5, 3, 2, 1}},
        {{3, 2, 1}, {1000, 500, 250}},
        {{1}, {50}},
        {{1}, {1}},
    };
    for (const auto& c : cases) {
        const auto bitmap = solidBitmap(c.widths[0], c.heights[0], kRed);
        const auto levels = generateMipmaps(bitmap);
        ASSERT_TRUE(levels);
        std::vector<size_t> widths, heights;
        for (const auto& level : *levels) {
            widths.push_back(CGImageGetWidth(level));
            heights.push_back(CGImageGetHeight(level));
        }
        EXPECT_EQ(widths, c.widths);
        EXPECT_EQ(heights, c.heights);
        EXPECT_EQ(levels->front(), bitmap);  // entry 0 is the bitmap itself, not a copy
    }
    EXPECT_FALSE(generateMipmaps(nullptr));
}

TEST(VTImageMipmaps, LevelsArePremultipliedDeviceRGBAndKeepTheirColours) {
    const auto levels = generateMipmaps(twoColourBitmap(1000, 600, kRed, kBlue, 500));
    ASSERT_TRUE(levels);
    for (size_t i = 1; i < levels->size(); ++i) {
        EXPECT_EQ(CGImageGetColorSpace((*levels)[i]), CGColorSpaceCreateDeviceRGB()) << i;
        EXPECT_EQ(CGImageGetBitsPerComponent((*levels)[i]), 8u) << i;
        EXPECT_EQ(CGImageGetBitmapInfo((*levels)[i]),
                  CGBitmapInfo{kCGImageAlphaPremultipliedFirst});
    }
    // Flat regions away from the seam between the halves.
    EXPECT_TRUE(near(pixelAt((*levels)[3], 10, 37), kRed, 2));  // 125 × 75
    EXPECT_TRUE(near(pixelAt((*levels)[3], 115, 37), kBlue, 2));
    EXPECT_TRUE(near(pixelAt((*levels)[6], 1, 5), kRed, 2));  // 16 × 10
    EXPECT_TRUE(near(pixelAt((*levels)[6], 14, 5), kBlue, 2));
    // Transparent pixels stay transparent, translucent ones keep their alpha.
    const ARGB clear{0, 0, 0, 0}, halfBlue{128, 0, 0, 128};
    const auto translucent = generateMipmaps(twoColourBitmap(64, 64, clear, halfBlue, 32));
    EXPECT_TRUE(near(pixelAt((*translucent)[2], 2, 8), clear, 1));
    EXPECT_TRUE(near(pixelAt((*translucent)[2], 13, 8), halfBlue, 2));
}

TEST(VTImageMipmaps, LevelForSizeIsTheLastHalvingStillAtLeastTheSize) {
    const auto image = assetWithBitmap(solidBitmap(1000, 600, kRed));
    const struct {
        CGSize size;
        int64_t level;
    } cases[] = {
        {{100, 100}, 2}, {{250, 150}, 2},    {{251, 150}, 1},
        {{2000, 10}, 0}, {{0.5, 0.5}, 9},    {{0, -7}, 9},  // raised to 1 × 1
        {{NAN, NAN}, 9}, {{INFINITY, 1}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(image->mipmapLevelForSize(c.size), c.level)
            << c.size.width << " x " << c.size.height;
    EXPECT_EQ(VTImage::init()->mipmapLevelForSize(CGSizeMake(1, 1)), 0);
}

TEST(VTImageMipmaps, LevelZeroAndBelowAreAnsweredAtOnceWithTheBitmap) {
    const auto bitmap = solidBitmap(40, 30, kRed);
    const auto image = assetWithBitmap(bitmap);
    Answers answers;
    for (const bool levelsExist : {false, true}) {
        if (levelsExist) answers.request(*image, 1);
        for (const int64_t level : {0, -3}) {
            Answer answer;
            image->mipmapImageAtLevel_callback(level, answers.callbackFor(answer));
            EXPECT_TRUE(answer.called) << level;
            EXPECT_EQ(answer.image, bitmap) << level;
        }
    }
}

TEST(VTImageMipmaps, RequestsDuringAGenerationAreAnsweredInOrderThenFromTheCache) {
    const auto image = assetWithBitmap(solidBitmap(1000, 600, kRed));
    Answers answers;
    Answer first, second;
    image->mipmapImageAtLevel_callback(2, answers.callbackFor(first));   // starts the generation
    image->mipmapImageAtLevel_callback(3, answers.callbackFor(second));  // finds it in progress
    EXPECT_FALSE(first.called);
    EXPECT_FALSE(second.called);
    ASSERT_TRUE(answers.waitFor(second));
    EXPECT_EQ(first.order, 1);
    EXPECT_EQ(second.order, 2);
    EXPECT_EQ(sizeOf(first.image), Size(250, 150));
    EXPECT_EQ(sizeOf(second.image), Size(125, 75));

    // The levels exist now: answered at once with the cached bitmaps; a level past the last one
    // gets the smallest.
    Answer again, past;
    image->mipmapImageAtLevel_callback(2, answers.callbackFor(again));
    image->mipmapImageAtLevel_callback(50, answers.callbackFor(past));
    EXPECT_TRUE(again.called && past.called);
    EXPECT_EQ(again.image, first.image);
    EXPECT_EQ(sizeOf(past.image), Size(1, 1));
    // A bitmap too small to halve answers every level with itself.
    const auto line = solidBitmap(1, 50, kRed);
    EXPECT_EQ(answers.request(*assetWithBitmap(line), 4).image, line);
}

TEST(VTImageMipmaps, AGenerationWithoutABitmapAnswersNothingAndCachesNothing) {
    const auto image = VTImage::init();
    Answers answers;
    Answer fresh, again;
    image->mipmapImageAtLevel_callback(1, answers.callbackFor(fresh));
    ASSERT_TRUE(settleMipmapQueue());
    EXPECT_FALSE(fresh.called);
    // No cache was left behind: the next request starts again instead of being answered at once.
    image->mipmapImageAtLevel_callback(1, answers.callbackFor(again));
    EXPECT_FALSE(again.called);
    ASSERT_TRUE(settleMipmapQueue());
    EXPECT_FALSE(again.called);
}

TEST(VTImageMipmaps, AGenerationUsesTheBitmapOfItsRequest) {
    const auto image = assetWithBitmap(solidBitmap(100, 100, kRed));
    Answers answers;
    Answer answer;
    image->mipmapImageAtLevel_callback(1, answers.callbackFor(answer));
    image->_setCGImage(solidBitmap(10, 10, kBlue));  // after the request: not seen by it
    ASSERT_TRUE(answers.waitFor(answer));
    EXPECT_EQ(sizeOf(answer.image), Size(50, 50));
    EXPECT_TRUE(near(pixelAt(answer.image, 25, 25), kRed, 2));
}

TEST(VTImageMipmaps, PendingWorkKeepsTheAssetAndCallbackUntilItHasRun) {
    std::weak_ptr<VTImage> weakImage;
    auto token = std::make_shared<int>(7);
    std::weak_ptr<int> weakToken = token;
    bool answered = false;
    {
        auto image = assetWithBitmap(solidBitmap(400, 300, kRed));
        weakImage = image;
        image->mipmapImageAtLevel_callback(
            1, [token = std::move(token), &answered](const CGImageRef& level) {
                answered = *token == 7 && CGImageGetWidth(level) == 200;
            });
    }
    EXPECT_FALSE(weakImage.expired());
    ASSERT_TRUE(dispatchMainQueueRunUntil([&] { return answered; }, deadline()));
    ASSERT_TRUE(waitUntilReleased(weakImage));
    EXPECT_TRUE(weakToken.expired());
}

// A decoded asset starts its own generation; the document loader then adds a barrier, so that work
// submitted later finds those levels made.
TEST(VTImageMipmaps, DecodingStartsAGenerationThatTheBarrierOrdersBeforeLaterWork) {
    const auto archive = archive_shapes::archive(assetWithBitmap(solidBitmap(1200, 900, kRed)));
    const auto decoded = archive_shapes::unarchive<VTImage>(archive);
    ASSERT_NE(decoded, nullptr);
    VTImage::addRequestBarrier();
    Answers answers;
    answers.request(*assetWithBitmap(solidBitmap(2, 2, kBlue)), 1);
    Answer level;
    decoded->mipmapImageAtLevel_callback(1, answers.callbackFor(level));
    EXPECT_TRUE(level.called);
    EXPECT_EQ(sizeOf(level.image), Size(600, 450));
}

// The cache is reached by the request threads, the mipmap queue and the main queue; one
// generation per asset, and every callback answered.
TEST(VTImageMipmaps, RequestsFromSeveralThreads) {
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
    ASSERT_TRUE(
        dispatchMainQueueRunUntil([&] { return answered.load() == 2 * kThreads; }, deadline()));
    Answers answers;
    Answer last;
    shared->mipmapImageAtLevel_callback(50, answers.callbackFor(last));
    EXPECT_TRUE(last.called);
    EXPECT_EQ(sizeOf(last.image), Size(2, 1));  // 300 × 200 halved down to 3 × 2, then 2 × 1
}

// The child of TheProcessMayExitWhileGenerationsRun; skipped in ordinary runs.
TEST(VTImageMipmaps, ExitChild) {
    if (!std::getenv("VANTLER_MIPMAP_EXIT_CHILD"))
        GTEST_SKIP() << "runs only as the child process of TheProcessMayExitWhileGenerationsRun";
    // Large bitmaps, so that generations are still running or queued when main returns.
    for (int i = 0; i < 4; ++i)
        assetWithBitmap(solidBitmap(2000, 1500, kRed))
            ->mipmapImageAtLevel_callback(1, [](const CGImageRef&) {});
    VTImage::addRequestBarrier();
    std::printf("generations in flight; returning from the test\n");
}

TEST(VTImageMipmaps, TheProcessMayExitWhileGenerationsRun) {
    const auto program = std::filesystem::read_symlink("/proc/self/exe").string();
    const auto result = test::run(
        {"env", "VANTLER_MIPMAP_EXIT_CHILD=1", program, "--gtest_filter=VTImageMipmaps.ExitChild"});
    EXPECT_EQ(result.exitStatus, 0) << result.standardOutput << result.standardError;
    EXPECT_NE(result.standardOutput.find("generations in flight; returning from the test"),
              std::string::npos)
        << result.standardOutput;
    EXPECT_NE(result.standardOutput.find("[  PASSED  ] 1 test"), std::string::npos);
}
