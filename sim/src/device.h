// One simulated IEEE 1149.1 device: its TAP controller, instruction
// register and data registers (BYPASS, IDCODE and the board's named ones).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "board.h"
#include "tap_state.h"
#include "update_log.h"

namespace veltrasim {

// A shift register as a ring: shifting moves the head instead of every bit,
// so a shift costs the same at any register length.
class ShiftRing {
  public:
    // `value` bit 0 is the bit nearest TDO.
    void Load(const Bits& value);
    bool Out() const { return bits_[head_] != 0; }
    void Shift(bool in) {
        bits_[head_] = in ? 1 : 0;
        if (++head_ == bits_.size()) head_ = 0;
    }
    Bits Value() const;
    std::size_t Length() const { return bits_.size(); }
    // The bits in shift order (bit 0 nearest TDO) to or from bit `offset` of
    // packed 16-bit words, for shifts that move whole words.
    void StoreTo(uint16_t* words, uint64_t offset) const;
    void LoadFrom(const uint16_t* words, uint64_t offset);

  private:
    Bits bits_{0};
    std::size_t head_ = 0;
};

class Device {
  public:
    explicit Device(const DeviceConfig& config);

    // TDO before the next clock edge: the bit nearest TDO of the register
    // being shifted; high (floating) outside the Shift states.
    bool Tdo() const;
    void Clock(bool tms, bool tdi);
    // TRST, or entering Test-Logic-Reset: IDCODE (or BYPASS) is selected.
    void ResetLogic();
    void Assume(TapState state) { state_ = state; }
    TapState State() const { return state_; }
    // The register being shifted, when a shift through it needs no work per
    // bit: the device is in Shift-IR or Shift-DR, keeps no update log and,
    // in Shift-DR, the register does not read back what is updated into it.
    // Null otherwise: the caller then clocks bit by bit.
    ShiftRing* WordShiftRegister();
    // Index of the selected data register (0 BYPASS, 1 IDCODE if present).
    std::size_t Selected() const { return selected_; }

    // The updates this device saw (recorded only while the log is enabled).
    UpdateLog& Updates() { return updates_; }
    const UpdateLog& Updates() const { return updates_; }

  private:
    struct DataRegister {
        bool readBack = false;
        Bits value;  // fixed capture value, or what was last updated
    };
    void EnterState(TapState next);
    void RecordUpdate(TapState next);

    TapState state_ = TapState::Reset;
    Bits irCapture_;
    std::vector<DataRegister> registers_;
    std::map<std::string, std::size_t> decode_;  // opcode (KeyOf) -> data register
    std::size_t resetRegister_ = 0;              // selected after reset
    std::size_t selected_ = 0;
    ShiftRing ir_;
    ShiftRing dr_;
    UpdateLog updates_;
};

inline constexpr std::size_t kBypassRegister = 0;
inline constexpr std::size_t kIdcodeRegister = 1;
inline constexpr uint32_t kIdcodeLength = 32;

}  // namespace veltrasim
