// Execution of IR and DR scans: composition of header, body and trailer,
// chunking into controller calls, and the TDO comparison (by the player or by
// the controller).
#pragma once

#include <cstdint>

#include "bit_vector.h"
#include "session.h"
#include "status.h"

namespace svf {

inline constexpr uint32_t kMaxShiftBits = 65535;  // one controller shift call
inline constexpr uint32_t kChunkBits = 65280;     // full chunk, word aligned

// Execute the SIR/SDR in session.scanParts; `statementFlags` holds the
// PatternFlag bits of the statement. kOk, kControllerFailed (reported) or
// kNoMemory (not reported).
Status ExecuteIrScan(SvfSession& session, uint32_t statementFlags);
Status ExecuteDrScan(SvfSession& session, uint32_t statementFlags);
Status ExecuteIrScanControllerCompare(SvfSession& session, uint32_t statementFlags);
Status ExecuteDrScanControllerCompare(SvfSession& session, uint32_t statementFlags);

// How a shift ends: in the register's Pause state (more of the same scan
// follows, or the end state is Pause) or in the stop state.
enum class ShiftEnd { kPause, kStop };

// The ShiftInChunks family. Each cuts `bitCount` bits into calls of at most
// 65535 bits (65280-bit chunks, all but the last ending in Pause), or for DR
// with `longDrShifts` makes one long call. Returns VELTRA_OK or the first other
// controller result, after "Error: Shift IR/DR failed; %s".
uint32_t ShiftIrInChunks(const VeltraApi* api, const SvfReport* report, uint32_t tap,
                         const uint16_t* tdi, uint32_t bitCount, uint16_t* capture, ShiftEnd end);
uint32_t ShiftIrCompareInChunks(const VeltraApi* api, const SvfReport* report, uint32_t tap,
                                const uint16_t* tdi, uint32_t bitCount, const uint16_t* expected,
                                const uint16_t* mask, ShiftEnd end);
uint32_t ShiftDrInChunks(const VeltraApi* api, const SvfReport* report, uint32_t tap,
                         const uint16_t* tdi, uint32_t bitCount, uint16_t* capture, ShiftEnd end,
                         bool longDrShifts);
uint32_t ShiftDrCompareInChunks(const VeltraApi* api, const SvfReport* report, uint32_t tap,
                                const uint16_t* tdi, uint32_t bitCount, const uint16_t* expected,
                                const uint16_t* mask, ShiftEnd end, bool longDrShifts);

// Copy n bits into `destination` at bit `offset` (plain, inverted, a AND b).
// Bits of the last touched word above offset + n may be overwritten; only
// ceil(n/16) source words are read.
void InsertBits(uint16_t* destination, uint32_t offset, const uint16_t* source, uint32_t n);
void InsertInvertedBits(uint16_t* destination, uint32_t offset, const uint16_t* source, uint32_t n);
void InsertMaskedBits(uint16_t* destination, uint32_t offset, const uint16_t* a, const uint16_t* b,
                      uint32_t n);

// True when any compared bit of the first n differs (output receives the
// difference words when given). `mask` 1 = compare; null = all.
bool CompareBits(uint16_t* output, const uint16_t* captured, const uint16_t* expected,
                 const uint16_t* mask, uint32_t n);

}  // namespace svf
