#include <gtest/gtest.h>

#include <functional>

#include "ArchiveShapes.h"
#include "LayerTestSupport.h"
#include "VTLink.h"

using namespace layer_support;

namespace {

std::shared_ptr<VTLink> link(const std::shared_ptr<VTLayer>& input, VTValueType inputProperty,
                             const std::shared_ptr<VTLayer>& output, VTValueType outputProperty) {
    return VTLink::initWithInputLayer_inputProperty_outputLayer_outputProperty(
        input, inputProperty, output, outputProperty);
}

// A screen with two sublayers, the second holding a third, and two links: the first layer's x
// drives the inner layer's opacity, and the screen's own width drives the first layer's y.
struct LinkedScreen {
    std::shared_ptr<VTScreen> screen = VTScreen::initWithCanvasName_size("Home", {375, 667});
    std::shared_ptr<VTLayer> first = VTLayer::init(), inner = VTLayer::init();
    LinkedScreen() {
        screen->addSublayer(first);
        screen->addSublayer(VTLayer::init());
        screen->objectInSublayersAtIndex(1)->addSublayer(inner);
        inner->setOptionalProperties(0b1000100);  // angle and opacity frozen
        screen->insertObject_inLinksAtIndex(
            link(first, kVTPropertyCenterX, inner, kVTPropertyOpacity), 0);
        screen->insertObject_inLinksAtIndex(
            link(screen, kVTPropertyWidth, first, kVTPropertyCenterY), 1);
    }
};

std::shared_ptr<VTScreen> copyOf(const VTScreen& screen) {
    return std::static_pointer_cast<VTScreen>(screen.copy());
}

}  // namespace

TEST(VTScreen, LinksMoveBetweenScreens) {
    const auto a = VTScreen::init(), b = VTScreen::init();
    const auto seen = observe(*a, {"links"});
    const auto moving = VTLink::init(), staying = VTLink::init();
    a->insertObject_inLinksAtIndex(staying, 0);
    a->insertObject_inLinksAtIndex(moving, 5);  // held to the count
    b->insertObject_inLinksAtIndex(moving, 0);
    EXPECT_EQ(a->links(), std::vector{staying});
    EXPECT_EQ(moving->screen(), b);
    EXPECT_EQ(seen->seen, (std::vector<std::string>{"links+0", "links+0!", "links+1", "links+1!",
                                                    "links-1", "links-1!"}));
    // A screen lets go of a link it is not the screen of without touching it.
    moving->setScreen(a);
    b->removeObjectFromLinksAtIndex(0);
    EXPECT_EQ(b->countOfLinks(), 0);
    EXPECT_EQ(moving->screen(), a);
    a->removeObjectFromLinksAtIndex(0);
    EXPECT_EQ(staying->screen(), nullptr);
}

TEST(VTScreen, CopyRetargetsLinks) {
    const LinkedScreen source;
    const auto copy = copyOf(*source.screen);
    ASSERT_EQ(copy->countOfLinks(), 2);
    const auto link = copy->objectInLinksAtIndex(0);
    EXPECT_NE(link, source.screen->objectInLinksAtIndex(0));
    EXPECT_EQ(link->screen(), copy);
    EXPECT_EQ(link->inputLayer(), copy->objectInSublayersAtIndex(0));
    EXPECT_EQ(link->outputLayer(), copy->objectInSublayersAtIndex(1)->objectInSublayersAtIndex(0));
    EXPECT_EQ(copy->objectInLinksAtIndex(1)->inputLayer(), copy);
    // Paths the screen lacks give none; the screen's own path gives the screen.
    const auto bare = VTScreen::init();
    bare->setLinks(source.screen->links());
    EXPECT_EQ(bare->objectInLinksAtIndex(0)->outputLayer(), nullptr);
    EXPECT_EQ(bare->objectInLinksAtIndex(1)->inputLayer(), bare);
}

// The links count wherever a screen is compared: as a layer, and as a sublayer of one.
TEST(VTScreen, ComparisonWithLinks) {
    const std::tuple<const char*, std::function<void(VTScreen&)>, bool> cases[] = {
        // clang-format off
        {"unchanged", [](VTScreen&) {}, true},
        {"another position", [](VTScreen& s) { s.setPosition({100, 0}); }, true},
        {"another layer", [](VTScreen& s) { s.objectInLinksAtIndex(0)->setInputLayer(nullptr); }, true},
        {"a link fewer", [](VTScreen& s) { s.removeObjectFromLinksAtIndex(1); }, false},
        {"another property", [](VTScreen& s) { s.objectInLinksAtIndex(0)->setOutputProperty(kVTPropertyScale); }, false},
        // clang-format on
    };
    for (const auto& [name, change, equal] : cases) {
        SCOPED_TRACE(name);
        const LinkedScreen source;
        const auto copy = copyOf(*source.screen);
        change(*copy);
        const VTLayer& asLayer = *source.screen;
        EXPECT_EQ(asLayer.isApproximatlyEqualToLayerHierarchy(*copy), equal);
        const auto parent = VTLayer::init(), otherParent = VTLayer::init();
        parent->addSublayer(source.screen);
        otherParent->addSublayer(copy);
        EXPECT_EQ(parent->isApproximatlyEqualToLayerHierarchy(*otherParent), equal);
    }
}

