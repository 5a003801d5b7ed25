// CoreMedia's time values as a media duration uses them: exact comparison in CoreMedia's order
// -infinity < finite values < indefinite < +infinity < invalid.

#include <gtest/gtest.h>

#include <limits>

#include "AVFoundation.h"

namespace {

CMTime withFlags(uint32_t flags) {
    return {0, 0, kCMTimeFlags_Valid | flags, 0};
}

TEST(CMTime, CompareOrdersEveryKindOfTime) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    CMTime laterEpoch = CMTimeMake(0, 1);
    laterEpoch.epoch = 1;  // a later epoch is later, whatever the value
    const CMTime infinity = withFlags(kCMTimeFlags_PositiveInfinity);
    // Products beyond 64 bits around kMax.
    // clang-format off
    const CMTime ordered[] = {withFlags(kCMTimeFlags_NegativeInfinity), CMTimeMake(-5, 1), CMTimeMake(-1, 600),
                              CMTimeMake(0, 60), CMTimeMake(333'333'333, 1'000'000'000), CMTimeMake(1, 3),
                              CMTimeMake(kMax - 1, INT32_MAX), CMTimeMake(kMax, INT32_MAX), CMTimeMake(kMax, 2),
                              CMTimeMake(kMax, 1), laterEpoch, withFlags(kCMTimeFlags_Indefinite), infinity,
                              kCMTimeInvalid};
    // clang-format on
    for (size_t i = 0; i < std::size(ordered); ++i)
        for (size_t j = 0; j < std::size(ordered); ++j)
            EXPECT_EQ(CMTimeCompare(ordered[i], ordered[j]), int(i > j) - int(i < j))
                << i << " vs " << j;
    EXPECT_EQ(CMTimeCompare(CMTimeMake(1, 2), CMTimeMake(3, 6)), 0);
    EXPECT_FALSE(CMTIME_IS_VALID(CMTimeMake(1, 0)));  // a time needs a positive timescale
    EXPECT_FALSE(CMTIME_IS_VALID(CMTimeMake(1, -600)));
}

}  // namespace
