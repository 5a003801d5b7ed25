// `vantler-ql dump`: exit statuses, the printed graph (shared objects once, cycles safe), JSON.

#include <gtest/gtest.h>

#include "NSArray.h"
#include "NSKeyedArchiver.h"
#include "NSString.h"
#include "TestSupport.h"

namespace {

// An object that refers to another one, so that two of them make a cycle.
class Link : public NSObject {
public:
    TEST_CLASS("Link", NSObject::objcClass())
    std::weak_ptr<NSObject> next;
    void encodeWithCoder(NSCoder& coder) const override { coder.encodeObject_forKey(next.lock(), "next"); }
};

std::string writeArchive(const test::ScratchDirectory& scratch, const std::shared_ptr<NSObject>& root) {
    const auto data = NSKeyedArchiver::archivedDataWithRootObject(root);
    const auto path = (scratch.path() / "archive.plist").string();
    test::writeFile(path, std::vector<uint8_t>(data->span().begin(), data->span().end()));
    return path;
}

TEST(VantlerQL_Dump, PrintsEachObjectOnceAndSurvivesCycles) {
    test::ScratchDirectory scratch;
    auto a = std::make_shared<Link>(), b = std::make_shared<Link>();
    a->next = b;
    b->next = a;
    auto shared = NSString::stringWithUTF8String("shared");
    auto root = NSArray::arrayWithObjects({a, b, a, shared, shared});
    const auto result = test::run({VANTLER_QL, "dump", writeArchive(scratch, root)});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(result.standardOutput,
              "archiver: NSKeyedArchiver\n"
              "version: 100000\n"
              "top:\n"
              "  root = @1 NSArray\n"
              "@1 NSArray (NSArray : NSObject)\n"
              "  NS.objects = [@2 Link, @3 Link, @2 Link, \"shared\", \"shared\"]\n"
              "@2 Link (Link : NSObject)\n"
              "  next = @3 Link\n"
              "@3 Link (Link : NSObject)\n"
              "  next = @2 Link\n");
}

TEST(VantlerQL_Dump, JSONIsValidAndCarriesTheGraph) {
    test::ScratchDirectory scratch;
    auto root = NSArray::arrayWithObjects({NSString::stringWithUTF8String("quote \" and \\ and \n")});
    const auto path = writeArchive(scratch, root);
    const auto result = test::run({VANTLER_QL, "dump", path, "--json"});
    ASSERT_EQ(result.exitStatus, 0);
    test::writeFile(scratch.path() / "dump.json",
                    std::vector<uint8_t>(result.standardOutput.begin(), result.standardOutput.end()));
    const auto check = test::run({VANTLER_PYTHON, "-c",
                                  "import json,sys; d=json.load(open(sys.argv[1])); "
                                  "print(d['top']['root']['$ref'], d['objects'][0]['class'], "
                                  "repr(d['objects'][0]['values']['NS.objects'][0]))",
                                  (scratch.path() / "dump.json").string()});
    EXPECT_EQ(check.exitStatus, 0) << check.standardError;
    EXPECT_EQ(check.standardOutput, "1 NSArray 'quote \" and \\\\ and \\n'\n");
}

TEST(VantlerQL_Dump, MalformedArchiveExitsOneWithTheReason) {
    test::ScratchDirectory scratch;
    const auto path = scratch.path() / "bad.plist";
    test::writeFile(path, {'b', 'p', 'l', 'i', 's', 't', '0', '0', 1, 2, 3});
    const auto result = test::run({VANTLER_QL, "dump", path.string()});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(result.standardError,
              "vantler-ql: " + path.string() + ": binary property list: file is too short to hold a trailer\n");
}

TEST(VantlerQL_Dump, MissingFileExitsOne) {
    const auto result = test::run({VANTLER_QL, "dump", "/nonexistent/file.vantler"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, "vantler-ql: /nonexistent/file.vantler: No such file or directory\n");
}

TEST(VantlerQL_Dump, WrongUsageExitsTwo) {
    EXPECT_EQ(test::run({VANTLER_QL}).exitStatus, 2);
    EXPECT_EQ(test::run({VANTLER_QL, "dump"}).exitStatus, 2);
    EXPECT_EQ(test::run({VANTLER_QL, "dump", "a", "b"}).exitStatus, 2);
    EXPECT_EQ(test::run({VANTLER_QL, "dump", "a", "--yaml"}).exitStatus, 2);
    EXPECT_EQ(test::run({VANTLER_QL, "frobnicate"}).exitStatus, 2);
    const auto help = test::run({VANTLER_QL, "--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_TRUE(help.standardOutput.starts_with("usage: vantler-ql dump FILE [--json]\n"));
}

TEST(Examples, CommittedExamplesAreWhatTheGeneratorWrites) {
    test::ScratchDirectory scratch;
    ASSERT_EQ(test::run({VANTLER_MAKE_EXAMPLES, scratch.path().string()}).exitStatus, 0);
    size_t compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.path())) {
        const auto committed = test::sourceDir() / "examples" / entry.path().filename();
        ASSERT_TRUE(std::filesystem::exists(committed)) << committed;
        EXPECT_EQ(test::readFile(entry.path()), test::readFile(committed)) << committed;
        EXPECT_EQ(test::run({VANTLER_QL, "dump", committed.string()}).exitStatus, 0);
        ++compared;
    }
    EXPECT_EQ(compared, 3u);
}

}  // namespace
