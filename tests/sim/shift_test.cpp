// The TAP state diagram and the walks between stable states; shifts on the
// default board: capture values, stop states, comparison, limits, long shifts,
// statistics and the update log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_helpers.h"
#include "support/files.h"
#include "support/sim.h"

namespace {

using simtest::Dr;
using simtest::Ir;
using simtest::Stats;
using svftest::SimSession;
using SimTapState = simtest::SimTest;
using SimShift = simtest::SimTest;

constexpr uint32_t kIdcode = 0x0123A093;
constexpr uint64_t kScratch = 0x02;
constexpr uint64_t kBypass = 0xFF;

// State numbers: 0 RESET, 1 IDLE, 2 DRPAUSE, 3 IRPAUSE, 4 DRSELECT, 5 DRCAPTURE,
// 6 DRSHIFT, 7 DREXIT1, 8 DREXIT2, 9 DRUPDATE, 10 IRSELECT, 11 IRCAPTURE,
// 12 IRSHIFT, 13 IREXIT1, 14 IREXIT2, 15 IRUPDATE.
constexpr int32_t kReset = 0;
constexpr int32_t kDrPause = 2;

TEST_F(SimTapState, NextStateFollowsTheStandardDiagram) {
    const int32_t onZero[] = {1, 1, 2, 3, 5, 6, 6, 2, 6, 1, 11, 12, 12, 3, 12, 1};
    const int32_t onOne[] = {0, 4, 8, 14, 10, 7, 7, 9, 9, 4, 0, 13, 13, 15, 15, 4};
    for (int32_t state = 0; state < 16; ++state) {
        EXPECT_EQ(VeltraSim_NextState(state, 0), onZero[state]) << "state " << state;
        EXPECT_EQ(VeltraSim_NextState(state, 1), onOne[state]) << "state " << state;
    }
    EXPECT_EQ(VeltraSim_NextState(16, 0), -1);
}

TEST_F(SimTapState, SetTapStateWalksShortestPaths) {
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
        SimSession fresh;
        ASSERT_EQ(api.SetStartState(1, walk.fromCode), 0u);
        ASSERT_EQ(api.SetTapState(1, walk.toCode), 0u);
        EXPECT_EQ(Stats().tckCycles, walk.tcks) << walk.fromCode << " -> " << walk.toCode;
        EXPECT_EQ(VeltraSim_DeviceState(1, 0), static_cast<int32_t>(walk.toCode - 1));
    }
}

TEST_F(SimShift, IdcodeIsSelectedAfterResetAndTrst) {
    for (const auto reset : {api.ResetTap, api.PulseTrst}) {
        Ir(api, kBypass, 8);
        ASSERT_EQ(reset(1), 0u);
        EXPECT_EQ(Dr(api, 0, 32), kIdcode);
    }
    // A TRST held low keeps the chain in Test-Logic-Reset whatever TMS does.
    ASSERT_EQ(api.SetTapState(1, 2), 0u);
    ASSERT_EQ(api.SetTrst(1, 0), 0u);
    EXPECT_EQ(VeltraSim_DeviceState(1, 0), 0);
    VeltraSim_Clock(1, 0, 0);
    EXPECT_EQ(VeltraSim_DeviceState(1, 0), 0);
    ASSERT_EQ(api.SetTrst(1, 1), 0u);
    EXPECT_EQ(Dr(api, 0, 32), kIdcode);
}

TEST_F(SimShift, InstructionsSelectRegisters) {
    const struct {
        uint64_t opcode;
        uint64_t captured;  // 8 bits of A5 shifted through the selected register
    } cases[] = {
        {0x01, kIdcode & 0xFF},
        {kBypass, (0xA5 << 1) & 0xFF},  // one bit of delay, capturing 0
        {0x55, (0xA5 << 1) & 0xFF},     // undefined opcodes select BYPASS
        {kScratch, 0x00},               // read-back register, nothing written yet
    };
    for (const auto& c : cases) {
        SimSession fresh;
        EXPECT_EQ(Ir(api, c.opcode, 8), 0x01u) << "the IR captures binary 01";
        EXPECT_EQ(Dr(api, 0xA5, 8), c.captured) << "opcode " << c.opcode;
    }
}

TEST_F(SimShift, ShiftsEndInTheStopStateOrPause) {
    const struct {
        uint32_t stopCode;
        bool ir;
        bool toPause;
        int32_t state;
    } cases[] = {
        {2, false, false, 1}, {1, false, false, 0}, {3, false, false, 2}, {4, false, false, 3},
        {2, true, false, 1},  {4, true, false, 3},  {3, true, false, 2},  {2, false, true, 2},
        {2, true, true, 3},   {1, true, true, 3},
    };
    for (const auto& c : cases) {
        SimSession fresh;
        ASSERT_EQ(api.SetStopState(c.stopCode), 0u);
        const auto shift = c.ir ? (c.toPause ? api.ShiftIrToPause : api.ShiftIr)
                                : (c.toPause ? api.ShiftDrToPause : api.ShiftDr);
        ASSERT_EQ(shift(1, nullptr, 8, nullptr), 0u);
        EXPECT_EQ(VeltraSim_DeviceState(1, 0), c.state)
            << "stop " << c.stopCode << (c.ir ? " IR" : " DR") << (c.toPause ? " pause" : "");
    }
    EXPECT_EQ(api.SetStopState(5), 1u);
}

