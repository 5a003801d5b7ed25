#include <gtest/gtest.h>

#include <functional>

#include "ArchiveShapes.h"
#include "LayerTestSupport.h"

using namespace layer_support;

namespace {

std::shared_ptr<VTScreen> screenNamed(const char* name) {
    auto screen = VTScreen::init();
    screen->setName(name);
    return screen;
}

// A prototype with the screens "0", "1", "2" and the transitions of types 0 and 1, observed from
// then on.
struct Document {
    std::shared_ptr<VTPrototype> prototype = VTPrototype::init();
    std::vector<std::shared_ptr<VTScreen>> screens{screenNamed("0"), screenNamed("1"),
                                                   screenNamed("2")};
    std::vector<std::shared_ptr<VTEvent>> events{VTEvent::initWithType(0),
                                                 VTEvent::initWithType(1)};
    std::shared_ptr<ChangeRecorder> recorder;
    Document() {
        for (const auto& screen : screens) prototype->addScreen(screen);
        for (const auto& event : events)
            prototype->addTransition_atIndex(event, prototype->countOfTransitions());
        recorder = observe(*prototype, {"screens", "transitions"});
    }
    std::string order() const {
        std::string text;
        for (const auto& screen : prototype->screens()) text += *screen->name();
        text += "|";
        for (const auto& event : prototype->transitions()) text += std::to_string(event->type());
        return text;
    }
    std::string told() const {
        std::string text;
        for (const auto& entry : recorder->seen) text += entry + " ";
        return text;
    }
};

}  // namespace

// Each case answers what the operation answered and whether the back references are right.
TEST(VTPrototype, IndexedOperations) {
    const auto stranger = [] { return screenNamed("n"); };
    const auto nine = [] { return VTEvent::initWithType(9); };
    const std::tuple<const char*, std::function<bool(Document&)>, std::string, std::string>
        cases[] = {
            // clang-format off
        {"add at -5", [&](Document& d) { d.prototype->addScreen_atIndex(stranger(), -5); return true; }, "n012|01", "screens+0 screens+0! "},
        {"add at 99", [&](Document& d) { d.prototype->addScreen_atIndex(stranger(), 99); return true; }, "012n|01", "screens+3 screens+3! "},
        {"re-add moves", [](Document& d) { d.prototype->addScreen_atIndex(d.screens[2], 0); return d.screens[2]->prototype() == d.prototype; }, "201|01", "screens-2 screens-2! screens+0 screens+0! "},
        {"remove", [](Document& d) { return d.prototype->removeScreen(d.screens[1]) && !d.screens[1]->prototype(); }, "02|01", "screens-1 screens-1! "},
        {"remove a stranger", [&](Document& d) { return !d.prototype->removeScreen(stranger()) && !d.prototype->removeScreen(nullptr); }, "012|01", ""},
        {"a plain layer is no screen", [](Document& d) { d.prototype->insertLayer_atIndex(VTLayer::init(), 0); return d.prototype->countOfSublayers() == 3; }, "012|01", ""},
        {"a screen as a layer", [&](Document& d) { d.prototype->insertLayer_atIndex(stranger(), 1); return d.prototype->sublayers()[1]->name() == "n"; }, "0n12|01", "screens+1 screens+1! "},
        {"taken from another prototype", [](Document& d) {
            const auto other = VTPrototype::init();
            const auto moving = screenNamed("m");
            other->addScreen(moving);
            d.prototype->insertObject_inScreensAtIndex(moving, 3);
            return other->countOfScreens() == 0 && moving->prototype() == d.prototype; }, "012m|01", "screens+3 screens+3! "},
        {"transition at the count", [&](Document& d) { const auto e = nine(); return d.prototype->addTransition_atIndex(e, 2) && e->prototype() == d.prototype; }, "012|019", "transitions+2 transitions+2! "},
        {"transition at 0", [&](Document& d) { return d.prototype->addTransition_atIndex(nine(), 0); }, "012|901", "transitions+0 transitions+0! "},
        {"transition past the count", [&](Document& d) { return !d.prototype->addTransition_atIndex(nine(), 3); }, "012|01", ""},
        {"transition at -1", [&](Document& d) { return !d.prototype->addTransition_atIndex(nine(), -1); }, "012|01", ""},
        {"transition twice", [](Document& d) { return !d.prototype->addTransition_atIndex(d.events[0], 2); }, "012|01", ""},
        {"remove a transition", [](Document& d) { return d.prototype->removeTransition(d.events[0]) && !d.events[0]->prototype(); }, "012|1", "transitions-0 transitions-0! "},
        {"a component once", [](Document& d) { const auto c = VTPrototype::init(); d.prototype->addComponent(c); d.prototype->addComponent(c); return d.prototype->masterComponents().size() == 1; }, "012|01", ""},
            // clang-format on
        };
    for (const auto& [name, act, order, told] : cases) {
        SCOPED_TRACE(name);
        Document document;
        EXPECT_TRUE(act(document));
        EXPECT_EQ(document.order(), order);
        EXPECT_EQ(document.told(), told);
    }
}

