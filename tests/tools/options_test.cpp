// svfplay's command line: every option lands in the right job-record field or
// bit, and bad command lines stop with status 2 and a message.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app.h"
#include "job.h"
#include "options.h"

namespace {

using svfplay::Job;
using svfplay::Options;
using svfplay::ParseCommandLine;
using svfplay::ParseOutcome;

std::vector<std::string> CommandLine(std::vector<std::string> options) {
    options.insert(options.begin(), "svfplay");
    options.push_back("file.svf");
    return options;
}

Options ParseOk(const std::vector<std::string>& options) {
    const ParseOutcome outcome = ParseCommandLine(CommandLine(options));
    EXPECT_EQ(outcome.kind, ParseOutcome::Kind::kRun) << outcome.text;
    return outcome.options;
}

std::unique_ptr<Job> BuildJob(const std::vector<std::string>& options) {
    std::string error;
    auto job = Job::Build(ParseOk(options), error);
    EXPECT_NE(job, nullptr) << error;
    return job;
}

TEST(SvfplayOptions, DefaultsKeepTheControllerFrequencyOnTapOne) {
    const auto job = BuildJob({});
    const SvfInfo& info = job->info();
    EXPECT_EQ(info.flags, SVF_FLAG_KEEP_FREQUENCY);
    EXPECT_STREQ(static_cast<const char*>(info.svfSource), "file.svf");
    EXPECT_EQ(info.tap, 1u);
    EXPECT_EQ(info.frequencyKhz, 0u);
    EXPECT_EQ(info.errorFile, nullptr);
    EXPECT_EQ(info.cnnFile, nullptr);
    EXPECT_EQ(info.pioMapFile, nullptr);
    EXPECT_EQ(info.ganging, nullptr);
    EXPECT_EQ(info.startState, 0u);
    EXPECT_EQ(info.finalState, 0u);
    EXPECT_EQ(ParseOk({}).verbosity, 3);
}

struct FlagCase {
    std::vector<std::string> options;
    uint32_t flags;
};

TEST(SvfplayOptions, EachSwitchSetsItsBit) {
    const FlagCase cases[] = {
        {{"--frequency", "1000"}, 0},
        {{"--error-file", "e.txt", "--numbered-errors"},
         SVF_FLAG_KEEP_FREQUENCY | SVF_FLAG_NUMBERED_ERRORS},
        {{"--pio"}, SVF_FLAG_KEEP_FREQUENCY | SVF_FLAG_PIO},
        {{"--keep-mapped-pins"}, SVF_FLAG_KEEP_FREQUENCY | SVF_FLAG_KEEP_MAPPED_PINS},
        {{"--connection", ":::"}, SVF_FLAG_KEEP_FREQUENCY | SVF_FLAG_CONNECTION_STRINGS},
        {{"--flags", "0x80000040"},
         SVF_FLAG_KEEP_FREQUENCY | SVF_FLAG_NO_BUFFERING | SVF_FLAG_FIXED_FREQUENCY},
        {{"--flags", "300", "--frequency", "5"},
         SVF_FLAG_TRST_AT_START | SVF_FLAG_TRST_AT_END},
        {{"--flags", "0X10000000", "--pio"},
         SVF_FLAG_KEEP_FREQUENCY | SVF_FLAG_FREQUENCY_NOTE | SVF_FLAG_PIO},
    };
    for (const auto& c : cases) {
        const auto job = BuildJob(c.options);
        EXPECT_EQ(job->info().flags, c.flags) << ::testing::PrintToString(c.options);
    }
}

TEST(SvfplayOptions, ValuesLandInTheirFields) {
    const auto job = BuildJob({"--tap", "3", "--frequency", "2500", "--error-file", "out.err",
                               "--cnn", "board.cnn", "--pio", "--pio-map", "pins.map",
                               "--gang", "135", "--start-idle", "--final-state", "drpause",
                               "--bypass-length", "7", "--ir-length", "24"});
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
}

TEST(SvfplayOptions, EmptyGangStringIsPassedForThePlayerToJudge) {
    const auto job = BuildJob({"--gang", ""});
    ASSERT_NE(job->info().ganging, nullptr);
    EXPECT_STREQ(job->info().ganging, "");
}

TEST(SvfplayOptions, OutputOptions) {
    const Options o = ParseOk({"-v", "1", "--json", "--trace", "calls.txt", "--player", "p.so",
                               "--controller", "c.so", "--board", "b.toml"});
    EXPECT_EQ(o.verbosity, 1);
    EXPECT_TRUE(o.json);
    EXPECT_EQ(o.traceFile, "calls.txt");
    EXPECT_EQ(o.playerLibrary, "p.so");
    EXPECT_EQ(o.controllerLibrary, "c.so");
    EXPECT_EQ(o.boardFile, "b.toml");
    EXPECT_TRUE(ParseOk({"--null-controller"}).nullController);
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
}

TEST(SvfplayOptions, ConnectionFlagsEach) {
    EXPECT_EQ(BuildJob({"--connection", "H:::", "--no-trst"})->connection().flags,
              SVF_CONNECTION_NO_TRST);
    EXPECT_EQ(BuildJob({"--connection", "H:::", "--avoid-reset"})->connection().flags,
              SVF_CONNECTION_AVOID_RESET);
    EXPECT_EQ(BuildJob({"--connection", "H:::"})->connection().flags, 0u);
}

TEST(SvfplayOptions, ParseConnectionRejectsBadShapes) {
    const char* bad[] = {"", "H", "H:L:H", "H:L:H:L:H", "HX:::", "1:0::", "H L:::"};
    for (const char* text : bad) {
        std::string error;
        EXPECT_FALSE(svfplay::ParseConnection(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    std::string error;
    const auto all = svfplay::ParseConnection("lh:Hl:hH:LL", error);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->irLead, "LH");
    EXPECT_EQ(all->irTail, "HL");
    EXPECT_EQ(all->drLead, "HH");
    EXPECT_EQ(all->drTail, "LL");
}

TEST(SvfplayOptions, FinalStateNamesMapToControllerCodes) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"RESET", SVF_STATE_CODE_RESET},     {"idle", SVF_STATE_CODE_IDLE},
        {"DrPause", SVF_STATE_CODE_DRPAUSE}, {"IRPAUSE", SVF_STATE_CODE_IRPAUSE},
    };
    for (const auto& [name, code] : cases) {
        std::string error;
        EXPECT_EQ(svfplay::ParseFinalState(name, error), code) << name;
    }
    std::string error;
    EXPECT_FALSE(svfplay::ParseFinalState("DRSHIFT", error));
    EXPECT_NE(error.find("DRSHIFT"), std::string::npos);
}

