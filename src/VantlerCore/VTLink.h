#pragma once
// A link ties one layer property to another: the value of the input property of the input layer
// drives the output property of the output layer through a piecewise-linear mapping sampled by
// keyframes. The keyframes are kept in ascending order of input (those whose input is not a number
// last). A screen holds its links in evaluation order and applies them when asked; the link knows
// that screen weakly.
//
// Every value passes as a double through the layer's property access, so a colour links like any
// number, its packed colours interpolated channel by channel.
//
// Setters tell observers of their key; adding and removing a keyframe tells observers of
// "keyframes". A link is used by the thread that owns its document.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "NSKeyValueObserving.h"
#include "VTKeyframe.h"
#include "VTProperty.h"

#pragma GCC visibility push(default)  // exported from libVantler

class VTLayer;
class VTScreen;

class VTLink : public NSKeyValueObservable {
  public:
    NS_CLASS_RECORD("VTLink", NSObject::objcClass())

    // No keyframes, no layers, no screen; input property 1 ("Center X"), output property 2
    // ("Center Y").
    static std::shared_ptr<VTLink> init();
    // init with the two layers and property numbers, then one keyframe that captures the input
    // layer's current input value and the output layer's current output value.
    static std::shared_ptr<VTLink> initWithInputLayer_inputProperty_outputLayer_outputProperty(
        const std::shared_ptr<VTLayer>& inputLayer, VTValueType inputProperty,
        const std::shared_ptr<VTLayer>& outputLayer, VTValueType outputProperty);

    // The value a keyframe of `property` may hold: "Scale" at least 0, "Opacity" 0 … 1 (NaN gives
    // 0 for both); any other number leaves the value unchanged.
    static double clampValue_forProperty(double value, VTValueType property);

    // ---- Layers, properties and screen
    // The layers are held strongly, except the link's own screen: the screen owns the link, so it
    // is held weakly while the link belongs to it (and strongly again once the link leaves it).
    std::shared_ptr<VTLayer> inputLayer() const { return inputLayer_.layer(); }
    void setInputLayer(const std::shared_ptr<VTLayer>& layer);
    std::shared_ptr<VTLayer> outputLayer() const { return outputLayer_.layer(); }
    void setOutputLayer(const std::shared_ptr<VTLayer>& layer);
    VTValueType inputProperty() const { return inputProperty_; }
    // Stores the number, then clamps every keyframe's input for it (clampValue_forProperty).
    void setInputProperty(VTValueType property);
    VTValueType outputProperty() const { return outputProperty_; }
    // Stores the number, then clamps every keyframe's output for it.
    void setOutputProperty(VTValueType property);
    // The screen whose links hold this link (not owned); set and cleared by that screen.
    std::shared_ptr<VTScreen> screen() const { return screen_.lock(); }
    void setScreen(const std::shared_ptr<VTScreen>& screen);

    // ---- Keyframes
    // An immutable snapshot copy of the list.
    std::vector<std::shared_ptr<VTKeyframe>> keyframes() const { return keyframes_; }
    // The list becomes the given keyframes, each pointing to this link, sorted.
    void setKeyframes(std::vector<std::shared_ptr<VTKeyframe>> keyframes);
    // Adds the keyframe where its input sorts and answers its index there; none adds nothing and
    // answers NSNotFound.
    uint64_t addKeyframe(const std::shared_ptr<VTKeyframe>& keyframe);
    // An index at or past the count does nothing; the removed keyframe has no link.
    void removeKeyframeAtIndex(uint64_t index);
    // Removes that very keyframe; one that is not here changes nothing.
    void removeKeyframe(const VTKeyframe* keyframe);
    // Ascending input, inputs that are not numbers last; keyframes of equal input keep their
    // order.
    void sort();
    // The keyframe whose input is nearest to `value`, the earliest of equally near ones; none for
    // an empty list or when no distance is a finite number.
    std::shared_ptr<VTKeyframe> keyframeNearest(double value) const;

    // ---- The mapping
    // The output for `input`: `defaultValue` without keyframes, the first (last) keyframe's output
    // at or below (above) the first (last) input, else the interpolation between the two keyframes
    // that bracket it (channel by channel for the colours 9, 25 and 29). Keyframes whose input is
    // not a number take no part, and an input that is not a number gives `defaultValue`.
    double outputForInput_defaultValue(double input, double defaultValue) const;
    // The output layer's current output value (0 without one), mapped from the input layer's
    // current input value when both layers, both property numbers and a keyframe are there.
    double outputValueForInput_output(const VTLayer* input, const VTLayer* output) const;
    // Writes outputValueForInput_output into the output layer's output property.
    void applyWithInput_output(const VTLayer* input, VTLayer* output);
    // applyWithInput_output with the link's own layers.
    void apply();

    // ---- Capturing the output layer's value
    // Whether the keyframe's input lies within 1.0 of `inputValue`.
    bool _canUpdateKeyframe_inputValue(const VTKeyframe* keyframe, double inputValue) const;
    // The same with the input layer's current input value; false without an input layer.
    bool canUpdateKeyframe(const VTKeyframe* keyframe) const;
    // Stores the output layer's current output value as the output of the keyframe nearest to the
    // input layer's current input value, when that one can be updated. False (nothing changed)
    // without both layers, without keyframes or when the nearest is too far.
    bool updateIfPossible();

    // The same object, or a link with the same two property numbers and as many keyframes; layers
    // and keyframe values take no part.
    bool isApproximatlyEqualToLink(const NSObject* object) const;

    // copyWithZone: — the same layers (not copies) and property numbers, copies of the keyframes,
    // no screen.
    std::shared_ptr<VTLink> copy() const;

    // "input: <input layer>.<property name>\noutput: <output layer>.<property name>".
    std::string description() const;

    // Keys "inputLayer" and "outputLayer" (conditional: a layer is stored only when the archive
    // stores it as part of a tree), "keyframes", "inputProperty" and "outputProperty". Reading
    // keeps the property numbers as read (no clamping) and sorts the keyframes.
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

  private:
    friend class VTDecodedLayers;  // follows what a decoded link holds

    // A layer held strongly, or weakly when it is the link's own screen.
    struct HeldLayer {
        std::shared_ptr<VTLayer> strong;
        std::weak_ptr<VTLayer> weak;
        std::shared_ptr<VTLayer> layer() const { return strong ? strong : weak.lock(); }
    };
    void hold(HeldLayer& held, const std::shared_ptr<VTLayer>& layer) const;
    std::shared_ptr<VTLink> self() { return std::static_pointer_cast<VTLink>(shared_from_this()); }
    // How many keyframes from the front have an input that is a number: the ones the mapping uses.
    size_t countOfNumberedKeyframes() const;

    std::vector<std::shared_ptr<VTKeyframe>> keyframes_;
    std::weak_ptr<VTScreen> screen_;
    HeldLayer inputLayer_;
    HeldLayer outputLayer_;
    VTValueType inputProperty_ = kVTPropertyCenterX;
    VTValueType outputProperty_ = kVTPropertyCenterY;
};

#pragma GCC visibility pop
