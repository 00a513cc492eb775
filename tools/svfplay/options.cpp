#include "options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <iterator>
#include <utility>

#include "svfplayer/svf_player.h"

namespace svfplay {

namespace {

constexpr size_t kConnectionFields = 4;
constexpr size_t kMaxHexDigits = 8;
constexpr uint32_t kMaxTap = 32;

// Bits that change what the job record's pointers mean: only the options
// that also supply the matching data may set them.
constexpr uint32_t kPointerMeaningFlags = SVF_FLAG_LINES_IN_MEMORY | SVF_FLAG_CONNECTION_STRINGS;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// CLI11 validators that run our parsers, so their messages name the option.
template <typename Parser>
CLI::Validator ValueCheck(Parser parser, const char* name) {
    return CLI::Validator(
        [parser](std::string& value) {
            std::string error;
            return parser(value, error) ? std::string() : error;
        },
        "", name);
}

// The texts a parser turns into the option's value, kept until after parsing.
struct RawValues {
    std::string connection;
    std::string finalState;
    std::string flags;
    std::string frequency;
    std::string gang;
    bool version = false;
};

void AddOptions(CLI::App& app, Options& o, RawValues& raw) {
    app.add_option("FILE.svf", o.svfFile, "SVF file to play")->required();
    auto* player =
        app.add_option("--player", o.playerLibrary, "player library (default: next to svfplay)");
    (void)player;
    auto* controller = app.add_option("--controller", o.controllerLibrary,
                                      "controller library exporting Veltra_GetApi "
                                      "(default: veltra-sim next to svfplay)");
    auto* nullController =
        app.add_flag("--null-controller", o.nullController,
                     "built-in controller: every call succeeds at once and captures zeros");
    nullController->excludes(controller);
    auto* board = app.add_option("--board", o.boardFile, "board file for veltra-sim");
    board->excludes(nullController);
    app.add_option("--adapter", o.adapter,
                   "JTAG adapter for the bridge: remote_bitbang:HOST:PORT, unix:PATH, "
                   "xvc:HOST:PORT, ftdi:VID:PID[:IF][,layout=NAME] (--controller: the bridge)")
        ->excludes(nullController)
        ->excludes(board);
    app.add_option("--tap", o.tap, "tester TAP (default 1)")
        ->check(CLI::Range(kDefaultTap, kMaxTap));
    app.add_option("--frequency", raw.frequency,
                   "TCK frequency and limit: kHz, or with a unit (500kHz, 1MHz, 2.5M); "
                   "default: keep the controller's")
        ->check(ValueCheck(ParseFrequency, "FREQ"));
    auto* errorFile = app.add_option("--error-file", o.errorFile, "ERROR file to write");
    app.add_flag("--numbered-errors", o.numberedErrors, "ERROR file in the command-numbered form")
        ->needs(errorFile);
    auto* cnn = app.add_option("--cnn", o.cnnFile, "CNN connection file");
    auto* strings =
        app.add_option("--connection", raw.connection,
                       "connection strings IRLEAD:IRTAIL:DRLEAD:DRTAIL (H/L, any may be empty)")
            ->check(ValueCheck(ParseConnection, "IRLEAD:IRTAIL:DRLEAD:DRTAIL"));
    strings->excludes(cnn);
    app.add_flag("--no-trst", o.noTrst, "with --connection: TRST statements not allowed")
        ->needs(strings);
    app.add_flag("--avoid-reset", o.avoidReset, "with --connection: RESET end states become IDLE")
        ->needs(strings);
    auto* pio = app.add_flag("--pio", o.pio, "enable PIO and PIOMAP statements");
    app.add_option("--pio-map", o.pioMapFile, "PIO mapping file")->needs(pio);
    app.add_flag("--keep-mapped-pins", o.keepMappedPins,
                 "mapped pins keep their mapping over the controller's pod pins");
    app.add_option("--gang", raw.gang, "TAPs to drive in parallel, digits 1-9");
    app.add_flag("--start-idle", o.startIdle, "the TAP is already in Run-Test/Idle: no reset");
    app.add_option("--final-state", raw.finalState,
                   "state to leave the TAP in: RESET, IDLE, DRPAUSE or IRPAUSE")
        ->check(ValueCheck(ParseFinalState, "RESET|IDLE|DRPAUSE|IRPAUSE"));
    app.add_option("--bypass-length", o.bypassLength, "bypass bits of the whole chain");
    app.add_option("--ir-length", o.irLength, "IR bits of the whole chain");
    app.add_flag("--from-memory", o.fromMemory, "read the file first, pass its lines in memory");
    app.add_option("--flags", raw.flags, "raw option bits OR-ed in (hexadecimal, 0x optional)")
        ->check(ValueCheck(ParseHexFlags, "HEX"));
    auto* verbosity = app.add_option("-v,--verbosity", o.verbosity,
                                     "0 silent, 1 errors, 2 and warnings, 3 and notes (default 3)")
                          ->check(CLI::Range(0, kMaxVerbosity));
    app.add_flag("-q,--quiet", o.quiet, "errors only: no notes, no summary, no progress bar")
        ->excludes(verbosity);
    app.add_flag("--json", o.json, "one JSON object on stdout instead of the messages");
    app.add_option("--trace", o.traceFile, "write the controller call trace to this file");
    app.add_option("--update-log", o.updateLogFile,
                   "veltra-sim: write each device's Update-IR/DR and resets to this file");

    app.add_option("--max-failures", o.maxFailures,
                   "failing scans to show after a FAIL (default 10)");
    app.add_flag("--version", raw.version,
                 "show the versions of svfplay, the player and the controller");
}

}  // namespace

std::optional<ConnectionSpec> ParseConnection(const std::string& text, std::string& error) {
    std::array<std::string, kConnectionFields> fields;
    size_t field = 0;
    for (const char c : text) {
        if (c == ':') {
            if (++field == kConnectionFields) break;
            continue;
        }
        const char bit = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (bit != 'H' && bit != 'L') {
            error = std::string("connection bits must be H or L, not '") + c + "'";
            return std::nullopt;
        }
        fields[field] += bit;
    }
    if (field != kConnectionFields - 1) {
        error = "expected four fields IRLEAD:IRTAIL:DRLEAD:DRTAIL, got '" + text + "'";
        return std::nullopt;
    }
    return ConnectionSpec{std::move(fields[0]), std::move(fields[1]), std::move(fields[2]),
                          std::move(fields[3])};
}

std::optional<uint32_t> ParseFinalState(const std::string& text, std::string& error) {
    static constexpr std::pair<const char*, uint32_t> kStates[] = {
        {"RESET", SVF_STATE_CODE_RESET},
        {"IDLE", SVF_STATE_CODE_IDLE},
        {"DRPAUSE", SVF_STATE_CODE_DRPAUSE},
        {"IRPAUSE", SVF_STATE_CODE_IRPAUSE},
    };
    const std::string name = Upper(text);
    for (const auto& [state, code] : kStates) {
        if (name == state) return code;
    }
    error = "unknown state '" + text + "' (expected RESET, IDLE, DRPAUSE or IRPAUSE)";
    return std::nullopt;
}

std::optional<uint32_t> ParseHexFlags(const std::string& text, std::string& error) {
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.erase(0, 2);
    }
    const bool allHex = std::all_of(digits.begin(), digits.end(),
                                    [](unsigned char c) { return std::isxdigit(c) != 0; });
    if (digits.empty() || !allHex || digits.size() > kMaxHexDigits) {
        error = "'" + text + "' is not a 32-bit hexadecimal number";
        return std::nullopt;
    }
    const auto value = static_cast<uint32_t>(std::stoul(digits, nullptr, 16));
    if ((value & kPointerMeaningFlags) != 0) {
        error = "bits 26 and 27 are set by --from-memory and --connection, not by --flags";
        return std::nullopt;
    }
    return value;
}

