// Message reporting: record fields, verbosity filter, sequence numbering and
// buffer limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "report/report.h"
#include "report/result_code.h"
#include "support/messages.h"

namespace {

using svftest::MessageLog;

// Kind, level, text and line of each operation's record, delivered up to
// the verbosity.
TEST(Report, EachOperationsRecordPassesTheVerbosityFilterUpToItsLevel) {
    for (const int32_t verbosity : {-1, 0, 1, 2, 3, 9}) {
        SCOPED_TRACE(verbosity);
        MessageLog log(verbosity);
        svf::ReportError(log.report(), "%s %6ld : Error\t: %s", svf::kSvfLine, 12L, "x");
        svf::ReportWarning(log.report(), "Warning: %d", 5);
        svf::ReportNote(log.report(), "Start executing SVF File");
        svf::ReportLine(log.report(), 42);
        std::string records;
        for (const auto& m : log.messages()) {
            records += std::to_string(m.kind) + std::to_string(m.level) + " " + m.text + " " +
                       std::to_string(m.line) + "|";
        }
        const std::string all[] = {"01 SVF line     12 : Error\t: x 0|", "12 Warning: 5 0|",
                                   "43 Start executing SVF File 0|", "33 42 42|"};
        std::string expected;
        for (int level = 1; level <= std::min(verbosity, 3); ++level) {
            expected += all[level - 1] + (level == 3 ? all[3] : "");
        }
        EXPECT_EQ(records, expected);
    }
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

// A missing report or callback drops the message without numbering it; a
// CNN message takes the caller's fields, passes any verbosity and is not
// numbered either.
TEST(Report, DroppedAndCnnMessagesLeaveTheCounterAlone) {
    svf::ReportError(nullptr, "x");
    svf::ReportLine(nullptr, 1);
    svf::ReportCnnMessage(nullptr, 0, 1, 0, 0, "x");
    MessageLog silent;
    silent.report()->messageCallback = nullptr;
    svf::ReportError(silent.report(), "x");
    svf::ReportCnnMessage(silent.report(), 0, 1, 0, 0, "x");
    EXPECT_TRUE(silent.messages().empty());
    MessageLog cnn(0);  // verbosity 0 would silence every other message
    svf::ReportCnnMessage(cnn.report(), 0, 1, 1, 0, "Memory allocation error  #CC%02d", 4);
    ASSERT_EQ(cnn.messages().size(), 1u);
    EXPECT_EQ(cnn.messages()[0].text, "Memory allocation error  #CC04");
    EXPECT_EQ(cnn.messages()[0].sequence, 1u);
    EXPECT_EQ(cnn.messages()[0].kind, 0u);
    EXPECT_EQ(cnn.messages()[0].level, 1u);
    MessageLog probe;
    svf::ReportNote(probe.report(), "a");
    svf::ReportCnnMessage(probe.report(), 0, 1, 0, 0, "b");
    svf::ReportNote(probe.report(), "c");
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
    EXPECT_EQ(log.messages()[0].text, "Error: " + longWord.substr(0, svf::kMessageBufferSize - 8));
    EXPECT_EQ(log.messages()[1].text, longWord.substr(0, svf::kCnnMessageBufferSize - 1));
    EXPECT_EQ(log.messages()[2].text,
              "SVF line     12 : Error\t: " + longWord.substr(0, svf::kMessageBufferSize - 27));
}

TEST(ResultCode, StatusesOfOneSituationShareTheirCode) {
    const std::pair<svf::Status, uint32_t> rows[] = {{svf::kOk, 0},
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
    for (const auto& [status, code] : rows) {
        EXPECT_EQ(svf::ResultCodeOf(status), code) << static_cast<int>(status);
    }
    // A failed PIO call passes its own answer on.
    EXPECT_EQ(svf::ResultCodeOf(svf::kPioControllerFailed, 7), 7u);
    SvfReport report{};
    svf::StoreResultCode(&report, svf::kPioControllerFailed, 9);
    EXPECT_EQ(report.resultCode, 9u);
}

}  // namespace
