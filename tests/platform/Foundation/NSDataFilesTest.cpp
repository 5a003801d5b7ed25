// NSData's file reading and atomic writing: decoded videos are written atomically and read back
// when encoded.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "NSData.h"
#include "NSURL.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

// Atomically, a link is replaced, not its target; in place, the file is truncated. A failed write
// (missing directory, a directory, an empty path, a name too long) leaves nothing behind.
TEST(NSDataFiles, WriteReplacesTheFileOrLeavesNothingBehind) {
    test::ScratchDirectory scratch;
    const auto path = scratch.path() / "video.mov";
    test::writeFile(path, {1, 2, 3, 4, 5, 6});
    fs::create_symlink(path, scratch.path() / "link");
    ASSERT_TRUE(NSData::dataWithVector({9, 8, 7})->writeToFile_atomically(path, true));
    EXPECT_EQ(test::readFile(path), (std::vector<uint8_t>{9, 8, 7}));
    ASSERT_TRUE(NSData::dataWithVector({7})->writeToFile_atomically(path, false));
    EXPECT_EQ(test::readFile(path), std::vector<uint8_t>{7});
    ASSERT_TRUE(NSData::dataWithVector({2})->writeToFile_atomically(scratch.path() / "link", true));
    EXPECT_FALSE(fs::is_symlink(scratch.path() / "link"));
    EXPECT_EQ(test::readFile(path), std::vector<uint8_t>{7});
    ASSERT_TRUE(NSData::dataWithVector({})->writeToFile_atomically(path, true));
    EXPECT_EQ(fs::file_size(path), 0u);
    fs::create_directory(scratch.path() / "dir");
    for (const auto& bad : {scratch.path() / "missing" / "f", scratch.path() / "dir", fs::path(),
                            scratch.path() / std::string(300, 'n')})
        EXPECT_FALSE(NSData::dataWithVector({1, 2})->writeToFile_atomically(bad, true)) << bad;
    EXPECT_EQ(test::filesIn(scratch.path()),
              (std::vector<std::string>{"dir", "link", "video.mov"}));
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

// A mapped file cut short by another program while it is read: the bytes it still has read as
// before, those past its new end as zeros, and the process lives on (a touch past the end of a
// mapped file raises SIGBUS).
TEST(NSDataFiles, AMappedFileCutShortReadsAsZerosPastItsEnd) {
    test::ScratchDirectory scratch;
    const auto path = scratch.path() / "document";
    constexpr size_t kLength = 3 * 65536, kKept = 4096 + 10;
    test::writeFile(path, std::vector<uint8_t>(kLength, 0xab));
    const auto data = NSData::dataWithContentsOfFile_options(path, NSDataReadingMappedIfSafe);
    ASSERT_EQ(data->length(), kLength);
    fs::resize_file(path, kKept);
    const auto bytes = data->span();
    EXPECT_TRUE(
        std::all_of(bytes.begin(), bytes.begin() + kKept, [](uint8_t b) { return b == 0xab; }));
    EXPECT_TRUE(std::all_of(bytes.begin() + kKept, bytes.end(), [](uint8_t b) { return b == 0; }));
}
