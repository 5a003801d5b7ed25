#pragma once
// The document root, and also the form of a master component: it owns the ordered screens (the
// first is the entry screen), the ordered transitions and the component set, and records which
// layers are instances of its screens. The screen and transition operations keep the back
// references of screens and events, and tell observers of "screens" and "transitions" of each
// insertion and removal with its index.
//
// The document gate (VTPrototype+Loading.cpp) reads a document or says why it cannot; the
// container and its archive form are VTPrototype.cpp. Writing a document, which draws its entry
// screen, belongs with drawing (Vantler/VTPrototype+Writing.h).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "NSArray.h"
#include "NSData.h"
#include "NSError.h"
#include "NSKeyValueObserving.h"
#include "NSURL.h"
#include "VTEvent.h"
#include "VTLayerWeakSet.h"
#include "VTScreen.h"

#pragma GCC visibility push(default)  // exported from libVantler

// The error values of documents: code -1 for a document that cannot be read, -2 for a prototype
// that cannot be written.
inline constexpr const char* VTDocumentErrorDomain = "com.orlenwade.vantler.error";
inline constexpr int64_t VTDocumentReadErrorCode = -1;
inline constexpr int64_t VTDocumentWriteErrorCode = -2;
// Top-level archive keys and format versions.
inline constexpr const char* kVantlerDocumentFormatVersionKey = "vantlerDocumentFormatVersion";
inline constexpr const char* kVantlerThumbnailKey = "kVantlerThumbnailKey";
inline constexpr int64_t kVantlerDocumentFormatVersion = 15;
inline constexpr int64_t kVantlerFirstUnreadableFormatVersion = 16;

// A document error value (domain VTDocumentErrorDomain) with the failure reason and, when
// `suggestion` is not null, the recovery suggestion.
std::shared_ptr<NSError> VTDocumentError(int64_t code, const std::string& reason,
                                         const char* suggestion);

class VTPrototype : public NSKeyValueObservable {
  public:
    NS_CLASS_RECORD("VTPrototype", NSObject::objcClass())

    // Empty screens and transitions, no component set, prefersMouseCursor false.
    static std::shared_ptr<VTPrototype> init();

    // ---- Reading (class-level). Each returns none on failure and then, when `error` is not null,
    // stores there the error value that says why (domain VTDocumentErrorDomain,
    // code -1, failure reason and recovery suggestion); nothing else is stored.
    static std::shared_ptr<VTPrototype> prototypeFromData_error(
        const std::shared_ptr<const NSData>& data, std::shared_ptr<NSError>* error);
    // Reads the whole file at a file URL (mapped if safe); an unreadable file counts as no data.
    static std::shared_ptr<VTPrototype> prototypeFromURL_error(
        const std::shared_ptr<const NSURL>& url, std::shared_ptr<NSError>* error);
    static std::shared_ptr<VTPrototype> prototypeFromPath_error(const std::string& path,
                                                                std::shared_ptr<NSError>* error);

    // ---- Screens. Indexes passed to the plain accessors must lie within the list.
    // The first screen, or none.
    std::shared_ptr<VTScreen> entryScreen() const;
    // An immutable snapshot copy.
    std::vector<std::shared_ptr<VTScreen>> screens() const { return screens_; }
    // Replaces the screens with the array's, telling observers of "screens" of the whole change;
    // the screens' prototype references are left as they are. Nothing for none; an element that
    // is not a screen is logged ("Cannot set screens to array that contains non screen: <class>")
    // and nothing changes.
    void setScreens(const std::shared_ptr<const NSArray>& screens);
    const std::shared_ptr<VTScreen>& screenAtIndex(int64_t index) const;
    const std::shared_ptr<VTScreen>& objectInScreensAtIndex(uint64_t index) const;
    int64_t countOfScreens() const { return static_cast<int64_t>(screens_.size()); }
    // Appends; a screen already here moves to the end.
    void addScreen(std::shared_ptr<VTScreen> screen);
    // Inserts at `index` held to 0 … count; a screen already here moves there. Nothing for none.
    void addScreen_atIndex(std::shared_ptr<VTScreen> screen, int64_t index);
    // False for none or a screen that is not here.
    bool removeScreen(const std::shared_ptr<VTScreen>& screen);
    // The "screens" insertion: takes the screen from the prototype it belonged to and makes this
    // one its owner. The index must lie within 0 … count.
    void insertObject_inScreensAtIndex(std::shared_ptr<VTScreen> screen, uint64_t index);
    // The "screens" removal; a screen owned here forgets its owner. Nothing past the end.
    void removeObjectFromScreensAtIndex(uint64_t index);
    // As the parent of its screens: a screen is added at `index` (held to 0 … count); any other
    // layer is ignored.
    void insertLayer_atIndex(const std::shared_ptr<VTLayer>& layer, int64_t index);
    std::vector<std::shared_ptr<VTLayer>> sublayers() const;
    int64_t countOfSublayers() const { return countOfScreens(); }

