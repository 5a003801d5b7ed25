// The prototype as a container: its screens, transitions and components, the operations that keep
// the back references of screens and events, comparison and the archive form.

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "NSArray+Utilities.h"
#include "NSCoder.h"
#include "NSException.h"
#include "NSLog.h"
#include "VTPrototype.h"

namespace {

constexpr int64_t kPrototypeVersion = 15;

// The index of that very element, or the count when it is not there.
template <class T>
size_t indexOfIdentical(const std::vector<std::shared_ptr<T>>& list, const T* element) {
    return static_cast<size_t>(
        std::find_if(list.begin(), list.end(),
                     [&](const auto& member) { return member.get() == element; }) -
        list.begin());
}

template <class T>
std::shared_ptr<NSMutableArray> arrayOf(const std::vector<std::shared_ptr<T>>& list) {
    return std::make_shared<NSMutableArray>(
        std::vector<std::shared_ptr<NSObject>>(list.begin(), list.end()));
}

}  // namespace

std::shared_ptr<VTPrototype> VTPrototype::init() {
    return std::make_shared<VTPrototype>();
}

std::string VTPrototype::description() const {
    char text[48];
    std::snprintf(text, sizeof text, "<%s: %p>", className().c_str(),
                  static_cast<const void*>(this));
    return text;
}

// ---- Screens

std::shared_ptr<VTScreen> VTPrototype::entryScreen() const {
    return screens_.empty() ? nullptr : screens_.front();
}

void VTPrototype::setScreens(const std::shared_ptr<const NSArray>& screens) {
    if (!screens) return;
    std::vector<std::shared_ptr<VTScreen>> replacement;
    replacement.reserve(screens->count());
    for (const auto& object : screens->objects()) {
        auto screen = std::dynamic_pointer_cast<VTScreen>(object);
        if (!screen) {
            NSLog("Cannot set screens to array that contains non screen: " + object->className());
            return;
        }
        replacement.push_back(std::move(screen));
    }
    willChangeValueForKey("screens");
    screens_ = std::move(replacement);
    didChangeValueForKey("screens");
}

const std::shared_ptr<VTScreen>& VTPrototype::screenAtIndex(int64_t index) const {
    return screens_.at(static_cast<size_t>(index));
}

const std::shared_ptr<VTScreen>& VTPrototype::objectInScreensAtIndex(uint64_t index) const {
    return screens_.at(index);
}

void VTPrototype::addScreen(std::shared_ptr<VTScreen> screen) {
    addScreen_atIndex(std::move(screen), countOfScreens());
}

void VTPrototype::addScreen_atIndex(std::shared_ptr<VTScreen> screen, int64_t index) {
    if (!screen) return;
    // Out first, so that the index counts the screens without it.
    if (const size_t present = indexOfIdentical(screens_, screen.get()); present < screens_.size())
        removeObjectFromScreensAtIndex(present);
    insertObject_inScreensAtIndex(
        std::move(screen), static_cast<uint64_t>(std::clamp<int64_t>(index, 0, countOfScreens())));
}

bool VTPrototype::removeScreen(const std::shared_ptr<VTScreen>& screen) {
    const size_t index = indexOfIdentical(screens_, screen.get());
    if (!screen || index == screens_.size()) return false;
    removeObjectFromScreensAtIndex(index);
    return true;
}

void VTPrototype::insertObject_inScreensAtIndex(std::shared_ptr<VTScreen> screen, uint64_t index) {
    if (!screen) return;
    if (const auto owner = screen->prototype(); owner.get() != this) {
        // A screen belongs to one prototype at a time: its former owner gives it up first.
        if (owner) owner->removeScreen(screen);
        screen->setPrototype(self());
    }
    // Callers pass an index within the list (the screen taken as a value stays alive while its
    // former owner lets it go); a wrong index is held to the list rather than written outside.
    index = std::min<uint64_t>(index, screens_.size());
    const auto at = static_cast<int64_t>(index);
    willChange_valueAtIndex_forKey(NSKeyValueChangeKind::Insertion, at, "screens");
    screens_.insert(screens_.begin() + at, std::move(screen));
    didChange_valueAtIndex_forKey(NSKeyValueChangeKind::Insertion, at, "screens");
}