TEST(VTPrototype, SetScreensReplacesOnlyScreens) {
    Document document;
    test::LogCapture log;
    const auto layer = VTLayer::init();
    document.prototype->setScreens(NSArray::arrayWithObjects({document.screens[0], layer}));
    document.prototype->setScreens(nullptr);
    EXPECT_EQ(document.order(), "012|01");
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{"Cannot set screens to array that contains non screen: "
                                       "VTLayer"});
    const auto newcomer = screenNamed("n");
    document.prototype->setScreens(NSArray::arrayWithObjects({newcomer, document.screens[1]}));
    EXPECT_EQ(document.order(), "n1|01");
    EXPECT_EQ(document.told(), "screens screens! ");
    EXPECT_EQ(newcomer->prototype(), nullptr);
    EXPECT_EQ(document.screens[0]->prototype(), document.prototype);
}

// Screens compare without their positions; transitions by type.
TEST(VTPrototype, Equality) {
    Document a, b;
    b.screens[0]->setPosition({500, 0});
    EXPECT_TRUE(a.prototype->isEqualToPrototype(*b.prototype));
    b.events[1]->setType(4);
    EXPECT_FALSE(a.prototype->isEqualToPrototype(*b.prototype));
    b.events[1]->setType(1);
    b.screens[1]->setWidth(7);
    EXPECT_FALSE(a.prototype->isEqualToPrototype(*b.prototype));
    b.prototype->removeScreen(b.screens[1]);
    EXPECT_FALSE(a.prototype->isEqualToPrototype(*b.prototype));
    EXPECT_FALSE(a.prototype->isEqualToPrototype(*a.screens[0]));
}

// "symbols" holds only the components something still shows.
TEST(VTPrototype, ArchiveKeys) {
    using Keys = std::vector<std::string>;
    Document full;
    const ComponentScreen used;
    used.prototype->addScreen(used.screen);
    full.prototype->addComponent(VTPrototype::init());
    full.prototype->addComponent(used.prototype);
    namedLayer("instance", full.screens[0])->setComponentScreen(used.screen);
    for (const auto& event : full.events) event->setSource(full.screens[0]);
    for (const auto& [prototype, keys, symbols] :
         {std::tuple{VTPrototype::init(), Keys{"version", "symbols", "prefersMouseCursor"}, 0u},
          std::tuple{full.prototype,
                     Keys{"version", "screens", "transitions", "symbols", "prefersMouseCursor"},
                     1u}}) {
        const auto data = archive_shapes::archive(prototype);
        const archive_shapes::StoredArchive stored(*data);
        EXPECT_EQ(stored.keys(stored.root()), keys);
        const auto read = archive_shapes::unarchive<VTPrototype>(data);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->masterComponents().size(), symbols);
        EXPECT_TRUE(read->isEqualToPrototype(*prototype));
    }
}
