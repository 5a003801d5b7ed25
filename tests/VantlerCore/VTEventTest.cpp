#include <gtest/gtest.h>

#include "LayerTestSupport.h"
#include "VTEvent.h"

using namespace layer_support;
using Layers = std::vector<std::shared_ptr<VTLayer>>;

TEST(VTEvent, TypeNamesAndTouches) {
    const char* const names[] = {"Tap",          "Drag Begins",   "Unknown event type",
                                 "Drag Ends",    "Scroll Begins", "Unknown event type",
                                 "Scroll Ends",  "Auto",          "Scroll Released",
                                 "Touch Down",   "Touch Up",      "Long Press",
                                 "Hover Inside", "Hover Outside", "Component Event"};
    const std::string touches = "110110101111000";
    for (int64_t type = -1; type <= 15; ++type) {
        SCOPED_TRACE(type);
        const bool known = type >= 0 && type < 15;
        EXPECT_EQ(stringForEventType(type), known ? names[type] : "Unknown event type");
        EXPECT_EQ(isTouchEvent(type), known && touches[static_cast<size_t>(type)] == '1');
    }
}

TEST(VTEvent, Labels) {
    const auto home = VTScreen::init();
    home->setName("Home");
    const auto button = namedLayer("Button", home);
    const struct {
        VTEventType type;
        std::shared_ptr<VTLayer> source, destination;
        std::optional<std::string> trigger, sent;
        std::string sourceText, name;
    } cases[] = {
        {0, button, nullptr, {}, {}, "Button Tap", "Button Tap"},
        {0, button, home, {}, "done", "Button Tap", "Button Tap \u2192 Home done"},
        {0, button, nullptr, {}, "done", "Button Tap", "Button Tap \u2B06\uFE0E done"},
        {12, button, home, "ping", {}, "Button ping", "Button ping"},
        {14, home, nullptr, "next", {}, "next", "next"},
        // A component event without a message is labelled by its type.
        {14, button, nullptr, {}, {}, "Button Component Event", "Button Component Event"},
        {14, home, nullptr, {}, {}, "Component Event", "Component Event"},
        {99, nullptr, nullptr, {}, {}, "(null) Unknown event type", "(null) Unknown event type"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto event = VTEvent::initWithType(c.type);
        event->setSource(c.source);
        event->setDestination(c.destination);
        event->setTriggerMessage(c.trigger);
        event->setSentMessage(c.sent);
        EXPECT_EQ(event->sourceText(), c.sourceText);
        EXPECT_EQ(event->name(), c.name);
        EXPECT_EQ(event->description(), "type: " + c.name + ": " + (c.source ? "Home" : "(null)") +
                                            " -> " + (c.destination ? "Home" : "(null)"));
    }
}

TEST(VTEvent, FiltersKeepTheOrder) {
    const auto target = VTLayer::init();
    std::vector<std::shared_ptr<VTEvent>> events;
    for (const VTEventType type : {0, 1, 3, 4, 1}) events.push_back(VTEvent::initWithType(type));
    events[1]->setDestination(target);
    events[4]->setDestination(target);
    EXPECT_TRUE(eventsInArrayWithType(events, 0).empty());
    EXPECT_EQ(eventsInArrayWithType(events, 1), (std::vector{events[1], events[2], events[4]}));
    EXPECT_EQ(eventsInArrayTriggeringState(events, target.get()),
              (std::vector{events[1], events[4]}));
}

// Comparison looks at the type alone. "name" follows "type" and "source".
TEST(VTEvent, CopyComparisonAndNameChanges) {
    const auto event = VTEvent::initWithType(9);
    const auto copy = event->copy();
    EXPECT_TRUE(copy->isApproximatlyEqualToEvent(*VTEvent::initWithType(9)));
    EXPECT_FALSE(copy->isApproximatlyEqualToEvent(*VTEvent::initWithType(10)));
    EXPECT_FALSE(copy->isApproximatlyEqualToEvent(*VTLayer::init()));
    const auto recorder = observe(*event, {"name"});
    event->setType(3);
    event->setSource(nullptr);
    event->setSentMessage("x");
    EXPECT_EQ(recorder->seen, (std::vector<std::string>{"name", "name!", "name", "name!"}));
}

// Layers pair by name when they agree on having a text; the inside of an instance takes no part.
TEST(VTEvent, MappingPairsLayersByName) {
    ComponentScreen component;
    const auto from = VTScreen::init(), to = VTScreen::init();
    const auto card = namedLayer("Card", from), title = namedLayer("Title", from),
               instance = namedLayer("Inside", from), lone = namedLayer("Lone", from);
    const auto toCard = namedLayer("Card", to), secondCard = namedLayer("Card", to),
               toTitle = namedLayer("Title", to), toInstance = namedLayer("Inside", to);
    title->_VTSimulatorOnly_setText("T");
    for (const auto& layer : {instance, toInstance}) {
        namedLayer("Hidden", layer);
        layer->setComponentScreen(component.screen);
    }
    const auto event = VTEvent::init();
    event->setSource(card);
    event->setDestination(toCard);
    Layers removed, added;
    EXPECT_EQ(event->mappingOutRemoved_outAdded(&removed, &added),
              (VTLayerMapping{{from, to}, {card, toCard}, {instance, toInstance}}));
    EXPECT_EQ(removed, (Layers{title, lone}));
    EXPECT_EQ(added, (Layers{secondCard, toTitle}));
    // A missing screen pairs with nothing.
    EXPECT_TRUE(VTEvent::mappingFrom_to_outRemoved_outAdded(nullptr, to, &removed, &added).empty());
    EXPECT_EQ(added.front(), to);
    EXPECT_EQ(added.size(), 5u);
    EXPECT_TRUE(
        VTEvent::mappingFrom_to_outRemoved_outAdded(from, nullptr, &removed, &added).empty());
    EXPECT_EQ(removed.front(), from);
    EXPECT_TRUE(added.empty());
}
