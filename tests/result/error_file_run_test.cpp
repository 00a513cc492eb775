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
        EXPECT_EQ(run.errors, std::vector<std::string>(cut.writeErrors,
                                                       "Error: Unable to write file '" + errorPath + "'"));
        EXPECT_EQ(svftest::FileExists(errorPath), cut.result != SVF_RETURN_ERROR);
    }
}
INSTANTIATE_TEST_SUITE_P(Limits, CutErrorFile, kForms, kFormName);
#endif

}  // namespace
