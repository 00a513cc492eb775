// HIR, HDR, TIR, TDR, SIR and SDR: pattern parsing, the persistence of
// patterns across statements and length changes, the IR length checks of an
// indirect connection, and what SIR and SDR hand to the controller.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/sim.h"
#include "support/test_session.h"
#include "svf/reader/reader.h"
#include "svf/scan_statements.h"

namespace {

using svftest::MessageLog;
using svftest::SimSession;
using svftest::TestSession;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

std::string LineError(int line, const std::string& text) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "SVF line %6d : ", line);
    return prefix + std::string("Error\t: ") + text;
}

class ScanStatementTest : public ::testing::Test {
protected:
    // Reads the keyword and parses one statement.
    svf::Status Parse() {
        const svf::Token keyword = svf::NextToken(*session);
        EXPECT_EQ(keyword.status, svf::kOk);
        if (keyword.status != svf::kOk) return keyword.status;
        return svf::ParseScanStatement(keyword.code, *session);
    }
    svf::Status Parse(std::vector<std::string> lines) {
        session.SetLines(std::move(lines));
        return Parse();
    }
    // Parses statements that must all succeed.
    void ParseAll(const std::vector<std::string>& lines) {
        session.SetLines(lines);
        for (size_t i = 0; i < lines.size(); ++i) {
            ASSERT_EQ(Parse(), svf::kOk) << lines[i] << "\n" << log.Dump();
        }
    }
    svf::ScanPart& Part(svf::ScanKind kind) { return session->scanParts[kind]; }
    std::vector<uint16_t> Words(const svf::Pattern& pattern, size_t count) {
        return {pattern.bits.begin(), pattern.bits.begin() + static_cast<std::ptrdiff_t>(count)};
    }

    SimSession sim;
    MessageLog log;
    TestSession session{log};
};

// ---------------------------------------------------------------- patterns

struct PatternCase {
    const char* name;
    std::vector<std::string> lines;
    std::vector<uint16_t> words;  // the TDI words the length needs
};

class PatternTest : public ScanStatementTest,
                    public ::testing::WithParamInterface<PatternCase> {};

