#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "ArchiveShapes.h"
#include "DispatchQueue.h"
#include "DocumentShapes.h"
#include "LayerTestSupport.h"
#include "NSString.h"
#include "TestSupport.h"
#include "VTPrototype.h"

using document_shapes::Document;
using document_shapes::make;

namespace {

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

// Whether the process has the file at `path` mapped.
bool isMapped(const std::filesystem::path& path) {
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);)
        if (line.ends_with(" " + path.string())) return true;
    return false;
}

std::shared_ptr<NSObject> withScreen(std::shared_ptr<NSObject> element) {
    return prototypeShape([=](NSCoder& coder) {
        coder.encodeObject_forKey(NSArray::arrayWithObjects({element}), "screens");
    });
}

}  // namespace

TEST(VTPrototypeLoading, RefusedFilesGiveTheirReadingError) {
    const std::string newer = "Document was created with a newer version of Vantler";
    const std::string have = "Make sure you have the latest version of Vantler";
    const std::string running = "Make sure you're running the latest version of Vantler";
    const std::string corrupt = "File Cannot be read", isCorrupt = "The file is corrupt.";
    const auto stranger = withScreen(std::make_shared<document_shapes::Shaped>(
        "VTNoSuchClass", NSObject::objcClass(), [](NSCoder&) {}));
    const auto x = NSString::stringWithUTF8String("x");
    const struct {
        const char* name;
        std::shared_ptr<const NSData> data;
        std::string reason, suggestion;
    } cases[] = {
        // clang-format off
        {"no data", nullptr, "File has no data", running},
        // A too-new document is refused before its root is decoded, which would raise.
        {"format 16", make({.formatVersion = 16, .root = stranger}), newer, have},
        {"undecodable root", make({.root = stranger}), "-[NSKeyedUnarchiver decodeObjectForKey:]: cannot decode object of class (VTNoSuchClass) for UID 3; the class is not known to this program", running},
        {"array root", make({.root = NSArray::arrayWithObjects({x})}), "File has unrecognized root class", running},
        {"no root", make({.root = std::shared_ptr<const NSObject>()}), corrupt, isCorrupt},
        {"prototype 16", make({.screens = {{{10, 10}}}, .prototypeVersion = 16}), corrupt, isCorrupt},
        {"a string among the screens", make({.root = withScreen(x)}), "array for key 'screens' holds an object of class 'NSString' (expected 'VTScreen')", running},
        {"component 16", make({.root = withComponent(15, 16)}), "keyed archive: element 0 of NS.objects is nil", running},
        {"not a keyed archive", NSData::dataWithVector(test::readFile(test::dataDir() / "documents" / "plain-dictionary.bplist")), "keyed archive: no $version entry", running},
        // clang-format on
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
        EXPECT_EQ(VTPrototype::prototypeFromData_error(c.data, nullptr), nullptr);
    }
}

TEST(VTPrototypeLoading, FilesAreReadByPathOrFileURL) {
    test::ScratchDirectory scratch;
    const auto path = scratch.path() / "a b.vantler", empty = scratch.path() / "empty.vantler";
    const auto data = make({.screens = {{{320, 568}}}});
    test::writeFile(path, std::vector<uint8_t>(data->span().begin(), data->span().end()));
    test::writeFile(empty, {});
    std::shared_ptr<NSError> error, absentError;
    EXPECT_EQ(VTPrototype::prototypeFromPath_error(path.string(), nullptr)->entryScreen()->width(),
              320);
    EXPECT_EQ(VTPrototype::prototypeFromPath_error(empty.string(), &error), nullptr);
    EXPECT_EQ(VTPrototype::prototypeFromURL_error(
                  NSURL::fileURLWithPath((scratch.path() / "absent").string()), &absentError),
              nullptr);
    EXPECT_EQ(error->localizedFailureReason(), "File has no data");
    EXPECT_EQ(absentError->localizedFailureReason(), "File has no data");
}

