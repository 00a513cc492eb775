#include "engine.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace bridge {

namespace {

// Clocks held back before they go to the adapter: large enough that the
// transport streams, small enough to bound the buffers (a few MB).
constexpr size_t kBatchClocks = size_t{1} << 20;
constexpr int kResetClocks = 5;  // TMS high this long resets from any state

void PadTo(Bits& bits, size_t n) {
    if (bits.size() < n) bits.Append(false, n - bits.size());
}

}  // namespace

Engine::Engine(std::unique_ptr<Transport> transport) : transport_(std::move(transport)) {}

Engine::~Engine() {
    if (!failed_) {
        Flush();
        transport_->Leave();
    }
}

void Engine::Clock(bool tms, bool tdi) {
    batch_.tms.PushBack(tms);
    batch_.tdi.PushBack(tdi);
    batch_.read.PushBack(false);
    if (state_) state_ = veltrasim::NextState(*state_, tms);
}

bool Engine::FlushIfFull() { return batch_.size() < kBatchClocks ? !failed_ : Flush(); }

bool Engine::Reset() {
    for (int i = 0; i < kResetClocks; ++i) Clock(true, false);
    state_ = TapState::kReset;
    return FlushIfFull();
}

bool Engine::MoveTo(TapState target) {
    if (!state_ && !Reset()) return false;
    const int longest = veltrasim::LongestWalk();
    for (int steps = 0; *state_ != target && steps < longest; ++steps) {
        Clock(veltrasim::TmsToward(*state_, target), false);
    }
    return FlushIfFull();
}

bool Engine::Shift(const ShiftRequest& r) {
    if (failed_) return false;
    if (r.bitCount == 0) return true;
    const bool ir = r.reg == Register::kIr;
    if (!MoveTo(ir ? TapState::kIrShift : TapState::kDrShift)) return false;
    for (uint64_t done = 0; done < r.bitCount;) {
        const size_t room = kBatchClocks - std::min(kBatchClocks - 1, batch_.size());
        const size_t n = static_cast<size_t>(std::min<uint64_t>(room, r.bitCount - done));
        const bool last = done + n == r.bitCount;
        const size_t first = batch_.size();
        batch_.tms.Append(false, n - 1);
        batch_.tms.PushBack(last);
        batch_.tdi.AppendWords(r.tdi, done, n);
        batch_.read.Append(r.tdo != nullptr || r.expected != nullptr, n);
        if (r.tdo != nullptr) captures_.push_back({first, n, r.tdo, static_cast<size_t>(done)});
        if (r.expected != nullptr) {
            PadTo(care_, first);
            PadTo(expected_, first);
            care_.AppendWords(r.mask, done, n, true, true);
            expected_.AppendWords(r.expected, done, n);
        }
        done += n;
        if (!last && !Flush()) return false;
    }
    state_ = ir ? TapState::kIrExit1 : TapState::kDrExit1;
    if (!MoveTo(r.ending == Ending::kPause ? (ir ? TapState::kIrPause : TapState::kDrPause)
                                           : stopState_)) {
        return false;
    }
    // The caller reads its capture as soon as the call returns.
    return r.tdo != nullptr ? Flush() : FlushIfFull();
}

bool Engine::Idle(uint64_t clocks) {
    if (failed_) return false;
    const bool tms = state_ && veltrasim::HoldTms(*state_);
    while (clocks > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(clocks, kBatchClocks));
        batch_.tms.Append(tms, n);
        batch_.tdi.Append(false, n);
        batch_.read.Append(false, n);
        clocks -= n;
        if (!FlushIfFull()) return false;
    }
    return true;
}

bool Engine::Sleep(uint64_t microseconds) {
    if (!Flush()) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
    return true;
}

bool Engine::Flush() {
    if (failed_) return false;
    if (batch_.size() == 0) return true;
    if (!transport_->Run(batch_, tdo_)) {
        failed_ = true;
        return false;
    }
    for (const Capture& c : captures_) tdo_.CopyToWords(c.first, c.count, c.words, c.to);
    if (!care_.empty()) {
        PadTo(care_, batch_.size());
        PadTo(expected_, batch_.size());
        const auto& got = tdo_.bytes();
        const auto& want = expected_.bytes();
        const auto& care = care_.bytes();
        for (size_t i = 0; i < care.size() && !mismatch_; ++i) {
            mismatch_ = ((got[i] ^ want[i]) & care[i]) != 0;
        }
    }
    batch_.Clear();
    care_.Clear();
    expected_.Clear();
    captures_.clear();
    return true;
}

std::optional<uint32_t> Engine::SetFrequency(uint32_t khz) {
    if (!Flush()) return std::nullopt;
    const auto set = transport_->SetFrequency(khz);
    if (!set && !transport_->Error().empty()) failed_ = true;
    return set;
}

bool Engine::SetTrst(bool asserted) {
    if (!Flush()) return false;
    if (!transport_->SetTrst(asserted)) {
        failed_ = true;
        return false;
    }
    // Whatever was clocked meanwhile, the chain leaves TRST in Test-Logic-Reset.
    state_ = TapState::kReset;
    return true;
}

bool Engine::TakeMismatch() {
    const bool mismatch = mismatch_;
    mismatch_ = false;
    return mismatch;
}

}  // namespace bridge
