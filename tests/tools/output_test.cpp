// Messages, progress, summary and the JSON object.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "failures.h"
#include "output.h"
#include "support/files.h"

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

}  // namespace
