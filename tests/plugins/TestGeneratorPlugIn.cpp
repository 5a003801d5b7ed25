// The test generator's plug-in glue, seen from the host: a factory, an instance with its interface
// table, reference counting, and a log of the calls the host makes. TEST_GENERATOR_VARIANT picks a
// way to fail (CMakeLists.txt): 1 no factory, 2 the factory refuses the type, 3 no interface,
// 4 an instance that is never freed.

#include <mutex>
#include <string>

#include "TestGenerator.h"

namespace {

constexpr bool kRefusesInterface = TEST_GENERATOR_VARIANT == 3;
constexpr bool kLeaks = TEST_GENERATOR_VARIANT == 4;

struct Instance {
    QLGeneratorInterfaceStruct* table;
    CFUUIDRef factoryID;
    uint32_t refCount;
};

// Where the leaking variant keeps its instance; volatile, so that the store is never dropped as
// unread.
Instance* volatile keptInstance = nullptr;

std::mutex logMutex;
std::string callLog;

void logCall(const std::string& entry) {
    std::lock_guard lock(logMutex);
    callLog += (callLog.empty() ? "" : " ") + entry;
}

Instance* instanceOf(void* thisInstance) {
    return static_cast<Instance*>(thisInstance);
}

ULONG addRef(void* thisInstance) {
    const ULONG count = ++instanceOf(thisInstance)->refCount;
    logCall("addref=" + std::to_string(count));
    return count;
}

ULONG release(void* thisInstance) {
    Instance* instance = instanceOf(thisInstance);
    // The leaking variant stays registered, its instance where LeakSanitizer sees it: the leak is
    // the point, not a finding.
    if (kLeaks && instance->refCount == 1) {
        keptInstance = instance;
        logCall("release=1");
        return 1;
    }
    const ULONG count = --instance->refCount;
    logCall("release=" + std::to_string(count));
    if (count == 0) {
        CFPlugInRemoveInstanceForFactory(instance->factoryID);
        CFRelease(instance->factoryID);
        delete instance->table;
        delete instance;
    }
    return count;
}

HRESULT queryInterface(void* thisInstance, REFIID iid, LPVOID* ppv) {
    logCall("query");
    CFUUIDRef interfaceID = CFUUIDCreateFromUUIDBytes(kCFAllocatorDefault, iid);
    const bool offered =
        CFEqual(interfaceID, kQLGeneratorCallbacksInterfaceID) && !kRefusesInterface;
    CFRelease(interfaceID);
    *ppv = offered ? thisInstance : nullptr;
    if (!offered) return E_NOINTERFACE;
    *instanceOf(thisInstance)->table = {nullptr,
                                        queryInterface,
                                        addRef,
                                        release,
                                        TestGenerateThumbnail,
                                        TestCancelThumbnail,
                                        TestGeneratePreview,
                                        TestCancelPreview};
    addRef(thisInstance);
    return S_OK;
}

[[maybe_unused]] void* makeInstance(CFUUIDRef typeID) {
    if (TEST_GENERATOR_VARIANT == 2 || !CFEqual(typeID, kQLGeneratorTypeID)) return nullptr;
    auto* table = new QLGeneratorInterfaceStruct{nullptr, queryInterface, addRef,  release,
                                                 nullptr, nullptr,        nullptr, nullptr};
    CFUUIDRef factoryID =
        CFUUIDCreateFromString(kCFAllocatorDefault, CFSTR(TEST_GENERATOR_FACTORY_UUID));
    CFPlugInAddInstanceForFactory(factoryID);
    return new Instance{table, factoryID, 1};
}

}  // namespace

extern "C" {

#if TEST_GENERATOR_VARIANT != 1
TEST_GENERATOR_EXPORT void* QuickLookGeneratorPluginFactory(CFAllocatorRef, CFUUIDRef typeID) {
    logCall("factory");
    return makeInstance(typeID);
}
#endif

TEST_GENERATOR_EXPORT size_t TestGeneratorCallLog(char* buffer, size_t size) {
    std::lock_guard lock(logMutex);
    if (size != 0) buffer[callLog.copy(buffer, size - 1)] = '\0';
    return callLog.size();
}

}  // extern "C"
