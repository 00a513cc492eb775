// Board descriptions: chains of several devices, controller properties, pod
// wiring, and clear errors for bad files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sim_helpers.h"
#include "support/files.h"
#include "support/sim.h"

namespace {

using simtest::Dr;
using simtest::InfoWord;
using simtest::Ir;
using svftest::SimSession;
using SimBoard = simtest::SimTest;

// Scans through the example chains are pinned end to end; the IR captures
// are not: last (cpu, 4 bits) at bits 0-3, flash at 4-11, fpga at 12-17.
TEST_F(SimBoard, IrCapturesComeInChainOrder) {
    sim.LoadBoard(svftest::ReadFile(std::string(SVF_EXAMPLES_DIR) + "/boards/three-devices.toml"));
    EXPECT_EQ(Ir(api, 0x3FFFF, 18), 0x1u | 0x01u << 4 | 0x11u << 12);
    EXPECT_EQ(VeltraSim_DeviceState(1, 2), 1);
    EXPECT_EQ(VeltraSim_DeviceState(1, 3), -1);  // no fourth device
}

TEST_F(SimBoard, GangedCompareReportsEachFailingTap) {
    sim.LoadBoard(R"(
[[tap]]
number = [1, 2]
device = [{ ir_length = 2, idcode = 0x0000AAAB }]
[[tap]]
number = 3
device = [{ ir_length = 2, idcode = 0x0000BBBB }]
)");
    EXPECT_EQ(Dr(api, 0, 32, 1), 0xAAABu);  // each TAP shifts its own chain
    EXPECT_EQ(Dr(api, 0, 32, 3), 0xBBBBu);
    ASSERT_EQ(api.SetGanging(1, 0x5), 0u);  // TAPs 1 and 3
    EXPECT_EQ(Dr(api, 0, 32, 1), 0xAAABu) << "ganged, TAP 1 still reads its own chain";
    const uint64_t clocks = simtest::Stats().tckCycles;
    ASSERT_EQ(api.ResetTap(1), 0u);
    EXPECT_EQ(simtest::Stats().tckCycles - clocks, 5u) << "ganged TAPs clock together";
    EXPECT_EQ(VeltraSim_DeviceState(3, 0), 0);
    const std::vector<uint16_t> expected = simtest::Words(0xAAAB, 16);
    std::vector<uint16_t> tdo(1, 0);
    ASSERT_EQ(api.ShiftDrCompare(1, nullptr, 16, tdo.data(), expected.data(), nullptr), 0u);
    uint32_t failMask = 0;
    ASSERT_EQ(api.GetCompareResult(&failMask), 0u);
    EXPECT_EQ(failMask, 0x4u);
    EXPECT_EQ(tdo[0], 0xAAABu);                 // TDO of the addressed TAP
    EXPECT_EQ(VeltraSim_DeviceState(3, 0), 1);  // every TAP of the mask is clocked
    EXPECT_EQ(VeltraSim_DeviceState(2, 0), 0);
    ASSERT_EQ(api.SetGanging(1, 0), 0u);
    ASSERT_EQ(api.SetTapState(1, 3), 0u);
    EXPECT_EQ(VeltraSim_DeviceState(3, 0), 1);
    EXPECT_EQ(Dr(api, 0, 8, 32), 0xFFu);  // an undescribed TAP has no devices: TDO reads high
}

TEST_F(SimBoard, ControllerPropertiesComeFromTheBoard) {
    // The built-in controller first.
    EXPECT_EQ(InfoWord(api, 0),
              VELTRA_INFO_TYPE_VALID | VELTRA_INFO_FREQUENCY_VALID | VELTRA_INFO_LONG_SHIFT_VALID);
    EXPECT_EQ(InfoWord(api, VELTRA_INFO_WORD_TYPE), 6u);
    EXPECT_EQ(InfoWord(api, VELTRA_INFO_WORD_LONG_SHIFT_A), 2u);
    EXPECT_EQ(InfoWord(api, VELTRA_INFO_WORD_LONG_SHIFT_B), 2u);
    ASSERT_EQ(api.SetFrequency(2500), 0u);
    EXPECT_EQ(InfoWord(api, VELTRA_INFO_WORD_FREQUENCY), 2500u);
    const struct {
        uint32_t depth;
        uint32_t result;
    } depths[] = {
        {0, 0}, {1, 0}, {128, 0}, {64, VELTRA_DEPTH_REFUSED}, {256, VELTRA_DEPTH_REFUSED}};
    for (const auto& c : depths) EXPECT_EQ(api.SetBuffering(c.depth), c.result) << c.depth;
    sim.LoadBoard(R"(
[controller]
version = "1.9"
type = 3
frequency_khz = 500
max_frequency_khz = 8000
long_shifts = false
info_fields = ["type", "frequency"]
buffer_depths = [1]
tck_idle_state = false
ganging = false
trst = false
)");
    EXPECT_EQ(VeltraSim_ControllerVersion(), 0x10009u);
    EXPECT_EQ(InfoWord(api, 0), VELTRA_INFO_TYPE_VALID | VELTRA_INFO_FREQUENCY_VALID);
    EXPECT_EQ(InfoWord(api, VELTRA_INFO_WORD_TYPE), 3u);
    EXPECT_EQ(InfoWord(api, VELTRA_INFO_WORD_FREQUENCY), 500u);
    EXPECT_EQ(InfoWord(api, VELTRA_INFO_WORD_LONG_SHIFT_A), 0u);
    EXPECT_EQ(api.ShiftDrLong(1, nullptr, 8, nullptr, nullptr, nullptr), VELTRA_NOT_SUPPORTED);
    EXPECT_EQ(api.SetBuffering(128), VELTRA_DEPTH_REFUSED);
    EXPECT_EQ(api.SetBuffering(1), 0u);
    EXPECT_EQ(api.SetTckIdleState(1), VELTRA_NOT_SUPPORTED);
    EXPECT_EQ(api.SetGanging(1, 3), VELTRA_NOT_SUPPORTED);
    EXPECT_EQ(api.PulseTrst(1), VELTRA_NOT_SUPPORTED);
    EXPECT_EQ(api.SetTrst(1, 1), VELTRA_NOT_SUPPORTED);
    ASSERT_EQ(api.SetFrequency(20000), 0u);
    EXPECT_EQ(InfoWord(api, VELTRA_INFO_WORD_FREQUENCY), 8000u);  // limited to the maximum
    EXPECT_EQ(Dr(api, 0, 32), 0x0123A093u);  // no [[tap]]: the default chain stays
}

TEST_F(SimBoard, DescribedRegistersCaptureTheirValueOrZeros) {
    sim.LoadBoard(R"(
[[tap]]
number = 1
[[tap.device]]
ir_length = 4
instructions = { A = 2, B = 3 }
[[tap.device.register]]
name = "RA"
length = 8
value = "5A"
instructions = ["A"]
[[tap.device.register]]
name = "RB"
length = 8
instructions = ["B"]
)");
    Ir(api, 2, 4);
    EXPECT_EQ(Dr(api, 0, 8), 0x5Au);
    Ir(api, 3, 4);
    EXPECT_EQ(Dr(api, 0, 8), 0x00u);
}

// Wiring and driven pins as the player sees them are pinned by the PIO tests.
TEST_F(SimBoard, PodPullsDecideUndrivenPins) {
    sim.LoadBoard(R"(
[pod]
pull = "low"
in_use = ["1.4"]
wire = [{ from = "USER1", to = "1.3" }]
drive = [{ pin = "2.1", level = "high" }, { pin = "2.2", level = "high" }]
)");
    EXPECT_EQ(VeltraSim_PinLevel(1, 2), 'L');
    EXPECT_EQ(VeltraSim_PinLevel(2, 2), 'H');
    uint32_t pins = 0;
    uint32_t levels = 1;
    EXPECT_EQ(api.GetPodInfo(1, &pins, &levels), 0u);
    EXPECT_EQ(pins, 0x8u);
    EXPECT_EQ(levels, 0u);
    ASSERT_EQ(api.SetPodSignal(1, 1, 1), 0u);
    EXPECT_EQ(VeltraSim_PinLevel(1, 3), 'H');
    uint32_t readBack = 0;
    EXPECT_EQ(api.AccessPioPins(5, 1, 1, 1, &readBack), 1u);
    EXPECT_STREQ(api.GetErrorText(), "TAP 5 has no I/O pins (TAPs 1 to 4)");
    EXPECT_EQ(api.AccessPioPins(4, 0, 0, 0, &readBack), 0u);
    sim.LoadBoard("[pod]\npull = \"none\"\n");  // floating pins show Z and read high
    ASSERT_EQ(api.AccessPioPins(3, 0xF, 0x1, 0x0, &readBack), 0u);
    EXPECT_EQ(readBack, 0xEu);
    EXPECT_EQ(VeltraSim_PinLevel(3, 2), 'Z');
    EXPECT_EQ(VeltraSim_PinLevel(3, 1), 'L');
}

TEST_F(SimBoard, ErrorsNameTheLineKeyAndProblemAndKeepThePreviousBoard) {
    const std::string device = "[[tap]]\nnumber = 1\n[[tap.device]]\n";
    const struct {
        std::string toml;
        std::string error;
    } cases[] = {
        {"[controler]\n", "board text:1: controler: unknown key"},
        {"controller = 1\n", "board text:1: controller: must be a table"},
        {"tap = [1]\n", "board text:1: tap[0]: must be a table"},
        {"[controller]\nspeed = 1\n", "board text:2: controller.speed: unknown key"},
        {"[controller]\nversion = \"1.65536\"\n",
         "board text:2: controller.version: parts must be 0 to 65535"},
        {"[controller]\nbuffer_depths = [4, 0]\n",
         "board text:2: controller.buffer_depths[1]: must be 1 to 4294967295, not 0"},
        {"[controller]\ntype = \"six\"\n", "board text:2: controller.type: must be an integer"},
        {"[controller]\nversion = \"2\"\n",
         "board text:2: controller.version: must be \"major.minor\", not \"2\""},
        {"[[tap]]\nnumber = 33\n", "board text:2: tap[0].number: must be 1 to 32, not 33"},
        {"[[tap]]\nnumber = 1\n[[tap]]\nnumber = [2, 1]\n",
         "board text:4: tap[1].number: TAP 1 is described twice"},
        {device, "board text:3: tap[0].device[0].ir_length: is missing"},
        {device + "ir_length = 1\n",
         "board text:4: tap[0].device[0].ir_length: must be 2 to 4096, not 1"},
        {device + "ir_length = 4\nir_capture = 2\n",
         "board text:5: tap[0].device[0].ir_capture: must end in binary 01"},
        {device + "ir_length = 8\ninstructions = { X = 0x100 }\n",
         "board text:5: tap[0].device[0].instructions.X: does not fit in 8 bits"},
        {device + "ir_length = 2\ninstructions = { X = 3 }\n",
         "board text:5: tap[0].device[0].instructions.X: all ones is the BYPASS opcode"},
        {device + "ir_length = 2\ninstructions = { IDCODE = 1 }\n",
         "board text:5: tap[0].device[0].instructions.IDCODE: the device has no idcode"},
        {device + "ir_length = 2\nidcode = 0x10\n",
         "board text:5: tap[0].device[0].idcode: must have bit 0 set"},
        {device +
             "ir_length = 2\n[[tap.device.register]]\nname = \"R\"\nlength = 4\nvalue = \"1G\"\n",
         "board text:8: tap[0].device[0].register[0].value: 'G' is not a hex digit"},
        {device + "ir_length = 2\n[[tap.device.register]]\nname = \"R\"\nlength = 4\ninstructions "
                  "= [\"EXTEST\"]\n",
         "board text:8: tap[0].device[0].register[0].instructions[0]: no instruction named "
         "'EXTEST'"},
        {"[pod]\nin_use = [\"5.1\"]\n",
         "board text:2: pod.in_use[0]: \"5.1\" is not a pod pin \"tap.pin\" (1.1 to 4.4)"},
        {"[pod]\nwire = [{ from = \"1.1\", to = \"VPP_E\" }]\n",
         "board text:2: pod.wire[0].to: a pod signal cannot be used here"},
    };
    sim.LoadBoard("[[tap]]\nnumber = 1\ndevice = [{ ir_length = 2, idcode = 0x5 }]\n");
    for (const auto& c : cases) {
        EXPECT_NE(VeltraSim_LoadBoardText(c.toml.c_str()), 0) << c.toml;
        EXPECT_EQ(std::string(VeltraSim_LastError()), c.error) << c.toml;
        EXPECT_EQ(Dr(api, 0, 32), 0x5u) << "a failed load keeps the previous board";
    }
    EXPECT_NE(VeltraSim_LoadBoardText("[controller\n"), 0);
    EXPECT_EQ(std::string(VeltraSim_LastError()).rfind("board text:1:", 0), 0u)
        << VeltraSim_LastError();
}

TEST_F(SimBoard, BoardFilesLoadFromDisk) {
    svftest::TempDir dir;
    const std::string path = dir.Write("board.toml", "[controller]\nfrequency_khz = 250\n");
    ASSERT_EQ(VeltraSim_LoadBoardFile(path.c_str()), 0) << VeltraSim_LastError();
    EXPECT_EQ(InfoWord(api, VELTRA_INFO_WORD_FREQUENCY), 250u);
    const std::string missing = dir.PathOf("missing.toml");
    EXPECT_NE(VeltraSim_LoadBoardFile(missing.c_str()), 0);
    EXPECT_EQ(std::string(VeltraSim_LastError()), missing + ": cannot open the board file");
    const auto folder = std::filesystem::path(SVF_EXAMPLES_DIR) / "boards";
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        EXPECT_EQ(VeltraSim_LoadBoardFile(entry.path().string().c_str()), 0) << entry.path();
    }
}

}  // namespace
