// The call trace (one line per controller call in the documented format) and
// scripted results.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_helpers.h"
#include "support/sim.h"

namespace {

using simtest::InfoWord;
using svftest::SimSession;
using SimTrace = simtest::SimTest;
using SimScript = simtest::SimTest;
using svftest::Trace;
using svftest::TraceOf;

// Lines of plain calls are pinned by the player's own trace tests; these are
// the unusual arguments and results.
TEST_F(SimTrace, LinesShowArgumentsResultsAndTheErrorTextUnlessDisabled) {
    const uint16_t thirteen[] = {0xFABC};  // only 13 bits are used: 1ABC
    api.ShiftDrToPause(2, thirteen, 13, nullptr);
    api.ShiftDrLong(1, nullptr, 4, nullptr, nullptr, nullptr);
    api.SetBuffering(64);
    api.SetTapState(1, 9);
    EXPECT_STREQ(api.GetErrorText(), "invalid TAP state code 9");
    api.ResetTap(33);
    VeltraSim_SetErrorText("cable unplugged");
    EXPECT_STREQ(api.GetErrorText(), "cable unplugged");
    EXPECT_EQ(Trace(), (std::vector<std::string>{
                           "ShiftDrToPause 2 1ABC 13 - = 0", "ShiftDrLong 1 - 4 - - - = 0",
                           "SetBuffering 64 = 4294967295", "SetTapState 1 9 = 1",
                           "GetErrorText = invalid TAP state code 9", "ResetTap 33 = 1",
                           "GetErrorText = cable unplugged"}));
    VeltraSim_ClearTrace();
    api.WaitTck(1);
    VeltraSim_EnableTrace(0);
    api.WaitTck(2);
    EXPECT_EQ(Trace(), std::vector<std::string>{"WaitTck 1 = 0"});
    VeltraSim_EnableTrace(1);
    api.WaitTck(3);
    EXPECT_EQ(Trace(), (std::vector<std::string>{"WaitTck 1 = 0", "WaitTck 3 = 0"}));
    EXPECT_STREQ(VeltraSim_TraceLine(5), "");
}

std::vector<uint32_t> Results(const VeltraApi& api, int calls) {
    std::vector<uint32_t> results;
    for (int i = 0; i < calls; ++i) results.push_back(api.WaitTck(1));
    return results;
}

TEST_F(SimScript, KthCallCountsFromTheTimeOfScripting) {
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
        SimSession fresh;
        Results(api, static_cast<int>(c.callsBefore));
        fresh.Script("WaitTck", 1, c.onCall);
        EXPECT_EQ(Results(api, 3), c.expected) << "before " << c.callsBefore << ", k " << c.onCall;
    }
}

TEST_F(SimScript, ScriptedCallDoesNothingElseAndClearOrResetRemovesScripts) {
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
