// Whole runs through Svf_Execute on veltra-sim's built-in board: a file of
// every statement that shifts nothing, read from a file and from memory; a
// host abort; the 4000-second limit of RUNTEST on the virtual clock; and the
// example files played as written on Windows (CR LF, Ctrl-Z at the end).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/files.h"
#include "support/messages.h"
#include "support/sim.h"
#include "support/test_session.h"

namespace {

using svftest::TempDir;
using svftest::TraceOf;
using Lines = std::vector<std::string>;

constexpr const char* kSettingsFile =
    "! Every statement that shifts nothing, with both comment styles.\n"
    "// TRST first: the line is driven low, then released.\n"
    "TRST ON;\n"
    "TRST OFF;\n"
    "ENDIR IDLE;\n"
    "ENDDR IDLE;\n"
    "STATE IDLE;\n"
    "FREQUENCY 5E5 HZ;\n"
    "RUNTEST 100 TCK;\n"
    "CLOCK 1E6 HZ;  ! the job's limit\n"
    "RUNTEST IDLE 10 TCK 1E-3 SEC ENDSTATE IDLE;\n"
    "FLAG 4;\n"
    "!// merlo_correction OFF;\n"
    "//! STATE DRPAUSE;\n"
    "!//\n"
    "STATE IDLE;\n";

struct InputRow {
    const char* name;
    bool fromMemory;
    bool withErrorFile;
    bool errorsNote;  // the player compared and counts failures
    bool errorFileWritten;
};

class SettingsRun : public testing::TestWithParam<InputRow>, protected svftest::JobParts {
  protected:
};

TEST_P(SettingsRun, PassesWithItsNotesAndControllerCalls) {
    const InputRow& row = GetParam();
    const std::string errorPath = dir.PathOf("run.err");
    if (row.fromMemory) info.flags |= SVF_FLAG_LINES_IN_MEMORY;
    if (row.withErrorFile) info.errorFile = errorPath.c_str();

    EXPECT_EQ(svftest::RunSvf(kSettingsFile, info, log, dir), SVF_RETURN_PASS) << log.Dump();
    EXPECT_EQ(log.report()->resultCode, 0u);
    EXPECT_TRUE(log.Errors().empty()) << log.Dump();
    EXPECT_TRUE(log.Warnings().empty()) << log.Dump();

    Lines notes = {"Start executing SVF File", "SVF line      8 : Note\t: Frequency set to 500 kHz",
                   "SVF line     10 : Note\t: Frequency set to 1000 kHz", "End of SVF file",
                   "STATUS\tPASS"};
    if (row.errorsNote) notes.push_back("ERRORS\t0");
    EXPECT_EQ(log.Notes(), notes);
    EXPECT_EQ(svftest::FileExists(errorPath), row.errorFileWritten);
    // The player compares when it writes an ERROR file, else the controller.
    EXPECT_EQ(TraceOf({"SetCompareMode", "GetCompareResult"}),
              (row.errorsNote ? Lines{} : Lines{"SetCompareMode 1 = 0", "GetCompareResult 0 = 0"}));

    // The statements reached the controller in file order; the correction
    // switched off by the marked line is switched on again at the end.
    EXPECT_EQ(TraceOf({"SetTrst", "SetFrequency", "SetFlagLength"}),
              (Lines{"SetTrst 1 0 = 0", "SetTrst 1 1 = 0", "SetFrequency 500 = 0",
                     "SetFrequency 1000 = 0", "SetFlagLength 1 4 = 0",
                     "SetFlagLength 4294967295 1 = 0", "SetFlagLength 4294967295 2 = 0"}));
    EXPECT_EQ(TraceOf({"WaitTck"}).front(), "WaitTck 100 = 0");
    EXPECT_EQ(info.frequencyKhz, 1000u);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, SettingsRun,
    testing::Values(InputRow{"FileControllerCompare", false, false, false, false},
                    InputRow{"FilePlayerCompare", false, true, true, true},
                    InputRow{"MemoryPlayerCompare", true, true, true, false},
                    InputRow{"MemoryControllerCompare", true, false, false, false}),
    [](const testing::TestParamInfo<InputRow>& param) { return std::string(param.param.name); });

int32_t fakeNow = 0;
// Every reading is a poll interval later than the last one.
int32_t LateClock() {
    fakeNow += 1000;
    return fakeNow;
}

class AbortedRun : public testing::Test, protected svftest::JobParts {
  protected:
    AbortedRun() { svf::platform::SetMillisecondClockOverride(LateClock); }
    ~AbortedRun() override { svf::platform::SetMillisecondClockOverride(nullptr); }
};

TEST_F(AbortedRun, EndsWithCode32DeletesTheErrorFileAndResetsTheTap) {
    const std::string errorPath = dir.PathOf("run.err");
    info.errorFile = errorPath.c_str();
    log.AbortAfterPolls(2);
    const std::string svf =
        "STATE IDLE;\n"
        "SIR 8 TDI (02);\n"
        "SDR 32 TDI (12345678);\n"
        "SDR 32 TDI (00000000) TDO (12345678);\n"
        "RUNTEST 10 TCK;\n";
    EXPECT_EQ(svftest::RunSvf(svf, info, log, dir), SVF_RETURN_ERROR) << log.Dump();
    EXPECT_EQ(log.report()->resultCode, 32u);
    EXPECT_EQ(log.abortPolls(), 3);
    EXPECT_EQ(log.Errors(), Lines{"SVF Aborted !"});
    EXPECT_FALSE(log.Contains("End of SVF file"));
    EXPECT_FALSE(svftest::FileExists(errorPath));
    // Two lines ran before the third poll stopped the reader.
    EXPECT_EQ(TraceOf({"ShiftIr", "ShiftDr"}), Lines{"ShiftIr 1 02 8 - = 0"});
    const Lines trace = svftest::Trace();
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.back(), "ResetTap 1 = 0");
}

