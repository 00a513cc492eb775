// The CNN file reader: grammar, the model it builds, and every error it can
// report without running out of memory.
#include "cnn/cnn_file.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/messages.h"

namespace {

using svf::CnnModel;
using svf::ShiftStep;
using Strings = std::vector<std::string>;

constexpr const char* kHeader = "SYNTAX_VERSION 1.2\n";

class CnnFileTest : public testing::Test {
  protected:
    CnnModel Read(const std::string& text) {
        log_.Clear();
        path_ = dir_.Write("board.cnn", text);
        return svf::ReadCnnFile(path_.c_str(), log_.report());
    }
    // A file holding one channel whose body (after the tester TAP) is given.
    CnnModel ReadChannel(const std::string& body) {
        return Read(std::string(kHeader) + "TESTER_CHANNEL TAP1\n" + body +
                    "\nEND_TESTER_CHANNEL\n");
    }

    svftest::TempDir dir_;
    svftest::MessageLog log_;
    std::string path_;
};

// Bit words in hex, highest word first.
std::string Hex(const svf::BitVector& words) {
    std::ostringstream text;
    text << std::hex;
    for (size_t i = words.size(); i-- > 0;) text << words[i] << (i != 0 ? "." : "");
    return text.str();
}

// The items of a step in file order: "TAPn" for the board TAP; for a
// pattern its bit count, then its drive, compare and expected bits (the
// last two only when the pattern compares).
Strings Items(const ShiftStep* step) {
    Strings items;
    if (step == nullptr) return items;
    for (const svf::ChainSegment& segment : step->segments) {
        std::string item = segment.boardTap != 0 ? "TAP" + std::to_string(segment.boardTap) : "";
        if (segment.bitCount != 0 || !segment.driveBits.empty()) {
            item += std::to_string(segment.bitCount) + " d" + Hex(segment.driveBits);
        }
        if (!segment.compareBits.empty() || !segment.expectedBits.empty()) {
            item += " c" + Hex(segment.compareBits) + " e" + Hex(segment.expectedBits);
        }
        items.push_back(item);
    }
    return items;
}

const std::string kComplete = std::string(kHeader) + "TESTER_CHANNEL TAP2 TAP1 END_TESTER_CHANNEL";

TEST_F(CnnFileTest, ShortFormReachesTheBoardTapDirectly) {
    const CnnModel model = Read(kComplete + "\n");
    ASSERT_FALSE(model.empty()) << log_.Dump();
    EXPECT_TRUE(log_.messages().empty());
    EXPECT_EQ(model[0].testerTap, 2u);
    EXPECT_EQ(model.size(), 1u);
    EXPECT_TRUE(model[0].initSeq.empty());
    EXPECT_TRUE(model[0].termSeq.empty());
    EXPECT_EQ(Items(model[0].irShift.get()), Strings{"TAP1"});
    EXPECT_EQ(Items(model[0].drShift.get()), Strings{"TAP1"});
}

// Each file is one channel on tester TAP2.
TEST_F(CnnFileTest, AcceptedFiles) {
    const std::string files[] = {
        kComplete + "\r\n\r\n a\n",
        kComplete + "\n! a comment may run to the end of the file",
        // Words before the version, unknown top-level words and comments are skipped.
        "TESTER_CHANNEL TAP7 1.3 END_TESTER_CHANNEL\n"
        "SYNTAX_VERSION 1.2 BOARD_NAME ABC SYNTAX_VERSION 9.9\n"
        "! TESTER_CHANNEL TAP8 TAP8 END_TESTER_CHANNEL\n"
        "TESTER_CHANNEL TAP2 TAP1 END_TESTER_CHANNEL ! trailing comment\n",
        std::string(kHeader) + "TESTER_CHANNEL TAP2 IR_SHIFT TAP1 END_IR_SHIFT DR_SHIFT " +
            std::string(299, 'H') + " END_DR_SHIFT END_TESTER_CHANNEL\n",
    };
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const CnnModel model = Read(file);
        ASSERT_FALSE(model.empty()) << log_.Dump();
        EXPECT_TRUE(log_.messages().empty());
        EXPECT_EQ(model[0].testerTap, 2u);
        EXPECT_EQ(model.size(), 1u);
    }
}

