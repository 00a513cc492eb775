// Connection set-up from a CNN model or from the job's connection strings.
#include "cnn/connection_setup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cnn/cnn_file.h"
#include "support/files.h"
#include "support/messages.h"

namespace {

using Strings = std::vector<std::string>;

// Bits of a lead or tail as H/L characters, highest bit first (the way the
// CNN file and the connection strings write them); "" when there are none.
std::string AsHl(const svf::LeadTail& bits) {
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
        ASSERT_FALSE(session_.connection.cnnModel.empty()) << log_.Dump();
    }

    svftest::TempDir dir_;
    svftest::MessageLog log_;
    svf::SvfSession session_;
};

// Channel on tester TAP1 with the given blocks.
std::string Channel(const std::string& body) {
    return "TESTER_CHANNEL TAP1 " + body + " END_TESTER_CHANNEL";
}

TEST_F(ConnectionTest, CheckRefusesTheModelWithWarnings) {
    const std::string notUnique = "Error: Board TAP not specified or not unique in CNN file";
    const std::string several = "Error: More than 1 tester TAP specified in CNN file";
    const std::string two =
        "TESTER_CHANNEL TAP1 TAP3 END_TESTER_CHANNEL TESTER_CHANNEL TAP2 TAP3 END_TESTER_CHANNEL";
    struct Row {
        std::string channels;  // "" = no model (the read failed)
        uint32_t boardTap;
        Strings warnings;
    };
    const Row rows[] = {
        {"", 1, {"Error parsing CNN file"}},
        {Channel("TAP3"), 2, {notUnique}},
        {Channel("IR_SHIFT H END_IR_SHIFT DR_SHIFT L END_DR_SHIFT"), 1, {notUnique}},
        {Channel("IR_SHIFT TAP3 END_IR_SHIFT DR_SHIFT TAP4 END_DR_SHIFT"), 3, {notUnique}},
        {Channel("INIT_SEQ IR H DR TAP2 END_INIT_SEQ IR_SHIFT TAP3 END_IR_SHIFT DR_SHIFT TAP3 "
                 "END_DR_SHIFT"),
         3,
         {notUnique}},
        {Channel("IR_SHIFT TAP3 END_IR_SHIFT DR_SHIFT TAP3 END_DR_SHIFT TERM_SEQ IR TAP3 DR H TAP5 "
                 "END_TERM_SEQ"),
         3,
         {notUnique}},
        {two, 3, {several}},
        {two, 4, {several, notUnique}},
        {Channel("TAP3") + " TESTER_CHANNEL TAP2 TAP6 END_TESTER_CHANNEL", 3, {several, notUnique}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.channels);
        log_.Clear();
        session_.connection.cnnModel.clear();
        if (!row.channels.empty()) LoadModel(row.channels);
        session_.connection.boardTap = row.boardTap;
        session_.connection.testerTap = row.boardTap;
        EXPECT_FALSE(svf::CheckConnection(session_));
        EXPECT_EQ(session_.connection.testerTap, row.boardTap);
        EXPECT_EQ(log_.Texts(), row.warnings);
        EXPECT_EQ(log_.Warnings(), row.warnings);
    }
}

// The pattern written after the board TAP leads every scan (it is shifted
// first), the one written before it trails.
TEST_F(ConnectionTest, LeadAndTailOfTheBlocks) {
    struct Row {
        std::string irItems, drItems;
        Strings bits;  // IR lead, IR tail, DR lead, DR tail
    };
    const Row rows[] = {
        {"TAP1", "TAP1", {"", "", "", ""}},
        {"HHL TAP1 LLHLH",
         "LH TAP1 HLLLLLLLLLLLLLLLLLH",
         {"LLHLH", "HHL", "HLLLLLLLLLLLLLLLLLH", "LH"}},
        {"TAP1 HL", "TAP1 LLH", {"HL", "", "LLH", ""}},
        {"HLL TAP1", "LH TAP1", {"", "HLL", "", "LH"}},
        {"H 0 TAP1 1 H", "TAP1", {"LH", "HL", "", ""}},  // joined words, compare characters
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.irItems);
        session_.connection = {};
        LoadModel(Channel("IR_SHIFT " + row.irItems + " END_IR_SHIFT DR_SHIFT " + row.drItems +
                          " END_DR_SHIFT"));
        svf::TakeConnectionFromCnn(session_);
        const svf::Connection& connection = session_.connection;
        EXPECT_EQ((Strings{AsHl(connection.irLead), AsHl(connection.irTail),
                           AsHl(connection.drLead), AsHl(connection.drTail)}),
                  row.bits);
    }
}

