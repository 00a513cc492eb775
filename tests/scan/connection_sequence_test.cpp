// Init and terminate sequences of an indirect connection, played against
// veltra-sim and checked through its call trace.
#include "scan/connection_sequence.h"

#include <gtest/gtest.h>

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

constexpr const char* kShiftSlots[] = {"ShiftIr",
                                       "ShiftIrToPause",
                                       "ShiftDr",
                                       "ShiftDrToPause",
                                       "ShiftIrCompare",
                                       "ShiftDrCompare",
                                       "ShiftIrCompareToPause",
                                       "ShiftDrCompareToPause",
                                       "ShiftDrLong",
                                       "ShiftDrLongToPause",
                                       "SetTapState"};

class ConnectionSequenceTest : public testing::Test {
protected:
    ConnectionSequenceTest() : session_(log_) { svftest::ClearTrace(); }

    // A channel on tester TAP 1 with the given init and terminate sequence
    // bodies (between the keywords; "" = no sequence).
    void LoadSequences(const std::string& init, const std::string& term = "") {
        std::string text = "SYNTAX_VERSION 1.2\nTESTER_CHANNEL TAP1\n";
        if (!init.empty()) text += "INIT_SEQ " + init + " END_INIT_SEQ\n";
        text += "IR_SHIFT TAP1 END_IR_SHIFT DR_SHIFT TAP1 END_DR_SHIFT\n";
        if (!term.empty()) text += "TERM_SEQ " + term + " END_TERM_SEQ\n";
        text += "END_TESTER_CHANNEL\n";
        const std::string path = dir_.Write("board.cnn", text);
        session_->connection.cnnModel = svf::ReadCnnFile(path.c_str(), log_.report());
        ASSERT_FALSE(session_->connection.cnnModel.empty()) << log_.Dump();
    }

    static Lines Calls() {
        return svftest::TraceOf({std::begin(kShiftSlots), std::end(kShiftSlots)});
    }

    svftest::SimSession sim_;
    svftest::TempDir dir_;
    svftest::MessageLog log_;
    svftest::TestSession session_;
};

TEST_F(ConnectionSequenceTest, NothingIsSentWithoutModelOrSequence) {
    EXPECT_EQ(svf::PlayConnectionSequence(*session_, Sequence::kInit), svf::kOk);
    LoadSequences("");
    EXPECT_EQ(svf::PlayConnectionSequence(*session_, Sequence::kInit), svf::kOk);
    EXPECT_EQ(svf::PlayConnectionSequence(*session_, Sequence::kTerminate), svf::kOk);
    EXPECT_EQ(svftest::Trace(), Lines{});
    EXPECT_TRUE(log_.messages().empty());
}

TEST_F(ConnectionSequenceTest, IrStepShiftsPatternThenBypassOnesAndEndsInIdle) {
    // Written board TAP first, so the pattern comes first in list order.
    LoadSequences("IR TAP1 HLHLLHLH");
    session_->connection.irSpecifiedLength = 10;
    EXPECT_EQ(svf::PlayConnectionSequence(*session_, Sequence::kInit), svf::kOk) << log_.Dump();
    EXPECT_EQ(Calls(), (Lines{"ShiftIrToPause 1 A5 8 - = 0", "ShiftIrToPause 1 3FF 10 - = 0",
                              "SetTapState 1 2 = 0"}));
    EXPECT_EQ(session_->connection.irTotalLength, 10u);
    EXPECT_EQ(session_->tap.tapState, svf::kStateIdle);
}

TEST_F(ConnectionSequenceTest, IrLengthFoundInTheFileWinsOverTheJobs) {
    LoadSequences("", "IR HLHLLHLH TAP1");
    session_->connection.irTotalLength = 6;
    session_->connection.irSpecifiedLength = 10;
    EXPECT_EQ(svf::PlayConnectionSequence(*session_, Sequence::kTerminate), svf::kOk);
    EXPECT_EQ(Calls(), (Lines{"ShiftIrToPause 1 3F 6 - = 0", "ShiftIrToPause 1 A5 8 - = 0",
                              "SetTapState 1 2 = 0"}));
    EXPECT_EQ(session_->connection.irTotalLength, 6u);
}

struct UndefinedCase {
    const char* name;
    std::string init, term;
    Sequence which;
    Lines calls;
    std::string message;
    friend void PrintTo(const UndefinedCase& value, std::ostream* out) { *out << value.name; }
};

