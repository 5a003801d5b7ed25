#pragma once
// Whether an appearance is a dark one, for views that pick their colours by it.

#include "NSAppearance.h"

#pragma GCC visibility push(default)  // exported from libVantler

// False on a platform without dark appearances; otherwise whether the appearance's best match
// between dark and light Aqua is the dark one.
bool isDark(const NSAppearance& appearance);

#pragma GCC visibility pop
