// STUB: replaced by the TAP state implementation.
#include "scan/tap_state.h"
namespace svf {
Status RunStatePath(SvfSession&) { return kInternal; }
Status SelectStopState(SvfSession&, ScanRegister) { return kInternal; }
}  // namespace svf
