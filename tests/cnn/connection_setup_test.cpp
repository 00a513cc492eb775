// Connection set-up from a CNN model or from the job's connection strings.
#include "cnn/connection_setup.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "cnn/cnn_file.h"
#include "support/files.h"
#include "support/messages.h"

namespace {

using svf::LeadTail;

// Bits of a lead or tail as H/L characters, highest bit first (the way the
// CNN file and the connection strings write them); "" when there are none.
std::string AsHl(const LeadTail& bits) {
    if (bits.bitCount == 0) return "";
    if (bits.bits == nullptr) return "<null>";
    std::string text;
    for (uint32_t i = bits.bitCount; i-- > 0;) {
        text += (bits.bits[i / 16] >> (i % 16) & 1) != 0 ? 'H' : 'L';
    }
    return text;
}

class ConnectionTest : public testing::Test {
protected:
    ConnectionTest() { session_.host.report = log_.report(); }

    // Reads `channels` (after the version line) into the session's model.
    void LoadModel(const std::string& channels) {
        const std::string path = dir_.Write("board.cnn", "SYNTAX_VERSION 1.2\n" + channels + "\n");
        session_.connection.cnnModel = svf::ReadCnnFile(path.c_str(), log_.report());
        ASSERT_NE(session_.connection.cnnModel, nullptr) << log_.Dump();
    }

