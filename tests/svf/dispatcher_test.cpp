// The command dispatcher: counters, unknown commands, the end of the file
// inside and between statements, the verdict.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "svf/dispatcher.h"
#include "svf/reader/reader.h"
#include "svf_fixture.h"

namespace {

using svftest::AtLine;
using svftest::ErrorAt;
using Strings = std::vector<std::string>;

class Dispatcher : public svftest::SvfFixture {
protected:
    svf::Status Run(const Strings& lines) { return svf::RunStatements(Start(lines)); }
    void GiveSomePatterns() {
        svf::Pattern& tdi = session().scanParts[svf::kIrBody].tdi;
        tdi.bits.assign(2, 0x1234);
        tdi.defined = 1;
    }
    bool PatternsReleased() { return session().scanParts[svf::kIrBody].tdi.bits.empty(); }
};

// --------------------------------------------------------------- counting

struct CountCase {
    const char* name;
    Strings lines;
    uint32_t commands;
    uint32_t executed;
};

class Counting : public Dispatcher, public ::testing::WithParamInterface<CountCase> {};

TEST_P(Counting, CountsCommandsBeforeAndExecutionsAfter) {
    Run(GetParam().lines);
    EXPECT_EQ(session().counters.commandCount, GetParam().commands) << log.Dump();
    EXPECT_EQ(session().reader.executedCount, GetParam().executed) << log.Dump();
}

// The TAP starts in RESET, so an empty STATE succeeds without the controller.
INSTANTIATE_TEST_SUITE_P(
    Dispatcher, Counting,
    ::testing::Values(
        CountCase{"State", {"STATE;", "STATE;"}, 2, 2},
        CountCase{"FailedStateCountsOnlyTheCommand", {"STATE DRSHIFT;"}, 1, 0},
        CountCase{"FrequencyIsACommandOnly", {"FREQUENCY 1E6 HZ;", "CLOCK;"}, 2, 0},
        CountCase{"SettingsAndEndStatesDoNotCount",
                  {"TRST Z;", "ENDDR IDLE;", "ENDIR DRPAUSE;", "!// merlo_correction ON;"}, 0, 0},
        CountCase{"FailingSdrCountsOnlyTheCommand", {"SDR bogus;"}, 1, 0},
        CountCase{"FailingSirCountsOnlyTheCommand", {"SIR bogus;"}, 1, 0},
        CountCase{"HeadersAndTrailersDoNotCount", {"HDR bogus;"}, 0, 0},
        CountCase{"PioCountsBothFirst", {"PIO bogus;"}, 1, 1},
        CountCase{"PioMapDoesNotCount", {"PIOMAP bogus;"}, 0, 0},
        CountCase{"FailingRunTestCountsOnlyTheCommand", {"RUNTEST 10 MSEC;"}, 1, 0}),
    svftest::CaseName<CountCase>);

// ---------------------------------------------------------- unknown commands

class UnknownCommands : public Dispatcher, public ::testing::WithParamInterface<const char*> {};

TEST_P(UnknownCommands, EndTheRunWithStatus10) {
    const std::string word = GetParam();
    EXPECT_EQ(Run({"STATE;", "  " + word + " 8;"}), svf::kSyntax);
    EXPECT_EQ(log.Errors(), Strings{ErrorAt(2, "unknown SVF command " + word)});
    EXPECT_FALSE(log.Contains("End of SVF file"));
}

INSTANTIATE_TEST_SUITE_P(Dispatcher, UnknownCommands,
                         ::testing::Values("TDI", "IDLE", "12", "bogus", ")", "(", ";", "TCK", "ON",
                                           "IN"));

TEST_F(Dispatcher, StraySemicolonIsAcceptedOnlyOnAMarkedLine) {
    EXPECT_EQ(Run({"!// ;", "//! ;;"}), svf::kOk);
    EXPECT_TRUE(log.Errors().empty()) << log.Dump();
    EXPECT_EQ(Run({"STATE; ;"}), svf::kSyntax);
    EXPECT_EQ(log.Errors(), Strings{"SVF line      1 : Error\t: unknown SVF command ;"});
}

TEST_F(Dispatcher, CorrectionOutsideAMarkedLineFailsAtItsSemicolon) {
    EXPECT_EQ(Run({"merlo_correction ON;"}), svf::kSyntax);
    EXPECT_EQ(log.Errors(), Strings{ErrorAt(1, "unknown SVF command ;")});
}

TEST_F(Dispatcher, UnknownCommandIsReportedAtTheLineOfItsWord) {
    EXPECT_EQ(Run({"FREQUENCY", "1E6", "HZ;", "", "bogus"}), svf::kSyntax);
    EXPECT_EQ(log.Errors(), Strings{ErrorAt(5, "unknown SVF command bogus")});
    EXPECT_EQ(session().reader.statementLine, 5u);
}

TEST_F(Dispatcher, StatementLineIsTheLineOfTheKeyword) {
    EXPECT_EQ(Run({"FREQUENCY", "1E6", "HZ;"}), svf::kOk);
    EXPECT_EQ(session().reader.statementLine, 1u);
    EXPECT_EQ(session().reader.lineNumber, 3u);
}

// ---------------------------------------------------------------- end of file

struct EndCase {
    const char* name;
    Strings lines;
    svf::Status status;
    Strings errors;
};

class EndOfFileInside : public Dispatcher, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EndOfFileInside, GivesTheStatementsStatus) {
    EXPECT_EQ(Run(GetParam().lines), GetParam().status);
    EXPECT_EQ(log.Errors(), GetParam().errors);
    EXPECT_EQ(log.Contains("End of SVF file"), GetParam().status == svf::kOk);
}

