// svfplay as users run it: the built executable on the example files, with
// the player library and veltra-sim next to it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"
#include "shared_library.h"
#include "support/files.h"

namespace {

using svftest::ProcessResult;

std::string Svfplay() {
    return (svfplay::ExecutableDirectory() /
            (std::string("svfplay") + svfplay::kExecutableSuffix))
        .string();
}

std::string Example(const char* name) { return std::string(SVF_EXAMPLES_DIR) + "/svf/" + name; }

ProcessResult RunSvfplay(const std::vector<std::string>& args) {
    return svftest::RunProcess(Svfplay(), args);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool HasLine(const std::string& text, const std::string& line) {
    const auto lines = Lines(text);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(SvfplayRun, PassingFileExitsZero) {
    const ProcessResult r = RunSvfplay({Example("idcode.svf")});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_TRUE(HasLine(r.out, "Start executing SVF File")) << r.out;
    EXPECT_TRUE(HasLine(r.out, "STATUS\tPASS")) << r.out;
    EXPECT_TRUE(HasLine(r.out, "Result: PASS (result code 0: no mismatch)")) << r.out;
    EXPECT_TRUE(HasLine(r.out, "Frequency: 1000 kHz")) << "the simulator's own" << r.out;
    EXPECT_NE(r.out.find("Simulated time: "), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "") << "no progress bar when stderr is no terminal";
}

// Where it failed: veltra-sim's record of the failing compare without an
// ERROR file, the ERROR file's records with one.
TEST(SvfplayRun, FailingFileShowsWhereItFailed) {
    svftest::TempDir dir;
    const ProcessResult controller = RunSvfplay({Example("idcode_fail.svf")});
    EXPECT_EQ(controller.exitCode, 1) << controller.out << controller.err;
    for (const char* line : {"Failing scans seen by the controller (1):",
                             "  1. DR scan on TAP 1, 32 bits: 1 failing bit: 2",
                             "       expected 0123A097", "       captured 0123A093",
                             "       mask     FFFFFFFF"}) {
        EXPECT_TRUE(HasLine(controller.out, line)) << line << "\n" << controller.out;
    }
    const ProcessResult player =
        RunSvfplay({"--error-file", dir.PathOf("run.err"), Example("idcode_fail.svf")});
    EXPECT_EQ(player.exitCode, 1) << player.out << player.err;
    for (const char* line : {"STATUS\tFAIL", "ERRORS\t1", "Failures: 1 failing bit(s)",
                             "Result: FAIL (result code 100: mismatches found by the player)",
                             "Failing statements in the ERROR file (1):",
                             "  1. SVF line 8, TAP 1: 1 failing bit: 2"}) {
        EXPECT_TRUE(HasLine(player.out, line)) << line << "\n" << player.out;
    }
    const ProcessResult none = RunSvfplay({"--max-failures", "0", Example("idcode_fail.svf")});
    EXPECT_TRUE(HasLine(none.out, "Failing scans seen by the controller (first 0 of 1):"))
        << none.out;
    const ProcessResult quiet = RunSvfplay({"-q", Example("idcode_fail.svf")});
    EXPECT_EQ(quiet.exitCode, 1);
    EXPECT_EQ(quiet.out, "") << "errors only: no notes, no summary";
    const auto json = nlohmann::json::parse(
        RunSvfplay({"--json", "--error-file", dir.PathOf("n.err"), "--numbered-errors",
                    Example("idcode_fail.svf")})
            .out);
    EXPECT_EQ(json["verdict"], "FAIL");
    EXPECT_EQ(json["failures"], nlohmann::json::parse(R"([{"source":"errorFile","tap":1,
        "command":2,"svfLine":null,"failingBitCount":1,"failingBits":[2]}])"));
}

TEST(SvfplayRun, ExitStatusFollowsTheVerdict) {
    const struct {
        const char* file;
        int exitCode;
        const char* result;
    } rows[] = {{"idcode_fail.svf", 1,
                 "Result: FAIL (result code 1: mismatches found by the controller)"},
                {"syntax_error.svf", 2, "Result: ERROR (result code 10: syntax error)"}};
    for (const auto& row : rows) {
        const ProcessResult r = RunSvfplay({Example(row.file)});
        EXPECT_EQ(r.exitCode, row.exitCode) << row.file << r.out << r.err;
        EXPECT_TRUE(HasLine(r.out, row.result)) << r.out;
    }
}

TEST(SvfplayRun, ReadBackAndFromMemoryPass) {
    EXPECT_EQ(RunSvfplay({Example("readback.svf")}).exitCode, 0);
    svftest::TempDir dir;
    const ProcessResult r = RunSvfplay(
        {"--from-memory", "--error-file", dir.PathOf("no.err"), Example("readback.svf")});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(Lines(r.err), std::vector<std::string>{
                                "svfplay: warning: no ERROR file is written with --from-memory"});
    EXPECT_FALSE(svftest::FileExists(dir.PathOf("no.err")));
}

TEST(SvfplayRun, ByteOrderMarkGetsAHint) {
    svftest::TempDir dir;
    const ProcessResult marked = RunSvfplay({dir.Write("bom.svf", "\xEF\xBB\xBFSTATE IDLE;\n")});
    EXPECT_EQ(marked.exitCode, 2) << marked.out;
    EXPECT_NE(marked.err.find("starts with a UTF-8 byte-order mark"), std::string::npos)
        << marked.err;
    const ProcessResult plain = RunSvfplay({dir.Write("plain.svf", "BOGUS;\n")});
    EXPECT_EQ(plain.exitCode, 2);
    EXPECT_EQ(plain.err, "") << "no mark, no hint";
}

std::string Board(const char* name) {
    return std::string(SVF_EXAMPLES_DIR) + "/boards/" + name;
}

TEST(SvfplayRun, BoardOptionLoadsTheThreeDeviceChain) {
    for (const char* file : {"chain_idcodes.svf", "chain_user1.svf"}) {
        const ProcessResult onChain =
            RunSvfplay({"--board", Board("three-devices.toml"), Example(file)});
        EXPECT_EQ(onChain.exitCode, 0) << file << onChain.out << onChain.err;
        const ProcessResult onDefault = RunSvfplay({Example(file)});
        EXPECT_EQ(onDefault.exitCode, 1) << file << onDefault.out << onDefault.err;
    }
    const ProcessResult limited = RunSvfplay({"--board", Board("three-devices.toml"),
                                              "--frequency", "30MHz", Example("chain_idcodes.svf")});
    EXPECT_TRUE(HasLine(limited.out,
                        "Frequency: 30000 kHz requested, limited by the controller to 25000 kHz"))
        << limited.out;
}

// svfplay refuses before anything is loaded: nothing is overwritten, the
// reason is the system's, and --json still gives one object.
TEST(SvfplayRun, UnusableFilesAreRefusedBeforeTheRun) {
    svftest::TempDir dir;
    const std::string content = svftest::ReadFile(Example("idcode.svf"));
    const std::string svf = dir.Write("x.svf", content);
    const std::string sameSvf = dir.PathOf("./x.svf");
    const std::string board = dir.Write("b.toml", "");
    const std::string missing = dir.PathOf("missing.svf");
    const struct {
        std::vector<std::string> args;
        std::string message;
    } rows[] = {
        {{"--error-file", svf, svf}, "--error-file '" + svf + "' names the SVF file"},
        {{"--trace", sameSvf, svf}, "--trace '" + sameSvf + "' names the SVF file"},
        {{"--trace", dir.PathOf("t"), "--error-file", dir.PathOf("./t"), svf},
         "--trace '" + dir.PathOf("t") + "' names the ERROR file"},
        {{"--board", board, "--trace", board, svf}, "--trace '" + board + "' names the board file"},
        {{dir.path().string()}, "cannot read '" + dir.path().string() + "': Is a directory"},
        {{missing}, "cannot read '" + missing + "': No such file or directory"},
        {{"--from-memory", missing}, "cannot read '" + missing + "': No such file or directory"},
    };
    for (const auto& row : rows) {
        for (const bool json : {false, true}) {
            std::vector<std::string> args = row.args;
            if (json) args.insert(args.begin(), "--json");
            const ProcessResult r = RunSvfplay(args);
            EXPECT_EQ(r.exitCode, 2) << row.message;
            EXPECT_NE(r.err.find("svfplay: error: " + row.message), std::string::npos) << r.err;
            EXPECT_EQ(svftest::ReadFile(svf), content) << "untouched: " << row.message;
            if (!json) {
                EXPECT_EQ(r.out, "") << "nothing ran";
                continue;
            }
            ASSERT_EQ(Lines(r.out).size(), 1u) << r.out;
            const auto object = nlohmann::json::parse(r.out);
            EXPECT_EQ(object["return"], 2);
            EXPECT_EQ(object["resultCode"], SVF_RESULT_NOT_OPENED);
            EXPECT_EQ(object["verdict"], "ERROR");
            EXPECT_NE(object["messages"][0]["text"].get<std::string>().find(row.message),
                      std::string::npos);
        }
    }
}

TEST(SvfplayRun, MissingLibrariesAreUsageErrors) {
    const ProcessResult player = RunSvfplay({"--player", "no-such-player", Example("idcode.svf")});
    EXPECT_EQ(player.exitCode, 2);
    EXPECT_NE(player.err.find("cannot load the player library"), std::string::npos) << player.err;
    const ProcessResult board = RunSvfplay({"--board", "no-such-board.toml", Example("idcode.svf")});
    EXPECT_EQ(board.exitCode, 2);
    EXPECT_NE(board.err.find("no-such-board.toml"), std::string::npos) << board.err;
    const ProcessResult version = RunSvfplay({"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.err;
    const auto lines = Lines(version.out);
    ASSERT_EQ(lines.size(), 3u) << version.out;
    EXPECT_EQ(lines[0], "svfplay " SVFPLAYER_VERSION_STRING);
    EXPECT_NE(lines[1].find(std::string(" (" SVFPLAYER_VERSION_STRING)), std::string::npos)
        << lines[1];
    EXPECT_NE(lines[2].find("veltra-sim reporting controller version 2.2)"), std::string::npos)
        << lines[2];
    EXPECT_NE(RunSvfplay({"--version", "--player", "no-such-player"}).out.find("cannot load"),
              std::string::npos);
}

TEST(SvfplayRun, JsonIsOneObjectWithSimulatorStats) {
    const ProcessResult r = RunSvfplay({"--json", Example("idcode.svf")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    ASSERT_EQ(Lines(r.out).size(), 1u) << r.out;
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json.size(), 8u);
    EXPECT_EQ(json["verdict"], "PASS");
    EXPECT_EQ(json["failures"], nlohmann::json::array());
    EXPECT_EQ(json["return"], 0);
    EXPECT_EQ(json["resultCode"], 0);
    const auto& messages = json["messages"];
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front()["text"], "Start executing SVF File");
    for (size_t i = 1; i < messages.size(); ++i) {
        EXPECT_EQ(messages[i]["sequence"], messages[i - 1]["sequence"].get<uint32_t>() + 1)
            << "delivery order";
    }
    ASSERT_TRUE(json["stats"].is_object());
    EXPECT_GT(json["stats"]["tckCycles"].get<uint64_t>(), 0u);
    EXPECT_EQ(json["stats"]["drBits"], 32);
}

TEST(SvfplayRun, NullControllerPassesWithoutStats) {
    const ProcessResult r = RunSvfplay({"--null-controller", "--json", Example("idcode.svf")});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_TRUE(json["stats"].is_null());
    EXPECT_EQ(json["frequencyKhz"], 0) << "no FREQUENCY and the controller reports none";
}

TEST(SvfplayRun, VerbosityFiltersMessages) {
    const ProcessResult r = RunSvfplay({"-v", "1", Example("idcode.svf")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_FALSE(HasLine(r.out, "Start executing SVF File")) << r.out;
    EXPECT_TRUE(HasLine(r.out, "Result: PASS (result code 0: no mismatch)")) << r.out;
}

TEST(SvfplayRun, TraceFileOfSimulatorAndOfRecordedController) {
    svftest::TempDir dir;
    const std::string nullTrace = dir.PathOf("null.txt");
    ASSERT_EQ(RunSvfplay({"--trace", nullTrace, "--null-controller", "--frequency", "2000",
                          Example("idcode.svf")})
                  .exitCode,
              0);
    const std::vector<std::string> expected = {
        "GetControllerInfo * = 0",
        "SetBuffering 128 = 0",
        "SetFrequency 2000 = 0",
        "SetTckIdleState 1 = 0",
        "ResetTap 1 = 0",
        "SetCompareMode 1 = 0",
        "SetTapState 1 2 = 0",
        "SetStopState 2 = 0",
        "ShiftIrCompare 1 01 8 - 01 00 = 0",
        "ShiftDrCompare 1 00000000 32 - 0123A093 00000000 = 0",
        "GetCompareResult 0 = 0",
        "SetTckIdleState 2 = 0",
        "WaitTck 1 = 0",
        "SetBuffering 0 = 0",
    };
    EXPECT_EQ(Lines(svftest::ReadFile(nullTrace)), expected);

    // veltra-sim announces long DR shifts, so the player takes that slot;
    // every other line is the same.
    const std::string simTrace = dir.PathOf("sim.txt");
    ASSERT_EQ(RunSvfplay({"--trace", simTrace, "--frequency", "2000", Example("idcode.svf")})
                  .exitCode,
              0);
    std::vector<std::string> sim = Lines(svftest::ReadFile(simTrace));
    for (auto& line : sim) {
        if (line.rfind("ShiftDrLong ", 0) == 0) line.replace(0, 11, "ShiftDrCompare");
    }
    EXPECT_EQ(sim, expected);
}

TEST(SvfplayRun, UnwritableTraceFileStopsBeforeTheRun) {
    svftest::TempDir dir;
    const ProcessResult r =
        RunSvfplay({"--trace", dir.PathOf("no/folder/t.txt"), Example("idcode.svf")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("cannot create trace file"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "") << "the player never ran";
}

}  // namespace
