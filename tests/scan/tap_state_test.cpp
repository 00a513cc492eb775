// The walk of a state path and the lazily set stop state, played through
// STATE and scan statements and read from the controller call trace.
#include <gtest/gtest.h>

#include <string>

#include "svf/svf_fixture.h"

namespace {

using Play = svftest::StatementRun;
using svftest::ErrorAt;

void TesterTap3(svf::SvfSession& s) { s.connection.testerTap = 3; }

class TapState : public svftest::SvfFixture {};

TEST_F(TapState, PathsSendTheirStableStates) {
    const std::string kFailed = "unable to set TAP state; ";
    Check({
        Play({"STATE RESET IDLE DRPAUSE IRPAUSE;"}, svf::kOk,
             {svftest::AtLine(1, "RESET state may cause problems")},
             {"SetTapState 1 1 = 0", "SetTapState 1 2 = 0", "SetTapState 1 3 = 0",
              "SetTapState 1 4 = 0"}),
        // A state the TAP is in already is sent again.
        Play({"STATE IDLE;", "STATE IDLE IDLE;"}, svf::kOk, {},
             {"SetTapState 1 2 = 0", "SetTapState 1 2 = 0", "SetTapState 1 2 = 0"}),
        Play({"STATE DRPAUSE;"}, svf::kOk, {}, {"SetTapState 3 3 = 0"}).With(TesterTap3),
        // The walk stops at the failing entry.
        Play({"STATE IDLE DRPAUSE IRPAUSE;"}, svf::kControllerFailed,
             {ErrorAt(1, kFailed + "boom")}, {"SetTapState 1 2 = 0", "SetTapState 1 3 = 1"})
            .Failing("SetTapState", VELTRA_FAILED, 2),
        Play({"STATE IDLE;"}, svf::kControllerFailed,
             {ErrorAt(1, kFailed + "function not supported")}, {"SetTapState 1 2 = 2"})
            .Failing("SetTapState", VELTRA_NOT_SUPPORTED),
    });
}

TEST_F(TapState, StopStateIsSetOncePerChange) {
    const std::string sir = "SIR 4 TDI (1);", sdr = "SDR 4 TDI (2);";
    Check({
        Play({"ENDIR IRPAUSE;", sir, sir, sdr, sdr, sir}, svf::kOk, {},
             {"SetStopState 4 = 0", "ShiftIrToPause 1 1 4 - = 0", "ShiftIrToPause 1 1 4 - = 0",
              "SetStopState 2 = 0", "ShiftDr 1 2 4 - = 0", "ShiftDr 1 2 4 - = 0",
              "SetStopState 4 = 0", "ShiftIrToPause 1 1 4 - = 0"}),
        // Refused, it is tried again before the next scan.
        Play({"ENDDR DRPAUSE;", sdr, sdr}, svf::kOk, {"Error: Setting stop state failed; boom"},
             {"SetStopState 3 = 1", "ShiftDrToPause 1 2 4 - = 0", "SetStopState 3 = 0",
              "ShiftDrToPause 1 2 4 - = 0"})
            .Failing("SetStopState", VELTRA_FAILED, 1),
    });
}

}  // namespace
