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
        ++sim.calls[Index(Slot::GetErrorText)];
        const char* text = sim.controller->ErrorText();
        if (sim.trace.Enabled()) {
            sim.trace.Add(TraceLine(SlotName(Index(Slot::GetErrorText))).FinishText(text));
        }
        return text;
    } catch (...) {
        return "out of memory";
    }
}

uint32_t ResetTap(uint32_t tap) {
    return Invoke(
        Slot::ResetTap, [&](Controller& c) { return c.ResetTap(tap); },
        [&](TraceLine& t) { t.Number(tap); });
}

uint32_t PulseTrst(uint32_t tap) {
    return Invoke(
        Slot::PulseTrst, [&](Controller& c) { return c.PulseTrst(tap); },
        [&](TraceLine& t) { t.Number(tap); });
}

uint32_t SetTapState(uint32_t tap, uint32_t code) {
    return Invoke(
        Slot::SetTapState, [&](Controller& c) { return c.SetTapState(tap, code); },
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
        Slot::GetPodInfo, [&](Controller& c) { return c.GetPodInfo(tap, pinMask, levelMask); },
        [&](TraceLine& t) {
            t.Number(tap);
            t.OutWord(pinMask);
            t.OutWord(levelMask);
        });
}

uint32_t GetCompareResult(uint32_t* failMask) {
    return Invoke(
        Slot::GetCompareResult, [&](Controller& c) { return c.GetCompareResult(failMask); },
        [&](TraceLine& t) { t.OutWord(failMask); });
}

uint32_t AccessPioPins(uint32_t tap, uint32_t usedMask, uint32_t driveMask, uint32_t highMask,
                       uint32_t* readBack) {
    return Invoke(
        Slot::AccessPioPins,
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
        Slot::GetControllerInfo, [&](Controller& c) { return c.GetControllerInfo(record); },
        [&](TraceLine& t) { t.Text(record ? "*" : "-"); });
}

uint32_t SetPodSignal(uint32_t tap, uint32_t signal, uint32_t level) {
    return Invoke(
        Slot::SetPodSignal, [&](Controller& c) { return c.SetPodSignal(tap, signal, level); },
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
    api.ShiftDr = &PlainShift<Slot::ShiftDr, Register::Dr, Ending::StopState>;
    api.ShiftIr = &PlainShift<Slot::ShiftIr, Register::Ir, Ending::StopState>;
    api.ShiftDrToPause = &PlainShift<Slot::ShiftDrToPause, Register::Dr, Ending::Pause>;
    api.ShiftIrToPause = &PlainShift<Slot::ShiftIrToPause, Register::Ir, Ending::Pause>;
    api.WaitTck = &ValueCall<Slot::WaitTck, &Controller::WaitTck>;
    api.SetStopState = &ValueCall<Slot::SetStopState, &Controller::SetStopState>;
    api.SetFrequency = &ValueCall<Slot::SetFrequency, &Controller::SetFrequency>;
    api.SetTckIdleState = &ValueCall<Slot::SetTckIdleState, &Controller::SetTckIdleState>;
    api.WaitTime = &TwoValueCall<Slot::WaitTime, &Controller::WaitTime>;
    api.SetBuffering = &ValueCall<Slot::SetBuffering, &Controller::SetBuffering>;
    api.SetFlagLength = &TwoValueCall<Slot::SetFlagLength, &Controller::SetFlagLength>;
    api.GetPodInfo = &GetPodInfo;
    api.SetStartState = &TwoValueCall<Slot::SetStartState, &Controller::SetStartState>;
    api.SetGanging = &TwoValueCall<Slot::SetGanging, &Controller::SetGanging>;
    api.ShiftDrCompare =
        &CompareShift<Slot::ShiftDrCompare, Register::Dr, Ending::StopState, false>;
    api.ShiftIrCompare =
        &CompareShift<Slot::ShiftIrCompare, Register::Ir, Ending::StopState, false>;
    api.ShiftDrCompareToPause =
        &CompareShift<Slot::ShiftDrCompareToPause, Register::Dr, Ending::Pause, false>;
    api.ShiftIrCompareToPause =
        &CompareShift<Slot::ShiftIrCompareToPause, Register::Ir, Ending::Pause, false>;
    api.GetCompareResult = &GetCompareResult;
    api.SetCompareMode = &ValueCall<Slot::SetCompareMode, &Controller::SetCompareMode>;
    api.AccessPioPins = &AccessPioPins;
    api.GetControllerInfo = &GetControllerInfo;
    api.SetPodSignal = &SetPodSignal;
    api.ShiftDrLong = &CompareShift<Slot::ShiftDrLong, Register::Dr, Ending::StopState, true>;
    api.ShiftDrLongToPause =
        &CompareShift<Slot::ShiftDrLongToPause, Register::Dr, Ending::Pause, true>;
    api.SetTrst = &TwoValueCall<Slot::SetTrst, &Controller::SetTrst>;
    return api;
}

constexpr VeltraApi kTable = MakeTable();

}  // namespace
}  // namespace veltrasim

extern "C" const VeltraApi* Veltra_GetApi(void) { return &veltrasim::kTable; }
