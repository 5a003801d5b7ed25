#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <regex>

#include "CGImageToData.h"
#include "ImageAssetTestSupport.h"
#include "LayerTestSupport.h"
#include "NSURL.h"
#include "VTImage.h"

using namespace layer_support;

namespace {
using Set = std::function<void(VTLayer&)>;
using Holds = std::function<bool(const VTLayer&)>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

// Set operations clamp or refuse instead of failing.
TEST(VTLayer, SetRulesClampAndRefuse) {
    const std::tuple<const char*, Set, Holds> rules[] = {
        // clang-format off
        {"opacity above 1", [](VTLayer& l) { l.setOpacity(1.7f); }, [](const VTLayer& l) { return l.opacity() == 1.0f; }},
        {"opacity NaN", [](VTLayer& l) { l.setOpacity(float(kNaN)); }, [](const VTLayer& l) { return l.opacity() == 0.0f; }},
        {"scale 0", [](VTLayer& l) { l.setScale(0); }, [](const VTLayer& l) { return l.scale() == 0.001; }},
        {"scale NaN", [](VTLayer& l) { l.setScale(kNaN); }, [](const VTLayer& l) { return l.scale() == 0.001; }},
        {"negative size", [](VTLayer& l) { l.setSize({-5, 10}); }, [](const VTLayer& l) { return l.size() == CGSizeMake(0, 10); }},
        {"NaN width", [](VTLayer& l) { l.setWidth(kNaN); }, [](const VTLayer& l) { return l.size() == CGSizeMake(0, 44); }},
        {"x keeps y", [](VTLayer& l) { l.setX(3); }, [](const VTLayer& l) { return l.position() == CGPointMake(3, 22); }},
        {"negative radius", [](VTLayer& l) { l.setRadius(-2); }, [](const VTLayer& l) { return l.radius() == 0.0f; }},
        {"NaN border width", [](VTLayer& l) { l.setBorderWidth(kNaN); }, [](const VTLayer& l) { return l.borderWidth() == 0; }},
        {"empty name", [](VTLayer& l) { l.setName(""); }, [](const VTLayer& l) { return l.name() == "Layer"; }},
        {"text on a plain layer", [](VTLayer& l) { l.setText("a"); }, [](const VTLayer& l) { return !l.text(); }},
        {"null fill", [](VTLayer& l) { l.setBackgroundColor(nullptr); }, [](const VTLayer& l) { return CGColorEqualToColor(l.backgroundColor(), CGColorCreateSRGB(1, 1, 1, 0)); }},
        // clang-format on
    };
    for (const auto& [name, set, holds] : rules) {
        SCOPED_TRACE(name);
        const auto layer = VTLayer::init();
        set(*layer);
        EXPECT_TRUE(holds(*layer));
    }
    const auto text = VTLayer::textLayer();
    text->setText(std::nullopt);  // a text layer keeps a text
    EXPECT_EQ(text->text(), "Type Something");
}

// Manual keys tell observers only of a real change; the others of every set. "x" follows
// "position" and "width" follows "size".
TEST(VTLayer, ManualKeysNotifyOnlyRealChanges) {
    const std::tuple<const char*, Set, Set, size_t> cases[] = {
        // clang-format off
        {"position", [](VTLayer& l) { l.setPosition({22, 22}); }, [](VTLayer& l) { l.setY(1); }, 0},
        {"anchorPoint", [](VTLayer& l) { l.setAnchorPoint({0.5, 0.5}); }, [](VTLayer& l) { l.setAnchorPoint({0, 0.5}); }, 0},
        {"backgroundColor", [](VTLayer& l) { l.setBackgroundColor(CGColorCreateSRGB(0, 0, 0, 0)); }, [](VTLayer& l) { l.setBackgroundColor(nullptr); }, 0},
        {"borderColor", [](VTLayer& l) { l.setBorderColor(nullptr); }, [](VTLayer& l) { l.setBorderColor(CGColorCreateSRGB(1, 0, 0, 1)); }, 0},
        {"shadowOffset", [](VTLayer& l) { l.setShadowOffset({0, 2}); }, [](VTLayer& l) { l.setShadowOffset({0, 3}); }, 0},
        {"shadowRadius", [](VTLayer& l) { l.setShadowRadius(4.0009); }, [](VTLayer& l) { l.setShadowRadius(4.002); }, 0},
        {"fontFamily", [](VTLayer& l) { l.setFontFamily(std::nullopt); }, [](VTLayer& l) { l.setFontFamily("Helvetica"); }, 0},
        {"fontSize", [](VTLayer& l) { l.setFontSize(0.0001); }, [](VTLayer& l) { l.setFontSize(0.00011); }, 0},
        {"textAlignment", [](VTLayer& l) { l.setTextAlignment(0); }, [](VTLayer& l) { l.setTextAlignment(2); }, 0},
        {"opacity", [](VTLayer& l) { l.setOpacity(1); }, [](VTLayer& l) { l.setOpacity(1); }, 2},
        {"width", [](VTLayer& l) { l.setName(""); }, [](VTLayer& l) { l.setSize({44, 44}); }, 0},
        {"x", [](VTLayer& l) { l.setY(22); }, [](VTLayer& l) { l.setY(0); }, 0},
        // clang-format on
    };
    for (const auto& [key, same, differ, sameCount] : cases) {
        SCOPED_TRACE(key);
        const auto layer = VTLayer::init();
        const auto recorder = observe(*layer, {key});
        same(*layer);
        EXPECT_EQ(recorder->seen.size(), sameCount);
        recorder->seen.clear();
        differ(*layer);
        EXPECT_EQ(recorder->seen, (std::vector<std::string>{key, std::string(key) + "!"}));
    }
}

// A layer for an image is named after the file (scale mark and escapes gone), sized in points with
// its corner at the origin; a video's layer freezes its media time.
TEST(VTLayer, MadeLayers) {
    test::ScratchDirectory folder;
    const auto path = folder.path() / "My%20Icon@2x.png";
    test::writeFile(
        path, image_assets::pngFileBytes(image_assets::solidBitmap(128, 64, image_assets::kRed)));
    const auto icon =
        VTLayer::layerWithImage(VTImage::imageWithURL(NSURL::fileURLWithPath(path.string())));
    EXPECT_EQ(icon->name(), "My Icon");
    EXPECT_EQ(icon->size(), CGSizeMake(64, 32));
    EXPECT_EQ(icon->position(), CGPointMake(32, 16));
    EXPECT_TRUE(icon->lockAspectRatio());
    EXPECT_FALSE(icon->isPropertyFrozen(kVTPropertyMediaTime));
    // An image without a usable size keeps 44 × 44 at (22, 22), on grey.
    const auto empty = VTLayer::layerWithImage(VTImage::init());
    EXPECT_EQ(std::pair(empty->size(), empty->position()),
              std::pair(CGSizeMake(44, 44), CGPointMake(22, 22)));
    EXPECT_EQ(CGColorGetAlpha(empty->backgroundColor()), 1.0);
    const auto video = VTImage::imageWithURL(
        NSURL::fileURLWithPath((test::dataDir() / "media" / "split.mp4").string()));
    EXPECT_TRUE(VTLayer::layerWithImage(video)->isPropertyFrozen(kVTPropertyMediaTime));
}

// An instance shows its screen's size, tells its own observers when that changes, and is a weak
// member of the screen's prototype's instances until it leaves or goes away.
TEST(VTLayer, ComponentInstanceFollowsItsScreen) {
    ComponentScreen component;
    auto layer = VTLayer::init();
    const auto recorder = observe(*layer, {"size", "componentScreen"});
    layer->setComponentScreen(component.screen);
    layer->setComponentScreen(component.screen);  // linked twice, a member once
    EXPECT_EQ(recorder->seen.size(), 8u);
    EXPECT_EQ(layer->size(), CGSizeMake(100, 50));
    EXPECT_EQ(component.prototype->instances().count(), 1u);
    EXPECT_EQ(component.screen->countOfObservers("size"), 1u);
    recorder->seen.clear();
    component.screen->setWidth(10);
    EXPECT_EQ(recorder->seen, (std::vector<std::string>{"size", "size!"}));
    EXPECT_NE(layer->description().find(", componentScreen:<<VTScreen "), std::string::npos);

    auto copy = layer->copy();  // a copy is an instance too
    EXPECT_EQ(component.prototype->instances().count(), 2u);
    layer.reset();
    copy->setComponentScreen(nullptr);
    EXPECT_EQ(component.prototype->instances().count(), 0u);
    EXPECT_EQ(component.screen->countOfObservers("size"), 0u);
    EXPECT_EQ(copy->size(), CGSizeMake(10, 50));  // its own field, taken from the screen

    component.screen->setComponentScreen(ComponentScreen().screen);  // a screen is never one
    EXPECT_FALSE(component.screen->isComponentInstance());
}

TEST(VTLayer, ParentRepresentingAScreenScreenAndDescription) {
    ComponentScreen component;
    const auto root = VTScreen::init();
    const auto instance = VTLayer::init();
    const auto inner = VTLayer::initWithName("Card");
    root->addSublayer(instance);
    instance->addSublayer(inner);
    instance->setComponentScreen(component.screen);
    EXPECT_EQ(inner->parentRepresentingAScreen(), instance);
    instance->setComponentScreen(nullptr);
    EXPECT_EQ(inner->parentRepresentingAScreen(), root);
    EXPECT_EQ(inner->screen(), root);
    EXPECT_EQ(VTLayer::init()->screen(), nullptr);
    EXPECT_TRUE(std::regex_match(inner->description(), std::regex("<VTLayer 0x[0-9a-f]+> Card")));
    root->setOpacity(0.5);  // a screen pins its look
    root->setAngle(45);
    EXPECT_EQ(std::tuple(root->opacity(), root->angle(), root->anchorPoint()),
              std::tuple(1.0f, 0.0, CGPointZero));
}
