// Write-then-verify on the loop-back example board: the example files and
// the ERROR file they leave, in both of its forms.
#include <gtest/gtest.h>

#include <string>

#include "support/files.h"
#include "support/messages.h"
#include "support/sim.h"
#include "support/test_session.h"

namespace {

const std::string kExamples = SVF_EXAMPLES_DIR;

struct LoopRow {
    const char* name;
    const char* svfFile;
    uint32_t flags;
    int32_t verdict;
    uint32_t code;
    const char* status;
    const char* errors;   // the ERRORS field, 32 characters
    const char* records;  // what follows it
};

class LoopBack : public testing::TestWithParam<LoopRow>, protected svftest::JobParts {
  protected:
    LoopBack() {
        EXPECT_EQ(VeltraSim_LoadBoardFile((kExamples + "/boards/loopback.toml").c_str()), 0)
            << VeltraSim_LastError();
    }
};

TEST_P(LoopBack, LeavesTheVerdictAndTheFailingBitsInTheErrorFile) {
    const LoopRow& row = GetParam();
    const std::string svfPath = kExamples + "/svf/" + row.svfFile;
    const std::string errorPath = dir.PathOf("loop.err");
    info.flags = row.flags;
    info.svfSource = svfPath.c_str();
    info.errorFile = errorPath.c_str();

    EXPECT_EQ(Svf_Execute(sim.api(), log.report(), &info), row.verdict) << log.Dump();
    EXPECT_EQ(log.report()->resultCode, row.code);
    EXPECT_TRUE(log.Errors().empty()) << log.Dump();
    const std::string expected =
        std::string(row.flags & SVF_FLAG_NUMBERED_ERRORS ? "SYNTAX_VERSION   S1.2\n"
                                                         : "SYNTAX_VERSION   1.3\n") +
        "DESIGN           svf\n"
        "TEST             SVF\n"
        "\n"
        "INPUT_FILES\n"
        "    SVF_FILE    \"" +
        svfPath +
        "\"\n"
        "END_INPUT_FILES\n"
        "\n"
        "STATUS    " +
        row.status +
        "\n"
        "\n"
        "ERRORS    " +
        row.errors + "\n" + row.records + "END_ERRORS\n";
    EXPECT_EQ(svftest::ReadFile(errorPath), svftest::TextLines(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Examples, LoopBack,
    testing::Values(LoopRow{"Pass", "loopback_pass.svf", 0, SVF_RETURN_PASS, 0, "PASS",
                            "0                               ", ""},
                    // 0xA5C3 written, 0x25C2 expected: bits 0 and 15.
                    LoopRow{"Fail", "loopback_fail.svf", 0, SVF_RETURN_FAIL, 100, "FAIL",
                            "2                               ",
                            "TAP1\nSVF_LINE 10\n\n        0        15 \n"},
                    // The fifth counted command (two STATEs, SIR, SDR, SDR) has number 4.
                    LoopRow{"FailNumbered", "loopback_fail.svf", SVF_FLAG_NUMBERED_ERRORS,
                            SVF_RETURN_FAIL, 100, "FAIL", "2                               ",
                            "TAP1 CMD_ID 4 PIN TDO BIT_OFFSET 0 LOOP_CNT 0\n"
                            "TAP1 CMD_ID 4 PIN TDO BIT_OFFSET 15 LOOP_CNT 0\n"}),
    [](const testing::TestParamInfo<LoopRow>& param) { return std::string(param.param.name); });

}  // namespace
