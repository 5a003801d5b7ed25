// NSTemporaryDirectory, where the private copies of media files are made.

#include "NSPathUtilities.h"

#include <gtest/gtest.h>

#include "ScopedEnvironmentVariable.h"

TEST(NSTemporaryDirectory, FollowsTMPDIRWithOneTrailingSlashOrIsTmp) {
    const std::pair<std::optional<std::string>, const char*> cases[] = {
        {"/var/tmp/vantler", "/var/tmp/vantler/"},
        {"/var/tmp/vantler/", "/var/tmp/vantler/"},
        {std::nullopt, "/tmp/"},
        {"", "/tmp/"}};
    for (const auto& [tmpdir, expected] : cases) {
        test::ScopedEnvironmentVariable variable("TMPDIR", tmpdir);
        EXPECT_EQ(NSTemporaryDirectory(), expected) << tmpdir.value_or("(unset)");
    }
}
