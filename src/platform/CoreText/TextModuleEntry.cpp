// The entry of VantlerText.so (TextModule.h).

#include "CTFontCatalog.h"
#include "LoadableModule.h"
#include "PangoTypesetter.h"

using namespace CoreTextPrivate;

VANTLER_MODULE_ENTRY(VantlerTextModule, TextModule) {
    static constexpr TextModule kTable{
        [](std::string_view name) { return FontCatalog::shared().installedFontRequest(name); },
        [](const FontRequest& request) { return FontCatalog::shared().faceFor(request); },
        typesetParagraph,
        typesetSingleLine,
        drawLine,
    };
    return &kTable;
}