// A document read back: the links belong to the screen and hold the layers the tree brought; the
// property a link drives is no longer frozen, the others stay so.
TEST(VTScreen, DecodingLinks) {
    const LinkedScreen source;
    const auto document = VTPrototype::init();
    document->insertObject_inScreensAtIndex(source.screen, 0);
    const auto loaded =
        VTPrototype::prototypeFromData_error(archive_shapes::archive(document), nullptr);
    ASSERT_TRUE(loaded);
    const auto read = loaded->entryScreen();
    ASSERT_TRUE(read && read->countOfLinks() == 2);
    for (const auto& link : read->links()) EXPECT_EQ(link->screen(), read);
    const auto inner = read->objectInSublayersAtIndex(1)->objectInSublayersAtIndex(0);
    EXPECT_EQ(read->objectInLinksAtIndex(0)->inputLayer(), read->objectInSublayersAtIndex(0));
    EXPECT_EQ(read->objectInLinksAtIndex(0)->outputLayer(), inner);
    EXPECT_EQ(read->objectInLinksAtIndex(1)->inputLayer(), read);
    EXPECT_EQ(inner->optionalProperties(), 0b0000100u);

    const auto written = archive_shapes::decodeShaped<VTScreen>("VTScreen", [](NSCoder& coder) {
        encodeCGSize_forKey(coder, {10, 10}, "size");
    });
    ASSERT_TRUE(written);
    EXPECT_EQ(written->countOfLinks(), 0);
}

// A link holds its own screen without keeping it alive (see the documents below), and holds it
// again once it leaves the screen.
TEST(VTScreen, LinkLeavingItsScreenHoldsIt) {
    LinkedScreen source;
    const auto link = source.screen->objectInLinksAtIndex(1);
    const std::weak_ptr<VTScreen> held = source.screen;
    source.screen->removeObjectFromLinksAtIndex(1);
    source.screen.reset();
    EXPECT_EQ(link->inputLayer(), held.lock());
    EXPECT_TRUE(link->inputLayer());
}

// Documents whose links point across screens: loaded and let go entirely, or refused where screens
// and links would own each other or hold each other too deep to be let go. Each screen has one
// sublayer; a link names its screen and its input, layer 2i being screen i and 2i + 1 its
// sublayer.
TEST(VTScreen, DocumentsWithLinksAcrossScreens) {
    std::vector<std::pair<size_t, size_t>> chain;
    for (size_t i = 1; i < 600; ++i) chain.emplace_back(i, 2 * (i - 1));
    const struct {
        const char* name;
        size_t screens;
        std::vector<std::pair<size_t, size_t>> links;
        const char* refusal;  // "" for a document that loads
        bool seed = true;     // kept in tests/data/documents
    } cases[] = {
        // clang-format off
        {"links-own-screen.vantler", 1, {{0, 0}}, ""},
        {"links-across-screens.vantler", 2, {{0, 3}}, ""},
        {"hostile-screens-linked.vantler", 2, {{0, 2}, {1, 0}}, "A link holds a layer that holds the link"},
        {"a chain of linked screens", 600, chain, "Layers are nested more than 512 deep", false},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::shared_ptr<VTScreen>> screens(c.screens);
        std::vector<std::shared_ptr<VTLayer>> layers;
        for (auto& screen : screens) {
            screen = VTScreen::init();
            screen->addSublayer(VTLayer::init());
            layers.insert(layers.end(), {screen, screen->objectInSublayersAtIndex(0)});
        }
        for (const auto& [screen, input] : c.links)
            screens[screen]->insertObject_inLinksAtIndex(link(layers[input], 1, screens[screen], 2),
                                                         0);
        const auto made =
            document_shapes::make({.root = prototypeWith({screens.begin(), screens.end()})});
        // Screens made in code that hold each other are let go only once their links are.
        for (const auto& screen : screens) screen->setLinks({});
        std::shared_ptr<NSError> error;
        auto prototype = VTPrototype::prototypeFromData_error(
            c.seed ? seedDocument(c.name, made) : made, &error);
        EXPECT_EQ(error ? error->localizedFailureReason().value_or("") : "", c.refusal);
        if (!prototype) continue;
        const std::weak_ptr<VTScreen> screen = prototype->entryScreen();
        EXPECT_EQ(screen.lock()->countOfLinks(), 1);
        prototype.reset();
        EXPECT_TRUE(screen.expired());
    }
}
