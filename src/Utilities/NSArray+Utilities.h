#pragma once
// The array extension of the design tool's sources: filtering, searching, mapping and folding with
// closures, identity membership, and the mutable array's removal by a test and its append of what
// may be none. The model's arrays are std::vector (of std::shared_ptr for objects), so these are
// function templates taking the array first, as the other platform-class extensions of this
// folder take their receiver.
//
// "None" is a null pointer for objects and std::nullopt for values. A predicate is a closure taking
// one element (as const T&) and answering bool.
//
// Which array a walk goes over matters when a closure changes the caller's array: `filter`,
// `match` and `contains` take the array by value, so they walk it as it was at the call; `flatMap`
// and `reduce_transform` walk the caller's array itself, by index (a closure that removes elements
// makes the walk skip what moved into the visited places, never read past the end).

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "NSObject.h"

namespace NSArrayUtilities {

// Whether elements of type T are objects, held by pointer (shared or raw; null is none), rather
// than values (held in an optional where they may be none).
template <class T>
inline constexpr bool isObjectPointer = std::is_pointer_v<T>;
template <class T>
inline constexpr bool isObjectPointer<std::shared_ptr<T>> = true;

// What a result that may be none holds when it is not: an object pointer, itself; an optional, its
// value.
template <class T>
struct NoneOr {
    static_assert(isObjectPointer<T>,
                  "a result that may be none: an object pointer or an optional");
    using Value = T;
    static const T& value(const T& object) { return object; }
};
template <class T>
struct NoneOr<std::optional<T>> {
    using Value = T;
    static const T& value(const std::optional<T>& object) { return *object; }
};

// The index of the first element passing `predicate`, or the count.
template <class T, class Predicate>
size_t indexPassing(const std::vector<T>& array, Predicate& predicate) {
    return static_cast<size_t>(std::find_if(array.begin(), array.end(), predicate) - array.begin());
}

// Equality as removal compares elements: isEqual for objects (two nones are equal, none and an
// object are not), == for values.
template <class T>
bool elementsAreEqual(const T& a, const T& b) {
    return a == b;
}
template <std::derived_from<NSObject> T>
bool elementsAreEqual(const std::shared_ptr<T>& a, const std::shared_ptr<T>& b) {
    return a == b || (a && b && a->isEqual(*b));
}

// Calls `visit` with a copy of each element of the caller's array in turn, by index, reading the
// count again each time (see the top of this file).
template <class T, class Visit>
void walkInPlace(const std::vector<T>& array, Visit&& visit) {
    for (size_t i = 0; i < array.size(); ++i) {
        const T element = array[i];  // stays alive if the closure removes it
        visit(element);
    }
}

}  // namespace NSArrayUtilities

// `filter:`: a new array of the elements for which `predicate` is true, in order.
template <class T, class Predicate>
std::vector<T> filter(std::vector<T> array, Predicate&& predicate) {
    std::vector<T> kept;
    for (const T& element : array)
        if (predicate(element)) kept.push_back(element);
    return kept;
}

// `match:`: the first element, in order, for which `predicate` is true, or none: for objects the
// object pointer itself (null for none), for values an optional.
template <class T, class Predicate>
auto match(std::vector<T> array, Predicate&& predicate) {
    const size_t index = NSArrayUtilities::indexPassing(array, predicate);
    if constexpr (NSArrayUtilities::isObjectPointer<T>) {
        return index < array.size() ? std::move(array[index]) : T();
    } else {
        return index < array.size() ? std::optional<T>(std::move(array[index])) : std::nullopt;
    }
}

// `contains:`: whether some element passes `predicate` (`match:` finds one).
template <class T, class Predicate>
bool contains(std::vector<T> array, Predicate&& predicate) {
    return NSArrayUtilities::indexPassing(array, predicate) < array.size();
}

// `containsObjectIdenticalTo:`: whether some element is that very object (identity, not
// equality). The elements are object pointers (shared or raw).
template <class T, class Object>
bool containsObjectIdenticalTo(const std::vector<T>& array, const Object* object) {
    return std::any_of(array.begin(), array.end(),
                       [&](const T& element) { return std::to_address(element) == object; });
}

// `flatMap:`: a new array of `transform`'s results in order, the results that are none left out.
// `transform` takes an element and answers an object pointer (null for none) or an optional.
template <class T, class Transform>
auto flatMap(const std::vector<T>& array, Transform&& transform) {
    using Result = std::decay_t<std::invoke_result_t<Transform&, const T&>>;
    std::vector<typename NSArrayUtilities::NoneOr<Result>::Value> results;
    NSArrayUtilities::walkInPlace(array, [&](const T& element) {
        if (const Result result = transform(element))
            results.push_back(NSArrayUtilities::NoneOr<Result>::value(result));
    });
    return results;
}

// `reduce:transform:`: `transform(element, accumulator)` applied to every element in order,
// starting from `initial`; `initial` itself for an empty array.
template <class T, class Accumulator, class Transform>
Accumulator reduce_transform(const std::vector<T>& array, Accumulator initial,
                             Transform&& transform) {
    NSArrayUtilities::walkInPlace(
        array, [&](const T& element) { initial = transform(element, std::move(initial)); });
    return initial;
}

// `removeObjectsPassingTest:`: removes every element that `filter` selects, and with each all the
// elements equal to it (isEqual for objects, == for values), also those `predicate` did not
// select.
template <class T, class Predicate>
void removeObjectsPassingTest(std::vector<T>& array, Predicate&& predicate) {
    const std::vector<T> selected = filter(array, predicate);
    std::erase_if(array, [&](const T& element) {
        return std::any_of(selected.begin(), selected.end(), [&](const T& chosen) {
            return NSArrayUtilities::elementsAreEqual(element, chosen);
        });
    });
}

// `addObjectIfNotNil:`: appends `object` (an object pointer or an optional) unless it is none.
template <class T, class Object>
void addObjectIfNotNil(std::vector<T>& array, const Object& object) {
    if (object) array.push_back(NSArrayUtilities::NoneOr<Object>::value(object));
}
