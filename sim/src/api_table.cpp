// The controller table: each slot counts the call, applies a scripted result
// or lets the controller carry it out, and records the trace line. No
// exception leaves a slot.
#include <new>
#include <stdexcept>

#include "simulator.h"
#include "veltra_sim.h"

namespace veltrasim {
namespace {

template <class Action, class Describe>
uint32_t Invoke(Slot slot, Action&& action, Describe&& describe) noexcept {
    uint32_t result = VELTRA_FAILED;
    try {
        Simulator& sim = Sim();
        ++sim.calls[Index(slot)];
        const auto scripted = sim.scripts.OnCall(slot);
        try {
            result = scripted ? *scripted : action(*sim.controller);
        } catch (const std::bad_alloc&) {
            sim.controller->SetErrorText("out of memory");
        } catch (const std::exception& e) {
            sim.controller->SetErrorText(e.what());
        }
        if (sim.trace.Enabled()) {
            TraceLine line(SlotName(Index(slot)));
            describe(line);
            sim.trace.Add(line.Finish(result));
        }
    } catch (...) {
        // The trace line is lost when memory runs out; the result stands.
    }
    return result;
}

const char* GetErrorText() {
    try {
        Simulator& sim = Sim();
        ++sim.calls[Index(Slot::kGetErrorText)];
        const char* text = sim.controller->ErrorText();
        if (sim.trace.Enabled()) {
            sim.trace.Add(TraceLine(SlotName(Index(Slot::kGetErrorText))).FinishText(text));
        }
        return text;
    } catch (...) {
        return "out of memory";
    }
}

uint32_t ResetTap(uint32_t tap) {
    return Invoke(
        Slot::kResetTap, [&](Controller& c) { return c.ResetTap(tap); },
        [&](TraceLine& t) { t.Number(tap); });
}

uint32_t PulseTrst(uint32_t tap) {
    return Invoke(
        Slot::kPulseTrst, [&](Controller& c) { return c.PulseTrst(tap); },
        [&](TraceLine& t) { t.Number(tap); });
}

uint32_t SetTapState(uint32_t tap, uint32_t code) {
    return Invoke(
        Slot::kSetTapState, [&](Controller& c) { return c.SetTapState(tap, code); },
        [&](TraceLine& t) {
            t.Number(tap);
            t.Number(code);
        });
}

// The four plain shifts share one shape.
template <Slot kSlot, Register kReg, Ending kEnding>
uint32_t PlainShift(uint32_t tap, const uint16_t* tdi, uint32_t bitCount, uint16_t* tdo) {
    ShiftRequest request;
    request.reg = kReg;
    request.ending = kEnding;
    request.tap = tap;
    request.tdi = tdi;
    request.bitCount = bitCount;
    request.tdo = tdo;
    return Invoke(
        kSlot, [&](Controller& c) { return c.Shift(request); },
        [&](TraceLine& t) {
            t.Number(tap);
            t.Bits(tdi, bitCount);
            t.Number(bitCount);
            t.Bits(tdo, bitCount);
        });
}

// The compare and long shifts share another.
template <Slot kSlot, Register kReg, Ending kEnding, bool kLong>
uint32_t CompareShift(uint32_t tap, const uint16_t* tdi, uint32_t bitCount, uint16_t* tdo,
                      const uint16_t* expected, const uint16_t* mask) {
    ShiftRequest request;
    request.reg = kReg;
    request.ending = kEnding;
    request.longForm = kLong;
    request.tap = tap;
    request.tdi = tdi;
    request.bitCount = bitCount;
    request.tdo = tdo;
    request.expected = expected;
    request.mask = mask;
    return Invoke(
        kSlot, [&](Controller& c) { return c.Shift(request); },
        [&](TraceLine& t) {
            t.Number(tap);
            t.Bits(tdi, bitCount);
            t.Number(bitCount);
            t.Bits(tdo, bitCount);
            t.Bits(expected, bitCount);
            t.Bits(mask, bitCount);
        });
}

template <Slot kSlot, uint32_t (Controller::*kMethod)(uint32_t)>
uint32_t ValueCall(uint32_t value) {
    return Invoke(
        kSlot, [&](Controller& c) { return (c.*kMethod)(value); },
        [&](TraceLine& t) { t.Number(value); });
}

template <Slot kSlot, uint32_t (Controller::*kMethod)(uint32_t, uint32_t)>
uint32_t TwoValueCall(uint32_t first, uint32_t second) {
    return Invoke(
        kSlot, [&](Controller& c) { return (c.*kMethod)(first, second); },
        [&](TraceLine& t) {
            t.Number(first);
            t.Number(second);
        });
}

uint32_t GetPodInfo(uint32_t tap, uint32_t* pinMask, uint32_t* levelMask) {
    return Invoke(
        Slot::kGetPodInfo, [&](Controller& c) { return c.GetPodInfo(tap, pinMask, levelMask); },
        [&](TraceLine& t) {
            t.Number(tap);
            t.OutWord(pinMask);
            t.OutWord(levelMask);
        });
}

uint32_t GetCompareResult(uint32_t* failMask) {
    return Invoke(
        Slot::kGetCompareResult, [&](Controller& c) { return c.GetCompareResult(failMask); },
        [&](TraceLine& t) { t.OutWord(failMask); });
}

uint32_t AccessPioPins(uint32_t tap, uint32_t usedMask, uint32_t driveMask, uint32_t highMask,
                       uint32_t* readBack) {
    return Invoke(
        Slot::kAccessPioPins,
        [&](Controller& c) {
            return c.AccessPioPins(tap, usedMask, driveMask, highMask, readBack);
        },
        [&](TraceLine& t) {
            t.Number(tap);
            t.Number(usedMask);
            t.Number(driveMask);
            t.Number(highMask);
            t.OutWord(readBack);
        });
}

uint32_t GetControllerInfo(const uint32_t** record) {
    return Invoke(
        Slot::kGetControllerInfo, [&](Controller& c) { return c.GetControllerInfo(record); },
        [&](TraceLine& t) { t.Text(record ? "*" : "-"); });
}

uint32_t SetPodSignal(uint32_t tap, uint32_t signal, uint32_t level) {
    return Invoke(
        Slot::kSetPodSignal, [&](Controller& c) { return c.SetPodSignal(tap, signal, level); },
        [&](TraceLine& t) {
            t.Number(tap);
            t.Number(signal);
            t.Number(level);
        });
}

constexpr VeltraApi MakeTable() {
    VeltraApi api{};
    api.GetErrorText = &GetErrorText;
    api.ResetTap = &ResetTap;
    api.PulseTrst = &PulseTrst;
    api.SetTapState = &SetTapState;
    api.ShiftDr = &PlainShift<Slot::kShiftDr, Register::kDr, Ending::kStopState>;
    api.ShiftIr = &PlainShift<Slot::kShiftIr, Register::kIr, Ending::kStopState>;
    api.ShiftDrToPause = &PlainShift<Slot::kShiftDrToPause, Register::kDr, Ending::kPause>;
    api.ShiftIrToPause = &PlainShift<Slot::kShiftIrToPause, Register::kIr, Ending::kPause>;
    api.WaitTck = &ValueCall<Slot::kWaitTck, &Controller::WaitTck>;
    api.SetStopState = &ValueCall<Slot::kSetStopState, &Controller::SetStopState>;
    api.SetFrequency = &ValueCall<Slot::kSetFrequency, &Controller::SetFrequency>;
    api.SetTckIdleState = &ValueCall<Slot::kSetTckIdleState, &Controller::SetTckIdleState>;
    api.WaitTime = &TwoValueCall<Slot::kWaitTime, &Controller::WaitTime>;
    api.SetBuffering = &ValueCall<Slot::kSetBuffering, &Controller::SetBuffering>;
    api.SetFlagLength = &TwoValueCall<Slot::kSetFlagLength, &Controller::SetFlagLength>;
    api.GetPodInfo = &GetPodInfo;
    api.SetStartState = &TwoValueCall<Slot::kSetStartState, &Controller::SetStartState>;
    api.SetGanging = &TwoValueCall<Slot::kSetGanging, &Controller::SetGanging>;
    api.ShiftDrCompare =
        &CompareShift<Slot::kShiftDrCompare, Register::kDr, Ending::kStopState, false>;
    api.ShiftIrCompare =
        &CompareShift<Slot::kShiftIrCompare, Register::kIr, Ending::kStopState, false>;
    api.ShiftDrCompareToPause =
        &CompareShift<Slot::kShiftDrCompareToPause, Register::kDr, Ending::kPause, false>;
    api.ShiftIrCompareToPause =
        &CompareShift<Slot::kShiftIrCompareToPause, Register::kIr, Ending::kPause, false>;
    api.GetCompareResult = &GetCompareResult;
    api.SetCompareMode = &ValueCall<Slot::kSetCompareMode, &Controller::SetCompareMode>;
    api.AccessPioPins = &AccessPioPins;
    api.GetControllerInfo = &GetControllerInfo;
    api.SetPodSignal = &SetPodSignal;
    api.ShiftDrLong = &CompareShift<Slot::kShiftDrLong, Register::kDr, Ending::kStopState, true>;
    api.ShiftDrLongToPause =
        &CompareShift<Slot::kShiftDrLongToPause, Register::kDr, Ending::kPause, true>;
    api.SetTrst = &TwoValueCall<Slot::kSetTrst, &Controller::SetTrst>;
    return api;
}

constexpr VeltraApi kTable = MakeTable();

}  // namespace
}  // namespace veltrasim

extern "C" const VeltraApi* Veltra_GetApi(void) { return &veltrasim::kTable; }
