#include "VTLink.h"

#include <algorithm>
#include <cmath>

#include "NSArray.h"
#include "NSCoder.h"
#include "VTLayer.h"
#include "VTScreen.h"

namespace {

// Held to at least `minimum`; NaN gives the minimum.
double atLeast(double value, double minimum) {
    return value > minimum ? value : minimum;
}

// Ascending input with every input that is not a number after all others: a strict weak order
// even for a crafted document's NaN, so sorting stays defined and the numbered keyframes stay
// together at the front.
bool inputOrdersBefore(const std::shared_ptr<VTKeyframe>& a, const std::shared_ptr<VTKeyframe>& b) {
    if (std::isnan(a->input())) return false;
    if (std::isnan(b->input())) return true;
    return a->input() < b->input();
}

bool isPackedColour(VTValueType property) {
    return property == kVTPropertyFill || property == kVTPropertyStrokeColor ||
           property == kVTPropertyShadowColor;
}

std::string describe(const std::shared_ptr<VTLayer>& layer) {
    return layer ? layer->description() : "(null)";
}

}  // namespace

std::shared_ptr<VTLink> VTLink::init() {
    return std::make_shared<VTLink>();
}

std::shared_ptr<VTLink> VTLink::initWithInputLayer_inputProperty_outputLayer_outputProperty(
    const std::shared_ptr<VTLayer>& inputLayer, VTValueType inputProperty,
    const std::shared_ptr<VTLayer>& outputLayer, VTValueType outputProperty) {
    auto link = init();
    link->setInputLayer(inputLayer);
    link->setInputProperty(inputProperty);
    link->setOutputLayer(outputLayer);
    link->setOutputProperty(outputProperty);
    // The layers as they stand now are the link's first sample.
    link->addKeyframe(VTKeyframe::initWithInput_output(
        inputLayer ? inputLayer->valueForProperty(inputProperty) : 0.0,
        outputLayer ? outputLayer->valueForProperty(outputProperty) : 0.0));
    return link;
}

double VTLink::clampValue_forProperty(double value, VTValueType property) {
    if (property == kVTPropertyScale) return atLeast(value, 0);
    if (property == kVTPropertyOpacity) return std::min(atLeast(value, 0), 1.0);
    return value;
}

// ---- Layers, properties and screen

void VTLink::hold(HeldLayer& held, const std::shared_ptr<VTLayer>& layer) const {
    const auto screen = screen_.lock();
    if (layer && layer.get() == static_cast<const VTLayer*>(screen.get())) {
        held.strong.reset();
    } else {
        held.strong = layer;
    }
    held.weak = layer;
}

void VTLink::setInputLayer(const std::shared_ptr<VTLayer>& layer) {
    changeValueForKey("inputLayer", [&] { hold(inputLayer_, layer); });
}

void VTLink::setOutputLayer(const std::shared_ptr<VTLayer>& layer) {
    changeValueForKey("outputLayer", [&] { hold(outputLayer_, layer); });
}

void VTLink::setInputProperty(VTValueType property) {
    changeValueForKey("inputProperty", [&] { inputProperty_ = property; });
    for (const auto& keyframe : keyframes_)
        keyframe->setInput(clampValue_forProperty(keyframe->input(), property));
    // Clamping never reverses two inputs, but an input that was not a number becomes one.
    sort();
}

void VTLink::setOutputProperty(VTValueType property) {
    changeValueForKey("outputProperty", [&] { outputProperty_ = property; });
    for (const auto& keyframe : keyframes_)
        keyframe->setOutput(clampValue_forProperty(keyframe->output(), property));
}

void VTLink::setScreen(const std::shared_ptr<VTScreen>& screen) {
    // Taken before the screen changes: a layer held weakly as the old screen is held strongly
    // again from here on.
    const auto input = inputLayer(), output = outputLayer();
    changeValueForKey("screen", [&] {
        screen_ = screen;
        hold(inputLayer_, input);
        hold(outputLayer_, output);
    });
}

