#include "VTEvent.h"

#include <array>
#include <functional>
#include <unordered_set>

#include "NSArray+Utilities.h"
#include "NSCoder.h"
#include "NSString.h"
#include "VTLayer.h"
#include "VTLayerTreeQueries.h"
#include "VTScreen.h"

namespace {

constexpr std::array<const char*, 15> kEventTypeNames = {
    "Tap",          "Drag Begins",   "Unknown event type",
    "Drag Ends",    "Scroll Begins", "Unknown event type",
    "Scroll Ends",  "Auto",          "Scroll Released",
    "Touch Down",   "Touch Up",      "Long Press",
    "Hover Inside", "Hover Outside", "Component Event"};
constexpr std::array<bool, 12> kTouchEventTypes = {true, true,  false, true, true, false,
                                                   true, false, true,  true, true, true};

// The separators of a label whose event leads to a destination, and of one whose message goes up
// to the enclosing component: a blank, an arrow (the upward one in its text form) and a blank.
constexpr const char* kTowardDestination = " \u2192 ";
constexpr const char* kUpToComponent = " \u2B06\uFE0E ";

// A name as labels print it.
std::string printed(const std::optional<std::string>& name) {
    return name ? *name : "(null)";
}

std::string nameOf(const VTLayer* layer) {
    return printed(layer ? layer->name() : std::nullopt);
}

std::shared_ptr<NSString> stringObject(const std::optional<std::string>& text) {
    return text ? NSString::stringWithUTF8String(*text) : nullptr;
}

std::optional<std::string> decodeString(NSCoder& coder, std::string_view key) {
    // Anything but a string reads as no message.
    const auto string = std::dynamic_pointer_cast<NSString>(coder.decodeObjectForKey(key));
    return string ? std::optional(string->UTF8String()) : std::nullopt;
}

std::shared_ptr<VTLayer> decodeLayer(NSCoder& coder, std::string_view key) {
    // An object of another class leaves none; the prototype then drops an event without source.
    return std::dynamic_pointer_cast<VTLayer>(coder.decodeObjectForKey(key));
}

using LayerList = std::vector<std::shared_ptr<VTLayer>>;

// The layers of `screen`'s trees in walk order, the inside of component instances left out.
void walkPairableLayers(const std::shared_ptr<VTScreen>& screen,
                        const std::function<void(const std::shared_ptr<VTLayer>&)>& visit) {
    if (!screen) return;
    enumerateLayerTrees(screen->sublayers(),
                        [&](const std::shared_ptr<VTLayer>& layer, int64_t& action) {
                            visit(layer);
                            if (layer->isComponentInstance()) action = kVTWalkSkipChildren;
                        });
}

}  // namespace

std::string stringForEventType(VTEventType type) {
    if (type < 0 || type >= static_cast<VTEventType>(kEventTypeNames.size()))
        return "Unknown event type";
    return kEventTypeNames[static_cast<size_t>(type)];
}

bool isTouchEvent(VTEventType type) {
    // On the unsigned value, so that negative types fall outside the table.
    const auto index = static_cast<uint64_t>(type);
    return index < kTouchEventTypes.size() && kTouchEventTypes[index];
}

std::vector<std::shared_ptr<VTEvent>> eventsInArrayWithType(
    const std::vector<std::shared_ptr<VTEvent>>& events, uint64_t mask) {
    return filter(events, [&](const auto& event) {
        return (static_cast<uint64_t>(event->type()) & mask) != 0;
    });
}

std::vector<std::shared_ptr<VTEvent>> eventsInArrayTriggeringState(
    const std::vector<std::shared_ptr<VTEvent>>& events, const VTLayer* layer) {
    return filter(events, [&](const auto& event) { return event->destination().get() == layer; });
}

// ---- Making events

std::shared_ptr<VTEvent> VTEvent::init() {
    return initWithType(0);
}

std::shared_ptr<VTEvent> VTEvent::initWithType(VTEventType type) {
    auto event = std::make_shared<VTEvent>();
    event->type_ = type;
    return event;
}

// ---- Record

void VTEvent::setPrototype(const std::shared_ptr<VTPrototype>& prototype) {
    changeValueForKey("prototype", [&] { prototype_ = prototype; });
}

void VTEvent::setSource(std::shared_ptr<VTLayer> source) {
    changeValueForKey("source", [&] { source_ = std::move(source); });
}

void VTEvent::setDestination(std::shared_ptr<VTLayer> destination) {
    changeValueForKey("destination", [&] { destination_ = std::move(destination); });
}

void VTEvent::setType(VTEventType type) {
    changeValueForKey("type", [&] { type_ = type; });
}

void VTEvent::setTriggerMessage(std::optional<std::string> message) {
    changeValueForKey("triggerMessage", [&] { triggerMessage_ = std::move(message); });
}

void VTEvent::setSentMessage(std::optional<std::string> message) {
    changeValueForKey("sentMessage", [&] { sentMessage_ = std::move(message); });
}

std::shared_ptr<VTScreen> VTEvent::sourceArtboard() const {
    return source_ ? source_->screen() : nullptr;
}

// ---- Labels

