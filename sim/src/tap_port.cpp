#include "tap_port.h"

namespace veltrasim {

void TapPort::Load(const TapSpec& spec) {
    trstWired_ = spec.trstWired;
    trstAsserted_ = false;
    state_ = TapState::Reset;
}

bool TapPort::Clock(bool tms, bool /*tdi*/) {
    state_ = trstAsserted_ && trstWired_ ? TapState::Reset : NextState(state_, tms);
    return false;
}

void TapPort::SetTrst(bool asserted) {
    trstAsserted_ = asserted;
    if (asserted && trstWired_) state_ = TapState::Reset;
}

void TapPort::Assume(TapState state) { state_ = state; }

int32_t TapPort::DeviceState(uint32_t device) const {
    return device == 0 ? static_cast<int32_t>(state_) : -1;
}

}  // namespace veltrasim
