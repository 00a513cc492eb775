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
using simtest::Ir;
using simtest::Value;
using simtest::Words;
using svftest::SimSession;

// TDI -> first (IR 4, IDCODE) -> middle (IR 8, no IDCODE, 12-bit DATA) ->
// last (IR 5, IDCODE) -> TDO.
const char* const kThreeDevices = R"(
[[tap]]
number = 1
  [[tap.device]]
  name = "first"
  ir_length = 4
  idcode = 0x10000001
  instructions = { IDCODE = 0x1, BYPASS = 0xF }
  [[tap.device]]
  name = "middle"
  ir_length = 8
  ir_capture = 0x05
  instructions = { DATA = 0x02, BYPASS = 0xFF }
    [[tap.device.register]]
    name = "DATA"
    length = 12
    mode = "read_back"
  [[tap.device]]
  name = "last"
  ir_length = 5
  idcode = 0x30000003
)";

TEST(SimBoard, ThreeDeviceChainCapturesInChainOrder) {
    SimSession sim;
    sim.LoadBoard(kThreeDevices);
    const VeltraApi& api = *sim.api();
    // IR captures: last at bits 0-4, middle at 5-12, first at 13-16.
    EXPECT_EQ(Ir(api, 0x1FFFF, 17), 0x1u | 0x05u << 5 | 0x1u << 13);
    ASSERT_EQ(api.ResetTap(1), 0u);
    std::vector<uint16_t> tdo(5, 0);
    ASSERT_EQ(api.ShiftDr(1, nullptr, 65, tdo.data()), 0u);
    EXPECT_EQ(Value(tdo, 32), 0x30000003u);  // the device nearest TDO comes out first
    EXPECT_EQ(tdo[2] & 1u, 0u);              // middle: BYPASS captures 0
    EXPECT_EQ((Value({tdo[2], tdo[3], tdo[4]}, 33) >> 1), 0x10000001u);
    EXPECT_EQ(VeltraSim_DeviceState(1, 2), 1);
    EXPECT_EQ(VeltraSim_DeviceState(1, 3), -1);
}

TEST(SimBoard, BypassedNeighboursFrameAReadBackRegister) {
    SimSession sim;
    sim.LoadBoard(kThreeDevices);
    const VeltraApi& api = *sim.api();
    Ir(api, 0x1F | 0x02 << 5 | 0xF << 13, 17);  // last BYPASS, middle DATA, first BYPASS
    Dr(api, 0xABC << 1, 14);                     // one bypass bit on each side
    EXPECT_EQ(Dr(api, 0, 14), 0xABCu << 1);
}

TEST(SimBoard, GangedCompareReportsEachFailingTap) {
    SimSession sim;
    sim.LoadBoard(R"(
[[tap]]
number = [1, 2]
device = [{ ir_length = 2, idcode = 0x0000AAAB }]
[[tap]]
number = 3
device = [{ ir_length = 2, idcode = 0x0000BBBB }]
)");
    const VeltraApi& api = *sim.api();
    ASSERT_EQ(api.SetGanging(1, 0x7), 0u);
    const std::vector<uint16_t> expected = Words(0xAAAB, 16);
    std::vector<uint16_t> tdo(1, 0);
    ASSERT_EQ(api.ShiftDrCompare(1, nullptr, 16, tdo.data(), expected.data(), nullptr), 0u);
    uint32_t failMask = 0;
    ASSERT_EQ(api.GetCompareResult(&failMask), 0u);
    EXPECT_EQ(failMask, 0x4u);
    EXPECT_EQ(tdo[0], 0xAAABu);  // TDO of the addressed TAP
    ASSERT_EQ(api.SetGanging(1, 0), 0u);
    EXPECT_EQ(Dr(api, 0, 8, 4), 0xFFu);  // an undescribed TAP has no devices: TDO reads high
}