// Without TRST_FREE an init sequence forbids TRST and RESET, unless the job
// allows them; TRST_RESTRICTED forbids TRST always.
TEST_F(ConnectionTest, TrstAndResetAreRestrictedWhenTheConnectionNeedsIt) {
    struct Row {
        std::string keywords;  // written before the channel
        bool initSequence, allowReset, trstForbidden, avoidResetState;
    };
    const Row rows[] = {
        {"", false, false, false, false},
        {"", true, false, true, true},
        {"", true, true, false, false},
        {"TRST_FREE", true, false, false, false},
        {"TRST_RESTRICTED", false, false, true, true},
        {"TRST_RESTRICTED", false, true, true, false},
        {"TRST_FREE TRST_RESTRICTED", true, false, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.keywords << row.initSequence << row.allowReset);
        session_.connection = {};
        const std::string init = row.initSequence ? "INIT_SEQ DR H END_INIT_SEQ " : "";
        LoadModel(row.keywords + " " +
                  Channel(init + "IR_SHIFT TAP1 END_IR_SHIFT DR_SHIFT TAP1 END_DR_SHIFT"));
        session_.connection.allowReset = row.allowReset;
        svf::TakeConnectionFromCnn(session_);
        EXPECT_EQ(session_.connection.trstForbidden, row.trstForbidden);
        EXPECT_EQ(session_.connection.avoidResetState, row.avoidResetState);
    }
}

// Only upper-case H is a one, the last character the lowest bit; a record
// without any bits is forgotten, but its flags apply.
TEST_F(ConnectionTest, ConnectionStringsGiveLeadsTailsAndFlags) {
    struct Row {
        ConnectionStrings strings;
        Strings bits;  // IR lead, IR tail, DR lead, DR tail
        bool kept;
    };
    const Row rows[] = {
        {{SVF_CONNECTION_NO_TRST, "HLLH", "LH", "HHHHHHHHHHHHHHHHL", "hL"},
         {"HLLH", "LH", "HHHHHHHHHHHHHHHHL", "LL"},
         true},
        {{SVF_CONNECTION_AVOID_RESET, nullptr, "", "H1xZ0-L", nullptr},
         {"", "", "HLLLLLL", ""},
         true},
        {{0, "", nullptr, "", nullptr}, {"", "", "", ""}, false},
        {{SVF_CONNECTION_AVOID_RESET, nullptr, nullptr, nullptr, nullptr}, {"", "", "", ""}, false},
        {{0xFF, "", "", "", ""}, {"", "", "", ""}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.strings.flags);
        session_.connection = {};
        session_.connection.connectionStrings = &row.strings;
        EXPECT_EQ(svf::TakeConnectionFromStrings(session_), svf::kOk);
        const svf::Connection& connection = session_.connection;
        EXPECT_EQ(connection.connectionStrings, row.kept ? &row.strings : nullptr);
        EXPECT_EQ((Strings{AsHl(connection.irLead), AsHl(connection.irTail),
                           AsHl(connection.drLead), AsHl(connection.drTail)}),
                  row.bits);
        EXPECT_EQ(connection.trstForbidden, (row.strings.flags & SVF_CONNECTION_NO_TRST) != 0);
        EXPECT_EQ(connection.avoidResetState,
                  (row.strings.flags & SVF_CONNECTION_AVOID_RESET) != 0);
    }
    EXPECT_TRUE(log_.messages().empty());
}

}  // namespace
