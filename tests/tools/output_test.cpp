// svfplay's output: progress, summary, failures read back from an ERROR
// file, and the recording table it puts in front of a controller that
// keeps no trace of its own.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "failures.h"
#include "null_controller.h"
#include "output.h"
#include "support/files.h"
#include "support/sim.h"
#include "trace.h"

namespace {

using svfplay::HostMessage;
using svfplay::RunOutcome;

TEST(SvfplayOutput, ProgressBarText) {
    EXPECT_EQ(svfplay::FormatProgress(0, 10),
              "[..............................]   0%  line 0 of 10");
    EXPECT_EQ(svfplay::FormatProgress(5, 10),
              "[###############...............]  50%  line 5 of 10");
    EXPECT_EQ(svfplay::FormatProgress(12, 10),
              "[##############################] 100%  line 10 of 10");
    EXPECT_EQ(svfplay::FormatProgress(7, 0), "line 7");
    EXPECT_EQ(svfplay::FormatProgress(5, 10, 0.1), svfplay::FormatProgress(5, 10))
        << "too early for a rate";
    EXPECT_EQ(svfplay::FormatProgress(200, 1000, 2.0),
              "[######........................]  20%  line 200 of 1000  100 lines/s  ETA 0:08");
    EXPECT_EQ(svfplay::FormatProgress(9000, 0, 1.5), "line 9000  6000 lines/s");
}

TEST(SvfplayOutput, ProgressBarRedrawsInPlaceAndClears) {
    std::ostringstream stream;
    {
        svfplay::ProgressBar bar(stream, 4, true);
        bar.Update(1);
        bar.Update(4);
    }
    const std::string text = stream.str();
    EXPECT_EQ(text.find('\n'), std::string::npos) << "a bar never scrolls";
    EXPECT_NE(text.find("line 1 of 4"), std::string::npos);
    EXPECT_NE(text.find("line 4 of 4"), std::string::npos);
    EXPECT_EQ(text.back(), '\r') << "cleared at the end";
    std::ostringstream silent;
    {
        svfplay::ProgressBar bar(silent, 4, false);
        bar.Update(2);
    }
    EXPECT_EQ(silent.str(), "");
}

std::vector<HostMessage> Notes(std::initializer_list<const char*> texts) {
    std::vector<HostMessage> messages;
    uint32_t sequence = 0;
    for (const char* text : texts) messages.push_back({SVF_MESSAGE_NOTE, 3, sequence++, 0, text});
    return messages;
}

// What whole runs on veltra-sim do not show: a controller's own frequency
// beside a gang mask, and the words of every error code. Only the player's
// ERRORS note counts failing bits.
TEST(SvfplayOutput, SummaryNamesVerdictCodeCountAndFrequency) {
    auto warning = Notes({"STATUS\tFAIL", "ERRORS\t3"});
    warning[1].kind = SVF_MESSAGE_WARNING;
    const RunOutcome gang{SVF_RETURN_FAIL, SVF_RESULT_MISMATCH, 0, 0x5, std::nullopt, 400u};
    EXPECT_EQ(svfplay::FormatSummary(gang, warning),
              "Result: FAIL (result code 1: mismatches found by the controller)\n"
              "Failures: the controller's compare found mismatches (failing TAP mask 0x5)\n"
              "Frequency: the controller's own, 400 kHz\n");
    const struct {
        uint32_t code;
        const char* words;
    } errors[] = {{SVF_RESULT_SYNTAX, "syntax error"},
                  {SVF_RESULT_ABORTED, "aborted"},
                  {SVF_RESULT_MISMATCH, "stopped inside a scan statement or on FLAG"},
                  {SVF_RESULT_PIO_PIN_IN_USE, "PIO pin used by the TAP"},
                  {77, "unknown"}};
    for (const auto& row : errors) {
        const RunOutcome error{SVF_RETURN_ERROR, row.code, 0, 0, std::nullopt, {}};
        EXPECT_EQ(svfplay::FormatSummary(error, {}),
                  "Result: ERROR (result code " + std::to_string(row.code) + ": " + row.words +
                      ")\nFrequency: the controller's own\n");
    }
}

// Both ERROR file forms read back into failure records.
TEST(SvfplayOutput, FailuresReadBackFromErrorFiles) {
    const std::string header = "SYNTAX_VERSION   1.3\nSTATUS    FAIL\n\nERRORS    14   \n";
    const std::string numbered =
        "ERRORS    3\nTAP2 CMD_ID 4 PIN TDO BIT_OFFSET 3 LOOP_CNT 0\n"
        "TAP2 CMD_ID 4 PIN TDO BIT_OFFSET 17 LOOP_CNT 0\n"
        "PAR CMD_ID 6 PIN LED0 BIT_OFFSET 0 LOOP_CNT 0\nEND_ERRORS\n";
    svftest::TempDir dir;
    const auto classic = svfplay::ErrorFileFailures(
        dir.Write("a.err", header +
                               "TAP1\r\nSVF_LINE 12\r\n\r\n        0         1         2         3"
                               "         4         5         6         7         8         9\n"
                               "       10        11 \nPAR\nSVF_LINE 20\n        0        2\n"
                               "END_ERRORS\nTAP9\n"),
        1);
    EXPECT_EQ(classic.total, 2u) << "records after END_ERRORS are not read";
    ASSERT_EQ(classic.records.size(), 1u) << "the limit";
    EXPECT_EQ(classic.records[0].svfLine, 12u);
    EXPECT_EQ(classic.records[0].failingBitCount, 12u);
    EXPECT_EQ(classic.records[0].failingBits.back(), 11u);
    const auto json =
        svfplay::FailuresJson(svfplay::ErrorFileFailures(dir.Write("b.err", numbered), 10));
    EXPECT_EQ(json, nlohmann::json::parse(R"([
        {"source":"errorFile","tap":2,"command":4,"svfLine":null,"failingBitCount":2,
         "failingBits":[3,17]},
        {"source":"errorFile","tap":0,"command":6,"svfLine":null,"failingBitCount":1,
         "failingBits":[],"pins":["LED0"]}])"));
    std::ostringstream text;
    svfplay::WriteFailures(text, classic, "Failing");
    EXPECT_EQ(text.str(),
              "Failing (first 1 of 2):\n  1. SVF line 12, TAP 1: 12 failing bits: "
              "0 1 2 3 4 5 6 7 8 9 10 11\n");
    EXPECT_TRUE(svfplay::ErrorFileFailures(dir.PathOf("missing.err"), 10).records.empty());
}

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

// The null controller captures and reads back zeros (its other calls:
// SvfplayRun.TraceFileOfSimulatorAndOfRecordedController).
TEST(SvfplayTrace, NullControllerCallsInPlayerOrder) {
    Recording recording(svfplay::NullControllerApi());
    const VeltraApi* api = recording.recorder.api();
    const uint16_t tdi[] = {0x00FF};
    uint16_t tdo[] = {0xFFFF};
    api->ShiftIr(1, tdi, 8, tdo);
    uint32_t readBack = 7;
    api->AccessPioPins(1, 3, 1, 1, &readBack);
    api->SetPodSignal(1, 2, 1);
    api->SetTrst(1, 0);
    EXPECT_EQ(recording.lines, (Lines{"ShiftIr 1 FF 8 00 = 0", "AccessPioPins 1 3 1 1 0 = 0",
                                      "SetPodSignal 1 2 1 = 0", "SetTrst 1 0 = 0"}));
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
    // Every other slot once: each name is checked against the simulator's own.
    api->ShiftIrToPause(1, idcodeOpcode, 8, nullptr);
    api->ShiftDrToPause(1, zeros, 8, nullptr);
    api->ShiftIrCompare(1, idcodeOpcode, 8, nullptr, idcodeOpcode, nullptr);
    api->ShiftIrCompareToPause(1, idcodeOpcode, 8, nullptr, idcodeOpcode, nullptr);
    api->ShiftDrCompareToPause(1, zeros, 8, nullptr, zeros, nullptr);
    api->ShiftDrLong(1, zeros, 8, nullptr, nullptr, nullptr);
    api->ShiftDrLongToPause(1, zeros, 8, nullptr, nullptr, nullptr);
    api->SetStopState(SVF_STATE_CODE_IDLE);
    api->SetTckIdleState(1);
    api->SetStartState(1, SVF_STATE_CODE_IDLE);
    api->SetGanging(1, 0);
    api->PulseTrst(1);
    api->SetTrst(1, 0);
    api->AccessPioPins(1, 0, 0, 0, &pins);
    api->SetPodSignal(1, 1, 0);

    const Lines simulator = svftest::Trace();
    ASSERT_EQ(recording.lines.size(), 33u);
    EXPECT_EQ(recording.lines, simulator);
    EXPECT_EQ(recording.lines[1], "SetBuffering 128 = 4294967295");
    EXPECT_EQ(recording.lines[5], "ShiftIr 1 01 8 01 = 0") << "captured IR 0x01";
    EXPECT_EQ(recording.lines[6], "ShiftDr 1 00000000 32 0123A093 = 0") << "IDCODE after reset";
    EXPECT_EQ(recording.lines[7], "ShiftDr 1 1FFFF 17 - = 0");
    EXPECT_EQ(recording.lines[8], "ShiftDr 1 1F 5 - = 0");
}

}  // namespace
