// NSFileManager: copying media into the temporary directory, comparing two private copies,
// deleting a copy.

#include "NSFileManager.h"

#include <sys/stat.h>
#include <unistd.h>

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

std::vector<uint8_t> bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

}  // namespace

TEST(NSFileManager, FileExistsFollowsLinks) {
    test::ScratchDirectory scratch;
    const auto file = scratch.path() / "a.mov";
    test::writeFile(file, bytes("movie"));
    fs::create_symlink(file, scratch.path() / "link");
    fs::create_symlink(scratch.path() / "missing", scratch.path() / "dangling");
    EXPECT_TRUE(manager().fileExistsAtPath(file));
    EXPECT_TRUE(manager().fileExistsAtPath(scratch.path()));
    EXPECT_TRUE(manager().fileExistsAtPath(scratch.path() / "link"));
    EXPECT_FALSE(manager().fileExistsAtPath(scratch.path() / "dangling"));
    EXPECT_FALSE(manager().fileExistsAtPath(scratch.path() / "missing"));
    EXPECT_FALSE(manager().fileExistsAtPath(""));
}

TEST(NSFileManager, ContentsEqualComparesFilesByBytes) {
    test::ScratchDirectory scratch;
    const auto a = scratch.path() / "a", b = scratch.path() / "b", c = scratch.path() / "c",
               d = scratch.path() / "d";
    // Longer than one comparison chunk, differing only in the last byte.
    std::vector<uint8_t> big(200'000, 7);
    test::writeFile(a, big);
    test::writeFile(b, big);
    big.back() = 8;
    test::writeFile(c, big);
    big.pop_back();
    test::writeFile(d, big);
    EXPECT_TRUE(manager().contentsEqualAtPath_andPath(a, b));
    EXPECT_TRUE(manager().contentsEqualAtPath_andPath(a, a));
    EXPECT_FALSE(manager().contentsEqualAtPath_andPath(a, c));
    EXPECT_FALSE(manager().contentsEqualAtPath_andPath(a, d));
    EXPECT_FALSE(manager().contentsEqualAtPath_andPath(a, scratch.path() / "missing"));
    EXPECT_FALSE(manager().contentsEqualAtPath_andPath(scratch.path() / "missing",
                                                       scratch.path() / "missing"));
    // Two empty files are equal.
    test::writeFile(scratch.path() / "e1", {});
    test::writeFile(scratch.path() / "e2", {});
    EXPECT_TRUE(
        manager().contentsEqualAtPath_andPath(scratch.path() / "e1", scratch.path() / "e2"));
}

TEST(NSFileManager, ContentsEqualComparesDirectoriesAndLinks) {
    test::ScratchDirectory scratch;
    const auto one = scratch.path() / "one", two = scratch.path() / "two";
    for (const auto& root : {one, two}) {
        fs::create_directories(root / "sub");
        test::writeFile(root / "sub" / "f", bytes("same"));
        fs::create_symlink("sub/f", root / "link");
    }
    EXPECT_TRUE(manager().contentsEqualAtPath_andPath(one, two));
    // A file against a directory, a link against its target: different kinds.
    EXPECT_FALSE(manager().contentsEqualAtPath_andPath(one / "sub" / "f", one / "sub"));
    EXPECT_FALSE(manager().contentsEqualAtPath_andPath(one / "link", one / "sub" / "f"));
    // Links compare by their text, not their targets' bytes.
    fs::remove(two / "link");
    fs::create_symlink("./sub/f", two / "link");
    EXPECT_FALSE(manager().contentsEqualAtPath_andPath(one, two));
    fs::remove(two / "link");
    fs::create_symlink("sub/f", two / "link");
    test::writeFile(two / "extra", bytes("x"));
    EXPECT_FALSE(manager().contentsEqualAtPath_andPath(one, two));
    fs::remove(two / "extra");
    test::writeFile(two / "sub" / "f", bytes("diff"));
    EXPECT_FALSE(manager().contentsEqualAtPath_andPath(one, two));
}

TEST(NSFileManager, ContentsEqualNeverOpensAFifo) {
    test::ScratchDirectory scratch;
    const auto a = scratch.path() / "fifo-a", b = scratch.path() / "fifo-b";
    ASSERT_EQ(mkfifo(a.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(b.c_str(), 0600), 0);
    // Opening either for reading would wait for a writer forever.
    EXPECT_FALSE(manager().contentsEqualAtPath_andPath(a, b));
    EXPECT_TRUE(manager().contentsEqualAtPath_andPath(a, a));  // the same file
}

TEST(NSFileManager, CopyItemCopiesAFileAndRefusesToOverwrite) {
    test::ScratchDirectory scratch;
    const auto source = scratch.path() / "clip.mov", destination = scratch.path() / "copy.mov";
    test::writeFile(source, bytes("frames"));
    std::shared_ptr<NSError> error;
    ASSERT_TRUE(manager().copyItemAtURL_toURL_error(*NSURL::fileURLWithPath(source.string()),
                                                    *NSURL::fileURLWithPath(destination.string()),
                                                    &error));
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(test::readFile(destination), bytes("frames"));

    test::writeFile(source, bytes("other"));
    EXPECT_FALSE(manager().copyItemAtPath_toPath_error(source, destination, &error));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->domain(), "NSCocoaErrorDomain");
    EXPECT_EQ(error->code(), NSFileWriteFileExistsError);
    EXPECT_EQ(test::readFile(destination), bytes("frames"));

    error = nullptr;
    EXPECT_FALSE(manager().copyItemAtPath_toPath_error(scratch.path() / "missing",
                                                       scratch.path() / "x", &error));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code(), NSFileReadNoSuchFileError);
    EXPECT_FALSE(fs::exists(scratch.path() / "x"));
    // A null error pointer is allowed.
    EXPECT_FALSE(manager().copyItemAtPath_toPath_error(scratch.path() / "missing",
                                                       scratch.path() / "x", nullptr));
}

