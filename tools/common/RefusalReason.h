#pragma once
// How the programs word a refusal (a request that ended with a failure status).

#include <string>

#include "QLGeneratorHost.h"

// The generator's own reason when it gave one (the loader's failure reason, "the document has no
// screens"), else "the generator refused the document".
std::string refusalReason(const QLRequestResult& result);
