// Shifts on the default board: capture values, stop states, Pause, read-back
// registers, comparison, limits and long shifts.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "sim_helpers.h"
#include "support/files.h"
#include "support/sim.h"

namespace {

using simtest::Dr;
using simtest::Ir;
using simtest::Stats;
using simtest::Words;
using svftest::SimSession;
using svftest::Trace;
using svftest::TraceOf;

constexpr uint32_t kIdcode = 0x0123A093;
constexpr uint64_t kScratch = 0x02;
constexpr uint64_t kBypass = 0xFF;

TEST(SimShift, IdcodeIsSelectedAfterResetAndTrst) {
    SimSession sim;
    const VeltraApi& api = *sim.api();
    EXPECT_EQ(Dr(api, 0, 32), kIdcode);
    Ir(api, kBypass, 8);
    ASSERT_EQ(api.ResetTap(1), 0u);
    EXPECT_EQ(Dr(api, 0, 32), kIdcode);
    Ir(api, kBypass, 8);
    ASSERT_EQ(api.PulseTrst(1), 0u);
    EXPECT_EQ(Dr(api, 0, 32), kIdcode);
}

TEST(SimShift, IrCaptureEndsInBinary01) {
    SimSession sim;
    const std::vector<uint16_t> tdi = Words(0xFF, 8);
    std::vector<uint16_t> tdo(1, 0);
    ASSERT_EQ(sim.api()->ShiftIr(1, tdi.data(), 8, tdo.data()), 0u);
    EXPECT_EQ(Trace(), std::vector<std::string>{"ShiftIr 1 FF 8 01 = 0"});
}

TEST(SimShift, InstructionsSelectRegisters) {
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
        SimSession sim;
        Ir(*sim.api(), c.opcode, 8);
        EXPECT_EQ(Dr(*sim.api(), 0xA5, 8), c.captured) << "opcode " << c.opcode;
    }
}

TEST(SimShift, ReadBackRegisterReturnsWhatWasWritten) {
    SimSession sim;
    const VeltraApi& api = *sim.api();
    Ir(api, kScratch, 8);
    Dr(api, 0xDEADBEEF, 32);
    EXPECT_EQ(Dr(api, 0x12345678, 32), 0xDEADBEEFu);
    EXPECT_EQ(Dr(api, 0, 32), 0x12345678u);
}

TEST(SimShift, PauseResumesWithoutCaptureOrUpdate) {
    SimSession sim;
    const VeltraApi& api = *sim.api();
    Ir(api, kScratch, 8);
    const std::vector<uint16_t> low = Words(0xBEEF, 16);
    const std::vector<uint16_t> high = Words(0xDEAD, 16);
    ASSERT_EQ(api.ShiftDrToPause(1, low.data(), 16, nullptr), 0u);
    EXPECT_EQ(VeltraSim_DeviceState(1, 0), 2);  // DRPAUSE
    ASSERT_EQ(api.ShiftDr(1, high.data(), 16, nullptr), 0u);
    EXPECT_EQ(Dr(api, 0, 32), 0xDEADBEEFu);
}

TEST(SimShift, ShiftsEndInTheStopStateOrPause) {
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
        SimSession sim;
        const VeltraApi& api = *sim.api();
        ASSERT_EQ(api.SetStopState(c.stopCode), 0u);
        const auto shift = c.ir ? (c.toPause ? api.ShiftIrToPause : api.ShiftIr)
                                : (c.toPause ? api.ShiftDrToPause : api.ShiftDr);
        ASSERT_EQ(shift(1, nullptr, 8, nullptr), 0u);
        EXPECT_EQ(VeltraSim_DeviceState(1, 0), c.state)
            << "stop " << c.stopCode << (c.ir ? " IR" : " DR") << (c.toPause ? " pause" : "");
    }
    SimSession sim;
    EXPECT_EQ(sim.api()->SetStopState(5), 1u);
}

TEST(SimShift, CompareUsesExpectedUnderTheMask) {
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
        {"mismatch under an ignore bit", true, static_cast<uint16_t>(kId ^ 0x0100), true, 0x0100, 0},
        {"mismatch outside the ignore bits", true, static_cast<uint16_t>(kId ^ 0x0100), true, 0x00FF, 1},
        {"no expected values", false, 0, true, 0, 0},
    };
    for (const auto& c : cases) {
        SimSession sim;
        ASSERT_EQ(sim.api()->SetCompareMode(1), 0u);
        const uint16_t expected[] = {c.expected};
        const uint16_t mask[] = {c.mask};
        ASSERT_EQ(sim.api()->ShiftDrCompare(1, nullptr, 16, nullptr, c.hasExpected ? expected : nullptr,
                                            c.hasMask ? mask : nullptr),
                  0u);
        uint32_t failMask = 99;
        ASSERT_EQ(sim.api()->GetCompareResult(&failMask), 0u);
        EXPECT_EQ(failMask, c.failMask) << c.name;
        ASSERT_EQ(VeltraSim_FailureCount(), c.failMask) << c.name << ": one record per failure";
        VeltraSimFailure kept{};
        if (VeltraSim_GetFailure(0, &kept) != 0) continue;
        EXPECT_EQ(std::vector<uint64_t>(kept.failingBits, kept.failingBits + kept.failingBitsListed),
                  std::vector<uint64_t>{8}) << c.name;
        EXPECT_STREQ(kept.captured, "A093");
        EXPECT_STREQ(kept.expected, "A193");
        EXPECT_STREQ(kept.mask, c.hasMask ? "FF00" : "FFFF") << "1 = compared, as in SVF";
        EXPECT_EQ(kept.instructionRegister, 0u);
    }
}

