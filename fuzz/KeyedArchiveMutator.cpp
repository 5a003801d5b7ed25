#include "KeyedArchiveMutator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "BinaryPropertyList.h"
#include "BinaryPropertyListWriter.h"
#include "NSException.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

using plist::Kind;
using plist::Value;
using Random = std::minstd_rand;

// Bounds of the tree a list is read into. A list may share a value among many places, or refer to
// itself; each place gets its own copy, so the tree is cut off at these bounds.
constexpr size_t kMaxValues = 20'000;
constexpr size_t kMaxDepth = 48;
// One in this many mutations of a readable list is a byte mutation instead.
constexpr unsigned kByteMutationShare = 4;

// Class names a mutated chain may name: the model's, and the collections and values it decodes.
constexpr const char* kClassNames[] = {"VTPrototype",
                                       "VTScreen",
                                       "VTLayer",
                                       "VTImage",
                                       "VTEvent",
                                       "VTLink",
                                       "VTKeyframe",
                                       "NSArray",
                                       "NSMutableArray",
                                       "NSDictionary",
                                       "NSMutableDictionary",
                                       "NSString",
                                       "NSData",
                                       "NSNumber",
                                       "NSSet",
                                       "NSOrderedSet",
                                       "NSObject",
                                       "NSColor",
                                       "NSURL",
                                       "NSUUID",
                                       "NSDate",
                                       "NSNull"};

size_t pick(Random& random, size_t count) {
    return std::uniform_int_distribution<size_t>(0, count - 1)(random);
}

// ---- A property list as a tree that mutations change in place

// One value: a scalar or string or data in `value`; a collection's children in `children` (a
// dictionary's as key, value, key, value, ...).
struct Node {
    Kind kind = Kind::Null;
    Value value;
    std::vector<Node> children;

    bool isCollection() const {
        return kind == Kind::Array || kind == Kind::Set || kind == Kind::Dictionary;
    }
    static Node scalar(Value value) {
        const Kind kind = value.kind();
        return {kind, std::move(value), {}};
    }
};

// A collection of `kind` holding `children` (moved in: a subtree is never copied to be wrapped).
template <class... Children>
Node collection(Kind kind, Children&&... children) {
    Node node{kind, Value(), {}};
    (node.children.push_back(std::forward<Children>(children)), ...);
    return node;
}

class TreeReader {
  public:
    explicit TreeReader(const plist::BinaryPropertyList& list) : list_(list) {}

    std::optional<Node> read(uint64_t ref, size_t depth = 0) {
        if (++values_ > kMaxValues || depth > kMaxDepth) return std::nullopt;
        const plist::ObjectInfo object = list_.object(ref);
        switch (object.kind) {
            case Kind::Null:
                return Node::scalar(Value());
            case Kind::Boolean:
                return Node::scalar(Value::boolean(list_.booleanValue(object)));
            case Kind::Integer:
                return Node::scalar(Value::integer(list_.integerValue(object)));
            case Kind::Real:
                return Node::scalar(Value::real(list_.realValue(object)));
            case Kind::Date:
                return Node::scalar(Value::date(list_.dateValue(object)));
            case Kind::Data:
                return Node::scalar(
                    Value::data(plist::Bytes::copyOf(list_.dataValue(object).bytes)));
            case Kind::String:
                return Node::scalar(Value::string(list_.stringValue(object)));
            case Kind::UID:
                return Node::scalar(Value::uid(list_.uidValue(object)));
            case Kind::Array:
            case Kind::Set:
            case Kind::Dictionary: {
                const bool pairs = object.kind == Kind::Dictionary;
                std::vector<Node> children;
                children.reserve(std::min<uint64_t>(object.count * (pairs ? 2 : 1), kMaxValues));
                for (uint64_t i = 0; i < object.count; ++i) {
                    for (const uint64_t childRef :
                         {pairs ? list_.keyRef(object, i) : list_.elementRef(object, i),
                          pairs ? list_.valueRef(object, i) : UINT64_MAX}) {
                        if (childRef == UINT64_MAX) continue;
                        auto child = read(childRef, depth + 1);
                        if (!child) return std::nullopt;
                        children.push_back(std::move(*child));
                    }
                }
                return Node{object.kind, Value(), std::move(children)};
            }
        }
        return std::nullopt;
    }

