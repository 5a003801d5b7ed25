// Part 2.2 reading (the document gate and its error values) and the part of Part 2.3 that loading
// needs: the prototype's own "version", its screens with their back references, its components.

#include <gtest/gtest.h>

#include "NSKeyedArchiver.h"
#include "NSString.h"
#include "DocumentShapes.h"
#include "TestSupport.h"
#include "VTPrototype.h"

namespace {

using document_shapes::Document;

constexpr const char* kRunning = "Make sure you're running the latest version of Vantler";

struct Loaded {
    std::shared_ptr<VTPrototype> prototype;
    std::shared_ptr<NSError> error;
};

Loaded load(const std::shared_ptr<const NSData>& data) {
    Loaded loaded;
    loaded.prototype = VTPrototype::prototypeFromData_error(data, &loaded.error);
    return loaded;
}
Loaded load(const Document& document) { return load(document_shapes::make(document)); }

void expectReadingError(const Loaded& loaded, const std::string& reason, const std::string& suggestion) {
    EXPECT_EQ(loaded.prototype, nullptr);
    ASSERT_NE(loaded.error, nullptr);
    EXPECT_EQ(loaded.error->domain(), "com.orlenwade.vantler.error");
    EXPECT_EQ(loaded.error->code(), -1);
    EXPECT_EQ(loaded.error->localizedFailureReason(), reason);
    EXPECT_EQ(loaded.error->localizedRecoverySuggestion(), suggestion);
    EXPECT_EQ(loaded.error->userInfo()->count(), 2u);
}

// A root whose decoding raises: its screens hold an object of a class no one registered.
std::shared_ptr<const NSObject> undecodableRoot() {
    auto stranger = std::make_shared<document_shapes::Shaped>("VTNoSuchClass", NSObject::objcClass(),
                                                             [](NSCoder&) {});
    return std::make_shared<document_shapes::Shaped>("VTPrototype", NSObject::objcClass(), [stranger](NSCoder& coder) {
        coder.encodeInteger_forKey(15, "version");
        coder.encodeObject_forKey(NSArray::arrayWithObjects({stranger}), "screens");
    });
}

TEST(Part2_2_DocumentLoading, VersionFifteenLoadsWithItsScreens) {
    const auto loaded = load(Document{.screens = {{{375, 667}, {1, 0, 0, 1}}, {{100, 200}}}});
    ASSERT_NE(loaded.prototype, nullptr);
    EXPECT_EQ(loaded.error, nullptr);
    ASSERT_EQ(loaded.prototype->countOfScreens(), 2);
    EXPECT_EQ(loaded.prototype->entryScreen(), loaded.prototype->screens()[0]);
    EXPECT_EQ(loaded.prototype->screens()[0]->width(), 375);
    EXPECT_EQ(loaded.prototype->screens()[0]->height(), 667);
    EXPECT_EQ(loaded.prototype->screens()[1]->size().width, 100);
    // Part 2.3 step 6 and Part 2.4 "owner": every screen points back to its prototype.
    for (const auto& screen : loaded.prototype->screens()) EXPECT_EQ(screen->prototype(), loaded.prototype);
}

TEST(Part2_2_DocumentLoading, EmptyDataAndMissingFileHaveNoData) {
    expectReadingError(load(std::make_shared<NSData>()), "File has no data", kRunning);
    expectReadingError(load(nullptr), "File has no data", kRunning);
    test::ScratchDirectory scratch;
    Loaded missing;
    missing.prototype = VTPrototype::prototypeFromURL_error(
        NSURL::fileURLWithPath((scratch.path() / "absent.vantler").string()), &missing.error);
    expectReadingError(missing, "File has no data", kRunning);
    Loaded byPath;
    byPath.prototype = VTPrototype::prototypeFromPath_error((scratch.path() / "absent.vantler").string(), &byPath.error);
    expectReadingError(byPath, "File has no data", kRunning);
    // An empty file reads as no data too.
    test::writeFile(scratch.path() / "empty.vantler", {});
    Loaded empty;
    empty.prototype = VTPrototype::prototypeFromPath_error((scratch.path() / "empty.vantler").string(), &empty.error);
    expectReadingError(empty, "File has no data", kRunning);
}

TEST(Part2_2_DocumentLoading, PathAndURLReadTheFile) {
    test::ScratchDirectory scratch;
    const auto path = scratch.path() / "a b.vantler";
    const auto data = document_shapes::make(Document{.screens = {{{320, 568}}}});
    test::writeFile(path, std::vector<uint8_t>(data->bytes(), data->bytes() + data->length()));
    std::shared_ptr<NSError> error;
    auto byPath = VTPrototype::prototypeFromPath_error(path.string(), &error);
    ASSERT_NE(byPath, nullptr);
    EXPECT_EQ(byPath->entryScreen()->width(), 320);
    auto byURL = VTPrototype::prototypeFromURL_error(NSURL::fileURLWithPath(path.string()), &error);
    ASSERT_NE(byURL, nullptr);
    EXPECT_EQ(error, nullptr);
}

TEST(Part2_2_DocumentLoading, NewerVersionsAreRefusedBeforeTheRootIsDecoded) {
    const std::string newer = "Document was created with a newer version of Vantler";
    const std::string have = "Make sure you have the latest version of Vantler";
    expectReadingError(load(Document{.screens = {{{10, 10}}}, .formatVersion = 16}), newer, have);
    expectReadingError(load(Document{.screens = {{{10, 10}}}, .formatVersion = 99}), newer, have);
    // The root would raise if it were decoded; version 16 answers before it is.
    expectReadingError(load(Document{.formatVersion = 16, .root = undecodableRoot()}), newer, have);
    const auto raising = load(Document{.formatVersion = 15, .root = undecodableRoot()});
    ASSERT_NE(raising.error, nullptr);
    EXPECT_EQ(raising.error->localizedRecoverySuggestion(), kRunning);
}

TEST(Part2_2_DocumentLoading, AbsentOrNegativeVersionLoads) {
    EXPECT_NE(load(Document{.screens = {{{10, 10}}}, .formatVersion = std::nullopt}).prototype, nullptr);
    EXPECT_NE(load(Document{.screens = {{{10, 10}}}, .formatVersion = -1}).prototype, nullptr);
    EXPECT_NE(load(Document{.screens = {{{10, 10}}}, .formatVersion = INT64_MIN}).prototype, nullptr);
}

TEST(Part2_2_DocumentLoading, RootOfAnotherClassIsUnrecognized) {
    expectReadingError(load(Document{.root = NSArray::arrayWithObjects({NSString::stringWithUTF8String("x")})}),
                       "File has unrecognized root class", kRunning);
    expectReadingError(load(Document{.root = NSString::stringWithUTF8String("a string")}),
                       "File has unrecognized root class", kRunning);
}

TEST(Part2_2_DocumentLoading, AbsentRootCannotBeRead) {
    expectReadingError(load(Document{.root = std::shared_ptr<const NSObject>()}), "File Cannot be read",
                       "The file is corrupt.");
}

TEST(Part2_2_DocumentLoading, PrototypeOfVersionSixteenDecodesAsNone) {
    expectReadingError(load(Document{.screens = {{{10, 10}}}, .prototypeVersion = 16}), "File Cannot be read",
                       "The file is corrupt.");
    expectReadingError(load(Document{.prototypeVersion = 1000}), "File Cannot be read", "The file is corrupt.");
    // Signed: a negative own version loads.
    EXPECT_NE(load(Document{.prototypeVersion = -20}).prototype, nullptr);
}

TEST(Part2_2_DocumentLoading, BytesThatAreNotAKeyedArchiveGiveTheExceptionError) {
    const std::string garbage = "this is not a property list at all";
    expectReadingError(load(NSData::dataWithBytes_length(garbage.data(), garbage.size())),
                       "data is not a property list (neither binary nor XML)", kRunning);
    // A binary property list that is not a keyed archive (no $archiver, $top, $objects).
    const auto plainList = test::readFile(test::dataDir() / "documents" / "plain-dictionary.bplist");
    expectReadingError(load(NSData::dataWithVector(plainList)), "keyed archive: no $version entry", kRunning);
}

TEST(Part2_2_DocumentLoading, NoOutParameterStoresNothingOnEveryPath) {
    const std::string garbage = "garbage";
    for (const auto& data : {std::shared_ptr<const NSData>(std::make_shared<NSData>()),
                             std::shared_ptr<const NSData>(NSData::dataWithBytes_length(garbage.data(), garbage.size())),
                             std::shared_ptr<const NSData>(document_shapes::make(Document{.formatVersion = 16})),
                             std::shared_ptr<const NSData>(document_shapes::make(Document{.root = std::shared_ptr<const NSObject>()})),
                             std::shared_ptr<const NSData>(document_shapes::make(Document{.root = NSString::stringWithUTF8String("x")})),
                             std::shared_ptr<const NSData>(document_shapes::make(Document{.prototypeVersion = 16}))}) {
        EXPECT_EQ(VTPrototype::prototypeFromData_error(data, nullptr), nullptr);
    }
    EXPECT_EQ(VTPrototype::prototypeFromPath_error("/nonexistent/file.vantler", nullptr), nullptr);
}

TEST(Part2_3_Prototype, EntryScreenOfAPrototypeWithoutScreensIsNone) {
    const auto loaded = load(Document{});
    ASSERT_NE(loaded.prototype, nullptr);
    EXPECT_EQ(loaded.prototype->entryScreen(), nullptr);
    EXPECT_EQ(loaded.prototype->countOfScreens(), 0);
    EXPECT_EQ(VTPrototype::init()->entryScreen(), nullptr);
}

TEST(Part2_3_Prototype, ComponentOfVersionSixteenDecodesAsNone) {
    auto component = [](int64_t version) {
        return std::make_shared<document_shapes::Shaped>("VTPrototype", NSObject::objcClass(), [version](NSCoder& coder) {
            coder.encodeInteger_forKey(version, "version");
        });
    };
    auto root = [&](int64_t componentVersion) {
        auto nested = component(componentVersion);
        return std::make_shared<document_shapes::Shaped>("VTPrototype", NSObject::objcClass(), [nested](NSCoder& coder) {
            coder.encodeInteger_forKey(15, "version");
            coder.encodeObject_forKey(NSArray::arrayWithObjects({nested, nested}), "symbols");
        });
    };
    // Version 15: one component, kept once although stored twice (an ordered set).
    const auto loaded = load(Document{.root = root(15)});
    ASSERT_NE(loaded.prototype, nullptr);
    EXPECT_EQ(loaded.prototype->masterComponents().size(), 1u);
    // Version 16: the component decodes as none; the array that holds it cannot hold none, which
    // the archive reports, and loading gives the exception error.
    const auto refused = load(Document{.root = root(16)});
    EXPECT_EQ(refused.prototype, nullptr);
    ASSERT_NE(refused.error, nullptr);
    EXPECT_EQ(refused.error->localizedRecoverySuggestion(), kRunning);
    // The same component as a root: none, so "File Cannot be read".
    expectReadingError(load(Document{.root = component(16)}), "File Cannot be read", "The file is corrupt.");
}

}  // namespace
