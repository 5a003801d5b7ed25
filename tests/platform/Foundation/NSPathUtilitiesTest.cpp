// NSTemporaryDirectory (Part 3.1 makes the private copies of media files there).

#include "NSPathUtilities.h"

#include <gtest/gtest.h>

#include "ScopedEnvironmentVariable.h"

TEST(Part3_1_NSTemporaryDirectory, FollowsTMPDIRWithOneTrailingSlash) {
    {
        test::ScopedEnvironmentVariable tmpdir("TMPDIR", "/var/tmp/vantler");
        EXPECT_EQ(NSTemporaryDirectory(), "/var/tmp/vantler/");
    }
    {
        test::ScopedEnvironmentVariable tmpdir("TMPDIR", "/var/tmp/vantler/");
        EXPECT_EQ(NSTemporaryDirectory(), "/var/tmp/vantler/");
    }
}

TEST(Part3_1_NSTemporaryDirectory, IsTmpWithoutTMPDIR) {
    {
        test::ScopedEnvironmentVariable tmpdir("TMPDIR", std::nullopt);
        EXPECT_EQ(NSTemporaryDirectory(), "/tmp/");
    }
    {
        test::ScopedEnvironmentVariable tmpdir("TMPDIR", "");
        EXPECT_EQ(NSTemporaryDirectory(), "/tmp/");
    }
}
