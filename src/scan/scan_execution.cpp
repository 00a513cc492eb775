// STUB: replaced by the scan execution implementation.
#include "scan/scan_execution.h"
namespace svf {
Status ExecuteIrScan(SvfSession&, uint32_t) { return kInternal; }
Status ExecuteDrScan(SvfSession&, uint32_t) { return kInternal; }
Status ExecuteIrScanControllerCompare(SvfSession&, uint32_t) { return kInternal; }
Status ExecuteDrScanControllerCompare(SvfSession&, uint32_t) { return kInternal; }
uint32_t ShiftIrInChunks(const VeltraApi*, const SvfReport*, uint32_t, const uint16_t*, uint32_t,
                         uint16_t*, ShiftEnd) { return 1; }
uint32_t ShiftIrCompareInChunks(const VeltraApi*, const SvfReport*, uint32_t, const uint16_t*,
                                uint32_t, const uint16_t*, const uint16_t*, ShiftEnd) { return 1; }
uint32_t ShiftDrInChunks(const VeltraApi*, const SvfReport*, uint32_t, const uint16_t*, uint32_t,
                         uint16_t*, ShiftEnd, bool) { return 1; }
uint32_t ShiftDrCompareInChunks(const VeltraApi*, const SvfReport*, uint32_t, const uint16_t*,
                                uint32_t, const uint16_t*, const uint16_t*, ShiftEnd, bool) {
    return 1;
}
void InsertBits(uint16_t*, uint32_t, const uint16_t*, uint32_t) {}
void InsertInvertedBits(uint16_t*, uint32_t, const uint16_t*, uint32_t) {}
void InsertMaskedBits(uint16_t*, uint32_t, const uint16_t*, const uint16_t*, uint32_t) {}
int CompareBits(uint16_t*, const uint16_t*, const uint16_t*, const uint16_t*, uint32_t) {
    return 0;
}
}  // namespace svf
