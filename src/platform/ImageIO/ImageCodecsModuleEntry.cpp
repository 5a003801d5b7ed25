// The entry of VantlerImageCodecs.so (ImageCodecsModule.h).

#include "ImageCodecsModule.h"
#include "LoadableModule.h"

using namespace ImageIOPrivate;

VANTLER_MODULE_ENTRY(VantlerImageCodecsModule, ImageCodecsModule) {
    static constexpr ImageCodecsModule kTable{decodeGIF, decodeTIFF, decodeWebP, decodeHEIF};
    return &kTable;
}
