#pragma once
// What the document library's users do with a document that loaded, for the fuzzers that load
// documents from any bytes: every read of the model, the edits an editor makes, and a save that
// must load again. A loaded document is as hostile as its bytes, so every value these operations
// meet may be NaN, infinite, enormous or contradictory; a crash, a hang, a leak or unbounded
// recursion is a bug.

#include <memory>

#include "VTPrototype.h"

// Compares the document with itself, copies and compares every screen, applies the links, names
// and maps every transition, and describes and places every layer.
void readWholeDocument(const VTPrototype& prototype);

// The edits an editor makes, on the first screens' layers (a bounded number, so that a document
// of many layers costs no more than a typical one): every numeric property read and written back,
// changed and restored; animation timing read, copied and stored; the layer moved through the
// world's and its screen's spaces, and one place forward and back; hit testing and extents; those
// screens' links, their first keyframes looked up, mapped and captured; every transition copied;
// a copy of a screen added and removed again; an instance made of every component screen.
void editDocument(const std::shared_ptr<VTPrototype>& prototype);

// Saves the document as the library saves it (with the picture of its entry screen), which must
// succeed, and loads the saved bytes, which must load: a document that opened is never lost by
// saving it. Aborts with the writer's or the loader's reason otherwise.
void requireSavesAndLoadsAgain(const std::shared_ptr<const VTPrototype>& prototype);