const std::string kIllegalEnd = "illegal end of file";

INSTANTIATE_TEST_SUITE_P(
    Dispatcher, EndOfFileInside,
    ::testing::Values(EndCase{"Trst", {"TRST"}, svf::kEndOfFile, {ErrorAt(1, kIllegalEnd)}},
                      EndCase{"EndIr", {"ENDIR"}, svf::kEndOfFile, {ErrorAt(1, kIllegalEnd)}},
                      EndCase{"EndDr", {"ENDDR IDLE"}, svf::kEndOfFile, {ErrorAt(1, kIllegalEnd)}},
                      EndCase{"State", {"STATE IDLE", ""}, svf::kEndOfFile, {ErrorAt(2, kIllegalEnd)}},
                      EndCase{"RunTest", {"RUNTEST"}, svf::kSyntax, {ErrorAt(1, kIllegalEnd)}},
                      EndCase{"RunTestAfterUnit", {"RUNTEST 10 TCK"}, svf::kSyntax, {ErrorAt(1, kIllegalEnd)}},
                      EndCase{"Frequency", {"FREQUENCY"}, svf::kSyntax, {ErrorAt(1, kIllegalEnd)}},
                      EndCase{"Clock", {"CLOCK 1E6 HZ"}, svf::kSyntax, {ErrorAt(1, kIllegalEnd)}},
                      EndCase{"FlagSilently", {"FLAG"}, svf::kEndOfFile, {}},
                      EndCase{"FlagAfterLength", {"FLAG 3"}, svf::kEndOfFile, {}},
                      EndCase{"Correction", {"merlo_correction"}, svf::kSyntax, {ErrorAt(1, kIllegalEnd)}},
                      EndCase{"CorrectionWithoutSemicolon", {"!// merlo_correction ON"}, svf::kOk, {}}),
    svftest::CaseName<EndCase>);

TEST_F(Dispatcher, EmptyFileEndsTheRunNormally) {
    EXPECT_EQ(Run({}), svf::kOk);
    EXPECT_EQ(log.Notes(), Strings{"End of SVF file"});
}

TEST_F(Dispatcher, CountedFailuresGive100) {
    svf::SvfSession& session = Start({"STATE;"});
    session.counters.failureCount = 3;
    EXPECT_EQ(svf::RunStatements(session), svf::kRunFailures);
    EXPECT_EQ(log.Notes(), Strings{"End of SVF file"});
}

TEST_F(Dispatcher, PatternsAreReleasedOnEveryWayOut) {
    for (const Strings& lines : {Strings{"STATE;"}, Strings{"bogus"}, Strings{"TRST"}}) {
        Start(lines);
        GiveSomePatterns();
        svf::RunStatements(session());
        EXPECT_TRUE(PatternsReleased()) << lines[0];
    }
}

TEST_F(Dispatcher, StartOfRunClearsTheStatementState) {
    svf::SvfSession& session = Start({"TRST ABSENT;"});
    session.reader.executedCount = 4;
    session.tap.trstMode = svf::kTokenAbsent;
    session.scanParts[svf::kDrHeader].declaredLength = 8;
    session.pio.pioMapDefined = true;
    session.pio.pioMapCount = 3;
    EXPECT_EQ(svf::RunStatements(session), svf::kOk) << log.Dump();
    EXPECT_EQ(session.scanParts[svf::kDrHeader].declaredLength, 0u);
    EXPECT_FALSE(session.pio.pioMapDefined);
    EXPECT_EQ(session.pio.pioMapCount, 0u);
}

TEST_F(Dispatcher, TrstAbsentAfterAnExecutedStatementFails) {
    EXPECT_EQ(Run({"STATE;", "TRST ABSENT;"}), svf::kSyntax);
    EXPECT_EQ(log.Errors(), Strings{ErrorAt(2, "TRST ABSENT should be the first SVF command")});
}

TEST_F(Dispatcher, PioWithoutPioEnabledWarnsAndIsStillHandedOn) {
    Run({"PIO (HL);"});
    EXPECT_EQ(log.Warnings(), Strings{AtLine(1, "PIO statements ignored")});
    log.Clear();
    Run({"PIOMAP (IN A);"});
    EXPECT_EQ(log.Warnings(), Strings{AtLine(1, "PIOMAP statements ignored")});
}

}  // namespace
