// Loading a document: the gate's error values (domain, code, reason, suggestion) for every way a
// file can be refused, and what a loaded prototype holds (its screens pointing back to it, its
// components once each).

#include <gtest/gtest.h>

#include "DocumentShapes.h"
#include "NSString.h"
#include "TestSupport.h"
#include "VTPrototype.h"

using document_shapes::Document;

namespace {

constexpr const char* kRunning = "Make sure you're running the latest version of Vantler";

std::shared_ptr<NSData> bytes(const std::string& text) {
    return NSData::dataWithBytes_length(text.data(), text.size());
}

std::shared_ptr<NSObject> prototypeShape(std::function<void(NSCoder&)> encode) {
    return std::make_shared<document_shapes::Shaped>("VTPrototype", NSObject::objcClass(),
                                                     std::move(encode));
}

// A prototype of its own `version` holding, under "symbols", a component of `componentVersion`
// twice.
std::shared_ptr<NSObject> withComponent(int64_t version, int64_t componentVersion) {
    const auto component = prototypeShape(
        [=](NSCoder& coder) { coder.encodeInteger_forKey(componentVersion, "version"); });
    return prototypeShape([=](NSCoder& coder) {
        coder.encodeInteger_forKey(version, "version");
        coder.encodeObject_forKey(NSArray::arrayWithObjects({component, component}), "symbols");
    });
}

// A root whose decoding raises: its screens hold an object of a class no one registered.
std::shared_ptr<NSObject> undecodableRoot() {
    const auto stranger = std::make_shared<document_shapes::Shaped>(
        "VTNoSuchClass", NSObject::objcClass(), [](NSCoder&) {});
    return prototypeShape([=](NSCoder& coder) {
        coder.encodeInteger_forKey(15, "version");
        coder.encodeObject_forKey(NSArray::arrayWithObjects({stranger}), "screens");
    });
}

}  // namespace

TEST(VTPrototypeLoading, RefusedFilesGiveTheirReadingError) {
    const std::string corrupt = "File Cannot be read";
    const std::string newer = "Document was created with a newer version of Vantler";
    const std::string have = "Make sure you have the latest version of Vantler";
    const auto plainList =
        test::readFile(test::dataDir() / "documents" / "plain-dictionary.bplist");
    const struct {
        const char* name;
        std::shared_ptr<const NSData> data;
        std::string reason;
        std::string suggestion;
    } cases[] = {
        {"no data", nullptr, "File has no data", kRunning},
        {"empty data", std::make_shared<NSData>(), "File has no data", kRunning},
        {"format 16", document_shapes::make({.screens = {{{10, 10}}}, .formatVersion = 16}), newer,
         have},
        {"format 99", document_shapes::make({.formatVersion = 99}), newer, have},
        // A too-new document is refused before its root is decoded, which would raise.
        {"format 16, undecodable root",
         document_shapes::make({.formatVersion = 16, .root = undecodableRoot()}), newer, have},
        {"undecodable root", document_shapes::make({.root = undecodableRoot()}),
         "-[NSKeyedUnarchiver decodeObjectForKey:]: cannot decode object of class "
         "(VTNoSuchClass) for UID 3; the class is not known to this program",
         kRunning},
        {"array root",
         document_shapes::make(
             {.root = NSArray::arrayWithObjects({NSString::stringWithUTF8String("x")})}),
         "File has unrecognized root class", kRunning},
        {"string root", document_shapes::make({.root = NSString::stringWithUTF8String("x")}),
         "File has unrecognized root class", kRunning},
        {"no root", document_shapes::make({.root = std::shared_ptr<const NSObject>()}), corrupt,
         "The file is corrupt."},
        // A prototype too new for this version decodes as none.
        {"prototype 16", document_shapes::make({.screens = {{{10, 10}}}, .prototypeVersion = 16}),
         corrupt, "The file is corrupt."},
        {"prototype 1000", document_shapes::make({.prototypeVersion = 1000}), corrupt,
         "The file is corrupt."},
        {"component root 16", document_shapes::make({.root = withComponent(16, 15)}), corrupt,
         "The file is corrupt."},
        // A component that decodes as none cannot be held by its array: an exception's reason.
        {"a string among the screens",
         document_shapes::make(
             {.root = prototypeShape([](NSCoder& coder) {
                  coder.encodeObject_forKey(
                      NSArray::arrayWithObjects({NSString::stringWithUTF8String("x")}), "screens");
              })}),
         "screens holds an object of class NSString, not VTScreen", kRunning},
        {"component 16", document_shapes::make({.root = withComponent(15, 16)}),
         "keyed archive: element 0 of NS.objects is nil", kRunning},
        {"not a property list", bytes("this is not a property list at all"),
         "data is not a property list (neither binary nor XML)", kRunning},
        {"not a keyed archive", NSData::dataWithVector(plainList),
         "keyed archive: no $version entry", kRunning},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::shared_ptr<NSError> error;
        EXPECT_EQ(VTPrototype::prototypeFromData_error(c.data, &error), nullptr);
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->domain(), "com.orlenwade.vantler.error");
        EXPECT_EQ(error->code(), -1);
        EXPECT_EQ(error->localizedFailureReason(), c.reason);
        EXPECT_EQ(error->localizedRecoverySuggestion(), c.suggestion);
        EXPECT_EQ(error->userInfo()->count(), 2u);
        // Without a place for the error, the same refusal stores nothing.
        EXPECT_EQ(VTPrototype::prototypeFromData_error(c.data, nullptr), nullptr);
    }
}

