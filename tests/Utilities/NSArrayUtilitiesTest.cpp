#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "NSArray+Utilities.h"
#include "NSString.h"

namespace {

using Strings = std::vector<std::shared_ptr<NSString>>;

std::shared_ptr<NSString> string(const char* text) {
    return NSString::stringWithUTF8String(text);
}

}  // namespace

// The predicate empties the caller's array at its first call and still sees every element that
// was there, once each, in order.
TEST(NSArrayUtilities, FilterMatchAndContainsWalkTheArrayAsItWasAtTheCall) {
    std::vector<int> numbers{1, 2, 3, 4};
    std::vector<int> seen;
    const auto evenAfterClearing = [&](int n) {
        numbers.clear();
        seen.push_back(n);
        return n % 2 == 0;
    };
    EXPECT_EQ(filter(numbers, evenAfterClearing), (std::vector<int>{2, 4}));
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4}));

    numbers = {1, 2, 3, 4};
    seen.clear();
    EXPECT_EQ(match(numbers, [&](int n) { return evenAfterClearing(n) && n > 2; }), 4);
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4}));
    numbers = {1, 3};
    EXPECT_EQ(match(numbers, [](int n) { return n > 5; }), std::nullopt);
    EXPECT_TRUE(contains(numbers, [&](int n) { return evenAfterClearing(n + 1) && n == 3; }));
    EXPECT_FALSE(contains(std::vector<int>{}, [](int) { return true; }));

    const Strings names{string("a"), string("b")};
    EXPECT_EQ(match(names, [](const auto& s) { return s->UTF8String() == "b"; }), names[1]);
    EXPECT_EQ(match(names, [](const auto& s) { return s->UTF8String() == "c"; }), nullptr);
}

TEST(NSArrayUtilities, ContainsObjectIdenticalToComparesIdentityNotEquality) {
    const auto a = string("a");
    const Strings names{a, string("b")};
    EXPECT_TRUE(containsObjectIdenticalTo(names, a.get()));
    EXPECT_FALSE(containsObjectIdenticalTo(names, string("a").get()));
    EXPECT_FALSE(containsObjectIdenticalTo(names, static_cast<const NSString*>(nullptr)));
    const std::vector<const NSString*> raw{a.get()};
    EXPECT_TRUE(containsObjectIdenticalTo(raw, a.get()));
}

// flatMap leaves none out, for objects and for values, and walks the caller's array itself: what
// its closure appends is visited too.
TEST(NSArrayUtilities, FlatMapLeavesNoneOutAndWalksTheArrayItself) {
    const Strings names{string("a"), nullptr, string("c")};
    const auto upper = flatMap(names, [](const auto& s) {
        return s ? string(s->UTF8String() == "a" ? "A" : "C") : nullptr;
    });
    ASSERT_EQ(upper.size(), 2u);
    EXPECT_EQ(upper[0]->UTF8String(), "A");
    EXPECT_EQ(upper[1]->UTF8String(), "C");

    std::vector<int> numbers{1, 2, 3};
    const auto halves = flatMap(numbers, [&](int n) -> std::optional<int> {
        if (n == 3) numbers.push_back(8);
        return n % 2 == 0 ? std::optional<int>(n / 2) : std::nullopt;
    });
    EXPECT_EQ(halves, (std::vector<int>{1, 4}));
}

TEST(NSArrayUtilities, ReduceTakesTheElementFirstAndGivesTheInitialValueForNone) {
    const std::vector<std::string> words{"a", "b", "c"};
    const auto joined = reduce_transform(words, std::string("^"),
                                         [](const auto& word, auto text) { return text + word; });
    EXPECT_EQ(joined, "^abc");
    EXPECT_EQ(reduce_transform(std::vector<int>{}, 7, [](int n, int sum) { return n + sum; }), 7);
}

// Every occurrence of each selected element goes, by equality: also an equal string the predicate
// did not select, because it came after the first.
TEST(NSArrayUtilities, RemoveObjectsPassingTestRemovesEveryEqualElement) {
    const auto firstX = string("x");
    Strings names{string("a"), firstX, string("b"), string("x")};
    removeObjectsPassingTest(names, [&](const auto& s) { return s == firstX; });
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0]->UTF8String(), "a");
    EXPECT_EQ(names[1]->UTF8String(), "b");

    std::vector<int> numbers{1, 2, 1, 3};
    bool first = true;
    removeObjectsPassingTest(numbers, [&](int) { return std::exchange(first, false); });
    EXPECT_EQ(numbers, (std::vector<int>{2, 3}));
}

TEST(NSArrayUtilities, AddObjectIfNotNilAppendsOnlyWhatIsThere) {
    Strings names;
    addObjectIfNotNil(names, std::shared_ptr<NSString>());
    addObjectIfNotNil(names, string("a"));
    EXPECT_EQ(names.size(), 1u);
    std::vector<int> numbers;
    addObjectIfNotNil(numbers, std::optional<int>());
    addObjectIfNotNil(numbers, std::optional<int>(0));
    EXPECT_EQ(numbers, (std::vector<int>{0}));
}
