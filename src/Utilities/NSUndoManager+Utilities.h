#pragma once
// The undo manager's extension for naming a change once, when it is done, and the object extension
// that gives the manager's recording proxy for an object. Free functions taking the receiver
// first, as the other platform-class extensions of this folder are (NSCoder+geometry.h).

#include <memory>
#include <string>

#include "NSUndoManager.h"

#pragma GCC visibility push(default)  // exported from libVantler

// `setOriginalActionName:`: names the change being recorded, unless an undo or a redo is running.
// An editing operation that records its undo and names itself runs again, the other way, when its
// change is undone or redone; through this the change keeps the name it was given when it was done
// (Redo says "Bring Forward" after undoing a bring forward, although the undo ran a send backward,
// which names itself "Send Backward").
void setOriginalActionName(NSUndoManager& manager, std::string name);

// `undoProxy:`: the manager's recorder for `object` (prepareWithInvocationTarget); with no manager
// (an object outside any document), a recorder that records nothing.
template <class T>
NSUndoInvocationRecorder<T> undoProxy(const std::shared_ptr<T>& object, NSUndoManager* manager) {
    return manager ? manager->prepareWithInvocationTarget(object)
                   : NSUndoInvocationRecorder<T>(nullptr, object);
}

#pragma GCC visibility pop
