/* A controller table that lives in a library of its own, with its own
   version (1.6): a host or wrapper that supplies the table itself. */
#include "svfplayer/svf_player.h"

#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
    const VeltraApi* ForeignTable(void) {
    static const VeltraApi table;
    return &table;
}
