// The factory, the instance record with its interface table, and reference counting.

#include "QuickLookGeneratorPlugIn.h"

#include <cstdlib>
#include <cstring>

namespace {

// The interface table each instance copies; slots 4 to 7 are filled by the
// first successful query.
const QLGeneratorInterfaceStruct kInterfaceTemplate = {
    nullptr,
    QuickLookGeneratorQueryInterface,
    QuickLookGeneratorPluginAddRef,
    QuickLookGeneratorPluginRelease,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

QuickLookGeneratorPluginType* instanceOf(void* thisInstance) {
    return static_cast<QuickLookGeneratorPluginType*>(thisInstance);
}

}  // namespace

void* QuickLookGeneratorPluginFactory(CFAllocatorRef, CFUUIDRef typeID) {
    if (!CFEqual(typeID, kQLGeneratorTypeID)) return nullptr;
    CFUUIDRef factoryID =
        CFUUIDCreateFromString(kCFAllocatorDefault, CFSTR(kVantlerGeneratorFactoryUUID));
    QuickLookGeneratorPluginType* instance = AllocQuickLookGeneratorPluginType(factoryID);
    CFRelease(factoryID);  // the instance holds its own reference
    return instance;
}

QuickLookGeneratorPluginType* AllocQuickLookGeneratorPluginType(CFUUIDRef inFactoryID) {
    // malloc/free as the platform's glue: the record and the table are plain C data.
    auto* instance = static_cast<QuickLookGeneratorPluginType*>(
        std::malloc(sizeof(QuickLookGeneratorPluginType)));
    auto* table =
        static_cast<QLGeneratorInterfaceStruct*>(std::malloc(sizeof(QLGeneratorInterfaceStruct)));
    if (!instance || !table) {
        std::free(instance);
        std::free(table);
        return nullptr;
    }
    std::memcpy(table, &kInterfaceTemplate, sizeof(QLGeneratorInterfaceStruct));
    instance->conduitInterface = table;
    instance->factoryID = inFactoryID ? static_cast<CFUUIDRef>(CFRetain(inFactoryID)) : nullptr;
    if (instance->factoryID) CFPlugInAddInstanceForFactory(instance->factoryID);
    instance->refCount = 1;
    return instance;
}

void DeallocQuickLookGeneratorPluginType(QuickLookGeneratorPluginType* thisInstance) {
    CFUUIDRef factoryID = thisInstance->factoryID;
    std::free(thisInstance->conduitInterface);
    std::free(thisInstance);
    if (factoryID) {
        CFPlugInRemoveInstanceForFactory(factoryID);
        CFRelease(factoryID);
    }
}

HRESULT QuickLookGeneratorQueryInterface(void* thisInstance, REFIID iid, LPVOID* ppv) {
    CFUUIDRef interfaceID = CFUUIDCreateFromUUIDBytes(kCFAllocatorDefault, iid);
    if (CFEqual(interfaceID, kQLGeneratorCallbacksInterfaceID)) {
        QLGeneratorInterfaceStruct* table = instanceOf(thisInstance)->conduitInterface;
        table->GenerateThumbnailForURL = GenerateThumbnailForURL;
        table->CancelThumbnailGeneration = CancelThumbnailGeneration;
        table->GeneratePreviewForURL = GeneratePreviewForURL;
        table->CancelPreviewGeneration = CancelPreviewGeneration;
        table->AddRef(thisInstance);  // through slot 2, as the platform's template does
        *ppv = thisInstance;
        CFRelease(interfaceID);
        return S_OK;
    }
    *ppv = nullptr;  // not even the component model's base interface is offered
    CFRelease(interfaceID);
    return E_NOINTERFACE;
}

ULONG QuickLookGeneratorPluginAddRef(void* thisInstance) {
    return ++instanceOf(thisInstance)->refCount;
}

ULONG QuickLookGeneratorPluginRelease(void* thisInstance) {
    QuickLookGeneratorPluginType* instance = instanceOf(thisInstance);
    instance->refCount -= 1;
    if (instance->refCount == 0) {
        DeallocQuickLookGeneratorPluginType(instance);
        return 0;
    }
    return instance->refCount;
}
