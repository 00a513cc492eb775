// One tester TAP: the scan chain of devices it drives, TDI to TDO.
#pragma once

#include <cstdint>
#include <vector>

#include "board.h"
#include "device.h"
#include "tap_state.h"

namespace veltrasim {

class TapPort {
  public:
    void Load(const TapConfig& config);

    // One TCK with the given TMS and TDI on every device; the TDO level seen
    // before the clock edge. A TAP without devices reads high.
    bool Clock(bool tms, bool tdi);
    // `count` TCKs with TMS low through a chain whose devices all stay in the
    // same Shift state, moving whole words: TDI bits from `tdi` (null: zeros),
    // TDO bits into `tdo` (null: dropped), both from bit 0. The same as
    // `count` calls of Clock. False, with nothing clocked, when a device needs
    // work per bit (WordShiftRegister) or the chain is empty or held in reset.
    bool ShiftWords(const uint16_t* tdi, uint64_t count, uint16_t* tdo);
    void SetTrst(bool asserted);
    // Puts every device into a state without clocking (the host says the
    // TAP is already there).
    void Assume(TapState state);

    // The device's TAP controller state (device 0 is nearest TDI); -1 when
    // there is no such device.
    int32_t DeviceState(uint32_t device) const;

    // The TDO level now, between clocks (what a pin-level client reads).
    bool Tdo() const;
    // The update log of every device: on (and emptied) or off.
    void LogUpdates(bool enabled);
    // A device's update log; null when there is no such device.
    const UpdateLog* Updates(uint32_t device) const;

  private:
    std::vector<Device> devices_;
    std::vector<uint16_t> chain_;  // ShiftWords: the whole chain, then its next contents
    std::vector<uint16_t> next_;
    bool trstWired_ = true;
    bool trstAsserted_ = false;
};

}  // namespace veltrasim
