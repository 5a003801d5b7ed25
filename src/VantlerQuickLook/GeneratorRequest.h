#pragma once
// The opening that both request handlers share (Part 1.1 "Algorithms", steps 2 to 7).

#include <memory>

#include "CFPlugIn.h"
#include "VTPrototype.h"

// Steps 2 to 4: a copy of the non-empty bytes under "kVantlerThumbnailKey", made while the archive
// is alive, or none. The bytes are not validated. A file that can't be read or isn't a keyed
// archive gives none here (Part 1.1 "Left to the implementer": the request then goes on to load
// the document, which fails with status 1).
std::shared_ptr<NSData> copyEmbeddedThumbnail(CFURLRef url);

// Steps 5 to 7: sets the calling thread's image decoding style to 1 and loads the document; none
// when loading fails or the prototype has no entry screen.
std::shared_ptr<VTPrototype> loadPrototypeToDraw(CFURLRef url);

// Part 1.1 "Status": what the handlers return.
inline constexpr OSStatus kGeneratorSuccess = 0;
inline constexpr OSStatus kGeneratorFailure = 1;

// Runs one handler's body so that no exception leaves the plug-in into the host: anything the
// model did not turn into an error value itself (memory exhaustion) ends the request with status 1.
template <class Body>
OSStatus runRequest(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return kGeneratorFailure;
    }
}
