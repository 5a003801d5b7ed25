#pragma once
// Modules of the library's own, loaded on first use: what only some documents need (FFmpeg, the
// rarer image codecs, text shaping, the XML parser) is linked into a module beside libVantler.so
// instead of into the library, so that a process maps it, and runs its code, only when a document
// needs it.
//
// A module exports one C function, its entry, that answers a table of functions (the stand-in's
// interface to it, declared in a header that both sides include). Modules are never unloaded, so
// a table stays valid until the process ends.

#include <string_view>

#pragma GCC visibility push(default)  // exported from libVantler

namespace LoadableModule {

// The table that `entryName` of the module file `fileName` answers. The module is loaded from the
// folder libVantler.so was loaded from, on the first call for it (thread-safe; later calls answer
// the same table without loading anything). Null when the module, or a library it needs, cannot
// be loaded: logged once, and the caller takes its path for data it cannot read.
const void* entryTable(std::string_view fileName, const char* entryName);

// entryTable as the `Table` both sides declare. Each module's header wraps it in an accessor.
template <class Table>
const Table* table(std::string_view fileName, const char* entryName) {
    return static_cast<const Table*>(entryTable(fileName, entryName));
}

}  // namespace LoadableModule

// The entry of a module, followed by the body of a function that answers its table (`Table`, the
// interface both sides declare). The exported function itself answers `const void*`, the type the
// loader calls it through: calling a function through a pointer of another type is undefined.
#define VANTLER_MODULE_ENTRY(entryName, Table)                                  \
    static const Table* entryName##_table();                                    \
    extern "C" __attribute__((visibility("default"))) const void* entryName() { \
        return entryName##_table();                                             \
    }                                                                           \
    static const Table* entryName##_table()

#pragma GCC visibility pop
