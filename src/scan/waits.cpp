// STUB: replaced by the waits and settings implementation.
#include "scan/waits.h"
namespace svf {
Status ExecuteRunTest(SvfSession&) { return kInternal; }
Status ApplyFrequency(SvfSession&, int32_t) { return kInternal; }
Status SwitchCorrection(SvfSession&, uint16_t) { return kInternal; }
}  // namespace svf
