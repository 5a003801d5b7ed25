#pragma once
// Free functions of the design tool's sources that belong to no class: timing a piece of work,
// removing a scratch file, and the editor's questions about the keyboard and the system version.

#include <functional>

#include "NSEvent.h"
#include "NSURL.h"

#pragma GCC visibility push(default)  // exported from libVantler

// `profile`: the seconds that running `work` once took, by the wall clock (a steady one: a clock
// set meanwhile does not count).
double profile(const std::function<void()>& work);

// `cleanupFile`: removes what is at the file URL's path when there is a URL and the process can
// read what is there (a folder is removed with everything in it); every failure is ignored, as is
// a URL of another scheme.
void cleanupFile(const NSURL* url);

// Whether the keyboard's current modifiers share a flag with the mask (NSEventModifierFlag...).
bool modifierPressed(NSEventModifierFlags mask);

// Whether the system is at least 10.14.0, the first with dark appearances (NSProcessInfo.h says
// what version the platform here reports).
bool isMojaveOrLater();

#pragma GCC visibility pop
