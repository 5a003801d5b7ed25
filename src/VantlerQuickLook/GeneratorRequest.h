#pragma once
// The opening that both request handlers share: the document is read once, its embedded thumbnail
// looked for, and otherwise the document loaded to be drawn.

#include <memory>
#include <string>

#include "CFPlugIn.h"
#include "NSData.h"
#include "VTPrototype.h"

// The document's bytes, read once for the whole request (mapped when safe) and handed to both the
// thumbnail probe and the loader; none for a URL that is not a file's or a file that can't be read.
std::shared_ptr<const NSData> readDocument(CFURLRef url);

// A copy of the non-empty bytes under "kVantlerThumbnailKey", made while the archive is alive, or
// none. The bytes are not validated. Bytes that aren't a keyed archive give none here: the request
// then goes on to load the document, which fails and says why.
std::shared_ptr<NSData> copyEmbeddedThumbnail(const std::shared_ptr<const NSData>& document);

// Sets the calling thread's image decoding style to 1 (video and audio files are not unpacked to
// disk) and loads the document from its bytes; none when loading fails or the prototype has no
// entry screen, with `reason` set to why in words a host can show: the loader's failure reason, or
// "the document has no screens".
std::shared_ptr<VTPrototype> loadPrototypeToDraw(const std::shared_ptr<const NSData>& document,
                                                 std::string* reason);

// What the handlers return.
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
