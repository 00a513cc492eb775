// The flow of one Svf_Execute: entry checks, set-up from the job record, the
// controller preparation in its order, and which restoring steps every kind
// of failure runs — all read from veltra-sim's call trace.
#include <gtest/gtest.h>

#include <sstream>
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
    ~SessionFlow() override { svf::SetControllerVersionOverride(std::nullopt); }
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
    // A null controller table is a bad job too; a null report gives the same
    // returns silently.
    const char* lines[] = {"RUNTEST 10 TCK;", nullptr};
    info.flags = SVF_FLAG_LINES_IN_MEMORY;
    info.svfSource = lines + 1;
    EXPECT_EQ(Svf_Execute(nullptr, log.report(), &info), SVF_RETURN_ERROR);
    EXPECT_EQ(code(), 52u);
    EXPECT_EQ(log.Errors().size(), 3u);
    EXPECT_EQ(Svf_Execute(sim.api(), nullptr, nullptr), SVF_RETURN_ERROR);
    info.svfSource = lines;
    EXPECT_EQ(Svf_Execute(sim.api(), nullptr, &info), SVF_RETURN_PASS);
    info.svfSource = nullptr;
    EXPECT_EQ(Svf_Execute(sim.api(), nullptr, &info), SVF_RETURN_ERROR);
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

// ---------------------------------------------------------- set-up options

TEST_F(SessionFlow, GangingStringSelectsTapsAndSuppressesTheErrorFile) {
    const std::string old = dir.Write("gang.err", "old");
    info.errorFile = old.c_str();
    info.ganging = "32";  // in any order, the tester's TAP 1 not among them
    EXPECT_EQ(Run(""), SVF_RETURN_PASS) << log.Dump();
    EXPECT_EQ(log.Warnings(), Lines{"Warning: No ERROR file generated"});
    EXPECT_FALSE(svftest::FileExists(old));
    EXPECT_EQ(
        TraceOf({"ResetTap", "SetGanging"}),
        (Lines{"ResetTap 2 = 0", "ResetTap 3 = 0", "SetGanging 1 6 = 0", "SetGanging 1 0 = 0"}));
    EXPECT_FALSE(log.Contains("STATUS\tPASS"));  // ganged runs report no STATUS
}

// ------------------------------------------------- failures and restoring

TEST_F(SessionFlow, UnopenableSvfFileEndsAfterGangingOffAndTckRestore) {
    const std::string missing = dir.PathOf("missing.svf");
    info.svfSource = missing.c_str();
    info.ganging = "1";
    EXPECT_EQ(Svf_Execute(sim.api(), log.report(), &info), SVF_RETURN_ERROR);
    EXPECT_EQ(TraceOf({"SetGanging", "SetTckIdleState"}),
              (Lines{"SetTckIdleState 1 = 0", "SetGanging 1 1 = 0", "SetGanging 1 0 = 0",
                     "SetTckIdleState 2 = 0"}));
}

TEST_F(SessionFlow, UncreatableErrorFileEndsAfterTheTckRestore) {
    const std::string errorFile = dir.PathOf("no/such/dir/run.err");
    info.errorFile = errorFile.c_str();
    EXPECT_EQ(Run("RUNTEST 10 TCK;\n"), SVF_RETURN_ERROR);
    EXPECT_EQ(code(), 2u);
    // The RUNTEST never ran: the only clock is the TCK restore's.
    EXPECT_EQ(TraceOf({"SetTckIdleState", "WaitTck"}),
              (Lines{"SetTckIdleState 1 = 0", "SetTckIdleState 2 = 0", "WaitTck 1 = 0"}));
}

TEST_F(SessionFlow, RunErrorDeletesErrorFileResetsTapAndWritesFrequencyBack) {
    const std::string errorFile = dir.PathOf("run.err");
    info.errorFile = errorFile.c_str();
    info.frequencyKhz = 2000;
    EXPECT_EQ(Run("FREQUENCY 1E6 HZ;\nBOGUS;\n"), SVF_RETURN_ERROR);
    EXPECT_EQ(code(), 10u);
    EXPECT_FALSE(svftest::FileExists(errorFile));
    EXPECT_EQ(info.frequencyKhz, 1000u);
    EXPECT_EQ(Trace().back(), "ResetTap 1 = 0");
}

