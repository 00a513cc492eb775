// PIO mapping file: grammar, word classes, every error with its line number,
// and the pins the pairs become.
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
using Strings = std::vector<std::string>;

// All 19 pod pin names, each with a logical name.
std::string AllPairs() {
    std::string text = "PIO_PIN_LIST\n";
    for (int i = 0; i < 16; ++i) {
        text += "KWZ_PIO_" + std::to_string(i / 4 + 1) + "_" + std::to_string(i % 4 + 1) + " N" +
                std::to_string(i) + "\n";
    }
    return text + "VPP_E P\nUSER0 Q\nUSER1 R\nEND_PIO_PIN_LIST\n";
}

struct ReadResult {
    svf::Status status;
    Strings errors;
    std::string path;
};

ReadResult ReadText(const std::string& text, svf::PodPins& pod) {
    TempDir dir;
    MessageLog log;
    const std::string path = dir.Write("map.txt", text);
    const svf::Status status = svf::ReadPioMapFile(&pod, log.report(), path.c_str());
    return {status, log.Errors(), path};
}

const std::string kList = "PIO_PIN_LIST\n";
const std::string kLine = "Error line ";
const std::string kPinOrEnd =
    " of PIO mapping file: <pod_pin_name> or <END_PIO_PIN_LIST> expected, found ";

