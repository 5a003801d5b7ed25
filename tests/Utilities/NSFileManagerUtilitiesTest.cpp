#include <gtest/gtest.h>

#include "NSFileManager+Utilities.h"
#include "ScopedEnvironmentVariable.h"
#include "TestSupport.h"

TEST(NSFileManagerUniqueFilePath, NumberedUpToTheHighestNumber) {
    test::ScratchDirectory scratch;
    const auto named = [&](const std::string& name) { return (scratch.path() / name).string(); };
    const auto numbered = [&](int64_t n) { return named("a " + std::to_string(n) + ".png"); };
    const auto& manager = *NSFileManager::defaultManager();
    EXPECT_EQ(uniqueFilePath(manager, named("a.png")), named("a.png"));
    test::writeFile(named("a.png"), {});
    for (int64_t n = 3; n < kUniqueFilePathMaxNumber; ++n) test::writeFile(numbered(n), {});
    EXPECT_EQ(uniqueFilePath(manager, named("a.png")), numbered(2));
    test::writeFile(numbered(2), {});
    EXPECT_EQ(uniqueFilePath(manager, named("a.png")), numbered(kUniqueFilePathMaxNumber));
    test::writeFile(numbered(kUniqueFilePathMaxNumber), {});
    EXPECT_EQ(uniqueFilePath(manager, named("a.png")), std::nullopt);
    // Without an extension: a dot only in a folder's name.
    std::filesystem::create_directory(named("d.x"));
    test::writeFile(named("d.x/f"), {});
    EXPECT_EQ(uniqueFilePath(manager, named("d.x/f")), named("d.x/f 2."));
}

TEST(NSFileManagerCreateUniqueTemporaryDirectory, MakesANewFolderInTheTemporaryDirectory) {
    test::ScratchDirectory scratch;
    const auto& manager = *NSFileManager::defaultManager();
    const std::filesystem::path base = scratch.path() / "not yet" / "there";
    test::ScopedEnvironmentVariable tmpdir("TMPDIR", base.string());
    const std::string first = createUniqueTemporaryDirectory(manager);
    const std::string second = createUniqueTemporaryDirectory(manager);
    EXPECT_NE(first, second);
    for (const std::filesystem::path made : {first, second}) {
        EXPECT_EQ(made.parent_path(), base);
        EXPECT_TRUE(std::filesystem::is_directory(made));
    }
    // Where nothing can be made, the path still comes back.
    test::writeFile(scratch.path() / "file", {});
    test::ScopedEnvironmentVariable blocked("TMPDIR", (scratch.path() / "file").string());
    const std::filesystem::path refused = createUniqueTemporaryDirectory(manager);
    EXPECT_EQ(refused.parent_path(), scratch.path() / "file");
    EXPECT_FALSE(std::filesystem::exists(refused));
}
