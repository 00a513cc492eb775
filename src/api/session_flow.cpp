// STUB: being written.
#include "api/session_flow.h"
#include "api/report/report.h"
namespace svf {
int32_t ExecuteJob(const VeltraApi*, SvfReport*, SvfInfo*) { return SVF_RETURN_ERROR; }
int32_t AbandonJob(SvfReport* report, Status code) {
    if (report != nullptr) report->resultCode = static_cast<uint32_t>(code);
    return SVF_RETURN_ERROR;
}
}  // namespace svf
