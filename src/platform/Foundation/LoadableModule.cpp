#include "LoadableModule.h"

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <string>

#include "NSLog.h"

namespace {

// The folder this library was loaded from, with its trailing "/".
std::string libraryFolder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<const void*>(&LoadableModule::entryTable), &info) ||
        !info.dli_fname)
        return {};
    const std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

const void* load(const std::string& fileName, const char* entryName) {
    const std::string path = libraryFolder() + fileName;
    // RTLD_LOCAL: the module's libraries (FFmpeg, pango...) stay out of the symbols that later
    // modules and plug-ins resolve against.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* reason = dlerror();
        NSLog("Could not load " + path + ": " + (reason ? reason : "unknown error"));
        return nullptr;
    }
    using Entry = const void* (*)();
    const auto entry = reinterpret_cast<Entry>(dlsym(module, entryName));
    if (!entry) {
        NSLog("Could not load " + path + ": it has no " + entryName);
        return nullptr;
    }
    return entry();
}

}  // namespace

namespace LoadableModule {

const void* entryTable(std::string_view fileName, const char* entryName) {
    static std::mutex lock;
    // Per module: its table, null when loading failed (not tried again).
    static std::map<std::string, const void*, std::less<>> tables;
    std::lock_guard guard(lock);
    if (const auto found = tables.find(fileName); found != tables.end()) return found->second;
    const std::string name(fileName);
    return tables.emplace(name, load(name, entryName)).first->second;
}

}  // namespace LoadableModule
