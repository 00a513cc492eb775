// Statements that do not shift: RUNTEST waits, frequency changes and the
// MERLO correction switch.
#pragma once

#include <cstdint>

#include "session.h"
#include "status.h"

namespace svf {

inline constexpr uint32_t kCorrectionOn = 2;
inline constexpr uint32_t kCorrectionOff = 1;

// Runs the RUNTEST held in runState/runEndState/runTckCount/runMinTime.
// 0, 14 or 31.
Status ExecuteRunTest(SvfSession& session);

// Requests `khz` from the controller within maxFrequency. 0 or 31.
Status ApplyFrequency(SvfSession& session, int32_t khz);

// SetFlagLength(VELTRA_ALL_TAPS, mode). 0 or 31.
Status SwitchCorrection(SvfSession& session, uint16_t mode);

}  // namespace svf
