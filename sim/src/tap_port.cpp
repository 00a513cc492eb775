#include "tap_port.h"

#include <algorithm>

#include "bit_words.h"

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

bool TapPort::ShiftWords(const uint16_t* tdi, uint64_t count, uint16_t* tdo) {
    if (devices_.empty() || trstAsserted_) return false;
    const TapState state = devices_.front().State();
    std::vector<ShiftRing*> rings;  // nearest TDO first
    rings.reserve(devices_.size());
    uint64_t length = 0;
    for (auto device = devices_.rbegin(); device != devices_.rend(); ++device) {
        ShiftRing* ring = device->State() == state ? device->WordShiftRegister() : nullptr;
        if (ring == nullptr) return false;
        rings.push_back(ring);
        length += ring->Length();
    }
    // The chain is one register of `length` bits, bit 0 nearest TDO. What
    // leaves it is its contents followed by TDI; what stays is the last
    // `length` bits of that stream.
    chain_.assign(WordsFor(length), 0);
    next_.assign(WordsFor(length), 0);
    uint64_t offset = 0;
    for (const ShiftRing* ring : rings) {
        ring->StoreTo(chain_.data(), offset);
        offset += ring->Length();
    }
    if (tdo != nullptr) {
        CopyBits(tdo, 0, chain_.data(), 0, std::min(count, length));
        if (count > length) CopyBits(tdo, length, tdi, 0, count - length);
    }
    if (count >= length) {
        CopyBits(next_.data(), 0, tdi, count - length, length);
    } else {
        CopyBits(next_.data(), 0, chain_.data(), count, length - count);
        CopyBits(next_.data(), length - count, tdi, 0, count);
    }
    offset = 0;
    for (ShiftRing* ring : rings) {
        ring->LoadFrom(next_.data(), offset);
        offset += ring->Length();
    }
    return true;
}

void TapPort::SetTrst(bool asserted) {
    if (!trstWired_) return;
    const bool falling = asserted && !trstAsserted_;
    trstAsserted_ = asserted;
    if (asserted) {
        for (Device& device : devices_) {
            if (falling && device.Updates().Enabled()) device.Updates().AddEvent("TRST");
            device.Assume(TapState::kReset);
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
