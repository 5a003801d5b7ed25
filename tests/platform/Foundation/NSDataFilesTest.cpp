// NSData's file reading and atomic writing: decoded videos are written atomically and read back
// when encoded.

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "NSData.h"
#include "NSURL.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> namesIn(const fs::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(NSDataFiles, WriteReplacesTheFileAndLeavesNothingElse) {
    test::ScratchDirectory scratch;
    const auto path = scratch.path() / "video.mov";
    test::writeFile(path, {1, 2, 3, 4, 5, 6});
    const auto data = NSData::dataWithVector({9, 8, 7});
    ASSERT_TRUE(data->writeToFile_atomically(path, true));
    EXPECT_EQ(test::readFile(path), (std::vector<uint8_t>{9, 8, 7}));
    EXPECT_EQ(namesIn(scratch.path()), std::vector<std::string>{"video.mov"});
    // In place, the file is truncated; empty data writes an empty file.
    ASSERT_TRUE(NSData::dataWithVector({7})->writeToFile_atomically(path, false));
    EXPECT_EQ(test::readFile(path), std::vector<uint8_t>{7});
    ASSERT_TRUE(NSData::dataWithVector({})->writeToFile_atomically(path, true));
    EXPECT_EQ(fs::file_size(path), 0u);
}

TEST(NSDataFiles, WriteReplacesALinkNotItsTarget) {
    test::ScratchDirectory scratch;
    test::writeFile(scratch.path() / "target", {1});
    fs::create_symlink(scratch.path() / "target", scratch.path() / "link");
    ASSERT_TRUE(NSData::dataWithVector({2})->writeToFile_atomically(scratch.path() / "link", true));
    EXPECT_FALSE(fs::is_symlink(scratch.path() / "link"));
    EXPECT_EQ(test::readFile(scratch.path() / "target"), std::vector<uint8_t>{1});
    EXPECT_EQ(test::readFile(scratch.path() / "link"), std::vector<uint8_t>{2});
}

TEST(NSDataFiles, FailedWritesLeaveNothingBehind) {
    test::ScratchDirectory scratch;
    const auto data = NSData::dataWithVector({1, 2});
    // A missing directory; a path that is a directory; an empty path; a name longer than a file
    // system allows.
    EXPECT_FALSE(data->writeToFile_atomically(scratch.path() / "missing" / "f", true));
    fs::create_directory(scratch.path() / "dir");
    EXPECT_FALSE(data->writeToFile_atomically(scratch.path() / "dir", true));
    EXPECT_FALSE(data->writeToFile_atomically("", true));
    EXPECT_FALSE(data->writeToFile_atomically(scratch.path() / std::string(300, 'n'), true));
    EXPECT_EQ(namesIn(scratch.path()), std::vector<std::string>{"dir"});
    EXPECT_TRUE(fs::is_empty(scratch.path() / "dir"));
}

TEST(NSDataFiles, URLsReadAndWriteFilesOnly) {
    test::ScratchDirectory scratch;
    const auto url = NSURL::fileURLWithPath((scratch.path() / "a b.mov").string());
    ASSERT_TRUE(NSData::dataWithVector({4, 5})->writeToURL_atomically(*url, true));
    EXPECT_EQ(test::readFile(scratch.path() / "a b.mov"), (std::vector<uint8_t>{4, 5}));
    const auto read = NSData::dataWithContentsOfURL(*url);
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(read->isEqual(*NSData::dataWithVector({4, 5})));

    const auto web = NSURL::URLWithString("https://example.com/a.mov");
    EXPECT_EQ(NSData::dataWithContentsOfURL(*web), nullptr);
    EXPECT_FALSE(NSData::dataWithVector({1})->writeToURL_atomically(*web, true));
    EXPECT_EQ(NSData::dataWithContentsOfURL(
                  *NSURL::fileURLWithPath((scratch.path() / "missing").string())),
              nullptr);
}
