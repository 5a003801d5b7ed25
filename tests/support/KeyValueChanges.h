#pragma once
// An observer that records what it is told: "key" before and "key!" after each change, with "+i"
// or "-i" for an insertion or removal at index i.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "NSKeyValueObserving.h"

namespace test {

class ChangeRecorder : public NSKeyValueObserver {
  public:
    void observeValueForKeyPath_ofObject_change_context(std::string_view keyPath, NSObject&,
                                                        const NSKeyValueChange& change,
                                                        void*) override {
        std::string entry(keyPath);
        if (change.kind == NSKeyValueChangeKind::Insertion)
            entry += "+" + std::to_string(change.index);
        if (change.kind == NSKeyValueChangeKind::Removal)
            entry += "-" + std::to_string(change.index);
        seen.push_back(change.notificationIsPrior ? entry : entry + "!");
        if (onNotify) onNotify();
    }
    std::vector<std::string> seen;
    std::function<void()> onNotify;  // runs after each record
};

// Observes every key in `keys` of `object`, with prior notifications.
inline std::shared_ptr<ChangeRecorder> observe(NSKeyValueObservable& object,
                                               const std::vector<std::string>& keys) {
    auto recorder = std::make_shared<ChangeRecorder>();
    for (const auto& key : keys)
        object.addObserver_forKeyPath_options_context(recorder, key, NSKeyValueObservingOptionPrior,
                                                      nullptr);
    return recorder;
}

}  // namespace test