// ---- Keyframes

void VTLink::setKeyframes(std::vector<std::shared_ptr<VTKeyframe>> keyframes) {
    const auto link = self();
    changeValueForKey("keyframes", [&] {
        keyframes_ = std::move(keyframes);
        for (const auto& keyframe : keyframes_) keyframe->setLink(link);
        sort();
    });
}

uint64_t VTLink::addKeyframe(const std::shared_ptr<VTKeyframe>& keyframe) {
    if (!keyframe) return NSNotFound;
    willChangeValueForKey("keyframes");
    keyframes_.push_back(keyframe);
    keyframe->setLink(self());
    sort();
    didChangeValueForKey("keyframes");
    const auto at = std::find(keyframes_.begin(), keyframes_.end(), keyframe);
    return static_cast<uint64_t>(at - keyframes_.begin());
}

void VTLink::removeKeyframeAtIndex(uint64_t index) {
    if (index >= keyframes_.size()) return;
    willChangeValueForKey("keyframes");
    // The keyframe stays alive until observers have been told.
    const auto removed = keyframes_[index];
    removed->setLink(nullptr);
    keyframes_.erase(keyframes_.begin() + static_cast<ptrdiff_t>(index));
    didChangeValueForKey("keyframes");
}

void VTLink::removeKeyframe(const VTKeyframe* keyframe) {
    const auto at = std::find_if(keyframes_.begin(), keyframes_.end(),
                                 [&](const auto& element) { return element.get() == keyframe; });
    if (at != keyframes_.end())
        removeKeyframeAtIndex(static_cast<uint64_t>(at - keyframes_.begin()));
}

void VTLink::sort() {
    std::stable_sort(keyframes_.begin(), keyframes_.end(), inputOrdersBefore);
}

std::shared_ptr<VTKeyframe> VTLink::keyframeNearest(double value) const {
    std::shared_ptr<VTKeyframe> nearest;
    double nearestDistance = HUGE_VAL;
    for (const auto& keyframe : keyframes_) {
        // An infinite or NaN distance is never below the start, so it never wins.
        const double distance = std::fabs(value - keyframe->input());
        if (distance < nearestDistance) {
            nearest = keyframe;
            nearestDistance = distance;
        }
    }
    return nearest;
}

// ---- The mapping

size_t VTLink::countOfNumberedKeyframes() const {
    const auto firstNaN =
        std::find_if(keyframes_.begin(), keyframes_.end(),
                     [](const auto& keyframe) { return std::isnan(keyframe->input()); });
    return static_cast<size_t>(firstNaN - keyframes_.begin());
}

double VTLink::outputForInput_defaultValue(double input, double defaultValue) const {
    const size_t count = countOfNumberedKeyframes();
    if (count == 0 || std::isnan(input)) return defaultValue;
    // No extrapolation below the first keyframe nor above the last.
    const VTKeyframe& first = *keyframes_.front();
    if (first.input() >= input) return first.output();
    const VTKeyframe& last = *keyframes_[count - 1];
    if (input >= last.input()) return last.output();
    // The first pair that brackets the input: the first keyframe lies below it and the last above
    // it, so the walk stops by the last one at the latest, with a.input < input <= b.input.
    size_t i = 0;
    while (!(keyframes_[i + 1]->input() >= input)) ++i;
    const VTKeyframe& a = *keyframes_[i];
    const VTKeyframe& b = *keyframes_[i + 1];
    const double t = (input - a.input()) / (b.input() - a.input());
    if (isPackedColour(outputProperty_)) return interpolateDoubleColors(a.output(), b.output(), t);
    return t * (b.output() - a.output()) + a.output();
}

double VTLink::outputValueForInput_output(const VTLayer* input, const VTLayer* output) const {
    const double current = output ? output->valueForProperty(outputProperty_) : 0.0;
    // A link that cannot map leaves its output as it is.
    if (!input || !output || inputProperty_ == kVTPropertyNone ||
        outputProperty_ == kVTPropertyNone || keyframes_.empty())
        return current;
    return outputForInput_defaultValue(input->valueForProperty(inputProperty_), current);
}

