// The three exported functions. They stay thin: Svf_Execute turns every
// escaping exception into a result code, so none crosses the C boundary.
#include <new>

#include "api/session_flow.h"
#include "svfplayer/svf_player.h"

extern "C" SVF_API int32_t Svf_Init(void) { return 0; }

#if !defined(_WIN32)
// One function under two names; on Windows the .def file does this.
extern "C" SVF_API int32_t Svf_Exit(void) __attribute__((alias("Svf_Init")));
#endif

extern "C" SVF_API int32_t Svf_Execute(const VeltraApi* api, SvfReport* report, SvfInfo* info) {
    try {
        return svf::ExecuteJob(api, report, info);
    } catch (const std::bad_alloc&) {
        return svf::AbandonJob(report, svf::kNoMemory);
    } catch (...) {
        return svf::AbandonJob(report, svf::kInternal);
    }
}
