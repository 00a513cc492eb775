// The ERROR file, byte for byte: the header with its two fields blank until
// the end, scan and PIO records of both forms, written by the functions
// themselves and by whole runs through Svf_Execute against veltra-sim (a
// passing run's file is pinned by the loop-back example run); and, on
// Linux, the same stream cut by a file-size limit at the header, among the
// records and at END_ERRORS.
#include <gtest/gtest.h>

#include <cstring>

#include "result/error_file.h"
#include "support/files.h"
#include "support/messages.h"
#include "support/sim.h"
#include "support/test_session.h"

namespace {

// After the reset the default board's DR is the 32-bit IDCODE 0123A093, so a
// 20-bit SDR captures 3A093; the expected 1A09B differs at bits 3 and 17.
// Four counted commands come first (FREQUENCY, SIR selecting IDCODE, STATE,
// RUNTEST), so the SDR on line 12 is the fifth.
const char* const kFailingRun =
    "! ERROR file run\n"
    "FREQUENCY 1E6 HZ;\n"
    "SIR 8 TDI (01);\n"
    "!\n"
    "STATE IDLE;\n"
    "\n"
    "// padding\n"
    "RUNTEST 10 TCK;\n"
    "!\n"
    "!\n"
    "!\n"
    "SDR 20 TDI (00000) TDO (1A09B);\n";

std::string Header(const std::string& version, const std::string& svfPath, const char* verdict,
                   const char* count) {
    return "SYNTAX_VERSION   " + version +
           "\nDESIGN           svf\nTEST             SVF\n\nINPUT_FILES\n    SVF_FILE    \"" +
           svfPath + "\"\nEND_INPUT_FILES\n\nSTATUS    " + verdict + "\n\nERRORS    " + count +
           std::string(32 - std::string(count).size(), ' ') + "\n";
}

struct RunCase {
    const char* name;
    uint32_t flags;
    const char* version;
    const char* records;
};

class ErrorFileRun : public ::testing::TestWithParam<RunCase>, protected svftest::JobParts {};

TEST_P(ErrorFileRun, FailingScanIsRecorded) {
    const RunCase& c = GetParam();
    const std::string errorPath = dir.PathOf("result.err");
    info.flags = c.flags;
    info.errorFile = errorPath.c_str();
    EXPECT_EQ(svftest::RunSvf(kFailingRun, info, log, dir), SVF_RETURN_FAIL) << log.Dump();
    EXPECT_EQ(svftest::ReadFile(errorPath),
              svftest::TextLines(Header(c.version, dir.PathOf("test.svf"), "FAIL", "2") +
                                 c.records + "END_ERRORS\n"));
}

const auto kForms = ::testing::Values(
    RunCase{"LineAndPositions", 0, "1.3", "TAP1\nSVF_LINE 12\n\n        3        17 \n"},
    RunCase{"NumberedCommands", SVF_FLAG_NUMBERED_ERRORS, "S1.2",
            "TAP1 CMD_ID 4 PIN TDO BIT_OFFSET 3 LOOP_CNT 0\n"
            "TAP1 CMD_ID 4 PIN TDO BIT_OFFSET 17 LOOP_CNT 0\n"});
const auto kFormName = [](const auto& row) { return std::string(row.param.name); };
INSTANTIATE_TEST_SUITE_P(Forms, ErrorFileRun, kForms, kFormName);

#if !defined(_WIN32)
// The same stream cut by a file-size limit at the header, in the second of
// three records and at END_ERRORS: every piece that did not reach the file
// is reported once, and only a lost header changes the outcome.
class CutErrorFile : public ::testing::TestWithParam<RunCase>, protected svftest::JobParts {};

TEST_P(CutErrorFile, ReportsEveryLostPieceOnce) {
    const RunCase& c = GetParam();
    const std::string errorPath = dir.PathOf("result.err");
    const std::string svfPath =
        dir.Write("test.svf", std::string(kFailingRun) + "SDR 20 TDI (00000) TDO (1A09B);\n" +
                                  "SDR 20 TDI (00000) TDO (1A09B);\n");
    info.flags = c.flags;
    info.errorFile = errorPath.c_str();
    info.svfSource = svfPath.c_str();
    const long header = static_cast<long>(Header(c.version, svfPath, "    ", "").size());
    const long record = static_cast<long>(std::strlen(c.records));  // all three alike
    struct Cut {
        long limit;
        int32_t result;
        uint32_t code;
        size_t writeErrors;
    };
    for (const Cut cut : {Cut{header - 1, SVF_RETURN_ERROR, 4, 1},
                          Cut{header + record + 1, SVF_RETURN_FAIL, 100, 3},
                          Cut{header + 3 * record + 3, SVF_RETURN_FAIL, 100, 1}}) {
        const svftest::ChildRun run = svftest::RunWithFileSizeLimit(
            cut.limit, log, [&] { return Svf_Execute(sim.api(), log.report(), &info); });
        EXPECT_EQ(run.result, cut.result) << cut.limit;
        EXPECT_EQ(run.resultCode, cut.code) << cut.limit;
        EXPECT_EQ(run.errors,
                  std::vector<std::string>(cut.writeErrors,
                                           "Error: Unable to write file '" + errorPath + "'"));
        EXPECT_EQ(svftest::FileExists(errorPath), cut.result != SVF_RETURN_ERROR);
    }
}
INSTANTIATE_TEST_SUITE_P(Limits, CutErrorFile, kForms, kFormName);
#endif

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

