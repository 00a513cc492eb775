// The simulated controller: carries out every call of the controller table
// on the simulated board, moving each TAP by TMS sequences as real hardware
// does, and keeps the controller's settings, compare results and clocks.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "board.h"
#include "compare_failures.h"
#include "pod.h"
#include "svfplayer/svf_player.h"
#include "tap_port.h"
#include "tap_state.h"

namespace veltrasim {

struct Counters {
    uint64_t tckCycles = 0;
    uint64_t irBits = 0;
    uint64_t drBits = 0;
};

enum class Register : uint8_t { Ir, Dr };
enum class Ending : uint8_t { StopState, Pause };

struct ShiftRequest {
    Register reg = Register::Dr;
    Ending ending = Ending::StopState;
    bool longForm = false;  // any bit count, if the board allows it
    uint32_t tap = 0;
    const uint16_t* tdi = nullptr;  // null: zeros
    uint64_t bitCount = 0;
    uint16_t* tdo = nullptr;
    const uint16_t* expected = nullptr;  // null: nothing compared
    const uint16_t* mask = nullptr;      // 1 = ignore; null: compare all
};

class Controller {
  public:
    explicit Controller(std::shared_ptr<const BoardConfig> board);

    const char* ErrorText() const { return errorText_.c_str(); }
    void SetErrorText(std::string text) { errorText_ = std::move(text); }

    uint32_t ResetTap(uint32_t tap);
    uint32_t PulseTrst(uint32_t tap);
    uint32_t SetTapState(uint32_t tap, uint32_t code);
    uint32_t Shift(const ShiftRequest& request);
    uint32_t WaitTck(uint32_t count);
    uint32_t SetStopState(uint32_t code);
    uint32_t SetFrequency(uint32_t khz);
    uint32_t SetTckIdleState(uint32_t mode);
    uint32_t WaitTime(uint32_t amount, uint32_t unit);
    uint32_t SetBuffering(uint32_t depth);
    uint32_t SetFlagLength(uint32_t tap, uint32_t value);
    uint32_t GetPodInfo(uint32_t tap, uint32_t* pinMask, uint32_t* levelMask);
    uint32_t SetStartState(uint32_t tap, uint32_t code);
    uint32_t SetGanging(uint32_t tap, uint32_t mask);
    uint32_t GetCompareResult(uint32_t* failMask);
    uint32_t SetCompareMode(uint32_t mode);
    uint32_t AccessPioPins(uint32_t tap, uint32_t usedMask, uint32_t driveMask, uint32_t highMask,
                           uint32_t* readBack);
    uint32_t GetControllerInfo(const uint32_t** record);
    uint32_t SetPodSignal(uint32_t tap, uint32_t signal, uint32_t level);
    uint32_t SetTrst(uint32_t tap, uint32_t level);

    // One TCK on a TAP outside any controller call (tests step the chain).
    bool RawClock(uint32_t tap, bool tms, bool tdi) { return Clock(tap, tms, tdi, true); }

    const Counters& Count() const { return counters_; }
    uint64_t VirtualTimeUs() const;
    uint32_t GangMask() const { return gangMask_; }
    int32_t DeviceState(uint32_t tap, uint32_t device) const;
    char PinLevel(uint32_t tap, uint32_t pin) const;
    int32_t PodSignal(uint32_t signal) const;

    // Pin-level access for the served board (veltra-serve) and the update
    // log; TAPs are checked by the caller.
    TapPort& Port(uint32_t tap) { return ports_[tap - 1]; }
    const TapPort& Port(uint32_t tap) const { return ports_[tap - 1]; }

    // Failing compare shifts, for hosts that show what failed.
    const CompareFailures& Failures() const { return failures_; }
    void ClearFailures() { failures_.Clear(); }

  private:
    // The TAPs a call addressed to `tap` drives: the gang while ganging is
    // on, else `tap` alone. The first entry is the one whose TDO is returned.
    std::vector<uint32_t> TapsOf(uint32_t tap) const;
    bool Clock(uint32_t tap, bool tms, bool tdi, bool counted);
    void Walk(uint32_t tap, TapState target, bool counted);
    bool ShiftOne(uint32_t tap, const ShiftRequest& request, bool lead);
    uint32_t Fail(std::string text);
    uint32_t CheckTap(uint32_t tap);
    uint32_t CheckShift(const ShiftRequest& request);
    void FoldTime();

    std::shared_ptr<const BoardConfig> board_;
    std::array<TapPort, kTapCount> ports_;
    std::array<TapState, kTapCount> believed_{};  // where the controller put each TAP
    Pod pod_;
    std::string errorText_;
    TapState stopState_ = TapState::Idle;
    uint32_t frequencyKhz_ = 0;
    uint32_t gangMask_ = 0;
    uint32_t compareFailMask_ = 0;
    std::array<uint32_t, VELTRA_INFO_WORDS> info_{};
    Counters counters_;
    std::vector<uint16_t> compareWords_;  // TDO of a compared shift that captures nothing
    double timeBeforeFrequencyUs_ = 0;    // TCK time at earlier frequencies plus waits
    uint64_t tckAtFrequency_ = 0;         // TCK count when the frequency last changed

    CompareFailures failures_;
};

}  // namespace veltrasim
