#include "scripts.h"

#include <algorithm>

namespace veltrasim {

void Scripts::Add(Slot slot, uint32_t result, uint32_t onCall) {
    const uint64_t callNumber = onCall == 0 ? 0 : calls_[Index(slot)] + onCall;
    scripts_.push_back({slot, result, callNumber});
}

std::optional<uint32_t> Scripts::OnCall(Slot slot) {
    const uint64_t number = ++calls_[Index(slot)];
    // A one-shot script wins over an every-call script of the same slot;
    // it is used up when it fires.
    const auto oneShot = std::find_if(scripts_.begin(), scripts_.end(), [&](const Script& s) {
        return s.slot == slot && s.callNumber == number;
    });
    if (oneShot != scripts_.end()) {
        const uint32_t result = oneShot->result;
        scripts_.erase(oneShot);
        return result;
    }
    const auto always = std::find_if(scripts_.begin(), scripts_.end(), [&](const Script& s) {
        return s.slot == slot && s.callNumber == 0;
    });
    if (always != scripts_.end()) return always->result;
    return std::nullopt;
}

}  // namespace veltrasim
