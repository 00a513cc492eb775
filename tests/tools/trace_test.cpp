// The recording table svfplay puts in front of a controller that keeps no
// trace of its own, and the trace file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "null_controller.h"
#include "support/files.h"
#include "support/sim.h"
#include "trace.h"

namespace {

using svfplay::TraceRecorder;
using Lines = std::vector<std::string>;

// A recorder whose lines land in `lines`.
struct Recording {
    explicit Recording(const VeltraApi* target)
        : recorder(target, [this](const std::string& line) { lines.push_back(line); }) {}
    Lines lines;
    TraceRecorder recorder;
};

// Only the slots the controller has are recorded, each by a function of
// the recorder's own.
TEST(SvfplayTrace, SlotsTheControllerLacksStayEmpty) {
    VeltraApi partial{};
    partial.ShiftDr = svfplay::NullControllerApi()->ShiftDr;
    Recording recording(&partial);
    EXPECT_EQ(recording.recorder.api()->ResetTap, nullptr);
    EXPECT_EQ(recording.recorder.api()->ShiftIr, nullptr);
    EXPECT_NE(recording.recorder.api()->ShiftDr, nullptr);
    EXPECT_NE(recording.recorder.api()->ShiftDr, partial.ShiftDr);
}

TEST(SvfplayTrace, NullControllerCallsInPlayerOrder) {
    Recording recording(svfplay::NullControllerApi());
    const VeltraApi* api = recording.recorder.api();
    const uint32_t* record = nullptr;
    api->GetControllerInfo(&record);
    api->SetFrequency(1000);
    api->SetFlagLength(VELTRA_ALL_TAPS, 2);
    const uint16_t tdi[] = {0x00FF};
    uint16_t tdo[] = {0xFFFF};
    api->ShiftIr(1, tdi, 8, tdo);
    uint32_t readBack = 7;
    api->AccessPioPins(1, 3, 1, 1, &readBack);
    api->SetPodSignal(1, 2, 1);
    api->SetTrst(1, 0);
    EXPECT_EQ(recording.lines, (Lines{
                                   "GetControllerInfo * = 0",
                                   "SetFrequency 1000 = 0",
                                   "SetFlagLength 4294967295 2 = 0",
                                   "ShiftIr 1 FF 8 00 = 0",
                                   "AccessPioPins 1 3 1 1 0 = 0",
                                   "SetPodSignal 1 2 1 = 0",
                                   "SetTrst 1 0 = 0",
                               }));
}

// svfplay's recorded lines and veltra-sim's own lines for the same calls
// must be the same, so a trace reads alike whichever controller ran; the
// recorder hands every answer and captured value on.
TEST(SvfplayTrace, RecordedLinesMatchTheSimulatorsOwnTrace) {
    svftest::SimSession sim;
    VeltraSim_EnableTrace(1);
    svftest::ClearTrace();
    Recording recording(sim.api());
    const VeltraApi* api = recording.recorder.api();
    const uint32_t* record = nullptr;
    api->GetControllerInfo(&record);
    sim.Script("SetBuffering", VELTRA_DEPTH_REFUSED, 1);
    EXPECT_EQ(api->SetBuffering(128), VELTRA_DEPTH_REFUSED);
    api->SetFrequency(1000);
    api->ResetTap(1);
    api->SetTapState(1, SVF_STATE_CODE_IDLE);
    const uint16_t idcodeOpcode[] = {0x0001};
    uint16_t tdo[2] = {0, 0};
    api->ShiftIr(1, idcodeOpcode, 8, tdo);
    const uint16_t zeros[] = {0, 0};
    api->ShiftDr(1, zeros, 32, tdo);
    EXPECT_EQ(tdo[0], 0xA093);
    EXPECT_EQ(tdo[1], 0x0123);
    const uint16_t high[] = {0xFFFF, 0x0001};  // only the bits shifted are shown
    api->ShiftDr(1, high, 17, nullptr);
    api->ShiftDr(1, high, 5, nullptr);
    const uint16_t expected[] = {0xA093, 0x0123};
    api->SetCompareMode(1);
    api->ShiftDrCompare(1, zeros, 32, nullptr, expected, nullptr);
    uint32_t failMask = 7;
    api->GetCompareResult(&failMask);
    EXPECT_EQ(failMask, 0u);
    api->WaitTime(100, VELTRA_TIME_MICROSECONDS);
    api->WaitTck(5);
    uint32_t pins = 0, levels = 0;
    api->GetPodInfo(1, &pins, &levels);
    sim.Script("ResetTap", VELTRA_FAILED, 1);
    VeltraSim_SetErrorText("no cable");
    EXPECT_EQ(api->ResetTap(1), VELTRA_FAILED);
    EXPECT_STREQ(api->GetErrorText(), "no cable");
    api->SetFlagLength(VELTRA_ALL_TAPS, 2);

    const Lines simulator = svftest::Trace();
    ASSERT_EQ(recording.lines.size(), 18u);
    EXPECT_EQ(recording.lines, simulator);
    EXPECT_EQ(recording.lines[1], "SetBuffering 128 = 4294967295");
    EXPECT_EQ(recording.lines[5], "ShiftIr 1 01 8 01 = 0") << "captured IR 0x01";
    EXPECT_EQ(recording.lines[6], "ShiftDr 1 00000000 32 0123A093 = 0") << "IDCODE after reset";
    EXPECT_EQ(recording.lines[7], "ShiftDr 1 1FFFF 17 - = 0");
    EXPECT_EQ(recording.lines[8], "ShiftDr 1 1F 5 - = 0");
}

}  // namespace
