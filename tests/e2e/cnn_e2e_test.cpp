// An indirect connection end to end: the board's own SVF file runs through
// a bridge described by a CNN file or by connection strings; the bridge's
// bits frame every scan, the init and terminate sequences run where they
// belong, and bad connections end the job with their codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/files.h"
#include "support/messages.h"
#include "support/sim.h"
#include "support/test_session.h"

namespace {

using svftest::TraceOf;
using Lines = std::vector<std::string>;

const std::string kExamples = SVF_EXAMPLES_DIR;
constexpr uint32_t kBoardTap = 3;
constexpr uint32_t kBoardIrLength = 8;
constexpr uint32_t kBoardBypassLength = 1;

const Lines kShiftSlots = {
    "ShiftIr",     "ShiftIrToPause",     "ShiftIrCompare", "ShiftIrCompareToPause",
    "ShiftDr",     "ShiftDrToPause",     "ShiftDrCompare", "ShiftDrCompareToPause",
    "ShiftDrLong", "ShiftDrLongToPause", "SetTapState"};

class Bridge : public testing::Test, protected svftest::JobParts {
  protected:
    Bridge() {
        EXPECT_EQ(VeltraSim_LoadBoardFile((kExamples + "/boards/bridge.toml").c_str()), 0)
            << VeltraSim_LastError();
        info.tap = kBoardTap;
        info.totalIrLength = kBoardIrLength;
        info.totalBypassLength = kBoardBypassLength;
        UseCnn(svftest::ReadFile(kExamples + "/cnn/bridge.cnn"));
    }

    void UseCnn(const std::string& text) {
        cnnPath = dir.Write("bridge.cnn", text);
        info.cnnFile = cnnPath.c_str();
    }
    void UseErrorFile() { info.errorFile = errorPath.c_str(); }
    int32_t Run(const std::string& svf = svftest::ReadFile(kExamples + "/svf/idcode.svf")) {
        return svftest::RunSvf(svf, info, log, dir);
    }
    uint32_t code() { return log.report()->resultCode; }

