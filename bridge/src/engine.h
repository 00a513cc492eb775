// The controller's work on top of a transport: TAP moves by the shortest TMS
// paths, IR and DR shifts, compares against expected TDO, and the batching
// that lets the transport pipeline clocks instead of waiting for each scan.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tap_state.h"
#include "transport.h"

namespace bridge {

using veltrasim::TapState;

enum class Register : uint8_t { Ir, Dr };
enum class Ending : uint8_t { StopState, Pause };

struct ShiftRequest {
    Register reg = Register::Dr;
    Ending ending = Ending::StopState;
    const uint16_t* tdi = nullptr;  // null: zeros
    uint64_t bitCount = 0;
    uint16_t* tdo = nullptr;             // null: nothing captured
    const uint16_t* expected = nullptr;  // null: nothing compared
    const uint16_t* mask = nullptr;      // 1 = ignore; null: compare all
};

class Engine {
  public:
    explicit Engine(std::unique_ptr<Transport> transport);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Each returns false on a transport failure (text in Error()); once the
    // transport failed, every later call fails with the same text.
    bool Reset();
    bool MoveTo(TapState target);
    bool Shift(const ShiftRequest& request);
    bool Idle(uint64_t clocks);
    bool Sleep(uint64_t microseconds);
    // Sends everything queued and checks what came back.
    bool Flush();
    // Nearest TCK the adapter makes; none when it has no clock of its own.
    std::optional<uint32_t> SetFrequency(uint32_t khz);
    bool HasTrst() const { return transport_->HasTrst(); }
    bool SetTrst(bool asserted);

    void SetStopState(TapState state) { stopState_ = state; }
    void AssumeState(TapState state) { state_ = state; }
    // Compare results since the last call: true when any compared bit differed.
    bool TakeMismatch();

    const std::string& Error() const { return transport_->Error(); }
    bool Failed() const { return failed_; }

  private:
    struct Capture {
        size_t first;  // position in the batch
        size_t count;
        uint16_t* words;
        size_t to;  // bit position in `words`
    };

    void Clock(bool tms, bool tdi);
    bool FlushIfFull();

    std::unique_ptr<Transport> transport_;
    std::optional<TapState> state_;  // none until reset or told
    TapState stopState_ = TapState::Idle;
    ClockBatch batch_;
    Bits expected_;  // expected TDO per clock of the batch
    Bits care_;      // 1 = compare this clock's TDO
    Bits tdo_;
    std::vector<Capture> captures_;
    bool mismatch_ = false;
    bool failed_ = false;
};

}  // namespace bridge