void VTPrototype::removeObjectFromScreensAtIndex(uint64_t index) {
    if (index >= screens_.size()) return;
    // Held until observers have been told.
    const auto removed = screens_[index];
    if (removed->prototype().get() == this) removed->setPrototype(nullptr);
    const auto at = static_cast<int64_t>(index);
    willChange_valueAtIndex_forKey(NSKeyValueChangeKind::Removal, at, "screens");
    screens_.erase(screens_.begin() + at);
    didChange_valueAtIndex_forKey(NSKeyValueChangeKind::Removal, at, "screens");
}

void VTPrototype::insertLayer_atIndex(const std::shared_ptr<VTLayer>& layer, int64_t index) {
    if (auto screen = std::dynamic_pointer_cast<VTScreen>(layer)) addScreen_atIndex(screen, index);
}

std::vector<std::shared_ptr<VTLayer>> VTPrototype::sublayers() const {
    return {screens_.begin(), screens_.end()};
}

// ---- Transitions

const std::shared_ptr<VTEvent>& VTPrototype::transitionAtIndex(int64_t index) const {
    return transitions_.at(static_cast<size_t>(index));
}

const std::shared_ptr<VTEvent>& VTPrototype::objectInTransitionsAtIndex(uint64_t index) const {
    return transitions_.at(index);
}

bool VTPrototype::addTransition_atIndex(std::shared_ptr<VTEvent> event, int64_t index) {
    if (!event || index < 0 || index > countOfTransitions() ||
        containsObjectIdenticalTo(transitions_, event.get()))
        return false;
    insertObject_inTransitionsAtIndex(std::move(event), static_cast<uint64_t>(index));
    return true;
}

bool VTPrototype::removeTransition(const std::shared_ptr<VTEvent>& event) {
    const size_t index = indexOfIdentical(transitions_, event.get());
    if (!event || index == transitions_.size()) return false;
    removeObjectFromTransitionsAtIndex(index);
    return true;
}

void VTPrototype::insertObject_inTransitionsAtIndex(std::shared_ptr<VTEvent> event,
                                                    uint64_t index) {
    if (!event) return;
    event->setPrototype(self());
    index = std::min<uint64_t>(index, transitions_.size());  // as for screens
    const auto at = static_cast<int64_t>(index);
    willChange_valueAtIndex_forKey(NSKeyValueChangeKind::Insertion, at, "transitions");
    transitions_.insert(transitions_.begin() + at, std::move(event));
    didChange_valueAtIndex_forKey(NSKeyValueChangeKind::Insertion, at, "transitions");
}

void VTPrototype::removeObjectFromTransitionsAtIndex(uint64_t index) {
    if (index >= transitions_.size()) return;
    const auto removed = transitions_[index];
    if (removed->prototype().get() == this) removed->setPrototype(nullptr);
    const auto at = static_cast<int64_t>(index);
    willChange_valueAtIndex_forKey(NSKeyValueChangeKind::Removal, at, "transitions");
    transitions_.erase(transitions_.begin() + at);
    didChange_valueAtIndex_forKey(NSKeyValueChangeKind::Removal, at, "transitions");
}

std::vector<std::shared_ptr<VTEvent>> VTPrototype::transitionsEnteringScreen(
    const VTLayer* layer) const {
    return eventsInArrayTriggeringState(transitions_, layer);
}

// ---- Components

void VTPrototype::addComponent(std::shared_ptr<VTPrototype> component) {
    if (component && !containsObjectIdenticalTo(symbols_, component.get()))
        symbols_.push_back(std::move(component));
}