std::string VTEvent::sourceText() const {
    if (type_ != kVTEventTypeComponentEvent && !triggerMessage_)
        return nameOf(source_.get()) + " " + stringForEventType(type_);
    // A component event that names no message is labelled by its type, so that its label still
    // says what sets it off.
    const std::string message = triggerMessage_ ? *triggerMessage_ : stringForEventType(type_);
    if (source_ && source_->superPicture()) return nameOf(source_.get()) + " " + message;
    return message;
}

std::string VTEvent::destinationText() const {
    if (!sentMessage_) return "";
    if (destination_) return nameOf(destination_.get()) + " " + *sentMessage_;
    return *sentMessage_;
}

std::string VTEvent::name() const {
    const std::string destination = destinationText();
    if (destination.empty()) return sourceText();
    return sourceText() + (destination_ ? kTowardDestination : kUpToComponent) + destination;
}

std::string VTEvent::description() const {
    return "type: " + name() + ": " + nameOf(sourceArtboard().get()) + " -> " +
           nameOf(destination_.get());
}

// ---- Copying and comparison

std::shared_ptr<VTEvent> VTEvent::copy() const {
    auto event = initWithType(type_);
    event->triggerMessage_ = triggerMessage_;
    event->sentMessage_ = sentMessage_;
    event->destination_ = destination_;
    event->source_ = source_;
    event->prototype_ = prototype_;
    return event;
}

bool VTEvent::isApproximatlyEqualToEvent(const NSObject& other) const {
    if (&other == this) return true;
    if (!isKindOfClass(other, classForKeyedArchiver())) return false;
    const auto* event = dynamic_cast<const VTEvent*>(&other);
    return event && event->type_ == type_;
}

// ---- Pairing layers between screens

VTLayerMapping VTEvent::mappingFrom_to_outRemoved_outAdded(const std::shared_ptr<VTScreen>& from,
                                                           const std::shared_ptr<VTScreen>& to,
                                                           LayerList* outRemoved,
                                                           LayerList* outAdded) {
    VTLayerMapping mapping;
    LayerList added, removed;
    if (from && to)
        mapping.emplace(from, to);
    else if (to)
        added.push_back(to);
    else if (from)
        removed.push_back(from);

    // The first layer met with a name stands for it. A layer without a name has nothing to be
    // paired by and stays unpaired.
    std::unordered_map<std::string, std::shared_ptr<VTLayer>> byName;
    walkPairableLayers(to, [&](const std::shared_ptr<VTLayer>& layer) {
        added.push_back(layer);
        if (layer->name()) byName.try_emplace(*layer->name(), layer);
    });
    // Paired layers leave the added ones all at once at the end, so that pairing stays linear in
    // the number of layers.
    std::unordered_set<const VTLayer*> paired;
    walkPairableLayers(from, [&](const std::shared_ptr<VTLayer>& layer) {
        const auto found = layer->name() ? byName.find(*layer->name()) : byName.end();
        if (found != byName.end() &&
            layer->text().has_value() == found->second->text().has_value()) {
            paired.insert(found->second.get());
            mapping.emplace(layer, std::move(found->second));
            byName.erase(found);  // no other layer pairs with it
        } else {
            removed.push_back(layer);
        }
    });
    std::erase_if(added, [&](const auto& layer) { return paired.contains(layer.get()); });

    if (outRemoved) *outRemoved = std::move(removed);
    if (outAdded) *outAdded = std::move(added);
    return mapping;
}

VTLayerMapping VTEvent::mappingOutRemoved_outAdded(LayerList* outRemoved,
                                                   LayerList* outAdded) const {
    return mappingFrom_to_outRemoved_outAdded(
        sourceArtboard(), destination_ ? destination_->screen() : nullptr, outRemoved, outAdded);
}

// ---- Archive form

void VTEvent::encodeWithCoder(NSCoder& coder) const {
    coder.encodeConditionalObject_forKey(destination_, "action");
    coder.encodeConditionalObject_forKey(source_, "dependent");
    coder.encodeInteger_forKey(type_, "type");
    coder.encodeObject_forKey(stringObject(sentMessage_), "signal_to_parent");
    coder.encodeObject_forKey(stringObject(triggerMessage_), "source_signal");
}

bool VTEvent::initWithCoder(NSCoder& coder) {
    destination_ = decodeLayer(coder, "action");
    type_ = coder.decodeIntegerForKey("type");
    source_ = decodeLayer(coder, "dependent");
    sentMessage_ = decodeString(coder, "signal_to_parent");
    triggerMessage_ = decodeString(coder, "source_signal");
    return true;
}

// ---- Change notification

std::span<const std::string_view> VTEvent::keyPathsForValuesAffectingName() {
    static constexpr std::string_view kPaths[] = {"source.name", "type"};
    return kPaths;
}

std::span<const std::string_view> VTEvent::keyPathsForValuesAffectingSourceState() {
    static constexpr std::string_view kPaths[] = {"source"};
    return kPaths;
}

std::span<const std::string_view> VTEvent::keysDependingOnKey(std::string_view key) const {
    // Observers of the derived values are told when what they are made of is set; a renamed source
    // layer tells its own observers of "name".
    static constexpr std::string_view kAfterType[] = {"name"};
    static constexpr std::string_view kAfterSource[] = {"name", "sourceState"};
    if (key == "type") return kAfterType;
    if (key == "source") return kAfterSource;
    return {};
}