TEST_F(AbortedRun, ContinueAnswerLetsTheRunFinish) {
    log.AbortAfterPolls(-1);
    EXPECT_EQ(svftest::RunSvf("STATE IDLE;\nRUNTEST 10 TCK;\nSTATE IDLE;\n", info, log, dir),
              SVF_RETURN_PASS)
        << log.Dump();
    EXPECT_GE(log.abortPolls(), 3);
    EXPECT_TRUE(log.Contains("End of SVF file"));
}

struct WaitRow {
    const char* statement;
    uint64_t waitedUs;
    bool truncated;
};

class LongWait : public testing::TestWithParam<WaitRow>, protected svftest::JobParts {
  protected:
};

TEST_P(LongWait, AdvancesTheVirtualClockUpToTheLimit) {
    const WaitRow& row = GetParam();
    EXPECT_EQ(svftest::RunSvf(std::string(row.statement) + "\n", info, log, dir), SVF_RETURN_PASS)
        << log.Dump();
    const Lines warning = {"SVF line      1 : Max supported value 4000 sec, truncated!"};
    EXPECT_EQ(log.Warnings(), row.truncated ? warning : Lines{});

    VeltraSimStats stats{};
    VeltraSim_GetStats(&stats);
    // The wait itself, plus a handful of TCKs at 1 MHz for the reset and moves.
    EXPECT_GE(stats.virtualTimeUs, row.waitedUs);
    EXPECT_LT(stats.virtualTimeUs, row.waitedUs + 100u);
    EXPECT_EQ(TraceOf({"WaitTime"}), Lines{"WaitTime " + std::to_string(row.waitedUs) + " 2 = 0"});
}

INSTANTIATE_TEST_SUITE_P(Limits, LongWait,
                         testing::Values(WaitRow{"RUNTEST 4000 SEC;", 4000000000u, true},
                                         WaitRow{"RUNTEST 5000 SEC;", 4000000000u, true},
                                         WaitRow{"RUNTEST 1E4 SEC;", 4000000000u, true},
                                         WaitRow{"RUNTEST 3999.5 SEC;", 3999500000u, false}));

// ------------------------------------------------- files written on Windows

const std::string kExamples = SVF_EXAMPLES_DIR;

struct ExampleRow {
    const char* svf;
    const char* board;  // under examples/boards; "" for the built-in one
    bool viaBridge;     // through examples/cnn/bridge.cnn to board TAP 3
};

using Convert = std::string (*)(const std::string&);
std::string AsWritten(const std::string& text) { return text; }
std::string WithCrLf(const std::string& text) {
    std::string converted;
    for (const char c : text) converted += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return converted;
}
// Whatever follows a Ctrl-Z is never read.
std::string WithCtrlZ(const std::string& text) { return WithCrLf(text) + "\x1A" + "BOGUS;\r\n"; }

// What a run shows, its text files passed through `convert`: verdict, code,
// messages, controller calls and ERROR file.
Lines Play(const ExampleRow& row, const TempDir& dir, Convert convert) {
    svftest::JobParts parts;
    if (*row.board != '\0') VeltraSim_LoadBoardFile((kExamples + "/boards/" + row.board).c_str());
    const auto copy = [&](const char* name, const std::string& from) {
        return dir.Write(name, convert(svftest::ReadFile(kExamples + from)));
    };
    const std::string svfPath = copy("play.svf", std::string("/svf/") + row.svf);
    const std::string cnnPath = copy("play.cnn", "/cnn/bridge.cnn");
    const std::string errorPath = dir.PathOf("play.err");
    parts.info.svfSource = svfPath.c_str();
    parts.info.errorFile = errorPath.c_str();
    if (row.viaBridge) {
        parts.info.tap = 3;
        parts.info.totalIrLength = 8;
        parts.info.totalBypassLength = 1;
        parts.info.cnnFile = cnnPath.c_str();
    }
    Lines shown = {std::to_string(Svf_Execute(parts.sim.api(), parts.log.report(), &parts.info)),
                   std::to_string(parts.log.report()->resultCode), svftest::ReadFile(errorPath)};
    for (const Lines& more : {parts.log.Texts(), svftest::Trace()}) {
        shown.insert(shown.end(), more.begin(), more.end());
    }
    return shown;
}

