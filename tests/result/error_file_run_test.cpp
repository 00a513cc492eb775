// The ERROR file of whole runs through Svf_Execute against veltra-sim: the
// records of a failing scan in both forms and the filled header (a passing
// run's file is pinned by the loop-back example run).
#include <gtest/gtest.h>

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

}  // namespace
