// RUNTEST execution, frequency changes and the MERLO correction switch,
// played through statements and read from the controller call trace. TCK
// runs at 1000 kHz unless a row says otherwise.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/waits.h"
#include "svf/svf_fixture.h"

namespace {

using Play = svftest::StatementRun;
using svftest::AtLine;
using svftest::Strings;

void Tck500(svf::SvfSession& s) { s.freq.tckFrequency = 500; }
void Tck2000(svf::SvfSession& s) { s.freq.tckFrequency = 2000; }
void Tck3000(svf::SvfSession& s) { s.freq.tckFrequency = 3000; }
void At500(svf::SvfSession& s) { s.freq.frequency = 500; }
void At500LimitNote(svf::SvfSession& s) {
    At500(s);
    s.freq.frequencyLimitNote = true;
}
void At500Fixed(svf::SvfSession& s) {
    At500(s);
    s.freq.fixedFrequency = true;
}

std::string Note(long line, const std::string& text) { return AtLine(line, "Note\t: " + text); }

class Waits : public svftest::SvfFixture {};

// Cycles spent on the move to the run state count; time is waited only for
// what the cycles do not cover.
TEST_F(Waits, RunTestClocksAndWaitsOnlyTheShortfall) {
    const std::string idle = "STATE IDLE;", move = "SetTapState 1 2 = 0";
    const std::string cyclesAndTime = "RUNTEST 1000 TCK 1E-3 SEC;";
    Check({
        Play({"RUNTEST 1 TCK;"}, svf::kOk, {}, {move}),
        Play({idle, cyclesAndTime}, svf::kOk, {}, {move, "WaitTck 1000 = 0"}),
        Play({idle, cyclesAndTime}, svf::kOk, {}, {move, "WaitTck 1000 = 0"}).With(Tck500),
        Play({idle, cyclesAndTime}, svf::kOk, {}, {move, "WaitTck 1000 = 0", "WaitTime 500 2 = 0"})
            .With(Tck2000),
        // A fraction of a microsecond is cut off.
        Play({idle, "RUNTEST 1 TCK 1E-5 SEC;"}, svf::kOk, {},
             {move, "WaitTck 1 = 0", "WaitTime 10 2 = 0"})
            .With(Tck3000),
        // The time of the move is not counted.
        Play({"RUNTEST DRPAUSE 2 TCK 2E-6 SEC;"}, svf::kOk, {},
             {"SetTapState 1 3 = 0", "WaitTck 1 = 0", "WaitTime 1 2 = 0"}),
        Play({"STATE IRPAUSE;", "RUNTEST IDLE 10 TCK ENDSTATE RESET;"}, svf::kOk,
             {AtLine(2, "RESET state may cause problems")},
             {"SetTapState 1 4 = 0", move, "WaitTck 9 = 0", "SetTapState 1 1 = 0"}),
    });
}

// A failed step ends RUNTEST at once: no later wait and no end-state move.
TEST_F(Waits, FailedStepEndsTheRunTest) {
    Check({
        Play({"STATE IDLE;", "RUNTEST 5 TCK 1E-4 SEC ENDSTATE DRPAUSE;"}, svf::kControllerFailed,
             {"Error: Wait TCK failed; boom"}, {"SetTapState 1 2 = 0", "WaitTck 5 = 2"})
            .Failing("WaitTck", VELTRA_NOT_SUPPORTED),
        Play({"STATE IDLE;", "RUNTEST 1E-4 SEC ENDSTATE DRPAUSE;"}, svf::kControllerFailed,
             {"Error: Wait time failed; boom"}, {"SetTapState 1 2 = 0", "WaitTime 100 2 = 1"})
            .Failing("WaitTime"),
        Play({"STATE DRPAUSE;", "RUNTEST IDLE 5 TCK ENDSTATE DRPAUSE;"}, svf::kControllerFailed,
             {svftest::ErrorAt(2, "unable to set TAP state; boom")},
             {"SetTapState 1 3 = 0", "SetTapState 1 2 = 1"})
            .Failing("SetTapState", VELTRA_FAILED, 2),
    });
}

// The limit is 1000 kHz; the run starts at 500 kHz.
TEST_F(Waits, FrequencyChanges) {
    const std::string ignored = "Warning\t: FREQUENCY statement ignored";
    Check({
        // One note of the limit per run; a confirmed change has the TCK
        // frequency asked again.
        Play({"FREQUENCY 5E6 HZ;", "FREQUENCY 4E5 HZ;", "FREQUENCY 6E6 HZ;",
              "RUNTEST 10 TCK 1E-6 SEC;"},
             svf::kOk,
             {Note(1, "Frequency limited to 1000 kHz"), Note(1, "Frequency set to 1000 kHz"),
              Note(2, "Frequency set to 400 kHz"), Note(3, "Frequency set to 1000 kHz")},
             {"SetFrequency 1000 = 0", "SetFrequency 400 = 0", "SetFrequency 1000 = 0",
              "SetTapState 1 2 = 0", "WaitTck 9 = 0", "GetControllerInfo * = 0"})
            .With(At500LimitNote),
        Play({"FREQUENCY 5E6 HZ;"}, svf::kOk, {Note(1, "Frequency set to 1000 kHz")},
             {"SetFrequency 1000 = 0"})
            .With(At500),
        // Unsupported, the frequency counts as set, silently.
        Play({"FREQUENCY 8E5 HZ;", "FREQUENCY 8E5 HZ;"}, svf::kOk, {}, {"SetFrequency 800 = 2"})
            .With(At500)
            .Failing("SetFrequency", VELTRA_NOT_SUPPORTED),
        Play({"FREQUENCY 8E5 HZ;"}, svf::kControllerFailed,
             {"Error: Setting frequency 800 kHz failed; boom"}, {"SetFrequency 800 = 1"})
            .Failing("SetFrequency"),
        // A fixed frequency ignores statements, with a warning below the limit.
        Play({"FREQUENCY 1E6 HZ;", "FREQUENCY 2E6 HZ;", "FREQUENCY 999E3 HZ;"}, svf::kOk,
             {AtLine(3, ignored)})
            .With(At500Fixed),
    });
}

// The correction mode follows the controller's answer: an unsupported switch
// leaves it as it was, so the end of the run switches it on again.
TEST_F(Waits, CorrectionSwitch) {
    const std::string off = "SetFlagLength 4294967295 1", on = "SetFlagLength 4294967295 2";
    Check({
        Play({"!// merlo_correction OFF;", "!// merlo_correction ON;"}, svf::kOk, {},
             {off + " = 0", on + " = 2", on + " = 0"})
            .Failing("SetFlagLength", VELTRA_NOT_SUPPORTED, 2),
        Play({"!// merlo_correction OFF;"}, svf::kControllerFailed,
             {"Error: Switching MERLO correction failed; boom"}, {off + " = 1"})
            .Failing("SetFlagLength"),
    });
}

// A controller whose information record gives a chosen TCK frequency.
uint32_t infoRecord[VELTRA_INFO_WORDS];
uint32_t infoCalls = 0;
uint32_t FakeControllerInfo(const uint32_t** record) {
    ++infoCalls;
    *record = infoRecord;
    return VELTRA_OK;
}

// The TCK frequency comes from the controller's record, else from the
// requested frequency, and is kept; unknown, the whole time is waited.
TEST_F(Waits, TckFrequencyIsAskedOnceWhenCyclesNeedIt) {
    const struct {
        bool valid;
        int32_t requested;
        uint32_t cycles;
        Strings waits;
        uint32_t questions;
    } rows[] = {
        {true, 1000, 1000, {"WaitTck 1000 = 0", "WaitTime 750 2 = 0"}, 1},
        {false, 2000, 1000, {"WaitTck 1000 = 0", "WaitTime 500 2 = 0"}, 1},
        // Unknown, it is asked again next time.
        {false, 0, 1000, {"WaitTck 1000 = 0", "WaitTime 1000 2 = 0"}, 2},
        {true, 1000, 0, {"WaitTime 1000 2 = 0"}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.requested);
        svftest::ClearTrace();
        VeltraApi api = *sim.api();
        api.GetControllerInfo = FakeControllerInfo;
        infoCalls = 0;
        infoRecord[0] = row.valid ? VELTRA_INFO_FREQUENCY_VALID : 0;
        infoRecord[VELTRA_INFO_WORD_FREQUENCY] = 4000;
        svf::SvfSession& s = Start({});
        s.host.api = &api;
        s.tap.tapState = svf::kStateIdle;
        s.freq.frequency = row.requested;
        for (int i = 0; i < 2; ++i) {
            s.tap.runTckCount = row.cycles;
            s.tap.runMinTime = 1000;
            EXPECT_EQ(svf::ExecuteRunTest(s), svf::kOk);
        }
        Strings twice = row.waits;
        twice.insert(twice.end(), row.waits.begin(), row.waits.end());
        EXPECT_EQ(svftest::TraceOf({"WaitTck", "WaitTime"}), twice);
        EXPECT_EQ(infoCalls, row.questions);
    }
}

}  // namespace