  private:
    const plist::BinaryPropertyList& list_;
    size_t values_ = 0;
};

// The binary property list in `bytes` as a tree, or none when the bytes are not one (or one too
// large to mutate whole).
std::optional<Node> readTree(std::span<const uint8_t> bytes) {
    if (!plist::BinaryPropertyList::hasBinaryHeader(bytes)) return std::nullopt;
    try {
        const plist::BinaryPropertyList list(nullptr, bytes);
        TreeReader reader(list);
        return reader.read(list.topObject());
    } catch (const NSException&) {
        return std::nullopt;
    }
}

Value valueOf(const Node& node) {
    if (!node.isCollection()) return node.value;
    std::vector<Value> children;
    children.reserve(node.children.size());
    for (const Node& child : node.children) children.push_back(valueOf(child));
    if (node.kind == Kind::Array) return Value::array(std::move(children));
    if (node.kind == Kind::Set) return Value::set(std::move(children));
    std::vector<std::pair<Value, Value>> entries;
    for (size_t i = 0; i + 1 < children.size(); i += 2)
        entries.emplace_back(std::move(children[i]), std::move(children[i + 1]));
    return Value::dictionary(std::move(entries));
}

size_t writeTree(const Node& root, uint8_t* out, size_t maxSize) {
    const std::vector<uint8_t> bytes = plist::writeBinaryPropertyList(valueOf(root));
    if (bytes.size() > maxSize) return 0;
    std::memcpy(out, bytes.data(), bytes.size());
    return bytes.size();
}

// ---- Places in the tree

// A node, with the collection that holds it and its index there (none for the root).
struct Place {
    Node* node;
    Node* parent;
    size_t index;
};

// Every place in the tree. The pointers stay valid until a collection's children change.
std::vector<Place> placesIn(Node& root) {
    std::vector<Place> places{{&root, nullptr, 0}};
    for (size_t next = 0; next < places.size(); ++next) {
        Node& node = *places[next].node;
        for (size_t i = 0; i < node.children.size(); ++i)
            places.push_back({&node.children[i], &node, i});
    }
    return places;
}

std::vector<Place> placesOfKind(const std::vector<Place>& places,
                                std::initializer_list<Kind> kinds) {
    std::vector<Place> found;
    for (const Place& place : places)
        if (std::find(kinds.begin(), kinds.end(), place.node->kind) != kinds.end())
            found.push_back(place);
    return found;
}

// The value of the dictionary's entry whose key is the string `key`, or null.
Node* entryNamed(Node& dictionary, std::string_view key) {
    if (dictionary.kind != Kind::Dictionary) return nullptr;
    for (size_t i = 0; i + 1 < dictionary.children.size(); i += 2) {
        const Node& name = dictionary.children[i];
        if (name.kind == Kind::String && name.value.stringValue() == key)
            return &dictionary.children[i + 1];
    }
    return nullptr;
}

// The objects of a keyed archive ("$objects"), or null.
Node* objectsOf(Node& root) {
    Node* objects = entryNamed(root, "$objects");
    return objects && objects->kind == Kind::Array ? objects : nullptr;
}

// A UID that points inside the archive's objects, at their end or just past it.
Value someUID(Node& root, Random& random) {
    const Node* objects = objectsOf(root);
    return Value::uid(pick(random, (objects ? objects->children.size() : 0) + 2));
}

// ---- Values a mutation puts in

Value interestingInteger(Random& random) {
    constexpr int64_t values[] = {0,         -1,        1,          2,          255,
                                  256,       65535,     65536,      INT32_MAX,  INT32_MIN,
                                  INT64_MAX, INT64_MIN, 1000000000, -1000000000};
    return Value::integer(plist::Integer::fromSigned(values[pick(random, std::size(values))]));
}

Value interestingReal(Random& random) {
    constexpr double values[] = {0.0,
                                 -0.0,
                                 1e9,
                                 -1e9,
                                 1e300,
                                 std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity(),
                                 std::numeric_limits<double>::denorm_min(),
                                 0.5};
    return Value::real({values[pick(random, std::size(values))], false});
}

