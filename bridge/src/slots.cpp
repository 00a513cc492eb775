// The controller table over the engine, and the library's C exports. Every
// slot catches everything: no exception crosses the table.
#include <array>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include "adapter.h"
#include "bridge.h"
#include "engine.h"
#include "veltra_bridge.h"

namespace bridge {
namespace {

constexpr uint32_t kOnlyTap = 1;
constexpr uint32_t kTapBit = 1u << (kOnlyTap - 1);
constexpr uint32_t kEveryTap = 0xFFFFFFFFu;
constexpr uint32_t kTrstAsserted = 0;

struct State {
    std::unique_ptr<Engine> engine;
    std::string openError;  // why the last VeltraBridge_Open failed
    std::string errorText;  // GetErrorText
    bool environmentTried = false;
    uint32_t frequencyKhz = 0;
    bool hasClock = false;
    std::array<uint32_t, VELTRA_INFO_WORDS> info{};
};

State& Bridge() {
    static State state;
    return state;
}

uint32_t Failed(std::string text) {
    Bridge().errorText = std::move(text);
    return VELTRA_FAILED;
}

bool Open(const char* adapter) {
    State& s = Bridge();
    s.engine.reset();
    s.environmentTried = true;  // a host that names the adapter wins over the variable
    s.frequencyKhz = 0;
    s.hasClock = false;
    std::string error;
    auto transport = OpenAdapter(adapter, error);
    if (!transport) {
        s.openError = std::move(error);
        return false;
    }
    s.engine = std::make_unique<Engine>(std::move(transport));
    s.openError.clear();
    return true;
}

// The engine to work on, opened from the environment on first use; null
// (and the reason as the error text) when there is no adapter.
Engine* Ready() {
    State& s = Bridge();
    if (!s.engine && !s.environmentTried) {
        s.environmentTried = true;
        if (const char* adapter = std::getenv(VELTRA_BRIDGE_ADAPTER_VARIABLE)) Open(adapter);
    }
    if (!s.engine) {
        s.errorText =
            s.openError.empty()
                ? "no adapter: call VeltraBridge_Open or set " VELTRA_BRIDGE_ADAPTER_VARIABLE
                : s.openError;
    }
    return s.engine.get();
}

// Runs `action` on the engine of TAP 1: VELTRA_OK, or VELTRA_FAILED with the
// transport's text when it returns false.
template <class Action>
uint32_t OnTap(uint32_t tap, Action&& action) noexcept {
    try {
        Engine* engine = Ready();
        if (engine == nullptr) return VELTRA_FAILED;
        if (tap != kOnlyTap) {
            return Failed("TAP " + std::to_string(tap) +
                          " does not exist (an adapter drives TAP 1)");
        }
        const uint32_t result = action(*engine);
        if (engine->Failed()) return Failed(engine->Error());
        return result;
    } catch (const std::bad_alloc&) {
        return Failed("out of memory");
    } catch (const std::exception& e) {
        return Failed(e.what());
    } catch (...) {
        return Failed("unexpected failure");
    }
}

uint32_t Result(bool ok) { return ok ? VELTRA_OK : VELTRA_FAILED; }

std::optional<TapState> StateOfCode(uint32_t code) {
    if (code < SVF_STATE_CODE_RESET || code > SVF_STATE_CODE_IRPAUSE) return std::nullopt;
    return static_cast<TapState>(code - SVF_STATE_CODE_RESET);
}

const char* GetErrorText() { return Bridge().errorText.c_str(); }

uint32_t ResetTap(uint32_t tap) {
    return OnTap(tap, [](Engine& e) { return Result(e.Reset()); });
}

uint32_t SetTrst(uint32_t tap, uint32_t level) {
    return OnTap(tap, [level](Engine& e) {
        if (!e.HasTrst()) return VELTRA_NOT_SUPPORTED;
        return Result(e.SetTrst(level == kTrstAsserted));
    });
}

uint32_t PulseTrst(uint32_t tap) {
    return OnTap(tap, [](Engine& e) {
        if (!e.HasTrst()) return VELTRA_NOT_SUPPORTED;
        return Result(e.SetTrst(true) && e.SetTrst(false));
    });
}

uint32_t SetTapState(uint32_t tap, uint32_t code) {
    return OnTap(tap, [code](Engine& e) {
        const auto state = StateOfCode(code);
        if (!state) return Failed("invalid TAP state code " + std::to_string(code));
        return Result(e.MoveTo(*state));
    });
}

uint32_t SetStartState(uint32_t tap, uint32_t code) {
    return OnTap(tap, [code](Engine& e) {
        const auto state = StateOfCode(code);
        if (!state) return Failed("invalid TAP state code " + std::to_string(code));
        e.AssumeState(*state);
        return VELTRA_OK;
    });
}

template <Register kReg, Ending kEnding>
uint32_t PlainShift(uint32_t tap, const uint16_t* tdi, uint32_t bitCount, uint16_t* tdo) {
    return OnTap(tap, [&](Engine& e) {
        return Result(e.Shift({kReg, kEnding, tdi, bitCount, tdo, nullptr, nullptr}));
    });
}

template <Register kReg, Ending kEnding>
uint32_t CompareShift(uint32_t tap, const uint16_t* tdi, uint32_t bitCount, uint16_t* tdo,
                      const uint16_t* expected, const uint16_t* mask) {
    return OnTap(tap, [&](Engine& e) {
        return Result(e.Shift({kReg, kEnding, tdi, bitCount, tdo, expected, mask}));
    });
}

uint32_t WaitTck(uint32_t count) {
    return OnTap(kOnlyTap, [count](Engine& e) { return Result(e.Idle(count)); });
}

uint32_t WaitTime(uint32_t amount, uint32_t unit) {
    return OnTap(kOnlyTap, [&](Engine& e) {
        if (unit != VELTRA_TIME_MICROSECONDS) {
            return Failed("time unit " + std::to_string(unit) + " is not supported");
        }
        return Result(e.Sleep(amount));
    });
}

uint32_t SetStopState(uint32_t code) {
    return OnTap(kOnlyTap, [code](Engine& e) {
        const auto state = StateOfCode(code);
        if (!state) return Failed("invalid stop state code " + std::to_string(code));
        e.SetStopState(*state);
        return VELTRA_OK;
    });
}

uint32_t SetFrequency(uint32_t khz) {
    return OnTap(kOnlyTap, [khz](Engine& e) {
        if (khz == 0) return Failed("TCK frequency 0 kHz is not possible");
        State& s = Bridge();
        const auto set = e.SetFrequency(khz);
        s.hasClock = set.has_value();
        s.frequencyKhz = set.value_or(khz);
        return VELTRA_OK;
    });
}

uint32_t SetBuffering(uint32_t depth) {
    // Any depth: the bridge batches by itself; 0 sends what is held back.
    return OnTap(kOnlyTap, [depth](Engine& e) { return Result(depth != 0 || e.Flush()); });
}

uint32_t SetGanging(uint32_t tap, uint32_t mask) {
    return OnTap(tap, [mask](Engine&) { return mask == 0 ? VELTRA_OK : VELTRA_NOT_SUPPORTED; });
}

uint32_t GetCompareResult(uint32_t* failMask) {
    const uint32_t result = OnTap(kOnlyTap, [failMask](Engine& e) {
        if (failMask == nullptr) return Failed("GetCompareResult needs an output pointer");
        if (!e.Flush()) return VELTRA_FAILED;
        *failMask = e.TakeMismatch() ? kTapBit : 0;
        return VELTRA_OK;
    });
    // Hosts may not look at this call's result: a failure fails every TAP.
    if (result != VELTRA_OK && failMask != nullptr) *failMask = kEveryTap;
    return result;
}

uint32_t SetCompareMode(uint32_t /*mode*/) {
    return OnTap(kOnlyTap, [](Engine& e) {
        if (!e.Flush()) return VELTRA_FAILED;
        e.TakeMismatch();  // a new compare session starts clean
        return VELTRA_OK;
    });
}

uint32_t GetControllerInfo(const uint32_t** record) {
    return OnTap(kOnlyTap, [record](Engine& e) {
        if (record == nullptr) return Failed("GetControllerInfo needs an output pointer");
        if (!e.Flush()) return VELTRA_FAILED;
        State& s = Bridge();
        s.info.fill(0);
        s.info[0] = VELTRA_INFO_LONG_SHIFT_VALID | (s.hasClock ? VELTRA_INFO_FREQUENCY_VALID : 0);
        s.info[VELTRA_INFO_WORD_FREQUENCY] = s.hasClock ? s.frequencyKhz : 0;
        s.info[VELTRA_INFO_WORD_LONG_SHIFT_A] = VELTRA_INFO_LONG_SHIFT_BIT;
        s.info[VELTRA_INFO_WORD_LONG_SHIFT_B] = VELTRA_INFO_LONG_SHIFT_BIT;
        *record = s.info.data();
        return VELTRA_OK;
    });
}

// What an adapter has none of: TCK idle state, flag length, pod pins and signals.
uint32_t NotSupported(uint32_t) { return VELTRA_NOT_SUPPORTED; }
uint32_t NotSupported(uint32_t, uint32_t) { return VELTRA_NOT_SUPPORTED; }
uint32_t NotSupported(uint32_t, uint32_t, uint32_t) { return VELTRA_NOT_SUPPORTED; }
uint32_t NotSupported(uint32_t, uint32_t*, uint32_t*) { return VELTRA_NOT_SUPPORTED; }
uint32_t NotSupported(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t*) {
    return VELTRA_NOT_SUPPORTED;
}

constexpr VeltraApi MakeTable() {
    VeltraApi api{};
    api.GetErrorText = &GetErrorText;
    api.ResetTap = &ResetTap;
    api.PulseTrst = &PulseTrst;
    api.SetTapState = &SetTapState;
    api.ShiftDr = &PlainShift<Register::Dr, Ending::StopState>;
    api.ShiftIr = &PlainShift<Register::Ir, Ending::StopState>;
    api.ShiftDrToPause = &PlainShift<Register::Dr, Ending::Pause>;
    api.ShiftIrToPause = &PlainShift<Register::Ir, Ending::Pause>;
    api.WaitTck = &WaitTck;
    api.SetStopState = &SetStopState;
    api.SetFrequency = &SetFrequency;
    api.WaitTime = &WaitTime;
    api.SetBuffering = &SetBuffering;
    api.SetStartState = &SetStartState;
    api.SetGanging = &SetGanging;
    api.ShiftDrCompare = &CompareShift<Register::Dr, Ending::StopState>;
    api.ShiftIrCompare = &CompareShift<Register::Ir, Ending::StopState>;
    api.ShiftDrCompareToPause = &CompareShift<Register::Dr, Ending::Pause>;
    api.ShiftIrCompareToPause = &CompareShift<Register::Ir, Ending::Pause>;
    api.GetCompareResult = &GetCompareResult;
    api.SetCompareMode = &SetCompareMode;
    api.GetControllerInfo = &GetControllerInfo;
    api.ShiftDrLong = &CompareShift<Register::Dr, Ending::StopState>;
    api.ShiftDrLongToPause = &CompareShift<Register::Dr, Ending::Pause>;
    api.SetTrst = &SetTrst;
    api.SetTckIdleState = &NotSupported;
    api.SetFlagLength = &NotSupported;
    api.GetPodInfo = &NotSupported;
    api.AccessPioPins = &NotSupported;
    api.SetPodSignal = &NotSupported;
    return api;
}

constexpr VeltraApi kTable = MakeTable();

}  // namespace

void UseTransport(std::unique_ptr<Transport> transport) {
    State& s = Bridge();
    s.engine = std::make_unique<Engine>(std::move(transport));
    s.frequencyKhz = 0;
    s.hasClock = false;
    s.errorText.clear();
}

bool OpenAdapterNamed(const char* adapter) { return Open(adapter); }
const char* OpenError() { return Bridge().openError.c_str(); }
void CloseAdapter() { Bridge().engine.reset(); }
const VeltraApi* Table() { return &kTable; }

}  // namespace bridge