class WindowsText : public testing::TestWithParam<ExampleRow> {};

TEST_P(WindowsText, PlaysAsTheFileWrittenWithLineFeeds) {
    TempDir dir;
    const Lines original = Play(GetParam(), dir, AsWritten);
    ASSERT_GT(original.size(), 10u);
    EXPECT_EQ(Play(GetParam(), dir, WithCrLf), original);
    EXPECT_EQ(Play(GetParam(), dir, WithCtrlZ), original);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, WindowsText,
    testing::Values(ExampleRow{"idcode.svf", "", false}, ExampleRow{"idcode_fail.svf", "", false},
                    ExampleRow{"readback.svf", "", false},
                    ExampleRow{"syntax_error.svf", "", false},
                    ExampleRow{"loopback_pass.svf", "loopback.toml", false},
                    ExampleRow{"loopback_fail.svf", "loopback.toml", false},
                    ExampleRow{"chain_idcodes.svf", "three-devices.toml", false},
                    ExampleRow{"chain_user1.svf", "three-devices.toml", false},
                    ExampleRow{"chain_middle_idcode.svf", "three-idcodes.toml", false},
                    ExampleRow{"idcode.svf", "bridge.toml", true}),
    [](const testing::TestParamInfo<ExampleRow>& param) {  // "idcode_cnn" for idcode.svf
        const std::string svf = param.param.svf;
        return svf.substr(0, svf.find('.')) + (param.param.viaBridge ? "_cnn" : "");
    });

// --------------------------------------------- what the host's machine hands over

// Which of the job's paths names a folder instead of a file.
enum class Folder { kNone, kSvf, kErrorFile, kCnn, kPioMap };

struct HostileRow {
    const char* name;
    std::string svf;
    Folder folder;
    uint32_t code;
    std::string error;  // the first error; "{}" stands for the folder's path
};

class HostileInput : public testing::TestWithParam<HostileRow>, protected svftest::JobParts {};

TEST_P(HostileInput, GetsTheErrorOfItsKind) {
    const HostileRow& row = GetParam();
    const std::string folder = dir.PathOf("folder");
    std::filesystem::create_directory(folder);
    const std::string svfPath = dir.Write("test.svf", row.svf);
    const std::string errorPath = dir.PathOf("test.err");
    const auto pathOf = [&](Folder which, const std::string& file) {
        return row.folder == which ? folder.c_str() : file.empty() ? nullptr : file.c_str();
    };
    info.svfSource = pathOf(Folder::kSvf, svfPath);
    info.errorFile = pathOf(Folder::kErrorFile, errorPath);
    info.cnnFile = pathOf(Folder::kCnn, "");
    info.pioMapFile = pathOf(Folder::kPioMap, "");
    info.flags = row.folder == Folder::kPioMap ? SVF_FLAG_PIO : 0;
    EXPECT_EQ(Svf_Execute(sim.api(), log.report(), &info), SVF_RETURN_ERROR) << log.Dump();
    EXPECT_EQ(log.report()->resultCode, row.code);
    std::string want = row.error;
    if (const size_t at = want.find("{}"); at != std::string::npos) want.replace(at, 2, folder);
    EXPECT_EQ(log.Errors().at(0), want);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}
using namespace std::string_literals;
const std::string kAt1 = "SVF line      1 : Error\t: ";

INSTANTIATE_TEST_SUITE_P(
    Inputs, HostileInput,
    testing::Values(HostileRow{"SvfFolder", "", Folder::kSvf, 2, "Error: Unable to open file '{}'"},
                    HostileRow{"ErrorFileFolder", "STATE IDLE;\n", Folder::kErrorFile, 2,
                               "Error: Unable to open file '{}'"},
                    HostileRow{"CnnFolder", "", Folder::kCnn, 40, "Error opening file '{}'  #CC01"},
                    HostileRow{"PioMapFolder", "", Folder::kPioMap, 2,
                               "Error: Unable to open PIO mapping file '{}'"},
                    // A NUL byte is a character: it counts toward the line length and
                    // is an illegal character in a pattern (%c ends the text there).
                    HostileRow{"NulInLongLine", "\0"s + std::string(500, ' ') + "\n", Folder::kNone,
                               10, kAt1 + "maximum line length of 500 exceeded"},
                    HostileRow{"NulInPattern", "SIR 8 TDI (0\0);\n"s, Folder::kNone, 10,
                               kAt1 + "illegal character '"},
                    HostileRow{"NulInCommand", "STATE\0 IDLE;\n"s, Folder::kNone, 10,
                               kAt1 + "unknown SVF command STATE"}),
    [](const testing::TestParamInfo<HostileRow>& param) { return std::string(param.param.name); });

}  // namespace
