// Documents whose layers do not form a tree, or whose prototypes list each other as components:
// each is refused with the reading error or decodes into a finite tree that copying, comparing,
// walking and describing get through.

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <tuple>

#include "ArchiveShapes.h"
#include "BinaryPropertyListWriter.h"
#include "LayerTestSupport.h"
#include "NSArray.h"
#include "VTDecodedLayers.h"
#include "VTPrototype.h"

namespace {

// A document written object by object: the prototype's screens and every layer below, each a node
// naming its sublayers and its component ("prototypeLayer") by index, so that a node can be named
// from anywhere, itself included.
struct Node {
    const char* className = "VTLayer";
    std::vector<size_t> sublayers;
    std::optional<size_t> component;
};

struct Graph {
    std::vector<Node> nodes;
    std::vector<size_t> screens;
};

std::shared_ptr<NSData> write(const Graph& graph) {
    auto objects = std::make_shared<std::vector<std::shared_ptr<document_shapes::Shaped>>>();
    const std::weak_ptr<std::vector<std::shared_ptr<document_shapes::Shaped>>> all = objects;
    for (const Node& node : graph.nodes) {
        objects->push_back(std::make_shared<document_shapes::Shaped>(
            node.className, document_shapes::layerClass(), [node, all](NSCoder& coder) {
                const auto nodes = all.lock();
                encodeCGSize_forKey(coder, {10, 10}, "size");
                if (!node.sublayers.empty()) {
                    std::vector<std::shared_ptr<NSObject>> list;
                    for (size_t i : node.sublayers) list.push_back((*nodes)[i]);
                    coder.encodeObject_forKey(NSArray::arrayWithObjects(list), "subPictures");
                }
                if (node.component)
                    coder.encodeObject_forKey((*nodes)[*node.component], "prototypeLayer");
            }));
    }
    std::vector<std::shared_ptr<NSObject>> screens;
    for (size_t i : graph.screens) screens.push_back((*objects)[i]);
    const auto root = layer_support::prototypeWith(screens);
    return document_shapes::make({.root = root});
}

// A chain of `depth` layers below one screen, each the only sublayer of the one before.
Graph nested(size_t depth) {
    Graph graph{{Node{"VTScreen"}}, {0}};
    for (size_t i = 1; i < depth; ++i) {
        graph.nodes.push_back({});
        graph.nodes[i - 1].sublayers = {i};
    }
    return graph;
}

// The same chain made of screens listed last first: each is decoded before the one that holds it,
// so the archive's nesting stays flat however deep the tree.
Graph nestedListedFlat(size_t depth) {
    Graph graph = nested(depth);
    for (auto& node : graph.nodes) node.className = "VTScreen";
    graph.screens.clear();
    for (size_t i = depth; i-- > 0;) graph.screens.push_back(i);
    return graph;
}

// `levels` screens, each showing the next `fanOut` times, listed last first (flat in the archive).
Graph fannedComponents(size_t levels, size_t fanOut) {
    Graph graph;
    for (size_t level = 0; level < levels; ++level) graph.nodes.push_back({"VTScreen"});
    for (size_t level = 0; level + 1 < levels; ++level)
        for (size_t i = 0; i < fanOut; ++i) {
            graph.nodes.push_back({"VTLayer", {}, level + 1});
            graph.nodes[level].sublayers.push_back(graph.nodes.size() - 1);
        }
    for (size_t level = levels; level-- > 0;) graph.screens.push_back(level);
    return graph;
}

Graph flat(size_t count) {
    Graph graph{{Node{"VTScreen"}}, {0}};
    for (size_t i = 1; i <= count; ++i) {
        graph.nodes.push_back({});
        graph.nodes[0].sublayers.push_back(i);
    }
    return graph;
}

// A document of one screen holding `count` layers, each stored as nothing but its class: the
// smallest file a document of that many layers can be, written entry by entry.
std::shared_ptr<NSData> bareLayers(uint64_t count) {
    using plist::Value;
    const auto pairs = [](std::initializer_list<std::pair<const char*, Value>> entries) {
        std::vector<std::pair<Value, Value>> result;
        for (const auto& [key, value] : entries) result.emplace_back(Value::string(key), value);
        return Value::dictionary(std::move(result));
    };
    const auto classEntry = [&](const char* name) {
        return pairs(
            {{"$classname", Value::string(name)},
             {"$classes", Value::array({Value::string(name), Value::string("NSObject")})}});
    };
    const uint64_t firstLayer = 5, prototypeClass = firstLayer + count;
    const auto [arrayClass, screenClass, layerClass] =
        std::tuple(prototypeClass + 1, prototypeClass + 2, prototypeClass + 3);
    std::vector<Value> objects{
        Value::string("$null"),
        pairs({{"version", Value::integer(plist::Integer::fromSigned(15))},
               {"screens", Value::uid(2)},
               {"$class", Value::uid(prototypeClass)}}),
        pairs({{"NS.objects", Value::array({Value::uid(3)})}, {"$class", Value::uid(arrayClass)}}),
        pairs({{"subPictures", Value::uid(4)}, {"$class", Value::uid(screenClass)}})};
    std::vector<Value> layers;
    for (uint64_t i = 0; i < count; ++i) layers.push_back(Value::uid(firstLayer + i));
    objects.push_back(pairs(
        {{"NS.objects", Value::array(std::move(layers))}, {"$class", Value::uid(arrayClass)}}));
    for (uint64_t i = 0; i < count; ++i)
        objects.push_back(pairs({{"$class", Value::uid(layerClass)}}));
    for (const char* name : {"VTPrototype", "NSArray", "VTScreen", "VTLayer"})
        objects.push_back(classEntry(name));
    return NSData::dataWithVector(plist::writeBinaryPropertyList(
        pairs({{"$version", Value::integer(plist::Integer::fromSigned(KeyedArchive::kVersion))},
               {"$archiver", Value::string("NSKeyedArchiver")},
               {"$top", pairs({{"root", Value::uid(1)}})},
               {"$objects", Value::array(std::move(objects))}})));
}

// A prototype listed among its own components, directly or through a component that lists it.
std::shared_ptr<NSData> ownComponent(bool throughAnother) {
    std::weak_ptr<NSObject> root, other;
    const auto listing = [](const std::weak_ptr<NSObject>& component) {
        return std::make_shared<document_shapes::Shaped>(
            "VTPrototype", NSObject::objcClass(), [&component](NSCoder& coder) {
                coder.encodeInteger_forKey(15, "version");
                coder.encodeObject_forKey(NSArray::arrayWithObjects({component.lock()}), "symbols");
            });
    };
    const auto first = listing(throughAnother ? other : root), second = listing(root);
    root = first;
    other = second;
    return document_shapes::make({.root = first});
}

// Everything that follows the tree, once over every screen.
void walkEverything(const VTPrototype& prototype) {
    for (const auto& screen : prototype.screens()) {
        // (A screen read without a name is not equal to its copy, which is named "Layer".)
        const auto copy = screen->copy();
        copy->isApproximatlyEqualToLayerHierarchy(*screen);
        EXPECT_EQ(copy->countOfSublayers(), screen->countOfSublayers());
        std::vector<std::shared_ptr<VTLayer>> pending{screen};
        while (!pending.empty()) {
            const auto layer = pending.back();
            pending.pop_back();
            EXPECT_FALSE(layer->description().empty());
            EXPECT_EQ(layer->screen(), screen);
            if (layer->countOfSublayers() == 0) continue;
            // One index path per list: finding a layer's index is a search of its list.
            const auto last = layer->objectInSublayersAtIndex(layer->countOfSublayers() - 1);
            EXPECT_EQ(screen->layerAtIndexPath(last->indexPath()), last);
            for (const auto& sublayer : layer->sublayers()) pending.push_back(sublayer);
        }
    }
}

struct Shape {
    const char* name;
    std::function<std::shared_ptr<NSData>()> document;
    const char* refusal;  // the failure reason's beginning, or none for a document that loads
    const char* seed = nullptr;  // the file in tests/data/documents, for the small ones
};

}  // namespace