TEST(SimShift, FailingComparesAreKeptUpToTheBoundAndCountedBeyond) {
    SimSession sim;
    const VeltraApi& api = *sim.api();
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
}

TEST(SimShift, CompareFailuresAccumulateUntilCompareModeIsSetAgain) {
    SimSession sim;
    const VeltraApi& api = *sim.api();
    const uint16_t wrong[] = {0};
    api.ShiftDrCompare(1, nullptr, 16, nullptr, wrong, nullptr);
    api.ShiftDrCompare(1, nullptr, 16, nullptr, nullptr, nullptr);  // nothing compared
    uint32_t failMask = 0;
    api.GetCompareResult(&failMask);
    EXPECT_EQ(failMask, 1u);
    api.SetCompareMode(1);
    api.GetCompareResult(&failMask);
    EXPECT_EQ(failMask, 0u);
}

TEST(SimShift, NormalShiftsStopAt65535BitsLongShiftsDoNot) {
    SimSession sim;
    const VeltraApi& api = *sim.api();
    Ir(api, kBypass, 8);
    constexpr uint32_t kBits = 200000;
    std::vector<uint16_t> tdi(kBits / 16);
    for (std::size_t i = 0; i < tdi.size(); ++i) tdi[i] = static_cast<uint16_t>(i * 2654435761u);
    std::vector<uint16_t> tdo(tdi.size(), 0);
    EXPECT_EQ(api.ShiftDrToPause(1, tdi.data(), 65536, tdo.data()), 1u);
    ASSERT_EQ(api.ShiftDrLong(1, tdi.data(), kBits, tdo.data(), nullptr, nullptr), 0u);
    // BYPASS delays by one bit and captures 0 first.
    EXPECT_EQ(tdo[0], static_cast<uint16_t>(tdi[0] << 1));
    EXPECT_EQ(tdo[5000], static_cast<uint16_t>(tdi[5000] << 1 | tdi[4999] >> 15));
    EXPECT_EQ(Stats().drBits, kBits);
}

TEST(SimShift, StatisticsCountBitsClocksAndTime) {
    SimSession sim;
    const VeltraApi& api = *sim.api();
    Ir(api, kBypass, 8);  // RESET -> Shift-IR 5, 8 bits, Exit1 -> IDLE 2
    Dr(api, 0, 8);        // IDLE -> Shift-DR 3, 8 bits, 2
    ASSERT_EQ(api.SetFrequency(2000), 0u);
    ASSERT_EQ(api.WaitTck(1000), 0u);
    ASSERT_EQ(api.WaitTime(300, 2), 0u);
    const VeltraSimStats stats = Stats();
    EXPECT_EQ(stats.irBits, 8u);
    EXPECT_EQ(stats.drBits, 8u);
    EXPECT_EQ(stats.tckCycles, 15u + 13u + 1000u);
    EXPECT_EQ(stats.virtualTimeUs, 28u + 500u + 300u);  // 28 TCKs at 1 MHz, 1000 at 2 MHz
    EXPECT_EQ(stats.calls[12], 1u);                      // ShiftIr
    EXPECT_EQ(stats.calls[11], 1u);                      // ShiftDr
    EXPECT_EQ(api.WaitTime(1, 1), 1u);                   // only microseconds
}

TEST(SimShift, TrstHoldsTheChainInReset) {
    SimSession sim;
    const VeltraApi& api = *sim.api();
    ASSERT_EQ(api.SetTapState(1, 2), 0u);
    ASSERT_EQ(api.SetTrst(1, 0), 0u);
    EXPECT_EQ(VeltraSim_DeviceState(1, 0), 0);
    VeltraSim_Clock(1, 0, 0);
    EXPECT_EQ(VeltraSim_DeviceState(1, 0), 0);
    ASSERT_EQ(api.SetTrst(1, 1), 0u);
    EXPECT_EQ(Dr(api, 0, 32), kIdcode);
}