TEST_F(SimShift, CompareUsesExpectedUnderTheMask) {
    const uint16_t kId = kIdcode & 0xFFFF;  // 0xA093
    const struct {
        const char* name;
        bool hasExpected;
        uint16_t expected;
        bool hasMask;
        uint16_t mask;  // 1 = ignore
        uint32_t failMask;
    } cases[] = {
        {"match, all compared", true, kId, false, 0, 0},
        {"mismatch, all compared", true, static_cast<uint16_t>(kId ^ 0x0100), false, 0, 1},
        {"mismatch under an ignore bit", true, static_cast<uint16_t>(kId ^ 0x0100), true, 0x0100,
         0},
        {"mismatch outside the ignore bits", true, static_cast<uint16_t>(kId ^ 0x0100), true,
         0x00FF, 1},
        {"no expected values", false, 0, true, 0, 0},
    };
    for (const auto& c : cases) {
        SimSession fresh;
        ASSERT_EQ(api.SetCompareMode(1), 0u);
        const uint16_t expected[] = {c.expected};
        const uint16_t mask[] = {c.mask};
        ASSERT_EQ(api.ShiftDrCompare(1, nullptr, 16, nullptr, c.hasExpected ? expected : nullptr,
                                     c.hasMask ? mask : nullptr),
                  0u);
        uint32_t failMask = 99;
        ASSERT_EQ(api.GetCompareResult(&failMask), 0u);
        EXPECT_EQ(failMask, c.failMask) << c.name;
        ASSERT_EQ(VeltraSim_FailureCount(), c.failMask) << c.name << ": one record per failure";
        VeltraSimFailure kept{};
        if (VeltraSim_GetFailure(0, &kept) != 0) continue;
        EXPECT_EQ(
            std::vector<uint64_t>(kept.failingBits, kept.failingBits + kept.failingBitsListed),
            std::vector<uint64_t>{8})
            << c.name;
        EXPECT_STREQ(kept.captured, "A093");
        EXPECT_STREQ(kept.expected, "A193");
        EXPECT_STREQ(kept.mask, c.hasMask ? "FF00" : "FFFF") << "1 = compared, as in SVF";
        EXPECT_EQ(kept.instructionRegister, 0u);
    }
}

TEST_F(SimShift, FailingComparesAreKeptUpToTheBoundAndAccumulate) {
    const uint16_t wrong[] = {0, 0};
    for (uint32_t i = 0; i <= VELTRA_SIM_MAX_FAILURES; ++i) {
        api.ShiftIrCompare(1, nullptr, 8, nullptr, wrong, nullptr);
    }
    api.SetCompareMode(1);
    EXPECT_EQ(VeltraSim_FailureCount(), uint32_t{VELTRA_SIM_MAX_FAILURES});
    EXPECT_EQ(VeltraSim_FailureTotal(), uint64_t{VELTRA_SIM_MAX_FAILURES + 1});
    VeltraSimFailure kept{};
    ASSERT_EQ(VeltraSim_GetFailure(0, &kept), 0);
    EXPECT_EQ(kept.instructionRegister, 1u);
    EXPECT_EQ(kept.failingBitCount, 1u) << "the IR captures binary 01";
    EXPECT_EQ(VeltraSim_GetFailure(VELTRA_SIM_MAX_FAILURES, &kept), 1);
    VeltraSim_ClearFailures();
    EXPECT_EQ(VeltraSim_FailureCount(), 0u);
    // The compare result accumulates until compare mode is set again.
    ASSERT_EQ(api.ResetTap(1), 0u);  // IDCODE again: the IR compares left 00 in the IR
    const uint16_t wrongDr[] = {0};
    api.ShiftDrCompare(1, nullptr, 16, nullptr, wrongDr, nullptr);
    api.ShiftDrCompare(1, nullptr, 16, nullptr, nullptr, nullptr);  // nothing compared
    uint32_t failMask = 0;
    api.GetCompareResult(&failMask);
    EXPECT_EQ(failMask, 1u);
    api.SetCompareMode(1);
    api.GetCompareResult(&failMask);
    EXPECT_EQ(failMask, 0u);
}