TEST(NSFileManager, CopyItemCopiesDirectoriesAndLinksAsLinks) {
    test::ScratchDirectory scratch;
    const auto source = scratch.path() / "bundle";
    fs::create_directories(source / "inner");
    test::writeFile(source / "inner" / "f", bytes("data"));
    fs::create_symlink("inner/f", source / "link");
    ASSERT_TRUE(manager().copyItemAtPath_toPath_error(source, scratch.path() / "copy", nullptr));
    EXPECT_EQ(test::readFile(scratch.path() / "copy" / "inner" / "f"), bytes("data"));
    EXPECT_TRUE(fs::is_symlink(scratch.path() / "copy" / "link"));
    EXPECT_EQ(fs::read_symlink(scratch.path() / "copy" / "link"), "inner/f");
    EXPECT_TRUE(manager().contentsEqualAtPath_andPath(source, scratch.path() / "copy"));
}

TEST(NSFileManager, RemoveItemRemovesFilesDirectoriesAndLinks) {
    test::ScratchDirectory scratch;
    const auto file = scratch.path() / "video.mov";
    test::writeFile(file, bytes("v"));
    fs::create_symlink(file, scratch.path() / "link");
    fs::create_directories(scratch.path() / "dir" / "sub");
    test::writeFile(scratch.path() / "dir" / "sub" / "f", bytes("f"));

    std::shared_ptr<NSError> error;
    EXPECT_TRUE(manager().removeItemAtPath_error(scratch.path() / "link", &error));
    EXPECT_EQ(error, nullptr);
    EXPECT_TRUE(fs::exists(file));  // the link went, not its target
    EXPECT_TRUE(manager().removeItemAtURL_error(*NSURL::fileURLWithPath(file.string()), &error));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(manager().removeItemAtPath_error(scratch.path() / "dir", &error));
    EXPECT_FALSE(fs::exists(scratch.path() / "dir"));

    EXPECT_FALSE(manager().removeItemAtPath_error(file, &error));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->domain(), "NSCocoaErrorDomain");
    EXPECT_EQ(error->code(), NSFileNoSuchFileError);
    EXPECT_EQ(error->stringForUserInfoKey("NSFilePath"), file.string());
    EXPECT_FALSE(
        manager().removeItemAtURL_error(*NSURL::URLWithString("https://example.com/a"), nullptr));
}
