// Scripted results, reset and the controller's plain settings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/sim.h"

namespace {

using svftest::SimSession;
using svftest::Trace;
using svftest::TraceOf;

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
        {0, 1, {1, 0, 0}},
        {0, 2, {0, 1, 0}},
        {2, 1, {1, 0, 0}},
        {3, 3, {0, 0, 1}},
        {1, 0, {1, 1, 1}},
    };
    for (const Case& c : cases) {
        SimSession sim;
        Results(*sim.api(), static_cast<int>(c.callsBefore));
        sim.Script("WaitTck", 1, c.onCall);
        EXPECT_EQ(Results(*sim.api(), 3), c.expected)
            << "before " << c.callsBefore << ", k " << c.onCall;
    }
}

TEST(SimScript, ScriptedCallDoesNothingElse) {
    SimSession sim;
    sim.Script("SetFrequency", 1, 1);
    sim.Script("GetCompareResult", 2, 1);
    EXPECT_EQ(sim.api()->SetFrequency(5000), 1u);
    const uint32_t* record = nullptr;
    ASSERT_EQ(sim.api()->GetControllerInfo(&record), 0u);
    EXPECT_EQ(record[VELTRA_INFO_WORD_FREQUENCY], 1000u);
    uint32_t mask = 77;
    EXPECT_EQ(sim.api()->GetCompareResult(&mask), 2u);
    EXPECT_EQ(mask, 77u);
    EXPECT_EQ(TraceOf({"SetFrequency", "GetCompareResult"}),
              (std::vector<std::string>{"SetFrequency 5000 = 1", "GetCompareResult 77 = 2"}));
}

TEST(SimScript, ClearScriptsAndResetRemoveScripts) {
    SimSession sim;
    sim.Script("WaitTck", 1);
    VeltraSim_ClearScripts();
    EXPECT_EQ(sim.api()->WaitTck(1), 0u);
    sim.Script("WaitTck", 1);
    VeltraSim_Reset();
    EXPECT_EQ(sim.api()->WaitTck(1), 0u);
}

TEST(SimScript, OneScriptedSlotLeavesOthersAlone) {
    SimSession sim;
    sim.Script("ShiftDr", 2);
    EXPECT_EQ(sim.api()->ShiftIr(1, nullptr, 8, nullptr), 0u);
    EXPECT_EQ(sim.api()->ShiftDr(1, nullptr, 8, nullptr), 2u);
}

TEST(SimReset, ClearsTraceStatisticsAndSettings) {
    SimSession sim;
    sim.api()->SetFrequency(4000);
    sim.api()->SetTapState(1, 2);
    VeltraSim_SetErrorText("old");
    VeltraSim_Reset();
    EXPECT_TRUE(Trace().empty());
    VeltraSimStats stats{};
    VeltraSim_GetStats(&stats);
    EXPECT_EQ(stats.calls[10], 0u);
    EXPECT_EQ(stats.tckCycles, 0u);
    EXPECT_STREQ(sim.api()->GetErrorText(), "");
    const uint32_t* record = nullptr;
    ASSERT_EQ(sim.api()->GetControllerInfo(&record), 0u);
    EXPECT_EQ(record[VELTRA_INFO_WORD_FREQUENCY], 1000u);
    EXPECT_EQ(VeltraSim_DeviceState(1, 0), 0);  // Test-Logic-Reset
}

TEST(SimController, DefaultInformationRecord) {
    SimSession sim;
    const uint32_t* record = nullptr;
    ASSERT_EQ(sim.api()->GetControllerInfo(&record), 0u);
    EXPECT_EQ(record[0], VELTRA_INFO_TYPE_VALID | VELTRA_INFO_FREQUENCY_VALID |
                             VELTRA_INFO_LONG_SHIFT_VALID);
    EXPECT_EQ(record[VELTRA_INFO_WORD_TYPE], 6u);
    EXPECT_EQ(record[VELTRA_INFO_WORD_LONG_SHIFT_A], 2u);
    EXPECT_EQ(record[VELTRA_INFO_WORD_LONG_SHIFT_B], 2u);
    ASSERT_EQ(sim.api()->SetFrequency(2500), 0u);
    ASSERT_EQ(sim.api()->GetControllerInfo(&record), 0u);
    EXPECT_EQ(record[VELTRA_INFO_WORD_FREQUENCY], 2500u);
}

TEST(SimController, BufferingDepths) {
    SimSession sim;
    const struct {
        uint32_t depth;
        uint32_t result;
    } cases[] = {{0, 0}, {1, 0}, {128, 0}, {64, VELTRA_DEPTH_REFUSED}, {256, VELTRA_DEPTH_REFUSED}};
    for (const auto& c : cases) EXPECT_EQ(sim.api()->SetBuffering(c.depth), c.result) << c.depth;
}

TEST(SimController, FailureSetsErrorText) {
    SimSession sim;
    std::vector<uint16_t> bits(4097, 0);
    EXPECT_EQ(sim.api()->ShiftDr(1, bits.data(), 65536, nullptr), 1u);
    EXPECT_STREQ(sim.api()->GetErrorText(),
                 "ShiftDr: 65536 bits exceed the limit of 65535 bits per call");
    EXPECT_EQ(sim.api()->ShiftDr(1, bits.data(), 65535, nullptr), 0u);
}

}  // namespace
