// What one device saw: every Update-IR and Update-DR with the value it
// received, every entry into Test-Logic-Reset by TMS and every TRST. Two
// correct players may walk different state paths, but these must agree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board.h"

namespace veltrasim {

class UpdateLog {
  public:
    bool Enabled() const { return enabled_; }
    // On (and emptied) or off.
    void Enable(bool enabled) {
        enabled_ = enabled;
        lines_.clear();
    }
    // "IR 8 01", "DR 32 0123A093": the event, the bit count and the value in
    // SVF hex (most significant digit first).
    void AddValue(const char* event, const Bits& value);
    // "RESET" (Test-Logic-Reset entered by TMS), "TRST".
    void AddEvent(const char* event) { lines_.emplace_back(event); }

    const std::vector<std::string>& Lines() const { return lines_; }

  private:
    bool enabled_ = false;
    std::vector<std::string> lines_;
};

}  // namespace veltrasim
