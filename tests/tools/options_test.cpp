// svfplay's command line: every option lands in the right job-record field or
// bit, and bad command lines stop with status 2 and a message; the line
// splitting behind --from-memory and the line count behind the progress bar.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app.h"
#include "job.h"
#include "options.h"
#include "support/files.h"

namespace {

using svfplay::Job;
using svfplay::Options;
using svfplay::ParseCommandLine;
using svfplay::ParseOutcome;
using Args = std::vector<std::string>;

Args Words(const std::string& text) {
    Args words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

Options ParseOk(Args options) {
    options.insert(options.begin(), "svfplay");
    options.push_back("file.svf");
    const ParseOutcome outcome = ParseCommandLine(options);
    EXPECT_EQ(outcome.kind, ParseOutcome::Kind::kRun) << outcome.text;
    return outcome.options;
}

std::unique_ptr<Job> BuildJob(const Args& options) {
    std::string error;
    auto job = Job::Build(ParseOk(options), error);
    EXPECT_NE(job, nullptr) << error;
    return job;
}

TEST(SvfplayOptions, EachSwitchSetsItsBit) {
    constexpr uint32_t kKeep = SVF_FLAG_KEEP_FREQUENCY;  // the default
    constexpr uint32_t kStrings = SVF_FLAG_CONNECTION_STRINGS;
    const struct {
        Args options;
        uint32_t flags;
        uint32_t connectionFlags;
    } rows[] = {
        {{}, kKeep, 0},
        {{"--frequency", "1000"}, 0, 0},
        {{"--error-file", "e.txt", "--numbered-errors"}, kKeep | SVF_FLAG_NUMBERED_ERRORS, 0},
        {{"--pio"}, kKeep | SVF_FLAG_PIO, 0},
        {{"--keep-mapped-pins"}, kKeep | SVF_FLAG_KEEP_MAPPED_PINS, 0},
        {{"--flags", "0x80000040"}, kKeep | SVF_FLAG_NO_BUFFERING | SVF_FLAG_FIXED_FREQUENCY, 0},
        {{"--flags", "300", "--frequency", "5"}, SVF_FLAG_TRST_AT_START | SVF_FLAG_TRST_AT_END, 0},
        {{"--flags", "0X10000000", "--pio"}, kKeep | SVF_FLAG_FREQUENCY_NOTE | SVF_FLAG_PIO, 0},
        {{"--connection", ":::"}, kKeep | kStrings, 0},
        {{"--connection", "H:::", "--no-trst"}, kKeep | kStrings, SVF_CONNECTION_NO_TRST},
        {{"--connection", "H:::", "--avoid-reset"}, kKeep | kStrings, SVF_CONNECTION_AVOID_RESET},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.options));
        const auto job = BuildJob(row.options);
        EXPECT_EQ(job->info().flags, row.flags);
        EXPECT_EQ(job->connection().flags, row.connectionFlags);
    }
}

TEST(SvfplayOptions, ValuesLandInTheirFields) {
    EXPECT_EQ(ParseOk({}).maxFailures, 10u);
    EXPECT_EQ(BuildJob({})->info().tap, 1u);
    const auto job = BuildJob(Words(
        "--tap 3 --frequency 2500 --error-file out.err --cnn board.cnn --pio --pio-map pins.map "
        "--gang 135 --start-idle --final-state drpause --bypass-length 7 --ir-length 24"));
    const SvfInfo& info = job->info();
    EXPECT_EQ(info.tap, 3u);
    EXPECT_EQ(info.frequencyKhz, 2500u);
    EXPECT_STREQ(info.errorFile, "out.err");
    EXPECT_STREQ(static_cast<const char*>(info.cnnFile), "board.cnn");
    EXPECT_STREQ(info.pioMapFile, "pins.map");
    EXPECT_STREQ(info.ganging, "135");
    EXPECT_EQ(info.startState, static_cast<uint32_t>(SVF_START_STATE_IDLE));
    EXPECT_EQ(info.finalState, static_cast<uint32_t>(SVF_STATE_CODE_DRPAUSE));
    EXPECT_EQ(info.totalBypassLength, 7u);
    EXPECT_EQ(info.totalIrLength, 24u);
    // An empty gang string is passed on for the player to judge.
    EXPECT_STREQ(BuildJob({"--gang", ""})->info().ganging, "");

    // The output and library options are pinned by svfplay's runs.
    EXPECT_EQ(ParseOk(Words("--controller c.so")).controllerLibrary, "c.so");
    // Absolute paths are never taken for options.
    const ParseOutcome paths =
        ParseCommandLine({"svfplay", "--error-file", "/tmp/x.err", "/work/file.svf"});
    ASSERT_EQ(paths.kind, ParseOutcome::Kind::kRun) << paths.text;
    EXPECT_EQ(paths.options.svfFile, "/work/file.svf");
    EXPECT_EQ(paths.options.errorFile, "/tmp/x.err");
}