TEST_F(SimShift, NormalShiftsStopAt65535BitsLongShiftsDoNot) {
    Ir(api, kBypass, 8);
    constexpr uint32_t kBits = 200000;
    std::vector<uint16_t> tdi(kBits / 16);
    for (std::size_t i = 0; i < tdi.size(); ++i) tdi[i] = static_cast<uint16_t>(i * 2654435761u);
    std::vector<uint16_t> tdo(tdi.size(), 0);
    EXPECT_EQ(api.ShiftDr(1, tdi.data(), 65536, tdo.data()), 1u);
    EXPECT_STREQ(api.GetErrorText(), "ShiftDr: 65536 bits exceed the limit of 65535 bits per call");
    EXPECT_EQ(api.ShiftDrToPause(1, tdi.data(), 65536, tdo.data()), 1u);
    EXPECT_EQ(api.ShiftDr(1, tdi.data(), 65535, tdo.data()), 0u);
    ASSERT_EQ(api.ShiftDrLong(1, tdi.data(), kBits, tdo.data(), nullptr, nullptr), 0u);
    // BYPASS delays by one bit and captures 0 first.
    EXPECT_EQ(tdo[0], static_cast<uint16_t>(tdi[0] << 1));
    EXPECT_EQ(tdo[5000], static_cast<uint16_t>(tdi[5000] << 1 | tdi[4999] >> 15));
    EXPECT_EQ(Stats().drBits, 65535u + kBits);  // refused shifts clock nothing
}

TEST_F(SimShift, StatisticsCountBitsClocksAndTimeWaitsHoldAndResetsTakeFiveClocks) {
    Ir(api, kBypass, 8);                   // RESET -> Shift-IR 5, 8 bits, Exit1 -> IDLE 2
    Dr(api, 0, 8);                         // IDLE -> Shift-DR 3, 8 bits, 2
    ASSERT_EQ(api.SetTapState(1, 3), 0u);  // IDLE -> DRPAUSE 4
    ASSERT_EQ(api.SetFrequency(2000), 0u);
    ASSERT_EQ(api.WaitTck(1000), 0u);
    EXPECT_EQ(VeltraSim_DeviceState(1, 0), kDrPause) << "waiting holds the state";
    ASSERT_EQ(api.WaitTime(300, 2), 0u);
    const VeltraSimStats stats = Stats();
    EXPECT_EQ(stats.irBits, 8u);
    EXPECT_EQ(stats.drBits, 8u);
    EXPECT_EQ(stats.tckCycles, 15u + 13u + 4u + 1000u);
    EXPECT_EQ(stats.virtualTimeUs, 32u + 500u + 300u);  // 32 TCKs at 1 MHz, 1000 at 2 MHz
    EXPECT_EQ(stats.calls[12], 1u);                     // ShiftIr
    EXPECT_EQ(stats.calls[11], 1u);                     // ShiftDr
    EXPECT_EQ(api.WaitTime(1, 1), 1u);                  // only microseconds
}

TEST_F(SimShift, UpdateLogKeepsWhatEachDeviceSaw) {
    Ir(api, kScratch, 8);  // before the log is on: not recorded
    VeltraSim_EnableUpdateLog(1);
    Ir(api, kScratch, 8);
    Dr(api, 0xDEADBEEF, 32);
    const std::vector<uint16_t> tdi = simtest::Words(0x5, 3);
    ASSERT_EQ(api.ShiftDrToPause(1, tdi.data(), 3, nullptr), 0u);  // no Update-DR
    ASSERT_EQ(api.SetTapState(1, 1), 0u);  // Pause-DR passes Update-DR on its way
    ASSERT_EQ(api.ResetTap(1), 0u);        // already there: nothing new
    ASSERT_EQ(api.PulseTrst(1), 0u);
    ASSERT_EQ(VeltraSim_UpdateCount(1, 0), 5u);
    EXPECT_STREQ(VeltraSim_UpdateLine(1, 0, 2), "DR 32 BBD5B7DD");
    EXPECT_EQ(VeltraSim_UpdateCount(2, 0), 0u);  // TAP 2 was not clocked
    EXPECT_EQ(VeltraSim_UpdateCount(1, 1), 0u);  // no such device
    EXPECT_STREQ(VeltraSim_UpdateLine(1, 0, 99), "");

    svftest::TempDir dir;
    ASSERT_EQ(VeltraSim_WriteUpdateLog(dir.PathOf("log.txt").c_str()), 0);
    EXPECT_EQ(svftest::ReadFile(dir.PathOf("log.txt")),
              "1.0 IR 8 02\n1.0 DR 32 DEADBEEF\n1.0 DR 32 BBD5B7DD\n1.0 RESET\n1.0 TRST\n");
    EXPECT_NE(VeltraSim_WriteUpdateLog(dir.PathOf("no/such/dir/log.txt").c_str()), 0);

    sim.LoadBoard("");  // a new board keeps the log on, empty
    Ir(api, kBypass, 8);
    EXPECT_EQ(VeltraSim_UpdateCount(1, 0), 1u);
    VeltraSim_Reset();  // and a reset turns it off
    Ir(api, kBypass, 8);
    EXPECT_EQ(VeltraSim_UpdateCount(1, 0), 0u);
}

}  // namespace
