// NSFileManager: copying media into the temporary directory, comparing two private copies,
// deleting a copy.

#include "NSFileManager.h"

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

const NSFileManager& manager() {
    return *NSFileManager::defaultManager();
}

void write(const fs::path& path, const std::string& text) {
    test::writeFile(path, {text.begin(), text.end()});
}

}  // namespace

TEST(NSFileManager, FileExistsFollowsLinks) {
    test::ScratchDirectory scratch;
    const auto& dir = scratch.path();
    write(dir / "a.mov", "movie");
    fs::create_symlink(dir / "a.mov", dir / "link");
    fs::create_symlink(dir / "missing", dir / "dangling");
    for (const auto& [path, exists] :
         std::vector<std::pair<fs::path, bool>>{{dir / "a.mov", true},
                                                {dir, true},
                                                {dir / "link", true},
                                                {dir / "dangling", false},
                                                {dir / "missing", false},
                                                {"", false}})
        EXPECT_EQ(manager().fileExistsAtPath(path), exists) << path;
}

// Files by bytes (longer than one comparison chunk), links by their text, directories by their
// entries; a FIFO is never opened, since opening it for reading would wait for a writer forever.
TEST(NSFileManager, ContentsEqualComparesFilesDirectoriesAndLinks) {
    test::ScratchDirectory scratch;
    const auto& dir = scratch.path();
    std::vector<uint8_t> big(200'000, 7);
    test::writeFile(dir / "a", big);
    test::writeFile(dir / "b", big);
    big.back() = 8;
    test::writeFile(dir / "c", big);
    big.pop_back();
    test::writeFile(dir / "d", big);
    write(dir / "e1", ""), write(dir / "e2", "");
    ASSERT_EQ(mkfifo((dir / "fifo-a").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir / "fifo-b").c_str(), 0600), 0);
    for (const auto& root : {dir / "one", dir / "two", dir / "three", dir / "four"}) {
        fs::create_directories(root / "sub");
        write(root / "sub" / "f", "same");
        fs::create_symlink(root.filename() == "three" ? "./sub/f" : "sub/f", root / "link");
    }
    write(dir / "four" / "sub" / "f", "diff");
    const struct {
        const char *a, *b;
        bool equal;
    } cases[] = {
        // clang-format off
        {"a", "b", true}, {"a", "a", true}, {"a", "c", false}, {"a", "d", false}, {"a", "missing", false},
        {"missing", "missing", false}, {"e1", "e2", true}, {"fifo-a", "fifo-b", false}, {"fifo-a", "fifo-a", true},
        {"one", "two", true}, {"one/sub/f", "one/sub", false}, {"one/link", "one/sub/f", false},
        {"one", "three", false}, {"one", "four", false},
        // clang-format on
    };
    for (const auto& c : cases)
        EXPECT_EQ(manager().contentsEqualAtPath_andPath(dir / c.a, dir / c.b), c.equal)
            << c.a << " " << c.b;
    write(dir / "two" / "extra", "x");
    EXPECT_FALSE(manager().contentsEqualAtPath_andPath(dir / "one", dir / "two"));
}

TEST(NSFileManager, CopyItemCopiesFilesDirectoriesAndLinksAndRefusesToOverwrite) {
    test::ScratchDirectory scratch;
    const auto& dir = scratch.path();
    write(dir / "clip.mov", "frames");
    std::shared_ptr<NSError> error;
    ASSERT_TRUE(manager().copyItemAtURL_toURL_error(
        *NSURL::fileURLWithPath((dir / "clip.mov").string()),
        *NSURL::fileURLWithPath((dir / "copy.mov").string()), &error));
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(test::readFile(dir / "copy.mov"), test::readFile(dir / "clip.mov"));
    write(dir / "clip.mov", "other");
    EXPECT_FALSE(manager().copyItemAtPath_toPath_error(dir / "clip.mov", dir / "copy.mov", &error));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->domain(), "NSCocoaErrorDomain");
    EXPECT_EQ(error->code(), NSFileWriteFileExistsError);
    error = nullptr;
    EXPECT_FALSE(manager().copyItemAtPath_toPath_error(dir / "missing", dir / "x", &error));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code(), NSFileReadNoSuchFileError);
    EXPECT_FALSE(manager().copyItemAtPath_toPath_error(dir / "missing", dir / "x", nullptr));
    EXPECT_FALSE(fs::exists(dir / "x"));

    fs::create_directories(dir / "bundle" / "inner");
    write(dir / "bundle" / "inner" / "f", "data");
    fs::create_symlink("inner/f", dir / "bundle" / "link");
    ASSERT_TRUE(manager().copyItemAtPath_toPath_error(dir / "bundle", dir / "copy", nullptr));
    EXPECT_EQ(fs::read_symlink(dir / "copy" / "link"), "inner/f");
    EXPECT_TRUE(manager().contentsEqualAtPath_andPath(dir / "bundle", dir / "copy"));
}

TEST(NSFileManager, RemoveItemRemovesFilesDirectoriesAndLinks) {
    test::ScratchDirectory scratch;
    const auto& dir = scratch.path();
    write(dir / "video.mov", "v");
    fs::create_symlink(dir / "video.mov", dir / "link");
    fs::create_directories(dir / "dir" / "sub");
    write(dir / "dir" / "sub" / "f", "f");
    std::shared_ptr<NSError> error;
    EXPECT_TRUE(manager().removeItemAtPath_error(dir / "link", &error));
    EXPECT_EQ(error, nullptr);
    EXPECT_TRUE(fs::exists(dir / "video.mov"));  // the link went, not its target
    EXPECT_TRUE(manager().removeItemAtURL_error(
        *NSURL::fileURLWithPath((dir / "video.mov").string()), &error));
    EXPECT_TRUE(manager().removeItemAtPath_error(dir / "dir", &error));
    EXPECT_EQ(fs::directory_iterator(dir), fs::directory_iterator());
    EXPECT_FALSE(manager().removeItemAtPath_error(dir / "video.mov", &error));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code(), NSFileNoSuchFileError);
    EXPECT_EQ(error->stringForUserInfoKey("NSFilePath"), (dir / "video.mov").string());
    EXPECT_FALSE(
        manager().removeItemAtURL_error(*NSURL::URLWithString("https://example.com/a"), nullptr));
}

TEST(NSFileManager, CreateDirectoryWithOrWithoutIntermediates) {
    test::ScratchDirectory scratch;
    const auto& dir = scratch.path();
    write(dir / "file", "f");
    const struct {
        fs::path path;
        bool intermediates;
        int64_t code;  // 0: made
    } cases[] = {
        {dir / "a" / "b" / "c", true, 0},
        {dir / "a" / "b", true, 0},  // there already: no failure with intermediates
        {dir / "a" / "b", false, NSFileWriteFileExistsError},
        {dir / "x" / "y", false, NSFileNoSuchFileError},
        {dir / "file", true, NSFileWriteFileExistsError},
        {dir / "file" / "sub", true, NSFileWriteFileExistsError},
        {dir / "d", false, 0},
    };
    for (const auto& [path, intermediates, code] : cases) {
        SCOPED_TRACE(path.string() + (intermediates ? " with intermediates" : ""));
        std::shared_ptr<NSError> error;
        EXPECT_EQ(manager().createDirectoryAtPath_withIntermediateDirectories_error(
                      path, intermediates, &error),
                  code == 0);
        EXPECT_EQ(error ? error->code() : 0, code);
        if (code == 0) {
            EXPECT_TRUE(fs::is_directory(path));
        }
    }
}