TEST(SvfplayOptions, ConnectionBuildsTheStringsRecord) {
    const auto job = BuildJob({"--connection", "HL::lhh:H", "--no-trst", "--avoid-reset"});
    ASSERT_EQ(job->info().cnnFile, &job->connection());
    const ConnectionStrings& c = job->connection();
    EXPECT_EQ(c.flags, SVF_CONNECTION_NO_TRST | SVF_CONNECTION_AVOID_RESET);
    EXPECT_STREQ(c.irLead, "HL");
    EXPECT_EQ(c.irTail, nullptr);  // empty adds no bits
    EXPECT_STREQ(c.drLead, "LHH");
    EXPECT_STREQ(c.drTail, "H");
    std::string error;
    const auto all = svfplay::ParseConnection("lh:Hl:hH:LL", error);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->irLead, "LH");
    EXPECT_EQ(all->irTail, "HL");
    EXPECT_EQ(all->drLead, "HH");
    EXPECT_EQ(all->drTail, "LL");
}

TEST(SvfplayOptions, FinalStatesFlagsAndFrequenciesAreParsed) {
    const std::pair<const char*, uint32_t> states[] = {{"RESET", SVF_STATE_CODE_RESET},
                                                       {"idle", SVF_STATE_CODE_IDLE},
                                                       {"DrPause", SVF_STATE_CODE_DRPAUSE},
                                                       {"IRPAUSE", SVF_STATE_CODE_IRPAUSE}};
    for (const auto& [name, code] : states) {
        std::string error;
        EXPECT_EQ(svfplay::ParseFinalState(name, error), code) << name;
    }
    const std::pair<const char*, uint32_t> flags[] = {{"0", 0},
                                                      {"0x0", 0},
                                                      {"40", 0x40},
                                                      {"0x40", 0x40},
                                                      {"0XaB", 0xAB},
                                                      {"F3FFFFFF", 0xF3FFFFFFu},
                                                      {"80000000", 0x80000000u}};
    for (const auto& [text, value] : flags) {
        std::string error;
        EXPECT_EQ(svfplay::ParseHexFlags(text, error), value) << text;
    }
    // Bits 26 and 27 change what the record's pointers mean: only their own
    // options may set them.
    for (const char* bad :
         {"", "0x", "xyz", "0x1G", "123456789", "-1", "0x4000000", "8000000", "FFFFFFFF"}) {
        std::string error;
        EXPECT_FALSE(svfplay::ParseHexFlags(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    const std::pair<const char*, uint32_t> frequencies[] = {
        {"1000", 1000}, {"1MHz", 1000},     {"500kHz", 500},
        {"2.5M", 2500}, {"12.5mhz", 12500}, {"250k", 250},
        {"2000Hz", 2},  {"1kHz", 1},        {"4294967295", UINT32_MAX}};
    for (const auto& [text, khz] : frequencies) {
        EXPECT_EQ(ParseOk({"--frequency", text}).frequencyKhz, khz) << text;
    }
}

// Each also with --json, which makes it one JSON object on stdout.
TEST(SvfplayOptions, BadCommandLinesExitWithStatusTwoAndSayWhy) {
    const std::pair<Args, const char*> rows[] = {
        {{}, "FILE.svf"},
        {{"--bogus", "f.svf"}, "--bogus"},
        {{"--tap", "0", "f.svf"}, "--tap"},
        {{"--tap", "x", "f.svf"}, "--tap"},
        {{"--frequency", "0", "f.svf"}, "--frequency"},
        {{"--final-state", "shift", "f.svf"}, "unknown state 'shift'"},
        {{"--final-state", "DRSHIFT", "f.svf"}, "unknown state 'DRSHIFT'"},
        {{"--flags", "0xZZ", "f.svf"}, "not a 32-bit hexadecimal number"},
        {{"--connection", "H:L", "f.svf"}, "expected four fields IRLEAD:IRTAIL:DRLEAD:DRTAIL"},
        {{"--connection", "H:L:H:L:H", "f.svf"}, "got 'H:L:H:L:H'"},
        {{"--connection", "", "f.svf"}, "got ''"},
        {{"--connection", "HX:::", "f.svf"}, "connection bits must be H or L, not 'X'"},
        {{"--connection", "1:0::", "f.svf"}, "not '1'"},
        {{"--connection", "H L:::", "f.svf"}, "not ' '"},
        {{"--no-trst", "f.svf"}, "--connection"},
        {{"--cnn", "a.cnn", "--connection", ":::", "f.svf"}, "--cnn"},
        {{"--null-controller", "--controller", "c.so", "f.svf"}, "--controller"},
        {{"--null-controller", "--board", "b.toml", "f.svf"}, "--board"},
        {{"--pio-map", "m.map", "f.svf"}, "--pio"},
        {{"--numbered-errors", "f.svf"}, "--error-file"},
        {{"a.svf", "b.svf"}, "b.svf"},
        {{"-v", "4", "f.svf"}, "--verbosity"},
        {{"-v", "-1", "f.svf"}, "--verbosity"},
        {{"-q", "-v", "2", "f.svf"}, "--quiet"},
        {{"--frequency", "5x", "f.svf"}, "unknown unit 'x' in '5x'"},
        {{"--frequency", "1500Hz", "f.svf"}, "not a whole number of kHz"},
        {{"--frequency", "MHz", "f.svf"}, "is not a frequency"},
        {{"--frequency", "1.2.3", "f.svf"}, "is not a frequency"},
        {{"--frequency", "5000G", "f.svf"}, "unknown unit 'G'"},
        {{"--frequency", "0.4", "f.svf"}, "not a whole number"},
        {{"--frequency", "4295GHz", "f.svf"}, "unknown unit"},
        {{"--frequency", "4294968MHz", "f.svf"}, "out of range"},
    };
    for (const auto& [options, message] : rows) {
        SCOPED_TRACE(::testing::PrintToString(options));
        Args args = options;
        args.insert(args.begin(), "svfplay");
        std::ostringstream out, err;
        EXPECT_EQ(svfplay::RunSvfplay(args, out, err), svfplay::kExitError);
        EXPECT_NE(err.str().find(std::string("svfplay: error: ")), std::string::npos) << err.str();
        EXPECT_NE(err.str().find(message), std::string::npos) << err.str();
        EXPECT_EQ(out.str(), "");
        args.insert(args.begin() + 1, "--json");
        std::ostringstream jsonOut, jsonErr;
        EXPECT_EQ(svfplay::RunSvfplay(args, jsonOut, jsonErr), svfplay::kExitError);
        const auto json = nlohmann::json::parse(jsonOut.str());
        EXPECT_EQ(json["return"], 2);
        EXPECT_EQ(json["resultCode"], SVF_RESULT_BAD_JOB);
        EXPECT_EQ(json["verdict"], "ERROR");
        EXPECT_NE(json["messages"][0]["text"].get<std::string>().find(message), std::string::npos);
    }
}

TEST(SvfplayOptions, HelpGoesToStdoutWithStatusZero) {
    std::ostringstream out, err;
    EXPECT_EQ(svfplay::RunSvfplay({"svfplay", "--help"}, out, err), 0);
    EXPECT_EQ(out.str().rfind("Plays an SVF file on a boundary-scan controller and reports PASS "
                              "or FAIL.\nUsage: svfplay [OPTIONS] ",
                              0),
              0u)
        << out.str();
    EXPECT_NE(out.str().find("--null-controller"), std::string::npos);
    EXPECT_EQ(err.str(), "");
}

TEST(SvfplayJob, SplitLinesAndCountFileLinesAgreeOnEveryLineEnd) {
    const struct {
        const char* text;
        std::vector<std::string> lines;
    } rows[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\n\nb", {"a", "", "b"}},
        {"x\ry\n", {"x\ry"}},  // a lone CR stays
        {"one\r\ntwo\r\nthree", {"one", "two", "three"}},
    };
    svftest::TempDir dir;
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::string(row.text)));
        EXPECT_EQ(svfplay::SplitLines(row.text), row.lines);
        EXPECT_EQ(svfplay::CountFileLines(dir.Write("count.svf", row.text)), row.lines.size());
    }
    EXPECT_EQ(svfplay::CountFileLines(dir.PathOf("missing")), 0u);
}

}  // namespace
