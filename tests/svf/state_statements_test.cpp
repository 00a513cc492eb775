// TRST, ENDIR, ENDDR, STATE and RUNTEST parsing, and the SVF number syntax.
// The statement text starts after its keyword, as the dispatcher hands it on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "svf/reader/reader.h"
#include "svf/state_statements.h"
#include "svf_fixture.h"

namespace {

using svftest::AtLine;
using svftest::ErrorAt;
using Strings = std::vector<std::string>;

// ------------------------------------------------------------- SVF numbers

struct NumberCase {
    const char* text;
    bool accepted;
    double value;
};

class SvfNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(SvfNumber, AcceptsExactlyTheSvfForm) {
    double value = -99.0;
    EXPECT_EQ(svf::ParseSvfNumber(GetParam().text, value), GetParam().accepted);
    if (GetParam().accepted) {
        EXPECT_DOUBLE_EQ(value, GetParam().value);
    }
}

INSTANTIATE_TEST_SUITE_P(StateStatements, SvfNumber,
                         ::testing::Values(NumberCase{"1", true, 1.0}, NumberCase{"1.5", true, 1.5},
                                           NumberCase{"1E3", true, 1000.0},
                                           NumberCase{"1e+3", true, 1000.0},
                                           NumberCase{"1.25E-2", true, 0.0125},
                                           NumberCase{"1E+-3", true, 0.001},
                                           NumberCase{"007", true, 7.0},
                                           NumberCase{"2.5E6", true, 2500000.0},
                                           NumberCase{"1500.7", true, 1500.7},
                                           NumberCase{"0E34294967295", true, 0.0},
                                           NumberCase{"1.", false, 0}, NumberCase{"1.E3", false, 0},
                                           NumberCase{"1E", false, 0}, NumberCase{"1E+", false, 0},
                                           NumberCase{"1X", false, 0}, NumberCase{"1E-+3", false, 0},
                                           NumberCase{"0FF", false, 0}, NumberCase{"1.5.2", false, 0},
                                           NumberCase{"1E3E3", false, 0}, NumberCase{"", false, 0}));

// ------------------------------------------------------------- ENDIR, ENDDR

struct EndStateCase {
    const char* name;
    int keyword;
    std::string text;
    bool avoidReset;
    svf::Status status;
    int32_t endIr;
    int32_t endDr;
    Strings messages;
};

class EndState : public svftest::SvfFixture, public ::testing::WithParamInterface<EndStateCase> {};

TEST_P(EndState, StoresAStableStateOnly) {
    const EndStateCase& c = GetParam();
    svf::SvfSession& session = Start({c.text});
    session.connection.avoidResetState = c.avoidReset;
    EXPECT_EQ(svf::ParseEndState(c.keyword, session), c.status);
    EXPECT_EQ(session.tap.endIrState, c.endIr);
    EXPECT_EQ(session.tap.endDrState, c.endDr);
    EXPECT_EQ(log.Texts(), c.messages);
    EXPECT_EQ(session.tap.tapState, svf::kStateReset) << "an end state moves nothing";
}

const char* const kResetWarning = "RESET state may cause problems";

INSTANTIATE_TEST_SUITE_P(
    StateStatements, EndState,
    ::testing::Values(
        EndStateCase{"DrPause", svf::kTokenEndDr, "DRPAUSE;", false, svf::kOk, 1, 2, {}},
        EndStateCase{"IrPause", svf::kTokenEndIr, "irpause ;", false, svf::kOk, 3, 1, {}},
        EndStateCase{"Reset", svf::kTokenEndDr, "RESET;", false, svf::kOk, 1, 0,
                     {AtLine(1, kResetWarning)}},
        EndStateCase{"ResetAvoided", svf::kTokenEndIr, "RESET;", true, svf::kOk, 1, 1,
                     {"SVF line      1 : RESET state may cause problems Changed to IDLE"}},
        EndStateCase{"NotStable", svf::kTokenEndIr, "DRSHIFT;", false, svf::kSyntax, 1, 1,
                     {ErrorAt(1, "stable state expected")}},
        EndStateCase{"NoSemicolon", svf::kTokenEndDr, "IDLE IRPAUSE;", false, svf::kSyntax, 1, 1,
                     {ErrorAt(1, "semicolon expected")}},
        EndStateCase{"EndOfFile", svf::kTokenEndDr, "DRPAUSE", false, svf::kEndOfFile, 1, 1,
                     {ErrorAt(1, "illegal end of file")}}),
    svftest::CaseName<EndStateCase>);

// -------------------------------------------------------------------- STATE

class StateStatement : public svftest::SvfFixture {};

TEST_F(StateStatement, RecordsThePathInOrder) {
    svf::SvfSession& session = Start({"DRSELECT DRCAPTURE", "DREXIT1 DRPAUSE IDLE;"});
    svf::ParseState(session);
    ASSERT_EQ(session.tap.statePathLength, 5);
    EXPECT_EQ((std::vector<int32_t>(session.tap.statePath.begin(), session.tap.statePath.begin() + 5)),
              (std::vector<int32_t>{4, 5, 7, 2, 1}));
}

TEST_F(StateStatement, ResetInAPathBecomesIdleWhenAvoided) {
    svf::SvfSession& session = Start({"RESET IRPAUSE;"});
    session.connection.avoidResetState = true;
    svf::ParseState(session);
    ASSERT_EQ(session.tap.statePathLength, 2);
    EXPECT_EQ(session.tap.statePath[0], svf::kStateIdle);
}

TEST_F(StateStatement, EmptyPathSucceedsOnlyFromAStableState) {
    svf::SvfSession& session = Start({";", ";"});
    EXPECT_EQ(svf::ParseState(session), svf::kOk);
    session.tap.tapState = svf::kStateUnknown;
    EXPECT_EQ(svf::ParseState(session), svf::kIllegalState);
    EXPECT_EQ(log.Errors(), Strings{ErrorAt(2, "illegal state transition")});
}

struct StateErrorCase {
    const char* name;
    Strings lines;
    svf::Status status;
    std::string error;
};

class StateErrors : public svftest::SvfFixture, public ::testing::WithParamInterface<StateErrorCase> {};

TEST_P(StateErrors, EndTheStatementWithoutMovingTheTap) {
    svf::SvfSession& session = Start(GetParam().lines);
    EXPECT_EQ(svf::ParseState(session), GetParam().status);
    EXPECT_EQ(log.Errors(), Strings{GetParam().error});
    EXPECT_EQ(session.tap.tapState, svf::kStateReset);
}

std::string States(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "IDLE ";
    return text + ";";
}

INSTANTIATE_TEST_SUITE_P(
    StateStatements, StateErrors,
    ::testing::Values(
        StateErrorCase{"LastNotStable", {"IDLE DRSELECT;"}, svf::kSyntax,
                       ErrorAt(1, "last state must be a stable state")},
        StateErrorCase{"TooManyStates", {States(25)}, svf::kSyntax, ErrorAt(1, "too many states, 24 allowed")},
        StateErrorCase{"NotAState", {"IDLE TDI;"}, svf::kSyntax, ErrorAt(1, "TAP state or semicolon expected")},
        StateErrorCase{"EndOfFile", {"IDLE", "DRPAUSE"}, svf::kEndOfFile, ErrorAt(2, "illegal end of file")}),
    svftest::CaseName<StateErrorCase>);

// ------------------------------------------------------------------ RUNTEST

struct RunTestErrorCase {
    const char* name;
    std::string text;
    std::string error;
};

class RunTestErrors : public svftest::SvfFixture,
                      public ::testing::WithParamInterface<RunTestErrorCase> {};

TEST_P(RunTestErrors, AreSyntaxErrorsBeforeAnyExecution) {
    svf::SvfSession& session = Start({GetParam().text});
    EXPECT_EQ(svf::ParseRunTest(session), svf::kSyntax);
    EXPECT_EQ(log.Errors(), Strings{ErrorAt(1, GetParam().error)});
    EXPECT_EQ(session.tap.runTckCount, 0u);
    EXPECT_EQ(session.tap.runMinTime, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    StateStatements, RunTestErrors,
    ::testing::Values(
        RunTestErrorCase{"Msec", "10 MSEC;", "\"TCK\", \"SEC\" expected"},
        RunTestErrorCase{"Usec", "10 US;", "\"TCK\", \"SEC\" expected"},
        RunTestErrorCase{"Sck", "10 SCK;", "\"SCK\" units not supported"},
        RunTestErrorCase{"ZeroCount", "0 TCK;", "run_count/min_time greater than zero"},
        RunTestErrorCase{"ZeroTime", "0.0 SEC;", "run_count/min_time greater than zero"},
        RunTestErrorCase{"ZeroTimesHugePowerTck", "0E999 TCK;", "run_count/min_time greater than zero"},
        RunTestErrorCase{"ZeroTimesHugePowerSec", "0E999 SEC;", "run_count/min_time greater than zero"},
        RunTestErrorCase{"TwoTimes", "1 SEC 2 SEC;", "\"ENDSTATE\" or \";\" expected"},
        RunTestErrorCase{"MaximumWithoutMinTime", "100 TCK MAXIMUM 1 SEC;",
                         "\"min_time\", \"ENDSTATE\" or \";\" expected"},
        RunTestErrorCase{"Maximum", "1 SEC MAXIMUM 2 SEC;", "\"MAXIMUM\" not supported"},
        RunTestErrorCase{"MaximumAfterMinTime", "10 TCK 1 SEC MAXIMUM 2 SEC;",
                         "\"MAXIMUM\" not supported"},
        RunTestErrorCase{"NoCount", "TCK;", "run_count/min_time or stable state expected"},
        RunTestErrorCase{"UnstableRunState", "DRSHIFT 10 TCK;",
                         "run_count/min_time or stable state expected"},
        RunTestErrorCase{"TwoRunStates", "IDLE IDLE 10 TCK;",
                         "run_count/min_time or stable state expected"},
        RunTestErrorCase{"BadNumber", "1X TCK;", "run_count/min_time or stable state expected"},
        RunTestErrorCase{"ZeroMinTime", "10 TCK 0 SEC;", "min_time greater than zero"},
        RunTestErrorCase{"MinTimeInTck", "10 TCK 1E-3 TCK;", "\"SEC\" expected"},
        RunTestErrorCase{"BadEndState", "10 TCK ENDSTATE DRSHIFT;", "stable state expected"},
        RunTestErrorCase{"EndStateWithoutSemicolon", "10 TCK ENDSTATE IDLE IDLE",
                         "semicolon expected"},
        RunTestErrorCase{"EndOfFileAfterCount", "10 TCK", "illegal end of file"},
        RunTestErrorCase{"EndOfFileAtOnce", "", "illegal end of file"}),
    svftest::CaseName<RunTestErrorCase>);

class RunTest : public svftest::SvfFixture {};

TEST_F(RunTest, KeepsItsRunStateEvenWhenItFailsLater) {
    svf::SvfSession& session = Start({"DRPAUSE 10 MSEC;"});
    EXPECT_EQ(svf::ParseRunTest(session), svf::kSyntax);
    EXPECT_EQ(session.tap.runState, svf::kStateDrPause);
    EXPECT_EQ(session.tap.runEndState, svf::kStateDrPause);
}

// --------------------------------------------------------------------- TRST

class Trst : public svftest::SvfFixture {};

TEST_F(Trst, ValuesThatDoNothingSucceedAndAreRemembered) {
    struct Case {
        std::string text;
        uint32_t libraryVersion;
        uint32_t mode;
    };
    for (const Case& c : {Case{"Z;", 0x20002, svf::kTokenZ}, Case{"OFF;", 0x20001, svf::kTokenOff},
                          Case{"MAYBE;", 0x20002, svf::kTokenUnknown}}) {
        svf::SvfSession& session = Start({c.text});
        session.host.libraryVersion = c.libraryVersion;
        EXPECT_EQ(svf::ParseTrst(session), svf::kOk) << c.text;
        EXPECT_EQ(session.tap.trstMode, c.mode) << c.text;
        EXPECT_TRUE(svftest::Trace().empty()) << c.text;
    }
    EXPECT_TRUE(log.Texts().empty()) << log.Dump();
}

TEST_F(Trst, ForbiddenTrstOnIsIgnoredWithAWarning) {
    svf::SvfSession& session = Start({"ON;"});
    session.connection.trstForbidden = true;
    EXPECT_EQ(svf::ParseTrst(session), svf::kOk);
    EXPECT_EQ(log.Warnings(), Strings{"SVF line      1 : TRST reset not allowed (ignored)"});
    EXPECT_TRUE(svftest::Trace().empty());
}

TEST_F(Trst, AbsentMustComeFirstAndForbidsEveryLaterTrst) {
    svf::SvfSession& session = Start({"ABSENT;", "Z;"});
    session.reader.executedCount = 1;
    EXPECT_EQ(svf::ParseTrst(session), svf::kSyntax);
    EXPECT_EQ(log.Errors(), Strings{ErrorAt(1, "TRST ABSENT should be the first SVF command")});

    log.Clear();
    svf::SvfSession& fresh = Start({"ABSENT;", "Z;"});
    EXPECT_EQ(svf::ParseTrst(fresh), svf::kOk);
    EXPECT_EQ(fresh.tap.trstMode, static_cast<uint32_t>(svf::kTokenAbsent));
    EXPECT_EQ(svf::ParseTrst(fresh), svf::kSyntax);
    EXPECT_EQ(log.Errors(), Strings{ErrorAt(2, "TRST is already defined as ABSENT")});
}

TEST_F(Trst, WithoutValueTheSemicolonIsTheValue) {
    svf::SvfSession& session = Start({";", "SDR 8;"});
    EXPECT_EQ(svf::ParseTrst(session), svf::kSyntax);
    EXPECT_EQ(log.Errors(), Strings{ErrorAt(2, "semicolon expected")});
}

TEST_F(Trst, EndOfFileIsReportedAndGives5) {
    svf::SvfSession& session = Start({"Z"});
    EXPECT_EQ(svf::ParseTrst(session), svf::kEndOfFile);
    EXPECT_EQ(log.Errors(), Strings{ErrorAt(1, "illegal end of file")});
}

}  // namespace
