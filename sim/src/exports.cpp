// The VeltraSim_ functions: thin C wrappers over the simulator.
#include <string>

#include "board_file.h"
#include "simulator.h"
#include "veltra_sim.h"

using veltrasim::Sim;

namespace {

template <class Action>
auto Guarded(Action&& action, decltype(action()) fallback) noexcept {
    try {
        return action();
    } catch (...) {
        return fallback;
    }
}

constexpr int32_t kLoadFailed = 1;

int32_t Load(veltrasim::BoardResult result) {
    if (!result.board) {
        Sim().lastError = std::move(result.error);
        return kLoadFailed;
    }
    Sim().UseBoard(std::move(result.board));
    Sim().lastError.clear();
    return 0;
}

}  // namespace

extern "C" {

void VeltraSim_Reset(void) {
    Guarded(
        [] {
            Sim().Reset();
            return 0;
        },
        0);
}

int32_t VeltraSim_LoadBoardFile(const char* path) {
    return Guarded([&] { return Load(veltrasim::ReadBoardFile(path ? path : "")); }, kLoadFailed);
}

int32_t VeltraSim_LoadBoardText(const char* toml) {
    return Guarded([&] { return Load(veltrasim::ParseBoard(toml ? toml : "", "board text")); },
                   kLoadFailed);
}

const char* VeltraSim_LastError(void) {
    return Guarded([] { return Sim().lastError.c_str(); }, "out of memory");
}

void VeltraSim_EnableTrace(int32_t enabled) {
    Guarded(
        [&] {
            Sim().trace.Enable(enabled != 0);
            return 0;
        },
        0);
}

void VeltraSim_ClearTrace(void) {
    Guarded(
        [] {
            Sim().trace.Clear();
            return 0;
        },
        0);
}

uint32_t VeltraSim_TraceCount(void) {
    return Guarded([] { return static_cast<uint32_t>(Sim().trace.Count()); }, 0u);
}

const char* VeltraSim_TraceLine(uint32_t index) {
    return Guarded([&] { return Sim().trace.Line(index); }, "");
}

void VeltraSim_ScriptResult(const char* slot, uint32_t result, uint32_t onCall) {
    Guarded(
        [&] {
            const auto found = veltrasim::SlotByName(slot ? slot : "");
            if (found) {
                Sim().scripts.Add(*found, result, onCall);
            } else {
                Sim().lastError =
                    std::string("no controller slot named '") + (slot ? slot : "") + "' to script";
            }
            return 0;
        },
        0);
}

void VeltraSim_ClearScripts(void) {
    Guarded(
        [] {
            Sim().scripts.Clear();
            return 0;
        },
        0);
}

void VeltraSim_SetErrorText(const char* text) {
    Guarded(
        [&] {
            Sim().controller->SetErrorText(text ? text : "");
            return 0;
        },
        0);
}

void VeltraSim_GetStats(VeltraSimStats* stats) {
    if (!stats) return;
    Guarded(
        [&] {
            const veltrasim::Simulator& sim = Sim();
            *stats = VeltraSimStats{};
            for (std::size_t i = 0; i < veltrasim::kSlotCount; ++i) stats->calls[i] = sim.calls[i];
            const veltrasim::Counters& counters = sim.controller->Count();
            stats->irBits = counters.irBits;
            stats->drBits = counters.drBits;
            stats->tckCycles = counters.tckCycles;
            stats->virtualTimeUs = sim.controller->VirtualTimeUs();
            return 0;
        },
        0);
}

int32_t VeltraSim_DeviceState(uint32_t tap, uint32_t device) {
    return Guarded([&] { return Sim().controller->DeviceState(tap, device); }, -1);
}

char VeltraSim_PinLevel(uint32_t tap, uint32_t pin) {
    return Guarded([&] { return Sim().controller->PinLevel(tap, pin); }, 'Z');
}

int32_t VeltraSim_PodSignal(uint32_t signal) {
    return Guarded([&] { return Sim().controller->PodSignal(signal); }, 0);
}

int32_t VeltraSim_NextState(int32_t state, int32_t tms) {
    if (state < 0 || state >= static_cast<int32_t>(veltrasim::kTapStateCount)) return -1;
    return static_cast<int32_t>(
        veltrasim::NextState(static_cast<veltrasim::TapState>(state), tms != 0));
}

int32_t VeltraSim_Clock(uint32_t tap, int32_t tms, int32_t tdi) {
    if (tap < 1 || tap > veltrasim::kTapCount) return -1;
    return Guarded([&] { return Sim().controller->RawClock(tap, tms != 0, tdi != 0) ? 1 : 0; }, -1);
}

uint32_t VeltraSim_ControllerVersion(void) {
    return Guarded([] { return Sim().board->controller.version; }, 0u);
}

}  // extern "C"

// ---- Failing compare shifts ----

static_assert(VELTRA_SIM_MAX_FAILURES == veltrasim::CompareFailures::kMaxKept);
static_assert(VELTRA_SIM_MAX_FAILING_BITS == veltrasim::CompareFailures::kMaxBitsListed);
static_assert(VELTRA_SIM_MAX_SHOWN_BITS == veltrasim::CompareFailures::kMaxBitsShown);

extern "C" {

uint32_t VeltraSim_FailureCount(void) {
    return Guarded([] { return static_cast<uint32_t>(Sim().controller->Failures().Count()); }, 0u);
}

uint64_t VeltraSim_FailureTotal(void) {
    return Guarded([] { return Sim().controller->Failures().Total(); }, uint64_t{0});
}

int32_t VeltraSim_GetFailure(uint32_t index, VeltraSimFailure* failure) {
    constexpr int32_t kNoSuchRecord = 1;
    if (failure == nullptr) return kNoSuchRecord;
    return Guarded(
        [&] {
            const veltrasim::CompareFailure* kept = Sim().controller->Failures().At(index);
            if (kept == nullptr) return kNoSuchRecord;
            *failure = VeltraSimFailure{kept->tap,
                                        kept->instructionRegister ? 1u : 0u,
                                        kept->bitCount,
                                        kept->failingBitCount,
                                        kept->failingBits.size(),
                                        kept->failingBits.data(),
                                        kept->tdi.c_str(),
                                        kept->expected.c_str(),
                                        kept->mask.c_str(),
                                        kept->captured.c_str()};
            return 0;
        },
        kNoSuchRecord);
}

void VeltraSim_ClearFailures(void) {
    Guarded(
        [] {
            Sim().controller->ClearFailures();
            return 0;
        },
        0);
}

}  // extern "C"