TEST(VTPrototypeLoading, FilesAreReadByPathOrFileURL) {
    test::ScratchDirectory scratch;
    const auto path = scratch.path() / "a b.vantler";
    const auto data = document_shapes::make({.screens = {{{320, 568}}}});
    test::writeFile(path, std::vector<uint8_t>(data->span().begin(), data->span().end()));
    test::writeFile(scratch.path() / "empty.vantler", {});
    std::shared_ptr<NSError> error;
    EXPECT_EQ(VTPrototype::prototypeFromPath_error(path.string(), &error)->entryScreen()->width(),
              320);
    EXPECT_NE(VTPrototype::prototypeFromURL_error(NSURL::fileURLWithPath(path.string()), &error),
              nullptr);
    EXPECT_EQ(error, nullptr);
    for (const char* name : {"absent.vantler", "empty.vantler"}) {
        EXPECT_EQ(VTPrototype::prototypeFromPath_error((scratch.path() / name).string(), &error),
                  nullptr);
        EXPECT_EQ(error->localizedFailureReason(), "File has no data") << name;
        error = nullptr;
        EXPECT_EQ(VTPrototype::prototypeFromURL_error(
                      NSURL::fileURLWithPath((scratch.path() / name).string()), &error),
                  nullptr);
        EXPECT_EQ(error->localizedFailureReason(), "File has no data") << name;
    }
}

TEST(VTPrototypeLoading, ALoadedPrototypeOwnsItsScreens) {
    std::shared_ptr<NSError> error;
    const auto prototype = VTPrototype::prototypeFromData_error(
        document_shapes::make({.screens = {{{375, 667}, {1, 0, 0, 1}}, {{100, 200}}}}), &error);
    ASSERT_NE(prototype, nullptr);
    EXPECT_EQ(error, nullptr);
    ASSERT_EQ(prototype->countOfScreens(), 2);
    EXPECT_EQ(prototype->entryScreen(), prototype->screens()[0]);
    EXPECT_EQ(prototype->screens()[0]->size(), CGSizeMake(375, 667));
    EXPECT_EQ(prototype->screens()[1]->size(), CGSizeMake(100, 200));
    for (const auto& screen : prototype->screens()) EXPECT_EQ(screen->prototype(), prototype);
    // A component stored twice is kept once.
    EXPECT_EQ(VTPrototype::prototypeFromData_error(
                  document_shapes::make({.root = withComponent(15, 15)}), nullptr)
                  ->masterComponents()
                  .size(),
              1u);
    EXPECT_EQ(VTPrototype::init()->entryScreen(), nullptr);
}

// The version is signed: absent or negative versions, of the file or of the prototype, load.
TEST(VTPrototypeLoading, OldAbsentAndNegativeVersionsLoad) {
    for (const Document& document :
         {Document{.formatVersion = std::nullopt}, Document{.formatVersion = -1},
          Document{.formatVersion = INT64_MIN}, Document{.prototypeVersion = -20}}) {
        const auto prototype =
            VTPrototype::prototypeFromData_error(document_shapes::make(document), nullptr);
        ASSERT_NE(prototype, nullptr);
        EXPECT_EQ(prototype->entryScreen(), nullptr);
    }
}
