// One tester TAP: the scan chain of devices it drives and the state its TMS
// sequence has put the chain in.
#pragma once

#include <cstdint>

#include "board.h"
#include "tap_state.h"

namespace veltrasim {

class TapPort {
public:
    void Load(const TapSpec& spec);

    // One TCK with the given TMS and TDI on every device; the TDO level seen
    // before the clock edge.
    bool Clock(bool tms, bool tdi);
    void SetTrst(bool asserted);
    // Puts the chain into a stable state without clocking (the host says the
    // TAP is already there).
    void Assume(TapState state);

    TapState State() const { return state_; }
    // The device's TAP controller state, -1 when there is no such device.
    int32_t DeviceState(uint32_t device) const;

private:
    TapState state_ = TapState::Reset;
    bool trstWired_ = true;
    bool trstAsserted_ = false;
};

}  // namespace veltrasim