TEST(PioMapFile, GrammarStatusAndMessage) {
    struct Row {
        const char* name;
        std::string text;
        svf::Status status;
        std::string message;  // the one error expected; empty: none
    };
    const Row rows[] = {
        {"Minimal", "PIO_PIN_LIST KWZ_PIO_1_1 A END_PIO_PIN_LIST\n", svf::kOk, ""},
        {"LowerCaseWords", "pio_pin_list\nkwz_pio_1_1 a\nvpp_e b\nend_pio_pin_list\n", svf::kOk,
         ""},
        {"NoFinalNewline", kList + "KWZ_PIO_1_1 A\nEND_PIO_PIN_LIST", svf::kOk, ""},
        {"TabsAndCommentsAround",
         "! header\n\tPIO_PIN_LIST\t! start\nKWZ_PIO_4_4\tA\n\nEND_PIO_PIN_LIST ! done\n! end",
         svf::kOk, ""},
        {"KeywordAndPinAsLogicalNames",
         kList + "KWZ_PIO_1_1 PIO_PIN_LIST\nKWZ_PIO_1_2 USER0\nKWZ_PIO_1_3 END_PIO_PIN_LIST\n" +
             "END_PIO_PIN_LIST\n",
         svf::kOk, ""},
        {"CommentEndsWordAtOnce", kList + "KWZ_PIO_1_1 A!note\nEND_PIO_PIN_LIST!x", svf::kOk, ""},
        {"LogicalNameOf255", kList + "USER0 " + std::string(255, 'n') + "\nEND_PIO_PIN_LIST\n",
         svf::kOk, ""},
        {"AllNineteenPins", AllPairs(), svf::kOk, ""},
        {"WrongFirstKeyword", "\n\nPIN_LIST\n", svf::kPioMapSyntax,
         kLine + "3 of PIO mapping file: keyword <PIO_PIN_LIST> expected"},
        {"PinNumberZero", kList + "KWZ_PIO_1_0 A\n", svf::kPioMapSyntax,
         kLine + "2" + kPinOrEnd + "'KWZ_PIO_1_0'"},
        {"TapWithLeadingZero", kList + "KWZ_PIO_01_1 A\n", svf::kPioMapSyntax,
         kLine + "2" + kPinOrEnd + "'KWZ_PIO_01_1'"},
        {"PinTwoDigits", kList + "KWZ_PIO_1_11 A\n", svf::kPioMapSyntax,
         kLine + "2" + kPinOrEnd + "'KWZ_PIO_1_11'"},
        {"TapFive", kList + "\nKWZ_PIO_5_1 A\n", svf::kPioMapSyntax,
         kLine + "3" + kPinOrEnd + "'KWZ_PIO_5_1'"},
        {"User2", kList + "USER2 A\n", svf::kPioMapSyntax, kLine + "2" + kPinOrEnd + "'USER2'"},
        {"VppWithSuffix", kList + "VPP_E_ A\n", svf::kPioMapSyntax,
         kLine + "2" + kPinOrEnd + "'VPP_E_'"},
        {"NoPairs", "PIO_PIN_LIST END_PIO_PIN_LIST\n", svf::kPioMapSyntax,
         "Error: No information found while reading PIO mapping file"},
        {"WordAfterEnd", kList + "USER1 A\nEND_PIO_PIN_LIST ! c\n\nMORE\n", svf::kPioMapSyntax,
         kLine + "5 of PIO mapping file: keyword <END_PIO_PIN_LIST> expected, found 'MORE'"},
        {"EndsWherePinDue", kList + "KWZ_PIO_1_1 A", svf::kPioMapSyntax,
         kLine + "2 of PIO mapping file: <pod_pin_name> expected"},
        {"EndsInACommentWherePinDue", kList + "KWZ_PIO_1_1 A ! no line end", svf::kPioMapSyntax,
         kLine + "2 of PIO mapping file: <pod_pin_name> expected"},
        // The line end after the last word counts once the next word is asked for.
        {"EndsWherePinDueAfterNewline", kList, svf::kPioMapSyntax,
         kLine + "2 of PIO mapping file: <pod_pin_name> expected"},
        {"EndsAfterPinName", kList + "KWZ_PIO_1_1", svf::kPioMapSyntax,
         kLine + "2 of PIO mapping file: <logical_name> expected"},
        {"LogicalNameTooLong", kList + "KWZ_PIO_1_1 " + std::string(256, 'n') + "\n",
         svf::kPioMapSyntax, kLine + "2 of PIO mapping file: <logical_name> expected"},
        {"NameDifferingInCase", kList + "KWZ_PIO_1_1 Reset\nKWZ_PIO_1_2 RESET\nEND_PIO_PIN_LIST\n",
         svf::kPioNameDefined,
         kLine + "3 of PIO mapping file: <logical_name> 'RESET' is already defined"},
        // The pin word as written the second time; the line of the name read after it.
        {"PinNamedTwice", kList + "KWZ_PIO_2_3 A\nkwz_Pio_2_3\nB\nEND_PIO_PIN_LIST\n",
         svf::kPioPinDefined,
         kLine + "4 of PIO mapping file: <pin_name> 'kwz_Pio_2_3' is already defined"},
        {"PodSignalNamedTwice", kList + "USER0 A\nuser0 B\n", svf::kPioPinDefined,
         kLine + "3 of PIO mapping file: <pin_name> 'user0' is already defined"},
        {"CarriageReturnIsALineEnd", "PIO_PIN_LIST\rKWZ_PIO_1_1 A\r\rBAD B\r", svf::kPioMapSyntax,
         kLine + "4" + kPinOrEnd + "'BAD'"},
        // Read as the Windows text mode reads it: CR LF is one line end,
        // Ctrl-Z ends the file.
        {"CrLfIsOneLineEnd", "PIO_PIN_LIST\r\nKWZ_PIO_1_1 A\r\n\r\nBAD B\r\n", svf::kPioMapSyntax,
         kLine + "4" + kPinOrEnd + "'BAD'"},
        {"CtrlZEndsTheFile",
         "PIO_PIN_LIST\r\nUSER0 A\r\nEND_PIO_PIN_LIST\r\n\x1A"
         "B\r\n",
         svf::kOk, ""},
        // A NUL byte is a character of the name: these two names differ.
        {"NulInsideNames",
         std::string("PIO_PIN_LIST\nUSER0 A\0B\nUSER1 A\0C\nEND_PIO_PIN_LIST\n", 50), svf::kOk, ""},
        {"CommentInsideWordKeepsLineCount", kList + "KWZ_PIO_1_1 A!x y z\nBAD!\n",
         svf::kPioMapSyntax, kLine + "3" + kPinOrEnd + "'BAD'"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        svf::PodPins pod;
        const ReadResult result = ReadText(row.text, pod);
        EXPECT_EQ(result.status, row.status);
        EXPECT_EQ(result.errors, row.message.empty() ? Strings{} : Strings{row.message});
    }
}

TEST(PioMapFile, UnreadableFirstWordNamesThePath) {
    for (const std::string& text :
         Strings{"", "! only a comment\n\n", std::string(256, 'P') + "\n"}) {
        svf::PodPins pod;
        const ReadResult result = ReadText(text, pod);
        EXPECT_EQ(result.status, svf::kPioMapUnreadable);
        EXPECT_EQ(result.errors, Strings{"Error: Unable to read file '" + result.path + "'"});
    }
}

TEST(PioMapFile, PairsBecomePinsInFileOrder) {
    svf::PodPins pod;
    const ReadResult result = ReadText(
        kList + "kwz_pio_3_2 Clock\nUSER1 Enable\nVpp_e Prog\nUSER0 Go\nEND_PIO_PIN_LIST\n", pod);
    ASSERT_EQ(result.status, svf::kOk);
    EXPECT_EQ(pod.pinCount, 4u);
    Strings pins;  // TAP.pin name column
    for (const auto& pin : pod.pins) {
        pins.push_back(std::to_string(pin->tap) + "." + std::to_string(pin->pin) + " " +
                       pin->logicalName + " " + std::to_string(pin->column));
    }
    EXPECT_EQ(pins, (Strings{"3.2 Clock 1", "0.2 Enable 2", "0.3 Prog 3", "0.1 Go 4"}));
}

}  // namespace
