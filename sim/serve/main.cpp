// veltra-serve: veltra-sim's board on the wire, so that other players
// (OpenOCD over remote_bitbang) and transport clients drive the same
// simulated chain as svfplay does in-process.
//   veltra-serve [--board FILE] [--tap N] [--remote-bitbang PORT|unix:PATH]
//                [--xvc PORT] [--max-vector BYTES] [--update-log FILE]
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstring>
#include <iostream>

#include "board_port.h"
#include "server.h"
#include "xvc.h"

namespace {

constexpr uint32_t kFirstTap = 1;
constexpr uint32_t kLastTap = 32;
constexpr int kExitError = 2;
constexpr const char* kAnyPort = "0";

volatile std::sig_atomic_t g_stop = 0;

extern "C" void RequestStop(int) { g_stop = 1; }

void InstallSignals() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a signal ends the wait in poll at once.
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app(
        "Serves a veltra-sim board over remote_bitbang and XVC 1.0 on loopback.\n"
        "Without --remote-bitbang and --xvc both are served on ports the system picks.",
        "veltra-serve");
    std::string boardFile;
    uint32_t tap = kFirstTap;
    std::string updateLog;
    veltraserve::ServerOptions options;
    options.maxVectorBytes = veltraserve::kDefaultMaxVectorBytes;
    app.add_option("--board", boardFile, "board file (TOML); default: the built-in board")
        ->check(CLI::ExistingFile);
    app.add_option("--tap", tap, "tester TAP whose chain is served (1 to 32, default 1)")
        ->check(CLI::Range(kFirstTap, kLastTap));
    app.add_option("--remote-bitbang", options.remoteBitbang,
                   "remote_bitbang on this 127.0.0.1 port (0: any) or unix:PATH");
    app.add_option("--xvc", options.xvc, "XVC 1.0 on this 127.0.0.1 port (0: any)");
    app.add_option("--max-vector", options.maxVectorBytes,
                   "longest XVC shift vector accepted, in bytes (default 2048)")
        ->check(CLI::PositiveNumber);
    app.add_option("--update-log", updateLog,
                   "after each client, write what the devices saw (Update-IR/DR, resets) here");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    if (options.remoteBitbang.empty() && options.xvc.empty()) {
        options.remoteBitbang = kAnyPort;
        options.xvc = kAnyPort;
    }
    if (options.xvc.starts_with("unix:")) {
        // XVC clients connect over TCP only.
        std::cerr << "veltra-serve: --xvc takes a TCP port\n";
        return kExitError;
    }

    InstallSignals();
    veltraserve::BoardPort board(boardFile, tap, updateLog);
    std::string error;
    if (!board.Restart(error)) {
        std::cerr << "veltra-serve: " << error << '\n';
        return kExitError;
    }
    return veltraserve::Serve(board, options, g_stop, std::cout, std::cerr);
}
