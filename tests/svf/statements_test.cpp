// Every statement played through the dispatcher against veltra-sim: its
// status, its messages and the controller calls it makes. The session is a
// direct connection on tester TAP 1, TCK at 1000 kHz, the TAP just reset.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "svf/reader/reader.h"
#include "svf/state_statements.h"
#include "svf_fixture.h"

namespace {

using Play = svftest::StatementRun;
using svftest::Strings;

std::string E(long line, const std::string& text) { return svftest::ErrorAt(line, text); }
std::string W(long line, const std::string& text) { return svftest::WarningAt(line, text); }
std::string Note(long line, int khz) {
    return svftest::AtLine(line, "Note\t: Frequency set to " + std::to_string(khz) + " kHz");
}
// A DR or IR scan as the controller sees it: no capture, no compare.
std::string Dr(const std::string& tdi, int bits, const char* slot = "ShiftDr") {
    return std::string(slot) + " 1 " + tdi + " " + std::to_string(bits) + " - = 0";
}
std::string Ir(const std::string& tdi, int bits) { return Dr(tdi, bits, "ShiftIr"); }

void Version21(svf::SvfSession& s) { s.host.libraryVersion = 0x20001; }
void NoTrst(svf::SvfSession& s) { s.connection.trstForbidden = true; }
void Tap4(svf::SvfSession& s) { s.connection.testerTap = 4; }
void AvoidReset(svf::SvfSession& s) { s.connection.avoidResetState = true; }
void UnknownTap(svf::SvfSession& s) { s.tap.tapState = svf::kStateUnknown; }
void ControllerCompare(svf::SvfSession& s) { s.compare.controllerCompare = true; }
void HighLimit(svf::SvfSession& s) {
    s.freq.maxFrequency = 100000;
    s.freq.frequency = 0;
}
void Fixed(svf::SvfSession& s) {
    HighLimit(s);
    s.freq.fixedFrequency = true;
}
void Indirect(svf::SvfSession& s) { s.connection.cnnModel.emplace_back(); }
void Specified12(svf::SvfSession& s) {
    Indirect(s);
    s.connection.irTotalLength = s.connection.irSpecifiedLength = 12;
}
void Actual10Specified12(svf::SvfSession& s) {
    Indirect(s);
    s.connection.irTotalLength = 10;
    s.connection.irSpecifiedLength = 12;
}

class Statements : public svftest::SvfFixture {};

const std::string kEnd = "illegal end of file";

TEST_F(Statements, Dispatch) {
    std::vector<Play> runs = {
        Play(),
        Play({"!// ;", "//! ;;"}),
        Play({"STATE; ;"}, svf::kSyntax, {E(1, "unknown SVF command ;")}),
        // Outside a marked line the value is taken, then the ";" is refused.
        Play({"merlo_correction ON;"}, svf::kSyntax, {E(1, "unknown SVF command ;")},
             {"SetFlagLength 4294967295 2 = 0"}),
        // A statement may span lines: its messages name the line being read.
        Play({"FREQUENCY", "1E6", "HZ;", "", "bogus"}, svf::kSyntax,
             {E(5, "unknown SVF command bogus")}),
        Play({"FREQUENCY", "5E5", "HZ;"}, svf::kOk, {Note(3, 500)}, {"SetFrequency 500 = 0"}),
        Play({"SDR 8 TDI (00) TDO (00);"}, svf::kRunFailures, {}, {"ShiftDr 1 00 8 93 = 0"}),
        Play({"STATE;", "TRST ABSENT;"}, svf::kSyntax,
             {E(2, "TRST ABSENT should be the first SVF command")}),
        Play({"PIO (HL);"}, svf::kOk, {svftest::AtLine(1, "PIO statements ignored")}),
        Play({"PIOMAP (IN A);"}, svf::kOk, {svftest::AtLine(1, "PIOMAP statements ignored")}),
        // The end of the text inside a statement.
        Play({"TRST"}, svf::kEndOfFile, {E(1, kEnd)}),
        Play({"ENDIR"}, svf::kEndOfFile, {E(1, kEnd)}),
        Play({"ENDDR IDLE"}, svf::kEndOfFile, {E(1, kEnd)}),
        Play({"STATE IDLE", ""}, svf::kEndOfFile, {E(2, kEnd)}),
        Play({"RUNTEST"}, svf::kSyntax, {E(1, kEnd)}),
        Play({"RUNTEST 10 TCK"}, svf::kSyntax, {E(1, kEnd)}),
        Play({"FREQUENCY"}, svf::kSyntax, {E(1, kEnd)}),
        Play({"CLOCK 1E6 HZ"}, svf::kSyntax, {E(1, kEnd)}),
        Play({"FLAG"}, svf::kEndOfFile),
        Play({"FLAG 3"}, svf::kEndOfFile),
        Play({"merlo_correction"}, svf::kSyntax, {E(1, kEnd)}),
        Play({"!// merlo_correction ON"}, svf::kOk, {}, {"SetFlagLength 4294967295 2 = 0"}),
        Play({"SDR"}, svf::kEndOfFile, {E(1, kEnd)}),
        Play({"SDR 8 TDI (F"}, svf::kEndOfFile, {E(1, kEnd)}),
        Play({"SDR 8 TDI"}, svf::kEndOfFile, {E(1, kEnd)}),
        Play({"SDR 8 TDI (FF)"}, svf::kScanFieldsInterrupted, {E(1, kEnd)}),
        Play({"SDR", std::string(600, 'A')}, svf::kSyntax,
             {E(2, "maximum line length of 500 exceeded")}),
    };
    for (const char* word : {"TDI", "IDLE", "12", "bogus", ")", "(", ";", "TCK", "ON", "IN"}) {
        runs.push_back({{"STATE;", std::string("  ") + word + " 8;"},
                        svf::kSyntax,
                        {E(2, std::string("unknown SVF command ") + word)}});
    }
    Check(runs);
}

// commandCount numbers the statements of the ERROR file; executedCount
// tells TRST ABSENT whether it came first.
TEST_F(Statements, Counting) {
    struct Row {
        Strings lines;
        uint32_t commands;
        uint32_t executed;
    };
    const Row rows[] = {
        {{"STATE;", "STATE;"}, 2, 2},
        {{"STATE DRSHIFT;"}, 1, 0},
        {{"FREQUENCY 1E6 HZ;", "CLOCK;"}, 2, 0},
        {{"TRST Z;", "ENDDR IDLE;", "ENDIR DRPAUSE;", "!// merlo_correction ON;"}, 0, 0},
        {{"SDR bogus;"}, 1, 0},
        {{"SIR bogus;"}, 1, 0},
        {{"HDR bogus;"}, 0, 0},
        {{"PIO bogus;"}, 1, 1},
        {{"PIOMAP bogus;"}, 0, 0},
        {{"RUNTEST 10 MSEC;"}, 1, 0},
        {{"RUNTEST 10 TCK;", "RUNTEST 1E-3 SEC;"}, 2, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.lines.front());
        svf::SvfSession& s = Start(row.lines);
        svf::RunStatements(s);
        EXPECT_EQ(s.counters.commandCount, row.commands);
        EXPECT_EQ(s.reader.executedCount, row.executed);
    }
}

TEST_F(Statements, Trst) {
    Check({
        Play({"TRST ON;"}, svf::kOk, {}, {"SetTrst 1 0 = 0"}),
        Play({"TRST ON;"}, svf::kOk, {}, {"SetTrst 1 0 = 2", "PulseTrst 1 = 0"})
            .Failing("SetTrst", VELTRA_NOT_SUPPORTED),
        Play({"TRST ON;"}, svf::kOk, {}, {"PulseTrst 1 = 0"}).With(Version21),
        Play({"TRST ON;"}, svf::kControllerFailed, {E(1, "executing TRST ON failed; boom")},
             {"SetTrst 1 0 = 1"})
            .Failing("SetTrst"),
        Play({"TRST ON;"}, svf::kControllerFailed,
             {E(1, "executing TRST ON failed; function not supported")}, {"PulseTrst 1 = 2"})
            .With(Version21)
            .Failing("PulseTrst", VELTRA_NOT_SUPPORTED),
        Play({"TRST ON;"}, svf::kOk, {"SVF line      1 : TRST reset not allowed (ignored)"})
            .With(NoTrst),
        Play({"TRST ON;"}, svf::kOk, {}, {"SetTrst 4 0 = 0"}).With(Tap4),
        Play({"TRST OFF;"}, svf::kOk, {}, {"SetTrst 1 1 = 0"}),
        Play({"TRST OFF;"}, svf::kOk, {}, {"SetTrst 1 1 = 2"})
            .Failing("SetTrst", VELTRA_NOT_SUPPORTED),
        Play({"TRST OFF;"}, svf::kControllerFailed, {E(1, "executing TRST OFF failed; boom")},
             {"SetTrst 1 1 = 1"})
            .Failing("SetTrst"),
        Play({"TRST OFF;"}).With(Version21),
        Play({"TRST OFF;"}).With(NoTrst),
        Play({"TRST Z;"}),
        Play({"TRST MAYBE;"}),
        Play({"TRST ABSENT;"}),
        Play({"TRST ABSENT;", "TRST Z;"}, svf::kSyntax,
             {E(2, "TRST is already defined as ABSENT")}),
        // Without a value the semicolon is taken as the value.
        Play({"TRST;", "SDR 8;"}, svf::kSyntax, {E(2, "semicolon expected")}),
    });
}

TEST_F(Statements, FlagAndCorrection) {
    // FLAG reads a 32-bit long, saturating, and hands on its low 16 bits.
    Check({
        Play({"FLAG 3;", "FLAG -1;", "FLAG 70000;", "FLAG 99999999999;", "FLAG -99999999999;"},
             svf::kOk, {},
             {"SetFlagLength 1 3 = 0", "SetFlagLength 1 65535 = 0", "SetFlagLength 1 4464 = 0",
              "SetFlagLength 1 65535 = 0", "SetFlagLength 1 0 = 0"}),
        Play({"FLAG 3;", "STATE;"}, svf::kFlagRefused, {"Error: Setting flag length failed; boom"},
             {"SetFlagLength 1 3 = 1"})
            .Failing("SetFlagLength"),
        Play({"FLAG 3;"}, svf::kOk, {}, {"SetFlagLength 1 3 = 2"})
            .Failing("SetFlagLength", VELTRA_NOT_SUPPORTED),
        Play({"FLAG x;"}, svf::kSyntax, {E(1, "length expected")}),
        Play({"FLAG ;"}, svf::kSyntax, {E(1, "length expected")}),
        Play({"FLAG 3 4;"}, svf::kSyntax, {E(1, "semicolon expected")}),
        // Switched off, the correction is switched on again at the end.
        Play({"!// merlo_correction OFF;", "STATE;"}, svf::kOk, {},
             {"SetFlagLength 4294967295 1 = 0", "SetFlagLength 4294967295 2 = 0"}),
        Play({"!// merlo_correction 1;"}, svf::kOk, {W(1, "Flag value ON or OFF expected")}),
        // MAYBE ends the marked line: the value is the next line's first word.
        Play({"!// merlo_correction MAYBE;", "STATE;", "!// ;"}, svf::kSyntax,
             {W(2, "Flag value ON or OFF expected"), E(2, "unknown SVF command ;")}),
    });
}

TEST_F(Statements, Frequency) {
    const std::string kHz = "HZ expected after frequency value";
    const std::string kValue = "frequency value expected or semicolon";
    const std::string kZero = "frequency value must be greater than zero";
    const auto set = [](int khz) {
        return Strings{"SetFrequency " + std::to_string(khz) + " = 0"};
    };
    const auto minimum = [](const std::string& value) {
        return W(1,
                 "Frequency value of " + value + " is unsupported, minimum frequency is 1.0E3 HZ");
    };
    Check({
        Play({"FREQUENCY 1E6 HZ;"}, svf::kOk, {Note(1, 1000)}, set(1000)).With(HighLimit),
        Play({"FREQUENCY 2.5E6 hz ;"}, svf::kOk, {Note(1, 2500)}, set(2500)).With(HighLimit),
        Play({"FREQUENCY 1500.7 HZ;"}, svf::kOk, {Note(1, 1)}, set(1)).With(HighLimit),
        Play({"FREQUENCY 500 HZ;"}, svf::kOk, {minimum("500"), Note(1, 1)}, set(1)).With(HighLimit),
        Play({"FREQUENCY 0.5E3 HZ;"}, svf::kOk, {minimum("0.5E3"), Note(1, 1)}, set(1))
            .With(HighLimit),
        Play({"FREQUENCY 4 MHZ;"}, svf::kOk, {W(1, kHz), Note(1, 4000)}, set(4000)).With(HighLimit),
        Play({"FREQUENCY 100 KHZ;"}, svf::kOk, {W(1, kHz), Note(1, 100)}, set(100)).With(HighLimit),
        // No value, or too high a value, gives the highest frequency allowed.
        Play({"FREQUENCY;"}, svf::kOk, {Note(1, 100000)}, set(100000)).With(HighLimit),
        Play({"FREQUENCY 1E12 HZ;"}, svf::kOk, {Note(1, 100000)}, set(100000)).With(HighLimit),
        Play({"FREQUENCY 1E999 HZ;"}, svf::kOk, {Note(1, 100000)}, set(100000)).With(HighLimit),
        Play({"FREQUENCY 2E6 HZ;", "CLOCK 1E6 HZ;"}, svf::kOk, {Note(1, 2000), Note(2, 1000)},
             {"SetFrequency 2000 = 0", "SetFrequency 1000 = 0"})
            .With(HighLimit),
        Play({"FREQUENCY 500 HZ;"}, svf::kOk, {W(1, "FREQUENCY statement ignored")}).With(Fixed),
        Play({"FREQUENCY 0 HZ;"}, svf::kSyntax, {E(1, kZero)}),
        // 0 x 10^huge is 0, not NaN; 10^999 is infinity, as too large as any.
        Play({"FREQUENCY 0E34294967295 HZ;"}, svf::kSyntax, {E(1, kZero)}),
        Play({"FREQUENCY fast;"}, svf::kSyntax, {E(1, kValue)}),
        Play({"FREQUENCY 1.E6 HZ;"}, svf::kSyntax, {E(1, kValue)}),
        Play({"FREQUENCY 1E6 SEC;"}, svf::kSyntax, {E(1, kHz)}),
        Play({"FREQUENCY 1E6 HZ HZ;"}, svf::kSyntax, {E(1, "semicolon expected")}),
    });
}

// Only the stable states of a path reach the controller; end states choose
// the stop state, set before the first scan that needs it.
TEST_F(Statements, StatesAndEndStates) {
    std::string path;
    Strings moves;
    for (int i = 0; i < 24; ++i) {
        path += i % 2 == 0 ? "IRPAUSE " : "IDLE ";
        moves.push_back(i % 2 == 0 ? "SetTapState 1 4 = 0" : "SetTapState 1 2 = 0");
    }
    const std::string kReset = "RESET state may cause problems";
    Check({
        Play({"STATE DRSELECT DRCAPTURE", "DREXIT1 DRPAUSE IDLE;"}, svf::kOk, {},
             {"SetTapState 1 3 = 0", "SetTapState 1 2 = 0"}),
        Play({"STATE RESET IRPAUSE;"}, svf::kOk, {svftest::AtLine(1, kReset + " Changed to IDLE")},
             {"SetTapState 1 2 = 0", "SetTapState 1 4 = 0"})
            .With(AvoidReset),
        Play({"STATE " + path + ";"}, svf::kOk, {}, moves),
        Play({"STATE " + path + "IDLE;"}, svf::kSyntax, {E(1, "too many states, 24 allowed")}),
        Play({"STATE;"}, svf::kIllegalState, {E(1, "illegal state transition")}).With(UnknownTap),
        Play({"STATE IDLE DRSELECT;"}, svf::kSyntax, {E(1, "last state must be a stable state")}),
        Play({"STATE IDLE TDI;"}, svf::kSyntax, {E(1, "TAP state or semicolon expected")}),
        Play({"STATE IDLE;", "STATE;"}, svf::kControllerFailed,
             {E(1, "unable to set TAP state; boom")}, {"SetTapState 1 2 = 1"})
            .Failing("SetTapState"),
        Play({"ENDDR DRPAUSE;", "ENDIR irpause ;", "SDR 8 TDI (01);", "SDR 8 TDI (02);",
              "SIR 4 TDI (3);"},
             svf::kOk, {},
             {"SetStopState 3 = 0", Dr("01", 8, "ShiftDrToPause"), Dr("02", 8, "ShiftDrToPause"),
              "SetStopState 4 = 0", Dr("3", 4, "ShiftIrToPause")}),
        Play({"ENDDR RESET;", "SDR 8 TDI (01);"}, svf::kOk, {svftest::AtLine(1, kReset)},
             {"SetStopState 1 = 0", Dr("01", 8)}),
        Play({"ENDIR RESET;", "SIR 8 TDI (01);"}, svf::kOk,
             {svftest::AtLine(1, kReset + " Changed to IDLE")}, {Ir("01", 8)})
            .With(AvoidReset),
        // A refused stop state is reported; the scan still runs.
        Play({"ENDDR DRPAUSE;", "SDR 8 TDI (01);"}, svf::kOk,
             {"Error: Setting stop state failed; boom"},
             {"SetStopState 3 = 1", Dr("01", 8, "ShiftDrToPause")})
            .Failing("SetStopState"),
        Play({"ENDIR DRSHIFT;"}, svf::kSyntax, {E(1, "stable state expected")}),
        Play({"ENDDR IDLE IRPAUSE;"}, svf::kSyntax, {E(1, "semicolon expected")}),
    });
}

TEST_F(Statements, RunTestErrors) {
    const std::string kUnits = "\"TCK\", \"SEC\" expected";
    const std::string kZero = "run_count/min_time greater than zero";
    const std::string kCount = "run_count/min_time or stable state expected";
    const std::pair<const char*, std::string> rows[] = {
        {"10 MSEC;", kUnits},
        {"10 US;", kUnits},
        {"10 SCK;", "\"SCK\" units not supported"},
        {"0 TCK;", kZero},
        {"0.0 SEC;", kZero},
        {"0E999 TCK;", kZero},
        {"0E999 SEC;", kZero},
        {"1 SEC 2 SEC;", "\"ENDSTATE\" or \";\" expected"},
        {"100 TCK MAXIMUM 1 SEC;", "\"min_time\", \"ENDSTATE\" or \";\" expected"},
        {"1 SEC MAXIMUM 2 SEC;", "\"MAXIMUM\" not supported"},
        {"10 TCK 1 SEC MAXIMUM 2 SEC;", "\"MAXIMUM\" not supported"},
        {"TCK;", kCount},
        {"DRSHIFT 10 TCK;", kCount},
        {"IDLE IDLE 10 TCK;", kCount},
        {"1X TCK;", kCount},
        {"10 TCK 0 SEC;", "min_time greater than zero"},
        {"10 TCK 1E-3 TCK;", "\"SEC\" expected"},
        {"10 TCK ENDSTATE DRSHIFT;", "stable state expected"},
        {"10 TCK ENDSTATE IDLE IDLE", "semicolon expected"},
    };
    std::vector<Play> runs;
    for (const auto& [text, error] : rows) {
        runs.push_back({{std::string("RUNTEST ") + text}, svf::kSyntax, {E(1, error)}});
    }
    Check(runs);
}

// The TAP starts in RESET: the first RUNTEST moves it to the run state.
TEST_F(Statements, RunTestCalls) {
    Check({
        Play({"STATE IDLE;", "RUNTEST 1E-3 SEC;"}, svf::kOk, {},
             {"SetTapState 1 2 = 0", "WaitTime 1000 2 = 0"}),
        Play({"STATE IDLE;", "RUNTEST 1.5E-7 SEC;"}, svf::kOk, {},
             {"SetTapState 1 2 = 0", "WaitTime 1 2 = 0"}),
        Play({"STATE IDLE;", "RUNTEST 2.9 TCK;", "RUNTEST 0.5 TCK;"}, svf::kOk, {},
             {"SetTapState 1 2 = 0", "WaitTck 2 = 0", "WaitTck 1 = 0"}),
        Play({"STATE IDLE;", "RUNTEST 100 TCK 1E-3 SEC;"}, svf::kOk, {},
             {"SetTapState 1 2 = 0", "WaitTck 100 = 0", "WaitTime 900 2 = 0"}),
        Play({"STATE IDLE;", "RUNTEST DRPAUSE 10 TCK;"}, svf::kOk, {},
             {"SetTapState 1 2 = 0", "SetTapState 1 3 = 0", "WaitTck 9 = 0"}),
        Play({"RUNTEST IRPAUSE 10 TCK;", "RUNTEST 5 TCK;"}, svf::kOk, {},
             {"SetTapState 1 4 = 0", "WaitTck 9 = 0", "WaitTck 5 = 0"}),
        Play({"RUNTEST 10 TCK ENDSTATE DRPAUSE;", "RUNTEST 4 TCK;"}, svf::kOk, {},
             {"SetTapState 1 2 = 0", "WaitTck 9 = 0", "SetTapState 1 3 = 0", "SetTapState 1 2 = 0",
              "WaitTck 3 = 0", "SetTapState 1 3 = 0"}),
        Play({"RUNTEST RESET 3 TCK;"}, svf::kOk,
             {svftest::AtLine(1, "RESET state may cause problems")}, {"WaitTck 3 = 0"}),
    });
}

// Digits fill the pattern from its lowest bit; what the controller gets.
TEST_F(Statements, ScanPatterns) {
    Check({
        Play({"SDR 8 TDI (A5);", "SDR 8 TDI (a5);"}, svf::kOk, {}, {Dr("A5", 8), Dr("A5", 8)}),
        Play({"SDR 12 TDI (0FFF);"}, svf::kOk, {}, {Dr("FFF", 12)}),
        Play({"SDR 8 TDI (00000A5);", "SDR 8 TDI (00 0 0A5);"}, svf::kOk, {},
             {Dr("A5", 8), Dr("A5", 8)}),
        Play({"SDR 32 TDI (5);"}, svf::kOk, {}, {Dr("00000005", 32)}),
        Play({"SDR 5 TDI (3F);"}, svf::kOk, {}, {Dr("1F", 5)}),
        Play({"SDR 20 TDI (1", "2345);"}, svf::kOk, {}, {Dr("12345", 20)}),
        Play({"SDR 20 TDI (123", "! not digits", "// nor this", "45);"}, svf::kOk, {},
             {Dr("12345", 20)}),
        Play({"SDR 48 TDI (123456789);"}, svf::kOk, {}, {Dr("000123456789", 48)}),
        Play({"SDR 64 TDI (1234", "5678 9ABC);"}, svf::kOk, {}, {Dr("0000123456789ABC", 64)}),
        Play({"SDR 128 TDI (0123456789ABCDEF", "fedcba9876543210);"}, svf::kOk, {},
             {Dr("0123456789ABCDEFFEDCBA9876543210", 128)}),
        // A shorter value rewrites every word of the last one.
        Play({"SDR 48 TDI (FFFFFFFFFFFF);", "SDR 48 TDI (1 2345);"}, svf::kOk, {},
             {Dr("FFFFFFFFFFFF", 48), Dr("000000012345", 48)}),
        Play({"HIR 0;", "HIR 0 TDI (0);", "HDR 0 TDI (5);", "TDR 0 TDI ();", "SDR 4 TDI (6);"},
             svf::kOk, {}, {Dr("6", 4)}),
        // Headers and trailers of each register frame every scan of it.
        Play({"HIR 4 TDI (1);", "TIR 4 TDI (2);", "HDR 4 TDI (3);", "TDR 4 TDI (4);",
              "SIR 4 TDI (5);", "SDR 4 TDI (6);"},
             svf::kOk, {}, {Ir("251", 12), Dr("463", 12)}),
        Play({"HIR 4 TDI (A) TDO (6);", "TIR 2 TDI (3);", "SIR 8 TDI (5C);", "SIR 8 TDI (5C);"},
             svf::kOk, {},
             {"ShiftIrCompare 1 35CA 14 - 0006 3FF0 = 0",
              "ShiftIrCompare 1 35CA 14 - 0006 3FF0 = 0"})
            .With(ControllerCompare),
        // A header MASK without TDO leaves the header ignored; the body's MASK
        // reaches the controller inverted.
        Play({"HIR 4 TDI (A) MASK (3);", "TIR 2 TDI (3);", "SIR 8 TDI (5C) TDO (81) MASK (F0);"},
             svf::kOk, {}, {"ShiftIrCompare 1 35CA 14 - 0810 30FF = 0"})
            .With(ControllerCompare),
        // TDI, MASK and SMASK persist, TDO does not. The default board's
        // IDCODE answers 93; MASK 0F leaves only its low digit compared.
        Play({"SDR 8 TDI (00) MASK (0F);", "SDR 8 TDO (F3);", "SDR 8;"}, svf::kOk, {},
             {Dr("00", 8), "ShiftDr 1 00 8 93 = 0", Dr("00", 8)}),
        Play({"SDR 8 TDI (FF) MASK (0F) SMASK (3C);", "SDR 8 TDO (A5);"}, svf::kOk, {},
             {"ShiftDrCompare 1 3C 8 - - - = 0", "ShiftDrCompare 1 3C 8 - A5 F0 = 0"})
            .With(ControllerCompare),
        // A length change resets every pattern.
        Play({"SDR 8 TDI (FF) TDO (1) MASK (0F) SMASK (3C);", "SDR 4 TDI (F) TDO (3);"}, svf::kOk,
             {}, {"ShiftDrCompare 1 3C 8 - 01 F0 = 0", "ShiftDrCompare 1 F 4 - 3 - = 0"})
            .With(ControllerCompare),
        Play({"SDR 8 TDI (FF);", "SDR 16 TDO (FFFF);"}, svf::kSyntax,
             {E(2, "TDI must be defined at start and after length change")}, {Dr("FF", 8)}),
        Play({"SDR 8 TDI (01);"}, svf::kControllerFailed, {"Error: Shift DR failed; boom"},
             {"ShiftDr 1 01 8 - = 1"})
            .Failing("ShiftDr"),
    });
}

TEST_F(Statements, ScanErrors) {
    const std::string kZero = "illegal shift length 0";
    const std::string kLength = "length expected";
    Check({
        Play({"SDR 8 TDI (1A5);"}, svf::kSyntax, {E(1, "shift pattern too long")}),
        Play({"SDR 8 TDI (G0);"}, svf::kSyntax, {E(1, "illegal character 'G' in pattern")}),
        Play({"SDR 16 TDI (12", "3x);"}, svf::kSyntax, {E(2, "illegal character 'x' in pattern")}),
        Play({"SIR 0 TDI (0);"}, svf::kSyntax, {E(1, kZero)}),
        Play({"SDR 0;"}, svf::kSyntax, {E(1, kZero)}),
        Play({"SDR TDI (0);"}, svf::kSyntax, {E(1, kLength)}),
        Play({"SDR -8 TDI (0);"}, svf::kSyntax, {E(1, kLength)}),
        Play({"SDR 4294967296 TDI (0);"}, svf::kSyntax, {E(1, kLength)}),
        Play({"SDR 8 TDI (FF) TDI (00);"}, svf::kSyntax, {E(1, "TDI already defined")}),
        Play({"SDR 8 TDI (FF) TDO (1) TDO (00);"}, svf::kSyntax, {E(1, "TDO already defined")}),
        Play({"HDR 8 MASK (1) MASK (00);"}, svf::kSyntax, {E(1, "MASK already defined")}),
        Play({"HIR 8 SMASK (1)", "SMASK (00);"}, svf::kSyntax, {E(2, "SMASK already defined")}),
        Play({"SDR 8 TDI FF;"}, svf::kSyntax, {E(1, "opening bracket expected")}),
        Play({"SDR 8 TDI (FF) ENDDR;"}, svf::kSyntax,
             {E(1, "\"TDI\", \"TDO\", \"MASK\", \"SMASK\" or \";\" expected")}),
        Play({"SDR 16 TDO (FFFF);"}, svf::kSyntax,
             {E(1, "TDI must be defined at start and after length change")}),
    });
}

// An indirect connection frames every IR scan with fixed bits: the total IR
// length may not change once known.
TEST_F(Statements, IrLengthOfAnIndirectConnection) {
    const auto varies = [](long line, int header, int shift, const std::string& last) {
        return Strings{
            svftest::AtLine(line, "IR length varies, not allowed with indirect TAP connections"),
            "\t\tCurrent IR Header length:  " + std::to_string(header),
            "\t\tCurrent IR Trailer length: 0",
            "\t\tCurrent IR Shift length:   " + std::to_string(shift),
            "\t\tCurrent total IR length:   " + std::to_string(header + shift),
            last};
    };
    Check({
        Play({"HIR 2 TDI (0);", "TIR 0;", "SIR 8 TDI (FF);", "SIR 6 TDI (3F);"},
             svf::kIrLengthVaries, varies(4, 2, 6, "\t\tPrevious total IR length:  10"),
             {Ir("3FC", 10)})
            .With(Indirect),
        Play({"HIR 2 TDI (0);", "SIR 8 TDI (FF);", "HIR 4 TDI (0);", "SIR 6 TDI (3F);"}, svf::kOk,
             {}, {Ir("3FC", 10), Ir("3F0", 10)})
            .With(Indirect),
        Play({"SIR 8 TDI (FF);"}, svf::kIrLengthVaries,
             varies(1, 0, 8, "\t\tSpecified total IR length: 12"))
            .With(Specified12),
        Play({"HIR 2 TDI (0);", "SIR 8 TDI (FF);", "SIR 8 TDI (FF);"}, svf::kOk,
             {W(2, "Incorrect IR length specified"), "\t\tActual total IR length:    10",
              "\t\tSpecified total IR length: 12"},
             {Ir("3FC", 10), Ir("3FC", 10)})
            .With(Actual10Specified12),
        // A direct connection lets it vary.
        Play({"HIR 2 TDI (0);", "TIR 1 TDI (1);", "SIR 5 TDI (1F);", "SIR 3 TDI (7);"}, svf::kOk,
             {}, {Ir("FC", 8), Ir("3C", 6)}),
    });
}

// The SVF number syntax of FREQUENCY and RUNTEST values.
TEST(SvfNumber, AcceptsExactlyTheSvfForm) {
    const std::pair<const char*, double> accepted[] = {
        {"1", 1.0},          {"1.5", 1.5},          {"1E3", 1000.0}, {"1e+3", 1000.0},
        {"1.25E-2", 0.0125}, {"1E+-3", 0.001},      {"007", 7.0},    {"2.5E6", 2500000.0},
        {"1500.7", 1500.7},  {"0E34294967295", 0.0}};
    for (const auto& [text, expected] : accepted) {
        double value = -99.0;
        EXPECT_TRUE(svf::ParseSvfNumber(text, value)) << text;
        EXPECT_DOUBLE_EQ(value, expected) << text;
    }
    for (const char* text :
         {"1.", "1.E3", "1E", "1E+", "1X", "1E-+3", "0FF", "1.5.2", "1E3E3", ""}) {
        double value = 0;
        EXPECT_FALSE(svf::ParseSvfNumber(text, value)) << text;
    }
}

}  // namespace
