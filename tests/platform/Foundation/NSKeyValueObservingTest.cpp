#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "KeyValueChanges.h"

namespace {

// An observable with one manual key and "width" as a part of "size".
class Box : public NSKeyValueObservable {
  public:
    void setSize(double size) {
        changeValueForKey("size", [&] { size_ = size; });
    }
    void setName(std::string name) {  // manual: announced only on a real change
        if (name == name_) return;
        willChangeValueForKey("name");
        name_ = std::move(name);
        didChangeValueForKey("name");
    }
    bool automaticallyNotifiesObserversForKey(std::string_view key) const override {
        return key != "name";
    }
    std::span<const std::string_view> keysDependingOnKey(std::string_view key) const override {
        static constexpr std::array<std::string_view, 1> kSizeParts{"width"};
        if (key == "size") return kSizeParts;
        return {};
    }

  private:
    double size_ = 0;
    std::string name_;
};

}  // namespace

TEST(NSKeyValueObserving, PriorAndAfterPerKeyWithDependentKeysAndManualKeys) {
    auto box = std::make_shared<Box>();
    auto withPrior = std::make_shared<test::ChangeRecorder>();
    auto afterOnly = std::make_shared<test::ChangeRecorder>();
    box->addObserver_forKeyPath_options_context(withPrior, "size", NSKeyValueObservingOptionPrior,
                                                nullptr);
    box->addObserver_forKeyPath_options_context(withPrior, "name", NSKeyValueObservingOptionPrior,
                                                nullptr);
    box->addObserver_forKeyPath_options_context(afterOnly, "width", 0, nullptr);
    box->setSize(3);
    box->setSize(3);  // automatic keys announce every set
    box->setName("a");
    box->setName("a");  // a manual key that does not change says nothing
    EXPECT_EQ(afterOnly->seen, (std::vector<std::string>{"width!", "width!"}));
    box->willChange_valueAtIndex_forKey(NSKeyValueChangeKind::Insertion, 2, "size");
    box->didChange_valueAtIndex_forKey(NSKeyValueChangeKind::Removal, 0, "size");
    EXPECT_EQ(withPrior->seen, (std::vector<std::string>{"size", "size!", "size", "size!", "name",
                                                         "name!", "size+2", "size-0!"}));
}

TEST(NSKeyValueObserving, ObserversAreWeakAndRemovedByIdentity) {
    auto box = std::make_shared<Box>();
    auto kept = std::make_shared<test::ChangeRecorder>();
    auto gone = std::make_shared<test::ChangeRecorder>();
    box->addObserver_forKeyPath_options_context(kept, "size", 0, nullptr);
    box->addObserver_forKeyPath_options_context(kept, "size", 0, nullptr);
    box->addObserver_forKeyPath_options_context(gone, "size", 0, nullptr);
    gone.reset();
    EXPECT_EQ(box->countOfObservers("size"), 2u);
    box->setSize(1);
    EXPECT_EQ(kept->seen.size(), 2u);  // added twice, told twice
    box->removeObserver_forKeyPath(kept.get(), "size");
    box->removeObserver_forKeyPath(kept.get(), "name");  // not observed: nothing
    box->setSize(2);
    EXPECT_EQ(kept->seen.size(), 3u);
    // An observer that removes itself while it is told is told this once, and not again.
    kept->onNotify = [&] { box->removeObserver_forKeyPath(kept.get(), "size"); };
    box->setSize(3);
    box->setSize(4);
    EXPECT_EQ(kept->seen.size(), 4u);
    EXPECT_EQ(box->countOfObservers("size"), 0u);
}
