#include "NSKeyValueObserving.h"

#include <algorithm>

void NSKeyValueObservable::addObserver_forKeyPath_options_context(
    const std::shared_ptr<NSKeyValueObserver>& observer, std::string_view keyPath, unsigned options,
    void* context) {
    if (!observer) return;
    observations_.push_back({observer, observer.get(), std::string(keyPath), options, context});
}

void NSKeyValueObservable::removeObserver_forKeyPath(const NSKeyValueObserver* observer,
                                                     std::string_view keyPath) {
    const auto found = std::find_if(
        observations_.rbegin(), observations_.rend(), [&](const Observation& observation) {
            return observation.identity == observer && observation.keyPath == keyPath;
        });
    if (found != observations_.rend()) observations_.erase(std::next(found).base());
}

size_t NSKeyValueObservable::countOfObservers(std::string_view keyPath) const {
    return static_cast<size_t>(std::count_if(
        observations_.begin(), observations_.end(), [&](const Observation& observation) {
            return observation.keyPath == keyPath && !observation.observer.expired();
        }));
}

void NSKeyValueObservable::willChangeValueForKey(std::string_view key) {
    notify(key, {NSKeyValueChangeKind::Setting, true, -1});
}

void NSKeyValueObservable::didChangeValueForKey(std::string_view key) {
    notify(key, {NSKeyValueChangeKind::Setting, false, -1});
}

void NSKeyValueObservable::willChange_valueAtIndex_forKey(NSKeyValueChangeKind kind, int64_t index,
                                                          std::string_view key) {
    notify(key, {kind, true, index});
}

void NSKeyValueObservable::didChange_valueAtIndex_forKey(NSKeyValueChangeKind kind, int64_t index,
                                                         std::string_view key) {
    notify(key, {kind, false, index});
}

bool NSKeyValueObservable::automaticallyNotifiesObserversForKey(std::string_view) const {
    return true;
}

std::span<const std::string_view> NSKeyValueObservable::keysDependingOnKey(std::string_view) const {
    return {};
}

bool NSKeyValueObservable::observes(const Observation& observation, std::string_view key) const {
    if (observation.keyPath == key) return true;
    const auto parts = keysDependingOnKey(key);
    return std::find(parts.begin(), parts.end(), observation.keyPath) != parts.end();
}

void NSKeyValueObservable::notify(std::string_view key, const NSKeyValueChange& change) {
    if (observations_.empty()) return;
    // Observers that went away leave; the rest are told from a snapshot, so that one of them may
    // add or remove observations (its own or others') while it is told.
    std::erase_if(observations_,
                  [](const Observation& observation) { return observation.observer.expired(); });
    struct Recipient {
        std::shared_ptr<NSKeyValueObserver> observer;
        std::string keyPath;
        void* context;
    };
    std::vector<Recipient> recipients;
    for (const Observation& observation : observations_) {
        if (!observes(observation, key)) continue;
        if (change.notificationIsPrior && !(observation.options & NSKeyValueObservingOptionPrior))
            continue;
        if (auto observer = observation.observer.lock())
            recipients.push_back({std::move(observer), observation.keyPath, observation.context});
    }
    for (const Recipient& recipient : recipients)
        recipient.observer->observeValueForKeyPath_ofObject_change_context(
            recipient.keyPath, *this, change, recipient.context);
}
