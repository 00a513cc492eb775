// PIO mapping file: grammar, word reader, classifier, every error with its
// line number.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pio/pio_map_file.h"
#include "session.h"
#include "support/files.h"
#include "support/messages.h"

namespace {

using svftest::MessageLog;
using svftest::TempDir;

// All 19 pod pin names, in code order.
std::vector<std::string> AllPinWords() {
    std::vector<std::string> words;
    for (int tap = 1; tap <= 4; ++tap) {
        for (int pin = 1; pin <= 4; ++pin) {
            words.push_back("KWZ_PIO_" + std::to_string(tap) + "_" + std::to_string(pin));
        }
    }
    words.insert(words.end(), {"VPP_E", "USER0", "USER1"});
    return words;
}

std::string PairList(size_t pairs) {
    const std::vector<std::string> words = AllPinWords();
    std::string text = "PIO_PIN_LIST\n";
    for (size_t i = 0; i < pairs; ++i) text += words[i] + " Name" + std::to_string(i) + "\n";
    return text + "END_PIO_PIN_LIST\n";
}

struct ReadResult {
    svf::Status status;
    std::vector<std::string> errors;
};

ReadResult ReadText(const std::string& text, svf::PodPins& pod) {
    TempDir dir;
    MessageLog log;
    const std::string path = dir.Write("map.txt", text);
    const svf::Status status = svf::ReadPioMapFile(&pod, log.report(), path.c_str());
    return {status, log.Errors()};
}

// ------------------------------------------------------------------ errors

struct GrammarCase {
    const char* name;
    std::string text;
    svf::Status status;
    std::string message;  // the one error expected; empty: none
};

void PrintTo(const GrammarCase& c, std::ostream* os) { *os << c.name; }

class MapFileGrammar : public testing::TestWithParam<GrammarCase> {};

TEST_P(MapFileGrammar, StatusAndMessage) {
    const GrammarCase& c = GetParam();
    svf::PodPins pod;
    const ReadResult result = ReadText(c.text, pod);
    EXPECT_EQ(result.status, c.status);
    if (c.message.empty()) {
        EXPECT_TRUE(result.errors.empty()) << result.errors.front();
    } else {
        EXPECT_EQ(result.errors, std::vector<std::string>{c.message});
    }
}

const std::string kLine = "Error line ";
const std::string kPinOrEnd = " of PIO mapping file: <pod_pin_name> or <END_PIO_PIN_LIST> expected, found ";

INSTANTIATE_TEST_SUITE_P(
    PioMapFile, MapFileGrammar,
    testing::Values(
        GrammarCase{"Minimal", "PIO_PIN_LIST KWZ_PIO_1_1 A END_PIO_PIN_LIST\n", svf::kOk, ""},
        GrammarCase{"LowerCaseWords", "pio_pin_list\nkwz_pio_1_1 a\nvpp_e b\nend_pio_pin_list\n", svf::kOk,
                    ""},
        GrammarCase{"NoFinalNewline", "PIO_PIN_LIST\nKWZ_PIO_1_1 A\nEND_PIO_PIN_LIST", svf::kOk, ""},
        GrammarCase{"TabsAndCommentsAround",
                    "! header\n\tPIO_PIN_LIST\t! start\nKWZ_PIO_4_4\tA\n\nEND_PIO_PIN_LIST ! done\n"
                    "! trailing comment",
                    svf::kOk, ""},
        GrammarCase{"KeywordAndPinAsLogicalNames",
                    "PIO_PIN_LIST\nKWZ_PIO_1_1 PIO_PIN_LIST\nKWZ_PIO_1_2 USER0\n"
                    "KWZ_PIO_1_3 END_PIO_PIN_LIST\nEND_PIO_PIN_LIST\n",
                    svf::kOk, ""},
        GrammarCase{"CommentEndsWordAtOnce", "PIO_PIN_LIST\nKWZ_PIO_1_1 A!note\nEND_PIO_PIN_LIST!x",
                    svf::kOk, ""},
        GrammarCase{"WrongFirstKeyword", "\n\nPIN_LIST\n", svf::kPioMapSyntax,
                    kLine + "3 of PIO mapping file: keyword <PIO_PIN_LIST> expected"},
        GrammarCase{"PinNumberFive", "PIO_PIN_LIST\nKWZ_PIO_1_5 A\nEND_PIO_PIN_LIST\n", svf::kPioMapSyntax,
                    kLine + "2" + kPinOrEnd + "'KWZ_PIO_1_5'"},
        GrammarCase{"TapWithLeadingZero", "PIO_PIN_LIST\nKWZ_PIO_01_1 A\nEND_PIO_PIN_LIST\n", svf::kPioMapSyntax,
                    kLine + "2" + kPinOrEnd + "'KWZ_PIO_01_1'"},
        GrammarCase{"TapFive", "PIO_PIN_LIST\n\nKWZ_PIO_5_1 A\n", svf::kPioMapSyntax,
                    kLine + "3" + kPinOrEnd + "'KWZ_PIO_5_1'"},
        GrammarCase{"NoPairs", "PIO_PIN_LIST END_PIO_PIN_LIST\n", svf::kPioMapSyntax,
                    "Error: No information found while reading PIO mapping file"},
        GrammarCase{"WordAfterEnd", "PIO_PIN_LIST\nUSER1 A\nEND_PIO_PIN_LIST ! c\n\nMORE\n", svf::kPioMapSyntax,
                    kLine +
                        "5 of PIO mapping file: keyword <END_PIO_PIN_LIST> expected, found 'MORE'"},
        GrammarCase{"EndsWherePinDue", "PIO_PIN_LIST\nKWZ_PIO_1_1 A", svf::kPioMapSyntax,
                    kLine + "2 of PIO mapping file: <pod_pin_name> expected"},
        // The line end after the last word counts once the next word is asked for.
        GrammarCase{"EndsWherePinDueAfterNewline", "PIO_PIN_LIST\n", svf::kPioMapSyntax,
                    kLine + "2 of PIO mapping file: <pod_pin_name> expected"},
        GrammarCase{"EndsAfterPinName", "PIO_PIN_LIST\nKWZ_PIO_1_1", svf::kPioMapSyntax,
                    kLine + "2 of PIO mapping file: <logical_name> expected"},
        GrammarCase{"LogicalNameTooLong",
                    "PIO_PIN_LIST\nKWZ_PIO_1_1 " + std::string(256, 'n') + "\n", svf::kPioMapSyntax,
                    kLine + "2 of PIO mapping file: <logical_name> expected"},
        GrammarCase{"NameDifferingInCase",
                    "PIO_PIN_LIST\nKWZ_PIO_1_1 Reset\nKWZ_PIO_1_2 RESET\nEND_PIO_PIN_LIST\n", svf::kPioNameDefined,
                    kLine + "3 of PIO mapping file: <logical_name> 'RESET' is already defined"},
        // The pin word as written the second time; the line of the name read after it.
        GrammarCase{"PinNamedTwice",
                    "PIO_PIN_LIST\nKWZ_PIO_2_3 A\nkwz_Pio_2_3\nB\nEND_PIO_PIN_LIST\n", svf::kPioPinDefined,
                    kLine + "4 of PIO mapping file: <pin_name> 'kwz_Pio_2_3' is already defined"},
        GrammarCase{"PodSignalNamedTwice", "PIO_PIN_LIST\nUSER0 A\nuser0 B\n", svf::kPioPinDefined,
                    kLine + "3 of PIO mapping file: <pin_name> 'user0' is already defined"},
        GrammarCase{"CarriageReturnIsALineEnd", "PIO_PIN_LIST\rKWZ_PIO_1_1 A\r\rBAD B\r", svf::kPioMapSyntax,
                    kLine + "4" + kPinOrEnd + "'BAD'"},
        // Read as the Windows text mode reads it: CR LF is one line end,
        // Ctrl-Z ends the file.
        GrammarCase{"CrLfIsOneLineEnd", "PIO_PIN_LIST\r\nKWZ_PIO_1_1 A\r\n\r\nBAD B\r\n", svf::kPioMapSyntax,
                    kLine + "4" + kPinOrEnd + "'BAD'"},
        GrammarCase{"CtrlZEndsTheFile", "PIO_PIN_LIST\r\nUSER0 A\r\nEND_PIO_PIN_LIST\r\n\x1A" "B\r\n",
                    svf::kOk, ""},
        // A NUL byte is a character of the name: these two names differ.
        GrammarCase{"NulInsideNames",
                    std::string("PIO_PIN_LIST\nUSER0 A\0B\nUSER1 A\0C\nEND_PIO_PIN_LIST\n", 50), svf::kOk,
                    ""},
        GrammarCase{"CommentInsideWordKeepsLineCount",
                    "PIO_PIN_LIST\nKWZ_PIO_1_1 A!x y z\nBAD!\n", svf::kPioMapSyntax,
                    kLine + "3" + kPinOrEnd + "'BAD'"},
        GrammarCase{"AllNineteenPins", PairList(19), svf::kOk, ""}),
    [](const testing::TestParamInfo<GrammarCase>& param) { return std::string(param.param.name); });

TEST(PioMapFile, UnreadableFirstWordNamesThePath) {
    for (const std::string& text :
         std::vector<std::string>{"", "! only a comment\n\n", std::string(256, 'P') + "\n"}) {
        TempDir dir;
        MessageLog log;
        svf::PodPins pod;
        const std::string path = dir.Write("map.txt", text);
        EXPECT_EQ(svf::ReadPioMapFile(&pod, log.report(), path.c_str()), svf::kPioMapUnreadable);
        EXPECT_EQ(log.Errors(), std::vector<std::string>{"Error: Unable to read file '" + path + "'"});
    }
}

TEST(PioMapFile, MissingPathOrModelIsAnInternalError) {
    TempDir dir;
    MessageLog log;
    svf::PodPins pod;
    const std::string path = dir.Write("map.txt", PairList(1));
    EXPECT_EQ(svf::ReadPioMapFile(&pod, log.report(), nullptr), svf::kInternal);
    EXPECT_EQ(svf::ReadPioMapFile(nullptr, log.report(), path.c_str()), svf::kInternal);
    EXPECT_EQ(log.Errors(), (std::vector<std::string>{"Error: Internal error", "Error: Internal error"}));
    EXPECT_EQ(log.report()->resultCode, 0u);
}

TEST(PioMapFile, PairsBecomePinsInFileOrder) {
    svf::PodPins pod;
    const ReadResult result =
        ReadText("PIO_PIN_LIST\nkwz_pio_3_2 Clock\nUSER1 Enable\nVpp_e Prog\nEND_PIO_PIN_LIST\n",
                 pod);
    ASSERT_EQ(result.status, svf::kOk);
    ASSERT_EQ(pod.pins.size(), 3u);
    EXPECT_EQ(pod.pinCount, 3u);
    struct Expected {
        uint32_t tap, pin;
        const char* name;
    };
    const Expected expected[] = {{3, 2, "Clock"}, {0, 2, "Enable"}, {0, 3, "Prog"}};
    for (size_t i = 0; i < 3; ++i) {
        const svf::PodPin& pin = *pod.pins[i];
        EXPECT_EQ(pin.tap, expected[i].tap) << i;
        EXPECT_EQ(pin.pin, expected[i].pin) << i;
        EXPECT_EQ(pin.logicalName, expected[i].name) << i;
        EXPECT_EQ(pin.column, i + 1);
        EXPECT_EQ(pin.direction, svf::kDirectionInOut);
        EXPECT_EQ(pin.value, '0');
    }
}

TEST(PioMapFile, PinsBeforeAnErrorStayInTheModel) {
    svf::PodPins pod;
    const ReadResult result = ReadText("PIO_PIN_LIST\nKWZ_PIO_1_1 A\nKWZ_PIO_1_2 a\n", pod);
    EXPECT_EQ(result.status, svf::kPioNameDefined);
    ASSERT_EQ(pod.pins.size(), 1u);
    EXPECT_EQ(pod.pins[0]->logicalName, "A");
}

// Nineteen names exist, so the limit of twenty is only met by a model that
// was filled before the file.
TEST(PioMapFile, FullModelRefusesTheNextPair) {
    svf::PodPins pod;
    pod.pinCount = svf::kMaxPodPins;
    const ReadResult result = ReadText(PairList(1), pod);
    EXPECT_EQ(result.status, svf::kPioTooManyPins);
    EXPECT_EQ(result.errors, std::vector<std::string>{
                                 "Error reading mapping file: maximum number of pod PIO pins exceeded"});
    EXPECT_TRUE(pod.pins.empty());
}

// ------------------------------------------------------------ word reader

struct WordRead {
    svf::PioMapWordResult result;
    std::string word;
    uint32_t line;
};

std::vector<WordRead> ReadAllWords(const std::string& text) {
    TempDir dir;
    const std::string path = dir.Write("words.txt", text);
    svf::FilePtr file(std::fopen(path.c_str(), "r"));
    EXPECT_TRUE(file);
    svf::PioMapReader reader;
    reader.file = file.get();
    std::vector<WordRead> words;
    for (;;) {
        const svf::PioMapWordResult result = svf::ReadPioMapWord(reader);
        words.push_back({result, reader.word, reader.lineNumber});
        if (result != svf::PioMapWordResult::kWord) return words;
    }
}

TEST(PioMapWord, LongestWordIs255Characters) {
    const std::string longest(255, 'w');
    std::vector<WordRead> words = ReadAllWords(longest + " x");
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].result, svf::PioMapWordResult::kWord);
    EXPECT_EQ(words[0].word, longest);

    words = ReadAllWords(longest + "w");
    EXPECT_EQ(words.front().result, svf::PioMapWordResult::kTooLong);
}