TEST_F(CnnFileTest, KeywordsAndPatternsAreCaseInsensitive) {
    const CnnModel model = Read(
        "syntax_version 1.2\ntester_channel tap3\nir_shift hl tap4 end_ir_shift\n"
        "Dr_Shift x1 End_Dr_Shift\nend_tester_channel\n");
    ASSERT_FALSE(model.empty()) << log_.Dump();
    EXPECT_EQ(model[0].testerTap, 3u);
    EXPECT_EQ(Items(model[0].irShift.get()), (Strings{"2 d2", "TAP4"}));
    EXPECT_EQ(Items(model[0].drShift.get()), Strings{"2 d0 c1 e1"});
}

TEST_F(CnnFileTest, TrstSettingsApplyToTheChannelsThatFollowThem) {
    const CnnModel model = Read(std::string(kHeader) +
                                "TESTER_CHANNEL TAP1 TAP1 END_TESTER_CHANNEL\n"
                                "TRST_RESTRICTED\n"
                                "TESTER_CHANNEL TAP2 TAP1 END_TESTER_CHANNEL\n"
                                "TRST_FREE\n"
                                "TESTER_CHANNEL TAP3 TAP1 END_TESTER_CHANNEL\n");
    ASSERT_FALSE(model.empty()) << log_.Dump();
    Strings channels;  // tester TAP, restricted, free
    for (const svf::TesterChannel& channel : model) {
        channels.push_back(std::to_string(channel.testerTap) + " " +
                           std::to_string(channel.trstRestricted) + " " +
                           std::to_string(channel.trstFree));
    }
    EXPECT_EQ(channels, (Strings{"1 0 0", "2 1 0", "3 1 1"}));
}

TEST_F(CnnFileTest, EveryPatternCharacterSetsItsBits) {
    const CnnModel model =
        ReadChannel("IR_SHIFT 0123456789HLXZ END_IR_SHIFT DR_SHIFT TAP1 END_DR_SHIFT");
    ASSERT_FALSE(model.empty()) << log_.Dump();
    // Bit 0 is the last character: Z, X, L, H, 9, 8, ... 0 at bit 13. Driven:
    // H 9 8 5; compared: 9 8 7 6 3 2 1 0; expected high: 9 7 3 1.
    EXPECT_EQ(Items(model[0].irShift.get()), Strings{"14 d138 c3cf0 e1450"});
}

// Consecutive pattern words form one pattern, the later word giving the low
// bits.
TEST_F(CnnFileTest, JoinedWordsFormOnePatternInFileOrder) {
    const std::pair<Strings, std::string> rows[] = {
        {{"HL", "LH"}, "4 d9"},
        {{"HZ", "5X4L", "0"}, "7 d50 c1 e0"},  // compare bits first needed by a later word
        {{"01", "HH"}, "4 d3 cc e4"},          // compare bits of an earlier word move up
        {{"91", "H", "8273"}, "7 d58 c6f e63"},
        {{"H1LH0HHLLHL9XZH8LHH", "HLH", "0HHLLH1LLHHHLZXHLLHHH", "H"},
         "44 d965.3759.1c4f c481.1020.8000 e401.0.8000"},
        {{"HHHHHHHHHHHHHHHH", "L", "HLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLH", "5", "4", "3"},
         "55 d7f.ffa0.0.c c0.0.0.1 e0.0.0.1"},
    };
    for (const auto& [words, pattern] : rows) {
        std::string items;
        for (const std::string& word : words) items += word + "\n";
        SCOPED_TRACE(items);
        const CnnModel model =
            ReadChannel("IR_SHIFT TAP1 END_IR_SHIFT DR_SHIFT\n" + items + "END_DR_SHIFT");
        ASSERT_FALSE(model.empty()) << log_.Dump();
        EXPECT_EQ(Items(model[0].drShift.get()), Strings{pattern});
    }
}

TEST_F(CnnFileTest, BoardTapReferenceEndsThePattern) {
    const CnnModel model =
        ReadChannel("IR_SHIFT HL TAP5 LH HH END_IR_SHIFT DR_SHIFT L TAP5 H END_DR_SHIFT");
    ASSERT_FALSE(model.empty()) << log_.Dump();
    EXPECT_EQ(Items(model[0].irShift.get()), (Strings{"2 d2", "TAP5", "4 d7"}));
    EXPECT_EQ(Items(model[0].drShift.get()), (Strings{"1 d0", "TAP5", "1 d1"}));
}

