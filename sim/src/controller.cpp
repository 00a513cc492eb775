#include "controller.h"

#include <algorithm>
#include <stdexcept>

#include "bit_words.h"

namespace veltrasim {
namespace {

constexpr uint64_t kMaxShortShift = 65535;  // bits per call of the normal shifts
constexpr uint32_t kTrstAsserted = 0;
constexpr uint32_t kTckIdleAtStart = 1;
constexpr uint32_t kTckIdleAtEnd = 2;
constexpr uint32_t kCorrectionOff = 1;
constexpr uint32_t kCorrectionOn = 2;
constexpr double kMicrosecondsPerKhzCycle = 1000.0;
constexpr uint32_t kLongShiftWordValue = VELTRA_INFO_LONG_SHIFT_BIT;

bool BitAt(const uint16_t* words, uint64_t bit) {
    return (words[bit / kWordBits] >> (bit % kWordBits)) & 1u;
}

void PutBit(uint16_t* words, uint64_t bit, bool value) {
    const auto flag = static_cast<uint16_t>(1u << (bit % kWordBits));
    if (value) {
        words[bit / kWordBits] |= flag;
    } else {
        words[bit / kWordBits] &= static_cast<uint16_t>(~flag);
    }
}

uint32_t TapBit(uint32_t tap) { return 1u << (tap - 1); }

std::string ShiftName(const ShiftRequest& r) {
    std::string name = r.reg == Register::kIr ? "ShiftIr" : "ShiftDr";
    if (r.longForm) name += "Long";
    return name;
}

}  // namespace

Controller::Controller(std::shared_ptr<const BoardConfig> board) : board_(std::move(board)) {
    for (uint32_t i = 0; i < kTapCount; ++i) ports_[i].Load(board_->taps[i]);
    believed_.fill(TapState::kReset);
    pod_.Load(board_->pod);
    frequencyKhz_ = board_->controller.frequencyKhz;
}

uint32_t Controller::Fail(std::string text) {
    errorText_ = std::move(text);
    return VELTRA_FAILED;
}

uint32_t Controller::CheckTap(uint32_t tap) {
    if (tap >= 1 && tap <= kTapCount) return VELTRA_OK;
    return Fail("TAP " + std::to_string(tap) + " does not exist (TAPs 1 to 32)");
}

std::vector<uint32_t> Controller::TapsOf(uint32_t tap) const {
    if (gangMask_ == 0) return {tap};
    std::vector<uint32_t> taps;
    if (gangMask_ & TapBit(tap)) taps.push_back(tap);
    for (uint32_t t = 1; t <= kTapCount; ++t) {
        if ((gangMask_ & TapBit(t)) && t != tap) taps.push_back(t);
    }
    return taps;
}

bool Controller::Clock(uint32_t tap, bool tms, bool tdi, bool counted) {
    TapState& state = believed_[tap - 1];
    if (counted) {
        ++counters_.tckCycles;
        if (state == TapState::kIrShift) ++counters_.irBits;
        if (state == TapState::kDrShift) ++counters_.drBits;
    }
    state = NextState(state, tms);
    return ports_[tap - 1].Clock(tms, tdi);
}

void Controller::Walk(uint32_t tap, TapState target, bool counted) {
    const int longest = LongestWalk();
    for (int steps = 0; believed_[tap - 1] != target; ++steps) {
        if (steps == longest) {
            throw std::logic_error("TAP walk to " + std::string(StateName(target)) +
                                   " exceeded the longest legal path");
        }
        Clock(tap, TmsToward(believed_[tap - 1], target), false, counted);
    }
}

uint32_t Controller::ResetTap(uint32_t tap) {
    if (CheckTap(tap) != VELTRA_OK) return VELTRA_FAILED;
    constexpr int kResetClocks = 5;  // TMS high this long resets from any state
    bool lead = true;
    for (uint32_t t : TapsOf(tap)) {
        for (int i = 0; i < kResetClocks; ++i) Clock(t, true, false, lead);
        lead = false;
    }
    return VELTRA_OK;
}

uint32_t Controller::PulseTrst(uint32_t tap) {
    if (CheckTap(tap) != VELTRA_OK) return VELTRA_FAILED;
    if (!board_->controller.trst) return VELTRA_NOT_SUPPORTED;
    for (uint32_t t : TapsOf(tap)) {
        ports_[t - 1].SetTrst(true);
        ports_[t - 1].SetTrst(false);
        believed_[t - 1] = TapState::kReset;
    }
    return VELTRA_OK;
}

uint32_t Controller::SetTrst(uint32_t tap, uint32_t level) {
    if (CheckTap(tap) != VELTRA_OK) return VELTRA_FAILED;
    if (!board_->controller.trst) return VELTRA_NOT_SUPPORTED;
    const bool asserted = level == kTrstAsserted;
    for (uint32_t t : TapsOf(tap)) {
        ports_[t - 1].SetTrst(asserted);
        // Whatever was clocked meanwhile, the chain leaves TRST in Test-Logic-Reset.
        believed_[t - 1] = TapState::kReset;
    }
    return VELTRA_OK;
}

uint32_t Controller::SetTapState(uint32_t tap, uint32_t code) {
    if (CheckTap(tap) != VELTRA_OK) return VELTRA_FAILED;
    const auto target = StateOfCode(code);
    if (!target) return Fail("invalid TAP state code " + std::to_string(code));
    bool lead = true;
    for (uint32_t t : TapsOf(tap)) {
        Walk(t, *target, lead);
        lead = false;
    }
    return VELTRA_OK;
}

uint32_t Controller::SetStartState(uint32_t tap, uint32_t code) {
    if (CheckTap(tap) != VELTRA_OK) return VELTRA_FAILED;
    const auto state = StateOfCode(code);
    if (!state) return Fail("invalid TAP state code " + std::to_string(code));
    // Take the host's word: the chain is placed in that state too, as a
    // previous run would have left it.
    for (uint32_t t : TapsOf(tap)) {
        believed_[t - 1] = *state;
        ports_[t - 1].Assume(*state);
    }
    return VELTRA_OK;
}

uint32_t Controller::CheckShift(const ShiftRequest& r) {
    if (CheckTap(r.tap) != VELTRA_OK) return VELTRA_FAILED;
    if (r.longForm && !board_->controller.longShifts) {
        errorText_ = "long DR shifts are not supported";
        return VELTRA_NOT_SUPPORTED;
    }
    if (!r.longForm && r.bitCount > kMaxShortShift) {
        return Fail(ShiftName(r) + ": " + std::to_string(r.bitCount) +
                    " bits exceed the limit of 65535 bits per call");
    }
    return VELTRA_OK;
}

bool Controller::ShiftOne(uint32_t tap, const ShiftRequest& r, bool lead) {
    const bool ir = r.reg == Register::kIr;
    Walk(tap, ir ? TapState::kIrShift : TapState::kDrShift, lead);
    // A compare keeps what it captured (in the caller's buffer or our own),
    // so that a failure can be shown.
    uint16_t* out = lead ? r.tdo : nullptr;
    if (out == nullptr && r.expected != nullptr) {
        compareWords_.assign(WordsFor(r.bitCount), 0);
        out = compareWords_.data();
    }
    // Every bit but the last keeps TMS low and the chain in its Shift state:
    // those move as whole words when the devices allow it.
    uint64_t i = 0;
    const uint64_t inShift = r.bitCount - 1;
    if (inShift > 0 && ports_[tap - 1].ShiftWords(r.tdi, inShift, out)) {
        if (lead) {
            counters_.tckCycles += inShift;
            (ir ? counters_.irBits : counters_.drBits) += inShift;
        }
        i = inShift;
    }
    for (; i < r.bitCount; ++i) {
        const bool last = i + 1 == r.bitCount;
        const bool tdo = Clock(tap, last, r.tdi && BitAt(r.tdi, i), lead);
        if (out) PutBit(out, i, tdo);
    }
    const TapState pause = ir ? TapState::kIrPause : TapState::kDrPause;
    Walk(tap, r.ending == Ending::kPause ? pause : stopState_, lead);
    const bool failed = r.expected != nullptr && DiffersUnder(out, r.expected, r.mask, r.bitCount);
    if (failed) failures_.Add({tap, ir, r.bitCount, r.tdi, r.expected, r.mask, out});
    return failed;
}

uint32_t Controller::Shift(const ShiftRequest& r) {
    if (const uint32_t refused = CheckShift(r); refused != VELTRA_OK) return refused;
    if (r.bitCount == 0) return VELTRA_OK;  // nothing to shift, the TAP stays
    bool lead = true;
    for (uint32_t t : TapsOf(r.tap)) {
        if (ShiftOne(t, r, lead)) compareFailMask_ |= TapBit(t);
        lead = false;
    }
    return VELTRA_OK;
}

uint32_t Controller::WaitTck(uint32_t count) {
    // A stable state holds under its own TMS level, so the chain does not
    // change: only the clock advances.
    counters_.tckCycles += count;
    return VELTRA_OK;
}

uint32_t Controller::SetStopState(uint32_t code) {
    const auto state = StateOfCode(code);
    if (!state) return Fail("invalid stop state code " + std::to_string(code));
    stopState_ = *state;
    return VELTRA_OK;
}

void Controller::FoldTime() {
    if (frequencyKhz_ != 0) {
        timeBeforeFrequencyUs_ += static_cast<double>(counters_.tckCycles - tckAtFrequency_) *
                                  kMicrosecondsPerKhzCycle / frequencyKhz_;
    }
    tckAtFrequency_ = counters_.tckCycles;
}

uint64_t Controller::VirtualTimeUs() const {
    double time = timeBeforeFrequencyUs_;
    if (frequencyKhz_ != 0) {
        time += static_cast<double>(counters_.tckCycles - tckAtFrequency_) *
                kMicrosecondsPerKhzCycle / frequencyKhz_;
    }
    return static_cast<uint64_t>(time);
}

uint32_t Controller::SetFrequency(uint32_t khz) {
    if (khz == 0) return Fail("TCK frequency 0 kHz is not possible");
    FoldTime();
    // Like real hardware, take the nearest frequency the controller can make.
    frequencyKhz_ = std::min(khz, board_->controller.maxFrequencyKhz);
    return VELTRA_OK;
}

uint32_t Controller::SetTckIdleState(uint32_t mode) {
    if (!board_->controller.tckIdleState) return VELTRA_NOT_SUPPORTED;
    if (mode != kTckIdleAtStart && mode != kTckIdleAtEnd) {
        return Fail("invalid TCK idle state mode " + std::to_string(mode));
    }
    return VELTRA_OK;
}

uint32_t Controller::WaitTime(uint32_t amount, uint32_t unit) {
    if (unit != VELTRA_TIME_MICROSECONDS) {
        return Fail("time unit " + std::to_string(unit) + " is not supported");
    }
    timeBeforeFrequencyUs_ += amount;
    return VELTRA_OK;
}

uint32_t Controller::SetBuffering(uint32_t depth) {
    const ControllerConfig& config = board_->controller;
    if (!config.buffering) return VELTRA_NOT_SUPPORTED;
    if (depth == 0) return VELTRA_OK;  // flush: nothing is ever held back
    const bool accepted = std::find(config.bufferDepths.begin(), config.bufferDepths.end(),
                                    depth) != config.bufferDepths.end();
    return accepted ? VELTRA_OK : VELTRA_DEPTH_REFUSED;
}

uint32_t Controller::SetFlagLength(uint32_t tap, uint32_t value) {
    if (!board_->controller.flagLength) return VELTRA_NOT_SUPPORTED;
    if (tap == VELTRA_ALL_TAPS) {
        if (value != kCorrectionOff && value != kCorrectionOn) {
            return Fail("invalid correction mode " + std::to_string(value));
        }
        return VELTRA_OK;
    }
    return CheckTap(tap);
}

uint32_t Controller::GetPodInfo(uint32_t tap, uint32_t* pinMask, uint32_t* levelMask) {
    if (CheckTap(tap) != VELTRA_OK) return VELTRA_FAILED;
    if (!board_->controller.pio) return VELTRA_NOT_SUPPORTED;
    if (!pinMask || !levelMask) return Fail("GetPodInfo needs both output pointers");
    const uint32_t pins = tap <= kPodTapCount ? pod_.InUse(tap) : 0;
    *pinMask = pins;
    *levelMask = pins ? pod_.Levels(tap, pins) : 0;
    return VELTRA_OK;
}

uint32_t Controller::SetGanging(uint32_t tap, uint32_t mask) {
    if (CheckTap(tap) != VELTRA_OK) return VELTRA_FAILED;
    if (!board_->controller.ganging) return VELTRA_NOT_SUPPORTED;
    gangMask_ = mask;
    return VELTRA_OK;
}

uint32_t Controller::GetCompareResult(uint32_t* failMask) {
    if (!failMask) return Fail("GetCompareResult needs an output pointer");
    *failMask = compareFailMask_;
    return VELTRA_OK;
}

uint32_t Controller::SetCompareMode(uint32_t /*mode*/) {
    if (!board_->controller.compareMode) return VELTRA_NOT_SUPPORTED;
    compareFailMask_ = 0;  // a new compare session starts clean
    return VELTRA_OK;
}

uint32_t Controller::AccessPioPins(uint32_t tap, uint32_t usedMask, uint32_t driveMask,
                                   uint32_t highMask, uint32_t* readBack) {
    if (!board_->controller.pio) return VELTRA_NOT_SUPPORTED;
    if (tap < 1 || tap > kPodTapCount) {
        return Fail("TAP " + std::to_string(tap) + " has no I/O pins (TAPs 1 to 4)");
    }
    constexpr uint32_t kAllPins = (1u << kPinsPerTap) - 1;
    if ((usedMask | driveMask | highMask) & ~kAllPins) {
        return Fail("I/O pin masks name pins beyond pin 4");
    }
    const uint32_t levels = pod_.Access(tap, usedMask, driveMask, highMask);
    if (readBack) *readBack = levels;
    return VELTRA_OK;
}

uint32_t Controller::GetControllerInfo(const uint32_t** record) {
    const ControllerConfig& config = board_->controller;
    if (!config.infoRecord) return VELTRA_NOT_SUPPORTED;
    if (!record) return Fail("GetControllerInfo needs an output pointer");
    info_.fill(0);
    info_[0] = config.infoValidBits;
    info_[VELTRA_INFO_WORD_TYPE] = config.type;
    info_[VELTRA_INFO_WORD_FREQUENCY] = frequencyKhz_;
    const uint32_t longShift = config.longShifts ? kLongShiftWordValue : 0;
    info_[VELTRA_INFO_WORD_LONG_SHIFT_A] = longShift;
    info_[VELTRA_INFO_WORD_LONG_SHIFT_B] = longShift;
    *record = info_.data();
    return VELTRA_OK;
}

uint32_t Controller::SetPodSignal(uint32_t tap, uint32_t signal, uint32_t level) {
    if (CheckTap(tap) != VELTRA_OK) return VELTRA_FAILED;
    if (!board_->controller.pio) return VELTRA_NOT_SUPPORTED;
    if (signal >= kPodSignalCount) return Fail("invalid pod signal " + std::to_string(signal));
    if (level > 1) return Fail("invalid pod signal level " + std::to_string(level));
    pod_.SetSignal(signal, level != 0);
    return VELTRA_OK;
}

int32_t Controller::DeviceState(uint32_t tap, uint32_t device) const {
    if (tap < 1 || tap > kTapCount) return -1;
    return ports_[tap - 1].DeviceState(device);
}

char Controller::PinLevel(uint32_t tap, uint32_t pin) const {
    if (tap < 1 || tap > kPodTapCount || pin < 1 || pin > kPinsPerTap) return 'Z';
    return pod_.Level(tap, pin);
}

int32_t Controller::PodSignal(uint32_t signal) const {
    return signal < kPodSignalCount && pod_.Signal(signal) ? 1 : 0;
}

}  // namespace veltrasim