// ---- Mutations: each changes the tree in place, or answers false when it offers no place.

using Mutation = bool (*)(Node&, const std::vector<Place>&, Random&);

bool repointUID(Node& root, const std::vector<Place>& places, Random& random) {
    const auto uids = placesOfKind(places, {Kind::UID});
    if (uids.empty()) return false;
    *uids[pick(random, uids.size())].node = Node::scalar(someUID(root, random));
    return true;
}

// A value of another kind in place of one: a number for a string, an array for a number, ...
bool changeKind(Node& root, const std::vector<Place>& places, Random& random) {
    Node& node = *places[pick(random, places.size())].node;
    switch (pick(random, 9)) {
        case 0:
            node = Node::scalar(interestingInteger(random));
            break;
        case 1:
            node = Node::scalar(interestingReal(random));
            break;
        case 2:
            node = Node::scalar(Value::string(std::string(pick(random, 2) ? 0 : 4096, 'W')));
            break;
        case 3:
            node = Node::scalar(Value::data(plist::Bytes::copyOf(std::vector<uint8_t>(64, 0xff))));
            break;
        case 4:
            node = Node::scalar(Value::boolean(pick(random, 2)));
            break;
        case 5:
            node = Node::scalar(someUID(root, random));
            break;
        case 6:
            node = collection(Kind::Array, std::move(node));
            break;
        case 7:
            node = collection(Kind::Dictionary, Node::scalar(Value::string("NS.objects")),
                              std::move(node));
            break;
        default:
            node = Node::scalar(Value());
    }
    return true;
}

bool interestingNumber(Node&, const std::vector<Place>& places, Random& random) {
    const auto numbers = placesOfKind(places, {Kind::Integer, Kind::Real});
    if (numbers.empty()) return false;
    Node& node = *numbers[pick(random, numbers.size())].node;
    node = Node::scalar(node.kind == Kind::Real ? interestingReal(random)
                                                : interestingInteger(random));
    return true;
}

// Drops or repeats a child of a collection (a dictionary's whole entry): a key missing, or one
// written twice.
bool dropOrRepeat(Node&, const std::vector<Place>& places, Random& random) {
    if (places.size() < 2) return false;
    const Place& place = places[1 + pick(random, places.size() - 1)];  // never the root
    auto& siblings = place.parent->children;
    const bool pairs = place.parent->kind == Kind::Dictionary;
    const size_t first = pairs ? place.index & ~size_t{1} : place.index;
    const auto begin = siblings.begin() + static_cast<ptrdiff_t>(first);
    const auto end = begin + (pairs ? 2 : 1);
    if (end > siblings.end()) return false;
    if (pick(random, 2)) {
        siblings.erase(begin, end);
    } else {
        std::vector<Node> repeated(begin, end);
        siblings.insert(end, std::make_move_iterator(repeated.begin()),
                        std::make_move_iterator(repeated.end()));
    }
    return true;
}

bool nestDeeper(Node&, const std::vector<Place>& places, Random& random) {
    Node& node = *places[pick(random, places.size())].node;
    for (size_t levels = 1 + pick(random, 64); levels > 0; --levels)
        node = collection(Kind::Array, std::move(node));
    return true;
}

// Names another class in a class record ("$classname"), or drops or swaps the names of its chain
// ("$classes").
bool changeClassChain(Node&, const std::vector<Place>& places, Random& random) {
    std::vector<Node*> records;
    for (const Place& place : places)
        if (entryNamed(*place.node, "$classname")) records.push_back(place.node);
    if (records.empty()) return false;
    Node& record = *records[pick(random, records.size())];
    Node* chain = entryNamed(record, "$classes");
    switch (pick(random, 3)) {
        case 0:
            *entryNamed(record, "$classname") =
                Node::scalar(Value::string(kClassNames[pick(random, std::size(kClassNames))]));
            return true;
        case 1:
            if (!chain || chain->children.empty()) return false;
            chain->children.erase(chain->children.begin());
            return true;
        default:
            if (!chain || chain->children.size() < 2) return false;
            std::swap(chain->children.front(), chain->children.back());
            return true;
    }
}

