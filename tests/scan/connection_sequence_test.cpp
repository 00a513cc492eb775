// Init and terminate sequences of an indirect connection, played against
// veltra-sim and checked through its call trace.
#include "scan/connection_sequence.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cnn/cnn_file.h"
#include "support/files.h"
#include "support/messages.h"
#include "support/sim.h"
#include "support/test_session.h"

namespace {

using svf::Sequence;
using Lines = std::vector<std::string>;
using Prepare = void (*)(svf::SvfSession&);

Lines ShiftCalls() {
    return svftest::TraceOf({"ShiftIr", "ShiftIrToPause", "ShiftDr", "ShiftDrToPause",
                             "ShiftIrCompare", "ShiftDrCompare", "ShiftIrCompareToPause",
                             "ShiftDrCompareToPause", "ShiftDrLong", "ShiftDrLongToPause",
                             "SetTapState"});
}

// A channel on tester TAP 1 with the given init and terminate sequence bodies
// (between the keywords; "" = no sequence).
void LoadSequences(svftest::TestSession& session, svftest::MessageLog& log, const std::string& init,
                   const std::string& term) {
    std::string text = "SYNTAX_VERSION 1.2\nTESTER_CHANNEL TAP1\n";
    if (!init.empty()) text += "INIT_SEQ " + init + " END_INIT_SEQ\n";
    text += "IR_SHIFT TAP1 END_IR_SHIFT DR_SHIFT TAP1 END_DR_SHIFT\n";
    if (!term.empty()) text += "TERM_SEQ " + term + " END_TERM_SEQ\n";
    const svftest::TempDir dir;
    const std::string path = dir.Write("board.cnn", text + "END_TESTER_CHANNEL\n");
    session->connection.cnnModel = svf::ReadCnnFile(path.c_str(), log.report());
    ASSERT_FALSE(session->connection.cnnModel.empty()) << log.Dump();
}

void Ir10(svf::SvfSession& s) { s.connection.irSpecifiedLength = 10; }
// The IR length found in the file wins over the job's.
void Ir6Job10(svf::SvfSession& s) {
    s.connection.irTotalLength = 6;
    s.connection.irSpecifiedLength = 10;
}
void Bypass3(svf::SvfSession& s) { s.connection.bypassBits = 3; }
void LongBypass5(svf::SvfSession& s) {
    s.connection.bypassBits = 5;
    s.compare.longDrShifts = true;
}
void CompareIr4Bypass2(svf::SvfSession& s) {
    s.compare.controllerCompare = true;
    s.connection.irSpecifiedLength = 4;
    s.connection.bypassBits = 2;
}
void TesterTap2(svf::SvfSession& s) { s.connection.testerTap = 2; }
void SetTapStateFails(svf::SvfSession&) { VeltraSim_ScriptResult("SetTapState", 1, 1); }
void SetTapStateUnsupported(svf::SvfSession&) { VeltraSim_ScriptResult("SetTapState", 2, 1); }
void IrShiftFails(svf::SvfSession&) { VeltraSim_ScriptResult("ShiftIrToPause", 1, 1); }
void DrShiftUnsupported(svf::SvfSession&) { VeltraSim_ScriptResult("ShiftDrToPause", 2, 1); }

TEST(ConnectionSequence, PlaysItsStepsAndStopsAtTheFirstFailure) {
    const std::string kIrUndefined = "Error: Instruction Register bits undefined for CNN ";
    const std::string kBypassUndefined = "Error: Bypass Register bits undefined for CNN ";
    const std::string kIdle = "SetTapState 1 2 = 0";
    const struct {
        std::string init, term;
        Prepare setup;
        svf::Status status;
        Lines calls;
        Lines errors;
    } rows[] = {
        // The board TAP written first: its pattern comes first in list order.
        {"IR TAP1 HLHLLHLH",
         "",
         Ir10,
         svf::kOk,
         {"ShiftIrToPause 1 A5 8 - = 0", "ShiftIrToPause 1 3FF 10 - = 0", kIdle},
         {}},
        {"",
         "IR HLHLLHLH TAP1",
         Ir6Job10,
         svf::kOk,
         {"ShiftIrToPause 1 3F 6 - = 0", "ShiftIrToPause 1 A5 8 - = 0", kIdle},
         {}},
        {"DR TAP1", "", Bypass3, svf::kOk, {"ShiftDrToPause 1 0 3 - = 0", kIdle}, {}},
        // Long DR shifts move DR patterns and fills in one call each.
        {"DR HHLH TAP1 IR LH",
         "",
         LongBypass5,
         svf::kOk,
         {"ShiftDrLongToPause 1 00 5 - - - = 0", "ShiftDrLongToPause 1 D 4 - - - = 0", kIdle,
          "ShiftIrToPause 1 1 2 - = 0", kIdle},
         {}},
        // Controller compare: the compare forms for patterns only.
        {"",
         "IR TAP1 HHLL DR TAP1 LH",
         CompareIr4Bypass2,
         svf::kOk,
         {"ShiftIrCompareToPause 1 C 4 - - - = 0", "ShiftIrToPause 1 F 4 - = 0", kIdle,
          "ShiftDrCompareToPause 1 1 2 - - - = 0", "ShiftDrToPause 1 0 2 - = 0", kIdle},
         {}},
        {"DR LH",
         "",
         TesterTap2,
         svf::kOk,
         {"ShiftDrToPause 2 1 2 - = 0", "SetTapState 2 2 = 0"},
         {}},
        {"DR HL TDIO H IR LL",
         "",
         nullptr,
         svf::kTdioStep,
         {"ShiftDrToPause 1 2 2 - = 0", kIdle},
         {"Error: TDIO not supported"}},
        // A board TAP whose length is not known.
        {"IR HLHLLHLH TAP1",
         "",
         nullptr,
         svf::kConnectionBitsUndefined,
         {},
         {kIrUndefined + "Init"}},
        {"IR TAP1 HLHLLHLH",
         "",
         nullptr,
         svf::kConnectionBitsUndefined,
         {"ShiftIrToPause 1 A5 8 - = 0"},
         {kIrUndefined + "Init"}},
        {"", "IR TAP1", nullptr, svf::kConnectionBitsUndefined, {}, {kIrUndefined + "Terminate"}},
        {"DR HL TAP1", "", nullptr, svf::kConnectionBitsUndefined, {}, {kBypassUndefined + "Init"}},
        {"",
         "IR HL DR TAP1 LL",
         nullptr,
         svf::kConnectionBitsUndefined,
         {"ShiftIrToPause 1 2 2 - = 0", kIdle, "ShiftDrToPause 1 0 2 - = 0"},
         {kBypassUndefined + "Terminate"}},
        // The first failing controller call ends the sequence.
        {"IR HL DR LH",
         "",
         SetTapStateFails,
         svf::kControllerFailed,
         {"ShiftIrToPause 1 2 2 - = 0", "SetTapState 1 2 = 1"},
         {"Error: Unable to set TAP state; link lost"}},
        {"IR HL DR LH",
         "",
         SetTapStateUnsupported,
         svf::kControllerFailed,
         {"ShiftIrToPause 1 2 2 - = 0", "SetTapState 1 2 = 2"},
         {"Error: Unable to set TAP state; function not supported"}},
        {"IR HL DR LH",
         "",
         IrShiftFails,
         svf::kControllerFailed,
         {"ShiftIrToPause 1 2 2 - = 1"},
         {"Error: Shift IR failed; link lost"}},
        {"IR HL DR LH",
         "",
         DrShiftUnsupported,
         svf::kControllerFailed,
         {"ShiftIrToPause 1 2 2 - = 0", kIdle, "ShiftDrToPause 1 1 2 - = 2"},
         {"Error: Shift DR failed; function not supported"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.init + " / " + row.term);
        svftest::SimSession sim;
        svftest::MessageLog log;
        svftest::TestSession session(log);
        LoadSequences(session, log, row.init, row.term);
        VeltraSim_SetErrorText("link lost");
        if (row.setup != nullptr) row.setup(*session);
        const Sequence which = row.init.empty() ? Sequence::kTerminate : Sequence::kInit;
        EXPECT_EQ(svf::PlayConnectionSequence(*session, which), row.status);
        EXPECT_EQ(ShiftCalls(), row.calls);
        EXPECT_EQ(log.Errors(), row.errors);
    }
}

TEST(ConnectionSequence, NothingIsSentWithoutModelOrSequence) {
    svftest::SimSession sim;
    svftest::MessageLog log;
    svftest::TestSession session(log);
    EXPECT_EQ(svf::PlayConnectionSequence(*session, Sequence::kInit), svf::kOk);
    LoadSequences(session, log, "", "");
    EXPECT_EQ(svf::PlayConnectionSequence(*session, Sequence::kInit), svf::kOk);
    EXPECT_EQ(svf::PlayConnectionSequence(*session, Sequence::kTerminate), svf::kOk);
    // Bypass fills without bits send nothing either.
    EXPECT_EQ(svf::ShiftIrBypassFill(*session), svf::kOk);
    EXPECT_EQ(svf::ShiftDrBypassFill(*session), svf::kOk);
    EXPECT_EQ(svftest::Trace(), Lines{});
    EXPECT_TRUE(log.messages().empty());
}

TEST(ConnectionSequence, BypassFillsAreCutIntoChunks) {
    svftest::SimSession sim;
    svftest::MessageLog log;
    svftest::TestSession session(log);
    session->connection.irTotalLength = 65280 + 300;
    session->connection.bypassBits = 65535;
    EXPECT_EQ(svf::ShiftIrBypassFill(*session), svf::kOk) << log.Dump();
    EXPECT_EQ(svf::ShiftDrBypassFill(*session), svf::kOk) << log.Dump();
    Lines counts;  // "Slot tap bits count ..." -> "Slot count"
    for (const std::string& call : ShiftCalls()) {
        std::istringstream in(call);
        std::string slot, tap, bits, count;
        in >> slot >> tap >> bits >> count;
        counts.push_back(slot + " " + count);
    }
    EXPECT_EQ(counts,
              (Lines{"ShiftIrToPause 65280", "ShiftIrToPause 300", "ShiftDrToPause 65535"}));
}

}  // namespace
