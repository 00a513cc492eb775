// The ERROR file, byte for byte: header, the two filled fields, scan and PIO
// records of both forms (failed writes: error_file_run_test.cpp).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "result/error_file.h"
#include "support/files.h"
#include "support/messages.h"

namespace {

using ::testing::ElementsAre;

const char* const kHeader13 =
    "SYNTAX_VERSION   1.3\n"
    "DESIGN           svf\n"
    "TEST             SVF\n"
    "\n"
    "INPUT_FILES\n"
    "    SVF_FILE    \"board.svf\"\n"
    "END_INPUT_FILES\n"
    "\n";

std::string Blanks(size_t count) { return std::string(count, ' '); }

// STATUS and ERRORS lines as FinishErrorFile leaves them.
std::string Fields(const char* verdict, const std::string& count) {
    return std::string("STATUS    ") + verdict + "\n\nERRORS    " + count +
           Blanks(32 - count.size()) + "\n";
}

class ErrorFileTest : public ::testing::Test {
protected:
    ErrorFileTest() : path(dir.PathOf("errors.txt")) {
        session.host.report = log.report();
        session.paths.errorPath = path.c_str();
        session.paths.svfPath = "board.svf";
        session.connection.boardTap = 1;
        session.reader.statementLine = 12;
        session.counters.commandCount = 5;
    }

    std::string Content() const { return svftest::ReadFile(path); }

    // A mismatch vector with the given bits set.
    static std::vector<uint16_t> Mismatch(uint32_t bitCount, std::initializer_list<uint32_t> bits) {
        std::vector<uint16_t> words(svf::WordsFor(bitCount), 0);
        for (uint32_t bit : bits) words[bit / 16] = static_cast<uint16_t>(words[bit / 16] | 1u << (bit % 16));
        return words;
    }

    svftest::TempDir dir;
    std::string path;
    svftest::MessageLog log;
    svf::SvfSession session;
};

TEST_F(ErrorFileTest, HeaderHasTwoBlankFieldsUntilFinished) {
    ASSERT_EQ(svf::CreateErrorFile(session), svf::kOk);
    std::fflush(session.errorFile.errorStream.get());
    EXPECT_EQ(Content(), svftest::TextLines(std::string(kHeader13) + "STATUS    " + Blanks(4) +
                                            "\n\nERRORS    " + Blanks(32) + "\n"));
    // The positions are byte offsets of the file, right after the labels.
    EXPECT_EQ(session.errorFile.statusPos, Content().find("STATUS") + 10);
    EXPECT_EQ(session.errorFile.errorsPos, Content().find("ERRORS") + 10);
}

TEST_F(ErrorFileTest, RunWithoutFailuresPasses) {
    ASSERT_EQ(svf::CreateErrorFile(session), svf::kOk);
    ASSERT_EQ(svf::FinishErrorFile(session), svf::kOk);
    EXPECT_EQ(session.errorFile.errorStream, nullptr);
    EXPECT_EQ(Content(), svftest::TextLines(std::string(kHeader13) + Fields("PASS", "0") +
                                            "END_ERRORS\n"));
}

struct PositionsCase {
    const char* name;
    uint32_t count;  // mismatching bits 0, 5, 10, ... (count of them)
    std::string lines;
};

class PositionLines : public ErrorFileTest, public ::testing::WithParamInterface<PositionsCase> {};

TEST_P(PositionLines, TenToALineThenARestWithTrailingBlanks) {
    const PositionsCase& c = GetParam();
    std::vector<uint16_t> mismatch(svf::WordsFor(5 * c.count + 1), 0);
    for (uint32_t i = 0; i < c.count; ++i) {
        mismatch[5 * i / 16] = static_cast<uint16_t>(mismatch[5 * i / 16] | 1u << (5 * i % 16));
    }
    ASSERT_EQ(svf::CreateErrorFile(session), svf::kOk);
    svf::WriteScanFailure(session, mismatch.data(), static_cast<uint32_t>(mismatch.size()));
    session.errorFile.errorStream.reset();
    const std::string content = Content();
    const std::string record = svftest::TextLines("TAP1\nSVF_LINE 12\n\n");
    ASSERT_NE(content.find(record), std::string::npos);
    EXPECT_EQ(content.substr(content.find(record) + record.size()), svftest::TextLines(c.lines));
    EXPECT_EQ(session.counters.failureCount, c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, PositionLines,
    ::testing::Values(
        PositionsCase{"Two", 2, "        0         5 \n"},
        PositionsCase{"Ten", 10,
                      "        0         5        10        15        20        25        30"
                      "        35        40        45\n"},
        PositionsCase{"Twelve", 12,
                      "        0         5        10        15        20        25        30"
                      "        35        40        45\n"
                      "       50        55 \n"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(ErrorFileTest, FailuresAreCountedWithoutAFile) {
    const std::vector<uint16_t> mismatch = Mismatch(40, {0, 15, 16, 39});
    EXPECT_EQ(svf::WriteScanFailure(session, mismatch.data(), 3), svf::kOk);
    EXPECT_EQ(svf::WriteNumberedScanFailure(session, mismatch.data(), 3), svf::kOk);
    const uint8_t flags[3] = {1, 0, 1};
    session.pio.pioMapCount = 3;
    EXPECT_EQ(svf::WritePioFailure(session, flags, 2), svf::kOk);
    EXPECT_EQ(session.counters.failureCount, 10u);
    EXPECT_EQ(svf::FinishErrorFile(session), svf::kOk);
}

TEST_F(ErrorFileTest, PioRecordNumbersRiseTenToALine) {
    // Twelve entries, all but index 10 failed: numbers 0 and 2..11.
    std::vector<uint8_t> flags(12, 1);
    flags[10] = 0;
    session.pio.pioMapCount = 12;
    ASSERT_EQ(svf::CreateErrorFile(session), svf::kOk);
    EXPECT_EQ(svf::WritePioFailure(session, flags.data(), 11), svf::kOk);
    EXPECT_EQ(svf::WritePioFailure(session, flags.data(), 0), svf::kOk);  // writes nothing
    ASSERT_EQ(svf::FinishErrorFile(session), svf::kOk);
    EXPECT_EQ(Content(), svftest::TextLines(std::string(kHeader13) + Fields("FAIL", "11") +
                                            "PAR\n"
                                            "SVF_LINE 12\n"
                                            "        0        2        3        4        5"
                                            "        6        7        8        9       10\n"
                                            "       11\n"
                                            "END_ERRORS\n"));
}

}  // namespace
