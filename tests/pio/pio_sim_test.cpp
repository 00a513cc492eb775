// PIOMAP and PIO against veltra-sim: the controller calls in order and the
// levels the board sees on its pins.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pio/pio_statements.h"
#include "pio/pod_pins.h"
#include "support/messages.h"
#include "support/sim.h"
#include "support/test_session.h"
#include "svf/reader/reader.h"

namespace {

using svftest::MessageLog;
using svftest::SimSession;
using svftest::TestSession;
using svftest::TraceOf;

// VPP_E wired to pin 1 of TAP 2, the board holding pin 4 of TAP 1 low;
// undriven pins float high. (The loop-back of two TAP pins runs end to end
// in pio_e2e_test.cpp.)
constexpr const char* kBoard = R"(
[[tap]]
number = [1, 2]
  [[tap.device]]
  name = "device"
  ir_length = 8

[pod]
pull = "high"
in_use = ["1.4"]
  [[pod.wire]]
  from = "VPP_E"
  to = "2.1"
  [[pod.drive]]
  pin = "1.4"
  level = "low"
)";

const std::vector<std::string> kPioSlots = {"GetPodInfo", "AccessPioPins", "SetPodSignal"};

class PioSim : public testing::Test {
  protected:
    PioSim() : session_(log_) {
        sim_.LoadBoard(kBoard);
        session_->pio.pioEnabled = true;
        svf::PodPins& pod = session_->pio.pod;
        EXPECT_EQ(svf::AddPodPin(&pod, nullptr, 4, "Busy"), svf::kOk);
        EXPECT_EQ(svf::AddPodPin(&pod, nullptr, 5, "Prog"), svf::kOk);
        EXPECT_EQ(svf::AddPodPin(&pod, nullptr, svf::kPinCodeUser0, "User0"), svf::kOk);
        EXPECT_EQ(svf::AddPodPin(&pod, nullptr, svf::kPinCodeVppE, "Vpp_E"), svf::kOk);
    }

    svf::Status Run(int code, const std::string& body) {
        session_.SetLines({body});
        return svf::HandlePioStatement(code, *session_);
    }

    SimSession sim_;
    MessageLog log_;
    TestSession session_;
};

TEST_F(PioSim, KeptMappedPinSensesTheBoardLevel) {
    session_->options.keepMappedPins = true;
    ASSERT_EQ(Run(svf::kTokenPioMap, "(OUT Busy);"), svf::kOk) << log_.Dump();
    ASSERT_EQ(Run(svf::kTokenPio, "(D);"), svf::kOk) << log_.Dump();
    EXPECT_EQ(session_->counters.failureCount, 0u);
}

TEST_F(PioSim, PodSignalReachesItsWire) {
    ASSERT_EQ(Run(svf::kTokenPioMap, "(IN Vpp_E IN User0 OUT Prog);"), svf::kOk) << log_.Dump();
    svftest::ClearTrace();
    ASSERT_EQ(Run(svf::kTokenPio, "(LHD);"), svf::kOk) << log_.Dump();
    EXPECT_EQ(VeltraSim_PodSignal(0), 1);
    EXPECT_EQ(VeltraSim_PodSignal(2), 0);
    EXPECT_EQ(VeltraSim_PinLevel(2, 1), 'L');
    ASSERT_EQ(Run(svf::kTokenPio, "(HHD);"), svf::kOk) << log_.Dump();
    EXPECT_EQ(VeltraSim_PinLevel(2, 1), 'H');
    EXPECT_EQ(session_->counters.failureCount, 1u);
    EXPECT_EQ(TraceOf(kPioSlots),
              (std::vector<std::string>{"SetPodSignal 1 0 1 = 0", "SetPodSignal 1 2 0 = 0",
                                        "AccessPioPins 2 1 0 0 0 = 0", "SetPodSignal 1 0 1 = 0",
                                        "SetPodSignal 1 2 1 = 0", "AccessPioPins 2 1 0 0 1 = 0"}));
}

}  // namespace
