// The simulated TAP controller follows the IEEE 1149.1 state diagram, and the
// controller walks between stable states along the shortest paths.
#include <gtest/gtest.h>

#include "sim_helpers.h"
#include "support/sim.h"

namespace {

using simtest::Stats;
using svftest::SimSession;

enum State : int32_t {
    RESET, IDLE, DRPAUSE, IRPAUSE, DRSELECT, DRCAPTURE, DRSHIFT, DREXIT1,
    DREXIT2, DRUPDATE, IRSELECT, IRCAPTURE, IRSHIFT, IREXIT1, IREXIT2, IRUPDATE,
};

TEST(SimTapState, NextStateFollowsTheStandardDiagram) {
    const struct {
        State from;
        State onZero;
        State onOne;
    } diagram[] = {
        {RESET, IDLE, RESET},         {IDLE, IDLE, DRSELECT},
        {DRSELECT, DRCAPTURE, IRSELECT}, {DRCAPTURE, DRSHIFT, DREXIT1},
        {DRSHIFT, DRSHIFT, DREXIT1},  {DREXIT1, DRPAUSE, DRUPDATE},
        {DRPAUSE, DRPAUSE, DREXIT2},  {DREXIT2, DRSHIFT, DRUPDATE},
        {DRUPDATE, IDLE, DRSELECT},   {IRSELECT, IRCAPTURE, RESET},
        {IRCAPTURE, IRSHIFT, IREXIT1}, {IRSHIFT, IRSHIFT, IREXIT1},
        {IREXIT1, IRPAUSE, IRUPDATE}, {IRPAUSE, IRPAUSE, IREXIT2},
        {IREXIT2, IRSHIFT, IRUPDATE}, {IRUPDATE, IDLE, DRSELECT},
    };
    for (const auto& row : diagram) {
        EXPECT_EQ(VeltraSim_NextState(row.from, 0), row.onZero) << "state " << row.from;
        EXPECT_EQ(VeltraSim_NextState(row.from, 1), row.onOne) << "state " << row.from;
    }
    EXPECT_EQ(VeltraSim_NextState(16, 0), -1);
}

TEST(SimTapState, DevicesStepWithEveryRawClockAndFiveOnesReset) {
    SimSession sim;
    const int32_t path[] = {0, 1, 0, 0, 1, 0};  // IDLE DRSELECT DRCAPTURE DRSHIFT DREXIT1 DRPAUSE
    const State expected[] = {IDLE, DRSELECT, DRCAPTURE, DRSHIFT, DREXIT1, DRPAUSE};
    for (std::size_t i = 0; i < 6; ++i) {
        VeltraSim_Clock(1, path[i], 0);
        EXPECT_EQ(VeltraSim_DeviceState(1, 0), expected[i]) << "step " << i;
    }
    for (int i = 0; i < 5; ++i) VeltraSim_Clock(1, 1, 0);
    EXPECT_EQ(VeltraSim_DeviceState(1, 0), RESET);
    EXPECT_EQ(VeltraSim_DeviceState(2, 0), RESET);  // other TAPs are not clocked
}

TEST(SimTapState, RawClocksReadTheIdcodeAfterReset) {
    SimSession sim;
    for (int tms : {0, 1, 0, 0}) VeltraSim_Clock(1, tms, 0);  // to Shift-DR through Capture
    uint32_t idcode = 0;
    for (int i = 0; i < 32; ++i) idcode |= static_cast<uint32_t>(VeltraSim_Clock(1, 0, 0)) << i;
    EXPECT_EQ(idcode, 0x0123A093u);
}

TEST(SimTapState, SetTapStateWalksShortestPaths) {
    // TCKs between stable states, counted on the state diagram by hand.
    const struct {
        uint32_t fromCode;
        uint32_t toCode;
        uint64_t tcks;
    } walks[] = {
        {1, 1, 0}, {1, 2, 1}, {1, 3, 5}, {1, 4, 6}, {2, 1, 3}, {2, 2, 0}, {2, 3, 4}, {2, 4, 5},
        {3, 1, 5}, {3, 2, 3}, {3, 3, 0}, {3, 4, 7}, {4, 1, 5}, {4, 2, 3}, {4, 3, 6}, {4, 4, 0},
    };
    for (const auto& walk : walks) {
        SimSession sim;
        ASSERT_EQ(sim.api()->SetStartState(1, walk.fromCode), 0u);
        ASSERT_EQ(sim.api()->SetTapState(1, walk.toCode), 0u);
        EXPECT_EQ(Stats().tckCycles, walk.tcks) << walk.fromCode << " -> " << walk.toCode;
        EXPECT_EQ(VeltraSim_DeviceState(1, 0), static_cast<int32_t>(walk.toCode - 1));
    }
}

TEST(SimTapState, ResetTapClocksFiveOnesFromAnyState) {
    SimSession sim;
    ASSERT_EQ(sim.api()->SetStartState(1, 3), 0u);
    ASSERT_EQ(sim.api()->ResetTap(1), 0u);
    EXPECT_EQ(VeltraSim_DeviceState(1, 0), RESET);
    EXPECT_EQ(Stats().tckCycles, 5u);
}

TEST(SimTapState, WaitTckHoldsTheStateAndCountsClocks) {
    SimSession sim;
    ASSERT_EQ(sim.api()->SetTapState(1, 3), 0u);
    const uint64_t before = Stats().tckCycles;
    ASSERT_EQ(sim.api()->WaitTck(1000), 0u);
    EXPECT_EQ(Stats().tckCycles - before, 1000u);
    EXPECT_EQ(VeltraSim_DeviceState(1, 0), DRPAUSE);
}

}  // namespace