TEST(VTLayerHostileDocument, RefusedOrFinite) {
    constexpr const char* ownAncestor =
        "subPictures of a layer holds the layer itself or one of its ancestors";
    constexpr const char* twoParents = "subPictures holds a layer that is already a sublayer";
    constexpr const char* showsItself = "A component screen shows itself";
    constexpr const char* tooDeep = "Layers are nested more than 512 deep";
    constexpr const char* ownComponentOf =
        "symbols of a prototype holds the prototype itself or one of its ancestors in the archive";
    const Shape shapes[] = {
        // clang-format off
        {"a layer its own sublayer", [] { return write(Graph{{{"VTScreen", {0}}}, {0}}); }, ownAncestor, "hostile-own-sublayer.vantler"},
        {"a layer its ancestor's parent", [] { return write(Graph{{{"VTScreen", {1}}, {"VTLayer", {2}}, {"VTLayer", {0}}}, {0}}); }, ownAncestor, "hostile-ancestor-sublayer.vantler"},
        {"a layer with two parents", [] { return write(Graph{{{"VTScreen", {1, 2}}, {"VTLayer", {3}}, {"VTLayer", {3}}, {}}, {0}}); }, twoParents, "hostile-two-parents.vantler"},
        {"a layer twice in one list", [] { return write(Graph{{{"VTScreen", {1, 1}}, {}}, {0}}); }, twoParents, "hostile-twice-in-list.vantler"},
        {"a screen twice among the screens", [] { return write(Graph{{{"VTScreen", {1}}, {}}, {0, 0}}); }, nullptr, "hostile-screen-twice.vantler"},
        {"a screen showing itself", [] { return write(Graph{{{"VTScreen", {1}}, {"VTLayer", {}, 0}}, {0}}); }, showsItself, "hostile-screen-shows-itself.vantler"},
        {"two screens showing each other", [] { return write(Graph{{{"VTScreen", {2}}, {"VTScreen", {3}}, {"VTLayer", {}, 1}, {"VTLayer", {}, 0}}, {0, 1}}); }, showsItself, "hostile-screens-show-each-other.vantler"},
        {"instances of each other, no screen", [] { return write(Graph{{{"VTScreen", {1, 2}}, {"VTLayer", {}, 2}, {"VTLayer", {}, 1}}, {0}}); }, nullptr, "hostile-instances-of-each-other.vantler"},
        {"nested as deep as the archive allows", [] { return write(nested(250)); }, nullptr, "hostile-nested-250.vantler"},
        {"nested deep through a flat archive", [] { return write(nestedListedFlat(2000)); }, tooDeep},
        {"components nested deep", [] { return write(fannedComponents(600, 1)); }, tooDeep},
        {"components shown ten million times", [] { return write(fannedComponents(8, 10)); }, "Components show more than 10000000 layers", "hostile-components-fanned.vantler"},
        {"ten thousand layers side by side", [] { return write(flat(10'000)); }, nullptr},
        {"a prototype its own component", [] { return ownComponent(false); }, ownComponentOf, "hostile-own-component.vantler"},
        {"prototypes each other's component", [] { return ownComponent(true); }, ownComponentOf, "hostile-components-of-each-other.vantler"},
        {"more layers than a document holds", [] { return bareLayers(VTDecodedLayers::kMaxLayers); }, "Document holds more than 250000 layers"},
        // clang-format on
    };
    for (const auto& shape : shapes) {
        SCOPED_TRACE(shape.name);
        const auto made = shape.document();
        std::shared_ptr<NSError> error;
        const auto prototype = VTPrototype::prototypeFromData_error(
            shape.seed ? layer_support::seedDocument(shape.seed, made) : made, &error);
        if (shape.refusal) {
            EXPECT_FALSE(prototype);
            ASSERT_TRUE(error);
            EXPECT_EQ(error->code(), VTDocumentReadErrorCode);
            const std::string reason = error->localizedFailureReason().value_or("");
            EXPECT_EQ(reason.rfind(shape.refusal, 0), 0u) << reason;
        } else {
            ASSERT_TRUE(prototype) << (error ? error->localizedFailureReason().value_or("") : "");
            walkEverything(*prototype);
        }
    }
}
