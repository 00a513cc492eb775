// STUB: replaced by the connection sequence implementation.
#include "scan/connection_sequence.h"
namespace svf {
Status PlayConnectionSequence(SvfSession&, Sequence) { return kOk; }
Status ShiftIrBypassFill(SvfSession&) { return kInternal; }
Status ShiftDrBypassFill(SvfSession&) { return kInternal; }
}  // namespace svf
