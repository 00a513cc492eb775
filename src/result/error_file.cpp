// STUB: replaced by the ERROR file implementation.
#include "result/error_file.h"
namespace svf {
Status CreateErrorFile(SvfSession&) { return kInternal; }
Status WriteScanFailure(SvfSession&, const uint16_t*, uint32_t) { return kInternal; }
Status WriteNumberedScanFailure(SvfSession&, const uint16_t*, uint32_t) { return kInternal; }
Status WritePioFailure(SvfSession&, const uint8_t*, uint32_t) { return kInternal; }
Status FinishErrorFile(SvfSession&) { return kInternal; }
}  // namespace svf
