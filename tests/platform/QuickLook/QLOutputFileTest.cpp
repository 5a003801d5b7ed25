#include <gtest/gtest.h>

#include <filesystem>

#include "NSData.h"
#include "QLGeneratorHost.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

// The output replaces the file a path names, through symbolic links, which stay links; a failure
// names the path as given and the system's reason.
TEST(QLWriteOutputFile, ReplacesTheFileBehindLinks) {
    test::ScratchDirectory scratch;
    const auto out = scratch.path() / "out", other = scratch.path() / "other";
    fs::create_directories(out);
    fs::create_directories(other);
    test::writeFile(other / "old.png", {'o', 'l', 'd'});
    fs::create_symlink("../other/old.png", out / "relative.png");
    fs::create_symlink(other / "new.png", out / "dangling.png");
    fs::create_symlink(out / "relative.png", out / "chained.png");
    fs::create_symlink("loop-b.png", out / "loop-a.png");
    fs::create_symlink("loop-a.png", out / "loop-b.png");
    const struct {
        fs::path requested, written;  // written empty: the write fails
        std::string reason = "";
    } cases[] = {
        {out / "plain.png", out / "plain.png"},
        {out / "relative.png", other / "old.png"},
        {out / "chained.png", other / "old.png"},
        {out / "dangling.png", other / "new.png"},
        {out / "loop-a.png", {}, "Too many levels of symbolic links"},
        {out / "missing" / "a.png", {}, "No such file or directory"},
    };
    const auto data = NSData::dataWithVector({'n', 'e', 'w'});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.requested);
        std::string reason;
        EXPECT_EQ(QLWriteOutputFile(c.requested, *data, &reason), !c.written.empty());
        if (c.written.empty()) {
            EXPECT_EQ(reason, c.requested.string() + ": " + c.reason);
            continue;
        }
        EXPECT_EQ(test::readFile(c.written), (std::vector<uint8_t>{'n', 'e', 'w'}));
        EXPECT_EQ(fs::is_symlink(c.requested), c.written != c.requested);
    }
    // Nothing but the written files and the links: no temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 6);
    EXPECT_EQ(std::distance(fs::directory_iterator(other), fs::directory_iterator()), 2);
}
