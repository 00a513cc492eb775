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
// kOk, kIllegalState or kControllerFailed.
Status ExecuteRunTest(SvfSession& session);

// Requests `khz` from the controller within maxFrequency. kOk or
// kControllerFailed.
Status ApplyFrequency(SvfSession& session, int32_t khz);

// SetFlagLength(VELTRA_ALL_TAPS, mode). kOk or kControllerFailed.
Status SwitchCorrection(SvfSession& session, uint16_t mode);

}  // namespace svf