class UndefinedBitsTest : public ConnectionSequenceTest,
                          public testing::WithParamInterface<UndefinedCase> {};

TEST_P(UndefinedBitsTest, BoardTapWithoutKnownLengthStopsTheSequence) {
    const UndefinedCase& c = GetParam();
    LoadSequences(c.init, c.term);
    EXPECT_EQ(svf::PlayConnectionSequence(*session_, c.which), svf::kConnectionBitsUndefined);
    EXPECT_EQ(Calls(), c.calls);
    EXPECT_EQ(log_.Errors(), Lines{c.message});
    EXPECT_EQ(session_->connection.irTotalLength, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, UndefinedBitsTest,
    testing::Values(UndefinedCase{"IrBoardTapFirstInList",
                                  "IR HLHLLHLH TAP1",
                                  "",
                                  Sequence::kInit,
                                  {},
                                  "Error: Instruction Register bits undefined for CNN Init"},
                    UndefinedCase{"IrPatternFirstInList",
                                  "IR TAP1 HLHLLHLH",
                                  "",
                                  Sequence::kInit,
                                  {"ShiftIrToPause 1 A5 8 - = 0"},
                                  "Error: Instruction Register bits undefined for CNN Init"},
                    UndefinedCase{"IrInTerminate",
                                  "",
                                  "IR TAP1",
                                  Sequence::kTerminate,
                                  {},
                                  "Error: Instruction Register bits undefined for CNN Terminate"},
                    UndefinedCase{"BypassInInit",
                                  "DR HL TAP1",
                                  "",
                                  Sequence::kInit,
                                  {},
                                  "Error: Bypass Register bits undefined for CNN Init"},
                    UndefinedCase{"BypassInTerminateAfterAStep",
                                  "",
                                  "IR HL DR TAP1 LL",
                                  Sequence::kTerminate,
                                  {"ShiftIrToPause 1 2 2 - = 0", "SetTapState 1 2 = 0",
                                   "ShiftDrToPause 1 0 2 - = 0"},
                                  "Error: Bypass Register bits undefined for CNN Terminate"}),
    [](const testing::TestParamInfo<UndefinedCase>& param) {
        return std::string(param.param.name);
    });

TEST_F(ConnectionSequenceTest, DrBoardTapShiftsBypassZeros) {
    LoadSequences("DR TAP1");
    session_->connection.bypassBits = 3;
    EXPECT_EQ(svf::PlayConnectionSequence(*session_, Sequence::kInit), svf::kOk) << log_.Dump();
    EXPECT_EQ(Calls(), (Lines{"ShiftDrToPause 1 0 3 - = 0", "SetTapState 1 2 = 0"}));
}

TEST_F(ConnectionSequenceTest, LongDrShiftsMoveDrPatternsAndFillsInOneCall) {
    LoadSequences("DR HHLH TAP1 IR LH");
    session_->connection.bypassBits = 5;
    session_->compare.longDrShifts = true;
    EXPECT_EQ(svf::PlayConnectionSequence(*session_, Sequence::kInit), svf::kOk) << log_.Dump();
    EXPECT_EQ(Calls(),
              (Lines{"ShiftDrLongToPause 1 00 5 - - - = 0", "ShiftDrLongToPause 1 D 4 - - - = 0",
                     "SetTapState 1 2 = 0", "ShiftIrToPause 1 1 2 - = 0", "SetTapState 1 2 = 0"}));
}

TEST_F(ConnectionSequenceTest, TdioStepEndsTheSequenceAfterTheStepsBeforeIt) {
    LoadSequences("DR HL TDIO H IR LL");
    EXPECT_EQ(svf::PlayConnectionSequence(*session_, Sequence::kInit), svf::kTdioStep);
    EXPECT_EQ(Calls(), (Lines{"ShiftDrToPause 1 2 2 - = 0", "SetTapState 1 2 = 0"}));
    EXPECT_EQ(log_.Errors(), Lines{"Error: TDIO not supported"});
    EXPECT_EQ(session_->tap.tapState, svf::kStateIdle);
}

TEST_F(ConnectionSequenceTest, ControllerCompareUsesCompareFormsForPatternsOnly) {
    LoadSequences("", "IR TAP1 HHLL DR TAP1 LH");
    session_->compare.controllerCompare = true;
    session_->connection.irSpecifiedLength = 4;
    session_->connection.bypassBits = 2;
    EXPECT_EQ(svf::PlayConnectionSequence(*session_, Sequence::kTerminate), svf::kOk)
        << log_.Dump();
    EXPECT_EQ(Calls(), (Lines{"ShiftIrCompareToPause 1 C 4 - - - = 0", "ShiftIrToPause 1 F 4 - = 0",
                              "SetTapState 1 2 = 0", "ShiftDrCompareToPause 1 1 2 - - - = 0",
                              "ShiftDrToPause 1 0 2 - = 0", "SetTapState 1 2 = 0"}));
}

TEST_F(ConnectionSequenceTest, StepsUseTheTesterTap) {
    LoadSequences("DR LH");
    session_->connection.testerTap = 2;
    EXPECT_EQ(svf::PlayConnectionSequence(*session_, Sequence::kInit), svf::kOk) << log_.Dump();
    EXPECT_EQ(Calls(), (Lines{"ShiftDrToPause 2 1 2 - = 0", "SetTapState 2 2 = 0"}));
}

struct FailureCase {
    const char* name;
    const char* slot;
    uint32_t result;
    Lines calls;
    std::string message;
    friend void PrintTo(const FailureCase& value, std::ostream* out) { *out << value.name; }
};

class ControllerFailureTest : public ConnectionSequenceTest,
                              public testing::WithParamInterface<FailureCase> {};

TEST_P(ControllerFailureTest, FirstFailingCallEndsTheSequenceWith31) {
    const FailureCase& c = GetParam();
    LoadSequences("IR HL DR LH");
    VeltraSim_SetErrorText("link lost");
    sim_.Script(c.slot, c.result, 1);
    EXPECT_EQ(svf::PlayConnectionSequence(*session_, Sequence::kInit), svf::kControllerFailed);
    EXPECT_EQ(Calls(), c.calls);
    EXPECT_EQ(log_.Errors(), Lines{c.message});
}

INSTANTIATE_TEST_SUITE_P(
    Slots, ControllerFailureTest,
    testing::Values(FailureCase{"SetTapStateFails",
                                "SetTapState",
                                1,
                                {"ShiftIrToPause 1 2 2 - = 0", "SetTapState 1 2 = 1"},
                                "Error: Unable to set TAP state; link lost"},
                    FailureCase{"SetTapStateNotSupported",
                                "SetTapState",
                                2,
                                {"ShiftIrToPause 1 2 2 - = 0", "SetTapState 1 2 = 2"},
                                "Error: Unable to set TAP state; function not supported"},
                    FailureCase{"IrShiftFails",
                                "ShiftIrToPause",
                                1,
                                {"ShiftIrToPause 1 2 2 - = 1"},
                                "Error: Shift IR failed; link lost"},
                    FailureCase{"DrShiftNotSupported",
                                "ShiftDrToPause",
                                2,
                                {"ShiftIrToPause 1 2 2 - = 0", "SetTapState 1 2 = 0",
                                 "ShiftDrToPause 1 1 2 - = 2"},
                                "Error: Shift DR failed; function not supported"}),
    [](const testing::TestParamInfo<FailureCase>& param) { return std::string(param.param.name); });

TEST_F(ConnectionSequenceTest, BypassFillsAreCutIntoChunks) {
    session_->connection.irTotalLength = 65280 + 300;
    session_->connection.bypassBits = 65535;
    EXPECT_EQ(svf::ShiftIrBypassFill(*session_), svf::kOk) << log_.Dump();
    EXPECT_EQ(svf::ShiftDrBypassFill(*session_), svf::kOk) << log_.Dump();
    Lines counts;
    for (const std::string& call : Calls()) {
        // "Slot tap bits count ..." -> "Slot count"
        const size_t first = call.find(' ');
        const size_t second = call.find(' ', first + 1);
        const size_t third = call.find(' ', second + 1);
        const size_t fourth = call.find(' ', third + 1);
        counts.push_back(call.substr(0, first) + call.substr(third, fourth - third));
    }
    EXPECT_EQ(counts,
              (Lines{"ShiftIrToPause 65280", "ShiftIrToPause 300", "ShiftDrToPause 65535"}));
}

TEST_F(ConnectionSequenceTest, BypassFillsWithoutBitsSendNothing) {
    EXPECT_EQ(svf::ShiftIrBypassFill(*session_), svf::kOk);
    EXPECT_EQ(svf::ShiftDrBypassFill(*session_), svf::kOk);
    EXPECT_EQ(svftest::Trace(), Lines{});
}

}  // namespace
