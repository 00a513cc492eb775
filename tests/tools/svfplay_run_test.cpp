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
using Lines = std::vector<std::string>;

ProcessResult RunSvfplay(const Lines& args) {
    const auto program =
        svfplay::ExecutableDirectory() / (std::string("svfplay") + svfplay::kExecutableSuffix);
    return svftest::RunProcess(program.string(), args);
}

std::string Example(const char* name) { return std::string(SVF_EXAMPLES_DIR) + "/svf/" + name; }
const std::string kChainBoard = std::string(SVF_EXAMPLES_DIR) + "/boards/three-devices.toml";

Lines SplitLines(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool HasLine(const std::string& text, const std::string& line) {
    const Lines lines = SplitLines(text);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

const char* const kPass = "Result: PASS (result code 0: no mismatch)";
const char* const kSyntaxError = "Result: ERROR (result code 10: syntax error)";
const char* const kControllerFail =
    "Result: FAIL (result code 1: mismatches found by the controller)";

// Exit status, the lines stdout must have ("!": must not have; none: stdout
// stays empty) and the whole of stderr.
TEST(SvfplayRun, ExitStatusOutputAndDiagnosticsOfEachRun) {
    svftest::TempDir dir;
    const std::string fail = Example("idcode_fail.svf");
    const std::string bom = dir.Write("bom.svf", "\xEF\xBB\xBFSTATE IDLE;\n");
    const std::string almostBom = dir.Write("almost.svf", "\xEE\xBB\xBFSTATE IDLE;\n");
    const struct {
        Lines args;
        int exitCode;
        Lines out;
        std::string err;
    } rows[] = {
        // No progress bar when stderr is no terminal; the simulator's frequency.
        {{Example("idcode.svf")},
         0,
         {"Start executing SVF File", "STATUS\tPASS", kPass, "Frequency: 1000 kHz",
          "Failures: none", "Simulated time: 0.000058 s (58 us, 58 TCK cycles)"},
         ""},
        {{"-v", "1", Example("idcode.svf")}, 0, {"!Start executing SVF File", kPass}, ""},
        // Where it failed: veltra-sim's record of the failing compare without
        // an ERROR file, the ERROR file's records with one.
        {{fail},
         1,
         {kControllerFail, "Failures: the controller's compare found mismatches",
          "Failing scans seen by the controller (1):",
          "  1. DR scan on TAP 1, 32 bits: 1 failing bit: 2", "       expected 0123A097",
          "       captured 0123A093", "       mask     FFFFFFFF"},
         ""},
        {{"--error-file", dir.PathOf("run.err"), fail},
         1,
         {"STATUS\tFAIL", "ERRORS\t1", "Failures: 1 failing bit(s)",
          "Result: FAIL (result code 100: mismatches found by the player)",
          "Failing statements in the ERROR file (1):", "  1. SVF line 8, TAP 1: 1 failing bit: 2"},
         ""},
        {{"--max-failures", "0", fail},
         1,
         {"Failing scans seen by the controller (first 0 of 1):"},
         ""},
        {{"--gang", "1", fail},
         1,
         {"Failures: the controller's compare found mismatches (failing TAP mask 0x1)"},
         ""},
        {{"--null-controller", Example("idcode.svf")}, 0, {"Frequency: the controller's own"}, ""},
        {{"-q", fail}, 1, {}, ""},  // errors only: no notes, no summary
        {{Example("syntax_error.svf")}, 2, {kSyntaxError}, ""},
        {{"--from-memory", "--error-file", dir.PathOf("no.err"), Example("readback.svf")},
         0,
         {kPass},
         "svfplay: warning: no ERROR file is written with --from-memory\n"},
        // The hint is only for a file that starts with the mark.
        {{bom},
         2,
         {kSyntaxError},
         "svfplay: hint: '" + bom + "' starts with a UTF-8 byte-order mark; save it without one\n"},
        {{almostBom}, 2, {kSyntaxError}, ""},  // its first byte is not the mark's
        {{"--board", kChainBoard, Example("chain_idcodes.svf")}, 0, {kPass}, ""},
        {{Example("chain_idcodes.svf")}, 1, {kControllerFail}, ""},
        {{"--board", kChainBoard, "--frequency", "30MHz", Example("chain_idcodes.svf")},
         0,
         {"Frequency: 30000 kHz requested, limited by the controller to 25000 kHz"},
         ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        const ProcessResult r = RunSvfplay(row.args);
        EXPECT_EQ(r.exitCode, row.exitCode) << r.out << r.err;
        EXPECT_TRUE(!row.out.empty() || r.out.empty()) << r.out;
        for (const std::string& line : row.out) {
            if (line[0] == '!') {
                EXPECT_FALSE(HasLine(r.out, line.substr(1))) << line << "\n" << r.out;
            } else {
                EXPECT_TRUE(HasLine(r.out, line)) << line << "\n" << r.out;
            }
        }
        EXPECT_EQ(SplitLines(r.err), SplitLines(row.err));  // CRLF under Windows
    }
    EXPECT_FALSE(svftest::FileExists(dir.PathOf("no.err")));
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
    const std::string noFolder = dir.PathOf("no/folder/t.txt");
    const struct {
        Lines args;
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
        {{"--trace", noFolder, svf}, "cannot create trace file '" + noFolder + "'"},
        {{"--player", "no-such-player", svf}, "cannot load the player library"},
        {{"--board", "no-such-board.toml", svf},
         "cannot load board 'no-such-board.toml': no-such-board.toml: cannot open the board file"},
    };
    for (const auto& row : rows) {
        for (const bool json : {false, true}) {
            SCOPED_TRACE(row.message + (json ? " (json)" : ""));
            Lines args = row.args;
            if (json) args.insert(args.begin(), "--json");
            const ProcessResult r = RunSvfplay(args);
            EXPECT_EQ(r.exitCode, 2);
            EXPECT_NE(r.err.find("svfplay: error: " + row.message), std::string::npos) << r.err;
            EXPECT_EQ(svftest::ReadFile(svf), content) << "untouched";
            if (!json) {
                EXPECT_EQ(r.out, "") << "nothing ran";
                continue;
            }
            ASSERT_EQ(SplitLines(r.out).size(), 1u) << r.out;
            const auto object = nlohmann::json::parse(r.out);
            EXPECT_EQ(object["return"], 2);
            EXPECT_EQ(object["resultCode"], SVF_RESULT_NOT_OPENED);
            EXPECT_EQ(object["verdict"], "ERROR");
            EXPECT_NE(object["messages"][0]["text"].get<std::string>().find(row.message),
                      std::string::npos);
        }
    }
}

TEST(SvfplayRun, VersionNamesTheLibrariesFound) {
    const ProcessResult version = RunSvfplay({"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.err;
    const auto lines = SplitLines(version.out);
    ASSERT_EQ(lines.size(), 3u) << version.out;
    EXPECT_EQ(lines[0], "svfplay " SVFPLAYER_VERSION_STRING);
    EXPECT_NE(lines[1].find(std::string(" (" SVFPLAYER_VERSION_STRING)), std::string::npos)
        << lines[1];
    EXPECT_NE(lines[2].find("veltra-sim reporting controller version 2.2)"), std::string::npos)
        << lines[2];
    EXPECT_NE(RunSvfplay({"--version", "--player", "no-such-player"}).out.find("cannot load"),
              std::string::npos);
}

// The whole object, messages in delivery order, of a passing and of a
// refused file.
TEST(SvfplayRun, JsonIsOneObject) {
    const struct {
        const char* file;
        int exitCode;
        std::string json;
    } rows[] = {
        {"idcode.svf", 0,
         R"({"failures":[],"frequencyKhz":1000,"gangFailMask":0,"messages":[
            {"kind":4,"level":3,"line":0,"sequence":0,"svfLine":null,
             "text":"Start executing SVF File"},
            {"kind":3,"level":3,"line":9,"sequence":1,"svfLine":9,"text":"9"},
            {"kind":4,"level":3,"line":0,"sequence":2,"svfLine":null,"text":"End of SVF file"},
            {"kind":4,"level":3,"line":0,"sequence":3,"svfLine":null,"text":"STATUS\tPASS"}],
          "resultCode":0,"return":0,"stats":{"calls":{"GetCompareResult":1,
            "GetControllerInfo":1,"ResetTap":1,"SetBuffering":2,"SetCompareMode":1,
            "SetStopState":1,"SetTapState":1,"SetTckIdleState":2,"ShiftDrLong":1,
            "ShiftIrCompare":1,"WaitTck":1},"drBits":32,"irBits":8,
            "tckCycles":58,"virtualTimeUs":58},"verdict":"PASS"})"},
        {"syntax_error.svf", 2,
         R"({"failures":[],"frequencyKhz":1000,"gangFailMask":0,"messages":[
            {"kind":4,"level":3,"line":0,"sequence":0,"svfLine":null,
             "text":"Start executing SVF File"},
            {"kind":1,"level":2,"line":0,"sequence":1,"svfLine":2,
             "text":"SVF line      2 : RESET state may cause problems"},
            {"kind":0,"level":1,"line":0,"sequence":2,"svfLine":3,"text":
             "SVF line      3 : Error\t: \"TDI\", \"TDO\", \"MASK\", \"SMASK\" or \";\" expected"}],
          "resultCode":10,"return":2,"stats":{"calls":{"GetControllerInfo":1,"ResetTap":2,
            "SetBuffering":1,"SetCompareMode":1,"SetTapState":1,"SetTckIdleState":2,
            "WaitTck":1},"drBits":0,"irBits":0,"tckCycles":11,"virtualTimeUs":11},
          "verdict":"ERROR"})"},
    };
    for (const auto& row : rows) {
        const ProcessResult r = RunSvfplay({"--json", Example(row.file)});
        EXPECT_EQ(r.exitCode, row.exitCode) << r.out << r.err;
        ASSERT_EQ(SplitLines(r.out).size(), 1u) << r.out;
        EXPECT_EQ(nlohmann::json::parse(r.out), nlohmann::json::parse(row.json)) << r.out;
    }

    const auto null = nlohmann::json::parse(
        RunSvfplay({"--null-controller", "--json", Example("idcode.svf")}).out);
    EXPECT_EQ(null["return"], 0);
    EXPECT_TRUE(null["stats"].is_null());
    EXPECT_EQ(null["frequencyKhz"], 0) << "no FREQUENCY and the controller reports none";

    const auto fail = nlohmann::json::parse(RunSvfplay({"--json", Example("idcode_fail.svf")}).out);
    EXPECT_EQ(fail["failures"], nlohmann::json::parse(R"([
        {"source":"controller","register":"DR","tap":1,"bitCount":32,"failingBitCount":1,
         "failingBits":[2],"tdi":"00000000","expected":"0123A097","mask":"FFFFFFFF",
         "captured":"0123A093"}])"));
}

// veltra-sim announces long DR shifts, so the player takes that slot; every
// other line of its trace is the recording table's over the null controller.
TEST(SvfplayRun, TraceFileOfSimulatorAndOfRecordedController) {
    svftest::TempDir dir;
    const std::string nullTrace = dir.PathOf("null.txt");
    ASSERT_EQ(RunSvfplay({"--trace", nullTrace, "--null-controller", "--frequency", "2000",
                          Example("idcode.svf")})
                  .exitCode,
              0);
    const Lines expected = {"GetControllerInfo * = 0",
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
                            "SetBuffering 0 = 0"};
    EXPECT_EQ(SplitLines(svftest::ReadFile(nullTrace)), expected);
    const std::string simTrace = dir.PathOf("sim.txt");
    ASSERT_EQ(
        RunSvfplay({"--trace", simTrace, "--frequency", "2000", Example("idcode.svf")}).exitCode,
        0);
    Lines sim = SplitLines(svftest::ReadFile(simTrace));
    for (auto& line : sim) {
        if (line.rfind("ShiftDrLong ", 0) == 0) line.replace(0, 11, "ShiftDrCompare");
    }
    EXPECT_EQ(sim, expected);
}

}  // namespace