TEST_F(CnnFileTest, SequencesKeepTheirStepsInFileOrder) {
    const CnnModel model = ReadChannel(
        "INIT_SEQ IR 1010 TAP1 DR HH TDIO LL DR LH END_INIT_SEQ\n"
        "IR_SHIFT TAP1 END_IR_SHIFT DR_SHIFT TAP1 END_DR_SHIFT\n"
        "TERM_SEQ DR TAP1 H END_TERM_SEQ");
    ASSERT_FALSE(model.empty()) << log_.Dump();
    Strings steps;  // kind: items
    for (const ShiftStep& step : model[0].initSeq) {
        std::string text = std::to_string(step.kind) + ":";
        for (const std::string& item : Items(&step)) text += " " + item;
        steps.push_back(text);
    }
    // A new step starts a new pattern even right after a pattern word.
    EXPECT_EQ(steps, (Strings{"2: 4 d0 cf ea TAP1", "1: 2 d3", "3: 2 d0", "1: 2 d1"}));
    const std::vector<ShiftStep>& term = model[0].termSeq;
    ASSERT_EQ(term.size(), 1u);
    EXPECT_EQ(term[0].kind, uint32_t{svf::kStepDr});
    EXPECT_EQ(Items(&term[0]), (Strings{"TAP1", "1 d1"}));
}

TEST_F(CnnFileTest, EmptySequencesLeaveNoSequence) {
    const CnnModel model = ReadChannel(
        "INIT_SEQ END_INIT_SEQ IR_SHIFT TAP1 END_IR_SHIFT DR_SHIFT TAP1 END_DR_SHIFT "
        "TERM_SEQ END_TERM_SEQ");
    ASSERT_FALSE(model.empty()) << log_.Dump();
    EXPECT_TRUE(model[0].initSeq.empty());
    EXPECT_TRUE(model[0].termSeq.empty());
    EXPECT_EQ(Items(model[0].irShift.get()), Strings{"TAP1"});
}

std::string Channel(const std::string& body) {
    return std::string(kHeader) + "TESTER_CHANNEL TAP1\n" + body;
}
const std::string kBlocks = "IR_SHIFT TAP1 END_IR_SHIFT\nDR_SHIFT TAP1 END_DR_SHIFT\n";