    std::string cnnPath;
    std::string errorPath = dir.PathOf("bridge.err");
};

// The init sequence: LINK selected in the linker (0x2), the board's IR
// filled with ones from the job's IR length, the repeater in BYPASS; then
// 0xA5 into LINK past one bypass bit of the board and one of the repeater.
const Lines kInit = {
    "ShiftIrToPause 1 2 4 - = 0",          "ShiftIrToPause 1 FF 8 - = 0",
    "ShiftIrToPause 1 1F 5 - = 0",         "SetTapState 1 2 = 0",
    "ShiftDrLongToPause 1 A5 8 - - - = 0", "ShiftDrLongToPause 1 0 1 - - - = 0",
    "ShiftDrLongToPause 1 0 1 - - - = 0",  "SetTapState 1 2 = 0",
};
const Lines kTerminate = {"ShiftIrToPause 1 F 4 - = 0", "ShiftIrToPause 1 FF 8 - = 0",
                          "ShiftIrToPause 1 1F 5 - = 0", "SetTapState 1 2 = 0"};

// Controller compare: the patterns go through the compare forms, the fill
// of the board's IR does not.
const Lines kTerminateCompare = {"ShiftIrCompareToPause 1 F 4 - - - = 0",
                                 "ShiftIrToPause 1 FF 8 - = 0",
                                 "ShiftIrCompareToPause 1 1F 5 - - - = 0", "SetTapState 1 2 = 0"};

Lines Joined(std::vector<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST_F(Bridge, BoardFilePassesWithLeadAndTailAroundEveryScan) {
    UseErrorFile();
    EXPECT_EQ(Run(), SVF_RETURN_PASS) << log.Dump();
    EXPECT_EQ(code(), 0u);
    EXPECT_TRUE(log.Errors().empty()) << log.Dump();
    EXPECT_EQ(log.Warnings(), Lines{"Note: Board TAP3 connected to tester TAP1"});
    EXPECT_NE(svftest::ReadFile(errorPath).find("STATUS    PASS"), std::string::npos);
    // The file's STATE IDLE, then every scan as lead (linker), body (board)
    // and tail (repeater).
    const Lines idle = {"SetTapState 1 2 = 0"};
    const Lines scans = {
        "ShiftIrToPause 1 F 4 - = 0",
        "ShiftIrToPause 1 01 8 01 = 0",
        "ShiftIr 1 1F 5 - = 0",
        "ShiftDrLongToPause 1 0 1 - - - = 0",
        "ShiftDrLongToPause 1 00000000 32 0123A093 - - = 0",
        "ShiftDrLong 1 0 1 - - - = 0",
    };
    EXPECT_EQ(TraceOf(kShiftSlots), Joined({kInit, idle, scans, kTerminate}));
}

TEST_F(Bridge, ControllerCompareFramesTheScansWithCompareShifts) {
    EXPECT_EQ(Run(), SVF_RETURN_PASS) << log.Dump();
    const Lines scans = {
        "ShiftIrCompareToPause 1 F 4 - - - = 0",
        "ShiftIrCompareToPause 1 01 8 - 01 00 = 0",
        "ShiftIrCompare 1 1F 5 - - - = 0",
        "ShiftDrLongToPause 1 0 1 - - - = 0",
        "ShiftDrLongToPause 1 00000000 32 - 0123A093 00000000 = 0",
        "ShiftDrLong 1 0 1 - - - = 0",
    };
    const Lines trace = TraceOf(kShiftSlots);
    const Lines ending = Joined({scans, kTerminateCompare});
    ASSERT_GE(trace.size(), ending.size());
    EXPECT_EQ(Lines(trace.end() - static_cast<long>(ending.size()), trace.end()), ending);
    EXPECT_TRUE(log.Contains("STATUS\tPASS"));
}

// A lead one bit short or long shifts the board's bits out of place.
TEST_F(Bridge, WrongLeadsMakeTheBoardFileFail) {
    UseErrorFile();
    for (const auto& [from, to] :
         {std::pair<const char*, const char*>{"HHHHH TAP3 HHHH\n  END_IR_SHIFT",
                                              "HHHHH TAP3 HHH\n  END_IR_SHIFT"},
          {"L TAP3 L\n", "L TAP3 LL\n"}}) {
        UseCnn(svftest::ReplaceOnce(svftest::ReadFile(kExamples + "/cnn/bridge.cnn"), from, to));
        EXPECT_EQ(Run(), SVF_RETURN_FAIL) << log.Dump();
        EXPECT_EQ(code(), 100u);
        const std::string text = svftest::ReadFile(errorPath);
        EXPECT_NE(text.find("STATUS    FAIL"), std::string::npos) << text;
        EXPECT_NE(text.find(svftest::TextLines("TAP3\nSVF_LINE ")), std::string::npos) << text;
    }
}

// A connection with an init sequence and no TRST_FREE keeps TRST and RESET
// away from the bridge, unless the job allows them.
struct ResetRow {
    const char* name;
    uint32_t flags;
    Lines warnings;
    Lines trst;
};

class ResetRules : public Bridge, public testing::WithParamInterface<ResetRow> {};

TEST_P(ResetRules, FollowTheJobsAllowResetOption) {
    info.flags |= GetParam().flags;
    EXPECT_EQ(Run("TRST ON;\nSTATE RESET;\n"), SVF_RETURN_PASS) << log.Dump();
    Lines warnings = {"Note: Board TAP3 connected to tester TAP1"};
    warnings.insert(warnings.end(), GetParam().warnings.begin(), GetParam().warnings.end());
    EXPECT_EQ(log.Warnings(), warnings);
    EXPECT_EQ(TraceOf({"SetTrst"}), GetParam().trst);
}

INSTANTIATE_TEST_SUITE_P(
    Cnn, ResetRules,
    testing::Values(ResetRow{"Restricted",
                             0,
                             {"SVF line      1 : TRST reset not allowed (ignored)",
                              "SVF line      2 : RESET state may cause problems Changed to IDLE"},
                             {}},
                    ResetRow{"Allowed",
                             SVF_FLAG_ALLOW_RESET,
                             {"SVF line      2 : RESET state may cause problems"},
                             {"SetTrst 1 0 = 0"}}),
    [](const testing::TestParamInfo<ResetRow>& param) { return std::string(param.param.name); });

struct InitFailure {
    const char* name;
    const char* ganging;
    const char* slot;  // scripted to fail, or nullptr
    uint32_t result;
    uint32_t onCall;
    uint32_t irLength;
    uint32_t bypassLength;
    const char* message;
    uint32_t code;
};

class InitFailures : public Bridge, public testing::WithParamInterface<InitFailure> {};

TEST_P(InitFailures, EndWithGangingOffAndTckRestoreOnly) {
    const InitFailure& row = GetParam();
    info.ganging = row.ganging;
    info.totalIrLength = row.irLength;
    info.totalBypassLength = row.bypassLength;
    UseErrorFile();
    VeltraSim_SetErrorText("bridge does not answer");
    if (row.slot != nullptr) sim.Script(row.slot, row.result, row.onCall);

    EXPECT_EQ(Run(), SVF_RETURN_ERROR) << log.Dump();
    EXPECT_EQ(code(), row.code);
    EXPECT_EQ(log.Errors(), Lines{row.message});
    EXPECT_FALSE(log.Contains("Start executing SVF File"));
    EXPECT_FALSE(svftest::FileExists(errorPath));
    // Nothing after the failure but ganging off (when on) and the TCK restore:
    // no terminate sequence, no TAP reset.
    Lines tail = {"SetTckIdleState 2 = 0", "WaitTck 1 = 0"};
    if (row.ganging != nullptr) tail.insert(tail.begin(), "SetGanging 1 0 = 0");
    const Lines trace = svftest::Trace();
    ASSERT_GT(trace.size(), tail.size());
    EXPECT_EQ(Lines(trace.end() - static_cast<long>(tail.size()), trace.end()), tail);
    const std::string beforeTail = trace[trace.size() - tail.size() - 1];
    EXPECT_EQ(beforeTail.find("ResetTap"), std::string::npos) << beforeTail;
}

INSTANTIATE_TEST_SUITE_P(
    Cnn, InitFailures,
    testing::Values(
        InitFailure{"IrShiftFails", nullptr, "ShiftIrToPause", 1, 1, kBoardIrLength,
                    kBoardBypassLength, "Error: Shift IR failed; bridge does not answer", 31},
        InitFailure{"IrFillUnsupported", nullptr, "ShiftIrToPause", 2, 2, kBoardIrLength,
                    kBoardBypassLength, "Error: Shift IR failed; function not supported", 31},
        // Ganged: the patterns go through the compare forms, the fill does not.
        InitFailure{"GangedIrFillFails", "1", "ShiftIrToPause", 1, 1, kBoardIrLength,
                    kBoardBypassLength, "Error: Shift IR failed; bridge does not answer", 31},
        InitFailure{"GangedDrPatternFails", "1", "ShiftDrLongToPause", 1, 1, kBoardIrLength,
                    kBoardBypassLength, "Error: Shift DR failed; bridge does not answer", 31},
        InitFailure{"StepEndFails", nullptr, "SetTapState", 1, 1, kBoardIrLength,
                    kBoardBypassLength, "Error: Unable to set TAP state; bridge does not answer",
                    31},
        InitFailure{"NoIrLength", "1", nullptr, 0, 0, 0, kBoardBypassLength,
                    "Error: Instruction Register bits undefined for CNN Init", 16},
        InitFailure{"NoBypassLength", nullptr, nullptr, 0, 0, kBoardIrLength, 0,
                    "Error: Bypass Register bits undefined for CNN Init", 16}),
    [](const testing::TestParamInfo<InitFailure>& param) { return std::string(param.param.name); });

TEST_F(Bridge, TdioStepInTheInitSequenceIsRefusedAfterTheStepsBeforeIt) {
    UseCnn(svftest::ReplaceOnce(svftest::ReadFile(kExamples + "/cnn/bridge.cnn"), "  END_INIT_SEQ",
                                "    TDIO HL\n  END_INIT_SEQ"));
    UseErrorFile();
    EXPECT_EQ(Run(), SVF_RETURN_ERROR) << log.Dump();
    EXPECT_EQ(code(), 13u);
    EXPECT_EQ(log.Errors(), Lines{"Error: TDIO not supported"});
    EXPECT_EQ(TraceOf(kShiftSlots), kInit);
}

struct EndRow {
    const char* name;
    const char* svf;
    int32_t verdict;
    uint32_t code;
    Lines tail;  // the last controller calls
};

class RunEnds : public Bridge, public testing::WithParamInterface<EndRow> {};

TEST_P(RunEnds, PlayTheTerminateSequence) {
    const EndRow& row = GetParam();
    UseErrorFile();
    EXPECT_EQ(Run(row.svf), row.verdict) << log.Dump();
    EXPECT_EQ(code(), row.code);
    const Lines expected = Joined({kTerminate, row.tail});
    const Lines trace = svftest::Trace();
    ASSERT_GE(trace.size(), expected.size());
    EXPECT_EQ(Lines(trace.end() - static_cast<long>(expected.size()), trace.end()), expected);
    EXPECT_EQ(svftest::FileExists(errorPath), row.verdict != SVF_RETURN_ERROR);
}

INSTANTIATE_TEST_SUITE_P(
    Cnn, RunEnds,
    testing::Values(EndRow{"Completed",
                           "SIR 8 TDI (01);\n",
                           SVF_RETURN_PASS,
                           0,
                           {"SetTckIdleState 2 = 0", "WaitTck 1 = 0", "SetBuffering 0 = 0"}},
                    EndRow{"CompletedWithFailures",
                           "SIR 8 TDI (01) TDO (FF);\n",
                           SVF_RETURN_FAIL,
                           100,
                           {"SetTckIdleState 2 = 0", "WaitTck 1 = 0", "SetBuffering 0 = 0"}},
                    EndRow{"SyntaxError",
                           "SIR 8 TDI (01);\nBOGUS;\n",
                           SVF_RETURN_ERROR,
                           10,
                           {"SetTckIdleState 2 = 0", "WaitTck 1 = 0", "ResetTap 1 = 0"}},
                    // A changed IR length cannot be framed by the connection.
                    EndRow{"IrLengthChanged",
                           "SIR 8 TDI (01);\nSIR 6 TDI (01);\n",
                           SVF_RETURN_ERROR,
                           11,
                           {"SetTckIdleState 2 = 0", "WaitTck 1 = 0", "ResetTap 1 = 0"}}),
    [](const testing::TestParamInfo<EndRow>& param) { return std::string(param.param.name); });

TEST_F(Bridge, UnopenableSvfFilePlaysTheTerminateSequenceBeforeTheMessage) {
    const std::string missing = dir.PathOf("missing.svf");
    info.svfSource = missing.c_str();
    UseErrorFile();
    EXPECT_EQ(Svf_Execute(sim.api(), log.report(), &info), SVF_RETURN_ERROR);
    EXPECT_EQ(code(), 2u);
    EXPECT_EQ(log.Errors(), Lines{"Error: Unable to open file '" + missing + "'"});
    EXPECT_EQ(TraceOf(kShiftSlots), Joined({kInit, kTerminate}));
}

TEST_F(Bridge, CnnFileWithoutANewlineAtTheEndEndsTheJobBeforeTheControllerIsPrepared) {
    UseCnn(svftest::ReplaceOnce(svftest::ReadFile(kExamples + "/cnn/bridge.cnn"),
                                "END_TESTER_CHANNEL\n", "END_TESTER_CHANNEL"));
    EXPECT_EQ(Run(), SVF_RETURN_ERROR) << log.Dump();
    EXPECT_EQ(code(), 40u);
    EXPECT_EQ(log.Texts(),
              (Lines{"Error #CC03: Unexpected end of CNN file", "Error parsing CNN file"}));
    EXPECT_EQ(svftest::Trace(), Lines{"GetControllerInfo * = 0"});
}

// Connection strings reach the same board without a CNN file; lower case
// is low, and a lead too long fails the file.
TEST_F(Bridge, ConnectionStringsReachTheSameBoardWithoutACnnFile) {
    info.tap = 1;  // tester TAP and board TAP are one here
    info.flags |= SVF_FLAG_CONNECTION_STRINGS;
    UseErrorFile();
    for (auto [strings, verdict] :
         {std::pair<ConnectionStrings, int32_t>{{0, "HHHH", "HHHHH", "L", "L"}, SVF_RETURN_PASS},
          {{0, "HHHH", "HHHHH", "l", "L"}, SVF_RETURN_PASS},
          {{0, "HHHH", "HHHHH", "LL", "L"}, SVF_RETURN_FAIL}}) {
        log.Clear();
        svftest::ClearTrace();
        info.cnnFile = &strings;
        EXPECT_EQ(Run(), verdict) << log.Dump();
        EXPECT_TRUE(log.Contains(verdict == SVF_RETURN_PASS ? "STATUS\tPASS" : "STATUS\tFAIL"));
        const Lines irScan = TraceOf({"ShiftIr", "ShiftIrToPause"});
        ASSERT_EQ(irScan.size(), 3u);
        EXPECT_EQ(irScan[0], "ShiftIrToPause 1 F 4 - = 0");
        EXPECT_EQ(irScan[2], "ShiftIr 1 1F 5 - = 0");
    }
}

TEST_F(Bridge, ConnectionStringFlagsAvoidResetAndTrst) {
    ConnectionStrings strings{SVF_CONNECTION_NO_TRST | SVF_CONNECTION_AVOID_RESET, "HHHH", "HHHHH",
                              "L", "L"};
    info.tap = 1;
    info.flags |= SVF_FLAG_CONNECTION_STRINGS;
    info.cnnFile = &strings;
    EXPECT_EQ(Run("TRST ON;\nSTATE RESET;\nSIR 8 TDI (01) TDO (01);\n"), SVF_RETURN_PASS)
        << log.Dump();
    EXPECT_EQ(log.Warnings(),
              (Lines{"SVF line      1 : TRST reset not allowed (ignored)",
                     "SVF line      2 : RESET state may cause problems Changed to IDLE"}));
    EXPECT_TRUE(TraceOf({"SetTrst", "PulseTrst", "ResetTap"}) == Lines{"ResetTap 1 = 0"});
}

}  // namespace
