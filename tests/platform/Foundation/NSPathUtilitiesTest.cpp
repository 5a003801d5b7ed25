// NSTemporaryDirectory, where the private copies of media files are made.

#include "NSPathUtilities.h"

#include <gtest/gtest.h>

#include "ScopedEnvironmentVariable.h"

TEST(NSTemporaryDirectory, FollowsTMPDIRWithOneTrailingSlash) {
    {
        test::ScopedEnvironmentVariable tmpdir("TMPDIR", "/var/tmp/vantler");
        EXPECT_EQ(NSTemporaryDirectory(), "/var/tmp/vantler/");
    }
    {
        test::ScopedEnvironmentVariable tmpdir("TMPDIR", "/var/tmp/vantler/");
        EXPECT_EQ(NSTemporaryDirectory(), "/var/tmp/vantler/");
    }
}

TEST(NSTemporaryDirectory, IsTmpWithoutTMPDIR) {
    {
        test::ScopedEnvironmentVariable tmpdir("TMPDIR", std::nullopt);
        EXPECT_EQ(NSTemporaryDirectory(), "/tmp/");
    }
    {
        test::ScopedEnvironmentVariable tmpdir("TMPDIR", "");
        EXPECT_EQ(NSTemporaryDirectory(), "/tmp/");
    }
}
