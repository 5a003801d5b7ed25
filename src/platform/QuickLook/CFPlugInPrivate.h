#pragma once
// The host's way of learning a plug-in's factory UUID. On macOS the host reads it from the plug-in
// bundle's Info.plist; a Linux plug-in is a bare shared library, so the host watches which factory
// the new instance registers under (AllocQuickLookGeneratorPluginType calls
// CFPlugInAddInstanceForFactory) while it calls the factory function. Not platform API.

#include "CFPlugIn.h"

// While alive, records the first factory under which an instance registers on this thread.
// Recorders nest (the innermost records).
class CFPlugInFactoryRecorder {
  public:
    CFPlugInFactoryRecorder();
    ~CFPlugInFactoryRecorder();
    CFPlugInFactoryRecorder(const CFPlugInFactoryRecorder&) = delete;
    CFPlugInFactoryRecorder& operator=(const CFPlugInFactoryRecorder&) = delete;

    void record(CFUUIDRef factoryID);
    // The factory recorded (retained; the caller releases it), or null when nothing registered.
    CFUUIDRef copyFactoryID() const;

  private:
    CFPlugInFactoryRecorder* outer_;
    CFUUIDRef factoryID_ = nullptr;
};
