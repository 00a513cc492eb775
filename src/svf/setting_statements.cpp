// STUB: replaced by the setting statement implementation.
#include "svf/setting_statements.h"
namespace svf {
Status ParseFrequency(SvfSession&) { return kInternal; }
Status ParseCorrection(SvfSession&) { return kInternal; }
Status ParseFlag(SvfSession&) { return kInternal; }
}  // namespace svf
