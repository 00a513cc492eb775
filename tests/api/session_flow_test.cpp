// The flow of one Svf_Execute: entry checks, set-up from the job record, the
// controller preparation in its order, and which restoring steps every kind
// of failure runs — all read from veltra-sim's call trace.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controller/controller.h"
#include "support/files.h"
#include "support/messages.h"
#include "support/sim.h"
#include "support/test_session.h"

namespace {

using svftest::MessageLog;
using svftest::RunSvf;
using svftest::TempDir;
using svftest::Trace;
using svftest::TraceOf;
using Lines = std::vector<std::string>;

class SessionFlow : public testing::Test, protected svftest::JobParts {
  protected:
    int32_t Run(const std::string& svf) { return RunSvf(svf, info, log, dir); }
    uint32_t code() { return log.report()->resultCode; }
};

// ---------------------------------------------------------------- entry checks

// Without a job record nothing is touched; a record without an SVF source is
// a started run: the old ERROR file goes, the gang mask is cleared.
TEST_F(SessionFlow, BadJobRecordsAreRefusedBeforeTheControllerIsTouched) {
    const std::string old = dir.Write("old.err", "old");
    info.errorFile = old.c_str();
    info.gangFailMask = 0xABCD;
    EXPECT_EQ(Svf_Execute(sim.api(), log.report(), nullptr), SVF_RETURN_ERROR);
    EXPECT_EQ(code(), 52u);
    EXPECT_EQ(log.report()->started, 0u);
    EXPECT_TRUE(svftest::FileExists(old));
    EXPECT_EQ(Svf_Execute(sim.api(), log.report(), &info), SVF_RETURN_ERROR);
    EXPECT_EQ(code(), 52u);
    EXPECT_EQ(log.report()->started, 1u);
    EXPECT_EQ(info.gangFailMask, 0u);
    EXPECT_FALSE(svftest::FileExists(old));
    EXPECT_EQ(log.Errors(), (Lines{"Error: Bad SvfInfo parameter in Svf_Execute() call",
                                   "Error: No SVF file specified"}));
    EXPECT_TRUE(Trace().empty());
}

TEST_F(SessionFlow, NullReportGivesTheSameReturnsSilently) {
    EXPECT_EQ(Svf_Execute(sim.api(), nullptr, nullptr), SVF_RETURN_ERROR);
    EXPECT_EQ(Svf_Execute(sim.api(), nullptr, &info), SVF_RETURN_ERROR);
    info.flags = SVF_FLAG_LINES_IN_MEMORY;
    const char* lines[] = {"RUNTEST 10 TCK;", nullptr};
    info.svfSource = lines;
    EXPECT_EQ(Svf_Execute(sim.api(), nullptr, &info), SVF_RETURN_PASS);
}

TEST_F(SessionFlow, NullControllerTableIsABadJob) {
    const char* lines[] = {nullptr};
    info.flags = SVF_FLAG_LINES_IN_MEMORY;
    info.svfSource = lines;
    EXPECT_EQ(Svf_Execute(nullptr, log.report(), &info), SVF_RETURN_ERROR);
    EXPECT_EQ(code(), 52u);
    EXPECT_EQ(log.Errors().size(), 1u);
}

// ------------------------------------------------------------ a passing run

TEST_F(SessionFlow, PassingRunPreparesAndRestoresTheControllerInOrder) {
    EXPECT_EQ(Run("RUNTEST 10 TCK;\n"), SVF_RETURN_PASS) << log.Dump();
    EXPECT_EQ(code(), 0u);
    const Lines expected = {
        "GetControllerInfo * = 0", "SetBuffering 128 = 0",
        "SetTckIdleState 1 = 0",  // no SetFrequency: the controller already runs 1000 kHz
        "ResetTap 1 = 0",
        "SetCompareMode 1 = 0",  // no ERROR file: the controller compares
        "SetTapState 1 2 = 0",     "WaitTck 9 = 0",        "GetCompareResult 0 = 0",
        "SetTckIdleState 2 = 0",   "WaitTck 1 = 0",        "SetBuffering 0 = 0",
    };
    EXPECT_EQ(Trace(), expected);
    EXPECT_EQ(log.Notes(), (Lines{"Start executing SVF File", "End of SVF file", "STATUS\tPASS"}));
}

TEST_F(SessionFlow, EmptyFileFromMemoryPasses) {
    info.flags = SVF_FLAG_LINES_IN_MEMORY;
    EXPECT_EQ(Run(""), SVF_RETURN_PASS) << log.Dump();
    EXPECT_TRUE(log.Contains("End of SVF file"));
}

// ---------------------------------------------------------- set-up options

// The job's frequency is set only when the controller runs another; kept,
// the controller's frequency is the start and the limit (2000 kHz is
// limited to the 1000 in force).
TEST_F(SessionFlow, JobFrequencyOrTheControllersOwn) {
    const struct {
        uint32_t flags, khz;
        const char* svf;
        Lines setFrequency;
        uint32_t khzAfter;
    } rows[] = {{SVF_FLAG_KEEP_FREQUENCY, 5, "FREQUENCY 2E6 HZ;\n", {}, 1000},
                {0, 500, "", {"SetFrequency 500 = 0"}, 500}};
    for (const auto& row : rows) {
        svftest::ClearTrace();
        info.flags = row.flags;
        info.frequencyKhz = row.khz;
        EXPECT_EQ(Run(row.svf), SVF_RETURN_PASS) << log.Dump();
        EXPECT_EQ(TraceOf({"SetFrequency"}), row.setFrequency);
        EXPECT_EQ(info.frequencyKhz, row.khzAfter);
    }
}

TEST_F(SessionFlow, BufferingFallsBackToDepthOneAndCanBeSwitchedOff) {
    sim.Script("SetBuffering", VELTRA_DEPTH_REFUSED, 1);
    EXPECT_EQ(Run(""), SVF_RETURN_PASS);
    EXPECT_EQ(TraceOf({"SetBuffering"}),
              (Lines{"SetBuffering 128 = 4294967295", "SetBuffering 1 = 0", "SetBuffering 0 = 0"}));
    svftest::ClearTrace();
    info.flags = SVF_FLAG_NO_BUFFERING;
    EXPECT_EQ(Run(""), SVF_RETURN_PASS);
    EXPECT_TRUE(TraceOf({"SetBuffering"}).empty());
}

TEST_F(SessionFlow, GangingStringSelectsTapsAndSuppressesTheErrorFile) {
    const std::string old = dir.Write("gang.err", "old");
    info.errorFile = old.c_str();
    info.ganging = "21";
    EXPECT_EQ(Run(""), SVF_RETURN_PASS) << log.Dump();
    EXPECT_EQ(log.Warnings(), Lines{"Warning: No ERROR file generated"});
    EXPECT_FALSE(svftest::FileExists(old));
    EXPECT_EQ(
        TraceOf({"ResetTap", "SetGanging"}),
        (Lines{"ResetTap 1 = 0", "ResetTap 2 = 0", "SetGanging 1 3 = 0", "SetGanging 1 0 = 0"}));
    EXPECT_FALSE(log.Contains("STATUS\tPASS"));  // ganged runs report no STATUS
}

TEST_F(SessionFlow, StartInIdleWithGangingSetsStartStateOfGangedTapsOnly) {
    info.startState = SVF_START_STATE_IDLE;
    info.ganging = "13";
    EXPECT_EQ(Run("STATE IDLE;\n"), SVF_RETURN_PASS) << log.Dump();
    EXPECT_EQ(TraceOf({"SetStartState", "ResetTap"}),
              (Lines{"SetStartState 1 2 = 0", "SetStartState 3 2 = 0"}));
}

TEST_F(SessionFlow, BadGangingStringsEndWithCode13BeforeTheControllerIsTouched) {
    for (const char* ganging : {"", "1a", "0", "12 "}) {
        log.Clear();
        svftest::ClearTrace();
        info.ganging = ganging;
        EXPECT_EQ(Run(""), SVF_RETURN_ERROR);
        EXPECT_EQ(code(), 13u);
        EXPECT_EQ(log.Errors(),
                  Lines{std::string("Error: Incorrect ganging parameter '") + ganging + "'"});
        EXPECT_EQ(Trace(), Lines{"GetControllerInfo * = 0"});
    }
}

// ------------------------------------------------- failures and restoring

struct FailureRow {
    const char* name;
    const char* slot;  // scripted to fail on its first call
    uint32_t result;
    uint32_t flags;
    const char* ganging;
    const char* message;
    uint32_t code;
    size_t tckIdleCalls;  // SetTckIdleState at start (if reached) and at the restore
    bool gangingOff;
};

class PreparationFailures : public SessionFlow, public testing::WithParamInterface<FailureRow> {};

TEST_P(PreparationFailures, RunExactlyTheirRestoringSteps) {
    const FailureRow& row = GetParam();
    info.frequencyKhz = 500;  // so that SetFrequency is called
    info.flags = row.flags;
    info.ganging = row.ganging;
    VeltraSim_SetErrorText("cable unplugged");
    sim.Script(row.slot, row.result, 1);
    EXPECT_EQ(Run("RUNTEST 10 TCK;\n"), SVF_RETURN_ERROR);
    EXPECT_EQ(code(), row.code);
    EXPECT_EQ(log.Errors(), Lines{row.message});
    EXPECT_EQ(TraceOf({"SetTckIdleState"}).size(), row.tckIdleCalls) << row.name;
    const Lines gangingOff = TraceOf({"SetGanging"});
    EXPECT_EQ(!gangingOff.empty() && gangingOff.back() == "SetGanging 1 0 = 0", row.gangingOff)
        << row.name;
    EXPECT_TRUE(TraceOf({"WaitTck", "GetCompareResult", "SetTapState"}).size() <= 1u) << row.name;
}

INSTANTIATE_TEST_SUITE_P(
    SessionFlow, PreparationFailures,
    testing::Values(
        FailureRow{"frequency", "SetFrequency", 1, 0, nullptr,
                   "Error: Setting frequency 500 kHz failed; cable unplugged", 31, 0, false},
        FailureRow{"tck idle", "SetTckIdleState", 1, 0, nullptr,
                   "Error: Unable to set TCK idle state; cable unplugged", 31, 1, false},
        FailureRow{"reset", "ResetTap", 1, 0, nullptr,
                   "Error: Resetting TAP failed; cable unplugged", 31, 2, false},
        FailureRow{"reset unsupported", "ResetTap", 2, 0, nullptr,
                   "Error: Resetting TAP failed; function not supported", 31, 2, false},
        FailureRow{"ganged reset", "ResetTap", 1, 0, "1",
                   "Error: Resetting TAP1 failed; cable unplugged", 31, 2, false},
        FailureRow{"ganging", "SetGanging", 1, 0, "12",
                   "Error: Enable ganging mode mode failed; cable unplugged", 13, 1, false},
        FailureRow{"ganging unsupported", "SetGanging", 5, 0, "12",
                   "Error: Ganging mode is not supported on the used controller", 13, 1, false},
        FailureRow{"trst pulse", "PulseTrst", 2, SVF_FLAG_TRST_AT_START, nullptr,
                   "Error: Resetting TAP failed; function not supported", 31, 2, false}));

TEST_F(SessionFlow, TrstAtStartFailureKeepsGangingEnabled) {
    info.flags = SVF_FLAG_TRST_AT_START;
    info.ganging = "1";
    sim.Script("ResetTap", 1, 2);  // the reset after the TRST pulse
    EXPECT_EQ(Run(""), SVF_RETURN_ERROR);
    EXPECT_EQ(code(), 31u);
    EXPECT_EQ(TraceOf({"SetGanging"}), Lines{"SetGanging 1 1 = 0"});
}

TEST_F(SessionFlow, UnopenableSvfFileEndsAfterGangingOffAndTckRestore) {
    const std::string missing = dir.PathOf("missing.svf");
    info.svfSource = missing.c_str();
    info.ganging = "1";
    EXPECT_EQ(Svf_Execute(sim.api(), log.report(), &info), SVF_RETURN_ERROR);
    EXPECT_EQ(code(), 2u);
    EXPECT_EQ(log.Errors(), Lines{"Error: Unable to open file '" + missing + "'"});
    EXPECT_EQ(TraceOf({"SetGanging", "SetTckIdleState"}),
              (Lines{"SetTckIdleState 1 = 0", "SetGanging 1 1 = 0", "SetGanging 1 0 = 0",
                     "SetTckIdleState 2 = 0"}));
}

TEST_F(SessionFlow, UncreatableErrorFileEndsWithCode2) {
    const std::string errorFile = dir.PathOf("no/such/dir/run.err");
    info.errorFile = errorFile.c_str();
    EXPECT_EQ(Run("RUNTEST 10 TCK;\n"), SVF_RETURN_ERROR);
    EXPECT_EQ(code(), 2u);
    EXPECT_EQ(log.Errors(), Lines{"Error: Unable to open file '" + errorFile + "'"});
    EXPECT_EQ(TraceOf({"SetTckIdleState"}),
              (Lines{"SetTckIdleState 1 = 0", "SetTckIdleState 2 = 0"}));
    EXPECT_TRUE(TraceOf({"WaitTck"}).size() == 1u);  // only the TCK restore's clock
}

TEST_F(SessionFlow, RunErrorDeletesErrorFileResetsTapAndWritesFrequencyBack) {
    const std::string errorFile = dir.PathOf("run.err");
    info.errorFile = errorFile.c_str();
    info.frequencyKhz = 2000;
    EXPECT_EQ(Run("FREQUENCY 1E6 HZ;\nBOGUS;\n"), SVF_RETURN_ERROR);
    EXPECT_EQ(code(), 10u);
    EXPECT_FALSE(svftest::FileExists(errorFile));
    EXPECT_EQ(info.frequencyKhz, 1000u);
    const Lines trace = Trace();
    ASSERT_GE(trace.size(), 3u);
    EXPECT_EQ(trace[trace.size() - 3], "SetTckIdleState 2 = 0");
    EXPECT_EQ(trace.back(), "ResetTap 1 = 0");
}

// ---------------------------------------------------- end of a completed run

TEST_F(SessionFlow, ControllerMismatchMakesTheRunFailWithCode1) {
    // The simulated device captures ...01 in its IR, not 00.
    EXPECT_EQ(Run("SIR 8 TDI (FF) TDO (00);\n"), SVF_RETURN_FAIL) << log.Dump();
    EXPECT_EQ(code(), 1u);
    EXPECT_TRUE(log.Contains("STATUS\tFAIL"));
    for (const std::string& note : log.Notes()) EXPECT_NE(note.rfind("ERRORS", 0), 0u);
    const Lines compare = TraceOf({"GetCompareResult", "SetCompareMode"});
    ASSERT_EQ(compare.size(), 3u);
    EXPECT_EQ(compare[1], "GetCompareResult 1 = 0");
    EXPECT_EQ(compare[2], "SetCompareMode 0 = 0");
}

TEST_F(SessionFlow, GangedMismatchFillsGangFailMask) {
    info.ganging = "12";
    EXPECT_EQ(Run("SIR 8 TDI (FF) TDO (00);\n"), SVF_RETURN_FAIL) << log.Dump();
    EXPECT_EQ(info.gangFailMask, 3u);
    EXPECT_FALSE(log.Contains("STATUS\tFAIL"));
}

// The job's final state is applied unless the file ended there; the stop
// state goes back to IDLE after another end state.
TEST_F(SessionFlow, FinalAndStopStatesAtTheEnd) {
    const struct {
        uint32_t finalState;
        const char* svf;
        const char* slot;
        Lines calls;
    } rows[] = {
        {0, "STATE DRPAUSE;\n", "SetTapState", {"SetTapState 1 3 = 0"}},
        {SVF_STATE_CODE_DRPAUSE, "STATE DRPAUSE;\n", "SetTapState", {"SetTapState 1 3 = 0"}},
        {SVF_STATE_CODE_RESET,
         "STATE DRPAUSE;\n",
         "SetTapState",
         {"SetTapState 1 3 = 0", "SetTapState 1 1 = 0"}},
        {0,
         "ENDDR DRPAUSE;\nSDR 8 TDI (00);\n",
         "SetStopState",
         {"SetStopState 3 = 0", "SetStopState 2 = 0"}},
    };
    for (const auto& row : rows) {
        svftest::ClearTrace();
        info.finalState = row.finalState;
        EXPECT_EQ(Run(row.svf), SVF_RETURN_PASS) << log.Dump();
        EXPECT_EQ(TraceOf({row.slot}), row.calls) << row.svf;
    }
}

TEST_F(SessionFlow, TrstAtEndRestoreFrequencyAndFlushFailure) {
    info.flags = SVF_FLAG_TRST_AT_END | SVF_FLAG_RESTORE_FREQUENCY;
    VeltraSim_SetErrorText("busy");
    sim.Script("SetBuffering", 1, 2);  // the flush
    EXPECT_EQ(Run("FREQUENCY 5E5 HZ;\n"), SVF_RETURN_PASS) << log.Dump();
    EXPECT_EQ(log.Errors(), Lines{"Error: Flushing buffers failed; busy"});
    const Lines tail = TraceOf({"PulseTrst", "SetFrequency", "SetBuffering"});
    EXPECT_EQ(tail, (Lines{"SetBuffering 128 = 0", "SetFrequency 500 = 0", "PulseTrst 1 = 0",
                           "SetFrequency 1000 = 0", "SetBuffering 0 = 1"}));
}

TEST_F(SessionFlow, PioNeedsControllerLibrary1_7) {
    svf::SetControllerVersionOverride(svf::MakeVersion(1, 6));
    info.flags = SVF_FLAG_PIO;
    EXPECT_EQ(Run(""), SVF_RETURN_ERROR);
    svf::SetControllerVersionOverride(std::nullopt);
    EXPECT_EQ(code(), 52u);
    EXPECT_EQ(log.Errors(), (Lines{"Error: VELTRA does not support PIO and VPPE / USER0 / USER1",
                                   "VELTRA version 1.7 or higher is required"}));
}

}  // namespace
