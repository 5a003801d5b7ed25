// The entry of VantlerMedia.so (MediaModule.h).

#include "LoadableModule.h"
#include "MediaModule.h"

using namespace AVFoundationPrivate;

VANTLER_MODULE_ENTRY(VantlerMediaModule, MediaModule) {
    static constexpr MediaModule kTable{mediaFileFacts, mediaFrameAtTime, probedDemuxerNames};
    return &kTable;
}
