#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "LayerTestSupport.h"
#include "VTLayerTreeQueries.h"

using namespace layer_support;

namespace {

using Actions = std::map<std::string, int64_t>;
using Walk = bool (*)(const std::vector<std::shared_ptr<VTLayer>>&, const VTLayerTreeVisitor&);
const Walk layerWalk = enumerateLayerTrees;
// The component walk answers nothing; its rows expect true.
const Walk componentWalk = [](const std::vector<std::shared_ptr<VTLayer>>& layers,
                              const VTLayerTreeVisitor& visitor) {
    enumerateComponentsInTrees(layers, visitor);
    return true;
};

// A with children B (holding D), C and G; C and G are instances of the component screen X
// (holding x), whose prototype also has the screen Y, which holds I, another instance of X.
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
        namedLayer("G", a)->setComponentScreen(component.screen);
        namedLayer("I", y)->setComponentScreen(component.screen);
    }
};

// The names of the layers visited, steered by `actions` (by layer name); `atB` runs in B's visit.
std::string walk(Walk how, const std::vector<std::shared_ptr<VTLayer>>& layers,
                 const Actions& actions, bool* finished, const std::function<void()>& atB = {}) {
    std::string seen;
    *finished = how(layers, [&](const auto& layer, int64_t& action) {
        seen += *layer->name();
        if (actions.contains(*layer->name())) action = actions.at(*layer->name());
        if (atB && *layer->name() == "B") atB();
    });
    return seen;
}

}  // namespace

TEST(VTLayerTreeQueries, TheWalkFollowsTheVisitorsActions) {
    const std::tuple<const char*, Walk, Actions, std::string, bool> cases[] = {
        {"go on everywhere", layerWalk, {}, "ABDCG", true},
        {"skip B's children", layerWalk, {{"B", 2}}, "ABCG", true},
        {"stop at B", layerWalk, {{"B", 3}}, "AB", false},
        {"enter at a layer that is no instance", layerWalk, {{"B", 1}}, "ABDCG", true},
        {"an unknown action goes on", layerWalk, {{"B", 9}}, "ABDCG", true},
        {"enter the component", layerWalk, {{"C", 1}}, "ABDCXxYIG", true},
        // Each instance enters; I is inside the component it shows, where entering again would
        // never end.
        {"enter every instance", layerWalk, {{"C", 1}, {"G", 1}, {"I", 1}}, "ABDCXxYIGXxYI", true},
        {"stop inside the component", layerWalk, {{"C", 1}, {"x", 3}}, "ABDCXx", false},
        {"components only", componentWalk, {}, "CIGI", true},
        {"components, keeping out of one", componentWalk, {{"C", 2}}, "CGI", true},
        {"components, stopping", componentWalk, {{"I", 3}}, "CI", true},
    };
    for (const auto& [name, how, actions, visited, finishes] : cases) {
        SCOPED_TRACE(name);
        Trees trees;
        bool finished = false;
        EXPECT_EQ(walk(how, {trees.a}, actions, &finished), visited);
        EXPECT_EQ(finished, finishes);
    }
}

// Lists are copied before they are walked; a layer's children are taken after its visit.
TEST(VTLayerTreeQueries, TheVisitorMayChangeTheTrees) {
    Trees trees;
    bool finished = false;
    EXPECT_EQ(walk(layerWalk, {trees.a}, {}, &finished,
                   [&] {
                       trees.c->removeFromSuperPicture();
                       namedLayer("E", trees.a);
                       namedLayer("F", trees.b);
                   }),
              "ABDFCG");
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
    const auto home = VTScreen::init();
    document->addScreen(home);
    const auto inX = namedLayer("x", component.screen);
    namedLayer("instance", home)->setComponentScreen(component.screen);
    EXPECT_EQ(screensAffectedByLayers({inX}), (VTScreenSet{component.screen, home}));
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
