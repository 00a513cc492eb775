// Init and terminate sequences of an indirect TAP connection.
#pragma once

#include "session.h"
#include "status.h"

namespace svf {

enum class Sequence { kInit, kTerminate };

// Plays the channel's init or terminate sequence (controller-compare form
// when session.compare.controllerCompare). kOk, kTdioStep,
// kConnectionBitsUndefined, kControllerFailed or kNoMemory.
Status PlayConnectionSequence(SvfSession& session, Sequence which);

// All ones through irTotalLength IR bits / zeros through bypassBits DR bits,
// ending in Pause. kOk, kControllerFailed or kNoMemory.
Status ShiftIrBypassFill(SvfSession& session);
Status ShiftDrBypassFill(SvfSession& session);

}  // namespace svf