TEST_F(CnnFileTest, EachErrorIsReportedOnceAndLeavesNoModel) {
    struct Row {
        std::string text;     // whole file
        std::string message;  // "{path}" stands for the file's path
    };
    const Row rows[] = {
        {kComplete, "Error #CC03: Unexpected end of CNN file"},
        {kComplete + "\r \n", "Error #CC03: Unexpected end of CNN file"},
        {kComplete + " \f\n\n", "Error #CC03: Unexpected end of CNN file"},
        // %c of the NUL byte ends the message text there.
        {Channel("IR_SHIFT " + std::string(1, '\0') + "1 TAP1\n"), "Unknown pattern character '"},
        {"SYNTAX_VERSION 1.20\n", "Unknown syntax version 1.20 near line 1  #CC03"},
        {"\nsyntax_version\n1.2.0\n", "Unknown syntax version 1.2.0 near line 3  #CC03"},
        {Channel("IR_SHIFT\n\n" + std::string(300, 'L') + "\n"),
         "Error #CC02: Line 5 of CNN file too long"},
        {std::string(kHeader) + "TESTER_CHANNEL TAPX\n",
         "Unknown Tester Channel TAPX near line 2  #CC05"},
        {Channel("TAP END_TESTER_CHANNEL\n"), "Unknown board TAP TAP near line 3  #CC08"},
        {Channel("tap0 END_TESTER_CHANNEL\n"), "Unknown board TAP TAP0 near line 3  #CC08"},
        {Channel("IR_SHIFT HL\nTAP0 END_IR_SHIFT\n"), "Unknown board TAP TAP0 near line 4  #CC08"},
        {Channel("DR_SHIFT TAP1 END_DR_SHIFT\n"), "Unexpected keyword DR_SHIFT near line 3  #CC13"},
        {Channel("INIT_SEQ IR H END_INIT_SEQ\nDR_SHIFT\n"),
         "Unexpected keyword DR_SHIFT, expected IR_SHIFT near line 4  #CC15"},
        {Channel("IR_SHIFT TAP1 END_IR_SHIFT\nTERM_SEQ\n"),
         "Unexpected keyword TERM_SEQ, expected DR_SHIFT near line 4  #CC17"},
        {Channel(kBlocks + "INIT_SEQ\n"), "Unexpected keyword INIT_SEQ near line 5  #CC19"},
        {Channel("TAP1 IR_SHIFT\n"),
         "Unexpected keyword IR_SHIFT, expected END_TESTER_CHANNEL near line 3  #CC20"},
        {Channel(kBlocks + "TERM_SEQ DR H END_TERM_SEQ TESTER_CHANNEL\n"),
         "Unexpected keyword TESTER_CHANNEL, expected END_TESTER_CHANNEL near line 5  #CC20"},
        {Channel("INIT_SEQ END_TERM_SEQ\n"), "Unexpected keyword END_TERM_SEQ near line 3  #CC21"},
        {Channel(kBlocks + "TERM_SEQ\nEND_INIT_SEQ\n"),
         "Unexpected keyword END_INIT_SEQ near line 6  #CC21"},
        {Channel("INIT_SEQ TAP1\n"), "Unexpected keyword TAP1 near line 3  #CC21"},
        {Channel("INIT_SEQ IR DR\n"),
         "Unexpected keyword DR, expected pattern or boardtap near line 3  #CC24"},
        {Channel("INIT_SEQ IR END_INIT_SEQ\n"),
         "Unexpected keyword END_INIT_SEQ, expected pattern or boardtap near line 3  #CC25"},
        {Channel(kBlocks + "TERM_SEQ DR H IR END_TERM_SEQ\n"),
         "Unexpected keyword END_TERM_SEQ, expected pattern or boardtap near line 5  #CC26"},
        {Channel("IR_SHIFT END_IR_SHIFT\n"),
         "Unexpected keyword END_IR_SHIFT, expected pattern or boardtap near line 3  #CC27"},
        {Channel("IR_SHIFT TAP1 END_IR_SHIFT\nDR_SHIFT\nEND_DR_SHIFT\n"),
         "Unexpected keyword END_DR_SHIFT, expected pattern or boardtap near line 5  #CC28"},
        {Channel("IR_SHIFT IR\n"), "Unknown pattern character 'R' near line 3  #CC38"},
        {Channel("IR_SHIFT TAP1 END_IR_SHIFT DR_SHIFT TDIO\n"),
         "Unknown pattern character 'O' near line 3  #CC38"},
        {Channel("INIT_SEQ DR HA0BL\n"), "Unknown pattern character 'B' near line 3  #CC38"},
        {Channel("IR_SHIFT 01\nHH\n1Q0\n"), "Unknown pattern character 'Q' near line 5  #CC38"},
        {"", "Unexpected end of CNN file '{path}'  #CC39"},
        {std::string(kHeader) + "TRST_FREE\n", "Unexpected end of CNN file '{path}'  #CC39"},
        {"TESTER_CHANNEL TAP2 TAP1 END_TESTER_CHANNEL\n",
         "Unexpected end of CNN file '{path}'  #CC39"},
        {Channel("IR_SHIFT TAP1 END_IR_SHIFT\n"), "Unexpected end of CNN file '{path}'  #CC39"},
        {kComplete + "\nTESTER_CHANNEL\n", "Unexpected end of CNN file '{path}'  #CC39"},
        // "HL!" is a pattern word, so its '!' is checked as a pattern character.
        {Channel("IR_SHIFT HL! END_IR_SHIFT\n"),
         "Unknown pattern character '!' near line 3  #CC38"},
        // A run begun by CR, VT or FF is skipped whole; its newlines still count.
        {std::string(kHeader) + "\v\n\f\n \r\n\tTESTER_CHANNEL BAD\n",
         "Unknown Tester Channel BAD near line 5  #CC05"},
    };
    const auto expectOnly = [&](std::string want) {
        const size_t at = want.find("{path}");
        if (at != std::string::npos) want.replace(at, 6, path_);
        ASSERT_EQ(log_.messages().size(), 1u) << log_.Dump();
        const svftest::RecordedMessage& message = log_.messages()[0];
        EXPECT_EQ(message.text, want);
        EXPECT_EQ(message.kind, uint32_t{SVF_MESSAGE_ERROR});
        EXPECT_EQ(message.level, uint32_t{SVF_LEVEL_ERROR});
        EXPECT_EQ(message.sequence, 0u);
        EXPECT_EQ(message.line, 0u);
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        EXPECT_TRUE(Read(row.text).empty());
        expectOnly(row.message);
    }
    log_.Clear();
    path_ = dir_.PathOf("missing.cnn");
    EXPECT_TRUE(svf::ReadCnnFile(path_.c_str(), log_.report()).empty());
    expectOnly("Error opening file '{path}'  #CC01");
}

}  // namespace
