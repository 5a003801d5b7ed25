#include "TextModule.h"

#include "LoadableModule.h"

namespace CoreTextPrivate {

const TextModule* textModule() {
    // The loader answers the same table, or null, on every call: asked once.
    static const auto* const module = static_cast<const TextModule*>(
        LoadableModule::entryTable(kTextModuleFile, kTextModuleEntry));
    return module;
}

}  // namespace CoreTextPrivate
