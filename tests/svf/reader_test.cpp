// The statement tokenizer and the PIOMAP word reader.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "svf/reader/reader.h"
#include "svf_fixture.h"

namespace {

using svf::NextPioWord;
using svf::NextToken;
using svf::Token;
using svftest::ErrorAt;
using TokenList = std::vector<std::pair<int, std::string>>;

// Every token up to the first failure, and that failure's status.
struct Tokens {
    TokenList tokens;
    svf::Status end = svf::kOk;
};

Tokens ReadAll(svf::SvfSession& session, Token (*next)(svf::SvfSession&) = NextToken) {
    Tokens result;
    for (;;) {
        const Token token = next(session);
        if (token.status != svf::kOk) {
            result.end = token.status;
            return result;
        }
        result.tokens.emplace_back(token.code, std::string(token.text, token.length));
    }
}

class ReaderTest : public svftest::SvfFixture {};

// ------------------------------------------------------------ token sequences

struct SequenceCase {
    const char* name;
    std::vector<std::string> lines;
    TokenList expected;
};

class TokenSequence : public ReaderTest, public ::testing::WithParamInterface<SequenceCase> {};

TEST_P(TokenSequence, GivesTheTokensInOrderThenEndOfInput) {
    svf::SvfSession& session = Start(GetParam().lines);
    const Tokens all = ReadAll(session);
    EXPECT_EQ(all.tokens, GetParam().expected);
    EXPECT_EQ(all.end, svf::kEndOfFile);
    EXPECT_TRUE(log.Errors().empty()) << log.Dump();
}

INSTANTIATE_TEST_SUITE_P(
    Reader, TokenSequence,
    ::testing::Values(
        SequenceCase{"PunctuationSplitsWords",
                     {"SDR 8 TDI(FF);"},
                     {{8, "SDR"}, {61, "8"}, {30, "TDI"}, {40, "("}, {0, "FF"}, {41, ")"}, {42, ";"}}},
        SequenceCase{"LowerAndMixedCaseKeywords",
                     {"sdr Sir runTest us Us uSeC clock Merlo_Correction khz"},
                     {{8, "sdr"}, {9, "Sir"}, {7, "runTest"}, {58, "us"}, {58, "Us"}, {58, "uSeC"},
                      {53, "clock"}, {67, "Merlo_Correction"}, {65, "khz"}}},
        SequenceCase{"NumbersStartWithADigit",
                     {"1E-3 0FF 8 .5 -1 FFh 1.5E+6"},
                     {{61, "1E-3"}, {61, "0FF"}, {61, "8"}, {0, ".5"}, {0, "-1"}, {0, "FFh"},
                      {61, "1.5E+6"}}},
        SequenceCase{"DigitWordsAreNeverKeywords", {"1HZ HZ"}, {{61, "1HZ"}, {63, "HZ"}}},
        SequenceCase{"CommentsEndTheLine",
                     {"! SDR 8;", "// SIR 8;", "TRST ON; ! rest", "ENDDR IDLE ;// rest", "   "},
                     {{13, "TRST"}, {36, "ON"}, {42, ";"}, {1, "ENDDR"}, {15, "IDLE"}, {42, ";"}}},
        SequenceCase{"BangInsideAWordIsNoComment",
                     {"FF!x A//B (!c"},
                     {{0, "FF!x"}, {0, "A//B"}, {40, "("}}},
        SequenceCase{"SingleSlashIsAWord", {"/ x"}, {{0, "/"}, {0, "x"}}},
        SequenceCase{"MarkedLinesCarryStatements",
                     {"!// FLAG 3;", "//! merlo_correction OFF;", "  !//ENDIR IRPAUSE;"},
                     {{74, "FLAG"}, {61, "3"}, {42, ";"}, {67, "merlo_correction"}, {37, "OFF"},
                      {42, ";"}, {2, "ENDIR"}, {17, "IRPAUSE"}, {42, ";"}}},
        SequenceCase{"MarkerWithNothingAfterItIsAComment", {"!//", "//!", "HDR"}, {{3, "HDR"}}},
        SequenceCase{"FreeTextEndsAMarkedLine",
                     {"!// FREQUENCY 1E6 HZ; then some words; TRST", "TIR 0;"},
                     {{53, "FREQUENCY"}, {61, "1E6"}, {63, "HZ"}, {42, ";"}, {12, "TIR"},
                      {61, "0"}, {42, ";"}}},
        SequenceCase{"CommentAfterStatementOnMarkedLine",
                     {"!// STATE IDLE; ! note", "TDR 0;"},
                     {{10, "STATE"}, {15, "IDLE"}, {42, ";"}, {11, "TDR"}, {61, "0"}, {42, ";"}}},
        SequenceCase{"TabsAndCarriageReturnsSeparate",
                     {"\tHIR\t0 ;\r"},
                     {{4, "HIR"}, {61, "0"}, {42, ";"}}},
        SequenceCase{"EveryWhiteSpaceAndPunctuationEndsAWord",
                     {"SDR\v8\fTDI\t(A5)ON;OFF\rZ(x"},
                     {{8, "SDR"}, {61, "8"}, {30, "TDI"}, {40, "("}, {0, "A5"}, {41, ")"},
                      {36, "ON"}, {42, ";"}, {37, "OFF"}, {38, "Z"}, {40, "("}, {0, "x"}}}),
    svftest::CaseName<SequenceCase>);

// Every keyword, in a case that differs from the table's.
TEST_F(ReaderTest, EveryKeywordHasItsCode) {
    const TokenList keywords = {
        {1, "enddr"}, {2, "endir"}, {3, "hdr"}, {4, "hir"}, {5, "pio"}, {6, "piomap"},
        {7, "runtest"}, {8, "sdr"}, {9, "sir"}, {10, "state"}, {11, "tdr"}, {12, "tir"},
        {13, "trst"}, {14, "reset"}, {15, "idle"}, {16, "drpause"}, {17, "irpause"},
        {18, "drselect"}, {19, "drcapture"}, {20, "drshift"}, {21, "drexit1"}, {22, "drexit2"},
        {23, "drupdate"}, {24, "irselect"}, {25, "ircapture"}, {26, "irshift"}, {27, "irexit1"},
        {28, "irexit2"}, {29, "irupdate"}, {30, "tdi"}, {31, "tdo"}, {32, "mask"}, {33, "smask"},
        {35, "endstate"}, {36, "on"}, {37, "off"}, {38, "z"}, {39, "absent"}, {53, "frequency"},
        {53, "CLOCK"}, {56, "sck"}, {57, "tck"}, {58, "usec"}, {58, "US"}, {59, "msec"},
        {60, "sec"}, {62, "maximum"}, {63, "hz"}, {65, "KHZ"}, {66, "mhz"},
        {67, "MERLO_CORRECTION"}, {71, "in"}, {72, "out"}, {73, "inout"}, {74, "flag"},
        {0, "ENDDRX"}, {0, "HZZ"}, {0, "merlo"}, {0, "INOUTS"}};
    std::string line;
    for (const auto& [code, word] : keywords) line += word + " ";
    EXPECT_EQ(ReadAll(Start({line})).tokens, keywords);
}

// --------------------------------------------------------- marked comment lines

TEST_F(ReaderTest, MarkedLineFlagLastsUntilTheNextLine) {
    svf::SvfSession& session = Start({"!// FLAG", "FLAG"});
    EXPECT_EQ(NextToken(session).code, svf::kTokenFlag);
    EXPECT_TRUE(session.reader.embeddedStatement);
    EXPECT_EQ(NextToken(session).code, svf::kTokenFlag);
    EXPECT_FALSE(session.reader.embeddedStatement);
}

TEST_F(ReaderTest, UnknownWordOnAMarkedLineIsSkippedWithTheRestOfTheLine) {
    svf::SvfSession& session = Start({"!// MAYBE ; FLAG", "SDR"});
    const Token token = NextToken(session);
    EXPECT_EQ(token.code, svf::kTokenSdr);
    EXPECT_EQ(session.reader.lineNumber, 2u);
}

// ------------------------------------------------------------- line numbers

TEST_F(ReaderTest, LineNumberIsTheLineOfTheLastToken) {
    svf::SvfSession& session = Start({"", "! c", "TRST", "", "ON"});
    EXPECT_EQ(NextToken(session).code, svf::kTokenTrst);
    EXPECT_EQ(session.reader.lineNumber, 3u);
    EXPECT_EQ(NextToken(session).code, svf::kTokenOn);
    EXPECT_EQ(session.reader.lineNumber, 5u);
}

TEST_F(ReaderTest, EmptyOrCommentOnlyInputEndsAtOnceWithAProgressRecord) {
    for (const std::vector<std::string>& lines :
         {std::vector<std::string>{}, std::vector<std::string>{"", "! only", "  // comments", "!//"}}) {
        log.Clear();
        svf::SvfSession& session = Start(lines);
        const Token token = NextToken(session);
        EXPECT_EQ(token.status, svf::kEndOfFile);
        EXPECT_TRUE(log.Texts().empty()) << log.Dump();
        ASSERT_EQ(log.messages().size(), 1u);
        EXPECT_EQ(log.messages()[0].kind, static_cast<uint32_t>(SVF_MESSAGE_LINE));
        EXPECT_EQ(log.messages()[0].line, lines.size());
        // Asking again keeps answering the end of the input.
        EXPECT_EQ(NextToken(session).status, svf::kEndOfFile);
    }
}

TEST_F(ReaderTest, WordBufferHoldsAWholeLineWord) {
    const std::string word(500, 'A');
    const Tokens all = ReadAll(Start({word}));
    ASSERT_EQ(all.tokens.size(), 1u);
    EXPECT_EQ(all.tokens[0].second, word);
}

TEST_F(ReaderTest, MemoryLineLongerThanTheBufferIsRefused) {
    svf::SvfSession& session = Start({"SDR", std::string(600, 'A')});
    EXPECT_EQ(NextToken(session).code, svf::kTokenSdr);
    EXPECT_EQ(NextToken(session).status, svf::kSyntax);
    EXPECT_EQ(log.Errors(),
              std::vector<std::string>{ErrorAt(2, "maximum line length of 500 exceeded")});
}

// ---------------------------------------------------------------- file lines

class FileReaderTest : public ReaderTest {
protected:
    svf::SvfSession& StartFile(const std::string& content) {
        svf::SvfSession& session = Start({});
        const std::string path = dir.Write("input.svf", content);
        session.reader.linesInMemory = false;
        session.reader.svfFile.reset(svf::platform::OpenInputFile(path.c_str()));
        EXPECT_NE(session.reader.svfFile, nullptr);
        return session;
    }
    svftest::TempDir dir;
};

// Files are read as the Windows text mode reads them: CR LF is one line end.
TEST_F(FileReaderTest, LineOf500CharactersIsAccepted) {
    const std::string word(499, 'B');
    svf::SvfSession& session = StartFile(word + ";\r\nHDR\r\n");
    const Tokens all = ReadAll(session);
    EXPECT_EQ(all.tokens, (TokenList{{0, word}, {42, ";"}, {3, "HDR"}}));
    EXPECT_EQ(all.end, svf::kEndOfFile);
    EXPECT_TRUE(log.Errors().empty()) << log.Dump();
}

// A NUL byte counts like any other character.
TEST_F(FileReaderTest, LineOf501CharactersIsTooLong) {
    svf::SvfSession& session =
        StartFile("HDR 0;\n" + std::string(1, '\0') + std::string(500, 'C') + "\n");
    const Tokens all = ReadAll(session);
    EXPECT_EQ(all.tokens.size(), 3u);
    EXPECT_EQ(all.end, svf::kSyntax);
    EXPECT_EQ(log.Errors(), std::vector<std::string>{
                                "SVF line      2 : Error\t: maximum line length of 500 exceeded"});
}

TEST_F(FileReaderTest, LastLineWithoutLineEndCountsItsCharactersOnly) {
    const Tokens ok = ReadAll(StartFile(std::string(500, 'D')));
    EXPECT_EQ(ok.end, svf::kEndOfFile);
    EXPECT_EQ(ok.tokens.size(), 1u);
    log.Clear();
    const Tokens tooLong = ReadAll(StartFile(std::string(501, 'D')));
    EXPECT_EQ(tooLong.end, svf::kSyntax);
}

// A Ctrl-Z ends the file, as in the Windows text mode.
TEST_F(FileReaderTest, LineEndsAreRemovedAndLinesCounted) {
    svf::SvfSession& session = StartFile("TRST\r\n\n OFF ;\r\n\x1A" "BOGUS;\n");
    EXPECT_EQ(ReadAll(session).tokens, (TokenList{{13, "TRST"}, {37, "OFF"}, {42, ";"}}));
    EXPECT_EQ(session.reader.lineNumber, 3u);
}

TEST_F(FileReaderTest, NulIsACharacterOfItsWord) {
    const std::string word("A\0B", 3);
    EXPECT_EQ(ReadAll(StartFile(word + " " + word + "(\n")).tokens,
              (TokenList{{0, word}, {0, word}, {40, "("}}));
}

// ------------------------------------------------------------- PIOMAP words

struct PioCase {
    const char* name;
    std::vector<std::string> lines;
    TokenList expected;
};

class PioWords : public ReaderTest, public ::testing::WithParamInterface<PioCase> {};

TEST_P(PioWords, SplitOnlyLeadingParenthesisAndTrailingCloseSemicolon) {
    EXPECT_EQ(ReadAll(Start(GetParam().lines), NextPioWord).tokens, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Reader, PioWords,
    ::testing::Values(
        PioCase{"CloseSemicolonCutOff", {"A);"}, {{75, "A"}, {80, ");"}}},
        PioCase{"CloseAloneStays", {"A) ;"}, {{75, "A)"}, {75, ";"}}},
        PioCase{"OpenSplitOff", {"(IN 12 Pin_3"}, {{40, "("}, {76, "IN"}, {79, "12"}, {75, "Pin_3"}}},
        PioCase{"DirectionsIgnoreCase", {"in Out INOUT inout2"},
                {{76, "in"}, {77, "Out"}, {78, "INOUT"}, {75, "inout2"}}},
        PioCase{"DigitsWithOtherCharacters", {"12a 7);"}, {{75, "12a"}, {79, "7"}, {80, ");"}}},
        PioCase{"MarkersAreComments", {"!// IN", "//! OUT", "// x", "A"}, {{75, "A"}}},
        PioCase{"SemicolonInsideWord", {"a;b"}, {{75, "a;b"}}}),
    svftest::CaseName<PioCase>);

TEST_F(ReaderTest, PioWordAtEndOfInputReportsTheLine) {
    svf::SvfSession& session = Start({"IN A", ""});
    EXPECT_EQ(NextPioWord(session).code, svf::kPioWordIn);
    EXPECT_EQ(NextPioWord(session).code, svf::kPioWordOther);
    EXPECT_EQ(NextPioWord(session).status, svf::kEndOfFile);
    EXPECT_EQ(log.Errors(), std::vector<std::string>{"Unexpected end of file at line 2"});
}

TEST_F(ReaderTest, ReadersContinueEachOther) {
    svf::SvfSession& session = Start({"PIOMAP (IN A);SDR"});
    EXPECT_EQ(NextToken(session).code, svf::kTokenPioMap);
    EXPECT_EQ(NextPioWord(session).code, svf::kPioWordOpen);
    EXPECT_EQ(NextPioWord(session).code, svf::kPioWordIn);
    // The word reader takes "A);SDR" whole: only a trailing ");" is split.
    EXPECT_STREQ(NextPioWord(session).text, "A);SDR");
    EXPECT_EQ(NextToken(session).status, svf::kEndOfFile);
}

// ------------------------------------------------------------------ abort poll

int32_t fakeNow = 0;
int32_t fakeStep = 0;
// Advances by fakeStep on every reading, wrapping like a 32-bit tick counter.
int32_t AdvancingClock() {
    fakeNow = static_cast<int32_t>(static_cast<uint32_t>(fakeNow) + static_cast<uint32_t>(fakeStep));
    return fakeNow;
}

class AbortPollTest : public ReaderTest {
protected:
    void SetClockStep(int32_t step) {
        fakeNow = 0;
        fakeStep = step;
        svf::platform::SetMillisecondClockOverride(AdvancingClock);
    }

    size_t ProgressRecords() const {
        size_t count = 0;
        for (const auto& message : log.messages()) count += message.kind == SVF_MESSAGE_LINE;
        return count;
    }
};

TEST_F(AbortPollTest, HostIsPolledOncePerIntervalWhenLinesAreRead) {
    SetClockStep(400);  // a poll every second line read: 400 + 400 > 750
    svf::SvfSession& session = Start({"HDR", "HDR", "HDR", "HDR", "HDR 0 0 0 0 0 0 0;"});
    const Tokens all = ReadAll(session);
    EXPECT_EQ(all.end, svf::kEndOfFile);
    EXPECT_EQ(log.abortPolls(), 2);
    // Two polls and the closing record; the tokens of one line never poll.
    EXPECT_EQ(ProgressRecords(), 3u);
    EXPECT_EQ(log.messages()[0].line, 2u);
    EXPECT_EQ(log.messages()[1].line, 4u);
}

TEST_F(AbortPollTest, ExactlyTheIntervalIsNotYetAPoll) {
    SetClockStep(375);  // 750 after two lines: not more than the interval
    ReadAll(Start({"HDR", "HDR", "HDR", "HDR"}));
    EXPECT_EQ(log.abortPolls(), 1);
    EXPECT_EQ(log.messages()[0].line, 3u);
}

TEST_F(AbortPollTest, ClockThatStandsStillNeverPolls) {
    SetClockStep(0);
    ReadAll(Start({"HDR", "HDR", "HDR"}));
    EXPECT_EQ(log.abortPolls(), 0);
    EXPECT_EQ(ProgressRecords(), 1u);
}

TEST_F(AbortPollTest, AbortReleasesPatternsAndEndsWith32) {
    SetClockStep(751);
    log.AbortAfterPolls(2);
    svf::SvfSession& session = Start({"HDR", "HDR", "HDR", "HDR"});
    session.scanParts[svf::kDrBody].tdi.bits.assign(4, 0xFFFF);
    session.scanParts[svf::kDrBody].tdi.defined = 1;
    const Tokens all = ReadAll(session);
    EXPECT_EQ(all.end, svf::kAborted);
    EXPECT_EQ(all.tokens.size(), 2u);
    EXPECT_EQ(log.abortPolls(), 3);
    EXPECT_EQ(log.Errors(), std::vector<std::string>{"SVF Aborted !"});
    EXPECT_TRUE(session.scanParts[svf::kDrBody].tdi.bits.empty());
    EXPECT_EQ(session.scanParts[svf::kDrBody].tdi.defined, 0u);
}

TEST_F(AbortPollTest, WithoutAbortCallbackProgressIsStillSent) {
    SetClockStep(751);
    log.report()->abortCallback = nullptr;
    ReadAll(Start({"HDR", "HDR"}));
    EXPECT_EQ(ProgressRecords(), 3u);  // one per line and the closing record
}

TEST_F(AbortPollTest, ClockWrapAroundStillPolls) {
    fakeNow = INT32_MAX - 100;
    fakeStep = 800;
    svf::platform::SetMillisecondClockOverride(AdvancingClock);
    svf::SvfSession& session = Start({"HDR"});
    session.reader.lastPollTime = INT32_MAX - 100;
    ReadAll(session);
    EXPECT_EQ(log.abortPolls(), 1);
}

}  // namespace
