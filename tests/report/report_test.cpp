// Message reporting: record fields, verbosity filter, sequence numbering and
// buffer limits.
#include <gtest/gtest.h>

#include <string>

#include "report/report.h"
#include "report/result_code.h"
#include "support/messages.h"

namespace {

using svftest::MessageLog;

struct LevelCase {
    int32_t verbosity;
    bool error, warning, note, line;
};

class VerbosityFilter : public testing::TestWithParam<LevelCase> {};

TEST_P(VerbosityFilter, DeliversLevelsUpToVerbosity) {
    const LevelCase& c = GetParam();
    MessageLog log(c.verbosity);
    svf::ReportError(log.report(), "e");
    svf::ReportWarning(log.report(), "w");
    svf::ReportNote(log.report(), "n");
    svf::ReportLine(log.report(), 7);
    std::string delivered;
    for (const auto& m : log.messages()) delivered += m.text;
    std::string expected = std::string(c.error ? "e" : "") + (c.warning ? "w" : "") +
                           (c.note ? "n" : "") + (c.line ? "7" : "");
    EXPECT_EQ(delivered, expected);
}

INSTANTIATE_TEST_SUITE_P(Report, VerbosityFilter,
                         testing::Values(LevelCase{-1, false, false, false, false},
                                         LevelCase{0, false, false, false, false},
                                         LevelCase{1, true, false, false, false},
                                         LevelCase{2, true, true, false, false},
                                         LevelCase{3, true, true, true, true},
                                         LevelCase{9, true, true, true, true}));

TEST(Report, RecordFieldsOfEachOperation) {
    MessageLog log;
    svf::ReportError(log.report(), "%s %6ld : Error\t: %s", svf::kSvfLine, 12L, "x");
    svf::ReportWarning(log.report(), "Warning: %d", 5);
    svf::ReportNote(log.report(), "Start executing SVF File");
    svf::ReportLine(log.report(), 42);
    ASSERT_EQ(log.messages().size(), 4u);
    const auto& m = log.messages();
    EXPECT_EQ(m[0].kind, 0u);
    EXPECT_EQ(m[0].level, 1u);
    EXPECT_EQ(m[0].text, "SVF line     12 : Error\t: x");
    EXPECT_EQ(m[0].line, 0u);
    EXPECT_EQ(m[1].kind, 1u);
    EXPECT_EQ(m[1].level, 2u);
    EXPECT_EQ(m[1].text, "Warning: 5");
    EXPECT_EQ(m[2].kind, 4u);
    EXPECT_EQ(m[2].level, 3u);
    EXPECT_EQ(m[3].kind, 3u);
    EXPECT_EQ(m[3].level, 3u);
    EXPECT_EQ(m[3].text, "42");
    EXPECT_EQ(m[3].line, 42u);
}

TEST(Report, SequenceIsConsecutiveAcrossFilteredMessagesAndReports) {
    MessageLog quiet(2);
    svf::ReportError(quiet.report(), "a");
    svf::ReportNote(quiet.report(), "dropped");
    svf::ReportLine(quiet.report(), 1);
    svf::ReportWarning(quiet.report(), "b");
    MessageLog second;  // a later run in the same process goes on numbering
    svf::ReportNote(second.report(), "c");
    ASSERT_EQ(quiet.messages().size(), 2u);
    ASSERT_EQ(second.messages().size(), 1u);
    EXPECT_EQ(quiet.messages()[1].sequence, quiet.messages()[0].sequence + 1);
    EXPECT_EQ(second.messages()[0].sequence, quiet.messages()[1].sequence + 1);
}

TEST(Report, NullReportOrCallbackIsANoOp) {
    svf::ReportError(nullptr, "x");
    svf::ReportLine(nullptr, 1);
    svf::ReportCnnMessage(nullptr, 0, 1, 0, 0, "x");
    MessageLog log;
    log.report()->messageCallback = nullptr;
    svf::ReportError(log.report(), "x");
    svf::ReportCnnMessage(log.report(), 0, 1, 0, 0, "x");
    MessageLog probe;  // the counter did not move for the dropped messages
    svf::ReportError(probe.report(), "first");
    svf::ReportError(probe.report(), "second");
    EXPECT_TRUE(log.messages().empty());
    EXPECT_EQ(probe.messages()[1].sequence, probe.messages()[0].sequence + 1);
}

TEST(Report, CnnMessageTakesCallerFieldsWithoutFilterOrCounter) {
    MessageLog log(0);  // verbosity 0 would silence every other message
    svf::ReportCnnMessage(log.report(), 0, 1, 1, 0, "Memory allocation error  #CC%02d", 4);
    MessageLog probe;
    svf::ReportNote(probe.report(), "a");
    svf::ReportCnnMessage(probe.report(), 0, 1, 0, 0, "b");
    svf::ReportNote(probe.report(), "c");
    ASSERT_EQ(log.messages().size(), 1u);
    EXPECT_EQ(log.messages()[0].text, "Memory allocation error  #CC04");
    EXPECT_EQ(log.messages()[0].sequence, 1u);
    EXPECT_EQ(log.messages()[0].kind, 0u);
    EXPECT_EQ(log.messages()[0].level, 1u);
    ASSERT_EQ(probe.messages().size(), 3u);
    EXPECT_EQ(probe.messages()[1].sequence, 0u);
    EXPECT_EQ(probe.messages()[2].sequence, probe.messages()[0].sequence + 1);
}

TEST(Report, LongTextsAreCutAtTheBuffer) {
    MessageLog log;
    const std::string longWord(5000, 'x');
    svf::ReportError(log.report(), "Error: %s", longWord.c_str());
    svf::ReportCnnMessage(log.report(), 0, 1, 0, 0, "%s", longWord.c_str());
    svf::ReportLineError(log.report(), 12, "%s", longWord.c_str());
    ASSERT_EQ(log.messages().size(), 3u);
    EXPECT_EQ(log.messages()[0].text.size(), static_cast<size_t>(svf::kMessageBufferSize - 1));
    EXPECT_EQ(log.messages()[0].text.substr(0, 8), "Error: x");
    EXPECT_EQ(log.messages()[1].text.size(), static_cast<size_t>(svf::kCnnMessageBufferSize - 1));
    EXPECT_EQ(log.messages()[2].text.size(), static_cast<size_t>(svf::kMessageBufferSize - 1));
    EXPECT_EQ(log.messages()[2].text.substr(0, 28), "SVF line     12 : Error\t: xx");
}

TEST(ResultCode, StatusesOfOneSituationShareTheirCode) {
    struct Case {
        svf::Status status;
        uint32_t code;
    };
    const Case cases[] = {{svf::kOk, 0},
                          {svf::kScanFieldsInterrupted, 1},
                          {svf::kFlagRefused, 1},
                          {svf::kPioStatementFailed, 1},
                          {svf::kControllerMismatch, 1},
                          {svf::kNotSupported, 2},
                          {svf::kFileNotOpened, 2},
                          {svf::kTdioStep, 13},
                          {svf::kLibraryTooOld, 52},
                          {svf::kRunFailures, 100},
                          {svf::kPioPinInUse, 108}};
    for (const Case& c : cases) {
        EXPECT_EQ(svf::ResultCodeOf(c.status), c.code) << static_cast<int>(c.status);
    }
    // A failed PIO call passes its own answer on.
    EXPECT_EQ(svf::ResultCodeOf(svf::kPioControllerFailed, 7), 7u);
    SvfReport report{};
    svf::StoreResultCode(&report, svf::kPioControllerFailed, 9);
    EXPECT_EQ(report.resultCode, 9u);
}

}  // namespace
