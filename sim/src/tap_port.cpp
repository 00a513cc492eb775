#include "tap_port.h"

namespace veltrasim {

void TapPort::Load(const TapConfig& config) {
    devices_.clear();
    for (const DeviceConfig& device : config.devices) devices_.emplace_back(device);
    trstWired_ = config.trstWired;
    trstAsserted_ = false;
}

bool TapPort::Clock(bool tms, bool tdi) {
    if (devices_.empty()) return true;
    if (trstAsserted_) return true;  // held in Test-Logic-Reset, TDO floats
    // Every device samples its TDI on the same edge, so each one receives
    // what its neighbour showed before the edge.
    bool in = tdi;
    for (Device& device : devices_) {
        const bool out = device.Tdo();
        device.Clock(tms, in);
        in = out;
    }
    return in;
}

void TapPort::SetTrst(bool asserted) {
    if (!trstWired_) return;
    const bool falling = asserted && !trstAsserted_;
    trstAsserted_ = asserted;
    if (asserted) {
        for (Device& device : devices_) {
            if (falling && device.Updates().Enabled()) device.Updates().AddEvent("TRST");
            device.Assume(TapState::Reset);
            device.ResetLogic();
        }
    }
}

void TapPort::Assume(TapState state) {
    for (Device& device : devices_) device.Assume(state);
}

int32_t TapPort::DeviceState(uint32_t device) const {
    if (device >= devices_.size()) return -1;
    return static_cast<int32_t>(devices_[device].State());
}

bool TapPort::Tdo() const {
    if (devices_.empty() || trstAsserted_) return true;
    return devices_.back().Tdo();
}

void TapPort::LogUpdates(bool enabled) {
    for (Device& device : devices_) device.Updates().Enable(enabled);
}

const UpdateLog* TapPort::Updates(uint32_t device) const {
    return device < devices_.size() ? &devices_[device].Updates() : nullptr;
}

}  // namespace veltrasim
