#include <gtest/gtest.h>

#include <functional>

#include "LayerTestSupport.h"
#include "TestSupport.h"

using namespace layer_support;

namespace {

// A parent with children named "0", "1", … in order.
struct Family {
    std::shared_ptr<VTLayer> parent = VTLayer::initWithName("parent");
    std::vector<std::shared_ptr<VTLayer>> children;
    explicit Family(int count) {
        for (int i = 0; i < count; ++i) {
            children.push_back(VTLayer::initWithName(std::to_string(i)));
            parent->addSublayer(children.back());
        }
    }
    std::string order() const {
        std::string names;
        for (const auto& child : parent->sublayers()) names += *child->name();
        return names;
    }
};

}  // namespace

// Inserting clamps the index; a child already here moves instead. Each case answers what the
// operation answered (true for those that answer nothing).
TEST(VTLayerTree, InsertAndOrder) {
    const auto newcomer = [](Family& f, int64_t index) {
        f.parent->insertLayer_atIndex(VTLayer::initWithName("n"), index);
        return true;
    };
    const std::tuple<const char*, std::function<bool(Family&)>, std::string, bool> cases[] = {
        // clang-format off
        {"insert at -3", [&](Family& f) { return newcomer(f, -3); }, "n012", true},
        {"insert at 99", [&](Family& f) { return newcomer(f, 99); }, "012n", true},
        {"insert a child moves it", [](Family& f) { f.parent->insertLayer_atIndex(f.children[2], 0); return true; }, "201", true},
        {"order past the end", [](Family& f) { return f.parent->orderLayer_toIndex(f.children[0], 99); }, "120", true},
        {"order to -1", [](Family& f) { return f.parent->orderLayer_toIndex(f.children[2], -1); }, "201", true},
        {"order in place", [](Family& f) { return f.parent->orderLayer_toIndex(f.children[1], 1); }, "012", false},
        {"order a stranger", [](Family& f) { return f.parent->orderLayer_toIndex(VTLayer::init(), 0); }, "012", false},
        {"front-most forward", [](Family& f) { return f.children[2]->moveForward(); }, "012", false},
        {"back-most backward", [](Family& f) { return f.children[0]->moveBackward(); }, "012", false},
        {"forward", [](Family& f) { return f.children[0]->moveForward(); }, "102", true},
        {"remove by index keeps the link", [](Family& f) { f.parent->removeObjectFromSublayersAtIndex(1); return f.children[1]->superPicture() == f.parent; }, "02", true},
        {"remove past the end", [](Family& f) { f.parent->removeObjectFromSublayersAtIndex(3); return true; }, "012", true},
        {"remove from parent", [](Family& f) { f.children[1]->removeFromSuperPicture(); return !f.children[1]->superPicture(); }, "02", true},
        {"itself", [](Family& f) { f.parent->addSublayer(f.parent); return true; }, "012", true},
        {"into a text layer", [](Family& f) { f.parent->_VTSimulatorOnly_setText("t"); f.parent->addSublayer(VTLayer::init()); return true; }, "012", true},
        // clang-format on
    };
    test::LogCapture log;
    for (const auto& [name, act, order, answer] : cases) {
        SCOPED_TRACE(name);
        Family family(3);
        EXPECT_EQ(act(family), answer);
        EXPECT_EQ(family.order(), order);
        for (const auto& child : family.parent->sublayers())
            EXPECT_EQ(child->superPicture(), family.parent);
    }
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Trying to add picture to itself"});
}

// Observers of "sublayers" see each insertion and removal with its index, and a reordering as a
// change of the whole list; a layer moving between parents leaves one and joins the other.
TEST(VTLayerTree, SublayerChangesReachObservers) {
    Family from(2), to(1);
    const auto seenFrom = observe(*from.parent, {"sublayers"});
    const auto seenTo = observe(*to.parent, {"sublayers"});
    to.parent->insertLayer_atIndex(from.children[1], 0);
    to.parent->orderLayer_toIndex(from.children[1], 1);
    to.parent->orderLayer_toIndex(from.children[1], 1);
    EXPECT_EQ(seenFrom->seen, (std::vector<std::string>{"sublayers-1", "sublayers-1!"}));
    EXPECT_EQ(seenTo->seen,
              (std::vector<std::string>{"sublayers+0", "sublayers+0!", "sublayers", "sublayers!"}));
    EXPECT_EQ(from.children[1]->superPicture(), to.parent);
    EXPECT_EQ(to.order(), "01");
}

TEST(VTLayerTree, IndexPathsAndDepthOrder) {
    const auto root = VTLayer::init();
    root->setX(12.7);
    Family first(3);
    root->addSublayer(first.parent);
    root->addSublayer(VTLayer::init());
    const auto third = first.children[2];
    EXPECT_EQ(third->indexPath(), (std::vector<int64_t>{13, 0, 2}));
    const int64_t found[] = {-40, 0, 2}, missing[] = {13, 0, 5}, negative[] = {13, -1}, one[] = {7};
    EXPECT_EQ(root->layerAtIndexPath(found), third);
    EXPECT_EQ(root->layerAtIndexPath(missing), nullptr);
    EXPECT_EQ(root->layerAtIndexPath(negative), nullptr);
    EXPECT_EQ(root->layerAtIndexPath(one), root);
    EXPECT_EQ(root->orderOfPicture(third.get()), NSNotFound);
    // A descendant orders before its ancestors, a sibling by its index.
    const std::tuple<const VTLayer*, const VTLayer*, int64_t> orders[] = {
        {third.get(), first.parent.get(), -1},
        {first.parent.get(), third.get(), +1},
        {first.children[0].get(), first.children[1].get(), -1},
        {third.get(), third.get(), 0}};
    for (const auto& [a, b, order] : orders) EXPECT_EQ(a->depthCompare(*b), order);
}

// A parent that goes away lets its children go: they become roots.
TEST(VTLayerTree, TeardownClearsParentLinks) {
    auto family = std::make_unique<Family>(2);
    const auto child = family->children[0];
    family.reset();
    EXPECT_EQ(child->superPicture(), nullptr);
    EXPECT_EQ(child->indexPath(), (std::vector<int64_t>{23}));
}
