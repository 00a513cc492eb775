// The bridge end to end: every example file plays with the same verdict,
// result code, messages and ERROR file through each transport as through
// veltra-sim in-process, and transport faults end a run with result code 31
// and the transport's own text.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "bridge.h"
#include "bridge/mpsse_emulator.h"
#include "sim/serve_process.h"
#include "support/test_session.h"
#include "tools/process.h"
#include "transports.h"

namespace {

using simtest::ServeProcess;

const std::string kExamples = SVF_EXAMPLES_DIR;
const std::string kErrorFileHeading = "ERROR file:\n";

// veltra-serve's arguments: remote_bitbang on `rbEndpoint`, XVC on a port the
// system picks.
std::vector<std::string> ServeArgs(const std::string& board, const std::string& rbEndpoint = "0") {
    std::vector<std::string> args = {"--remote-bitbang", rbEndpoint, "--xvc", "0"};
    if (!board.empty()) args.insert(args.end(), {"--board", board});
    return args;
}

// Plays `svf` with the table `api`, with an ERROR file (the player compares)
// or without (the controller compares): what the run returned, its result
// code, messages and ERROR file as one text.
std::string Play(const VeltraApi* api, const std::string& svf, bool errorFile) {
    svftest::MessageLog log;
    svftest::TempDir dir;
    SvfInfo info = svftest::DefaultJob();
    const std::string errorPath = dir.PathOf("errors.txt");
    info.svfSource = svf.c_str();
    info.errorFile = errorFile ? errorPath.c_str() : nullptr;
    const int32_t returned = Svf_Execute(api, log.report(), &info);
    return "returned " + std::to_string(returned) + ", result code " +
           std::to_string(log.report()->resultCode) + "\n" + log.Dump() + kErrorFileHeading +
           svftest::ReadFile(errorPath);
}

// The bridge over the MPSSE emulator, on a freshly loaded board.
const VeltraApi* OverMpsse(const std::string& board, const char* layout = "generic",
                           int readsBeforeFault = -1) {
    VeltraSim_Reset();
    EXPECT_TRUE(board.empty() || VeltraSim_LoadBoardFile(board.c_str()) == 0);
    VeltraSim_EnableTrace(0);
    const auto chosen = bridge::FindMpsseLayout(layout);
    std::string error;
    auto mpsse = bridge::MakeMpsse(
        std::make_unique<bridgetest::MpsseEmulator>(chosen->trstPin, readsBeforeFault), *chosen,
        error);
    EXPECT_TRUE(mpsse) << error;
    bridge::UseTransport(std::move(mpsse));
    return bridge::Table();
}

const VeltraApi* Over(const std::string& adapter) {
    EXPECT_TRUE(bridge::OpenAdapterNamed(adapter.c_str())) << bridge::OpenError();
    return bridge::Table();
}

// Every example, and random files that pass on their board with copies that
// have one TDO bit flipped (bench/random_svf.py, seeds 1 to 3).
std::vector<std::pair<std::string, std::string>> FilesAndBoards() {
    const std::string boards = kExamples + "/boards/";
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : std::filesystem::directory_iterator(kExamples + "/svf")) {
        const std::string name = entry.path().filename().string();
        const char* board = name.starts_with("loopback")       ? "loopback.toml"
                            : name.starts_with("chain_middle") ? "three-idcodes.toml"
                            : name.starts_with("chain")        ? "three-devices.toml"
                                                               : nullptr;
        files.emplace_back(entry.path().string(), board != nullptr ? boards + board : "");
    }
    const std::string randomBoards[] = {"", boards + "three-devices.toml",
                                        boards + "three-idcodes.toml"};
    for (int seed = 1; seed <= 3; ++seed) {
        for (const char* kind : {"random", "flipped"}) {
            files.emplace_back(
                std::string(SVF_TEST_DATA_DIR) + "/bridge/" + kind + std::to_string(seed) + ".svf",
                randomBoards[seed - 1]);
        }
    }
    return files;
}

std::string InProcess(const std::string& svf, const std::string& board, bool errorFile) {
    svftest::SimSession sim;
    if (!board.empty()) sim.LoadBoard(svftest::ReadFile(board));
    return Play(Veltra_GetApi(), svf, errorFile);
}

// The file without its TRST statements: XVC has no TRST line. The random
// files follow each TRST with STATE RESET, which leaves the chain the same.
std::string WithoutTrst(const std::string& svf, const svftest::TempDir& dir) {
    std::istringstream lines(svftest::ReadFile(svf));
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("TRST", 0) != 0) kept += line + "\n";
    }
    return dir.Write("no_trst.svf", kept);
}

TEST(BridgeE2e, EveryFileGivesTheInProcessOutcomeThroughEveryTransport) {
    svftest::TempDir dir;
    for (const auto& [svf, board] : FilesAndBoards()) {
        ServeProcess server(ServeArgs(board));
        const std::string xvcSvf = WithoutTrst(svf, dir);
        for (const bool errorFile : {false, true}) {
            const std::string want = InProcess(svf, board, errorFile);
            const std::string what =
                svf + (errorFile ? " with" : " without") + " an ERROR file through ";
            EXPECT_EQ(want, Play(OverMpsse(board, "trst-adbus4"), svf, errorFile))
                << what << "MPSSE";
            EXPECT_EQ(want, Play(Over(server.Address("remote_bitbang")), svf, errorFile))
                << what << "remote_bitbang";
            EXPECT_EQ(InProcess(xvcSvf, board, errorFile),
                      Play(Over(server.Address("xvc")), xvcSvf, errorFile))
                << what << "XVC";
            bridge::CloseAdapter();
        }
    }
}