TEST(PioMapWord, ClassifiesByLengthThenSpelling) {
    struct Case {
        const char* word;
        uint32_t code;
    };
    const Case cases[] = {
        {"KWZ_PIO_1_1", 1},       {"kwz_pio_1_4", 4},      {"KWZ_PIO_2_1", 5},
        {"Kwz_Pio_3_3", 11},      {"KWZ_PIO_4_4", 16},     {"VPP_E", 17},
        {"user0", 18},            {"USER1", 19},           {"pio_pin_list", 21},
        {"End_Pio_Pin_List", 22}, {"KWZ_PIO_0_1", 23},     {"KWZ_PIO_1_0", 23},
        {"KWZ_PIO_1-1", 23},      {"KWZ_PIO_1_11", 23},    {"USER2", 23},
        {"VPP_E_", 23},           {"PIO_PIN_LIST_", 23},   {"KWZ_PIO_1_", 23},
    };
    for (const Case& c : cases) {
        svf::PioMapReader reader;
        std::snprintf(reader.word, sizeof reader.word, "%s", c.word);
        reader.wordLength = static_cast<uint32_t>(std::string(c.word).size());
        EXPECT_EQ(svf::ClassifyPioMapWord(reader), c.code) << c.word;
    }
    svf::PioMapReader empty;
    EXPECT_EQ(svf::ClassifyPioMapWord(empty), svf::kPioMapNoWord);
}

}  // namespace
