#pragma once
// Key-value change notification: an observable object tells the observers of a key before and after
// that key's value changes. The model's editing operations and the design tool's views use it; the
// request path never observes anything, so an object nobody observes pays one empty-list test per
// change.
//
// - A change of a plain value is a "setting"; a change of an ordered to-many relation ("sublayers",
//   "screens", "transitions", "links") through its indexed accessors is an "insertion" or a
//   "removal" at one index, so that an observer can follow the list without comparing it.
// - Observers registered with NSKeyValueObservingOptionPrior are told before the change too (the
//   prior notification); every observer is told after it.
// - Keys notify automatically unless the class answers false to
//   automaticallyNotifiesObserversForKey; such a manual key's set operation announces the change
//   itself, and only when the value really changes.
// - A key may stand for parts of another ("width" is part of "size"): keysDependingOnKey names the
//   keys whose observers are told as well when a key changes.
// - Observers are held weakly: an observer that has gone away is skipped and dropped. An object
// that
//   stops observing removes itself explicitly (a destructor can, since removal goes by identity).
// - Notifications are delivered synchronously on the thread that makes the change, in the order the
//   observers were added; an observer may add or remove observations while it is told.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

enum class NSKeyValueChangeKind { Setting = 1, Insertion = 2, Removal = 3, Replacement = 4 };

// What an observer is told: the kind of change, whether the change is still to come (the prior
// notification), and for an insertion or removal the index it happens at (-1 for a setting).
struct NSKeyValueChange {
    NSKeyValueChangeKind kind = NSKeyValueChangeKind::Setting;
    bool notificationIsPrior = false;
    int64_t index = -1;
};

// Options of an observation (a bit set, as on the platform).
inline constexpr unsigned NSKeyValueObservingOptionPrior = 0x08;

class NSKeyValueObserver {
  public:
    virtual ~NSKeyValueObserver() = default;
    // Told of a change of `keyPath` on `object`; `context` is what the observation was added with.
    virtual void observeValueForKeyPath_ofObject_change_context(std::string_view keyPath,
                                                                NSObject& object,
                                                                const NSKeyValueChange& change,
                                                                void* context) = 0;
};

class NSKeyValueObservable : public NSObject {
  public:
    // Adding the same observer for the same key twice makes two observations, told twice, as on
    // the platform; each removal takes one away.
    void addObserver_forKeyPath_options_context(const std::shared_ptr<NSKeyValueObserver>& observer,
                                                std::string_view keyPath, unsigned options,
                                                void* context);
    // Removes the most recent observation of `keyPath` by `observer` (by identity); nothing when
    // there is none.
    void removeObserver_forKeyPath(const NSKeyValueObserver* observer, std::string_view keyPath);
    // Live observations of `keyPath` (tests and assertions of the model's own bookkeeping).
    size_t countOfObservers(std::string_view keyPath) const;

    // A setting change of `key`: prior notifications, then after the change the notifications.
    void willChangeValueForKey(std::string_view key);
    void didChangeValueForKey(std::string_view key);
    // An insertion or removal at `index` of the to-many relation `key`.
    void willChange_valueAtIndex_forKey(NSKeyValueChangeKind kind, int64_t index,
                                        std::string_view key);
    void didChange_valueAtIndex_forKey(NSKeyValueChangeKind kind, int64_t index,
                                       std::string_view key);

    // Whether the set operations of `key` announce every set; false for manual keys.
    virtual bool automaticallyNotifiesObserversForKey(std::string_view key) const;
    // The keys that are parts of `key` (for "size": "width", "height"); none by default.
    virtual std::span<const std::string_view> keysDependingOnKey(std::string_view key) const;

  protected:
    // An automatic set operation: `apply` changes the value between the two announcements, which
    // are sent only when the key notifies automatically and someone observes this object.
    template <class Apply>
    void changeValueForKey(std::string_view key, Apply&& apply) {
        if (observations_.empty() || !automaticallyNotifiesObserversForKey(key)) {
            apply();
            return;
        }
        willChangeValueForKey(key);
        apply();
        didChangeValueForKey(key);
    }

  private:
    struct Observation {
        std::weak_ptr<NSKeyValueObserver> observer;
        const NSKeyValueObserver* identity;
        std::string keyPath;
        unsigned options;
        void* context;
    };
    void notify(std::string_view key, const NSKeyValueChange& change);
    bool observes(const Observation& observation, std::string_view key) const;

    std::vector<Observation> observations_;
};

#pragma GCC visibility pop