// Byte mutation of one string or data value: a key or class name misspelt, a payload damaged.
bool mutatePayload(Node&, const std::vector<Place>& places, Random& random) {
    const auto payloads = placesOfKind(places, {Kind::String, Kind::Data});
    if (payloads.empty()) return false;
    Node& node = *payloads[pick(random, payloads.size())].node;
    const bool isString = node.kind == Kind::String;
    const auto& text = node.value.stringValue();
    const auto& data = node.value.dataValue().bytes;
    std::vector<uint8_t> bytes = isString ? std::vector<uint8_t>(text.begin(), text.end())
                                          : std::vector<uint8_t>(data.begin(), data.end());
    const size_t size = bytes.size();
    bytes.resize(2 * size + 16);
    bytes.resize(LLVMFuzzerMutate(bytes.data(), size, bytes.size()));
    node = Node::scalar(isString ? Value::string(std::string(bytes.begin(), bytes.end()))
                                 : Value::data(plist::Bytes::copyOf(bytes)));
    return true;
}

constexpr Mutation kMutations[] = {repointUID, changeKind,       interestingNumber, dropOrRepeat,
                                   nestDeeper, changeClassChain, mutatePayload};

// ---- Splicing

// Objects taken from another archive at most, so that the result stays within the input size.
constexpr size_t kMaxSplicedObjects = 32;

void moveUIDs(Node& node, uint64_t offset) {
    if (node.kind == Kind::UID) node.value = Value::uid(node.value.uidValue() + offset);
    for (Node& child : node.children) moveUIDs(child, offset);
}

// Appends a run of `second`'s objects to `first`'s, their references moved with them (those that
// led outside the run now lead elsewhere), and points one reference of `first` at one of them.
bool splice(Node& first, Node& second, Random& random) {
    Node* ours = objectsOf(first);
    Node* theirs = objectsOf(second);
    if (!ours || !theirs || theirs->children.empty()) return false;
    const size_t start = pick(random, theirs->children.size());
    const size_t count =
        1 + pick(random, std::min(kMaxSplicedObjects, theirs->children.size() - start));
    const size_t offset = ours->children.size();
    const auto uids = placesOfKind(placesIn(first), {Kind::UID});
    if (!uids.empty())
        *uids[pick(random, uids.size())].node =
            Node::scalar(Value::uid(offset + pick(random, count)));
    for (size_t i = start; i < start + count; ++i) {
        Node object = std::move(theirs->children[i]);
        moveUIDs(object, offset - start);
        ours->children.push_back(std::move(object));
    }
    return true;
}

}  // namespace

size_t mutateKeyedArchive(uint8_t* data, size_t size, size_t maxSize, unsigned seed) {
    Random random(seed);
    if (pick(random, kByteMutationShare) != 0) {
        if (auto tree = readTree({data, size})) {
            const auto places = placesIn(*tree);
            for (int attempt = 0; attempt < 4; ++attempt) {
                if (!kMutations[pick(random, std::size(kMutations))](*tree, places, random))
                    continue;
                // The places are stale once the tree has changed: one mutation per call.
                if (const size_t written = writeTree(*tree, data, maxSize)) return written;
                break;
            }
        }
    }
    return LLVMFuzzerMutate(data, size, maxSize);
}

size_t crossOverKeyedArchives(const uint8_t* first, size_t firstSize, const uint8_t* second,
                              size_t secondSize, uint8_t* out, size_t maxOutSize, unsigned seed) {
    Random random(seed);
    auto ours = readTree({first, firstSize});
    auto theirs = readTree({second, secondSize});
    if (ours && theirs && splice(*ours, *theirs, random))
        if (const size_t written = writeTree(*ours, out, maxOutSize)) return written;
    // Not two archives: the first's head and the second's tail.
    const size_t head = std::min(firstSize / 2, maxOutSize);
    const size_t tail = std::min(secondSize - secondSize / 2, maxOutSize - head);
    std::memcpy(out, first, head);
    std::memcpy(out + head, second + secondSize / 2, tail);
    return head + tail;
}
