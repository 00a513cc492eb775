// STUB: replaced by the scan statement implementation.
#include "svf/scan_statements.h"
namespace svf {
Status ParseScanStatement(int, SvfSession&) { return kInternal; }
Status ParsePattern(uint32_t, ScanKind, Pattern&, SvfSession&) { return kInternal; }
Status ResizePatterns(uint32_t, ScanKind, SvfSession&) { return kInternal; }
}  // namespace svf
