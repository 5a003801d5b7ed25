// CoreMedia's time values, as Part 3.1's `duration` uses them (CMTimeCompare with kCMTimeZero,
// CMTimeGetSeconds), with CoreMedia's documented order of the non-numeric times.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "AVFoundation.h"

namespace {

CMTime withFlags(uint32_t flags) {
    return {0, 0, kCMTimeFlags_Valid | flags, 0};
}

}  // namespace

TEST(Part3_1_CMTime, MakeAndConstants) {
    const CMTime time = CMTimeMake(3, 2);
    EXPECT_EQ(time.value, 3);
    EXPECT_EQ(time.timescale, 2);
    EXPECT_EQ(time.flags, uint32_t(kCMTimeFlags_Valid));
    EXPECT_EQ(time.epoch, 0);
    EXPECT_TRUE(CMTIME_IS_VALID(time));
    EXPECT_EQ(kCMTimeZero.value, 0);
    EXPECT_EQ(kCMTimeZero.timescale, 1);
    EXPECT_TRUE(CMTIME_IS_VALID(kCMTimeZero));
    EXPECT_FALSE(CMTIME_IS_VALID(kCMTimeInvalid));
    // A time needs a positive timescale.
    EXPECT_FALSE(CMTIME_IS_VALID(CMTimeMake(1, 0)));
    EXPECT_FALSE(CMTIME_IS_VALID(CMTimeMake(1, -600)));
}

TEST(Part3_1_CMTime, CompareNumbersExactly) {
    EXPECT_EQ(CMTimeCompare(CMTimeMake(1, 2), CMTimeMake(3, 6)), 0);
    EXPECT_EQ(CMTimeCompare(CMTimeMake(0, 60), kCMTimeZero), 0);
    EXPECT_EQ(CMTimeCompare(CMTimeMake(1, 3), CMTimeMake(333'333'333, 1'000'000'000)), 1);
    EXPECT_EQ(CMTimeCompare(CMTimeMake(333'333'333, 1'000'000'000), CMTimeMake(1, 3)), -1);
    EXPECT_EQ(CMTimeCompare(CMTimeMake(-1, 600), kCMTimeZero), -1);
    // Products beyond 64 bits.
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    EXPECT_EQ(CMTimeCompare(CMTimeMake(kMax, 1), CMTimeMake(kMax, 2)), 1);
    EXPECT_EQ(CMTimeCompare(CMTimeMake(kMax - 1, INT32_MAX), CMTimeMake(kMax, INT32_MAX)), -1);
    // A larger epoch is later, whatever the value.
    CMTime later = CMTimeMake(0, 1);
    later.epoch = 1;
    EXPECT_EQ(CMTimeCompare(later, CMTimeMake(1'000'000, 1)), 1);
}

// CMTimeCompare's documentation: −infinity < all finite values < indefinite < +infinity < invalid.
TEST(Part3_1_CMTime, CompareOrderOfNonNumericTimes) {
    const CMTime ordered[] = {withFlags(kCMTimeFlags_NegativeInfinity),
                              CMTimeMake(-5, 1),
                              kCMTimeZero,
                              CMTimeMake(7, 3),
                              withFlags(kCMTimeFlags_Indefinite),
                              withFlags(kCMTimeFlags_PositiveInfinity),
                              kCMTimeInvalid};
    constexpr size_t n = std::size(ordered);
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j) {
            SCOPED_TRACE(testing::Message() << i << " vs " << j);
            EXPECT_EQ(CMTimeCompare(ordered[i], ordered[j]), i < j ? -1 : i > j ? 1 : 0);
        }
    }
    // So an invalid duration is "greater than zero" (Part 3.1's duration then reads NaN seconds).
    EXPECT_EQ(CMTimeCompare(kCMTimeInvalid, kCMTimeZero), 1);
}

TEST(Part3_1_CMTime, Seconds) {
    EXPECT_EQ(CMTimeGetSeconds(CMTimeMake(3, 2)), 1.5);
    EXPECT_EQ(CMTimeGetSeconds(CMTimeMake(-1, 4)), -0.25);
    EXPECT_EQ(CMTimeGetSeconds(kCMTimeZero), 0.0);
    EXPECT_TRUE(std::isnan(CMTimeGetSeconds(kCMTimeInvalid)));
    EXPECT_TRUE(std::isnan(CMTimeGetSeconds(withFlags(kCMTimeFlags_Indefinite))));
    EXPECT_EQ(CMTimeGetSeconds(withFlags(kCMTimeFlags_PositiveInfinity)),
              std::numeric_limits<double>::infinity());
    EXPECT_EQ(CMTimeGetSeconds(withFlags(kCMTimeFlags_NegativeInfinity)),
              -std::numeric_limits<double>::infinity());
}