// ---------------------------------------------------- end of a completed run

TEST_F(SessionFlow, GangedMismatchFillsGangFailMask) {
    info.ganging = "12";
    EXPECT_EQ(Run("SIR 8 TDI (FF) TDO (00);\n"), SVF_RETURN_FAIL) << log.Dump();
    EXPECT_EQ(info.gangFailMask, 3u);
    EXPECT_FALSE(log.Contains("STATUS\tFAIL"));
}

// A controller that does not tell its frequency gets the job's, and nothing
// is restored at the end: there is nothing known to restore.
TEST_F(SessionFlow, UnknownControllerFrequencyIsNotRestored) {
    sim.LoadBoard("[controller]\ninfo_fields = [\"type\"]\n");
    info.flags = SVF_FLAG_RESTORE_FREQUENCY;
    info.frequencyKhz = 1000;
    EXPECT_EQ(Run("FREQUENCY 5E5 HZ;\n"), SVF_RETURN_PASS) << log.Dump();
    EXPECT_EQ(TraceOf({"SetFrequency"}), Lines({"SetFrequency 1000 = 0", "SetFrequency 500 = 0"}));
}

// ------------------------------------ set-up, failures and the end of a run

struct FlowRow {
    const char* name;
    uint32_t flags;
    const char* ganging;
    uint32_t frequencyKhz, startState, finalState;
    uint32_t controllerVersion;  // 0: the library's own
    const char* failing;         // the slot scripted to give `answer` on call number `call`
    uint32_t answer, call;
    const char* svf;
    int32_t verdict;
    uint32_t code;
    const char* errors;  // one a line
    const char* slots;   // whose calls are compared; "": every call
    const char* calls;   // one a line
};