// A file is read through a mapping, which the images cut from it share. An image's mipmap
// generation answers on the main queue and holds the image until then; after that nothing may keep
// the file, neither from a document let go nor from one refused after its image was decoded.
TEST(VTPrototypeLoading, AFileIsLetGoOnceItsImagesHaveAnswered) {
    for (const bool loads : {true, false}) {
        const char* name = loads ? "layers.vantler" : "refused-after-an-image.vantler";
        SCOPED_TRACE(name);
        test::ScratchDirectory scratch;
        const auto path = scratch.path() / name;
        test::writeFile(path, test::readFile(test::dataDir() / "documents" / name));
        {
            const auto prototype = VTPrototype::prototypeFromPath_error(path.string(), nullptr);
            EXPECT_EQ(prototype != nullptr, loads);
            // Mapped while held: otherwise the wait below would prove nothing.
            if (loads) {
                EXPECT_TRUE(isMapped(path));
            }
        }
        EXPECT_TRUE(
            dispatchMainQueueRunUntil([&] { return !isMapped(path); },
                                      std::chrono::steady_clock::now() + std::chrono::seconds(10)));
    }
}

TEST(VTPrototypeLoading, ALoadedPrototypeOwnsItsScreensAndItsComponentsOnce) {
    const auto prototype = VTPrototype::prototypeFromData_error(
        make({.screens = {{{375, 667}, {1, 0, 0, 1}}, {{100, 200}}}}), nullptr);
    ASSERT_EQ(prototype->countOfScreens(), 2);
    for (const auto& screen : prototype->screens()) EXPECT_EQ(screen->prototype(), prototype);
    EXPECT_EQ(VTPrototype::prototypeFromData_error(make({.root = withComponent(15, 15)}), nullptr)
                  ->masterComponents()
                  .size(),
              1u);
}

// The version is signed: absent or negative versions, of the file or of the prototype, load.
TEST(VTPrototypeLoading, OldAbsentAndNegativeVersionsLoad) {
    for (const Document& document :
         {Document{.formatVersion = std::nullopt}, Document{.formatVersion = INT64_MIN},
          Document{.prototypeVersion = -20}})
        EXPECT_NE(VTPrototype::prototypeFromData_error(make(document), nullptr), nullptr);
}

// A transition is kept when it starts on one of the document's screens and leads nowhere or to
// one of them; it then belongs to the decoded document.
TEST(VTPrototypeLoading, TransitionsOutsideTheScreensAreDropped) {
    const auto document = VTPrototype::init();
    const std::vector screens{VTScreen::init(), VTScreen::init(), VTScreen::init()};
    for (const auto& screen : screens) document->addScreen(screen);
    // A component the document shows, so that the layers of its screen are stored too.
    layer_support::ComponentScreen component;
    component.prototype->addScreen(component.screen);
    document->addComponent(component.prototype);
    layer_support::namedLayer("instance", screens[0])->setComponentScreen(component.screen);
    const auto button = layer_support::namedLayer("button", screens[0]);
    const auto inside = layer_support::namedLayer("inside", component.screen);
    const struct {
        std::shared_ptr<VTLayer> source, destination;
        bool kept;
    } cases[] = {
        {button, screens[1], true},   {button, nullptr, true}, {screens[2], button, true},
        {inside, nullptr, false},     {button, inside, false}, {VTLayer::init(), nullptr, false},
        {nullptr, screens[1], false},
    };
    // Told apart by their types, which they also carry as their trigger message.
    std::vector<VTEventType> kept, read;
    VTEventType type = 20;
    for (const auto& c : cases) {
        const auto event = VTEvent::initWithType(type++);
        event->setSource(c.source);
        event->setDestination(c.destination);
        event->setTriggerMessage(std::to_string(event->type()));
        document->addTransition_atIndex(event, document->countOfTransitions());
        if (c.kept) kept.push_back(event->type());
    }
    const auto decoded =
        VTPrototype::prototypeFromData_error(archive_shapes::archive(document), nullptr);
    ASSERT_NE(decoded, nullptr);
    for (const auto& event : decoded->transitions()) {
        read.push_back(event->type());
        EXPECT_EQ(event->triggerMessage(), std::to_string(event->type()));
        EXPECT_EQ(event->prototype(), decoded);
    }
    EXPECT_EQ(read, kept);
}