TEST(SimShift, UpdateLogKeepsWhatEachDeviceSaw) {
    SimSession sim;
    const VeltraApi& api = *sim.api();
    Ir(api, kScratch, 8);  // before the log is on: not recorded
    VeltraSim_EnableUpdateLog(1);
    Ir(api, kScratch, 8);
    Dr(api, 0xDEADBEEF, 32);
    const std::vector<uint16_t> tdi = Words(0x5, 3);
    ASSERT_EQ(api.ShiftDrToPause(1, tdi.data(), 3, nullptr), 0u);  // no Update-DR
    ASSERT_EQ(api.SetTapState(1, 1), 0u);  // Pause-DR passes Update-DR on its way
    ASSERT_EQ(api.ResetTap(1), 0u);        // already there: nothing new
    ASSERT_EQ(api.PulseTrst(1), 0u);
    const std::vector<std::string> expected = {"IR 8 02", "DR 32 DEADBEEF", "DR 32 BBD5B7DD",
                                               "RESET", "TRST"};
    ASSERT_EQ(VeltraSim_UpdateCount(1, 0), expected.size());
    for (uint32_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(VeltraSim_UpdateLine(1, 0, i), expected[i]) << i;
    }
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

TEST(SimShift, GangingDrivesEveryTapOfTheMask) {
    SimSession sim;
    const VeltraApi& api = *sim.api();
    ASSERT_EQ(api.SetGanging(1, 0x5), 0u);  // TAPs 1 and 3
    ASSERT_EQ(api.SetTapState(1, 3), 0u);
    EXPECT_EQ(VeltraSim_DeviceState(1, 0), 2);
    EXPECT_EQ(VeltraSim_DeviceState(3, 0), 2);
    EXPECT_EQ(VeltraSim_DeviceState(2, 0), 0);
    ASSERT_EQ(api.SetGanging(1, 0), 0u);
    ASSERT_EQ(api.SetTapState(1, 2), 0u);
    EXPECT_EQ(VeltraSim_DeviceState(3, 0), 2);
}

// TDI -> a device with a 37-bit fixed register -> one with a 12-bit
// read-back register -> TDO; 8 IR bits in all.
const char* const kMixedChain = R"(
[[tap]]
number = 1
  [[tap.device]]
  ir_length = 3
  idcode = 0x10000001
  instructions = { IDCODE = 0x1, WIDE = 0x2, BYPASS = 0x7 }
    [[tap.device.register]]
    name = "WIDE"
    length = 37
    value = 0x15A5A5A5A5
  [[tap.device]]
  ir_length = 5
  instructions = { DATA = 0x02, BYPASS = 0x1F }
    [[tap.device.register]]
    name = "DATA"
    length = 12
    mode = "read_back"
)";

// Plays one random sequence of IR and DR shifts (every shift form, random
// lengths, TDI, expected values and masks) and returns every TDO captured
// and the compare result.
std::vector<std::vector<uint16_t>> PlayRandomScans(unsigned seed) {
    std::mt19937 random(seed);
    const VeltraApi& api = *Veltra_GetApi();
    api.SetCompareMode(1);
    std::vector<std::vector<uint16_t>> captured;
    const auto wordsOf = [&random](uint32_t bits) {
        std::vector<uint16_t> words((bits + 15) / 16);
        for (uint16_t& word : words) word = static_cast<uint16_t>(random());
        return words;
    };
    for (int scan = 0; scan < 40; ++scan) {
        const bool ir = random() % 4 == 0;
        const auto bits = static_cast<uint32_t>(ir ? 8 : 1 + random() % (random() % 8 == 0 ? 3000 : 120));
        const std::vector<uint16_t> tdi = wordsOf(bits);
        const std::vector<uint16_t> expected = wordsOf(bits);
        const std::vector<uint16_t> mask = wordsOf(bits);
        const uint16_t* tdiOrZeros = random() % 5 == 0 ? nullptr : tdi.data();
        std::vector<uint16_t> tdo(tdi.size(), 0x5555);
        switch (ir ? random() % 2 : 2 + random() % 4) {
            case 0: api.ShiftIr(1, tdiOrZeros, bits, tdo.data()); break;
            case 1: api.ShiftIrToPause(1, tdiOrZeros, bits, tdo.data()); break;
            case 2: api.ShiftDr(1, tdiOrZeros, bits, tdo.data()); break;
            case 3: api.ShiftDrToPause(1, tdiOrZeros, bits, tdo.data()); break;
            case 4: api.ShiftDrLong(1, tdiOrZeros, bits, tdo.data(), nullptr, nullptr); break;
            default: api.ShiftDrCompare(1, tdiOrZeros, bits, nullptr, expected.data(), mask.data()); break;
        }
        captured.push_back(tdo);
    }
    uint32_t failMask = 0;
    api.GetCompareResult(&failMask);
    captured.push_back({static_cast<uint16_t>(failMask), static_cast<uint16_t>(Stats().drBits)});
    return captured;
}

TEST(SimShift, WholeWordShiftsMatchTheBitLevelPath) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::vector<std::vector<uint16_t>> byPath[2];
        for (const bool bitLevel : {false, true}) {
            SimSession sim;
            sim.LoadBoard(kMixedChain);
            // Devices that keep an update log are clocked bit by bit.
            VeltraSim_EnableUpdateLog(bitLevel ? 1 : 0);
            byPath[bitLevel] = PlayRandomScans(seed);
        }
        EXPECT_EQ(byPath[0], byPath[1]) << "seed " << seed;
    }
}

}  // namespace
