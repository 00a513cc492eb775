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

using svfplay::HexOfBits;
using svfplay::TraceRecorder;
using Lines = std::vector<std::string>;

// A recorder whose lines land in `lines`.
struct Recording {
    explicit Recording(const VeltraApi* target)
        : recorder(target, [this](const std::string& line) { lines.push_back(line); }) {}
    Lines lines;
    TraceRecorder recorder;
};

TEST(SvfplayTrace, HexOfBitsShowsOnlyTheBitsUsed) {
    const uint16_t a5[] = {0x00A5};
    const uint16_t high[] = {0xFFFF, 0x0001};
    const uint16_t idcode[] = {0xA093, 0x0123};
    EXPECT_EQ(HexOfBits(a5, 8), "A5");
    EXPECT_EQ(HexOfBits(a5, 5), "05");   // bits 0-4 of 10100101
    EXPECT_EQ(HexOfBits(a5, 1), "1");
    EXPECT_EQ(HexOfBits(high, 17), "1FFFF");
    EXPECT_EQ(HexOfBits(high, 16), "FFFF");
    EXPECT_EQ(HexOfBits(idcode, 32), "0123A093");
    EXPECT_EQ(HexOfBits(nullptr, 8), "-");
}

// A controller with fixed, recognisable answers.
uint16_t capturedPattern = 0x3C;
uint32_t FakeShift(uint32_t, const uint16_t*, uint32_t, uint16_t* tdo) {
    if (tdo != nullptr) tdo[0] = capturedPattern;
    return VELTRA_FAILED;
}
uint32_t FakeCompare(uint32_t, const uint16_t*, uint32_t, uint16_t* tdo, const uint16_t*,
                     const uint16_t*) {
    if (tdo != nullptr) tdo[0] = capturedPattern;
    return VELTRA_OK;
}
uint32_t FakeWaitTime(uint32_t, uint32_t) { return VELTRA_NOT_SUPPORTED; }
uint32_t FakeCompareResult(uint32_t* mask) {
    *mask = 5;
    return VELTRA_OK;
}
uint32_t FakePodInfo(uint32_t, uint32_t* pins, uint32_t* levels) {
    *pins = 12;
    *levels = 4;
    return VELTRA_OK;
}
uint32_t FakeBuffering(uint32_t) { return VELTRA_DEPTH_REFUSED; }
const char* FakeErrorText() { return "cable unplugged"; }

VeltraApi FakeApi() {
    VeltraApi api{};
    api.ShiftDr = FakeShift;
    api.ShiftIrCompareToPause = FakeCompare;
    api.WaitTime = FakeWaitTime;
    api.GetCompareResult = FakeCompareResult;
    api.GetPodInfo = FakePodInfo;
    api.SetBuffering = FakeBuffering;
    api.GetErrorText = FakeErrorText;
    return api;
}

TEST(SvfplayTrace, RecordsArgumentsOutValuesAndResultsAndForwards) {
    const VeltraApi fake = FakeApi();
    Recording recording(&fake);
    const VeltraApi* api = recording.recorder.api();
    const uint16_t tdi[] = {0x00A5};
    uint16_t tdo[1] = {0};
    EXPECT_EQ(api->ShiftDr(1, tdi, 8, tdo), VELTRA_FAILED);
    EXPECT_EQ(tdo[0], capturedPattern);
    EXPECT_EQ(api->ShiftDr(2, tdi, 8, nullptr), VELTRA_FAILED);
    const uint16_t expected[] = {0x0001};
    EXPECT_EQ(api->ShiftIrCompareToPause(1, tdi, 6, tdo, expected, nullptr), VELTRA_OK);
    EXPECT_EQ(api->WaitTime(1000, VELTRA_TIME_MICROSECONDS), VELTRA_NOT_SUPPORTED);
    uint32_t mask = 0;
    EXPECT_EQ(api->GetCompareResult(&mask), VELTRA_OK);
    EXPECT_EQ(mask, 5u);
    uint32_t pins = 0, levels = 0;
    api->GetPodInfo(3, &pins, &levels);
    EXPECT_EQ(api->SetBuffering(128), VELTRA_DEPTH_REFUSED);
    EXPECT_STREQ(api->GetErrorText(), "cable unplugged");
    EXPECT_EQ(recording.lines, (Lines{
                                    "ShiftDr 1 A5 8 3C = 1",
                                    "ShiftDr 2 A5 8 - = 1",
                                    "ShiftIrCompareToPause 1 25 6 3C 01 - = 0",
                                    "WaitTime 1000 2 = 2",
                                    "GetCompareResult 5 = 0",
                                    "GetPodInfo 3 12 4 = 0",
                                    "SetBuffering 128 = 4294967295",
                                    "GetErrorText = cable unplugged",
                                }));
    EXPECT_TRUE(recording.recorder.complete());
}

