// svfplay's command line: what the user asked for, before anything is loaded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace svfplay {

inline constexpr int32_t kDefaultVerbosity = 3;
inline constexpr int32_t kMaxVerbosity = 3;
inline constexpr uint32_t kDefaultTap = 1;
inline constexpr uint32_t kDefaultMaxFailures = 10;

// The four H/L strings of --connection, in the order IR lead, IR tail,
// DR lead, DR tail.
struct ConnectionSpec {
    std::string irLead;
    std::string irTail;
    std::string drLead;
    std::string drTail;
};

struct Options {
    std::string svfFile;
    std::string playerLibrary;      // empty: next to the executable
    std::string controllerLibrary;  // empty: veltra-sim next to the executable
    bool nullController = false;
    std::string adapter;  // set: the bridge drives this JTAG adapter
    std::string boardFile;
    uint32_t tap = kDefaultTap;
    std::optional<uint32_t> frequencyKhz;  // none: keep the controller's own
    std::string errorFile;
    bool numberedErrors = false;
    std::string cnnFile;
    std::optional<ConnectionSpec> connection;
    bool noTrst = false;
    bool avoidReset = false;
    bool pio = false;
    std::string pioMapFile;
    bool keepMappedPins = false;
    std::optional<std::string> gang;
    bool startIdle = false;
    uint32_t finalStateCode = 0;  // 0: leave the TAP as the file ends
    uint32_t bypassLength = 0;
    uint32_t irLength = 0;
    bool fromMemory = false;
    uint32_t rawFlags = 0;
    int32_t verbosity = kDefaultVerbosity;
    bool json = false;
    bool quiet = false;  // errors only: no summary, no progress bar
    uint32_t maxFailures = kDefaultMaxFailures;
    std::string traceFile;
    std::string updateLogFile;  // veltra-sim: what the devices saw, written after the run
};

// Outcome of parsing: run with `options`, or show `text` (help on stdout,
// an error on stderr) and exit.
struct ParseOutcome {
    enum class Kind { kRun, kHelp, kVersion, kError };
    Kind kind = Kind::kError;
    Options options;
    std::string text;
    bool json = false;  // --json was on the command line, even a bad one
};

// `args` holds the whole command line, program name first.
ParseOutcome ParseCommandLine(const std::vector<std::string>& args);

// The value parsers behind the options; each returns nullopt (and an
// explanation in `error`) for a value it does not accept.
std::optional<ConnectionSpec> ParseConnection(const std::string& text, std::string& error);
std::optional<uint32_t> ParseFinalState(const std::string& text, std::string& error);
std::optional<uint32_t> ParseHexFlags(const std::string& text, std::string& error);
// "1000" (kHz), "500kHz", "1MHz", "2.5M", "100000Hz", ... to whole kHz.
std::optional<uint32_t> ParseFrequency(const std::string& text, std::string& error);

}  // namespace svfplay
