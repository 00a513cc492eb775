// Runs SVF files through Svf_Execute against a null controller (every slot
// succeeds at once, captures read as zeros) and prints the throughput of the
// parser and scan engine: MB/s, statements/s and the peak resident memory.
//
//   bench_scans FILE... [--repeat N] [--long-dr] [--error-file PATH]
//
// Without an ERROR file the controller compares; with one the player captures
// and compares itself (and writes every mismatch to the file).
//
// Each file is run in a child process of its own, so that its peak memory is
// its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "svfplayer/svf_player.h"

namespace {

// ---------------------------------------------------------- null controller

uint32_t zeroRecord[VELTRA_INFO_WORDS] = {};

const char* NoText() { return ""; }
uint32_t TapCall(uint32_t) { return VELTRA_OK; }
uint32_t TapStateCall(uint32_t, uint32_t) { return VELTRA_OK; }
uint32_t ValueCall(uint32_t) { return VELTRA_OK; }
uint32_t WaitTime(uint32_t, uint32_t) { return VELTRA_OK; }
uint32_t TapValueCall(uint32_t, uint32_t) { return VELTRA_OK; }
uint32_t SetPodSignal(uint32_t, uint32_t, uint32_t) { return VELTRA_OK; }

void ZeroCapture(uint16_t* tdo, uint32_t bitCount) {
    if (tdo != nullptr) std::memset(tdo, 0, (size_t{bitCount} + 15) / 16 * sizeof(uint16_t));
}
uint32_t Shift(uint32_t, const uint16_t*, uint32_t bitCount, uint16_t* tdo) {
    ZeroCapture(tdo, bitCount);
    return VELTRA_OK;
}
uint32_t ShiftCompare(uint32_t, const uint16_t*, uint32_t bitCount, uint16_t* tdo,
                      const uint16_t*, const uint16_t*) {
    ZeroCapture(tdo, bitCount);
    return VELTRA_OK;
}
uint32_t GetPodInfo(uint32_t, uint32_t* pins, uint32_t* levels) {
    *pins = 0;
    *levels = 0;
    return VELTRA_OK;
}
uint32_t GetCompareResult(uint32_t* failMask) {
    *failMask = 0;
    return VELTRA_OK;
}
uint32_t AccessPioPins(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t* readBack) {
    *readBack = 0;
    return VELTRA_OK;
}
uint32_t GetControllerInfo(const uint32_t** record) {
    *record = zeroRecord;
    return VELTRA_OK;
}

VeltraApi NullController() {
    VeltraApi api{};
    api.GetErrorText = NoText;
    api.ResetTap = TapCall;
    api.PulseTrst = TapCall;
    api.SetTapState = TapStateCall;
    api.ShiftDr = Shift;
    api.ShiftIr = Shift;
    api.ShiftDrToPause = Shift;
    api.ShiftIrToPause = Shift;
    api.WaitTck = ValueCall;
    api.SetStopState = ValueCall;
    api.SetFrequency = ValueCall;
    api.SetTckIdleState = ValueCall;
    api.WaitTime = WaitTime;
    api.SetBuffering = ValueCall;
    api.SetFlagLength = TapValueCall;
    api.GetPodInfo = GetPodInfo;
    api.SetStartState = TapStateCall;
    api.SetGanging = TapValueCall;
    api.ShiftDrCompare = ShiftCompare;
    api.ShiftIrCompare = ShiftCompare;
    api.ShiftDrCompareToPause = ShiftCompare;
    api.ShiftIrCompareToPause = ShiftCompare;
    api.GetCompareResult = GetCompareResult;
    api.SetCompareMode = ValueCall;
    api.AccessPioPins = AccessPioPins;
    api.GetControllerInfo = GetControllerInfo;
    api.SetPodSignal = SetPodSignal;
    api.ShiftDrLong = ShiftCompare;
    api.ShiftDrLongToPause = ShiftCompare;
    api.SetTrst = TapValueCall;
    return api;
}

// ------------------------------------------------------------------- runs

struct Options {
    std::vector<std::string> files;
    int repeat = 1;
    uint32_t flags = 0;
    const char* errorFile = nullptr;
};

struct FileFacts {
    double megabytes = 0;
    uint64_t statements = 0;  // one ";" ends every statement
};

FileFacts Measure(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    FileFacts facts;
    std::vector<char> block(1 << 20);
    uint64_t bytes = 0;
    while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
        const auto got = static_cast<size_t>(in.gcount());
        bytes += got;
        facts.statements += static_cast<uint64_t>(std::count(block.data(), block.data() + got, ';'));
    }
    facts.megabytes = static_cast<double>(bytes) / 1e6;
    return facts;
}

void PrintMessage(void*, const SvfMessage* message) {
    if (message->kind == SVF_MESSAGE_ERROR) std::fprintf(stderr, "  %s\n", message->text);
}

int RunFile(const std::string& path, const Options& options) {
    const FileFacts facts = Measure(path);
    const VeltraApi api = NullController();
    double best = 1e100;
    int32_t result = 0;
    for (int run = 0; run < options.repeat; ++run) {
        SvfReport report{};
        report.messageCallback = PrintMessage;
        report.verbosity = SVF_LEVEL_ERROR;
        SvfInfo info{};
        info.flags = options.flags;
        info.svfSource = path.c_str();
        info.errorFile = options.errorFile;
        info.tap = 1;
        info.frequencyKhz = 1000;
        const auto start = std::chrono::steady_clock::now();
        result = Svf_Execute(&api, &report, &info);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
        if (result == SVF_RETURN_ERROR) {
            std::fprintf(stderr, "%s: run stopped, result code %u\n", path.c_str(),
                         report.resultCode);
            return 1;
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%-28s %8.1f MB %9llu stmts %8.3f s %8.1f MB/s %11.0f stmts/s %8.1f MB peak"
                " (%s)\n",
                path.c_str(), facts.megabytes, static_cast<unsigned long long>(facts.statements),
                best, facts.megabytes / best, static_cast<double>(facts.statements) / best,
                static_cast<double>(usage.ru_maxrss) / 1024.0,
                result == SVF_RETURN_PASS ? "PASS" : "FAIL");
    return 0;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--repeat" && i + 1 < argc) {
            options.repeat = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--error-file" && i + 1 < argc) {
            options.errorFile = argv[++i];
        } else if (arg == "--long-dr") {
            options.flags |= SVF_FLAG_LONG_DR_SHIFTS;
        } else if (arg.rfind("--", 0) == 0) {
            return false;
        } else {
            options.files.push_back(arg);
        }
    }
    return !options.files.empty();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: bench_scans FILE... [--repeat N] [--long-dr] [--error-file PATH]\n");
        return 2;
    }
    int failures = 0;
    for (const std::string& file : options.files) {
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) _exit(RunFile(file, options));
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
    }
    return failures == 0 ? 0 : 1;
}
