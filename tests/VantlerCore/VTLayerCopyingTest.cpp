#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "CGImageToData.h"
#include "ImageAssetTestSupport.h"
#include "LayerTestSupport.h"
#include "VTAnimationInfo.h"

using namespace layer_support;

namespace {

// Three levels: a root with a text child and a child holding a grandchild with timing.
std::shared_ptr<VTLayer> threeLevels() {
    auto root = VTLayer::initWithName("root");
    root->setBackgroundColor(CGColorCreateSRGB(0.2, 0.4, 0.6, 1));
    auto text = VTLayer::textLayer();
    root->addSublayer(text);
    auto middle = VTLayer::initWithName("middle");
    middle->setMasksToBounds(true);
    root->addSublayer(middle);
    auto leaf = VTLayer::initWithName("leaf");
    leaf->setAnimationInfo(
        {{kVTPropertyOpacity, VTAnimationInfo::initWithCurve_delay_duration(
                                  VTAnimationCurve::curveWithType(4), 0.1, 0.5)}});
    leaf->setProperty_frozen(kVTPropertyAngle, true);
    leaf->setHidden(true);
    middle->addSublayer(leaf);
    return root;
}

void collect(const std::shared_ptr<VTLayer>& layer, std::vector<const VTLayer*>& into) {
    into.push_back(layer.get());
    for (const auto& sublayer : layer->sublayers()) collect(sublayer, into);
}

}  // namespace

TEST(VTLayerCopying, DeepCopyIsEqualAndSharesNothing) {
    const auto source = threeLevels();
    source->setImportID("import-1");
    const auto copy = source->copy();
    EXPECT_TRUE(copy->isApproximatlyEqualToLayerHierarchy(*source));
    std::vector<const VTLayer*> mine, theirs;
    collect(source, mine);
    collect(copy, theirs);
    ASSERT_EQ(mine.size(), theirs.size());
    for (const VTLayer* layer : theirs) EXPECT_EQ(std::count(mine.begin(), mine.end(), layer), 0);
    EXPECT_FALSE(copy->importID());
    EXPECT_EQ(copy->superPicture(), nullptr);
    const auto& leaf = *copy->objectInSublayersAtIndex(1)->objectInSublayersAtIndex(0);
    const auto& original = *source->objectInSublayersAtIndex(1)->objectInSublayersAtIndex(0);
    EXPECT_TRUE(leaf.hidden());
    EXPECT_TRUE(leaf.isPropertyFrozen(kVTPropertyAngle));
    const auto& copiedTiming = leaf.animationInfo().at(kVTPropertyOpacity);
    const auto& originalTiming = original.animationInfo().at(kVTPropertyOpacity);
    EXPECT_NE(copiedTiming, originalTiming);
    EXPECT_TRUE(copiedTiming->isEqual(*originalTiming));
    EXPECT_EQ(copy->objectInSublayersAtIndex(1)->objectInSublayersAtIndex(0)->superPicture(),
              copy->objectInSublayersAtIndex(1));
    // A screen copies into a screen.
    EXPECT_TRUE(std::dynamic_pointer_cast<VTScreen>(VTScreen::init()->copy()));
}

// Exact comparison of the values that make a layer look different, and only those. Each change
// goes to the copy's middle layer (and to the source's too where said).
TEST(VTLayerCopying, HierarchyComparison) {
    const auto image =
        image_assets::assetWithBitmap(image_assets::solidBitmap(2, 2, image_assets::kRed));
    using Change = std::function<void(VTLayer&)>;
    const std::tuple<const char*, Change, bool, bool> cases[] = {
        // clang-format off
        {"opacity 0.5 against 0.5000001", [](VTLayer& l) { l.setOpacity(0.5000001f); }, false, false},
        {"size", [](VTLayer& l) { l.setHeight(45); }, false, false},
        {"position", [](VTLayer& l) { l.setX(1); }, false, false},
        {"content offset", [](VTLayer& l) { l.setContentOffset({0, 1}); }, false, false},
        {"name", [](VTLayer& l) { l.setName("other"); }, false, false},
        {"radius, scale", [](VTLayer& l) { l.setRadius(1); l.setScale(2); }, false, false},
        {"angle NaN on both", [](VTLayer& l) { l.setAngle(std::nan("")); }, false, true},
        {"clipping", [](VTLayer& l) { l.setMasksToBounds(false); }, false, false},
        {"text", [](VTLayer& l) { l._VTSimulatorOnly_setText("t"); }, false, false},
        {"font", [](VTLayer& l) { l.setFontSize(12); }, false, false},
        {"image", [&](VTLayer& l) { l.setImage(image); }, false, false},
        {"fill", [](VTLayer& l) { l.setBackgroundColor(CGColorCreateSRGB(0, 0, 0, 0.5)); }, false, false},
        {"a sublayer more", [](VTLayer& l) { l.addSublayer(VTLayer::init()); }, false, false},
        {"instance", [](VTLayer& l) { l.setComponentScreen(ComponentScreen({44, 44}).screen); }, false, false},
        {"border, shadow", [](VTLayer& l) { l.setBorderColor(CGColorCreateSRGB(1, 0, 0, 1)); l.setShadowRadius(9); }, true, false},
        {"anchor, alignment, flags", [](VTLayer& l) { l.setAnchorPoint({0, 0}); l.setTextAlignment(2); l.setHidden(true); }, true, false},
        {"media, import, behaviour", [](VTLayer& l) { l.setMediaVolume(0.5); l.setImportID("x"); l.setVerticalBehavior(1); }, true, false},
        // clang-format on
    };
    for (const auto& [name, change, equal, toBoth] : cases) {
        SCOPED_TRACE(name);
        const auto source = threeLevels();
        const auto copy = source->copy();
        if (toBoth) change(*source->objectInSublayersAtIndex(1));
        change(*copy->objectInSublayersAtIndex(1));
        EXPECT_EQ(source->isApproximatlyEqualToLayerHierarchy(*copy), equal);
    }
    // A layer accepts a screen (a subclass) as its like; a screen does not accept a plain layer.
    const auto layer = VTLayer::init();
    layer->setPosition(CGPointZero);
    EXPECT_TRUE(layer->isApproximatlyEqualToLayerHierarchy(*VTScreen::init()));
    EXPECT_FALSE(VTScreen::init()->isApproximatlyEqualToLayerHierarchy(*layer));
}

TEST(VTLayerCopying, StyleTransfer) {
    const auto text = VTLayer::textLayer();
    const auto plain = VTLayer::init();
    plain->setPosition({5, 6});
    text->takeStyleFrom(*plain);
    EXPECT_FALSE(text->text());  // which setText would never do
    EXPECT_EQ(text->position(), CGPointMake(5, 6));
    EXPECT_EQ(text->name(), "Layer");
    // Behaviour takes lockAspectRatio through its read operation: on for an instance.
    ComponentScreen component;
    const auto instance = VTLayer::init();
    instance->setComponentScreen(component.screen);
    plain->takeBehaviorFrom(instance.get());
    EXPECT_TRUE(plain->lockAspectRatio());
}
