#include "NSUndoManager.h"

#include <utility>

void NSUndoManager::beginUndoGrouping() {
    ++level_;
}

void NSUndoManager::endUndoGrouping() {
    if (level_ == 0 || --level_ > 0) return;
    Group closed = std::exchange(open_, {});
    if (closed.actions.empty()) return;
    // What an undo records redoes it; everything else is undone.
    std::vector<Group>& stack = phase_ == Phase::undoing ? redoStack_ : undoStack_;
    stack.push_back(std::move(closed));
    keepWithinLevels(stack);
}

void NSUndoManager::registerAction(std::function<void()> action) {
    if (phase_ == Phase::idle) redoStack_.clear();
    const bool ownGroup = level_ == 0;
    if (ownGroup) beginUndoGrouping();
    open_.actions.push_back(std::move(action));
    if (ownGroup) endUndoGrouping();
}

void NSUndoManager::undo() {
    replay(undoStack_, Phase::undoing);
}

void NSUndoManager::redo() {
    replay(redoStack_, Phase::redoing);
}

void NSUndoManager::replay(std::vector<Group>& from, Phase phase) {
    if (phase_ != Phase::idle) return;
    if (level_ == 1) endUndoGrouping();
    if (level_ > 0 || from.empty()) return;
    const Group group = std::move(from.back());
    from.pop_back();
    phase_ = phase;
    beginUndoGrouping();
    open_.name = group.name;
    for (auto action = group.actions.rbegin(); action != group.actions.rend(); ++action)
        (*action)();
    // Groups the actions opened and left open close with the replay's own.
    level_ = 1;
    endUndoGrouping();
    phase_ = Phase::idle;
}

void NSUndoManager::setActionName(std::string name) {
    if (level_ > 0)
        open_.name = std::move(name);
    else if (!undoStack_.empty())
        undoStack_.back().name = std::move(name);
}

std::string NSUndoManager::undoActionName() const {
    return undoStack_.empty() ? std::string() : undoStack_.back().name;
}

std::string NSUndoManager::redoActionName() const {
    return redoStack_.empty() ? std::string() : redoStack_.back().name;
}

void NSUndoManager::removeAllActions() {
    undoStack_.clear();
    redoStack_.clear();
    open_ = {};
    level_ = 0;
}

void NSUndoManager::setLevelsOfUndo(size_t levels) {
    levelsOfUndo_ = levels;
    keepWithinLevels(undoStack_);
    keepWithinLevels(redoStack_);
}

void NSUndoManager::keepWithinLevels(std::vector<Group>& stack) const {
    if (levelsOfUndo_ > 0 && stack.size() > levelsOfUndo_)
        stack.erase(stack.begin(), stack.end() - static_cast<ptrdiff_t>(levelsOfUndo_));
}