TEST(SvfplayOptions, HexFlagsWithAndWithoutPrefix) {
    const std::pair<const char*, uint32_t> good[] = {
        {"0", 0}, {"0x0", 0}, {"40", 0x40}, {"0x40", 0x40}, {"0XaB", 0xAB},
        {"F3FFFFFF", 0xF3FFFFFFu}, {"80000000", 0x80000000u},
    };
    for (const auto& [text, value] : good) {
        std::string error;
        EXPECT_EQ(svfplay::ParseHexFlags(text, error), value) << text;
    }
    // Bits 26 and 27 change what the record's pointers mean: only their own
    // options may set them.
    const char* bad[] = {"",   "0x",        "xyz",       "0x1G",    "123456789",
                         "-1", "0x4000000", "8000000",   "FFFFFFFF"};
    for (const char* text : bad) {
        std::string error;
        EXPECT_FALSE(svfplay::ParseHexFlags(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

struct BadCommandLine {
    std::vector<std::string> args;
    const char* messagePart;
};

TEST(SvfplayOptions, BadCommandLinesExitWithStatusTwoAndSayWhy) {
    const BadCommandLine cases[] = {
        {{"svfplay"}, "FILE.svf"},
        {{"svfplay", "--bogus", "f.svf"}, "--bogus"},
        {{"svfplay", "--tap", "0", "f.svf"}, "--tap"},
        {{"svfplay", "--tap", "x", "f.svf"}, "--tap"},
        {{"svfplay", "--frequency", "0", "f.svf"}, "--frequency"},
        {{"svfplay", "--final-state", "shift", "f.svf"}, "unknown state 'shift'"},
        {{"svfplay", "--flags", "0xZZ", "f.svf"}, "not a 32-bit hexadecimal number"},
        {{"svfplay", "--connection", "H:L", "f.svf"}, "expected four fields"},
        {{"svfplay", "--no-trst", "f.svf"}, "--connection"},
        {{"svfplay", "--cnn", "a.cnn", "--connection", ":::", "f.svf"}, "--cnn"},
        {{"svfplay", "--null-controller", "--controller", "c.so", "f.svf"}, "--controller"},
        {{"svfplay", "--null-controller", "--board", "b.toml", "f.svf"}, "--board"},
        {{"svfplay", "--pio-map", "m.map", "f.svf"}, "--pio"},
        {{"svfplay", "--numbered-errors", "f.svf"}, "--error-file"},
        {{"svfplay", "a.svf", "b.svf"}, "b.svf"},
        {{"svfplay", "-v", "4", "f.svf"}, "--verbosity"},
        {{"svfplay", "-v", "-1", "f.svf"}, "--verbosity"},
        {{"svfplay", "-q", "-v", "2", "f.svf"}, "--quiet"},
        {{"svfplay", "--frequency", "5x", "f.svf"}, "unknown unit 'x' in '5x'"},
        {{"svfplay", "--frequency", "1500Hz", "f.svf"}, "not a whole number of kHz"},
        {{"svfplay", "--frequency", "MHz", "f.svf"}, "is not a frequency"},
        {{"svfplay", "--frequency", "1.2.3", "f.svf"}, "is not a frequency"},
        {{"svfplay", "--frequency", "5000G", "f.svf"}, "unknown unit 'G'"},
        {{"svfplay", "--frequency", "0.4", "f.svf"}, "not a whole number"},
        {{"svfplay", "--frequency", "4295GHz", "f.svf"}, "unknown unit"},
        {{"svfplay", "--frequency", "4294968MHz", "f.svf"}, "out of range"},
    };
    for (const auto& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(svfplay::RunSvfplay(c.args, out, err), svfplay::kExitError)
            << ::testing::PrintToString(c.args);
        EXPECT_NE(err.str().find("svfplay: error: "), std::string::npos) << err.str();
        EXPECT_NE(err.str().find(c.messagePart), std::string::npos) << err.str();
        EXPECT_EQ(out.str(), "");
    }
}

TEST(SvfplayOptions, FrequencyTakesUnits) {
    const struct {
        const char* text;
        uint32_t khz;
    } rows[] = {{"1000", 1000},  {"1MHz", 1000}, {"500kHz", 500}, {"2.5M", 2500},
                {"12.5mhz", 12500}, {"250k", 250}, {"2000Hz", 2}, {"4294967295", UINT32_MAX}};
    for (const auto& row : rows) {
        EXPECT_EQ(ParseOk({"--frequency", row.text}).frequencyKhz, row.khz) << row.text;
    }
}

TEST(SvfplayOptions, QuietMeansErrorsOnly) {
    const Options quiet = ParseOk({"-q"});
    EXPECT_TRUE(quiet.quiet);
    EXPECT_EQ(quiet.verbosity, SVF_LEVEL_ERROR);
    EXPECT_EQ(ParseOk({"--max-failures", "3"}).maxFailures, 3u);
    EXPECT_EQ(ParseOk({}).maxFailures, 10u);
}

TEST(SvfplayOptions, BadCommandLineWithJsonIsOneObject) {
    std::ostringstream out, err;
    EXPECT_EQ(svfplay::RunSvfplay({"svfplay", "--json", "--tap", "0", "f.svf"}, out, err),
              svfplay::kExitError);
    const auto json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json["return"], 2);
    EXPECT_EQ(json["resultCode"], SVF_RESULT_BAD_JOB);
    EXPECT_EQ(json["verdict"], "ERROR");
    EXPECT_NE(json["messages"][0]["text"].get<std::string>().find("--tap"), std::string::npos);
}

TEST(SvfplayOptions, HelpGoesToStdoutWithStatusZero) {
    std::ostringstream out, err;
    EXPECT_EQ(svfplay::RunSvfplay({"svfplay", "--help"}, out, err), 0);
    EXPECT_NE(out.str().find("--null-controller"), std::string::npos);
    EXPECT_EQ(err.str(), "");
}

}  // namespace

namespace {

TEST(SvfplayOptions, AbsolutePathsAreNeverOptions) {
    const ParseOutcome outcome =
        ParseCommandLine({"svfplay", "--error-file", "/tmp/x.err", "/work/file.svf"});
    ASSERT_EQ(outcome.kind, ParseOutcome::Kind::kRun) << outcome.text;
    EXPECT_EQ(outcome.options.svfFile, "/work/file.svf");
    EXPECT_EQ(outcome.options.errorFile, "/tmp/x.err");
}

}  // namespace