TEST(SimBoard, ControllerPropertiesComeFromTheBoard) {
    SimSession sim;
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
)");
    const VeltraApi& api = *sim.api();
    EXPECT_EQ(VeltraSim_ControllerVersion(), 0x10009u);
    const uint32_t* record = nullptr;
    ASSERT_EQ(api.GetControllerInfo(&record), 0u);
    EXPECT_EQ(record[0], VELTRA_INFO_TYPE_VALID | VELTRA_INFO_FREQUENCY_VALID);
    EXPECT_EQ(record[VELTRA_INFO_WORD_TYPE], 3u);
    EXPECT_EQ(record[VELTRA_INFO_WORD_FREQUENCY], 500u);
    EXPECT_EQ(record[VELTRA_INFO_WORD_LONG_SHIFT_A], 0u);
    EXPECT_EQ(api.ShiftDrLong(1, nullptr, 8, nullptr, nullptr, nullptr), VELTRA_NOT_SUPPORTED);
    EXPECT_EQ(api.SetBuffering(128), VELTRA_DEPTH_REFUSED);
    EXPECT_EQ(api.SetBuffering(1), 0u);
    EXPECT_EQ(api.SetTckIdleState(1), VELTRA_NOT_SUPPORTED);
    EXPECT_EQ(api.SetGanging(1, 3), VELTRA_NOT_SUPPORTED);
    ASSERT_EQ(api.SetFrequency(20000), 0u);
    ASSERT_EQ(api.GetControllerInfo(&record), 0u);
    EXPECT_EQ(record[VELTRA_INFO_WORD_FREQUENCY], 8000u);  // limited to the maximum
    EXPECT_EQ(Dr(api, 0, 32), 0x0123A093u);  // no [[tap]]: the default chain stays
}

TEST(SimBoard, PodWiringCarriesDrivenLevels) {
    SimSession sim;
    sim.LoadBoard(R"(
[pod]
pull = "low"
in_use = ["2.4"]
wire = [{ from = "1.1", to = "1.2" }, { from = "USER1", to = "1.3" }]
drive = [{ pin = "2.4", level = "high" }]
)");
    const VeltraApi& api = *sim.api();
    uint32_t readBack = 99;
    EXPECT_EQ(VeltraSim_PinLevel(1, 2), 'L');
    ASSERT_EQ(api.AccessPioPins(1, 0x3, 0x1, 0x1, &readBack), 0u);
    EXPECT_EQ(readBack, 0x3u);
    EXPECT_EQ(VeltraSim_PinLevel(1, 2), 'H');
    ASSERT_EQ(api.AccessPioPins(1, 0x3, 0x1, 0x0, &readBack), 0u);
    EXPECT_EQ(readBack, 0x0u);
    ASSERT_EQ(api.AccessPioPins(1, 0x1, 0x0, 0x0, &readBack), 0u);  // release pin 1
    EXPECT_EQ(VeltraSim_PinLevel(1, 2), 'L');
    EXPECT_EQ(VeltraSim_PinLevel(1, 3), 'L');
    ASSERT_EQ(api.SetPodSignal(1, 1, 1), 0u);
    EXPECT_EQ(VeltraSim_PodSignal(1), 1);
    EXPECT_EQ(VeltraSim_PinLevel(1, 3), 'H');
    uint32_t pins = 0;
    uint32_t levels = 0;
    ASSERT_EQ(api.GetPodInfo(2, &pins, &levels), 0u);
    EXPECT_EQ(pins, 0x8u);
    EXPECT_EQ(levels, 0x8u);
    EXPECT_EQ(api.AccessPioPins(5, 1, 1, 1, &readBack), 1u);
    EXPECT_STREQ(api.GetErrorText(), "TAP 5 has no I/O pins (TAPs 1 to 4)");
}

TEST(SimBoard, FloatingPinShowsZAndReadsHigh) {
    SimSession sim;
    sim.LoadBoard("[pod]\npull = \"none\"\n");
    uint32_t readBack = 0;
    ASSERT_EQ(sim.api()->AccessPioPins(3, 0xF, 0x1, 0x0, &readBack), 0u);
    EXPECT_EQ(readBack, 0xEu);
    EXPECT_EQ(VeltraSim_PinLevel(3, 2), 'Z');
    EXPECT_EQ(VeltraSim_PinLevel(3, 1), 'L');
}

