#pragma once
// A mapped file may be truncated or rewritten by another program while it is read: a page beyond
// the file's new end then raises SIGBUS on the first touch, which would kill the process (a
// thumbnailer run on a download that is still being written). A guarded mapping turns such a page
// into zeros instead, so the reader sees a damaged file, which it refuses or draws as it finds it.
//
// The guard is a SIGBUS handler, installed with the first guarded mapping. A fault outside every
// guarded mapping goes to the handler that was there before, or kills the process as SIGBUS does.

#include <cstddef>

// Guards [address, address + length) until unguardMapping. False when too many mappings are
// guarded at once: the caller then reads the file instead.
bool guardMapping(const void* address, size_t length);
// Ends the guard; called before the mapping is unmapped.
void unguardMapping(const void* address);
