#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "ArchiveShapes.h"
#include "CGImageToData.h"
#include "LayerTestSupport.h"
#include "NSArray.h"
#include "VTLink.h"

using namespace layer_support;

namespace {

using Samples = std::vector<std::pair<double, double>>;
const double kNaN = std::nan("");

std::shared_ptr<VTLink> linkWith(const Samples& samples, VTValueType output = kVTPropertyCenterY) {
    auto link = VTLink::init();
    link->setOutputProperty(output);
    std::vector<std::shared_ptr<VTKeyframe>> keyframes;
    for (const auto& [input, value] : samples)
        keyframes.push_back(VTKeyframe::initWithInput_output(input, value));
    link->setKeyframes(keyframes);
    return link;
}

Samples samplesOf(const VTLink& link) {
    Samples samples;
    for (const auto& keyframe : link.keyframes())
        samples.emplace_back(keyframe->input(), keyframe->output());
    return samples;
}

double packed(double red, double blue) {
    return doubleRepresentationOfCGColor(CGColorCreateSRGB(red, 0, blue, 1));
}

std::shared_ptr<VTLayer> layerAt(double x, double y) {
    auto layer = VTLayer::init();
    layer->setPosition({x, y});
    return layer;
}

}  // namespace

TEST(VTLink, Mapping) {
    const Samples ramp{{0, 10}, {100, 20}}, steps{{0, 0}, {5, 1}, {10, 3}};
    const struct {
        const char* name;
        Samples keyframes;
        double input, expected;
        VTValueType output = kVTPropertyCenterY;
    } cases[] = {
        // clang-format off
        {"below the first", ramp, -5, 10},
        {"between", ramp, 50, 15},
        {"above the last", ramp, 150, 20},
        {"one keyframe", {{5, 7}}, -1e300, 7},
        {"at an inner keyframe", steps, 5, 1},
        {"second pair", steps, 7.5, 2},
        {"given out of order", {{10, 3}, {0, 0}, {5, 1}}, 7.5, 2},
        // 127.5 rounds away from zero.
        {"packed colours by channel", {{0, packed(1, 0)}, {1, packed(0, 1)}}, 0.5, packed(128 / 255.0, 128 / 255.0), kVTPropertyFill},
        {"no keyframes: the default", {}, 3, -1},
        {"input not a number: the default", ramp, kNaN, -1},
        {"keyframes not a number take no part", {{kNaN, 99}, {0, 10}, {100, 20}}, 150, 20},
        {"only keyframes not a number", {{kNaN, 99}}, 1, -1},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(linkWith(c.keyframes, c.output)->outputForInput_defaultValue(c.input, -1),
                  c.expected);
    }
}

// A number clamps the keyframes on its side ("Scale" at least 0, "Opacity" 0 to 1, NaN to the
// lower bound, others as they are) and keeps them in order.
TEST(VTLink, PropertyClamping) {
    const auto link = linkWith({{-3, 1.5}, {2, -0.2}, {kNaN, kNaN}});
    link->setOutputProperty(kVTPropertyOpacity);
    link->setInputProperty(kVTPropertyScale);
    EXPECT_EQ(samplesOf(*link), (Samples{{0, 1}, {0, 0}, {2, 0}}));
    link->setInputProperty(kVTPropertyWidth);
    link->keyframes()[0]->setInput(-3);
    link->setInputProperty(kVTPropertyCenterX);
    EXPECT_EQ(link->keyframes()[0]->input(), -3);
}

TEST(VTLink, KeyframeList) {
    const auto link = linkWith({{1, 0}, {5, 0}});
    const auto changes = observe(*link, {"keyframes"});
    const auto three = VTKeyframe::initWithInput_output(3, 0);
    EXPECT_EQ(link->addKeyframe(three), 1u);
    EXPECT_EQ(link->addKeyframe(VTKeyframe::initWithInput_output(kNaN, 0)), 3u);
    EXPECT_EQ(link->addKeyframe(nullptr), static_cast<uint64_t>(NSNotFound));
    EXPECT_EQ(three->link(), link);
    link->removeKeyframe(VTKeyframe::init().get());
    link->removeKeyframeAtIndex(4);
    link->removeKeyframe(three.get());
    EXPECT_EQ(three->link(), nullptr);
    EXPECT_EQ(link->keyframes().size(), 3u);
    EXPECT_EQ(changes->seen, (std::vector<std::string>{"keyframes", "keyframes!", "keyframes",
                                                       "keyframes!", "keyframes", "keyframes!"}));
    // Nearest: the earliest of equally near ones; no finite distance gives none.
    const auto even = linkWith({{3, 0}, {5, 0}});
    EXPECT_EQ(even->keyframeNearest(4), even->keyframes()[0]);
    EXPECT_EQ(linkWith({{HUGE_VAL, 0}})->keyframeNearest(4), nullptr);
}

