// The free utility functions: timing a piece of work, and removing a scratch file only when a
// readable one is there.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "NSURL.h"
#include "TestSupport.h"
#include "UtilityFunctions.h"

namespace fs = std::filesystem;

TEST(UtilityFunctions, ProfileRunsTheWorkOnceAndTimesIt) {
    int runs = 0;
    const double seconds = profile([&] {
        ++runs;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    EXPECT_EQ(runs, 1);
    EXPECT_GE(seconds, 0.02);
}

TEST(UtilityFunctions, CleanupFileRemovesOnlyAReadableFile) {
    test::ScratchDirectory scratch;
    const fs::path file = scratch.path() / "clip copy.mov";
    test::writeFile(file, {1});
    cleanupFile(nullptr);
    cleanupFile(NSURL::URLWithString("https://example.com" + file.string()).get());
    EXPECT_TRUE(fs::exists(file));
    cleanupFile(NSURL::fileURLWithPath((scratch.path() / "missing").string()).get());
    if (geteuid() != 0) {  // root reads everything
        chmod(file.c_str(), 0);
        cleanupFile(NSURL::fileURLWithPath(file.string()).get());
        EXPECT_TRUE(fs::exists(file));
        chmod(file.c_str(), 0600);
    }
    cleanupFile(NSURL::fileURLWithPath(file.string()).get());
    EXPECT_FALSE(fs::exists(file));
}
