/* A controller table that lives in a library of its own, with its own
   version (1.6): a host or wrapper that supplies the table itself, its
   error-text slot pointing wherever the caller says. */
#include "svfplayer/svf_player.h"

#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
    const VeltraApi* ForeignTable(VeltraGetErrorText errorText) {
    static VeltraApi table;
    table.GetErrorText = errorText;
    return &table;
}