TEST_P(PatternTest, PacksDigitsIntoWords) {
    const PatternCase& c = GetParam();
    ASSERT_EQ(Parse(c.lines), svf::kOk) << log.Dump();
    const svf::ScanPart& header = Part(svf::kDrHeader);
    EXPECT_EQ(header.tdi.defined, 1u);
    EXPECT_EQ(Words(header.tdi, c.words.size()), c.words);
    EXPECT_GE(header.tdi.bits.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Digits, PatternTest,
    ::testing::Values(
        PatternCase{"TwoDigits", {"HDR 8 TDI (A5);"}, {0x00A5}},
        PatternCase{"LowerCase", {"HDR 8 TDI (a5);"}, {0x00A5}},
        PatternCase{"LeadingZeroNeeded", {"HDR 12 TDI (0FFF);"}, {0x0FFF}},
        PatternCase{"SurplusLeadingZeros", {"HDR 8 TDI (00000A5);"}, {0x00A5}},
        PatternCase{"ZerosOverGroups", {"HDR 8 TDI (00 0 0A5);"}, {0x00A5}},
        PatternCase{"ShortValueRightAligned", {"HDR 32 TDI (5);"}, {0x0005, 0x0000}},
        PatternCase{"TwoWords", {"HDR 20 TDI (12345);"}, {0x2345, 0x0001}},
        PatternCase{"Groups", {"HDR 20 TDI (1 2345);"}, {0x2345, 0x0001}},
        PatternCase{"OverLines", {"HDR 20 TDI (1", "2345);"}, {0x2345, 0x0001}},
        PatternCase{"CommentBetween", {"HDR 20 TDI (123", "! not digits", "// nor this", "45);"},
                    {0x2345, 0x0001}},
        PatternCase{"BitsAboveLengthStay", {"HDR 5 TDI (3F);"}, {0x003F}},
        PatternCase{"ShortValueOverWords", {"HDR 48 TDI (123456789);"}, {0x6789, 0x2345, 0x0001}},
        PatternCase{"ShortByWholeWords", {"HDR 64 TDI (1234", "5678 9ABC);"},
                    {0x9ABC, 0x5678, 0x1234, 0x0000}},
        PatternCase{"OnlyZeros", {"HDR 40 TDI (000", "00);"}, {0x0000, 0x0000, 0x0000}},
        PatternCase{"EightWordsOfDigits",
                    {"HDR 128 TDI (0123456789ABCDEF", "fedcba9876543210);"},
                    {0x3210, 0x7654, 0xBA98, 0xFEDC, 0xCDEF, 0x89AB, 0x4567, 0x0123}}),
    [](const auto& row) { return std::string(row.param.name); });

// Digits land in the words of the last pattern of the same length: every word
// the length covers must be rewritten, whatever it held.
TEST_F(ScanStatementTest, ShorterPatternClearsTheWordsOfTheLastOne) {
    ParseAll({"HDR 48 TDI (FFFFFFFFFFFF) TDO (FFFFFFFFFFFF);", "HDR 48 TDI (1 2345) TDO (0);"});
    const svf::ScanPart& header = Part(svf::kDrHeader);
    EXPECT_THAT(Words(header.tdi, 3), ElementsAre(0x2345, 0x0001, 0x0000));
    EXPECT_THAT(Words(header.tdo, 3), ElementsAre(0, 0, 0));
    ParseAll({"HDR 48 TDI (ABCDEF012345);"});
    EXPECT_THAT(Words(header.tdi, 3), ElementsAre(0x2345, 0xEF01, 0xABCD));
}

TEST_F(ScanStatementTest, ZeroLengthHeadersNeedNoDigits) {
    ParseAll({"HIR 0;", "HIR 0 TDI (0);", "HDR 0 TDI (5);", "TDR 0 TDI ();"});
    EXPECT_EQ(Part(svf::kIrHeader).partLength, 0u);
    EXPECT_EQ(Part(svf::kDrHeader).declaredLength, 0u);
    EXPECT_THAT(log.Errors(), IsEmpty());
}

TEST_F(ScanStatementTest, ManyLinesOfDigitsMakeOneLongPattern) {
    // 40 lines of 400 digits: 64000 bits, every word 0xA5C3.
    std::vector<std::string> lines{"HDR 64000 TDI ("};
    for (int i = 0; i < 40; ++i) {
        std::string digits;
        for (int j = 0; j < 100; ++j) digits += "A5C3";
        lines.push_back(digits);
    }
    lines.push_back(");");
    ASSERT_EQ(Parse(lines), svf::kOk) << log.Dump();
    const svf::BitVector& bits = Part(svf::kDrHeader).tdi.bits;
    ASSERT_EQ(bits.size(), 4000u);
    EXPECT_EQ(std::count(bits.begin(), bits.end(), 0xA5C3), 4000);
}

struct ErrorCase {
    const char* name;
    std::vector<std::string> lines;
    svf::Status status;
    std::vector<std::string> errors;
};

class StatementErrorTest : public ScanStatementTest,
                           public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(StatementErrorTest, ReportsAndStops) {
    const ErrorCase& c = GetParam();
    EXPECT_EQ(Parse(c.lines), c.status);
    EXPECT_EQ(log.Errors(), c.errors);
    EXPECT_THAT(svftest::TraceOf({"ShiftDr", "ShiftIr"}), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Messages, StatementErrorTest,
    ::testing::Values(
        ErrorCase{"TooLong", {"SDR 8 TDI (1A5);"}, svf::kSyntax,
                  {LineError(1, "shift pattern too long")}},
        ErrorCase{"BadCharacter", {"SDR 8 TDI (G0);"}, svf::kSyntax,
                  {LineError(1, "illegal character 'G' in pattern")}},
        ErrorCase{"BadCharacterLater", {"SDR 16 TDI (12", "3x);"}, svf::kSyntax,
                  {LineError(2, "illegal character 'x' in pattern")}},
        ErrorCase{"SirLengthZero", {"SIR 0 TDI (0);"}, svf::kSyntax,
                  {LineError(1, "illegal shift length 0")}},
        ErrorCase{"SdrLengthZero", {"SDR 0;"}, svf::kSyntax,
                  {LineError(1, "illegal shift length 0")}},
        ErrorCase{"NoLength", {"SDR TDI (0);"}, svf::kSyntax, {LineError(1, "length expected")}},
        ErrorCase{"NegativeLength", {"SDR -8 TDI (0);"}, svf::kSyntax,
                  {LineError(1, "length expected")}},
        ErrorCase{"LengthBeyond32Bits", {"SDR 4294967296 TDI (0);"}, svf::kSyntax,
                  {LineError(1, "length expected")}},
        ErrorCase{"TdiTwice", {"SDR 8 TDI (FF) TDI (00);"}, svf::kSyntax,
                  {LineError(1, "TDI already defined")}},
        ErrorCase{"TdoTwice", {"SDR 8 TDI (FF) TDO (1) TDO (00);"}, svf::kSyntax,
                  {LineError(1, "TDO already defined")}},
        ErrorCase{"MaskTwice", {"HDR 8 MASK (1) MASK (00);"}, svf::kSyntax,
                  {LineError(1, "MASK already defined")}},
        ErrorCase{"SmaskTwice", {"HIR 8 SMASK (1)", "SMASK (00);"}, svf::kSyntax,
                  {LineError(2, "SMASK already defined")}},
        ErrorCase{"NoBracket", {"SDR 8 TDI FF;"}, svf::kSyntax,
                  {LineError(1, "opening bracket expected")}},
        ErrorCase{"UnknownField", {"SDR 8 TDI (FF) ENDDR;"}, svf::kSyntax,
                  {LineError(1, "\"TDI\", \"TDO\", \"MASK\", \"SMASK\" or \";\" expected")}},
        ErrorCase{"NoTdiAtStart", {"SDR 16 TDO (FFFF);"}, svf::kSyntax,
                  {LineError(1, "TDI must be defined at start and after length change")}},
        ErrorCase{"EndAfterKeyword", {"SDR"}, svf::kEndOfFile,
                  {LineError(1, "illegal end of file")}},
        ErrorCase{"EndInPattern", {"SDR 8 TDI (F"}, svf::kEndOfFile,
                  {LineError(1, "illegal end of file")}},
        ErrorCase{"EndBeforeBracket", {"SDR 8 TDI"}, svf::kEndOfFile,
                  {LineError(1, "illegal end of file")}},
        ErrorCase{"EndAmongFields", {"SDR 8 TDI (FF)"}, svf::kScanFieldsInterrupted,
                  {LineError(1, "illegal end of file")}}),
    [](const auto& row) { return std::string(row.param.name); });

// ------------------------------------------------------------- persistence

TEST_F(ScanStatementTest, TdiMaskAndSmaskPersistTdoDoesNot) {
    ParseAll({"HDR 8 TDI (00) MASK (0F) SMASK (3C);", "HDR 8 TDO (FF);"});
    const svf::ScanPart& header = Part(svf::kDrHeader);
    EXPECT_EQ(header.tdi.defined, 1u);
    EXPECT_EQ(header.mask.defined, 1u);
    EXPECT_EQ(header.mask.bits[0], 0x0F);
    EXPECT_EQ(header.smask.bits[0], 0x3C);
    EXPECT_EQ(header.tdo.defined, 1u);
    EXPECT_EQ(header.tdo.bits[0], 0xFF);

    ParseAll({"HDR 8;"});
    EXPECT_EQ(header.tdo.defined, 0u);
    EXPECT_EQ(header.mask.bits[0], 0x0F);
    EXPECT_EQ(header.tdi.defined, 1u);
}

TEST_F(ScanStatementTest, LengthChangeResetsEveryPattern) {
    ParseAll({"HDR 8 TDI (5A) TDO (1) MASK (0F) SMASK (3C);"});
    EXPECT_EQ(Parse({"HDR 16 TDO (FFFF);"}), svf::kSyntax);
    EXPECT_THAT(log.Errors(),
                ElementsAre(LineError(2, "TDI must be defined at start and after length change")));

    ParseAll({"HDR 4 TDI (1);"});
    const svf::ScanPart& header = Part(svf::kDrHeader);
    EXPECT_EQ(header.partLength, 4u);
    EXPECT_EQ(header.declaredLength, 4u);
    EXPECT_EQ(header.mask.defined, 0u);
    EXPECT_EQ(header.smask.defined, 0u);
    EXPECT_EQ(header.tdo.defined, 0u);
    EXPECT_THAT(Words(header.mask, 2), ElementsAre(0xFFFF, 0xFFFF));
    EXPECT_THAT(Words(header.smask, 2), ElementsAre(0xFFFF, 0xFFFF));
    EXPECT_THAT(Words(header.tdo, 2), ElementsAre(0, 0));
    EXPECT_THAT(Words(header.tdi, 2), ElementsAre(1, 0));
}

TEST_F(ScanStatementTest, KindsKeepTheirOwnPatterns) {
    ParseAll({"HIR 4 TDI (1);", "TIR 4 TDI (2);", "HDR 4 TDI (3);", "TDR 4 TDI (4);"});
    EXPECT_EQ(Part(svf::kIrHeader).tdi.bits[0], 1);
    EXPECT_EQ(Part(svf::kIrTrailer).tdi.bits[0], 2);
    EXPECT_EQ(Part(svf::kDrHeader).tdi.bits[0], 3);
    EXPECT_EQ(Part(svf::kDrTrailer).tdi.bits[0], 4);
    EXPECT_EQ(Part(svf::kIrBody).partLength, 0u);
}

TEST_F(ScanStatementTest, ResizeReusesTheStorageOfALongerLength) {
    ASSERT_EQ(svf::ResizePatterns(1000, svf::kDrBody, *session), svf::kOk);
    svf::ScanPart& body = Part(svf::kDrBody);
    const uint16_t* storage = body.tdi.bits.data();
    body.tdi.bits[0] = 0x1234;
    body.mask.bits[0] = 0;
    body.tdi.defined = body.mask.defined = 1;
    ASSERT_EQ(svf::ResizePatterns(10, svf::kDrBody, *session), svf::kOk);
    EXPECT_EQ(body.partLength, 10u);
    EXPECT_EQ(body.tdi.bits.data(), storage);
    EXPECT_EQ(body.tdi.bits.size(), 2u);  // never fewer than two words
    EXPECT_EQ(body.tdi.bits[0], 0);
    EXPECT_EQ(body.mask.bits[0], 0xFFFF);
    EXPECT_EQ(body.tdi.defined + body.mask.defined, 0u);
}

// --------------------------------------------------------------- IR length

class IndirectConnection : public ScanStatementTest {
protected:
    IndirectConnection() { session->connection.cnnModel.emplace_back(); }
};

TEST_F(IndirectConnection, FirstSirFixesTheTotalLaterSirMustKeepIt) {
    ParseAll({"HIR 2 TDI (0);", "TIR 0;", "SIR 8 TDI (FF);"});
    EXPECT_EQ(session->connection.irTotalLength, 10u);
    EXPECT_EQ(Parse({"SIR 6 TDI (3F);"}), svf::kIrLengthVaries);
    EXPECT_THAT(log.Errors(),
                ElementsAre("SVF line      4 : IR length varies, not allowed with indirect TAP "
                            "connections",
                            "\t\tCurrent IR Header length:  2", "\t\tCurrent IR Trailer length: 0",
                            "\t\tCurrent IR Shift length:   6", "\t\tCurrent total IR length:   8",
                            "\t\tPrevious total IR length:  10"));
    log.Clear();
    ParseAll({"HIR 4 TDI (0);", "SIR 6 TDI (3F);"});
    EXPECT_THAT(log.Errors(), IsEmpty());
}

TEST_F(IndirectConnection, SpecifiedTotalIsNamedInTheError) {
    session->connection.irTotalLength = 12;
    session->connection.irSpecifiedLength = 12;
    EXPECT_EQ(Parse({"SIR 8 TDI (FF);"}), svf::kIrLengthVaries);
    ASSERT_EQ(log.Errors().size(), 6u);
    EXPECT_EQ(log.Errors()[5], "\t\tSpecified total IR length: 12");
}

TEST_F(IndirectConnection, WrongSpecifiedLengthWarnsOnce) {
    session->connection.irTotalLength = 10;
    session->connection.irSpecifiedLength = 12;
    ParseAll({"HIR 2 TDI (0);", "SIR 8 TDI (FF);", "SIR 8 TDI (FF);"});
    EXPECT_THAT(log.Warnings(),
                ElementsAre("SVF line      2 : Warning\t: Incorrect IR length specified",
                            "\t\tActual total IR length:    10",
                            "\t\tSpecified total IR length: 12"));
    EXPECT_EQ(session->connection.irSpecifiedLength, 0u);
}

TEST_F(ScanStatementTest, DirectConnectionLetsTheIrLengthVary) {
    ParseAll({"HIR 2 TDI (0);", "TIR 1 TDI (1);", "SIR 5 TDI (1F);", "SIR 3 TDI (7);"});
    EXPECT_EQ(session->connection.irTotalLength, 8u);
    EXPECT_THAT(log.Errors(), IsEmpty());
}

// ------------------------------------------------------ what SIR/SDR shift

TEST_F(ScanStatementTest, MaskPersistsAndTdoComparesOnce) {
    ParseAll({"SDR 8 TDI (00) MASK (0F);", "SDR 8 TDO (FF);", "SDR 8;"});
    session->compare.controllerCompare = true;
    ParseAll({"SDR 8 TDO (A5);"});
    EXPECT_THAT(svftest::TraceOf({"ShiftDr", "ShiftDrCompare"}),
                ElementsAre("ShiftDr 1 00 8 - = 0", "ShiftDr 1 00 8 93 = 0",
                            "ShiftDr 1 00 8 - = 0", "ShiftDrCompare 1 00 8 - A5 F0 = 0"));
    // The default board's IDCODE answers 93: against FF, 6C differs, of which
    // MASK 0F keeps two bits.
    EXPECT_EQ(session->counters.failureCount, 2u);
}

TEST_F(ScanStatementTest, HeaderAndTrailerFrameEveryScan) {
    session->compare.controllerCompare = true;
    ParseAll({"HIR 4 TDI (A) TDO (6);", "TIR 2 TDI (3);", "SIR 8 TDI (5C);", "SIR 8 TDI (5C);"});
    EXPECT_THAT(svftest::TraceOf({"ShiftIrCompare"}),
                ElementsAre("ShiftIrCompare 1 35CA 14 - 0006 3FF0 = 0",
                            "ShiftIrCompare 1 35CA 14 - 0006 3FF0 = 0"));
}

TEST_F(ScanStatementTest, EndStatesSelectTheStopStateFirst) {
    session->tap.endDrState = svf::kStateDrPause;
    session->tap.endIrState = svf::kStateIrPause;
    ParseAll({"SDR 8 TDI (01);", "SDR 8 TDI (02);", "SIR 4 TDI (3);"});
    EXPECT_THAT(svftest::TraceOf({"SetStopState", "ShiftDr", "ShiftDrToPause", "ShiftIr",
                                  "ShiftIrToPause"}),
                ElementsAre("SetStopState 3 = 0", "ShiftDrToPause 1 01 8 - = 0",
                            "ShiftDrToPause 1 02 8 - = 0", "SetStopState 4 = 0",
                            "ShiftIrToPause 1 3 4 - = 0"));
    EXPECT_EQ(session->tap.tapState, svf::kStateIrPause);
}

TEST_F(ScanStatementTest, FailedStopStateStillShifts) {
    sim.Script("SetStopState", VELTRA_FAILED);
    VeltraSim_SetErrorText("stop refused");
    session->tap.endDrState = svf::kStateDrPause;
    ParseAll({"SDR 8 TDI (01);"});
    EXPECT_THAT(log.Errors(), ElementsAre("Error: Setting stop state failed; stop refused"));
    // The shift still ends in Pause-DR (ENDDR), and the TAP is believed to be
    // in the stop state that was last accepted.
    EXPECT_THAT(svftest::TraceOf({"ShiftDr", "ShiftDrToPause"}),
                ElementsAre("ShiftDrToPause 1 01 8 - = 0"));
    EXPECT_EQ(session->tap.tapState, svf::kStateUnknown);
}

TEST_F(ScanStatementTest, ControllerFailureBecomesTheResultCode) {
    sim.Script("ShiftDr", VELTRA_FAILED);
    VeltraSim_SetErrorText("cable");
    EXPECT_EQ(Parse({"SDR 8 TDI (01);"}), svf::kControllerFailed);
    EXPECT_EQ(log.report()->resultCode, uint32_t{SVF_RESULT_CONTROLLER});
    EXPECT_THAT(log.Errors(), ElementsAre("Error: Shift DR failed; cable"));
    EXPECT_EQ(session->tap.tapState, svf::kStateReset);
}

}  // namespace
