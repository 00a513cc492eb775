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
#include <fstream>
#include <string>
#include <vector>

#include "null_controller.h"
#include "svfplayer/svf_player.h"

namespace {

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
        facts.statements +=
            static_cast<uint64_t>(std::count(block.data(), block.data() + got, ';'));
    }
    facts.megabytes = static_cast<double>(bytes) / 1e6;
    return facts;
}

void PrintMessage(void*, const SvfMessage* message) {
    if (message->kind == SVF_MESSAGE_ERROR) std::fprintf(stderr, "  %s\n", message->text);
}

int RunFile(const std::string& path, const Options& options) {
    const FileFacts facts = Measure(path);
    // svfplay's null controller: every slot succeeds at once, captures are zeros.
    const VeltraApi api = *svfplay::NullControllerApi();
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
    std::printf(
        "%-28s %8.1f MB %9llu stmts %8.3f s %8.1f MB/s %11.0f stmts/s %8.1f MB peak"
        " (%s)\n",
        path.c_str(), facts.megabytes, static_cast<unsigned long long>(facts.statements), best,
        facts.megabytes / best, static_cast<double>(facts.statements) / best,
        static_cast<double>(usage.ru_maxrss) / 1024.0, result == SVF_RETURN_PASS ? "PASS" : "FAIL");
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
        std::fprintf(stderr,
                     "usage: bench_scans FILE... [--repeat N] [--long-dr] [--error-file PATH]\n");
        return 2;
    }
    int failures = 0;
    for (const std::string& file : options.files) {
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            const int result = RunFile(file, options);
            std::fflush(stdout);
            _exit(result);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
    }
    return failures == 0 ? 0 : 1;
}
