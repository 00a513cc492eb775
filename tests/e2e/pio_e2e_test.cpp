// PIO through Svf_Execute: a mapping file, a board with a loop-back wire,
// and the verdict and ERROR file of a PIO check that fails once.
#include <gtest/gtest.h>

#include <string>

#include "controller/controller.h"
#include "support/files.h"
#include "support/messages.h"
#include "support/sim.h"
#include "support/test_session.h"

namespace {

constexpr const char* kLoopBackBoard = R"(
[[tap]]
number = 1
  [[tap.device]]
  name = "device"
  ir_length = 8

[pod]
pull = "high"
  [[pod.wire]]
  from = "1.1"
  to = "1.2"
)";

constexpr const char* kMapping =
    "PIO_PIN_LIST\n"
    "  KWZ_PIO_1_1  A   ! drives the wire\n"
    "  KWZ_PIO_1_2  B   ! senses it\n"
    "END_PIO_PIN_LIST\n";

constexpr const char* kSvf =
    "PIOMAP (IN A OUT B);\n"
    "PIO (HU);\n"
    "PIO (LU);\n";

class PioEndToEnd : public testing::Test, protected svftest::JobParts {
  protected:
    PioEndToEnd() {
        sim.LoadBoard(kLoopBackBoard);
        mapPath = dir.Write("pins.map", kMapping);
        errorPath = dir.PathOf("result.err");
        info.flags |= SVF_FLAG_PIO;
        info.pioMapFile = mapPath.c_str();
        info.errorFile = errorPath.c_str();
        // PIO needs controller library 1.7; the probe has tests of its own.
        svf::SetControllerVersionOverride(svf::MakeVersion(2, 2));
    }
    ~PioEndToEnd() override { svf::SetControllerVersionOverride(std::nullopt); }

    std::string mapPath;
    std::string errorPath;
};

TEST_F(PioEndToEnd, LoopBackFailsOnceInBothForms) {
    for (const auto& [form, record] :
         {std::pair<uint32_t, const char*>{0, "PAR\nSVF_LINE 3\n        0\nEND_ERRORS"},
          {SVF_FLAG_NUMBERED_ERRORS, "PAR CMD_ID 1 PIN B BIT_OFFSET 0 LOOP_CNT 0\nEND_ERRORS"}}) {
        info.flags = SVF_FLAG_PIO | form;
        EXPECT_EQ(svftest::RunSvf(kSvf, info, log, dir), SVF_RETURN_FAIL) << log.Dump();
        EXPECT_EQ(log.report()->resultCode, 100u);
        const std::string text = svftest::ReadFile(errorPath);
        EXPECT_NE(text.find(svftest::TextLines("STATUS    FAIL\n\nERRORS    1 ")),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find(svftest::TextLines(record)), std::string::npos) << text;
    }
}

#if !defined(_WIN32)
// A PIO record that cannot be written (the file may not grow past the
// header) ends the run and leaves no file.
TEST_F(PioEndToEnd, LostRecordEndsTheRunWithCode4InBothForms) {
    for (const uint32_t form : {0u, uint32_t{SVF_FLAG_NUMBERED_ERRORS}}) {
        info.flags = SVF_FLAG_PIO | form;
        ASSERT_EQ(svftest::RunSvf(kSvf, info, log, dir), SVF_RETURN_FAIL) << log.Dump();
        const long header = static_cast<long>(svftest::ReadFile(errorPath).find("PAR"));
        log.Clear();
        const std::string svfPath = dir.PathOf("test.svf");
        info.svfSource = svfPath.c_str();
        const svftest::ChildRun run = svftest::RunWithFileSizeLimit(
            header + 1, log, [&] { return Svf_Execute(sim.api(), log.report(), &info); });
        EXPECT_EQ(run.result, SVF_RETURN_ERROR);
        EXPECT_EQ(run.resultCode, 4u);
        // The record, then END_ERRORS of the file finished before its deletion.
        EXPECT_EQ(run.errors,
                  std::vector<std::string>(2, "Error: Unable to write file '" + errorPath + "'"));
        EXPECT_FALSE(svftest::FileExists(errorPath));
    }
}
#endif

TEST_F(PioEndToEnd, PassingChecksLeavePass) {
    EXPECT_EQ(svftest::RunSvf("PIOMAP (IN A OUT B);\nPIO (HU);\nPIO (LD);\n", info, log, dir),
              SVF_RETURN_PASS)
        << log.Dump();
    EXPECT_NE(svftest::ReadFile(errorPath).find("STATUS    PASS"), std::string::npos);
}

TEST_F(PioEndToEnd, MappingFileErrorEndsTheJob) {
    mapPath = dir.Write("bad.map", "PIO_PIN_LIST\nKWZ_PIO_1_5 A\nEND_PIO_PIN_LIST\n");
    info.pioMapFile = mapPath.c_str();
    EXPECT_EQ(svftest::RunSvf(kSvf, info, log, dir), SVF_RETURN_ERROR);
    EXPECT_EQ(log.report()->resultCode, 104u);
    EXPECT_TRUE(
        log.Contains("Error line 2 of PIO mapping file: <pod_pin_name> or "
                     "<END_PIO_PIN_LIST> expected, found 'KWZ_PIO_1_5'"))
        << log.Dump();
}

}  // namespace
