// Scan chains through Svf_Execute: one device of a three-device chain
// addressed with headers and trailers, both ways of comparing, and a scan
// longer than one controller call with and without long DR shifts.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "controller/controller.h"
#include "support/files.h"
#include "support/messages.h"
#include "support/sim.h"
#include "support/test_session.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kExamples = SVF_EXAMPLES_DIR;

struct ChainRow {
    const char* name;
    bool wrongHeader;    // HDR 2 where the chain has one bypass bit ahead
    bool playerCompare;  // an ERROR file is written
    bool bodyMask;       // the SDR compares under a MASK of all ones
    int32_t verdict;
    uint32_t code;
};

class MiddleDevice : public testing::TestWithParam<ChainRow>, protected svftest::JobParts {
  protected:
    MiddleDevice() {
        EXPECT_EQ(VeltraSim_LoadBoardFile((kExamples + "/boards/three-idcodes.toml").c_str()), 0)
            << VeltraSim_LastError();
    }
};

TEST_P(MiddleDevice, IdcodeBehindHeaderAndTrailer) {
    const ChainRow& row = GetParam();
    std::string svf = svftest::ReadFile(kExamples + "/svf/chain_middle_idcode.svf");
    ASSERT_FALSE(svf.empty());
    if (row.wrongHeader) svf = svftest::ReplaceOnce(svf, "HDR 1 TDI (0);", "HDR 2 TDI (00);");
    if (row.bodyMask) svf = svftest::ReplaceOnce(svf, "(1B0E4093);", "(1B0E4093) MASK (FFFFFFFF);");
    const std::string errorPath = dir.PathOf("chain.err");
    if (row.playerCompare) info.errorFile = errorPath.c_str();

    EXPECT_EQ(svftest::RunSvf(svf, info, log, dir), row.verdict) << log.Dump();
    EXPECT_EQ(log.report()->resultCode, row.code);
    EXPECT_TRUE(log.Contains(row.verdict == SVF_RETURN_PASS ? "STATUS\tPASS" : "STATUS\tFAIL"));
    // The IR scan is cpu BYPASS, dsp IDCODE, fpga BYPASS, all capturing 01.
    EXPECT_EQ(svftest::TraceOf({"ShiftIr", "ShiftIrCompare"}).size(), 1u);
    if (!row.playerCompare) return;
    const std::string text = svftest::ReadFile(errorPath);
    if (row.verdict == SVF_RETURN_PASS) {
        EXPECT_NE(text.find(svftest::TextLines("STATUS    PASS\n\nERRORS    0 ")),
                  std::string::npos)
            << text;
        return;
    }
    // 0x1B0E4093 read one bit late: bit i is IDCODE bit i+1, bit 31 the
    // fpga's bypass bit (0); the header's two bits come first.
    EXPECT_NE(text.find(svftest::TextLines("STATUS    FAIL\n\nERRORS    13 ")), std::string::npos)
        << text;
    EXPECT_NE(text.find(svftest::TextLines(
                  "TAP1\nSVF_LINE 14\n\n"
                  "        3         5         6         8         9        15        16"
                  "        18        21        25\n"
                  "       27        28        30 \nEND_ERRORS")),
              std::string::npos)
        << text;
}

INSTANTIATE_TEST_SUITE_P(
    Chain, MiddleDevice,
    testing::Values(
        ChainRow{"PlayerComparePasses", false, true, false, SVF_RETURN_PASS, 0},
        ChainRow{"ControllerComparePasses", false, false, false, SVF_RETURN_PASS, 0},
        ChainRow{"PlayerCompareWrongHeaderFails", true, true, false, SVF_RETURN_FAIL, 100},
        ChainRow{"PlayerCompareWrongHeaderFailsUnderTheMask", true, true, true, SVF_RETURN_FAIL,
                 100},
        ChainRow{"ControllerCompareWrongHeaderFails", true, false, false, SVF_RETURN_FAIL, 1}),
    [](const testing::TestParamInfo<ChainRow>& param) { return std::string(param.param.name); });

constexpr uint32_t kLongBits = 65536;
constexpr uint32_t kFailingBit = 65300;  // inside the second chunk
constexpr uint32_t kDigitsPerLine = 64;
// SIR, then an SDR of an opening line, the pattern lines and a closing line.
constexpr uint32_t kVerifyLine = 1 + (1 + kLongBits / 4 / kDigitsPerLine + 1) + 1;

