// The library's C exports. Nothing throws past them.
#include "bridge.h"
#include "veltra_bridge.h"

extern "C" const VeltraApi* Veltra_GetApi(void) { return bridge::Table(); }

extern "C" int32_t VeltraBridge_Open(const char* adapter) {
    try {
        return adapter != nullptr && bridge::OpenAdapterNamed(adapter) ? 0 : 1;
    } catch (...) {
        return 1;
    }
}

extern "C" const char* VeltraBridge_LastError(void) { return bridge::OpenError(); }

extern "C" void VeltraBridge_Close(void) {
    try {
        bridge::CloseAdapter();
    } catch (...) {
    }
}
