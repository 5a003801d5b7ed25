// The plug-in glue of the test generator (Part 1.2's contract, seen from the host): a factory, an
// instance with its interface table, reference counting, and a log of the calls the host makes.
// Built several times with TEST_GENERATOR_VARIANT choosing a way to fail (CMakeLists.txt).

#include <cstdlib>
#include <mutex>
#include <string>

#include "TestGenerator.h"

#define TEST_GENERATOR_NORMAL 0
#define TEST_GENERATOR_NO_FACTORY 1
#define TEST_GENERATOR_REFUSES_TYPE 2
#define TEST_GENERATOR_NO_INTERFACE 3
#define TEST_GENERATOR_LEAKS 4

namespace {

struct Instance {
    QLGeneratorInterfaceStruct* table;
    CFUUIDRef factoryID;
    uint32_t refCount;
};

// Where the leaking variant keeps its instance; volatile, so that the store is never optimised
// away as unread.
Instance* volatile keptInstance = nullptr;

std::mutex logMutex;
std::string callLog;

void logCall(const std::string& entry) {
    std::lock_guard lock(logMutex);
    if (!callLog.empty()) callLog += ' ';
    callLog += entry;
}

HRESULT queryInterface(void* thisInstance, REFIID iid, LPVOID* ppv);
ULONG addRef(void* thisInstance);
ULONG release(void* thisInstance);

Instance* instanceOf(void* thisInstance) { return static_cast<Instance*>(thisInstance); }

void* makeInstance(CFUUIDRef typeID) {
    if (!CFEqual(typeID, kQLGeneratorTypeID)) return nullptr;
    auto* table = new QLGeneratorInterfaceStruct{nullptr, queryInterface, addRef, release,
                                                 nullptr, nullptr,        nullptr, nullptr};
    CFUUIDRef factoryID = CFUUIDCreateFromString(kCFAllocatorDefault, CFSTR(TEST_GENERATOR_FACTORY_UUID));
    CFPlugInAddInstanceForFactory(factoryID);
    return new Instance{table, factoryID, 1};
}

HRESULT queryInterface(void* thisInstance, REFIID iid, LPVOID* ppv) {
    logCall("query");
    CFUUIDRef interfaceID = CFUUIDCreateFromUUIDBytes(kCFAllocatorDefault, iid);
    const bool offered = CFEqual(interfaceID, kQLGeneratorCallbacksInterfaceID) &&
                         TEST_GENERATOR_VARIANT != TEST_GENERATOR_NO_INTERFACE;
    CFRelease(interfaceID);
    if (!offered) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    QLGeneratorInterfaceStruct* table = instanceOf(thisInstance)->table;
    table->GenerateThumbnailForURL = TestGenerateThumbnail;
    table->CancelThumbnailGeneration = TestCancelThumbnail;
    table->GeneratePreviewForURL = TestGeneratePreview;
    table->CancelPreviewGeneration = TestCancelPreview;
    table->AddRef(thisInstance);
    *ppv = thisInstance;
    return S_OK;
}

ULONG addRef(void* thisInstance) {
    const ULONG count = ++instanceOf(thisInstance)->refCount;
    logCall("addref=" + std::to_string(count));
    return count;
}

ULONG release(void* thisInstance) {
    Instance* instance = instanceOf(thisInstance);
    // The leaking variant never lets its count reach 0, so that its instance stays registered. It
    // keeps the instance where LeakSanitizer sees it: the leak is the point, not a finding.
    if (TEST_GENERATOR_VARIANT == TEST_GENERATOR_LEAKS && instance->refCount == 1) {
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

}  // namespace

extern "C" {

#if TEST_GENERATOR_VARIANT == TEST_GENERATOR_NO_FACTORY
TEST_GENERATOR_EXPORT void* SomeOtherFactory(CFAllocatorRef, CFUUIDRef typeID) {
    return makeInstance(typeID);
}
#else
TEST_GENERATOR_EXPORT void* QuickLookGeneratorPluginFactory(CFAllocatorRef, CFUUIDRef typeID) {
    logCall("factory");
    if (TEST_GENERATOR_VARIANT == TEST_GENERATOR_REFUSES_TYPE) return nullptr;
    return makeInstance(typeID);
}
#endif

TEST_GENERATOR_EXPORT size_t TestGeneratorCallLog(char* buffer, size_t size) {
    std::lock_guard lock(logMutex);
    if (size != 0) buffer[callLog.copy(buffer, size - 1)] = '\0';
    return callLog.size();
}

}  // extern "C"
