// Loading a generator plug-in and handing it requests, as the QuickLook daemon does: factory,
// query, release.

#include "QLGeneratorHost.h"

#include <dlfcn.h>

#include <filesystem>
#include <map>
#include <mutex>

#include "CFPlugInPrivate.h"
#include "NSString.h"
#include "NSURL.h"
#include "QLRequestPrivate.h"

namespace {

constexpr const char* kFactoryName = "QuickLookGeneratorPluginFactory";

// The instance pointer points to a pointer to its interface table (the record's first field).
const QLGeneratorInterfaceStruct* tableOf(void* instance) {
    return instance ? *static_cast<QLGeneratorInterfaceStruct* const*>(instance) : nullptr;
}

void releaseInstance(void* instance) {
    const auto* table = tableOf(instance);
    if (table && table->Release) table->Release(instance);
}

// The hosts alive per loaded plug-in (dlopen handle): each holds one dlopen reference and one
// instance.
struct LoadedPlugIns {
    std::mutex mutex;
    std::map<void*, size_t> hosts;
};

LoadedPlugIns& loadedPlugIns() {
    static auto* loaded = new LoadedPlugIns;  // kept to the end: a host may outlive static data
    return *loaded;
}

// Drops one dlopen reference to a plug-in, that of a host (`wasHost`) or of a failed load, unless
// more instances of its factory are live than the other hosts hold: a leaked instance's code could
// still be called, and no host's reference would keep it mapped (the live-instance count is what
// tells a host it may unload).
void unload(void* library, CFUUIDRef factoryID, bool wasHost) {
    auto& loaded = loadedPlugIns();
    std::lock_guard lock(loaded.mutex);
    size_t otherHosts = 0;
    if (const auto it = loaded.hosts.find(library); it != loaded.hosts.end()) {
        if (wasHost) --it->second;
        otherHosts = it->second;
        if (otherHosts == 0) loaded.hosts.erase(it);
    }
    if (CFPlugInGetInstanceCountForFactory(factoryID) <= otherHosts) dlclose(library);
}

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

std::shared_ptr<NSURL> documentURL(const std::string& document) {
    if (document.starts_with("file:")) return NSURL::URLWithString(document);
    std::error_code ignored;
    const auto absolute = std::filesystem::absolute(document, ignored);
    return NSURL::fileURLWithPath(absolute.empty() ? document : absolute.string());
}

}  // namespace

QLGeneratorHost::QLGeneratorHost(std::string path, void* library, void* interface,
                                 CFUUIDRef factoryID)
    : path_(std::move(path)), library_(library), interface_(interface), factoryID_(factoryID) {}

std::shared_ptr<QLGeneratorHost> QLGeneratorHost::hostWithPath_error(const std::string& path,
                                                                     std::string* error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* message = dlerror();
        setError(error, message ? message : path + ": cannot be loaded");
        return nullptr;
    }
    const auto factory = reinterpret_cast<QLGeneratorFactoryFunction>(dlsym(library, kFactoryName));
    if (!factory) {
        dlclose(library);
        setError(error, path + " has no " + kFactoryName);
        return nullptr;
    }

    CFUUIDRef factoryID = nullptr;
    void* instance = nullptr;
    {
        CFPlugInFactoryRecorder recorder;
        instance = factory(kCFAllocatorDefault, kQLGeneratorTypeID);
        factoryID = recorder.copyFactoryID();
    }
    if (!instance) {
        unload(library, factoryID, false);
        CFRelease(factoryID);
        setError(error, "the factory of " + path + " refused the generator type");
        return nullptr;
    }

    // The query adds a reference of its own, so the factory's reference is
    // released and the queried one kept.
    void* interface = nullptr;
    const auto* table = tableOf(instance);
    const HRESULT result =
        table && table->QueryInterface
            ? table->QueryInterface(instance, CFUUIDGetUUIDBytes(kQLGeneratorCallbacksInterfaceID),
                                    &interface)
            : E_NOINTERFACE;
    releaseInstance(instance);
    const auto* callbacks = tableOf(interface);
    if (result != S_OK || !callbacks || !callbacks->GenerateThumbnailForURL ||
        !callbacks->GeneratePreviewForURL) {
        releaseInstance(interface);
        unload(library, factoryID, false);
        CFRelease(factoryID);
        setError(error, path + " does not offer the generator callbacks interface");
        return nullptr;
    }
    {
        auto& loaded = loadedPlugIns();
        std::lock_guard lock(loaded.mutex);
        ++loaded.hosts[library];
    }
    return std::shared_ptr<QLGeneratorHost>(
        new QLGeneratorHost(path, library, interface, factoryID));
}

QLGeneratorHost::~QLGeneratorHost() {
    releaseInstance(interface_);
    unload(library_, factoryID_, true);
    CFRelease(factoryID_);
}

QLRequestResult QLGeneratorHost::generateThumbnail(const std::string& document,
                                                   const QLRequestOptions& options) const {
    __QLThumbnailRequest request(options);
    if (document.empty()) return request.finish(1);
    const auto url = documentURL(document);
    const auto type = NSString::stringWithUTF8String(options.contentType);
    const OSStatus status = tableOf(interface_)
                                ->GenerateThumbnailForURL(interface_, &request, url.get(),
                                                          type.get(), nullptr, options.maxSize);
    return request.finish(status);
}

QLRequestResult QLGeneratorHost::generatePreview(const std::string& document,
                                                 const QLRequestOptions& options) const {
    __QLPreviewRequest request(options);
    if (document.empty()) return request.finish(1);
    const auto url = documentURL(document);
    const auto type = NSString::stringWithUTF8String(options.contentType);
    const OSStatus status =
        tableOf(interface_)
            ->GeneratePreviewForURL(interface_, &request, url.get(), type.get(), nullptr);
    return request.finish(status);
}
