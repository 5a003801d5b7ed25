#pragma once
// Why the generator refused a document (answered 1): the generator does not say (Part 1.1 "Failure
// handling": the error is not shown), so the document is loaded again here to ask the loader.

#include <string>

// The loader's failure reason (Part 2.2), "the document has no screens" when it loads without
// any, or "the generator refused the document" when it loads with screens.
std::string refusalReason(const std::string& path);
