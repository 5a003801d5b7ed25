#pragma once
// Foundation's NSUndoManager, reduced to what the design tool's editing code relies on: actions
// recorded as closures on a target, gathered into groups that are undone and redone as one, with
// the names the Undo and Redo menu items show.
//
// Groups are explicit (Foundation's groupsByEvent off: there is no run loop to close them): an
// action registered while no group is open makes a group of its own. Groups opened inside a group
// are part of it. While an undo runs, what its actions register is the group that redoes it; while
// a redo runs, what they register goes back onto the undo stack. Registering anything else clears
// the redo stack: a new change ends the line of redos.
//
// The manager holds its targets weakly, as Foundation keeps them unretained: an action whose target
// has gone away is skipped when its group is undone or redone. Used by one thread at a time.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "NSObject.h"

#pragma GCC visibility push(default)  // exported from libVantler

template <class T>
class NSUndoInvocationRecorder;

class NSUndoManager : public NSObject {
  public:
    NS_CLASS_RECORD("NSUndoManager", NSObject::objcClass())

    static std::shared_ptr<NSUndoManager> init() { return std::make_shared<NSUndoManager>(); }

    // Records that undoing the current change means calling `handler` with `target` (held
    // weakly). Nothing is recorded for a null target.
    template <class T>
    void registerUndoWithTarget_handler(
        const std::shared_ptr<T>& target,
        std::type_identity_t<std::function<void(const std::shared_ptr<T>&)>> handler) {
        if (!target || !handler) return;
        registerAction([weak = std::weak_ptr<T>(target), handler = std::move(handler)] {
            if (const std::shared_ptr<T> alive = weak.lock()) handler(alive);
        });
    }
    // A recorder through which the caller records the undo of the current change as a call on
    // `target`: `manager->prepareWithInvocationTarget(layer).record([old](VTLayer& l) {
    // l.setName(old); })`.
    template <class T>
    NSUndoInvocationRecorder<T> prepareWithInvocationTarget(const std::shared_ptr<T>& target) {
        return NSUndoInvocationRecorder<T>(this, target);
    }

    // Opens a group; groups nest, and only the outermost one becomes an entry of a stack.
    void beginUndoGrouping();
    // Closes the innermost open group. An outermost group that recorded nothing is dropped. Nothing
    // when no group is open (Foundation raises).
    void endUndoGrouping();
    // How many groups are open.
    size_t groupingLevel() const { return level_; }

    // Undoes the last group of the undo stack, its actions in the reverse order of their
    // registration. An open outermost group is closed first; nothing happens with more than one
    // open (Foundation raises), nor while an undo or a redo runs.
    void undo();
    // Redoes the last group of the redo stack, likewise.
    void redo();
    bool canUndo() const { return !undoStack_.empty(); }
    bool canRedo() const { return !redoStack_.empty(); }
    bool isUndoing() const { return phase_ == Phase::undoing; }
    bool isRedoing() const { return phase_ == Phase::redoing; }

    // Names the change being recorded: the open group, else the last group of the undo stack. An
    // undo or a redo starts its group with the name of the group it undoes or redoes, so setting a
    // name while one runs renames that change.
    void setActionName(std::string name);
    // The names of the groups undo and redo would take; "" when there is none.
    std::string undoActionName() const;
    std::string redoActionName() const;

    // Forgets every group, also the open ones.
    void removeAllActions();

    // The most groups a stack keeps (0: no limit); beyond it the oldest are dropped.
    size_t levelsOfUndo() const { return levelsOfUndo_; }
    void setLevelsOfUndo(size_t levels);

  private:
    enum class Phase { idle, undoing, redoing };
    struct Group {
        std::vector<std::function<void()>> actions;
        std::string name;
    };

    void registerAction(std::function<void()> action);
    // Runs the last group of `from` in reverse while in `phase`; what it registers becomes a group
    // of the other stack.
    void replay(std::vector<Group>& from, Phase phase);
    void keepWithinLevels(std::vector<Group>& stack) const;

    std::vector<Group> undoStack_;
    std::vector<Group> redoStack_;
    Group open_;  // the group being recorded while level_ > 0
    size_t level_ = 0;
    Phase phase_ = Phase::idle;
    size_t levelsOfUndo_ = 0;
};

// What prepareWithInvocationTarget gives: records one closure on its target with the manager it
// came from. A recorder without a manager records nothing (Foundation's message to no manager).
template <class T>
class NSUndoInvocationRecorder {
  public:
    NSUndoInvocationRecorder(NSUndoManager* manager, std::shared_ptr<T> target)
        : manager_(manager), target_(std::move(target)) {}

    void record(std::function<void(T&)> invocation) const {
        if (!manager_ || !invocation) return;
        manager_->registerUndoWithTarget_handler(
            target_, [invocation = std::move(invocation)](const std::shared_ptr<T>& target) {
                invocation(*target);
            });
    }

  private:
    NSUndoManager* manager_;
    std::shared_ptr<T> target_;
};

#pragma GCC visibility pop