std::optional<uint32_t> ParseFrequency(const std::string& text, std::string& error) {
    static constexpr std::pair<const char*, double> kUnits[] = {
        {"", 1.0}, {"K", 1.0}, {"KHZ", 1.0}, {"M", 1e3}, {"MHZ", 1e3}, {"HZ", 1e-3}};
    size_t numberEnd = 0;
    while (numberEnd < text.size() &&
           (std::isdigit(static_cast<unsigned char>(text[numberEnd])) != 0 ||
            text[numberEnd] == '.')) {
        ++numberEnd;
    }
    const std::string number = text.substr(0, numberEnd);
    const std::string unit = Upper(text.substr(numberEnd));
    if (number.empty() || number == "." || std::count(number.begin(), number.end(), '.') > 1) {
        error = "'" + text + "' is not a frequency (for example 1000, 500kHz, 1MHz, 2.5M)";
        return std::nullopt;
    }
    const auto found = std::find_if(std::begin(kUnits), std::end(kUnits),
                                    [&](const auto& u) { return unit == u.first; });
    if (found == std::end(kUnits)) {
        error = "unknown unit '" + text.substr(numberEnd) + "' in '" + text +
                "': use Hz, kHz or MHz (a plain number is kHz)";
        return std::nullopt;
    }
    const double khz = std::stod(number) * found->second;
    const double whole = std::round(khz);
    constexpr double kTolerance = 1e-6;
    if (std::fabs(khz - whole) > kTolerance) {
        error = "'" + text + "' is not a whole number of kHz";
        return std::nullopt;
    }
    if (whole < 1.0 || whole > static_cast<double>(UINT32_MAX)) {
        error = "'" + text + "' is out of range (1 kHz to 4294967295 kHz)";
        return std::nullopt;
    }
    return static_cast<uint32_t>(whole);
}

