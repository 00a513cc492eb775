// STUB: replaced by the PIO statements.
#include "pio/pio_statements.h"
namespace svf {
Status HandlePioStatement(int, SvfSession&) { return kInternal; }
Status ParsePioMap(SvfSession&) { return kInternal; }
Status ParsePio(SvfSession&) { return kInternal; }
Status ExecutePio(SvfSession&) { return kInternal; }
}  // namespace svf
