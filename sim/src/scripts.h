// Scripted results: fault injection for tests. A script makes the k-th call
// of a slot, counted from the moment it was scripted, return a given value
// (k = 0: every call); the scripted call then does nothing else.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "slots.h"

namespace veltrasim {

class Scripts {
  public:
    void Add(Slot slot, uint32_t result, uint32_t onCall);
    void Clear() { scripts_.clear(); }
    // Counts a call of `slot`; the scripted result when one applies to it.
    std::optional<uint32_t> OnCall(Slot slot);

  private:
    struct Script {
        Slot slot;
        uint32_t result;
        uint64_t callNumber;  // 0 = every call
    };
    std::array<uint64_t, kSlotCount> calls_{};  // calls per slot since start, never reset
    std::vector<Script> scripts_;
};

}  // namespace veltrasim
