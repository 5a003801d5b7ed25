#include <gtest/gtest.h>

#include <functional>

#include "LayerTestSupport.h"

using namespace layer_support;

namespace {

// A 100 × 50 layer whose anchor, the middle, sits at (200, 100) of its parent, after `adjust`.
std::shared_ptr<VTLayer> placed(const std::function<void(VTLayer&)>& adjust = [](VTLayer&) {}) {
    auto layer = VTLayer::init();
    layer->setSize({100, 50});
    layer->setPosition({200, 100});
    adjust(*layer);
    return layer;
}

void expectNear(CGPoint actual, CGPoint expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-9) << actual;
    EXPECT_NEAR(actual.y, expected.y, 1e-9) << actual;
}

}  // namespace

// A point q of the layer's space lands at position + R(angle)·scale·(q − offset − anchor⊙size) of
// its parent's, which for a root is the world.
TEST(VTLayerTransforms, PointsIntoTheParent) {
    const ComponentScreen component({20, 10});
    const struct {
        const char* name;
        std::function<void(VTLayer&)> adjust;
        CGPoint point, expected;
    } cases[] = {
        // clang-format off
        {"plain", [](VTLayer&) {}, {0, 0}, {150, 75}},
        {"rotated 90°", [](VTLayer& l) { l.setAngle(90); }, {0, 0}, {225, 50}},
        {"scrolled", [](VTLayer& l) { l.setContentOffset({10, 0}); }, {10, 0}, {150, 75}},
        {"scaled about the anchor", [](VTLayer& l) { l.setScale(2); }, {0, 0}, {100, 50}},
        {"anchored at the corner", [](VTLayer& l) { l.setAnchorPoint({0, 0}); }, {10, 5}, {210, 105}},
        {"turned and scaled", [](VTLayer& l) { l.setAngle(-90), l.setScale(0.5); }, {100, 50}, {212.5, 75}},
        {"an instance has its screen's size", [&](VTLayer& l) { l.setComponentScreen(component.screen); }, {0, 0}, {190, 95}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto parent = VTLayer::init();
        const auto layer = placed(c.adjust);
        parent->addSublayer(layer);
        expectNear(layer->convertPoint_toPicture(c.point, parent.get()), c.expected);
        expectNear(layer->convertPoint_fromPicture(c.expected, parent.get()), c.point);
        layer->removeFromSuperPicture();
        expectNear(layer->convertPoint_toPicture(c.point, nullptr), c.expected);
    }
    const auto scrolled = placed([](VTLayer& l) { l.setContentOffset({10, 0}); });
    EXPECT_EQ(scrolled->bounds(), CGRectMake(10, 0, 100, 50));
}

// From another layer's space: directly for the layer itself, its parent and its sublayers,
// through the world for any other, also one of another tree.
TEST(VTLayerTransforms, TransformFromPicture) {
    const auto root = placed([](VTLayer& l) { l.setAngle(30); });
    const auto child = placed([](VTLayer& l) { l.setScale(3); });
    const auto grandchild = placed([](VTLayer& l) { l.setContentOffset({4, -7}); });
    const auto stranger = placed([](VTLayer& l) { l.setAngle(-45), l.setScale(0.25); });
    root->addSublayer(child);
    child->addSublayer(grandchild);
    EXPECT_TRUE(CGAffineTransformIsIdentity(child->transformFromPicture(child.get())));
    EXPECT_EQ(child->transformFromPicture(root.get()), child->fromSuperPictureTransform());
    EXPECT_EQ(child->transformFromPicture(grandchild.get()), grandchild->toSuperPictureTransform());
    EXPECT_EQ(
        grandchild->transformFromPicture(stranger.get()),
        CGAffineTransformConcat(stranger->toWorldTransform(), grandchild->fromWorldTransform()));
    const CGPoint there = grandchild->convertPoint_toPicture({13, -2}, stranger.get());
    expectNear(grandchild->convertPoint_fromPicture(there, stranger.get()), {13, -2});
    // The grandchild's anchor point, (54, 18) of its scrolled space, is (200, 100) of the child,
    // which scales by 3 about its own anchor point.
    expectNear(grandchild->convertPoint_toPicture({54, 18}, root.get()), {650, 325});

    // Extents hold the whole turned rectangle; containment is decided in the layer's own space.
    const auto turned = placed([](VTLayer& l) { l.setAngle(90); });
    const CGRect extents = turned->extents();
    expectNear(extents.origin, {175, 50});
    expectNear({extents.size.width, extents.size.height}, {50, 100});
    EXPECT_TRUE(turned->containsPoint_inPicture({180, 60}, nullptr));
    EXPECT_FALSE(turned->containsPoint_inPicture({160, 80}, nullptr));
}

// A point of the layer put at a location; aligned, its unrotated (0, 0) corner is on whole points,
// halves away from zero.
TEST(VTLayerTransforms, AnchoredPlacement) {
    const auto layer = VTLayer::init();
    layer->setSize({10.4, 10});
    EXPECT_EQ(layer->positionForLocation_withAnchor_pixelAlign({0, 0}, {0, 0}, true),
              CGPointMake(5.2, 5));
    expectNear(layer->positionForLocation_withAnchor_pixelAlign({0, 0}, {1, 1}, false), {-5.2, -5});
    expectNear(layer->positionForLocation_withAnchor_pixelAlign({0, 0}, {1, 1}, true), {-4.8, -5});
    expectNear(layer->positionForLocation_withAnchor_pixelAlign({0.5, -0.5}, {0, 0}, true),
               {6.2, 4});
}

// Angles add up and scales multiply through the ancestors; an ancestor too small to divide by
// counts as 1.
TEST(VTLayerWorldValues, AngleScaleAndPosition) {
    const auto screen = VTScreen::init();
    const auto parent = placed([](VTLayer& l) { l.setAngle(30), l.setScale(2); });
    const auto child = placed([](VTLayer& l) { l.setAngle(15), l.setScale(0.5); });
    // A screen's stored scale counts in its transform, which reads the field, but not in the scale
    // in the world, which asks the screen (always 1).
    screen->setScale(4);
    screen->addSublayer(parent);
    parent->addSublayer(child);
    EXPECT_EQ(child->angleInWorld(), 45);
    EXPECT_EQ(child->scaleInWorld(), 1);
    child->setAngleInWorld(0);
    child->setScaleInWorld(3);
    EXPECT_EQ(child->angle(), -30);
    EXPECT_EQ(child->scale(), 1.5);
    const CGPoint inScreen = parent->convertPoint_toPicture({200, 100}, screen.get());
    expectNear(child->positionInScreen(), inScreen);
    expectNear(child->positionInWorld(), {inScreen.x * 4, inScreen.y * 4});

    const auto tiny = placed([](VTLayer& l) { l.setScale(0.01); });
    parent->setScale(0.01);  // 0.0001 in the world
    screen->addSublayer(tiny);
    tiny->addSublayer(parent);
    EXPECT_EQ(child->superScaleInWorld(), 1.0);
    child->setScaleInWorld(2);
    EXPECT_EQ(child->scale(), 2);
}
