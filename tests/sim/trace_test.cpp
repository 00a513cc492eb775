// The call trace: one line per controller call in the documented format.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/sim.h"

namespace {

using svftest::SimSession;
using svftest::Trace;

struct TraceCase {
    const char* name;
    std::function<void(const VeltraApi&)> call;
    std::string line;
};

const uint16_t kA5[] = {0xA5};
const uint16_t kZero[] = {0x0000};
const uint16_t kThirteen[] = {0xFABC};  // only 13 bits are used: 1ABC
const uint16_t kTwenty[] = {0x5678, 0xFFF4};  // 20 bits: 45678

TEST(SimTrace, EachSlotWritesItsArgumentsAndResult) {
    const std::vector<TraceCase> cases = {
        {"plain shift", [](const VeltraApi& a) { a.ShiftDr(1, kA5, 8, nullptr); },
         "ShiftDr 1 A5 8 - = 0"},
        {"partial digit", [](const VeltraApi& a) { a.ShiftDrToPause(2, kThirteen, 13, nullptr); },
         "ShiftDrToPause 2 1ABC 13 - = 0"},
        {"two words", [](const VeltraApi& a) { a.ShiftIrToPause(1, kTwenty, 20, nullptr); },
         "ShiftIrToPause 1 45678 20 - = 0"},
        {"compare, null tdo",
         [](const VeltraApi& a) { a.ShiftDrCompare(1, kA5, 8, nullptr, kA5, kZero); },
         "ShiftDrCompare 1 A5 8 - A5 00 = 0"},
        {"compare, null expected and mask",
         [](const VeltraApi& a) { a.ShiftIrCompareToPause(3, kA5, 8, nullptr, nullptr, nullptr); },
         "ShiftIrCompareToPause 3 A5 8 - - - = 0"},
        {"null tdi", [](const VeltraApi& a) { a.ShiftDrLong(1, nullptr, 4, nullptr, nullptr, nullptr); },
         "ShiftDrLong 1 - 4 - - - = 0"},
        {"frequency", [](const VeltraApi& a) { a.SetFrequency(1000); }, "SetFrequency 1000 = 0"},
        {"wait time", [](const VeltraApi& a) { a.WaitTime(1000, 2); }, "WaitTime 1000 2 = 0"},
        {"correction", [](const VeltraApi& a) { a.SetFlagLength(0xFFFFFFFFu, 2); },
         "SetFlagLength 4294967295 2 = 0"},
        {"refused depth", [](const VeltraApi& a) { a.SetBuffering(64); },
         "SetBuffering 64 = 4294967295"},
        {"state", [](const VeltraApi& a) { a.SetTapState(1, 3); }, "SetTapState 1 3 = 0"},
        {"bad state code", [](const VeltraApi& a) { a.SetTapState(1, 9); }, "SetTapState 1 9 = 1"},
        {"bad tap", [](const VeltraApi& a) { a.ResetTap(33); }, "ResetTap 33 = 1"},
        {"wait tck", [](const VeltraApi& a) { a.WaitTck(7); }, "WaitTck 7 = 0"},
        {"controller info",
         [](const VeltraApi& a) {
             const uint32_t* record = nullptr;
             a.GetControllerInfo(&record);
         },
         "GetControllerInfo * = 0"},
        {"compare result",
         [](const VeltraApi& a) {
             uint32_t mask = 99;
             a.GetCompareResult(&mask);
         },
         "GetCompareResult 0 = 0"},
        {"pod info out values",
         [](const VeltraApi& a) {
             uint32_t pins = 7;
             uint32_t levels = 7;
             a.GetPodInfo(2, &pins, &levels);
         },
         "GetPodInfo 2 0 0 = 0"},
        {"pio read-back (pins 3 and 4 pulled high)",
         [](const VeltraApi& a) {
             uint32_t readBack = 0;
             a.AccessPioPins(1, 15, 3, 1, &readBack);
         },
         "AccessPioPins 1 15 3 1 13 = 0"},
        {"pod signal", [](const VeltraApi& a) { a.SetPodSignal(1, 2, 1); },
         "SetPodSignal 1 2 1 = 0"},
        {"trst", [](const VeltraApi& a) { a.SetTrst(4, 0); }, "SetTrst 4 0 = 0"},
    };
    for (const TraceCase& c : cases) {
        SimSession sim;
        c.call(*sim.api());
        EXPECT_EQ(Trace(), std::vector<std::string>{c.line}) << c.name;
    }
}

TEST(SimTrace, ErrorTextLineShowsTheText) {
    SimSession sim;
    VeltraSim_SetErrorText("cable unplugged");
    EXPECT_STREQ(sim.api()->GetErrorText(), "cable unplugged");
    EXPECT_EQ(Trace(), std::vector<std::string>{"GetErrorText = cable unplugged"});
}

TEST(SimTrace, DisabledTraceRecordsNothingAndClearEmpties) {
    SimSession sim;
    sim.api()->WaitTck(1);
    VeltraSim_EnableTrace(0);
    sim.api()->WaitTck(2);
    EXPECT_EQ(Trace(), std::vector<std::string>{"WaitTck 1 = 0"});
    VeltraSim_EnableTrace(1);
    VeltraSim_ClearTrace();
    sim.api()->WaitTck(3);
    EXPECT_EQ(Trace(), std::vector<std::string>{"WaitTck 3 = 0"});
    EXPECT_STREQ(VeltraSim_TraceLine(5), "");
}

TEST(SimTrace, EveryNamedSlotIsFilled) {
    SimSession sim;
    const VeltraApi& api = *sim.api();
    const void* slots[] = {
        reinterpret_cast<const void*>(api.GetErrorText),
        reinterpret_cast<const void*>(api.ResetTap),
        reinterpret_cast<const void*>(api.PulseTrst),
        reinterpret_cast<const void*>(api.SetTapState),
        reinterpret_cast<const void*>(api.ShiftDr),
        reinterpret_cast<const void*>(api.ShiftIr),
        reinterpret_cast<const void*>(api.ShiftDrToPause),
        reinterpret_cast<const void*>(api.ShiftIrToPause),
        reinterpret_cast<const void*>(api.WaitTck),
        reinterpret_cast<const void*>(api.SetStopState),
        reinterpret_cast<const void*>(api.SetFrequency),
        reinterpret_cast<const void*>(api.SetTckIdleState),
        reinterpret_cast<const void*>(api.WaitTime),
        reinterpret_cast<const void*>(api.SetBuffering),
        reinterpret_cast<const void*>(api.SetFlagLength),
        reinterpret_cast<const void*>(api.GetPodInfo),
        reinterpret_cast<const void*>(api.SetStartState),
        reinterpret_cast<const void*>(api.SetGanging),
        reinterpret_cast<const void*>(api.ShiftDrCompare),
        reinterpret_cast<const void*>(api.ShiftIrCompare),
        reinterpret_cast<const void*>(api.ShiftDrCompareToPause),
        reinterpret_cast<const void*>(api.ShiftIrCompareToPause),
        reinterpret_cast<const void*>(api.GetCompareResult),
        reinterpret_cast<const void*>(api.SetCompareMode),
        reinterpret_cast<const void*>(api.AccessPioPins),
        reinterpret_cast<const void*>(api.GetControllerInfo),
        reinterpret_cast<const void*>(api.SetPodSignal),
        reinterpret_cast<const void*>(api.ShiftDrLong),
        reinterpret_cast<const void*>(api.ShiftDrLongToPause),
        reinterpret_cast<const void*>(api.SetTrst),
    };
    for (std::size_t i = 0; i < sizeof slots / sizeof slots[0]; ++i) {
        EXPECT_NE(slots[i], nullptr) << "slot entry " << i;
    }
}

}  // namespace
