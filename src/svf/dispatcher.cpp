// STUB: replaced by the dispatcher implementation.
#include "svf/dispatcher.h"
namespace svf {
Status RunStatements(SvfSession&) { return kInternal; }
}  // namespace svf
