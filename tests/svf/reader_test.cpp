// The statement tokenizer, the PIOMAP word reader, file lines and the abort
// poll.
#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "svf/reader/reader.h"
#include "svf_fixture.h"

namespace {

using namespace std::string_literals;
using svf::NextPioWord;
using svf::NextToken;
using svf::Token;
using svftest::ErrorAt;
using svftest::Strings;
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

// "code:text" of every token, space separated.
std::string Show(const TokenList& tokens) {
    std::string shown;
    for (const auto& [code, text] : tokens) {
        if (!shown.empty()) shown += ' ';
        shown += std::to_string(code);
        shown += ':';
        shown += text;
    }
    return shown;
}

class Reader : public svftest::SvfFixture {};

TEST_F(Reader, TokenSequences) {
    const std::string longWord(500, 'A');
    const std::pair<Strings, std::string> rows[] = {
        {{"SDR 8 TDI(FF);"}, "8:SDR 61:8 30:TDI 40:( 0:FF 41:) 42:;"},
        {{"sdr Sir runTest us Us uSeC clock Merlo_Correction khz"},
         "8:sdr 9:Sir 7:runTest 58:us 58:Us 58:uSeC 53:clock 67:Merlo_Correction 65:khz"},
        // Numbers start with a digit; a word that does is never a keyword.
        {{"1E-3 0FF 8 .5 -1 FFh 1.5E+6 1HZ HZ"},
         "61:1E-3 61:0FF 61:8 0:.5 0:-1 0:FFh 61:1.5E+6 61:1HZ 63:HZ"},
        {{"! SDR 8;", "// SIR 8;", "TRST ON; ! rest", "ENDDR IDLE ;// rest", "   "},
         "13:TRST 36:ON 42:; 1:ENDDR 15:IDLE 42:;"},
        {{"FF!x A//B (!c"}, "0:FF!x 0:A//B 40:("},
        {{"/ x"}, "0:/ 0:x"},
        // Marked comment lines carry statements; free text or a comment ends them.
        {{"!// FLAG 3;", "//! merlo_correction OFF;", "  !//ENDIR IRPAUSE;"},
         "74:FLAG 61:3 42:; 67:merlo_correction 37:OFF 42:; 2:ENDIR 17:IRPAUSE 42:;"},
        {{"!//", "//!", "HDR"}, "3:HDR"},
        {{"!// MAYBE ; FLAG", "SDR"}, "8:SDR"},
        {{"!// FREQUENCY 1E6 HZ; then some words; TRST", "TIR 0;"},
         "53:FREQUENCY 61:1E6 63:HZ 42:; 12:TIR 61:0 42:;"},
        {{"!// STATE IDLE; ! note", "TDR 0;"}, "10:STATE 15:IDLE 42:; 11:TDR 61:0 42:;"},
        {{"SDR\v8\fTDI\t(A5)ON;OFF\rZ(x"},
         "8:SDR 61:8 30:TDI 40:( 0:A5 41:) 36:ON 42:; 37:OFF 38:Z 40:( 0:x"},
        {{longWord}, "0:" + longWord},
    };
    for (const auto& [lines, expected] : rows) {
        SCOPED_TRACE(lines.front());
        log.Clear();
        const Tokens all = ReadAll(Start(lines));
        EXPECT_EQ(Show(all.tokens), expected);
        EXPECT_EQ(all.end, svf::kEndOfFile);
        EXPECT_TRUE(log.Errors().empty()) << log.Dump();
    }
}

// Every keyword, in a case that differs from the table's.
TEST_F(Reader, EveryKeywordHasItsCode) {
    const std::string keywords =
        "1:enddr 2:endir 3:hdr 4:hir 5:pio 6:piomap 7:runtest 8:sdr 9:sir 10:state 11:tdr "
        "12:tir 13:trst 14:reset 15:idle 16:drpause 17:irpause 18:drselect 19:drcapture "
        "20:drshift 21:drexit1 22:drexit2 23:drupdate 24:irselect 25:ircapture 26:irshift "
        "27:irexit1 28:irexit2 29:irupdate 30:tdi 31:tdo 32:mask 33:smask 35:endstate 36:on "
        "37:off 38:z 39:absent 53:frequency 53:CLOCK 56:sck 57:tck 58:usec 58:US 59:msec 60:sec "
        "62:maximum 63:hz 65:KHZ 66:mhz 67:MERLO_CORRECTION 71:in 72:out 73:inout 74:flag "
        "0:ENDDRX 0:HZZ 0:merlo 0:INOUTS";
    std::string line;  // the words alone
    std::istringstream in(keywords);
    for (std::string token; in >> token;) line += token.substr(token.find(':') + 1) + " ";
    EXPECT_EQ(Show(ReadAll(Start({line})).tokens), keywords);
}

TEST_F(Reader, EmptyOrCommentOnlyInputEndsAtOnceWithAProgressRecord) {
    for (const Strings& lines : {Strings{}, Strings{"", "! only", "  // comments", "!//"}}) {
        log.Clear();
        svf::SvfSession& session = Start(lines);
        EXPECT_EQ(NextToken(session).status, svf::kEndOfFile);
        ASSERT_EQ(log.messages().size(), 1u);
        EXPECT_EQ(log.messages()[0].kind, static_cast<uint32_t>(SVF_MESSAGE_LINE));
        EXPECT_EQ(log.messages()[0].line, lines.size());
        EXPECT_EQ(NextToken(session).status, svf::kEndOfFile);
    }
}

// Files are read as the Windows text mode reads them: CR LF is one line end,
// a Ctrl-Z ends the file. A NUL byte counts like any other character.
TEST_F(Reader, FileLines) {
    const std::string tooLong = ErrorAt(2, "maximum line length of 500 exceeded");
    const std::string b499(499, 'B'), d500(500, 'D');
    const struct {
        std::string content;
        std::string tokens;
        svf::Status end;
        Strings errors;
    } rows[] = {
        {b499 + ";\r\nHDR\r\n", "0:" + b499 + " 42:; 3:HDR", svf::kEndOfFile, {}},
        {"HDR 0;\n\0"s + std::string(500, 'C') + "\n", "3:HDR 61:0 42:;", svf::kSyntax, {tooLong}},
        {d500, "0:" + d500, svf::kEndOfFile, {}},
        {"\n" + d500 + "D", "", svf::kSyntax, {tooLong}},
        {"TRST\r\n\n OFF ;\r\n\x1A"
         "BOGUS;\n",
         "13:TRST 37:OFF 42:;",
         svf::kEndOfFile,
         {}},
        {"A\0B A\0B(\n"s, "0:A\0B 0:A\0B 40:("s, svf::kEndOfFile, {}},
    };
    svftest::TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.content.substr(0, 12));
        log.Clear();
        svf::SvfSession& session = Start({});
        session.reader.linesInMemory = false;
        const std::string path = dir.Write("input.svf", row.content);
        session.reader.svfFile.reset(svf::platform::OpenInputFile(path.c_str()));
        const Tokens all = ReadAll(session);
        EXPECT_EQ(Show(all.tokens), row.tokens);
        EXPECT_EQ(all.end, row.end);
        EXPECT_EQ(log.Errors(), row.errors);
    }
}

