// RUNTEST execution, frequency changes and the MERLO correction switch, read
// from the controller call trace.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/waits.h"
#include "svf/svf_fixture.h"

namespace {

using svftest::AtLine;
using svftest::TraceOf;
using Strings = std::vector<std::string>;

const Strings kRunSlots = {"SetTapState", "WaitTck", "WaitTime", "GetControllerInfo"};

class WaitsTest : public svftest::SvfFixture {
protected:
    void SetUp() override {
        Start({});
        session().reader.lineNumber = 3;
        VeltraSim_SetErrorText("boom");
    }
};

// ------------------------------------------------------------------ RUNTEST

struct RunCase {
    const char* name;
    int32_t tapState;
    int32_t runState;
    int32_t runEndState;
    uint32_t tckCount;
    uint32_t minTime;
    uint32_t tckFrequency;  // kHz, known before the statement
    Strings calls;
    int32_t endState;
};

class RunTestExecution : public WaitsTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(RunTestExecution, ClocksAndWaitsOnlyTheShortfall) {
    const RunCase& c = GetParam();
    svf::SvfSession& s = session();
    s.tap.tapState = c.tapState;
    s.tap.runState = c.runState;
    s.tap.runEndState = c.runEndState;
    s.tap.runTckCount = c.tckCount;
    s.tap.runMinTime = c.minTime;
    s.freq.tckFrequency = c.tckFrequency;
    EXPECT_EQ(svf::ExecuteRunTest(s), svf::kOk) << log.Dump();
    EXPECT_EQ(TraceOf(kRunSlots), c.calls);
    EXPECT_EQ(s.tap.tapState, c.endState);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, RunTestExecution,
    ::testing::Values(
        RunCase{"MoveCountsAsOneCycle", 2, 1, 1, 100, 0, 1000,
                {"SetTapState 1 2 = 0", "WaitTck 99 = 0"}, 1},
        RunCase{"SingleCycleSpentOnTheMove", 2, 1, 1, 1, 0, 1000, {"SetTapState 1 2 = 0"}, 1},
        RunCase{"CyclesCoverTheTimeAt1000Khz", 1, 1, 1, 1000, 1000, 1000, {"WaitTck 1000 = 0"}, 1},
        RunCase{"CyclesCoverTheTimeWhenSlower", 1, 1, 1, 1000, 1000, 500, {"WaitTck 1000 = 0"}, 1},
        RunCase{"ShortfallAt2000Khz", 1, 1, 1, 1000, 1000, 2000,
                {"WaitTck 1000 = 0", "WaitTime 500 2 = 0"}, 1},
        RunCase{"FractionOfAMicrosecondIsCutOff", 1, 1, 1, 1, 10, 3000,
                {"WaitTck 1 = 0", "WaitTime 10 2 = 0"}, 1},
        RunCase{"OnlyATime", 1, 1, 1, 0, 1000, 1000, {"WaitTime 1000 2 = 0"}, 1},
        RunCase{"TimeOfTheMoveIsNotCounted", 0, 2, 2, 2, 2, 1000,
                {"SetTapState 1 3 = 0", "WaitTck 1 = 0", "WaitTime 1 2 = 0"}, 2},
        RunCase{"EndStateAfterTheWait", 1, 1, 2, 10, 0, 1000,
                {"WaitTck 10 = 0", "SetTapState 1 3 = 0"}, 2},
        RunCase{"RunAndEndStateMoves", 3, 1, 0, 10, 0, 1000,
                {"SetTapState 1 2 = 0", "WaitTck 9 = 0", "SetTapState 1 1 = 0"}, 0}),
    svftest::CaseName<RunCase>);

// A controller whose information record gives a chosen TCK frequency.
uint32_t infoRecord[VELTRA_INFO_WORDS];
uint32_t infoCalls = 0;
uint32_t FakeControllerInfo(const uint32_t** record) {
    ++infoCalls;
    *record = infoRecord;
    return VELTRA_OK;
}

class TckFrequency : public WaitsTest {
protected:
    void SetUp() override {
        WaitsTest::SetUp();
        api_ = *sim.api();
        api_.GetControllerInfo = FakeControllerInfo;
        infoCalls = 0;
        for (uint32_t& word : infoRecord) word = 0;
        svf::SvfSession& s = session();
        s.host.api = &api_;
        s.tap.tapState = svf::kStateIdle;
        s.freq.tckFrequency = 0;
    }
    Strings RunTest(uint32_t cycles, uint32_t microseconds) {
        svftest::ClearTrace();
        session().tap.runTckCount = cycles;
        session().tap.runMinTime = microseconds;
        EXPECT_EQ(svf::ExecuteRunTest(session()), svf::kOk) << log.Dump();
        return TraceOf({"WaitTck", "WaitTime"});
    }
    VeltraApi api_{};
};

TEST_F(TckFrequency, ComesFromTheControllerRecordOnceAndIsKept) {
    infoRecord[0] = VELTRA_INFO_FREQUENCY_VALID;
    infoRecord[VELTRA_INFO_WORD_FREQUENCY] = 4000;
    session().freq.frequency = 1000;
    EXPECT_EQ(RunTest(1000, 1000), (Strings{"WaitTck 1000 = 0", "WaitTime 750 2 = 0"}));
    EXPECT_EQ(session().freq.tckFrequency, 4000u);
    EXPECT_EQ(RunTest(1000, 1000), (Strings{"WaitTck 1000 = 0", "WaitTime 750 2 = 0"}));
    EXPECT_EQ(infoCalls, 1u);
}

TEST_F(TckFrequency, FallsBackToTheRequestedFrequency) {
    infoRecord[VELTRA_INFO_WORD_FREQUENCY] = 4000;  // not marked valid
    session().freq.frequency = 2000;
    EXPECT_EQ(RunTest(1000, 1000), (Strings{"WaitTck 1000 = 0", "WaitTime 500 2 = 0"}));
    EXPECT_EQ(session().freq.tckFrequency, 2000u);
}

TEST_F(TckFrequency, UnknownFrequencyWaitsTheWholeTime) {
    session().freq.frequency = 0;
    EXPECT_EQ(RunTest(1000, 1000), (Strings{"WaitTck 1000 = 0", "WaitTime 1000 2 = 0"}));
}

TEST_F(TckFrequency, NoCyclesNoQuestion) {
    EXPECT_EQ(RunTest(0, 1000), Strings{"WaitTime 1000 2 = 0"});
    EXPECT_EQ(infoCalls, 0u);
}

// A failed step ends RUNTEST at once: no later wait and no end-state move.
TEST_F(WaitsTest, FailedStepEndsTheRunTestAtOnce) {
    struct Case {
        const char* slot;
        uint32_t result;
        int32_t tapState;
        uint32_t tckCount;
        int32_t endState;
        Strings calls;
        Strings errors;
    };
    const Case cases[] = {
        {"WaitTck", 2, svf::kStateIdle, 5, svf::kStateIdle, {"WaitTck 5 = 2"},
         {"Error: Wait TCK failed; boom"}},
        {"WaitTime", 1, svf::kStateIdle, 0, svf::kStateIdle, {"WaitTime 100 2 = 1"},
         {"Error: Wait time failed; boom"}},
        // The failed move leaves the state the TAP was sent to.
        {"SetTapState", 1, svf::kStateDrPause, 5, svf::kStateIdle, {"SetTapState 1 2 = 1"},
         {"SVF line      3 : Error\t: unable to set TAP state; boom"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slot);
        svftest::ClearTrace();
        log.Clear();
        sim.Script(c.slot, c.result, 0);
        svf::SvfSession& s = session();
        s.tap.tapState = c.tapState;
        s.tap.runState = svf::kStateIdle;
        s.tap.runEndState = svf::kStateDrPause;
        s.tap.runTckCount = c.tckCount;
        s.tap.runMinTime = 100;
        EXPECT_EQ(svf::ExecuteRunTest(s), svf::kControllerFailed);
        EXPECT_EQ(TraceOf(kRunSlots), c.calls);
        EXPECT_EQ(log.Errors(), c.errors);
        EXPECT_EQ(s.tap.tapState, c.endState);
        sim.Script(c.slot, VELTRA_OK, 0);
    }
}

// ---------------------------------------------------------------- frequency

class Frequency : public WaitsTest {
protected:
    void SetUp() override {
        WaitsTest::SetUp();
        session().freq.maxFrequency = 1000;
        session().freq.frequency = 500;
        session().freq.tckFrequency = 500;
    }
};

TEST_F(Frequency, LimitedToTheMaximumWithOneNotePerRun) {
    svf::SvfSession& s = session();
    s.freq.frequencyLimitNote = true;
    EXPECT_EQ(svf::ApplyFrequency(s, 5000), svf::kOk);
    EXPECT_EQ(svf::ApplyFrequency(s, 400), svf::kOk);
    EXPECT_EQ(svf::ApplyFrequency(s, 6000), svf::kOk);
    EXPECT_EQ(TraceOf({"SetFrequency"}),
              (Strings{"SetFrequency 1000 = 0", "SetFrequency 400 = 0", "SetFrequency 1000 = 0"}));
    EXPECT_EQ(log.Notes(),
              (Strings{AtLine(3, "Note\t: Frequency limited to 1000 kHz"),
                       AtLine(3, "Note\t: Frequency set to 1000 kHz"),
                       AtLine(3, "Note\t: Frequency set to 400 kHz"),
                       AtLine(3, "Note\t: Frequency set to 1000 kHz")}));
    EXPECT_EQ(s.freq.frequency, 1000);
    EXPECT_EQ(s.freq.tckFrequency, 0u) << "re-read after a confirmed change";
}

TEST_F(Frequency, LimitWithoutNoteWhenNotAsked) {
    EXPECT_EQ(svf::ApplyFrequency(session(), 5000), svf::kOk);
    EXPECT_EQ(log.Notes(), Strings{AtLine(3, "Note\t: Frequency set to 1000 kHz")});
}

TEST_F(Frequency, SameFrequencyMakesNoCall) {
    EXPECT_EQ(svf::ApplyFrequency(session(), 500), svf::kOk);
    EXPECT_TRUE(TraceOf({"SetFrequency"}).empty());
    EXPECT_TRUE(log.Texts().empty());
}

TEST_F(Frequency, UnsupportedSetFrequencyIsRecordedSilently) {
    sim.Script("SetFrequency", 2, 0);
    EXPECT_EQ(svf::ApplyFrequency(session(), 800), svf::kOk);
    EXPECT_EQ(session().freq.frequency, 800);
    EXPECT_EQ(session().freq.tckFrequency, 500u);
    EXPECT_TRUE(log.Texts().empty()) << log.Dump();
}

TEST_F(Frequency, RefusedFrequencyIsNotRecordedAndTriedAgain) {
    sim.Script("SetFrequency", 1, 1);
    EXPECT_EQ(svf::ApplyFrequency(session(), 800), svf::kControllerFailed);
    EXPECT_EQ(session().freq.frequency, 500);
    EXPECT_EQ(log.Errors(), Strings{"Error: Setting frequency 800 kHz failed; boom"});
    EXPECT_EQ(svf::ApplyFrequency(session(), 800), svf::kOk);
    EXPECT_EQ(TraceOf({"SetFrequency"}), (Strings{"SetFrequency 800 = 1", "SetFrequency 800 = 0"}));
}

TEST_F(Frequency, FixedFrequencyIgnoresStatements) {
    svf::SvfSession& s = session();
    s.freq.fixedFrequency = true;
    EXPECT_EQ(svf::ApplyFrequency(s, 1000), svf::kOk);
    EXPECT_EQ(svf::ApplyFrequency(s, 2000), svf::kOk);
    EXPECT_TRUE(log.Texts().empty()) << log.Dump();
    EXPECT_EQ(svf::ApplyFrequency(s, 999), svf::kOk);
    EXPECT_EQ(log.Warnings(), Strings{AtLine(3, "Warning\t: FREQUENCY statement ignored")});
    EXPECT_TRUE(TraceOf({"SetFrequency"}).empty());
    EXPECT_EQ(s.freq.frequency, 500);
}

// --------------------------------------------------------------- correction

TEST_F(WaitsTest, CorrectionModeFollowsTheControllerAnswer) {
    svf::SvfSession& s = session();
    EXPECT_EQ(svf::SwitchCorrection(s, svf::kCorrectionOff), svf::kOk);
    EXPECT_EQ(s.freq.correctionMode, svf::kCorrectionOff);

    sim.Script("SetFlagLength", 2, 1);
    EXPECT_EQ(svf::SwitchCorrection(s, svf::kCorrectionOn), svf::kOk);
    EXPECT_EQ(s.freq.correctionMode, svf::kCorrectionOff);

    sim.Script("SetFlagLength", 1, 1);
    EXPECT_EQ(svf::SwitchCorrection(s, svf::kCorrectionOn), svf::kControllerFailed);
    EXPECT_EQ(s.freq.correctionMode, svf::kCorrectionOff);
    EXPECT_EQ(log.Errors(), Strings{"Error: Switching MERLO correction failed; boom"});

    EXPECT_EQ(TraceOf({"SetFlagLength"}),
              (Strings{"SetFlagLength 4294967295 1 = 0", "SetFlagLength 4294967295 2 = 2",
                       "SetFlagLength 4294967295 2 = 1"}));
}

}  // namespace
