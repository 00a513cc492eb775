// The CNN file reader: grammar, the model it builds, and every error it can
// report without running out of memory.
#include "cnn/cnn_file.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/messages.h"

namespace {

using svf::ChainSegment;
using svf::CnnModel;
using svf::ShiftStep;
using svf::TesterChannel;

constexpr const char* kHeader = "SYNTAX_VERSION 1.2\n";

class CnnFileTest : public testing::Test {
protected:
    CnnModel Read(const std::string& text) {
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

std::vector<const ChainSegment*> Segments(const ShiftStep* step) {
    std::vector<const ChainSegment*> segments;
    for (const ChainSegment* s = step != nullptr ? step->segments.get() : nullptr; s != nullptr;
         s = s->next.get()) {
        segments.push_back(s);
    }
    return segments;
}

std::vector<const ShiftStep*> Steps(const ShiftStep* step) {
    std::vector<const ShiftStep*> steps;
    for (; step != nullptr; step = step->next.get()) steps.push_back(step);
    return steps;
}

// The three bit arrays of a pattern computed one character at a time from
// the characters' meanings, as an independent reference for the reader.
struct ExpectedPattern {
    uint32_t bitCount = 0;
    svf::BitVector drive, compare, expected;
};

ExpectedPattern Reference(const std::string& pattern) {
    ExpectedPattern result;
    result.bitCount = static_cast<uint32_t>(pattern.size());
    const size_t words = (pattern.size() + 15) / 16;
    result.drive.assign(words, 0);
    result.compare.assign(words, 0);
    result.expected.assign(words, 0);
    bool anyCompare = false;
    for (size_t bit = 0; bit < pattern.size(); ++bit) {
        const char c = pattern[pattern.size() - 1 - bit];
        const std::string driven = "589H";
        const std::string compared = "01236789";
        const std::string high = "1379";
        const auto mask = static_cast<uint16_t>(1u << (bit % 16));
        if (driven.find(c) != std::string::npos) result.drive[bit / 16] |= mask;
        if (compared.find(c) != std::string::npos) {
            anyCompare = true;
            result.compare[bit / 16] |= mask;
        }
        if (high.find(c) != std::string::npos) result.expected[bit / 16] |= mask;
    }
    if (!anyCompare) {
        result.compare.clear();
        result.expected.clear();
    }
    return result;
}

void ExpectPattern(const ChainSegment* segment, const std::string& pattern) {
    ASSERT_NE(segment, nullptr);
    const ExpectedPattern want = Reference(pattern);
    EXPECT_EQ(segment->boardTap, 0u) << pattern;
    EXPECT_EQ(segment->bitCount, want.bitCount) << pattern;
    EXPECT_EQ(segment->driveBits, want.drive) << pattern;
    EXPECT_EQ(segment->compareBits, want.compare) << pattern;
    EXPECT_EQ(segment->expectedBits, want.expected) << pattern;
}

void ExpectBoardTap(const ChainSegment* segment, uint32_t tap) {
    ASSERT_NE(segment, nullptr);
    EXPECT_EQ(segment->boardTap, tap);
    EXPECT_EQ(segment->bitCount, 0u);
    EXPECT_TRUE(segment->driveBits.empty());
    EXPECT_TRUE(segment->compareBits.empty());
}

template <class Case>
std::string NameOf(const testing::TestParamInfo<Case>& param) {
    return param.param.name;
}
// Failure output names the case instead of dumping its bytes.
#define NAMED_CASE(Case) \
    friend void PrintTo(const Case& value, std::ostream* out) { *out << value.name; }

TEST_F(CnnFileTest, ShortFormReachesTheBoardTapDirectly) {
    const CnnModel model =
        Read(std::string(kHeader) + "TESTER_CHANNEL TAP2 TAP1 END_TESTER_CHANNEL\n");
    ASSERT_NE(model, nullptr) << log_.Dump();
    EXPECT_TRUE(log_.messages().empty());
    EXPECT_EQ(model->testerTap, 2u);
    EXPECT_EQ(model->next, nullptr);
    EXPECT_EQ(model->initSeq, nullptr);
    EXPECT_EQ(model->termSeq, nullptr);
    ASSERT_NE(model->irShift, nullptr);
    ASSERT_NE(model->drShift, nullptr);
    EXPECT_EQ(model->irShift->kind, uint32_t{svf::kStepIr});
    EXPECT_EQ(model->drShift->kind, uint32_t{svf::kStepDr});
    for (const ShiftStep* block : {model->irShift.get(), model->drShift.get()}) {
        const auto segments = Segments(block);
        ASSERT_EQ(segments.size(), 1u);
        ExpectBoardTap(segments[0], 1);
    }
}

TEST_F(CnnFileTest, KeywordsAndPatternsAreCaseInsensitive) {
    const CnnModel model = Read(
        "syntax_version 1.2\ntester_channel tap3\nir_shift hl tap4 end_ir_shift\n"
        "Dr_Shift x1 End_Dr_Shift\nend_tester_channel\n");
    ASSERT_NE(model, nullptr) << log_.Dump();
    EXPECT_EQ(model->testerTap, 3u);
    const auto ir = Segments(model->irShift.get());
    ASSERT_EQ(ir.size(), 2u);
    ExpectBoardTap(ir[0], 4);
    ExpectPattern(ir[1], "HL");
    const auto dr = Segments(model->drShift.get());
    ASSERT_EQ(dr.size(), 1u);
    ExpectPattern(dr[0], "X1");
}

TEST_F(CnnFileTest, SkipsWordsBeforeTheVersionUnknownTopLevelWordsAndComments) {
    const CnnModel model = Read(
        "TESTER_CHANNEL TAP7 1.3 END_TESTER_CHANNEL\n"
        "SYNTAX_VERSION 1.2 BOARD_NAME ABC SYNTAX_VERSION 9.9\n"
        "! TESTER_CHANNEL TAP8 TAP8 END_TESTER_CHANNEL\n"
        "TESTER_CHANNEL TAP2 TAP1 END_TESTER_CHANNEL ! trailing comment\n");
    ASSERT_NE(model, nullptr) << log_.Dump();
    EXPECT_TRUE(log_.messages().empty());
    EXPECT_EQ(model->testerTap, 2u);
    EXPECT_EQ(model->next, nullptr);
}

TEST_F(CnnFileTest, ExclamationMarkInsideAWordIsAnOrdinaryCharacter) {
    // "HL!" is a pattern word, so its '!' is checked as a pattern character.
    EXPECT_EQ(ReadChannel("IR_SHIFT HL! END_IR_SHIFT DR_SHIFT TAP1 END_DR_SHIFT"), nullptr);
    EXPECT_EQ(log_.Texts(),
              std::vector<std::string>{"Unknown pattern character '!' near line 3  #CC38"});
}

TEST_F(CnnFileTest, CommentMayRunToTheEndOfTheFile) {
    EXPECT_NE(Read(std::string(kHeader) + "TESTER_CHANNEL TAP2 TAP1 END_TESTER_CHANNEL\n! end"),
              nullptr)
        << log_.Dump();
}

TEST_F(CnnFileTest, TrstSettingsApplyToTheChannelsThatFollowThem) {
    const CnnModel model = Read(std::string(kHeader) +
                                "TESTER_CHANNEL TAP1 TAP1 END_TESTER_CHANNEL\n"
                                "TRST_RESTRICTED\n"
                                "TESTER_CHANNEL TAP2 TAP1 END_TESTER_CHANNEL\n"
                                "TRST_FREE\n"
                                "TESTER_CHANNEL TAP3 TAP1 END_TESTER_CHANNEL\n");
    ASSERT_NE(model, nullptr) << log_.Dump();
    struct Want {
        uint32_t tap, restricted, free;
    };
    const Want wants[] = {{1, 0, 0}, {2, 1, 0}, {3, 1, 1}};
    const TesterChannel* channel = model.get();
    for (const Want& want : wants) {
        ASSERT_NE(channel, nullptr);
        EXPECT_EQ(channel->testerTap, want.tap);
        EXPECT_EQ(channel->trstRestricted, want.restricted) << want.tap;
        EXPECT_EQ(channel->trstFree, want.free) << want.tap;
        channel = channel->next.get();
    }
    EXPECT_EQ(channel, nullptr);
}

TEST_F(CnnFileTest, SegmentsAreKeptInReverseFileOrder) {
    const CnnModel model =
        ReadChannel("IR_SHIFT 1100 TAP1 HHL END_IR_SHIFT DR_SHIFT TAP1 END_DR_SHIFT");
    ASSERT_NE(model, nullptr) << log_.Dump();
    const auto segments = Segments(model->irShift.get());
    ASSERT_EQ(segments.size(), 3u);
    ExpectPattern(segments[0], "HHL");
    ExpectBoardTap(segments[1], 1);
    ExpectPattern(segments[2], "1100");
}

TEST_F(CnnFileTest, EveryPatternCharacterSetsItsBits) {
    const std::string all = "0123456789HLXZ";
    const CnnModel model =
        ReadChannel("IR_SHIFT " + all + " END_IR_SHIFT DR_SHIFT TAP1 END_DR_SHIFT");
    ASSERT_NE(model, nullptr) << log_.Dump();
    const auto segments = Segments(model->irShift.get());
    ASSERT_EQ(segments.size(), 1u);
    // Bit 0 is the last character: Z, X, L, H, 9, 8, ... 0 at bit 13.
    EXPECT_EQ(segments[0]->driveBits, svf::BitVector{0x0138});     // H 9 8 5
    EXPECT_EQ(segments[0]->compareBits, svf::BitVector{0x3CF0});   // 9 8 7 6 3 2 1 0
    EXPECT_EQ(segments[0]->expectedBits, svf::BitVector{0x1450});  // 9 7 3 1
    ExpectPattern(segments[0], all);
}

// Consecutive pattern words form one pattern; the later word gives the low
// bits. A board TAP reference or a new step ends the pattern.
struct JoinCase {
    const char* name;
    std::vector<std::string> words;
    NAMED_CASE(JoinCase)
};

class PatternJoinTest : public CnnFileTest, public testing::WithParamInterface<JoinCase> {};

TEST_P(PatternJoinTest, JoinedWordsFormOnePatternInFileOrder) {
    std::string items;
    std::string joined;
    for (const std::string& word : GetParam().words) {
        items += word + "\n";
        joined += word;
    }
    const CnnModel model =
        ReadChannel("IR_SHIFT TAP1 END_IR_SHIFT DR_SHIFT\n" + items + "END_DR_SHIFT");
    ASSERT_NE(model, nullptr) << log_.Dump();
    const auto segments = Segments(model->drShift.get());
    ASSERT_EQ(segments.size(), 1u);
    ExpectPattern(segments[0], joined);
}

INSTANTIATE_TEST_SUITE_P(
    Words, PatternJoinTest,
    testing::Values(JoinCase{"HlThenLh", {"HL", "LH"}},
                    JoinCase{"CompareBitsFirstNeededByALaterWord", {"HZ", "5X4L", "0"}},
                    JoinCase{"CompareBitsOfAnEarlierWordMoveUp", {"01", "HH"}},
                    JoinCase{"CompareInBothWords", {"91", "H", "8273"}},
                    JoinCase{"UnalignedAcrossWordBoundaries",
                             {"H1LH0HHLLHL9XZH8LHH", "HLH", "0HHLLH1LLHHHLZXHLLHHH", "H"}},
                    JoinCase{"ManyWords",
                             {"HHHHHHHHHHHHHHHH", "L", "HLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLLH", "5",
                              "4", "3"}}),
    NameOf<JoinCase>);

TEST_F(CnnFileTest, BoardTapReferenceEndsThePattern) {
    const CnnModel model =
        ReadChannel("IR_SHIFT HL TAP5 LH HH END_IR_SHIFT DR_SHIFT L TAP5 H END_DR_SHIFT");
    ASSERT_NE(model, nullptr) << log_.Dump();
    const auto ir = Segments(model->irShift.get());
    ASSERT_EQ(ir.size(), 3u);
    ExpectPattern(ir[0], "LHHH");
    ExpectBoardTap(ir[1], 5);
    ExpectPattern(ir[2], "HL");
    const auto dr = Segments(model->drShift.get());
    ASSERT_EQ(dr.size(), 3u);
    ExpectPattern(dr[0], "H");
    ExpectBoardTap(dr[1], 5);
    ExpectPattern(dr[2], "L");
}

TEST_F(CnnFileTest, SequencesKeepTheirStepsInFileOrder) {
    const CnnModel model = ReadChannel(
        "INIT_SEQ IR 1010 TAP1 DR HH TDIO LL DR LH END_INIT_SEQ\n"
        "IR_SHIFT TAP1 END_IR_SHIFT DR_SHIFT TAP1 END_DR_SHIFT\n"
        "TERM_SEQ DR TAP1 H END_TERM_SEQ");
    ASSERT_NE(model, nullptr) << log_.Dump();
    const auto init = Steps(model->initSeq.get());
    ASSERT_EQ(init.size(), 4u);
    EXPECT_EQ(init[0]->kind, uint32_t{svf::kStepIr});
    EXPECT_EQ(init[1]->kind, uint32_t{svf::kStepDr});
    EXPECT_EQ(init[2]->kind, uint32_t{svf::kStepTdio});
    EXPECT_EQ(init[3]->kind, uint32_t{svf::kStepDr});
    const auto first = Segments(init[0]);
    ASSERT_EQ(first.size(), 2u);
    ExpectBoardTap(first[0], 1);
    ExpectPattern(first[1], "1010");
    // A new step starts a new pattern even right after a pattern word.
    ASSERT_EQ(Segments(init[1]).size(), 1u);
    ExpectPattern(Segments(init[1])[0], "HH");
    ExpectPattern(Segments(init[3])[0], "LH");

    const auto term = Steps(model->termSeq.get());
    ASSERT_EQ(term.size(), 1u);
    EXPECT_EQ(term[0]->kind, uint32_t{svf::kStepDr});
    const auto termSegments = Segments(term[0]);
    ASSERT_EQ(termSegments.size(), 2u);
    ExpectPattern(termSegments[0], "H");
    ExpectBoardTap(termSegments[1], 1);
    EXPECT_EQ(model->irShift->next, nullptr);
    EXPECT_EQ(model->drShift->next, nullptr);
}

TEST_F(CnnFileTest, EmptySequencesLeaveNoSequence) {
    const CnnModel model = ReadChannel(
        "INIT_SEQ END_INIT_SEQ IR_SHIFT TAP1 END_IR_SHIFT DR_SHIFT TAP1 END_DR_SHIFT "
        "TERM_SEQ END_TERM_SEQ");
    ASSERT_NE(model, nullptr) << log_.Dump();
    EXPECT_EQ(model->initSeq, nullptr);
    EXPECT_EQ(model->termSeq, nullptr);
    EXPECT_NE(model->irShift, nullptr);
    EXPECT_NE(model->drShift, nullptr);
}

TEST_F(CnnFileTest, TwoChannelsAreReadInFileOrder) {
    const CnnModel model = Read(std::string(kHeader) +
                                "TESTER_CHANNEL TAP4 TAP1 END_TESTER_CHANNEL\n"
                                "TESTER_CHANNEL TAP5\nIR_SHIFT TAP2 END_IR_SHIFT\n"
                                "DR_SHIFT TAP2 END_DR_SHIFT END_TESTER_CHANNEL\n");
    ASSERT_NE(model, nullptr) << log_.Dump();
    EXPECT_EQ(model->testerTap, 4u);
    ASSERT_NE(model->next, nullptr);
    EXPECT_EQ(model->next->testerTap, 5u);
    ExpectBoardTap(Segments(model->next->irShift.get()).at(0), 2);
    EXPECT_EQ(model->next->next, nullptr);
}

TEST_F(CnnFileTest, WordOf299CharactersIsAccepted) {
    const CnnModel model = ReadChannel("IR_SHIFT TAP1 END_IR_SHIFT DR_SHIFT " +
                                       std::string(299, 'H') + " END_DR_SHIFT");
    ASSERT_NE(model, nullptr) << log_.Dump();
    ExpectPattern(Segments(model->drShift.get()).at(0), std::string(299, 'H'));
}

TEST_F(CnnFileTest, WhiteSpaceRunsCountTheirNewlines) {
    // A run begun by CR, VT or FF is skipped whole; its newlines still count.
    EXPECT_EQ(Read(std::string(kHeader) + "\v\n\f\n \r\n\tTESTER_CHANNEL BAD\n"), nullptr);
    EXPECT_EQ(log_.Texts(),
              std::vector<std::string>{"Unknown Tester Channel BAD near line 5  #CC05"});
}

struct ErrorCase {
    const char* name;
    std::string text;     // whole file
    std::string message;  // "{path}" stands for the file's path
    NAMED_CASE(ErrorCase)
};

std::string Channel(const std::string& body) {
    return std::string(kHeader) + "TESTER_CHANNEL TAP1\n" + body;
}
const std::string kBlocks = "IR_SHIFT TAP1 END_IR_SHIFT\nDR_SHIFT TAP1 END_DR_SHIFT\n";
const std::string kComplete = std::string(kHeader) + "TESTER_CHANNEL TAP2 TAP1 END_TESTER_CHANNEL";

class CnnErrorTest : public CnnFileTest, public testing::WithParamInterface<ErrorCase> {};

TEST_P(CnnErrorTest, ReportsExactlyOneErrorAndReturnsNoModel) {
    const ErrorCase& error = GetParam();
    const CnnModel model = Read(error.text);
    EXPECT_EQ(model, nullptr);
    std::string want = error.message;
    const size_t at = want.find("{path}");
    if (at != std::string::npos) want.replace(at, 6, path_);
    ASSERT_EQ(log_.messages().size(), 1u) << log_.Dump();
    const svftest::RecordedMessage& message = log_.messages()[0];
    EXPECT_EQ(message.text, want);
    EXPECT_EQ(message.kind, uint32_t{SVF_MESSAGE_ERROR});
    EXPECT_EQ(message.level, uint32_t{SVF_LEVEL_ERROR});
    EXPECT_EQ(message.sequence, 0u);
    EXPECT_EQ(message.line, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, CnnErrorTest,
    testing::Values(
        ErrorCase{"NoNewlineAfterLastWord", kComplete, "Error #CC03: Unexpected end of CNN file"},
        ErrorCase{"CarriageReturnRunAtEnd", kComplete + "\r \n",
                  "Error #CC03: Unexpected end of CNN file"},
        ErrorCase{"VerticalTabRunAtEnd", kComplete + "\n\v",
                  "Error #CC03: Unexpected end of CNN file"},
        ErrorCase{"FormFeedRunAtEnd", kComplete + " \f\n\n",
                  "Error #CC03: Unexpected end of CNN file"},
        // %c of the NUL byte ends the message text there.
        ErrorCase{"NulInPattern", Channel("IR_SHIFT " + std::string("\0" "1", 2) + " TAP1\n"),
                  "Unknown pattern character '"},
        ErrorCase{"Version120", "SYNTAX_VERSION 1.20\n",
                  "Unknown syntax version 1.20 near line 1  #CC03"},
        ErrorCase{"Version120Dotted", "\nsyntax_version\n1.2.0\n",
                  "Unknown syntax version 1.2.0 near line 3  #CC03"},
        ErrorCase{"WordOf300Characters", Channel("IR_SHIFT\n\n" + std::string(300, 'L') + "\n"),
                  "Error #CC02: Line 5 of CNN file too long"},
        ErrorCase{"TesterTapWithoutNumber", std::string(kHeader) + "TESTER_CHANNEL TAPX\n",
                  "Unknown Tester Channel TAPX near line 2  #CC05"},
        ErrorCase{"TesterTapMissing", std::string(kHeader) + "TESTER_CHANNEL IR_SHIFT\n",
                  "Unknown Tester Channel IR_SHIFT near line 2  #CC05"},
        ErrorCase{"BoardTapWithoutNumber", Channel("TAP END_TESTER_CHANNEL\n"),
                  "Unknown board TAP TAP near line 3  #CC08"},
        ErrorCase{"BoardTapZeroInShortForm", Channel("tap0 END_TESTER_CHANNEL\n"),
                  "Unknown board TAP TAP0 near line 3  #CC08"},
        ErrorCase{"BoardTapZeroAsItem", Channel("IR_SHIFT HL\nTAP0 END_IR_SHIFT\n"),
                  "Unknown board TAP TAP0 near line 4  #CC08"},
        ErrorCase{"UnexpectedAfterTesterTap", Channel("DR_SHIFT TAP1 END_DR_SHIFT\n"),
                  "Unexpected keyword DR_SHIFT near line 3  #CC13"},
        ErrorCase{"IrShiftMissingAfterInit", Channel("INIT_SEQ IR H END_INIT_SEQ\nDR_SHIFT\n"),
                  "Unexpected keyword DR_SHIFT, expected IR_SHIFT near line 4  #CC15"},
        ErrorCase{"DrShiftMissing", Channel("IR_SHIFT TAP1 END_IR_SHIFT\nTERM_SEQ\n"),
                  "Unexpected keyword TERM_SEQ, expected DR_SHIFT near line 4  #CC17"},
        ErrorCase{"UnexpectedAfterDrBlock", Channel(kBlocks + "INIT_SEQ\n"),
                  "Unexpected keyword INIT_SEQ near line 5  #CC19"},
        ErrorCase{"EndChannelMissingAfterShortForm", Channel("TAP1 IR_SHIFT\n"),
                  "Unexpected keyword IR_SHIFT, expected END_TESTER_CHANNEL near line 3  #CC20"},
        ErrorCase{
            "EndChannelMissingAfterTermSeq",
            Channel(kBlocks + "TERM_SEQ DR H END_TERM_SEQ TESTER_CHANNEL\n"),
            "Unexpected keyword TESTER_CHANNEL, expected END_TESTER_CHANNEL near line 5  #CC20"},
        ErrorCase{"InitSeqClosedByEndTermSeq", Channel("INIT_SEQ END_TERM_SEQ\n"),
                  "Unexpected keyword END_TERM_SEQ near line 3  #CC21"},
        ErrorCase{"TermSeqClosedByEndInitSeq", Channel(kBlocks + "TERM_SEQ\nEND_INIT_SEQ\n"),
                  "Unexpected keyword END_INIT_SEQ near line 6  #CC21"},
        ErrorCase{"InitSeqStartsWithAnItem", Channel("INIT_SEQ TAP1\n"),
                  "Unexpected keyword TAP1 near line 3  #CC21"},
        ErrorCase{"EmptyStepBeforeNextStep", Channel("INIT_SEQ IR DR\n"),
                  "Unexpected keyword DR, expected pattern or boardtap near line 3  #CC24"},
        ErrorCase{"EmptyLaterStepBeforeNextStep", Channel(kBlocks + "TERM_SEQ DR H TDIO\nIR\n"),
                  "Unexpected keyword IR, expected pattern or boardtap near line 6  #CC24"},
        ErrorCase{
            "EmptyStepAtEndOfInit", Channel("INIT_SEQ IR END_INIT_SEQ\n"),
            "Unexpected keyword END_INIT_SEQ, expected pattern or boardtap near line 3  #CC25"},
        ErrorCase{
            "EmptyStepAtEndOfTerm", Channel(kBlocks + "TERM_SEQ DR H IR END_TERM_SEQ\n"),
            "Unexpected keyword END_TERM_SEQ, expected pattern or boardtap near line 5  #CC26"},
        ErrorCase{
            "EmptyIrBlock", Channel("IR_SHIFT END_IR_SHIFT\n"),
            "Unexpected keyword END_IR_SHIFT, expected pattern or boardtap near line 3  #CC27"},
        ErrorCase{
            "EmptyDrBlock", Channel("IR_SHIFT TAP1 END_IR_SHIFT\nDR_SHIFT\nEND_DR_SHIFT\n"),
            "Unexpected keyword END_DR_SHIFT, expected pattern or boardtap near line 5  #CC28"},
        ErrorCase{"StepKeywordInsideIrBlock", Channel("IR_SHIFT IR\n"),
                  "Unknown pattern character 'R' near line 3  #CC38"},
        ErrorCase{"TdioInsideDrBlock", Channel("IR_SHIFT TAP1 END_IR_SHIFT DR_SHIFT TDIO\n"),
                  "Unknown pattern character 'O' near line 3  #CC38"},
        ErrorCase{"RightmostBadCharacterIsNamed", Channel("INIT_SEQ DR HA0BL\n"),
                  "Unknown pattern character 'B' near line 3  #CC38"},
        ErrorCase{"BadCharacterInAJoinedWord", Channel("IR_SHIFT 01\nHH\n1Q0\n"),
                  "Unknown pattern character 'Q' near line 5  #CC38"},
        ErrorCase{"EmptyFile", "", "Unexpected end of CNN file '{path}'  #CC39"},
        ErrorCase{"NoChannel", std::string(kHeader) + "TRST_FREE\n",
                  "Unexpected end of CNN file '{path}'  #CC39"},
        ErrorCase{"NoSyntaxVersion", "TESTER_CHANNEL TAP2 TAP1 END_TESTER_CHANNEL\n",
                  "Unexpected end of CNN file '{path}'  #CC39"},
        ErrorCase{"EndInsideChannel", Channel("IR_SHIFT TAP1 END_IR_SHIFT\n"),
                  "Unexpected end of CNN file '{path}'  #CC39"},
        ErrorCase{"EndAfterCompleteChannelThenOpenOne", kComplete + "\nTESTER_CHANNEL\n",
                  "Unexpected end of CNN file '{path}'  #CC39"}),
    NameOf<ErrorCase>);

TEST_F(CnnFileTest, TrailingNewlineMakesTheSameFileAcceptable) {
    EXPECT_NE(Read(kComplete + "\n"), nullptr) << log_.Dump();
    EXPECT_NE(Read(kComplete + "\r\n\r\n a\n"), nullptr) << log_.Dump();
}

struct BoardTapCase {
    const char* name;
    std::string channels;  // after the header
    uint32_t requested;
    bool matches;
    NAMED_CASE(BoardTapCase)
};

class BoardTapTest : public CnnFileTest, public testing::WithParamInterface<BoardTapCase> {};

TEST_P(BoardTapTest, ModelMustNameExactlyTheRequestedBoardTap) {
    const CnnModel model = Read(std::string(kHeader) + GetParam().channels);
    ASSERT_NE(model, nullptr) << log_.Dump();
    EXPECT_EQ(svf::CheckBoardTap(model.get(), GetParam().requested), GetParam().matches);
}

const std::string kPatternsOnly =
    "TESTER_CHANNEL TAP1 IR_SHIFT HL END_IR_SHIFT DR_SHIFT 0 END_DR_SHIFT END_TESTER_CHANNEL\n";

INSTANTIATE_TEST_SUITE_P(
    Models, BoardTapTest,
    testing::Values(
        BoardTapCase{"SameTapEverywhere",
                     "TESTER_CHANNEL TAP1 INIT_SEQ DR TAP3 END_INIT_SEQ IR_SHIFT H TAP3 L "
                     "END_IR_SHIFT DR_SHIFT TAP3 END_DR_SHIFT TERM_SEQ IR TAP3 END_TERM_SEQ "
                     "END_TESTER_CHANNEL\n",
                     3, true},
        BoardTapCase{"OtherTapRequested", "TESTER_CHANNEL TAP1 TAP3 END_TESTER_CHANNEL\n", 2, false},
        BoardTapCase{"NoBoardTap", kPatternsOnly, 0, false},
        BoardTapCase{"DifferentTapInDrBlock",
                     "TESTER_CHANNEL TAP1 IR_SHIFT TAP3 END_IR_SHIFT DR_SHIFT TAP4 END_DR_SHIFT "
                     "END_TESTER_CHANNEL\n",
                     3, false},
        BoardTapCase{"DifferentTapInInitSequence",
                     "TESTER_CHANNEL TAP1 INIT_SEQ IR H DR TAP2 END_INIT_SEQ IR_SHIFT TAP3 "
                     "END_IR_SHIFT DR_SHIFT TAP3 END_DR_SHIFT END_TESTER_CHANNEL\n",
                     3, false},
        BoardTapCase{"DifferentTapInTermSequence",
                     "TESTER_CHANNEL TAP1 IR_SHIFT TAP3 END_IR_SHIFT DR_SHIFT TAP3 END_DR_SHIFT "
                     "TERM_SEQ IR TAP3 DR H TAP5 END_TERM_SEQ END_TESTER_CHANNEL\n",
                     3, false},
        BoardTapCase{"DifferentTapInSecondChannel",
                     "TESTER_CHANNEL TAP1 TAP3 END_TESTER_CHANNEL\n"
                     "TESTER_CHANNEL TAP2 TAP6 END_TESTER_CHANNEL\n",
                     3, false},
        BoardTapCase{"SameTapInTwoChannels",
                     "TESTER_CHANNEL TAP1 TAP3 END_TESTER_CHANNEL\n"
                     "TESTER_CHANNEL TAP2 TAP3 END_TESTER_CHANNEL\n",
                     3, true}),
    NameOf<BoardTapCase>);

TEST(CnnModelTest, AbsentModelHasNoBoardTapAndFreesToNothing) {
    EXPECT_FALSE(svf::CheckBoardTap(nullptr, 1));
    CnnModel model;
    svf::FreeCnnModel(model);
    EXPECT_EQ(model, nullptr);
    model = std::make_unique<TesterChannel>();
    model->next = std::make_unique<TesterChannel>();
    svf::FreeCnnModel(model);
    EXPECT_EQ(model, nullptr);
}

}  // namespace