// 16384 hex digits of a repeating pattern, written 64 digits to a line.
std::string LongPattern(bool flipFailingBit) {
    const std::string digits = "0123456789ABCDEF";
    std::string hex;
    for (uint32_t i = 0; i < kLongBits / 4; ++i) hex += digits[(i * 7 + i / 16) % 16];
    if (flipFailingBit) {
        const size_t index = hex.size() - 1 - kFailingBit / 4;
        const int value =
            std::stoi(std::string(1, hex[index]), nullptr, 16) ^ (1 << (kFailingBit % 4));
        hex[index] = digits[static_cast<size_t>(value)];
    }
    std::string lines;
    for (size_t at = 0; at < hex.size(); at += kDigitsPerLine)
        lines += "  " + hex.substr(at, kDigitsPerLine) + "\n";
    return lines;
}

std::string LongBoard(bool longShifts, bool longShiftField) {
    return std::string("[controller]\nlong_shifts = ") + (longShifts ? "true" : "false") +
           "\ninfo_fields = [\"type\", \"frequency\"" +
           (longShiftField ? ", \"long_shifts\"" : "") +
           "]\n"
           "[[tap]]\nnumber = 1\n"
           "  [[tap.device]]\n  name = \"memory\"\n  ir_length = 8\n"
           "  instructions = { BUFFER = 0x02, BYPASS = 0xFF }\n"
           "    [[tap.device.register]]\n    name = \"BUFFER\"\n    length = 65536\n"
           "    mode = \"read_back\"\n";
}

struct LongRow {
    const char* name;
    bool boardLongShifts;
    bool infoField;  // the information record says whether it has them
    uint32_t flags;
    uint32_t libraryVersion;
    bool oneCall;
};

class LongScan : public testing::TestWithParam<LongRow>, protected svftest::JobParts {
  protected:
    ~LongScan() override { svf::SetControllerVersionOverride(std::nullopt); }

    // Writes the pattern, then reads it back expecting it with one bit changed.
    int32_t Run() {
        const LongRow& row = GetParam();
        sim.LoadBoard(LongBoard(row.boardLongShifts, row.infoField));
        svf::SetControllerVersionOverride(row.libraryVersion);
        info.flags |= row.flags;
        info.errorFile = errorPath.c_str();
        const std::string svf =
            "SIR 8 TDI (02);\n"
            "SDR 65536 TDI (\n" +
            LongPattern(false) +
            ");\n"
            "SDR 65536 TDI (\n" +
            LongPattern(false) + ") TDO (\n" + LongPattern(true) + ");\n";
        return svftest::RunSvf(svf, info, log, dir);
    }

    std::string errorPath = dir.PathOf("long.err");
};

// "ShiftDrToPause 1 <hex> 65280 - = 0" -> "ShiftDrToPause 65280".
Lines DrShiftCalls() {
    Lines calls;
    for (const std::string& line :
         svftest::TraceOf({"ShiftDr", "ShiftDrToPause", "ShiftDrLong", "ShiftDrLongToPause"})) {
        std::istringstream in(line);
        std::string slot, tap, tdi, count;
        in >> slot >> tap >> tdi >> count;
        calls.push_back(slot + " " + count);
    }
    return calls;
}

TEST_P(LongScan, IsOneCallOnlyWhenTheControllerTakesLongShifts) {
    EXPECT_EQ(Run(), SVF_RETURN_FAIL) << log.Dump();
    const Lines expected = GetParam().oneCall ? Lines{"ShiftDrLong 65536", "ShiftDrLong 65536"}
                                              : Lines{"ShiftDrToPause 65280", "ShiftDr 256",
                                                      "ShiftDrToPause 65280", "ShiftDr 256"};
    EXPECT_EQ(DrShiftCalls(), expected);
    // Every bit made it through the register; only the changed one fails.
    EXPECT_TRUE(log.Contains("ERRORS\t1")) << log.Dump();
    const std::string text = svftest::ReadFile(errorPath);
    const std::string record = "SVF_LINE " + std::to_string(kVerifyLine) + "\n\n    " +
                               std::to_string(kFailingBit) + " \nEND_ERRORS";
    EXPECT_NE(text.find(svftest::TextLines(record)), std::string::npos) << text;
}

constexpr uint32_t kVersion22 = svf::MakeVersion(2, 2);

INSTANTIATE_TEST_SUITE_P(
    Controllers, LongScan,
    testing::Values(LongRow{"LongShiftsReported", true, true, 0, kVersion22, true},
                    LongRow{"NoLongShifts", false, true, 0, kVersion22, false},
                    LongRow{"NotInTheInformationRecord", true, false, 0, kVersion22, false},
                    LongRow{"JobFlagWithoutInformation", true, false, SVF_FLAG_LONG_DR_SHIFTS,
                            kVersion22, true},
                    LongRow{"LibraryBefore1_9", true, true, SVF_FLAG_LONG_DR_SHIFTS,
                            svf::MakeVersion(1, 8), false}),
    [](const testing::TestParamInfo<LongRow>& param) { return std::string(param.param.name); });

}  // namespace
