// The ERROR file of whole runs through Svf_Execute against veltra-sim: the
// records of a failing scan in both forms and the filled header (a passing
// run's file is pinned by the loop-back example run); and, on Linux, the
// same stream cut by a file-size limit at the header, among the records and
// at END_ERRORS.
#include <gtest/gtest.h>

#include <cstring>

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

INSTANTIATE_TEST_SUITE_P(
    Forms, ErrorFileRun,
    ::testing::Values(RunCase{"LineAndPositions", 0, "1.3",
                              "TAP1\nSVF_LINE 12\n\n        3        17 \n"},
                      RunCase{"NumberedCommands", SVF_FLAG_NUMBERED_ERRORS, "S1.2",
                              "TAP1 CMD_ID 4 PIN TDO BIT_OFFSET 3 LOOP_CNT 0\n"
                              "TAP1 CMD_ID 4 PIN TDO BIT_OFFSET 17 LOOP_CNT 0\n"}),
    [](const auto& row) { return std::string(row.param.name); });

#if !defined(_WIN32)
// Where the limit cuts the file of three failing scans, and what follows:
// every piece that did not reach the file is reported once, and only a lost
// header changes the outcome.
enum class Cut { kHeader, kSecondRecord, kEndErrors };

struct CutRow {
    const char* name;
    uint32_t flags;
    const char* version;
    const char* record;  // each of the three records is this long
    Cut cut;
    int32_t result;
    uint32_t resultCode;
    size_t writeErrors;
};

void PrintTo(const CutRow& row, std::ostream* os) { *os << row.name; }

class CutErrorFile : public ::testing::TestWithParam<CutRow>, protected svftest::JobParts {};

TEST_P(CutErrorFile, ReportsEveryLostPieceOnce) {
    const CutRow& row = GetParam();
    const std::string errorPath = dir.PathOf("result.err");
    const std::string svfPath = dir.Write("test.svf", std::string(kFailingRun) +
                                                          "SDR 20 TDI (00000) TDO (1A09B);\n"
                                                          "SDR 20 TDI (00000) TDO (1A09B);\n");
    info.flags = row.flags;
    info.errorFile = errorPath.c_str();
    info.svfSource = svfPath.c_str();
    const size_t header = Header(row.version, svfPath, "    ", "").size();
    const size_t record = std::strlen(row.record);
    const long limit = static_cast<long>(row.cut == Cut::kHeader         ? header - 1
                                         : row.cut == Cut::kSecondRecord ? header + record + 1
                                                                         : header + 3 * record + 3);
    const svftest::ChildRun run = svftest::RunWithFileSizeLimit(
        limit, log, [&] { return Svf_Execute(sim.api(), log.report(), &info); });
    EXPECT_EQ(run.result, row.result);
    EXPECT_EQ(run.resultCode, row.resultCode);
    EXPECT_EQ(run.errors,
              std::vector<std::string>(row.writeErrors, "Error: Unable to write file '" + errorPath + "'"));
    EXPECT_EQ(svftest::FileExists(errorPath), row.result != SVF_RETURN_ERROR);
}

constexpr const char* kLineRecord = "TAP1\nSVF_LINE 12\n\n        3        17 \n";
constexpr const char* kNumberedRecord = "TAP1 CMD_ID 4 PIN TDO BIT_OFFSET 3 LOOP_CNT 0\n"
                                        "TAP1 CMD_ID 4 PIN TDO BIT_OFFSET 17 LOOP_CNT 0\n";

INSTANTIATE_TEST_SUITE_P(
    Limits, CutErrorFile,
    ::testing::Values(
        CutRow{"LineHeader", 0, "1.3", kLineRecord, Cut::kHeader, SVF_RETURN_ERROR, 4, 1},
        CutRow{"LineRecords", 0, "1.3", kLineRecord, Cut::kSecondRecord, SVF_RETURN_FAIL, 100, 3},
        CutRow{"LineEnd", 0, "1.3", kLineRecord, Cut::kEndErrors, SVF_RETURN_FAIL, 100, 1},
        CutRow{"NumberedHeader", SVF_FLAG_NUMBERED_ERRORS, "S1.2", kNumberedRecord, Cut::kHeader,
               SVF_RETURN_ERROR, 4, 1},
        CutRow{"NumberedRecords", SVF_FLAG_NUMBERED_ERRORS, "S1.2", kNumberedRecord,
               Cut::kSecondRecord, SVF_RETURN_FAIL, 100, 3},
        CutRow{"NumberedEnd", SVF_FLAG_NUMBERED_ERRORS, "S1.2", kNumberedRecord, Cut::kEndErrors,
               SVF_RETURN_FAIL, 100, 1}),
    [](const auto& row) { return std::string(row.param.name); });
#endif

}  // namespace