TEST(VTLink, CaptureWithinOnePoint) {
    const std::pair<double, bool> cases[] = {{1.5, true}, {1.4, false}, {3.5, true}, {kNaN, false}};
    for (const auto& [keyframeInput, updated] : cases) {
        SCOPED_TRACE(keyframeInput);
        const auto link = VTLink::initWithInputLayer_inputProperty_outputLayer_outputProperty(
            layerAt(2.5, 0), kVTPropertyCenterX, layerAt(0, 8), kVTPropertyCenterY);
        link->setKeyframes({VTKeyframe::initWithInput_output(keyframeInput, 0)});
        EXPECT_EQ(link->canUpdateKeyframe(link->keyframes()[0].get()), updated);
        EXPECT_EQ(link->updateIfPossible(), updated);
        EXPECT_EQ(link->keyframes()[0]->output(), updated ? 8 : 0);
    }
    EXPECT_FALSE(VTLink::init()->updateIfPossible());
}

TEST(VTLink, ApplyCopyAndCompare) {
    const auto input = layerAt(0, 0), output = layerAt(0, 40);
    const auto link = VTLink::initWithInputLayer_inputProperty_outputLayer_outputProperty(
        input, kVTPropertyCenterX, output, kVTPropertyCenterY);
    // The captured keyframe (0 → 40) and a second one make the mapping.
    link->addKeyframe(VTKeyframe::initWithInput_output(100, 140));
    input->setX(50);
    link->apply();
    EXPECT_EQ(output->y(), 90);
    // Without a number to drive, the output keeps its value.
    link->setInputProperty(kVTPropertyNone);
    input->setX(100);
    link->apply();
    EXPECT_EQ(output->y(), 90);

    const auto copy = link->copy();
    EXPECT_EQ(copy->inputLayer(), input);
    EXPECT_NE(copy->keyframes()[0], link->keyframes()[0]);
    EXPECT_EQ(copy->keyframes()[1]->link(), copy);
    copy->setInputLayer(layerAt(1, 1));
    EXPECT_TRUE(copy->isApproximatlyEqualToLink(link.get()));
    copy->removeKeyframeAtIndex(0);
    EXPECT_FALSE(copy->isApproximatlyEqualToLink(link.get()));
    EXPECT_FALSE(link->isApproximatlyEqualToLink(input.get()));
}

// A link keeps its layers in an archive only where the archive stores them as part of a tree (the
// screen's tests read them back there), and reads its numbers as they were written.
TEST(VTLink, ArchiveForm) {
    const auto alone = archive_shapes::unarchive<VTLink>(
        archive_shapes::archive(VTLink::initWithInputLayer_inputProperty_outputLayer_outputProperty(
            layerAt(1, 2), kVTPropertyCenterX, layerAt(3, 4), kVTPropertyOpacity)));
    ASSERT_TRUE(alone);
    EXPECT_FALSE(alone->inputLayer() || alone->outputLayer());
    EXPECT_EQ(alone->outputProperty(), kVTPropertyOpacity);
    EXPECT_EQ(samplesOf(*alone), (Samples{{1, 1}}));
    EXPECT_EQ(alone->keyframes()[0]->link(), alone);

    const auto written = archive_shapes::decodeShaped<VTLink>("VTLink", [](NSCoder& coder) {
        coder.encodeInt64_forKey(kVTPropertyScale, "inputProperty");
        coder.encodeObject_forKey(
            NSArray::arrayWithObjects({VTKeyframe::initWithInput_output(-3, 0)}), "keyframes");
    });
    ASSERT_TRUE(written);
    EXPECT_EQ(written->inputProperty(), kVTPropertyScale);
    EXPECT_EQ(samplesOf(*written), (Samples{{-3, 0}}));
    EXPECT_TRUE(
        archive_shapes::decodeShaped<VTLink>("VTLink", [](NSCoder&) {})->keyframes().empty());
}
