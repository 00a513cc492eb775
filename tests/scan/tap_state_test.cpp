// The walk of a state path and the lazily set stop state, read from the
// controller call trace.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/tap_state.h"
#include "svf/svf_fixture.h"

namespace {

using svftest::ErrorAt;
using svftest::TraceOf;
using Strings = std::vector<std::string>;

class TapStateTest : public svftest::SvfFixture {
protected:
    void SetUp() override {
        Start({});
        session().reader.lineNumber = 7;
        VeltraSim_SetErrorText("boom");
    }
    svf::Status Walk(const std::vector<int32_t>& path) {
        for (size_t i = 0; i < path.size(); ++i) session().tap.statePath[i] = path[i];
        session().tap.statePathLength = static_cast<int32_t>(path.size());
        return svf::RunStatePath(session());
    }
};

// ------------------------------------------------------------------ paths

struct PathCase {
    const char* name;
    std::vector<int32_t> path;
    int32_t startState;
    svf::Status status;
    Strings calls;
    int32_t endState;
};

class StatePath : public TapStateTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(StatePath, SendsOnlyTheStableStates) {
    const PathCase& c = GetParam();
    session().tap.tapState = c.startState;
    EXPECT_EQ(Walk(c.path), c.status);
    EXPECT_EQ(TraceOf({"SetTapState"}), c.calls);
    EXPECT_EQ(session().tap.tapState, c.endState);
    if (c.status == svf::kIllegalState) {
        EXPECT_EQ(log.Errors(), Strings{ErrorAt(7, "illegal state transition")});
    } else {
        EXPECT_TRUE(log.Errors().empty()) << log.Dump();
    }
}

INSTANTIATE_TEST_SUITE_P(
    TapState, StatePath,
    ::testing::Values(
        PathCase{"UnstableStatesBeforeAStableOne", {4, 5, 7, 2}, 0, svf::kOk, {"SetTapState 1 3 = 0"}, 2},
        PathCase{"EveryStableEntryInOrder", {2, 1}, 0, svf::kOk,
                 {"SetTapState 1 3 = 0", "SetTapState 1 2 = 0"}, 1},
        PathCase{"RepeatedStateIsSentAgain", {1, 1}, 1, svf::kOk,
                 {"SetTapState 1 2 = 0", "SetTapState 1 2 = 0"}, 1},
        PathCase{"StateCodes", {0, 1, 2, 3}, 0, svf::kOk,
                 {"SetTapState 1 1 = 0", "SetTapState 1 2 = 0", "SetTapState 1 3 = 0",
                  "SetTapState 1 4 = 0"},
                 3},
        PathCase{"EmptyFromStable", {}, 2, svf::kOk, {}, 2},
        PathCase{"EmptyBeforeAnyReset", {}, -1, svf::kIllegalState, {}, -1},
        PathCase{"EndsUnstable", {1, 4}, 0, svf::kIllegalState, {"SetTapState 1 2 = 0"}, 4}),
    svftest::CaseName<PathCase>);

TEST_F(TapStateTest, FailureStopsTheWalkAtTheFailingEntry) {
    sim.Script("SetTapState", 1, 2);
    EXPECT_EQ(Walk({1, 2, 3}), svf::kControllerFailed);
    EXPECT_EQ(TraceOf({"SetTapState"}), (Strings{"SetTapState 1 2 = 0", "SetTapState 1 3 = 1"}));
    EXPECT_EQ(session().tap.tapState, svf::kStateDrPause);
    EXPECT_EQ(log.Errors(), Strings{"SVF line      7 : Error\t: unable to set TAP state; boom"});
}

TEST_F(TapStateTest, UnsupportedSetTapStateSaysSo) {
    sim.Script("SetTapState", 2, 0);
    EXPECT_EQ(Walk({4, 1}), svf::kControllerFailed);
    EXPECT_EQ(log.Errors(), Strings{ErrorAt(7, "unable to set TAP state; function not supported")});
    EXPECT_TRUE(TraceOf({"GetErrorText"}).empty());
}

TEST_F(TapStateTest, UsesTheTesterTap) {
    session().connection.testerTap = 3;
    EXPECT_EQ(Walk({2}), svf::kOk);
    EXPECT_EQ(TraceOf({"SetTapState"}), Strings{"SetTapState 3 3 = 0"});
}

// ------------------------------------------------------------- stop state

TEST_F(TapStateTest, StopStateIsSetOncePerChange) {
    svf::SvfSession& s = session();
    s.tap.endIrState = svf::kStateIrPause;
    s.tap.endDrState = svf::kStateIdle;
    EXPECT_EQ(svf::SelectStopState(s, svf::ScanRegister::kIr), svf::kOk);
    EXPECT_EQ(svf::SelectStopState(s, svf::ScanRegister::kIr), svf::kOk);
    EXPECT_EQ(svf::SelectStopState(s, svf::ScanRegister::kDr), svf::kOk);
    EXPECT_EQ(svf::SelectStopState(s, svf::ScanRegister::kDr), svf::kOk);
    EXPECT_EQ(svf::SelectStopState(s, svf::ScanRegister::kIr), svf::kOk);
    EXPECT_EQ(TraceOf({"SetStopState"}),
              (Strings{"SetStopState 4 = 0", "SetStopState 2 = 0", "SetStopState 4 = 0"}));
    EXPECT_EQ(s.tap.stopState, svf::kStateIrPause);
}

TEST_F(TapStateTest, RefusedStopStateIsKeptAndTriedAgain) {
    svf::SvfSession& s = session();
    s.tap.stopState = svf::kStateIdle;
    s.tap.endDrState = svf::kStateDrPause;
    sim.Script("SetStopState", 1, 1);
    EXPECT_EQ(svf::SelectStopState(s, svf::ScanRegister::kDr), svf::kControllerFailed);
    EXPECT_EQ(s.tap.stopState, svf::kStateIdle);
    EXPECT_EQ(log.Errors(), Strings{"Error: Setting stop state failed; boom"});
    EXPECT_EQ(svf::SelectStopState(s, svf::ScanRegister::kDr), svf::kOk);
    EXPECT_EQ(s.tap.stopState, svf::kStateDrPause);
    EXPECT_EQ(TraceOf({"SetStopState"}), (Strings{"SetStopState 3 = 1", "SetStopState 3 = 0"}));
}

}  // namespace