std::string Joined(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

class Flow : public SessionFlow, public testing::WithParamInterface<FlowRow> {};

TEST_P(Flow, MakesItsControllerCallsAndEndsWithItsCode) {
    const FlowRow& row = GetParam();
    info.flags = row.flags;
    info.ganging = row.ganging;
    info.frequencyKhz = row.frequencyKhz;
    info.startState = row.startState;
    info.finalState = row.finalState;
    if (row.controllerVersion != 0) svf::SetControllerVersionOverride(row.controllerVersion);
    VeltraSim_SetErrorText("cable unplugged");
    if (row.failing != nullptr) sim.Script(row.failing, row.answer, row.call);
    EXPECT_EQ(Run(row.svf), row.verdict) << log.Dump();
    EXPECT_EQ(code(), row.code);
    EXPECT_EQ(Joined(log.Errors()), row.errors);
    Lines slots;
    std::istringstream names(row.slots);
    for (std::string name; names >> name;) slots.push_back(name);
    EXPECT_EQ(Joined(slots.empty() ? Trace() : TraceOf(slots)), row.calls);
}

const char* const kRuntest = "RUNTEST 10 TCK;\n";
const char* const kDrPause = "STATE DRPAUSE;\n";
const char* const kRestore = "SetTckIdleState SetGanging SetTapState GetCompareResult";
const char* const kTckRestored = "SetTckIdleState 1 = 0\nSetTckIdleState 2 = 0";
const char* const kOnlyInfo = "GetControllerInfo * = 0";
constexpr int32_t kPass = SVF_RETURN_PASS;
constexpr int32_t kError = SVF_RETURN_ERROR;

// Name; job flags, ganging, frequency, start and final state, controller
// library version; failing slot, its answer and call; SVF text; verdict,
// code, errors; traced slots and their calls.
INSTANTIATE_TEST_SUITE_P(
    SessionFlow, Flow,
    testing::Values(
        // The job's frequency is set only when the controller runs another;
        // kept, the controller's is the start and the limit.
        FlowRow{"JobFrequency", 0, nullptr, 500, 0, 0, 0, nullptr, 0, 0, "", kPass, 0, "",
                "SetFrequency", "SetFrequency 500 = 0"},
        FlowRow{"KeptFrequencyIsTheLimit", SVF_FLAG_KEEP_FREQUENCY, nullptr, 5, 0, 0, 0, nullptr, 0,
                0, "FREQUENCY 2E6 HZ;\n", kPass, 0, "", "SetFrequency", ""},
        FlowRow{"BufferingFallsBackToDepthOne", 0, nullptr, 1000, 0, 0, 0, "SetBuffering",
                VELTRA_DEPTH_REFUSED, 1, "", kPass, 0, "", "SetBuffering",
                "SetBuffering 128 = 4294967295\nSetBuffering 1 = 0\nSetBuffering 0 = 0"},
        FlowRow{"NoBuffering", SVF_FLAG_NO_BUFFERING, nullptr, 1000, 0, 0, 0, nullptr, 0, 0, "",
                kPass, 0, "", "SetBuffering", ""},
        FlowRow{"EmptyFileFromMemory", SVF_FLAG_LINES_IN_MEMORY, nullptr, 1000, 0, 0, 0, nullptr, 0,
                0, "", kPass, 0, "", "ResetTap SetTckIdleState",
                "SetTckIdleState 1 = 0\nResetTap 1 = 0\nSetTckIdleState 2 = 0"},
        // Started in IDLE: the ganged TAPs only.
        FlowRow{"StartInIdle", 0, "13", 1000, SVF_START_STATE_IDLE, 0, 0, nullptr, 0, 0,
                "STATE IDLE;\n", kPass, 0, "", "SetStartState ResetTap",
                "SetStartState 1 2 = 0\nSetStartState 3 2 = 0"},
        // Bad ganging strings end before the controller is touched.
        FlowRow{"GangingEmpty", 0, "", 1000, 0, 0, 0, nullptr, 0, 0, "", kError, 13,
                "Error: Incorrect ganging parameter ''", "", kOnlyInfo},
        FlowRow{"GangingLetter", 0, "1a", 1000, 0, 0, 0, nullptr, 0, 0, "", kError, 13,
                "Error: Incorrect ganging parameter '1a'", "", kOnlyInfo},
        FlowRow{"GangingZero", 0, "0", 1000, 0, 0, 0, nullptr, 0, 0, "", kError, 13,
                "Error: Incorrect ganging parameter '0'", "", kOnlyInfo},
        FlowRow{"GangingBlank", 0, "12 ", 1000, 0, 0, 0, nullptr, 0, 0, "", kError, 13,
                "Error: Incorrect ganging parameter '12 '", "", kOnlyInfo},
        // A failed preparation runs exactly its restoring steps.
        FlowRow{"FrequencyFails", 0, nullptr, 500, 0, 0, 0, "SetFrequency", 1, 1, kRuntest, kError,
                31, "Error: Setting frequency 500 kHz failed; cable unplugged", kRestore, ""},
        FlowRow{"TckIdleFails", 0, nullptr, 1000, 0, 0, 0, "SetTckIdleState", 1, 1, kRuntest,
                kError, 31, "Error: Unable to set TCK idle state; cable unplugged", kRestore,
                "SetTckIdleState 1 = 1"},
        FlowRow{"ResetFails", 0, nullptr, 1000, 0, 0, 0, "ResetTap", 1, 1, kRuntest, kError, 31,
                "Error: Resetting TAP failed; cable unplugged", kRestore, kTckRestored},
        FlowRow{"GangedResetFails", 0, "1", 1000, 0, 0, 0, "ResetTap", 1, 1, kRuntest, kError, 31,
                "Error: Resetting TAP1 failed; cable unplugged", kRestore, kTckRestored},
        FlowRow{"GangingFails", 0, "12", 1000, 0, 0, 0, "SetGanging", 1, 1, kRuntest, kError, 13,
                "Error: Enable ganging mode mode failed; cable unplugged", kRestore,
                "SetTckIdleState 1 = 0\nSetGanging 1 3 = 1"},
        FlowRow{"GangingUnsupported", 0, "12", 1000, 0, 0, 0, "SetGanging", 5, 1, kRuntest, kError,
                13, "Error: Ganging mode is not supported on the used controller", kRestore,
                "SetTckIdleState 1 = 0\nSetGanging 1 3 = 5"},
        FlowRow{"TrstPulseUnsupported", SVF_FLAG_TRST_AT_START, nullptr, 1000, 0, 0, 0, "PulseTrst",
                2, 1, kRuntest, kError, 31, "Error: Resetting TAP failed; function not supported",
                kRestore, kTckRestored},
        // The reset after the TRST pulse fails: ganging stays on.
        FlowRow{"ResetAfterTrstFails", SVF_FLAG_TRST_AT_START, "1", 1000, 0, 0, 0, "ResetTap", 1, 2,
                "", kError, 31, "Error: Resetting TAP failed; cable unplugged", "SetGanging",
                "SetGanging 1 1 = 0"},
        // The device captures ...01 in its IR, not 00: the controller's compare
        // fails the run and is switched off.
        FlowRow{"ControllerMismatch", 0, nullptr, 1000, 0, 0, 0, nullptr, 0, 0,
                "SIR 8 TDI (FF) TDO (00);\n", SVF_RETURN_FAIL, 1, "",
                "GetCompareResult SetCompareMode",
                "SetCompareMode 1 = 0\nGetCompareResult 1 = 0\nSetCompareMode 0 = 0"},
        // The job's final state is applied unless the file ended there.
        FlowRow{"NoFinalState", 0, nullptr, 1000, 0, 0, 0, nullptr, 0, 0, kDrPause, kPass, 0, "",
                "SetTapState", "SetTapState 1 3 = 0"},
        FlowRow{"FinalStateReached", 0, nullptr, 1000, 0, SVF_STATE_CODE_DRPAUSE, 0, nullptr, 0, 0,
                kDrPause, kPass, 0, "", "SetTapState", "SetTapState 1 3 = 0"},
        FlowRow{"FinalStateApplied", 0, nullptr, 1000, 0, SVF_STATE_CODE_RESET, 0, nullptr, 0, 0,
                kDrPause, kPass, 0, "", "SetTapState", "SetTapState 1 3 = 0\nSetTapState 1 1 = 0"},
        // The stop state goes back to IDLE after another end state.
        FlowRow{"StopStateBackToIdle", 0, nullptr, 1000, 0, 0, 0, nullptr, 0, 0,
                "ENDDR DRPAUSE;\nSDR 8 TDI (00);\n", kPass, 0, "", "SetStopState",
                "SetStopState 3 = 0\nSetStopState 2 = 0"},
        // TRST at the end, the frequency restored, and a failed flush.
        FlowRow{"TrstAtEndRestoreFrequencyFlushFails",
                SVF_FLAG_TRST_AT_END | SVF_FLAG_RESTORE_FREQUENCY, nullptr, 1000, 0, 0, 0,
                "SetBuffering", 1, 2, "FREQUENCY 5E5 HZ;\n", kPass, 0,
                "Error: Flushing buffers failed; cable unplugged",
                "PulseTrst SetFrequency SetBuffering",
                "SetBuffering 128 = 0\nSetFrequency 500 = 0\nPulseTrst 1 = 0\n"
                "SetFrequency 1000 = 0\nSetBuffering 0 = 1"},
        FlowRow{"PioNeedsControllerLibrary1_7", SVF_FLAG_PIO, nullptr, 1000, 0, 0,
                svf::MakeVersion(1, 6), nullptr, 0, 0, "", kError, 52,
                "Error: VELTRA does not support PIO and VPPE / USER0 / USER1\n"
                "VELTRA version 1.7 or higher is required",
                "", kOnlyInfo}),
    [](const testing::TestParamInfo<FlowRow>& param) { return std::string(param.param.name); });

}  // namespace