// PIOMAP words split off only a leading "(" and a trailing ");".
TEST_F(Reader, PioWords) {
    const std::pair<Strings, std::string> rows[] = {
        {{"A);"}, "75:A 80:);"},
        {{"A) ;"}, "75:A) 75:;"},
        {{"(IN 12 Pin_3"}, "40:( 76:IN 79:12 75:Pin_3"},
        {{"in Out INOUT inout2"}, "76:in 77:Out 78:INOUT 75:inout2"},
        {{"12a 7);"}, "75:12a 79:7 80:);"},
        {{"!// IN", "//! OUT", "// x", "A"}, "75:A"},
        {{"a;b"}, "75:a;b"},
    };
    for (const auto& [lines, expected] : rows) {
        EXPECT_EQ(Show(ReadAll(Start(lines), NextPioWord).tokens), expected) << lines.front();
    }
    log.Clear();
    svf::SvfSession& session = Start({"IN A", ""});
    EXPECT_EQ(ReadAll(session, NextPioWord).end, svf::kEndOfFile);
    EXPECT_EQ(log.Errors(), Strings{"Unexpected end of file at line 2"});
}

TEST_F(Reader, ReadersContinueEachOther) {
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
    fakeNow =
        static_cast<int32_t>(static_cast<uint32_t>(fakeNow) + static_cast<uint32_t>(fakeStep));
    return fakeNow;
}

// The host is polled when a line is read more than 750 ms after the last
// poll; each poll that lets the run go on sends a progress record, and so
// does the end of the input.
TEST_F(Reader, AbortPoll) {
    const struct {
        int32_t start;
        int32_t step;
        size_t lines;
        int abortAfter;  // polls answered "go on"; -1: never abort
        bool callback;
        svf::Status end;
        int polls;
        std::vector<uint32_t> progress;  // the line of every progress record
    } rows[] = {
        {0, 400, 5, -1, true, svf::kEndOfFile, 2, {2, 4, 5}},
        {0, 375, 4, -1, true, svf::kEndOfFile, 1, {3, 4}},
        {0, 0, 3, -1, true, svf::kEndOfFile, 0, {3}},
        {0, 751, 4, 2, true, svf::kAborted, 3, {1, 2}},
        {0, 751, 2, -1, false, svf::kEndOfFile, 0, {1, 2, 2}},
        {INT32_MAX - 100, 800, 1, -1, true, svf::kEndOfFile, 1, {1, 1}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.step);
        svftest::MessageLog rowLog;
        rowLog.AbortAfterPolls(row.abortAfter);
        if (!row.callback) rowLog.report()->abortCallback = nullptr;
        fakeNow = row.start;
        fakeStep = row.step;
        svf::platform::SetMillisecondClockOverride(AdvancingClock);
        svftest::TestSession session(rowLog, Strings(row.lines, "HDR 0 0 0;"));
        session->reader.lastPollTime = row.start;
        const Tokens all = ReadAll(*session);
        EXPECT_EQ(all.end, row.end);
        EXPECT_EQ(rowLog.abortPolls(), row.polls);
        std::vector<uint32_t> progress;
        for (const auto& message : rowLog.messages()) {
            if (message.kind == SVF_MESSAGE_LINE) progress.push_back(message.line);
        }
        EXPECT_EQ(progress, row.progress);
        if (row.end == svf::kAborted) {
            EXPECT_EQ(all.tokens.size(), 10u);  // the two lines read before
            EXPECT_EQ(rowLog.Errors(), Strings{"SVF Aborted !"});
        }
    }
}

}  // namespace