struct SvfplayRow {
    const char* name;
    std::string adapter;
    bool inEnvironment;  // VELTRA_BRIDGE_ADAPTER and --controller instead of --adapter
    const char* svf;
    int exitCode;
    const char* output;  // expected in stdout or stderr
};

TEST(BridgeE2e, SvfplayPlaysThroughTheAdapterItIsGiven) {
    ServeProcess server(ServeArgs(""));
    const auto dir = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    svftest::TempDir temp;
    const std::string errors = temp.PathOf("errors.txt");
    const std::string unixSocket = "unix:" + temp.PathOf("rb.sock");
    ServeProcess unixServer(ServeArgs("", unixSocket));
    const std::string rb = server.Address("remote_bitbang");
    const std::string xvc = server.Address("xvc");
    const SvfplayRow rows[] = {
        {"remote_bitbang", rb, false, "idcode.svf", 0, "STATUS\tPASS"},
        {"xvc", xvc, false, "idcode.svf", 0, "STATUS\tPASS"},
        {"unix socket", unixSocket, false, "idcode.svf", 0, "STATUS\tPASS"},
        {"environment", xvc, true, "idcode.svf", 0, "STATUS\tPASS"},
        {"unknown kind", "jlink:1", false, "idcode.svf", 2,
         "svfplay: error: cannot open adapter 'jlink:1': unknown adapter kind 'jlink'"},
        {"fail", rb, false, "idcode_fail.svf", 1, "STATUS\tFAIL"},
    };
    for (const SvfplayRow& row : rows) {
        std::vector<std::string> args = {(dir / "svfplay").string(), "--adapter", row.adapter};
        if (row.inEnvironment) {
            args = {"VELTRA_BRIDGE_ADAPTER=" + row.adapter, args[0], "--controller",
                    (dir / "libveltra_bridge.so.2").string()};
        }
        args.insert(args.end(), {"--error-file", errors, kExamples + "/svf/" + row.svf});
        const auto run = row.inEnvironment
                             ? svftest::RunProcess("/usr/bin/env", args)
                             : svftest::RunProcess(args[0], {args.begin() + 1, args.end()});
        EXPECT_EQ(run.exitCode, row.exitCode) << row.name << "\n" << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(row.output), std::string::npos) << row.name;
    }
    // idcode_fail's ERROR file (the last run) as in-process.
    svftest::SimSession sim;
    const std::string played = Play(Veltra_GetApi(), kExamples + "/svf/idcode_fail.svf", true);
    EXPECT_EQ(kErrorFileHeading + svftest::ReadFile(errors),
              played.substr(played.find(kErrorFileHeading)));
}

// Long DR scans (2 Mbit each) with TDO, so the transport is busy reading.
std::string LongScans(int count) {
    constexpr int kDigitsPerLine = 400;
    constexpr int kLinesPerScan = 1250;
    auto pattern = [](char digit) {
        std::string text = "(\n";
        for (int l = 0; l < kLinesPerScan; ++l) text += std::string(kDigitsPerLine, digit) + "\n";
        return text + ")";
    };
    std::string svf;
    for (int i = 0; i < count; ++i) {
        svf += "SDR 2000000 TDI " + pattern('5') + " TDO " + pattern('0') + " MASK (0);\n";
    }
    return svf;
}

TEST(BridgeE2e, TransportFaultsEndTheRunWithTheControllerFailure) {
    ServeProcess server(ServeArgs(""));
    // A listener that never accepts: connecting works, nothing is answered.
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(silent, 1), 0);
    getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string silentPort = std::to_string(ntohs(address.sin_port));

    const struct {
        const char* name;
        std::string adapter;  // empty: the MPSSE emulator, whose third read fails
        bool killServer;      // 100 ms into the run
        const char* text;     // what the transport says
    } rows[] = {
        {"server killed mid-shift", server.Address("remote_bitbang"), true,
         "Error: Shift DR failed; "},
        {"no answer", "remote_bitbang:127.0.0.1:" + silentPort + ",timeout=200", false,
         "Error: Shift DR failed; the adapter did not answer within 200 ms"},
        {"USB read fails", "", false,
         "Error: Shift DR failed; MPSSE: USB read: emulated device gone"},
    };
    svftest::TempDir dir;
    const std::string svf = dir.Write("long.svf", LongScans(8));
    const std::string failed = "returned " + std::to_string(SVF_RETURN_ERROR) + ", result code " +
                               std::to_string(SVF_RESULT_CONTROLLER) + "\n";
    for (const auto& row : rows) {
        const VeltraApi* api =
            row.adapter.empty() ? OverMpsse("", "generic", 3) : Over(row.adapter);
        std::thread fault([&] {
            if (!row.killServer) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            server.Stop();
        });
        const std::string outcome = Play(api, svf, false);
        fault.join();
        EXPECT_EQ(outcome.rfind(failed, 0), 0u) << row.name << "\n" << outcome;
        EXPECT_NE(outcome.find(row.text), std::string::npos) << row.name << "\n" << outcome;
        bridge::CloseAdapter();
    }
    close(silent);
}

}  // namespace
