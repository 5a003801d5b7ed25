#pragma once
// The check both programs make of the picture a document carries before they use it. The generator
// hands the carried PNG over unread; written out as it is, a damaged one would reach a file manager
// as a broken thumbnail, and a huge one would cost whoever decodes it gigabytes.

#include <memory>
#include <string>

#include "CGImage.h"

class NSData;

// The carried picture `png` decoded, when it is a picture the image reader knows (a PNG, as
// documents carry, or another format), within the host's surface budget, that decodes in full;
// otherwise null, and `problem` says what is wrong ("the document's thumbnail is not a PNG",
// "... is 30000 × 30000 pixels, over the limit ..."). A PNG's size is checked from its header,
// before it is decoded.
CGImageRef decodeCarriedThumbnail(const std::shared_ptr<const NSData>& png, std::string* problem);
