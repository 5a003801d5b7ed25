#pragma once
// A transition trigger of a prototype: an interaction of some type (tap, drag, scroll, hover …) on
// a source layer, or a named message received from inside a component, that leads to a destination
// layer and may send a message of its own up to the enclosing component. The prototype keeps its
// events in order among its transitions and gives each its weak back reference.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "NSKeyValueObserving.h"

#pragma GCC visibility push(default)  // exported from libVantler

class VTLayer;
class VTPrototype;
class VTScreen;

// Event types: 0 "Tap" … 14 "Component Event"; 2, 5 and every number outside 0 … 14 are no type.
using VTEventType = int64_t;
inline constexpr VTEventType kVTEventTypeComponentEvent = 14;

// The name of an event type; "Unknown event type" for a number that names none.
std::string stringForEventType(VTEventType type);
// Whether the type is a touch on the layer (tap, drags, scrolls, touch down and up, long press).
bool isTouchEvent(VTEventType type);

// Pairs of layers by identity, each holding its two layers: source layer → destination layer.
using VTLayerMapping = std::unordered_map<std::shared_ptr<VTLayer>, std::shared_ptr<VTLayer>>;

class VTEvent : public NSKeyValueObservable {
  public:
    NS_CLASS_RECORD("VTEvent", NSObject::objcClass())

    // An event of type 0 (Tap) with no layers and no messages.
    static std::shared_ptr<VTEvent> init();
    static std::shared_ptr<VTEvent> initWithType(VTEventType type);

    // Pairs the layers of two screens by name, for animating a transition from one to the other:
    // the screens pair with each other, and below them each layer of `from` with the first layer
    // of `to` of the same name that agrees with it on having a text and is not paired yet. The
    // inside of a component instance takes no part; the instance itself does. `outRemoved`
    // receives the layers of `from` left without partner, `outAdded` those of `to`, each in walk
    // order, when not null. A missing screen pairs with nothing: a missing `from` puts `to` among
    // the added layers, a missing `to` puts `from` among the removed ones.
    static VTLayerMapping mappingFrom_to_outRemoved_outAdded(
        const std::shared_ptr<VTScreen>& from, const std::shared_ptr<VTScreen>& to,
        std::vector<std::shared_ptr<VTLayer>>* outRemoved,
        std::vector<std::shared_ptr<VTLayer>>* outAdded);
    // The key paths whose changes change `name`, and the source state.
    static std::span<const std::string_view> keyPathsForValuesAffectingName();
    static std::span<const std::string_view> keyPathsForValuesAffectingSourceState();

    // ---- Record
    // The owning document (not owned); the prototype sets it when it takes the event.
    std::shared_ptr<VTPrototype> prototype() const { return prototype_.lock(); }
    void setPrototype(const std::shared_ptr<VTPrototype>& prototype);
    // The layer the interaction happens on.
    const std::shared_ptr<VTLayer>& source() const { return source_; }
    void setSource(std::shared_ptr<VTLayer> source);
    // The layer the transition leads to; none for an event that only sends its message upward.
    const std::shared_ptr<VTLayer>& destination() const { return destination_; }
    void setDestination(std::shared_ptr<VTLayer> destination);
    VTEventType type() const { return type_; }
    void setType(VTEventType type);
    // The message that triggers the event instead of a gesture.
    const std::optional<std::string>& triggerMessage() const { return triggerMessage_; }
    void setTriggerMessage(std::optional<std::string> message);
    // The message the event sends to the enclosing component.
    const std::optional<std::string>& sentMessage() const { return sentMessage_; }
    void setSentMessage(std::optional<std::string> message);

    // The screen of the source layer (a screen is its own); none without one.
    std::shared_ptr<VTScreen> sourceArtboard() const;
    // The pairing from the source's screen to the destination's screen.
    VTLayerMapping mappingOutRemoved_outAdded(
        std::vector<std::shared_ptr<VTLayer>>* outRemoved,
        std::vector<std::shared_ptr<VTLayer>>* outAdded) const;

    // ---- Labels. A name that is none reads "(null)", as the design tool prints it.
    // "Button Tap" for a gesture; "Button next" (or "next" on a top-level layer) for a message.
    std::string sourceText() const;
    // "Home done" for a sent message with a destination, "done" without; empty with no message.
    std::string destinationText() const;
    // The source text alone, or "Button Tap → Home done", or "Button Tap ⬆︎ done" for a
    // message sent up to the enclosing component.
    std::string name() const;
    // "type: <name>: <source screen's name> -> <destination's name>".
    std::string description() const;

    // ---- Copying and comparison
    // copyWithZone: the same type, copies of the messages, the same layers and prototype.
    std::shared_ptr<VTEvent> copy() const;
    // Another event (of this class or a subclass) of the same type, or this very object. Layers
    // and messages take no part.
    bool isApproximatlyEqualToEvent(const NSObject& other) const;

    // ---- Archive form. The layers are stored conditionally: only a layer that a screen's tree
    // stores comes back, any other decodes as none.
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

    // ---- Change notification: "name" follows "type" and "source", the source state "source".
    std::span<const std::string_view> keysDependingOnKey(std::string_view key) const override;

  private:
    std::weak_ptr<VTPrototype> prototype_;
    std::shared_ptr<VTLayer> source_;
    std::shared_ptr<VTLayer> destination_;
    VTEventType type_ = 0;
    std::optional<std::string> triggerMessage_;
    std::optional<std::string> sentMessage_;
};

// The events whose type shares a bit with `mask`, in order; type 0 never does.
std::vector<std::shared_ptr<VTEvent>> eventsInArrayWithType(
    const std::vector<std::shared_ptr<VTEvent>>& events, uint64_t mask);
// The events that lead to that very layer, in order.
std::vector<std::shared_ptr<VTEvent>> eventsInArrayTriggeringState(
    const std::vector<std::shared_ptr<VTEvent>>& events, const VTLayer* layer);

#pragma GCC visibility pop