void VTPrototype::removeComponent(const std::shared_ptr<VTPrototype>& component) {
    std::erase(symbols_, component);
}

// ---- Comparison

bool VTPrototype::isEqualToPrototype(const NSObject& other) const {
    if (&other == this) return true;
    if (!isKindOfClass(other, VTPrototype::objcClass())) return false;
    const auto* prototype = dynamic_cast<const VTPrototype*>(&other);
    if (!prototype || prototype->screens_.size() != screens_.size()) return false;
    for (size_t i = 0; i < screens_.size(); ++i)
        if (!screens_[i]->isApproximatlyEqualToLayerHierarchy(*prototype->screens_[i]))
            return false;
    if (prototype->transitions_.size() != transitions_.size()) return false;
    for (size_t i = 0; i < transitions_.size(); ++i)
        if (!transitions_[i]->isApproximatlyEqualToEvent(*prototype->transitions_[i])) return false;
    return true;
}

// ---- Archive form

void VTPrototype::encodeWithCoder(NSCoder& coder) const {
    coder.encodeInteger_forKey(kPrototypeVersion, "version");
    if (!screens_.empty()) coder.encodeObject_forKey(arrayOf(screens_), "screens");
    if (!transitions_.empty()) coder.encodeObject_forKey(arrayOf(transitions_), "transitions");
    // A component nothing shows any more is left behind.
    const auto used =
        filter(symbols_, [](const auto& component) { return component->instances().count() > 0; });
    coder.encodeObject_forKey(NSArray::arrayWithObjects({used.begin(), used.end()}), "symbols");
    coder.encodeBool_forKey(prefersMouseCursor_, "prefersMouseCursor");
}

bool VTPrototype::initWithCoder(NSCoder& coder) {
    // A newer prototype yields none (signed comparison).
    if (coder.decodeIntegerForKey("version") >= kVantlerFirstUnreadableFormatVersion) return false;
    decoding_ = true;
    prefersMouseCursor_ = coder.decodeBoolForKey("prefersMouseCursor");
    screens_ = coder.decodeArrayOfObjectsOfClass_forKey<VTScreen>("screens");
    // An ordered set (of identities: a prototype is equal only to itself), so a component
    // stored twice is kept once, at its first place.
    std::unordered_set<const VTPrototype*> components;
    for (auto& component : coder.decodeArrayOfObjectsOfClass_forKey<VTPrototype>("symbols")) {
        // A prototype still being decoded is this one or one that (through its screens, its
        // transitions or its components) led to this one: holding it as a component would close
        // a cycle of prototypes that own each other, and none of them would ever be freed.
        if (component->decoding_)
            NSException::raise(NSInvalidUnarchiveOperationException,
                               "symbols of a prototype holds the prototype itself or one of its "
                               "ancestors in the archive");
        if (components.insert(component.get()).second) symbols_.push_back(std::move(component));
    }
    for (const auto& screen : screens_) screen->setPrototype(self());
    decodeTransitions(coder);
    decoding_ = false;
    return true;
}

void VTPrototype::decodeTransitions(NSCoder& coder) {
    // A transition that starts on a screen this document no longer holds, or leads into one, is
    // dropped. The screens are looked up in a set, so that a document of many transitions and
    // screens loads in linear time.
    std::unordered_set<const VTLayer*> screens;
    for (const auto& screen : screens_) screens.insert(screen.get());
    const auto held = [&](const std::shared_ptr<VTScreen>& screen) {
        return screen && screens.contains(screen.get());
    };
    transitions_ = filter(
        coder.decodeArrayOfObjectsOfClass_forKey<VTEvent>("transitions"), [&](const auto& event) {
            const auto& destination = event->destination();
            return held(event->sourceArtboard()) && (!destination || held(destination->screen()));
        });
    const auto self = this->self();
    for (const auto& event : transitions_) event->setPrototype(self);
}
