// The undo manager: groups undone as one in reverse order, what an undo records becoming the redo,
// the redo line ended by a new change, names, the limit of levels, and targets held weakly.

#include "NSUndoManager.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A document of one text with an edit history: every change records its own undo.
struct Text {
    std::string value;
};

void setText(NSUndoManager& manager, const std::shared_ptr<Text>& text, std::string value) {
    manager.registerUndoWithTarget_handler(
        text, [&manager, old = text->value](const std::shared_ptr<Text>& target) {
            setText(manager, target, old);
        });
    text->value = std::move(value);
}

}  // namespace

TEST(NSUndoManager, UndoAndRedoAGroupAsOneInReverseOrder) {
    NSUndoManager manager;
    const auto text = std::make_shared<Text>(Text{"a"});
    std::vector<std::string> undone;
    manager.beginUndoGrouping();
    setText(manager, text, "b");
    manager.beginUndoGrouping();  // a group inside is part of the outer one
    setText(manager, text, "c");
    manager.endUndoGrouping();
    manager.registerUndoWithTarget_handler(
        text, [&](const std::shared_ptr<Text>& t) { undone.push_back(t->value); });
    manager.endUndoGrouping();
    manager.setActionName("Type");
    EXPECT_EQ(manager.groupingLevel(), 0u);

    manager.undo();
    EXPECT_EQ(text->value, "a");
    EXPECT_EQ(undone, std::vector<std::string>{"c"});  // the last registered ran first
    EXPECT_FALSE(manager.canUndo());
    EXPECT_EQ(manager.redoActionName(), "Type");
    manager.redo();
    EXPECT_EQ(text->value, "c");
    EXPECT_EQ(manager.undoActionName(), "Type");
    EXPECT_FALSE(manager.canRedo());
    manager.undo();
    EXPECT_EQ(text->value, "a");
}

TEST(NSUndoManager, EachChangeOutsideAGroupIsOneStepAndANewChangeEndsTheRedos) {
    NSUndoManager manager;
    const auto text = std::make_shared<Text>(Text{"a"});
    setText(manager, text, "b");
    setText(manager, text, "c");
    manager.undo();
    EXPECT_EQ(text->value, "b");
    EXPECT_TRUE(manager.canRedo());
    setText(manager, text, "d");
    EXPECT_FALSE(manager.canRedo());
    manager.undo();
    manager.undo();
    EXPECT_EQ(text->value, "a");
    EXPECT_FALSE(manager.canUndo());
    manager.undo();  // nothing left: nothing happens
    EXPECT_EQ(text->value, "a");
    // An open group is closed by undo; groups nested in it are not.
    manager.beginUndoGrouping();
    setText(manager, text, "e");
    manager.undo();
    EXPECT_EQ(text->value, "a");
    manager.beginUndoGrouping();
    manager.beginUndoGrouping();
    setText(manager, text, "f");
    manager.undo();
    EXPECT_EQ(text->value, "f");
}

TEST(NSUndoManager, UndoingAndRedoingAreTrueOnlyWhileTheActionsRun) {
    NSUndoManager manager;
    const auto text = std::make_shared<Text>();
    std::vector<std::pair<bool, bool>> states;
    const auto note = [&](const std::shared_ptr<Text>& target) {
        states.emplace_back(manager.isUndoing(), manager.isRedoing());
        manager.registerUndoWithTarget_handler(target, [&](const std::shared_ptr<Text>&) {
            states.emplace_back(manager.isUndoing(), manager.isRedoing());
        });
    };
    manager.registerUndoWithTarget_handler(text, note);
    manager.undo();
    manager.redo();
    EXPECT_EQ(states, (std::vector<std::pair<bool, bool>>{{true, false}, {false, true}}));
    EXPECT_FALSE(manager.isUndoing() || manager.isRedoing());
}

TEST(NSUndoManager, LevelsOfUndoKeepTheNewestGroups) {
    NSUndoManager manager;
    const auto text = std::make_shared<Text>(Text{"0"});
    manager.setLevelsOfUndo(2);
    for (const char* value : {"1", "2", "3"}) setText(manager, text, value);
    manager.undo();
    manager.undo();
    EXPECT_FALSE(manager.canUndo());
    EXPECT_EQ(text->value, "1");
    setText(manager, text, "4");
    setText(manager, text, "5");
    manager.setLevelsOfUndo(1);
    manager.undo();
    EXPECT_EQ(text->value, "4");
    EXPECT_FALSE(manager.canUndo());
}

TEST(NSUndoManager, ActionsOfAGoneTargetAreSkipped) {
    NSUndoManager manager;
    const auto kept = std::make_shared<Text>(Text{"a"});
    auto gone = std::make_shared<Text>(Text{"x"});
    manager.beginUndoGrouping();
    setText(manager, kept, "b");
    setText(manager, gone, "y");
    manager.endUndoGrouping();
    gone.reset();
    manager.undo();
    EXPECT_EQ(kept->value, "a");
    manager.redo();
    EXPECT_EQ(kept->value, "b");
}

// Removing every action leaves nothing to undo, recorded closures included.
TEST(NSUndoManager, RemoveAllActionsDropsRecordedClosures) {
    NSUndoManager manager;
    const auto text = std::make_shared<Text>(Text{"a"});
    manager.prepareWithInvocationTarget(text).record([](Text& t) { t.value = "undone"; });
    EXPECT_TRUE(manager.canUndo());
    manager.removeAllActions();
    EXPECT_FALSE(manager.canUndo());
}