    svftest::TempDir dir;
    std::string path;
    svftest::MessageLog log;
    svf::SvfSession session;
};

TEST_F(ErrorFileTest, HeaderHasTwoBlankFieldsUntilFinished) {
    ASSERT_EQ(svf::CreateErrorFile(session), svf::kOk);
    std::fflush(session.errorFile.errorStream.get());
    EXPECT_EQ(Content(), svftest::TextLines(Header("1.3", "board.svf", "    ", "")));
}

// Mismatching bits 0, 5, 10, ...: ten positions to a line, then the rest
// with a trailing blank.
TEST_F(ErrorFileTest, ScanRecordHasTenPositionsToALine) {
    const std::string ten =
        "        0         5        10        15        20        25        30"
        "        35        40        45\n";
    for (const auto& [count, lines] :
         {std::pair<uint32_t, std::string>{2, "        0         5 \n"},
          {10, ten},
          {12, ten + "       50        55 \n"}}) {
        std::vector<uint16_t> mismatch(svf::WordsFor(5 * count + 1), 0);
        for (uint32_t bit = 0; bit < 5 * count; bit += 5)
            mismatch[bit / 16] |= uint16_t(1u << bit % 16);
        session.counters.failureCount = 0;
        ASSERT_EQ(svf::CreateErrorFile(session), svf::kOk);
        svf::WriteScanFailure(session, mismatch.data(), static_cast<uint32_t>(mismatch.size()));
        session.errorFile.errorStream.reset();
        const std::string record = svftest::TextLines("TAP1\nSVF_LINE 12\n\n");
        ASSERT_NE(Content().find(record), std::string::npos);
        EXPECT_EQ(Content().substr(Content().find(record) + record.size()),
                  svftest::TextLines(lines));
        EXPECT_EQ(session.counters.failureCount, count);
    }
}

TEST_F(ErrorFileTest, FailuresAreCountedWithoutAFile) {
    const uint16_t mismatch[] = {0x8001, 0x0001, 0x0080};  // bits 0, 15, 16 and 39
    EXPECT_EQ(svf::WriteScanFailure(session, mismatch, 3), svf::kOk);
    EXPECT_EQ(svf::WriteNumberedScanFailure(session, mismatch, 3), svf::kOk);
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
    EXPECT_EQ(Content(), svftest::TextLines(Header("1.3", "board.svf", "FAIL", "11") +
                                            "PAR\n"
                                            "SVF_LINE 12\n"
                                            "        0        2        3        4        5"
                                            "        6        7        8        9       10\n"
                                            "       11\n"
                                            "END_ERRORS\n"));
}

}  // namespace