TEST(SvfplayTrace, SlotsTheControllerLacksStayEmpty) {
    const VeltraApi fake = FakeApi();
    Recording recording(&fake);
    EXPECT_EQ(recording.recorder.api()->ResetTap, nullptr);
    EXPECT_EQ(recording.recorder.api()->ShiftIr, nullptr);
    EXPECT_NE(recording.recorder.api()->ShiftDr, nullptr);
    EXPECT_NE(recording.recorder.api()->ShiftDr, fake.ShiftDr);
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

TEST(SvfplayTrace, TraceFileHasOneLinePerCall) {
    svftest::TempDir dir;
    svfplay::TraceFile file;
    std::string error;
    ASSERT_TRUE(file.Open(dir.PathOf("calls.txt"), error)) << error;
    file.Write("ResetTap 1 = 0");
    file.Write("WaitTck 1 = 0");
    ASSERT_TRUE(file.Close(error)) << error;
    EXPECT_EQ(svftest::ReadFile(dir.PathOf("calls.txt")), "ResetTap 1 = 0\nWaitTck 1 = 0\n");
}

TEST(SvfplayTrace, TraceFileInAMissingFolderIsRefusedAtOpen) {
    svftest::TempDir dir;
    svfplay::TraceFile file;
    std::string error;
    EXPECT_FALSE(file.Open(dir.PathOf("no/such/folder/calls.txt"), error));
    EXPECT_NE(error.find("calls.txt"), std::string::npos) << error;
}

// svfplay's recorded lines and veltra-sim's own lines for the same calls
// must be the same, so a trace reads alike whichever controller ran.
TEST(SvfplayTrace, RecordedLinesMatchTheSimulatorsOwnTrace) {
    svftest::SimSession sim;
    VeltraSim_EnableTrace(1);
    svftest::ClearTrace();
    Recording recording(sim.api());
    const VeltraApi* api = recording.recorder.api();
    const uint32_t* record = nullptr;
    api->GetControllerInfo(&record);
    api->SetBuffering(128);
    api->SetFrequency(1000);
    api->ResetTap(1);
    api->SetTapState(1, SVF_STATE_CODE_IDLE);
    const uint16_t idcodeOpcode[] = {0x0001};
    uint16_t tdo[2] = {0, 0};
    api->ShiftIr(1, idcodeOpcode, 8, tdo);
    const uint16_t zeros[] = {0, 0};
    api->ShiftDr(1, zeros, 32, tdo);
    const uint16_t expected[] = {0xA093, 0x0123};
    api->SetCompareMode(1);
    api->ShiftDrCompare(1, zeros, 32, nullptr, expected, nullptr);
    uint32_t failMask = 0;
    api->GetCompareResult(&failMask);
    api->WaitTime(100, VELTRA_TIME_MICROSECONDS);
    api->WaitTck(5);
    uint32_t pins = 0, levels = 0;
    api->GetPodInfo(1, &pins, &levels);
    sim.Script("ResetTap", VELTRA_FAILED, 1);
    VeltraSim_SetErrorText("no cable");
    api->ResetTap(1);
    api->GetErrorText();
    api->SetFlagLength(VELTRA_ALL_TAPS, 2);

    const Lines simulator = svftest::Trace();
    ASSERT_EQ(recording.lines.size(), 16u);
    EXPECT_EQ(recording.lines, simulator);
    EXPECT_EQ(recording.lines[5], "ShiftIr 1 01 8 01 = 0") << "captured IR 0x01";
    EXPECT_EQ(recording.lines[6], "ShiftDr 1 00000000 32 0123A093 = 0") << "IDCODE after reset";
}

}  // namespace