    // ---- Transitions
    // An immutable snapshot copy.
    std::vector<std::shared_ptr<VTEvent>> transitions() const { return transitions_; }
    const std::shared_ptr<VTEvent>& transitionAtIndex(int64_t index) const;
    const std::shared_ptr<VTEvent>& objectInTransitionsAtIndex(uint64_t index) const;
    int64_t countOfTransitions() const { return static_cast<int64_t>(transitions_.size()); }
    // Inserts at `index` (the count appends) and answers true; false, changing nothing, for none,
    // an index outside 0 … count, or an event already here.
    bool addTransition_atIndex(std::shared_ptr<VTEvent> event, int64_t index);
    // False for none or an event that is not here.
    bool removeTransition(const std::shared_ptr<VTEvent>& event);
    // The "transitions" insertion: makes this prototype the event's owner. The index must lie
    // within 0 … count.
    void insertObject_inTransitionsAtIndex(std::shared_ptr<VTEvent> event, uint64_t index);
    // The "transitions" removal; an event owned here forgets its owner. Nothing past the end.
    void removeObjectFromTransitionsAtIndex(uint64_t index);
    // The transitions that lead to that very layer, in order.
    std::vector<std::shared_ptr<VTEvent>> transitionsEnteringScreen(const VTLayer* layer) const;

    // ---- Components
    // The component set as an array, in the order the components came (empty when there is none).
    std::vector<std::shared_ptr<VTPrototype>> masterComponents() const { return symbols_; }
    // Adds a component once; adding it again changes nothing.
    void addComponent(std::shared_ptr<VTPrototype> component);
    void removeComponent(const std::shared_ptr<VTPrototype>& component);
    // The layers that are component instances of this prototype's screens, held weakly; layers
    // enter and leave it themselves as their component screen changes.
    VTLayerWeakSet& instances() { return instances_; }
    const VTLayerWeakSet& instances() const { return instances_; }
    void setInstances(VTLayerWeakSet instances) { instances_ = std::move(instances); }

    bool prefersMouseCursor() const { return prefersMouseCursor_; }
    void setPrefersMouseCursor(bool prefers) { prefersMouseCursor_ = prefers; }

    // Whether `other` is this prototype, or a prototype whose screens compare approximately equal
    // one by one and whose transitions are approximately equal one by one. Components, instances
    // and the mouse-cursor setting take no part.
    bool isEqualToPrototype(const NSObject& other) const;

    // "<VTPrototype: 0x…>".
    std::string description() const;

    // ---- Archive form. Writes "version" 15, "screens" and "transitions" when there are any, the
    // components that have instances under "symbols" and "prefersMouseCursor". Reading yields none
    // ("false") for a "version" of 16 or more, and keeps only the transitions that start on one of
    // the screens and lead nowhere or to one of them.
    void encodeWithCoder(NSCoder& coder) const override;
    bool initWithCoder(NSCoder& coder) override;

  private:
    std::shared_ptr<VTPrototype> self() {
        return std::static_pointer_cast<VTPrototype>(shared_from_this());
    }
    void decodeTransitions(NSCoder& coder);

    std::vector<std::shared_ptr<VTScreen>> screens_;
    std::vector<std::shared_ptr<VTEvent>> transitions_;
    std::vector<std::shared_ptr<VTPrototype>> symbols_;  // an ordered set: each component once
    bool prefersMouseCursor_ = false;
    bool decoding_ = false;  // while its own initWithCoder runs
    VTLayerWeakSet instances_;
};

#pragma GCC visibility pop