ParseOutcome ParseCommandLine(const std::vector<std::string>& args) {
    ParseOutcome outcome;
    CLI::App app("Plays an SVF file on a boundary-scan controller and reports PASS or FAIL.",
                 "svfplay");
    // Options start with '-' everywhere; a leading '/' is a path, not an option.
    app.allow_windows_style_options(false);
    RawValues raw;
    AddOptions(app, outcome.options, raw);
    outcome.json = std::find(args.begin(), args.end(), "--json") != args.end();

    std::vector<const char*> argv;
    argv.reserve(args.size());
    for (const auto& arg : args) argv.push_back(arg.c_str());
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::CallForHelp&) {
        outcome.kind = ParseOutcome::Kind::Help;
        outcome.text = app.help();
        return outcome;
    } catch (const CLI::ParseError& e) {
        // --version needs no file.
        if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr && app.count("--version") > 0) {
            outcome.kind = ParseOutcome::Kind::Version;
            return outcome;
        }
        outcome.kind = ParseOutcome::Kind::Error;
        outcome.text =
            std::string("svfplay: error: ") + e.what() + "\nRun with --help for more information.";
        return outcome;
    }

    Options& o = outcome.options;
    std::string ignored;
    if (app.count("--connection") > 0) o.connection = ParseConnection(raw.connection, ignored);
    if (app.count("--final-state") > 0)
        o.finalStateCode = *ParseFinalState(raw.finalState, ignored);
    if (app.count("--flags") > 0) o.rawFlags = *ParseHexFlags(raw.flags, ignored);
    if (app.count("--frequency") > 0) o.frequencyKhz = ParseFrequency(raw.frequency, ignored);
    if (app.count("--gang") > 0) o.gang = raw.gang;
    if (o.quiet) o.verbosity = SVF_LEVEL_ERROR;
    outcome.kind =
        app.count("--version") > 0 ? ParseOutcome::Kind::Version : ParseOutcome::Kind::Run;
    return outcome;
}

}  // namespace svfplay
