#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "NSUndoManager+Utilities.h"

namespace {

// A list whose editing operation names itself by its direction, as an editor's "Bring Forward"
// and "Send Backward" do, and records the move the other way as its undo.
struct Stack : std::enable_shared_from_this<Stack> {
    std::vector<std::string> items{"a", "b"};
};

using NameSetter = void (*)(NSUndoManager&, std::string);

void move(const std::shared_ptr<Stack>& stack, NSUndoManager& manager, bool forward,
          NameSetter name) {
    std::swap(stack->items[0], stack->items[1]);
    undoProxy(stack, &manager).record([&manager, forward, name](Stack& s) {
        move(s.shared_from_this(), manager, !forward, name);
    });
    name(manager, forward ? "Bring Forward" : "Send Backward");
}

}  // namespace

TEST(NSUndoManagerUtilities, SetOriginalActionNameKeepsTheNameThroughUndoAndRedo) {
    const NameSetter original = [](NSUndoManager& m, std::string n) {
        setOriginalActionName(m, std::move(n));
    };
    const NameSetter plain = [](NSUndoManager& m, std::string n) { m.setActionName(std::move(n)); };
    for (const bool keeps : {true, false}) {
        SCOPED_TRACE(keeps ? "setOriginalActionName" : "setActionName");
        NSUndoManager manager;
        const auto stack = std::make_shared<Stack>();
        move(stack, manager, true, keeps ? original : plain);
        EXPECT_EQ(manager.undoActionName(), "Bring Forward");
        manager.undo();
        EXPECT_EQ(stack->items, (std::vector<std::string>{"a", "b"}));
        EXPECT_EQ(manager.redoActionName(), keeps ? "Bring Forward" : "Send Backward");
        manager.redo();
        EXPECT_EQ(stack->items, (std::vector<std::string>{"b", "a"}));
        EXPECT_EQ(manager.undoActionName(), "Bring Forward");
    }
}

TEST(NSUndoManagerUtilities, UndoProxyWithoutAManagerRecordsNothing) {
    const auto stack = std::make_shared<Stack>();
    bool ran = false;
    undoProxy(stack, nullptr).record([&](Stack&) { ran = true; });
    NSUndoManager manager;
    manager.undo();
    EXPECT_FALSE(ran);
}
