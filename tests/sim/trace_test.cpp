// The call trace (one line per controller call in the documented format) and
// scripted results.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sim_helpers.h"
#include "support/sim.h"

namespace {

using simtest::InfoWord;
using svftest::SimSession;
using svftest::Trace;
using svftest::TraceOf;

struct TraceCase {
    const char* name;
    std::function<void(const VeltraApi&)> call;
    std::string line;
};

const uint16_t kA5[] = {0xA5};
const uint16_t kZero[] = {0x0000};
const uint16_t kThirteen[] = {0xFABC};        // only 13 bits are used: 1ABC
const uint16_t kTwenty[] = {0x5678, 0xFFF4};  // 20 bits: 45678

TEST(SimTrace, EachSlotWritesItsArgumentsAndResult) {
    // Lines of plain calls are pinned by the player's own trace tests.
    const std::vector<TraceCase> cases = {
        {"partial digit", [](const VeltraApi& a) { a.ShiftDrToPause(2, kThirteen, 13, nullptr); },
         "ShiftDrToPause 2 1ABC 13 - = 0"},
        {"null tdi",
         [](const VeltraApi& a) { a.ShiftDrLong(1, nullptr, 4, nullptr, nullptr, nullptr); },
         "ShiftDrLong 1 - 4 - - - = 0"},
        {"refused depth", [](const VeltraApi& a) { a.SetBuffering(64); },
         "SetBuffering 64 = 4294967295"},
        {"bad state code", [](const VeltraApi& a) { a.SetTapState(1, 9); }, "SetTapState 1 9 = 1"},
        {"bad tap", [](const VeltraApi& a) { a.ResetTap(33); }, "ResetTap 33 = 1"},
    };
    for (const TraceCase& c : cases) {
        SimSession sim;
        c.call(*sim.api());
        EXPECT_EQ(Trace(), std::vector<std::string>{c.line}) << c.name;
    }
}

TEST(SimTrace, ErrorTextLineShowsTheTextAndDisabledTraceRecordsNothing) {
    SimSession sim;
    VeltraSim_SetErrorText("cable unplugged");
    EXPECT_STREQ(sim.api()->GetErrorText(), "cable unplugged");
    sim.api()->WaitTck(1);
    VeltraSim_EnableTrace(0);
    sim.api()->WaitTck(2);
    EXPECT_EQ(Trace(),
              (std::vector<std::string>{"GetErrorText = cable unplugged", "WaitTck 1 = 0"}));
    VeltraSim_EnableTrace(1);
    VeltraSim_ClearTrace();
    sim.api()->WaitTck(3);
    EXPECT_EQ(Trace(), std::vector<std::string>{"WaitTck 3 = 0"});
    EXPECT_STREQ(VeltraSim_TraceLine(5), "");
}

std::vector<uint32_t> Results(const VeltraApi& api, int calls) {
    std::vector<uint32_t> results;
    for (int i = 0; i < calls; ++i) results.push_back(api.WaitTck(1));
    return results;
}

TEST(SimScript, KthCallCountsFromTheTimeOfScripting) {
    struct Case {
        uint32_t callsBefore;
        uint32_t onCall;
        std::vector<uint32_t> expected;
    };
    const std::vector<Case> cases = {
        {0, 1, {1, 0, 0}}, {0, 2, {0, 1, 0}}, {2, 1, {1, 0, 0}},
        {3, 3, {0, 0, 1}}, {1, 0, {1, 1, 1}},
    };
    for (const Case& c : cases) {
        SimSession sim;
        Results(*sim.api(), static_cast<int>(c.callsBefore));
        sim.Script("WaitTck", 1, c.onCall);
        EXPECT_EQ(Results(*sim.api(), 3), c.expected)
            << "before " << c.callsBefore << ", k " << c.onCall;
    }
}

TEST(SimScript, ScriptedCallDoesNothingElseAndClearOrResetRemovesScripts) {
    SimSession sim;
    const VeltraApi& api = *sim.api();
    sim.Script("SetFrequency", 1, 1);
    sim.Script("GetCompareResult", 2, 1);
    EXPECT_EQ(api.ShiftIr(1, nullptr, 8, nullptr), 0u);  // other slots are left alone
    EXPECT_EQ(api.SetFrequency(5000), 1u);
    EXPECT_EQ(InfoWord(api, VELTRA_INFO_WORD_FREQUENCY), 1000u);
    uint32_t mask = 77;
    EXPECT_EQ(api.GetCompareResult(&mask), 2u);
    EXPECT_EQ(mask, 77u);
    EXPECT_EQ(TraceOf({"SetFrequency", "GetCompareResult"}),
              (std::vector<std::string>{"SetFrequency 5000 = 1", "GetCompareResult 77 = 2"}));
    sim.Script("WaitTck", 1);
    VeltraSim_ClearScripts();
    EXPECT_EQ(api.WaitTck(1), 0u);
    sim.Script("WaitTck", 1);
    VeltraSim_Reset();
    EXPECT_EQ(api.WaitTck(1), 0u);
}

}  // namespace
