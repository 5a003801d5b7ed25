#pragma once
// How the programs word a refusal: of a file before the generator is asked, or of a request
// that ended with a failure status.

#include <string>

#include "QLGeneratorHost.h"

// The generator's own reason when it gave one (the loader's failure reason, "the document has no
// screens"), else "the generator refused the document".
std::string refusalReason(const QLRequestResult& result);

// Why the file at `path` cannot be handed to the generator (the system's reason: "No such file or
// directory", "Permission denied", "Is a directory"; "not a regular file"), or empty. The generator
// itself could only say that it found no data. A FIFO or a device would block or never end, so only
// a regular file is handed on.
std::string unreadableDocumentReason(const std::string& path);