void VTLink::applyWithInput_output(const VTLayer* input, VTLayer* output) {
    const double value = outputValueForInput_output(input, output);
    if (output) output->setValue_forType(value, outputProperty_);
}

void VTLink::apply() {
    const auto input = inputLayer(), output = outputLayer();
    applyWithInput_output(input.get(), output.get());
}

// ---- Capturing the output layer's value

bool VTLink::_canUpdateKeyframe_inputValue(const VTKeyframe* keyframe, double inputValue) const {
    // A NaN distance is not within reach.
    return keyframe && std::fabs(keyframe->input() - inputValue) <= 1.0;
}

bool VTLink::canUpdateKeyframe(const VTKeyframe* keyframe) const {
    const auto input = inputLayer();
    return input &&
           _canUpdateKeyframe_inputValue(keyframe, input->valueForProperty(inputProperty_));
}

bool VTLink::updateIfPossible() {
    const auto input = inputLayer(), output = outputLayer();
    if (!input || !output) return false;
    const double value = input->valueForProperty(inputProperty_);
    const auto nearest = keyframeNearest(value);
    if (!_canUpdateKeyframe_inputValue(nearest.get(), value)) return false;
    // The input stays, so the order does too.
    nearest->setOutput(output->valueForProperty(outputProperty_));
    return true;
}

bool VTLink::isApproximatlyEqualToLink(const NSObject* object) const {
    if (object == this) return true;
    const auto* link = dynamic_cast<const VTLink*>(object);
    return link && link->inputProperty_ == inputProperty_ &&
           link->outputProperty_ == outputProperty_ && link->keyframes_.size() == keyframes_.size();
}

std::shared_ptr<VTLink> VTLink::copy() const {
    auto link = init();
    link->hold(link->inputLayer_, inputLayer());
    link->hold(link->outputLayer_, outputLayer());
    // Set as they stand: the keyframes were clamped for these numbers already, or were read so.
    link->inputProperty_ = inputProperty_;
    link->outputProperty_ = outputProperty_;
    std::vector<std::shared_ptr<VTKeyframe>> keyframes;
    keyframes.reserve(keyframes_.size());
    for (const auto& keyframe : keyframes_) keyframes.push_back(keyframe->copy());
    link->setKeyframes(std::move(keyframes));
    return link;
}

std::string VTLink::description() const {
    return "input: " + describe(inputLayer()) + "." + stringForValueType(inputProperty_) +
           "\noutput: " + describe(outputLayer()) + "." + stringForValueType(outputProperty_);
}

// ---- Archive form

void VTLink::encodeWithCoder(NSCoder& coder) const {
    coder.encodeConditionalObject_forKey(inputLayer(), "inputLayer");
    coder.encodeConditionalObject_forKey(outputLayer(), "outputLayer");
    coder.encodeObject_forKey(NSArray::arrayWithObjects({keyframes_.begin(), keyframes_.end()}),
                              "keyframes");
    coder.encodeInt64_forKey(inputProperty_, "inputProperty");
    coder.encodeInt64_forKey(outputProperty_, "outputProperty");
}

bool VTLink::initWithCoder(NSCoder& coder) {
    hold(inputLayer_, coder.decodeObjectOfClass_forKey<VTLayer>("inputLayer"));
    hold(outputLayer_, coder.decodeObjectOfClass_forKey<VTLayer>("outputLayer"));
    setKeyframes(coder.decodeArrayOfObjectsOfClass_forKey<VTKeyframe>("keyframes"));
    // As read: a document keeps the numbers it names, without clamping its keyframes.
    inputProperty_ = coder.decodeInt64ForKey("inputProperty");
    outputProperty_ = coder.decodeInt64ForKey("outputProperty");
    return true;
}
