#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "LayerTestSupport.h"
#include "VTLayerTreeQueries.h"

using namespace layer_support;

namespace {

using Actions = std::map<std::string, int64_t>;

// A with children B (holding D) and C; C is an instance of the component screen X (holding x),
// whose prototype also has the screen Y, which holds I, another instance of X.
struct Trees {
    ComponentScreen component;
    std::shared_ptr<VTLayer> a = namedLayer("A"), b = namedLayer("B", a), d = namedLayer("D", b),
                             c = namedLayer("C", a), x = namedLayer("x", component.screen);
    Trees() {
        const auto y = VTScreen::init();
        component.screen->setName("X");
        y->setName("Y");
        component.prototype->addScreen(component.screen);
        component.prototype->addScreen(y);
        c->setComponentScreen(component.screen);
        namedLayer("I", y)->setComponentScreen(component.screen);
    }
};

// The names of the layers visited, steered by `actions` (by layer name); `atB` runs in B's visit.
std::string walk(const std::vector<std::shared_ptr<VTLayer>>& layers, const Actions& actions,
                 bool* finished, const std::function<void()>& atB = nullptr) {
    std::string seen;
    *finished = enumerateLayerTrees(layers, [&](const auto& layer, int64_t& action) {
        seen += *layer->name();
        if (actions.contains(*layer->name())) action = actions.at(*layer->name());
        if (atB && *layer->name() == "B") atB();
    });
    return seen;
}

}  // namespace

TEST(VTLayerTreeQueries, TheWalkFollowsTheVisitorsActions) {
    const std::tuple<const char*, Actions, std::string, bool> cases[] = {
        {"go on everywhere", {}, "ABDC", true},
        {"skip B's children", {{"B", 2}}, "ABC", true},
        {"stop at B", {{"B", 3}}, "AB", false},
        {"enter at a layer that is no instance", {{"B", 1}}, "ABDC", true},
        {"an unknown action goes on", {{"B", 9}}, "ABDC", true},
        {"enter the component", {{"C", 1}}, "ABDCXxYI", true},
        // I is inside the component it shows: entering it again would never end.
        {"enter an instance inside its own component", {{"C", 1}, {"I", 1}}, "ABDCXxYI", true},
        {"stop inside the component", {{"C", 1}, {"x", 3}}, "ABDCXx", false},
    };
    for (const auto& [name, actions, visited, finishes] : cases) {
        SCOPED_TRACE(name);
        Trees trees;
        bool finished = false;
        EXPECT_EQ(walk({trees.a}, actions, &finished), visited);
        EXPECT_EQ(finished, finishes);
    }
}

// Lists are copied before they are walked; a layer's children are taken after its visit.
TEST(VTLayerTreeQueries, TheVisitorMayChangeTheTrees) {
    Trees trees;
    bool finished = false;
    EXPECT_EQ(walk({trees.a}, {}, &finished,
                   [&] {
                       trees.c->removeFromSuperPicture();
                       namedLayer("E", trees.a);
                       namedLayer("F", trees.b);
                   }),
              "ABDFC");
}

// By default the walk goes on inside each instance, once for every instance met.
TEST(VTLayerTreeQueries, ComponentWalkShowsOnlyInstances) {
    ComponentScreen outer, inner;
    const auto screen = VTScreen::init();
    for (const char* name : {"1", "2"}) namedLayer(name, screen)->setComponentScreen(outer.screen);
    namedLayer("j", outer.screen)->setComponentScreen(inner.screen);
    outer.prototype->addScreen(outer.screen);
    for (const auto& [actions, expected] : std::vector<std::pair<Actions, std::string>>{
             {{}, "1j2j"}, {{{"1", 2}}, "12j"}, {{{"j", 3}}, "1j"}}) {
        std::string seen;
        enumerateComponentsInTrees({screen}, [&](const auto& layer, int64_t& action) {
            seen += *layer->name();
            if (actions.contains(*layer->name())) action = actions.at(*layer->name());
        });
        EXPECT_EQ(seen, expected);
    }
}

// Extents are half-open: the right and bottom edges lie outside.
TEST(VTLayerTreeQueries, HitTestingExtentsAndScreens) {
    const auto s1 = VTScreen::init(), s2 = VTScreen::init();
    const auto back = namedLayer("back", s1), front = namedLayer("front", s2);  // 44 × 44
    front->setPosition({42, 42});
    const std::vector<std::shared_ptr<VTLayer>> layers{back, front};
    EXPECT_EQ(layerAtLocation(layers, {30, 30}), front);
    EXPECT_EQ(layerAtLocation(layers, {10, 10}), back);
    EXPECT_EQ(layerAtLocation(layers, {44, 10}), nullptr);
    EXPECT_EQ(extentsForLayers({}), CGRectZero);
    EXPECT_EQ(extentsForLayers(layers), CGRectMake(0, 0, 64, 64));
    EXPECT_EQ(screensOfLayers({front, namedLayer("outside"), back, s2}),
              (std::vector<std::shared_ptr<VTScreen>>{s2, s1}));
}

// A screen is affected through the instances of affected screens, up the chain of components; a
// chain that comes back to a screen met before ends there.
TEST(VTLayerTreeQueries, ScreensAffectedThroughComponents) {
    ComponentScreen component;
    const auto document = VTPrototype::init();
    const auto home = VTScreen::init(), other = VTScreen::init();
    document->addScreen(home);
    document->addScreen(other);
    const auto inX = namedLayer("x", component.screen);
    namedLayer("instance", home)->setComponentScreen(component.screen);
    EXPECT_EQ(screensAffectedByLayers({inX}), (VTScreenSet{component.screen, home}));
    EXPECT_EQ(screensAffectedByLayers({namedLayer("o", other)}), VTScreenSet{other});
    const auto back = namedLayer("back", component.screen);
    back->setComponentScreen(home);
    EXPECT_EQ(screensAffectedByLayers({inX}), (VTScreenSet{component.screen, home}));
    back->setComponentScreen(nullptr);  // the two screens would hold each other alive
    VTPrototypeSet visited{component.prototype};
    EXPECT_EQ(_screensAffectedByLayers({inX}, &visited), VTScreenSet{component.screen});
}

TEST(VTLayerTreeQueries, OnlyTheTwoScrollingBehaviorsScroll) {
    for (const auto& [behavior, scrolls] : std::vector<std::pair<int64_t, bool>>{
             {0, false}, {1, true}, {2, true}, {3, false}, {-1, false}, {INT64_MIN, false}})
        EXPECT_EQ(isScrollableBehavior(behavior), scrolls) << behavior;
}
