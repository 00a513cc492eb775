// The player's model of the target TAP: stable-state codes for the
// controller, the walk of a STATE path and the lazily set stop state.
#pragma once

#include <array>
#include <cstdint>

#include "session.h"
#include "status.h"

namespace svf {

// Controller state code of each stable state (RESET, IDLE, DRPAUSE, IRPAUSE).
inline constexpr std::array<uint32_t, 4> stateCodeTable = {
    SVF_STATE_CODE_RESET, SVF_STATE_CODE_IDLE, SVF_STATE_CODE_DRPAUSE, SVF_STATE_CODE_IRPAUSE};

// stateCodeTable at `state`, or 0 for a state that is not stable (-1 included).
constexpr uint32_t StateCodeOf(int32_t state) {
    return IsStableState(state) ? stateCodeTable[static_cast<size_t>(state)] : 0;
}

enum class ScanRegister { kIr, kDr };

// Walks the first statePathLength entries of statePath. kOk, kIllegalState or
// kControllerFailed.
Status RunStatePath(SvfSession& session);

// Sets the controller's stop state to the ENDIR/ENDDR state of `reg` when it
// differs from stopState. kOk or kControllerFailed (reported; callers go on).
Status SelectStopState(SvfSession& session, ScanRegister reg);

}  // namespace svf