    svftest::TempDir dir_;
    svftest::MessageLog log_;
    svf::SvfSession session_;
};

TEST_F(ConnectionTest, BoardTapBehindAnotherTesterTapIsNoted) {
    LoadModel("TESTER_CHANNEL TAP1 TAP3 END_TESTER_CHANNEL");
    session_.connection.boardTap = 3;
    session_.connection.testerTap = 3;
    EXPECT_TRUE(svf::CheckConnection(session_));
    EXPECT_EQ(session_.connection.testerTap, 1u);
    ASSERT_EQ(log_.messages().size(), 1u);
    EXPECT_EQ(log_.messages()[0].text, "Note: Board TAP3 connected to tester TAP1");
    EXPECT_EQ(log_.messages()[0].kind, uint32_t{SVF_MESSAGE_WARNING});
}

struct CheckCase {
    const char* name;
    std::string channels;  // "" = no model (the read failed)
    uint32_t boardTap;
    std::vector<std::string> warnings;
    friend void PrintTo(const CheckCase& value, std::ostream* out) { *out << value.name; }
};

class CheckConnectionTest : public ConnectionTest, public testing::WithParamInterface<CheckCase> {};

TEST_P(CheckConnectionTest, RefusesTheModelWithWarnings) {
    const CheckCase& check = GetParam();
    if (!check.channels.empty()) LoadModel(check.channels);
    session_.connection.boardTap = check.boardTap;
    session_.connection.testerTap = check.boardTap;
    EXPECT_FALSE(svf::CheckConnection(session_));
    EXPECT_EQ(session_.connection.testerTap, check.boardTap);
    EXPECT_EQ(log_.Warnings(), check.warnings);
    EXPECT_EQ(log_.Texts().size(), check.warnings.size()) << log_.Dump();
}

const std::string kTwoChannels =
    "TESTER_CHANNEL TAP1 TAP3 END_TESTER_CHANNEL TESTER_CHANNEL TAP2 TAP3 END_TESTER_CHANNEL";

INSTANTIATE_TEST_SUITE_P(
    Models, CheckConnectionTest,
    testing::Values(CheckCase{"NoModel", "", 1, {"Error parsing CNN file"}},
                    CheckCase{"WrongBoardTap",
                              "TESTER_CHANNEL TAP1 TAP3 END_TESTER_CHANNEL",
                              2,
                              {"Error: Board TAP not specified or not unique in CNN file"}},
                    CheckCase{"NoBoardTap",
                              "TESTER_CHANNEL TAP1 IR_SHIFT H END_IR_SHIFT DR_SHIFT L END_DR_SHIFT "
                              "END_TESTER_CHANNEL",
                              1,
                              {"Error: Board TAP not specified or not unique in CNN file"}},
                    CheckCase{"TwoChannels",
                              kTwoChannels,
                              3,
                              {"Error: More than 1 tester TAP specified in CNN file"}},
                    CheckCase{"TwoChannelsAndWrongBoardTap",
                              kTwoChannels,
                              4,
                              {"Error: More than 1 tester TAP specified in CNN file",
                               "Error: Board TAP not specified or not unique in CNN file"}}),
    [](const testing::TestParamInfo<CheckCase>& param) { return std::string(param.param.name); });

struct LeadTailCase {
    const char* name;
    std::string irItems, drItems;
    std::string irLead, irTail, drLead, drTail;
    friend void PrintTo(const LeadTailCase& value, std::ostream* out) { *out << value.name; }
};

class LeadTailTest : public ConnectionTest, public testing::WithParamInterface<LeadTailCase> {};

TEST_P(LeadTailTest, PatternAfterTheBoardTapLeadsAndPatternBeforeItTrails) {
    const LeadTailCase& shape = GetParam();
    LoadModel("TESTER_CHANNEL TAP1 IR_SHIFT " + shape.irItems + " END_IR_SHIFT DR_SHIFT " +
              shape.drItems + " END_DR_SHIFT END_TESTER_CHANNEL");
    svf::TakeConnectionFromCnn(session_);
    const svf::Connection& connection = session_.connection;
    EXPECT_EQ(AsHl(connection.irLead), shape.irLead);
    EXPECT_EQ(AsHl(connection.irTail), shape.irTail);
    EXPECT_EQ(AsHl(connection.drLead), shape.drLead);
    EXPECT_EQ(AsHl(connection.drTail), shape.drTail);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, LeadTailTest,
    testing::Values(
        LeadTailCase{"BoardTapAlone", "TAP1", "TAP1", "", "", "", ""},
        LeadTailCase{"PatternBoardTapPattern", "HHL TAP1 LLHLH", "LH TAP1 HLLLLLLLLLLLLLLLLLH",
                     "LLHLH", "HHL", "HLLLLLLLLLLLLLLLLLH", "LH"},
        LeadTailCase{"BoardTapThenPattern", "TAP1 HL", "TAP1 LLH", "HL", "", "LLH", ""},
        LeadTailCase{"PatternThenBoardTap", "HLL TAP1", "LH TAP1", "", "HLL", "", "LH"},
        LeadTailCase{"JoinedWordsAndCompareCharacters", "H 0 TAP1 1 H", "TAP1", "LH", "HL", "", ""},
        LeadTailCase{"IrAndDrDiffer", "TAP1 H", "L TAP1", "H", "", "", "L"}),
    [](const testing::TestParamInfo<LeadTailCase>& param) {
        return std::string(param.param.name);
    });

TEST_F(ConnectionTest, LeadAndTailPointIntoTheModel) {
    LoadModel(
        "TESTER_CHANNEL TAP1 IR_SHIFT HL TAP1 LH END_IR_SHIFT DR_SHIFT TAP1 END_DR_SHIFT "
        "END_TESTER_CHANNEL");
    svf::TakeConnectionFromCnn(session_);
    const svf::ChainSegment* first = session_.connection.cnnModel->irShift->segments.get();
    EXPECT_EQ(session_.connection.irLead.bits, first->driveBits.data());
    EXPECT_EQ(session_.connection.irTail.bits, first->next->next->driveBits.data());
}

struct RestrictionCase {
    const char* name;
    std::string keywords;  // written before the channel
    bool initSequence;
    bool allowReset;
    bool trstForbidden;
    bool avoidResetState;
    friend void PrintTo(const RestrictionCase& value, std::ostream* out) { *out << value.name; }
};

class RestrictionTest : public ConnectionTest,
                        public testing::WithParamInterface<RestrictionCase> {};

TEST_P(RestrictionTest, TrstAndResetAreRestrictedWhenTheConnectionNeedsIt) {
    const RestrictionCase& matrix = GetParam();
    const std::string init = matrix.initSequence ? "INIT_SEQ DR H END_INIT_SEQ " : "";
    LoadModel(matrix.keywords + " TESTER_CHANNEL TAP1 " + init +
              "IR_SHIFT TAP1 END_IR_SHIFT DR_SHIFT TAP1 END_DR_SHIFT END_TESTER_CHANNEL");
    session_.connection.allowReset = matrix.allowReset;
    svf::TakeConnectionFromCnn(session_);
    EXPECT_EQ(session_.connection.trstForbidden, matrix.trstForbidden);
    EXPECT_EQ(session_.connection.avoidResetState, matrix.avoidResetState);
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, RestrictionTest,
    testing::Values(
        RestrictionCase{"NeitherKeywordNoInit", "", false, false, false, false},
        RestrictionCase{"NeitherKeywordWithInit", "", true, false, true, true},
        RestrictionCase{"NeitherKeywordWithInitResetAllowed", "", true, true, false, false},
        RestrictionCase{"FreeWithInit", "TRST_FREE", true, false, false, false},
        RestrictionCase{"FreeWithInitResetAllowed", "TRST_FREE", true, true, false, false},
        RestrictionCase{"RestrictedNoInit", "TRST_RESTRICTED", false, false, true, true},
        RestrictionCase{"RestrictedResetAllowed", "TRST_RESTRICTED", false, true, true, false},
        RestrictionCase{"RestrictedWithInitResetAllowed", "TRST_RESTRICTED", true, true, true,
                        false},
        RestrictionCase{"RestrictedAndFree", "TRST_FREE TRST_RESTRICTED", true, false, true, true}),
    [](const testing::TestParamInfo<RestrictionCase>& param) {
        return std::string(param.param.name);
    });

TEST_F(ConnectionTest, EachStringGoesToItsOwnLeadOrTail) {
    const ConnectionStrings strings{SVF_CONNECTION_NO_TRST | SVF_CONNECTION_AVOID_RESET, "HLLH",
                                    "LH", "HHHHHHHHHHHHHHHHL", "hL"};
    session_.connection.connectionStrings = &strings;
    EXPECT_EQ(svf::TakeConnectionFromStrings(session_), svf::kOk);
    const svf::Connection& connection = session_.connection;
    EXPECT_EQ(connection.connectionStrings, &strings);
    EXPECT_TRUE(connection.trstForbidden);
    EXPECT_TRUE(connection.avoidResetState);
    EXPECT_EQ(AsHl(connection.irLead), "HLLH");
    EXPECT_EQ(AsHl(connection.irTail), "LH");
    EXPECT_EQ(AsHl(connection.drLead), "HHHHHHHHHHHHHHHHL");
    EXPECT_EQ(AsHl(connection.drTail), "LL");
    // The session owns the packed arrays, in the order IR lead, IR tail, DR lead, DR tail.
    EXPECT_EQ(connection.irLead.bits, connection.packed[0].data());
    EXPECT_EQ(connection.irTail.bits, connection.packed[1].data());
    EXPECT_EQ(connection.drLead.bits, connection.packed[2].data());
    EXPECT_EQ(connection.drTail.bits, connection.packed[3].data());
    EXPECT_TRUE(log_.messages().empty());
}

TEST_F(ConnectionTest, AbsentAndEmptyStringsGiveNoBits) {
    const ConnectionStrings strings{0, nullptr, "", "H", nullptr};
    session_.connection.connectionStrings = &strings;
    EXPECT_EQ(svf::TakeConnectionFromStrings(session_), svf::kOk);
    EXPECT_EQ(session_.connection.connectionStrings, &strings);
    EXPECT_EQ(session_.connection.irLead.bitCount, 0u);
    EXPECT_EQ(session_.connection.irTail.bitCount, 0u);
    EXPECT_EQ(session_.connection.irTail.bits, nullptr);
    EXPECT_EQ(AsHl(session_.connection.drLead), "H");
    EXPECT_EQ(session_.connection.drTail.bitCount, 0u);
    EXPECT_FALSE(session_.connection.trstForbidden);
    EXPECT_FALSE(session_.connection.avoidResetState);
}

struct FlagsCase {
    uint32_t flags;
    bool trstForbidden;
    bool avoidResetState;
};

class ForgottenStringsTest : public ConnectionTest,
                             public testing::WithParamInterface<FlagsCase> {};

TEST_P(ForgottenStringsTest, RecordWithoutBitsIsForgottenButItsFlagsApply) {
    const ConnectionStrings strings{GetParam().flags, "", nullptr, "", nullptr};
    session_.connection.connectionStrings = &strings;
    EXPECT_EQ(svf::TakeConnectionFromStrings(session_), svf::kOk);
    EXPECT_EQ(session_.connection.connectionStrings, nullptr);
    EXPECT_EQ(session_.connection.trstForbidden, GetParam().trstForbidden);
    EXPECT_EQ(session_.connection.avoidResetState, GetParam().avoidResetState);
    for (const svf::BitVector& packed : session_.connection.packed) EXPECT_TRUE(packed.empty());
    EXPECT_EQ(session_.connection.irLead.bitCount + session_.connection.irTail.bitCount +
                  session_.connection.drLead.bitCount + session_.connection.drTail.bitCount,
              0u);
}

INSTANTIATE_TEST_SUITE_P(Flags, ForgottenStringsTest,
                         testing::Values(FlagsCase{0, false, false}, FlagsCase{1, true, false},
                                         FlagsCase{2, false, true}, FlagsCase{0xFF, true, true}));

struct PackCase {
    std::string text;
    svf::BitVector words;
};

class PackHlStringTest : public testing::TestWithParam<PackCase> {};

TEST_P(PackHlStringTest, OnlyUpperCaseHSetsItsBitCountedFromTheRight) {
    svf::BitVector packed{0xDEAD};  // replaced, not appended to
    const std::string& text = GetParam().text;
    ASSERT_TRUE(svf::PackHlString(text.c_str(), static_cast<uint32_t>(text.size()), packed));
    EXPECT_EQ(packed, GetParam().words) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Strings, PackHlStringTest,
    testing::Values(PackCase{"HLLH", {0x0009}}, PackCase{"hL", {0x0000}},
                    PackCase{"H1xZ0-L", {0x0040}}, PackCase{"", {}},
                    PackCase{"HHHHHHHHHHHHHHHH", {0xFFFF}},
                    PackCase{std::string(16, 'L') + "H", {0x0001, 0x0000}},
                    PackCase{std::string(16, 'L').insert(0, 1, 'H'), {0x0000, 0x0001}},
                    PackCase{std::string(31, 'L').insert(0, "HLH").append(1, 'H'),
                             {0x0001, 0x0000, 0x0005}}));

}  // namespace
