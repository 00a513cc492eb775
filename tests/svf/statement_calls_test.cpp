// The controller calls that TRST, FLAG, merlo_correction, FREQUENCY, STATE and
// RUNTEST statements make, played through the dispatcher against veltra-sim.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "svf/dispatcher.h"
#include "svf/reader/reader.h"
#include "svf/state_statements.h"
#include "svf_fixture.h"

namespace {

using svftest::AtLine;
using svftest::ErrorAt;
using svftest::TraceOf;
using Strings = std::vector<std::string>;

constexpr uint32_t kVersion21 = 0x20001;
constexpr uint32_t kVersion22 = 0x20002;

class StatementCalls : public svftest::SvfFixture {
protected:
    svf::Status Run(const Strings& lines, uint32_t version = kVersion22) {
        svf::SvfSession& s = Start(lines);
        s.host.libraryVersion = version;
        s.freq.tckFrequency = 1000;
        VeltraSim_SetErrorText("boom");
        return svf::RunStatements(s);
    }
};

// --------------------------------------------------------------------- TRST

struct TrstCase {
    const char* name;
    std::string statement;
    uint32_t version;
    bool forbidden;
    const char* scriptedSlot;  // null: none
    uint32_t scriptedResult;
    svf::Status status;
    Strings calls;
    Strings errors;
};

class TrstCalls : public StatementCalls, public ::testing::WithParamInterface<TrstCase> {};

TEST_P(TrstCalls, FollowTheLibraryVersionAndTheConnection) {
    const TrstCase& c = GetParam();
    if (c.scriptedSlot != nullptr) sim.Script(c.scriptedSlot, c.scriptedResult, 0);
    svf::SvfSession& s = Start({c.statement});
    s.host.libraryVersion = c.version;
    s.connection.trstForbidden = c.forbidden;
    VeltraSim_SetErrorText("boom");
    EXPECT_EQ(svf::RunStatements(s), c.status);
    EXPECT_EQ(TraceOf({"SetTrst", "PulseTrst"}), c.calls);
    EXPECT_EQ(log.Errors(), c.errors);
}

INSTANTIATE_TEST_SUITE_P(
    StatementCalls, TrstCalls,
    ::testing::Values(
        TrstCase{"OnAsserts", "TRST ON;", kVersion22, false, nullptr, 0, svf::kOk, {"SetTrst 1 0 = 0"}, {}},
        TrstCase{"OnFallsBackToPulse", "TRST ON;", kVersion22, false, "SetTrst", 2, svf::kOk,
                 {"SetTrst 1 0 = 2", "PulseTrst 1 = 0"}, {}},
        TrstCase{"OnPulsesOnOldLibrary", "TRST ON;", kVersion21, false, nullptr, 0, svf::kOk,
                 {"PulseTrst 1 = 0"}, {}},
        TrstCase{"OnFailing", "TRST ON;", kVersion22, false, "SetTrst", 1, svf::kControllerFailed, {"SetTrst 1 0 = 1"},
                 {ErrorAt(1, "executing TRST ON failed; boom")}},
        TrstCase{"OnPulseUnsupported", "TRST ON;", kVersion21, false, "PulseTrst", 2, svf::kControllerFailed,
                 {"PulseTrst 1 = 2"}, {ErrorAt(1, "executing TRST ON failed; function not supported")}},
        TrstCase{"OnForbidden", "TRST ON;", kVersion22, true, nullptr, 0, svf::kOk, {}, {}},
        TrstCase{"OffReleases", "TRST OFF;", kVersion22, false, nullptr, 0, svf::kOk, {"SetTrst 1 1 = 0"}, {}},
        TrstCase{"OffUnsupportedIsFine", "TRST OFF;", kVersion22, false, "SetTrst", 2, svf::kOk,
                 {"SetTrst 1 1 = 2"}, {}},
        TrstCase{"OffFailing", "TRST OFF;", kVersion22, false, "SetTrst", 1, svf::kControllerFailed, {"SetTrst 1 1 = 1"},
                 {ErrorAt(1, "executing TRST OFF failed; boom")}},
        TrstCase{"OffOnOldLibrary", "TRST OFF;", kVersion21, false, nullptr, 0, svf::kOk, {}, {}},
        TrstCase{"OffForbidden", "TRST OFF;", kVersion22, true, nullptr, 0, svf::kOk, {}, {}},
        TrstCase{"HighImpedance", "TRST Z;", kVersion22, false, nullptr, 0, svf::kOk, {}, {}},
        TrstCase{"Absent", "TRST ABSENT;", kVersion22, false, nullptr, 0, svf::kOk, {}, {}}),
    svftest::CaseName<TrstCase>);

TEST_F(StatementCalls, TrstUsesTheTesterTap) {
    svf::SvfSession& s = Start({"TRST ON;"});
    s.host.libraryVersion = kVersion22;
    s.connection.testerTap = 4;
    EXPECT_EQ(svf::RunStatements(s), svf::kOk);
    EXPECT_EQ(TraceOf({"SetTrst", "PulseTrst"}), Strings{"SetTrst 4 0 = 0"});
}

// ---------------------------------------------------------------- FLAG

TEST_F(StatementCalls, FlagLengthGoesToTheTesterTapAs16Bits) {
    // Read as a 32-bit long, saturating, as on Windows.
    EXPECT_EQ(Run({"FLAG 3;", "FLAG -1;", "FLAG 70000;", "FLAG 99999999999;", "FLAG -99999999999;"}),
              svf::kOk);
    EXPECT_EQ(TraceOf({"SetFlagLength"}),
              (Strings{"SetFlagLength 1 3 = 0", "SetFlagLength 1 65535 = 0", "SetFlagLength 1 4464 = 0",
                       "SetFlagLength 1 65535 = 0", "SetFlagLength 1 0 = 0"}));
}

TEST_F(StatementCalls, RefusedFlagLengthEndsTheRunWithStatus1) {
    sim.Script("SetFlagLength", 1, 1);
    EXPECT_EQ(Run({"FLAG 3;", "STATE;"}), svf::kFlagRefused);
    EXPECT_EQ(log.Errors(), Strings{"Error: Setting flag length failed; boom"});
}

TEST_F(StatementCalls, UnsupportedFlagLengthIsAccepted) {
    sim.Script("SetFlagLength", 2, 0);
    EXPECT_EQ(Run({"FLAG 3;"}), svf::kOk);
}

// ------------------------------------------------------- merlo_correction

TEST_F(StatementCalls, CorrectionSwitchedOffIsRestoredAtTheEnd) {
    EXPECT_EQ(Run({"!// merlo_correction OFF;", "STATE;"}), svf::kOk) << log.Dump();
    EXPECT_EQ(TraceOf({"SetFlagLength"}),
              (Strings{"SetFlagLength 4294967295 1 = 0", "SetFlagLength 4294967295 2 = 0"}));
    EXPECT_EQ(session().freq.correctionMode, 2u);
}

TEST_F(StatementCalls, CorrectionLeftOnIsNotSwitchedAgain) {
    EXPECT_EQ(Run({"//! merlo_correction ON;"}), svf::kOk);
    EXPECT_EQ(TraceOf({"SetFlagLength"}), Strings{"SetFlagLength 4294967295 2 = 0"});
}

TEST_F(StatementCalls, CorrectionWithAnUnknownValueSkipsTheNextToken) {
    // MAYBE ends the marked line, so the statement takes the next line's
    // first word as its value and warns.
    EXPECT_EQ(Run({"!// merlo_correction MAYBE;", "STATE;", "!// ;"}), svf::kSyntax);
    EXPECT_EQ(log.Warnings(), Strings{AtLine(2, "Warning\t: Flag value ON or OFF expected")});
    EXPECT_EQ(log.Errors(), Strings{ErrorAt(2, "unknown SVF command ;")});
    EXPECT_TRUE(TraceOf({"SetFlagLength"}).empty());
}

// --------------------------------------------------------------- FREQUENCY

TEST_F(StatementCalls, FrequencyAndClockSetTheController) {
    svf::SvfSession& s = Start({"FREQUENCY 2E6 HZ;", "CLOCK 1E6 HZ;", "FREQUENCY;"});
    s.freq.maxFrequency = 5000;
    EXPECT_EQ(svf::RunStatements(s), svf::kOk) << log.Dump();
    EXPECT_EQ(TraceOf({"SetFrequency"}),
              (Strings{"SetFrequency 2000 = 0", "SetFrequency 1000 = 0", "SetFrequency 5000 = 0"}));
    EXPECT_EQ(log.Notes(), (Strings{AtLine(1, "Note\t: Frequency set to 2000 kHz"),
                                    AtLine(2, "Note\t: Frequency set to 1000 kHz"),
                                    AtLine(3, "Note\t: Frequency set to 5000 kHz"), "End of SVF file"}));
}

// -------------------------------------------------------------------- STATE

TEST_F(StatementCalls, StateTakes24StatesAndNoMore) {
    std::string path;
    for (int i = 0; i < 24; ++i) path += i % 2 == 0 ? "IRPAUSE " : "IDLE ";
    EXPECT_EQ(Run({"STATE " + path + ";"}), svf::kOk);
    EXPECT_EQ(TraceOf({"SetTapState"}).size(), 24u);

    svftest::ClearTrace();
    log.Clear();
    EXPECT_EQ(Run({"STATE " + path + "IDLE;"}), svf::kSyntax);
    EXPECT_TRUE(TraceOf({"SetTapState"}).empty());
    EXPECT_EQ(log.Errors(), Strings{ErrorAt(1, "too many states, 24 allowed")});
}

TEST_F(StatementCalls, FailedStateMoveEndsTheRun) {
    sim.Script("SetTapState", 1, 0);
    EXPECT_EQ(Run({"STATE IDLE;", "STATE;"}), svf::kControllerFailed);
    EXPECT_EQ(session().reader.executedCount, 0u);
    EXPECT_EQ(session().counters.commandCount, 1u);
}

// ------------------------------------------------------------------ RUNTEST

struct RunTestCase {
    const char* name;
    Strings lines;
    Strings calls;
    Strings warnings;
};

class RunTestCalls : public StatementCalls, public ::testing::WithParamInterface<RunTestCase> {};

// The TAP starts in RESET; the first RUNTEST of each case moves to IDLE.
TEST_P(RunTestCalls, ConvertCountsAndTimes) {
    EXPECT_EQ(Run(GetParam().lines), svf::kOk) << log.Dump();
    EXPECT_EQ(TraceOf({"SetTapState", "WaitTck", "WaitTime"}), GetParam().calls);
    EXPECT_EQ(log.Warnings(), GetParam().warnings);
}

INSTANTIATE_TEST_SUITE_P(
    StatementCalls, RunTestCalls,
    ::testing::Values(
        RunTestCase{"Milliseconds", {"STATE IDLE;", "RUNTEST 1E-3 SEC;"},
                    {"SetTapState 1 2 = 0", "WaitTime 1000 2 = 0"}, {}},
        RunTestCase{"TinyTimeBecomesOneMicrosecond", {"STATE IDLE;", "RUNTEST 1.5E-7 SEC;"},
                    {"SetTapState 1 2 = 0", "WaitTime 1 2 = 0"}, {}},
        RunTestCase{"FractionalCountIsCut", {"STATE IDLE;", "RUNTEST 2.9 TCK;", "RUNTEST 0.5 TCK;"},
                    {"SetTapState 1 2 = 0", "WaitTck 2 = 0", "WaitTck 1 = 0"}, {}},
        RunTestCase{"CountAndTime", {"STATE IDLE;", "RUNTEST 100 TCK 1E-3 SEC;"},
                    {"SetTapState 1 2 = 0", "WaitTck 100 = 0", "WaitTime 900 2 = 0"}, {}},
        RunTestCase{"RunStateBecomesEndState", {"STATE IDLE;", "RUNTEST DRPAUSE 10 TCK;"},
                    {"SetTapState 1 2 = 0", "SetTapState 1 3 = 0", "WaitTck 9 = 0"}, {}},
        RunTestCase{"RunStateIsKept", {"RUNTEST IRPAUSE 10 TCK;", "RUNTEST 5 TCK;"},
                    {"SetTapState 1 4 = 0", "WaitTck 9 = 0", "WaitTck 5 = 0"}, {}},
        RunTestCase{"EndState", {"RUNTEST 10 TCK ENDSTATE DRPAUSE;", "RUNTEST 4 TCK;"},
                    {"SetTapState 1 2 = 0", "WaitTck 9 = 0", "SetTapState 1 3 = 0",
                     "SetTapState 1 2 = 0", "WaitTck 3 = 0", "SetTapState 1 3 = 0"},
                    {}},
        RunTestCase{"ResetRunState", {"RUNTEST RESET 3 TCK;"}, {"WaitTck 3 = 0"},
                    {AtLine(1, "RESET state may cause problems")}}),
    svftest::CaseName<RunTestCase>);

TEST_F(StatementCalls, SuccessfulRunTestCountsAsExecuted) {
    EXPECT_EQ(Run({"RUNTEST 10 TCK;", "RUNTEST 1E-3 SEC;"}), svf::kOk);
    EXPECT_EQ(session().counters.commandCount, 2u);
    EXPECT_EQ(session().reader.executedCount, 2u);
    EXPECT_EQ(session().tap.runTckCount, 0u);
    EXPECT_EQ(session().tap.runMinTime, 0u);
}

}  // namespace