TEST(SimBoard, ErrorsNameTheLineKeyAndProblem) {
    const std::string device = "[[tap]]\nnumber = 1\n[[tap.device]]\n";
    const struct {
        std::string toml;
        std::string error;
    } cases[] = {
        {"[controler]\n", "board text:1: controler: unknown key"},
        {"[controller]\ntype = \"six\"\n", "board text:2: controller.type: must be an integer"},
        {"[controller]\nversion = \"2\"\n",
         "board text:2: controller.version: must be \"major.minor\", not \"2\""},
        {"[[tap]]\nnumber = 33\n", "board text:2: tap[0].number: must be 1 to 32, not 33"},
        {"[[tap]]\nnumber = 1\n[[tap]]\nnumber = [2, 1]\n",
         "board text:4: tap[1].number: TAP 1 is described twice"},
        {device, "board text:3: tap[0].device[0].ir_length: is missing"},
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
        {device + "ir_length = 2\n[[tap.device.register]]\nname = \"R\"\nlength = 4\nvalue = \"1G\"\n",
         "board text:8: tap[0].device[0].register[0].value: 'G' is not a hex digit"},
        {device + "ir_length = 2\n[[tap.device.register]]\nname = \"R\"\nlength = 4\ninstructions = [\"EXTEST\"]\n",
         "board text:8: tap[0].device[0].register[0].instructions[0]: no instruction named 'EXTEST'"},
        {"[pod]\nin_use = [\"5.1\"]\n",
         "board text:2: pod.in_use[0]: \"5.1\" is not a pod pin \"tap.pin\" (1.1 to 4.4)"},
        {"[pod]\nwire = [{ from = \"1.1\", to = \"VPP_E\" }]\n",
         "board text:2: pod.wire[0].to: a pod signal cannot be used here"},
    };
    for (const auto& c : cases) {
        SimSession sim;
        EXPECT_NE(VeltraSim_LoadBoardText(c.toml.c_str()), 0) << c.toml;
        EXPECT_EQ(std::string(VeltraSim_LastError()), c.error) << c.toml;
    }
}

TEST(SimBoard, FailedLoadKeepsThePreviousBoard) {
    SimSession sim;
    sim.LoadBoard("[[tap]]\nnumber = 1\ndevice = [{ ir_length = 2, idcode = 0x5 }]\n");
    EXPECT_NE(VeltraSim_LoadBoardText("[[tap]]\nnumber = 1\ndevice = [{ ir_length = 1 }]\n"), 0);
    EXPECT_NE(VeltraSim_LoadBoardText("[controller\n"), 0);
    EXPECT_EQ(std::string(VeltraSim_LastError()).rfind("board text:1:", 0), 0u)
        << VeltraSim_LastError();
    EXPECT_EQ(Dr(*sim.api(), 0, 32), 0x5u);
}

TEST(SimBoard, BoardFilesLoadFromDisk) {
    SimSession sim;
    svftest::TempDir dir;
    const std::string path = dir.Write("board.toml", "[controller]\nfrequency_khz = 250\n");
    ASSERT_EQ(VeltraSim_LoadBoardFile(path.c_str()), 0) << VeltraSim_LastError();
    const uint32_t* record = nullptr;
    ASSERT_EQ(sim.api()->GetControllerInfo(&record), 0u);
    EXPECT_EQ(record[VELTRA_INFO_WORD_FREQUENCY], 250u);
    const std::string missing = dir.PathOf("missing.toml");
    EXPECT_NE(VeltraSim_LoadBoardFile(missing.c_str()), 0);
    EXPECT_EQ(std::string(VeltraSim_LastError()), missing + ": cannot open the board file");
}

TEST(SimBoard, ExampleBoardsLoad) {
    const std::filesystem::path folder = std::filesystem::path(SVF_EXAMPLES_DIR) / "boards";
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        SimSession sim;
        EXPECT_EQ(VeltraSim_LoadBoardFile(entry.path().string().c_str()), 0) << VeltraSim_LastError();
        ++loaded;
    }
    EXPECT_GE(loaded, 2);
}

}  // namespace
