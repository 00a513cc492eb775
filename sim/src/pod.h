// The pod: four I/O pins on each of TAPs 1 to 4 and the signals USER0, USER1
// and VPP_E, with the board's wiring between them.
#pragma once

#include <array>
#include <cstdint>

#include "board.h"

namespace veltrasim {

class Pod {
  public:
    void Load(const PodConfig& config);

    // Drives the pins of `driveMask` (within `usedMask`) high where `highMask`
    // is set and low elsewhere, releases the other used pins; the levels of
    // the used pins as read back (set bit = high).
    uint32_t Access(uint32_t tap, uint32_t usedMask, uint32_t driveMask, uint32_t highMask);
    void SetSignal(uint32_t signal, bool high) { signals_[signal] = high; }
    bool Signal(uint32_t signal) const { return signals_[signal]; }

    // 'H', 'L' or 'Z' (neither driven nor pulled).
    char Level(uint32_t tap, uint32_t pin) const;
    // The board's in-use pins of a TAP and their levels (set bit = high).
    uint32_t InUse(uint32_t tap) const { return config_.inUse[tap - 1]; }
    uint32_t Levels(uint32_t tap, uint32_t pins) const;

  private:
    struct Drive {
        bool driven = false;
        bool high = false;
    };
    // The level a source puts on a wire, if it drives at all.
    int SourceLevel(const PinRef& source) const;
    Drive& DriveOf(uint32_t tap, uint32_t pin) { return drives_[tap - 1][pin - 1]; }
    const Drive& DriveOf(uint32_t tap, uint32_t pin) const { return drives_[tap - 1][pin - 1]; }

    PodConfig config_;
    std::array<std::array<Drive, kPinsPerTap>, kPodTapCount> drives_{};
    std::array<bool, kPodSignalCount> signals_{};
};

}  // namespace veltrasim
