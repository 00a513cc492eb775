// The bridge end to end: every example file plays with the same verdict,
// result code, messages and ERROR file through each transport as through
// veltra-sim in-process, and transport faults end a run with result code 31
// and the transport's own text.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>

#include "bridge.h"
#include "bridge/mpsse_emulator.h"
#include "support/test_session.h"
#include "tools/process.h"
#include "transports.h"

namespace {

const std::string kExamples = SVF_EXAMPLES_DIR;

struct Example {
    const char* svf;
    const char* board;  // examples/boards/, empty: the built-in board
};

const Example kExampleFiles[] = {
    {"idcode.svf", ""},
    {"idcode_fail.svf", ""},
    {"readback.svf", ""},
    {"syntax_error.svf", ""},
    {"loopback_pass.svf", "loopback.toml"},
    {"loopback_fail.svf", "loopback.toml"},
    {"chain_idcodes.svf", "three-devices.toml"},
    {"chain_user1.svf", "three-devices.toml"},
    {"chain_middle_idcode.svf", "three-idcodes.toml"},
};

std::string BoardPath(const Example& e) {
    return *e.board ? kExamples + "/boards/" + e.board : "";
}

std::filesystem::path BinaryDir() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

// veltra-serve on ports the system picks (remote_bitbang on `rbEndpoint`
// when given); killed with the object.
class Server {
public:
    explicit Server(const std::string& board, const std::string& rbEndpoint = "0") {
        int out[2];
        if (pipe(out) != 0) return;
        const auto program = BinaryDir() / "veltra-serve";
        std::vector<std::string> args = {program.string(), "--remote-bitbang", rbEndpoint,
                                         "--xvc", "0"};
        if (!board.empty()) args.insert(args.end(), {"--board", board});
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], STDOUT_FILENO);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        // "<name> listening on 127.0.0.1:<port>", one line per protocol.
        FILE* lines = fdopen(out[0], "r");
        char line[256];
        while ((rb_.empty() || xvc_.empty()) && fgets(line, sizeof line, lines) != nullptr) {
            const std::string text(line, strcspn(line, "\n"));
            const std::string address = text.substr(text.rfind(' ') + 1);
            (text.rfind("xvc", 0) == 0 ? xvc_ : rb_) = address;
        }
        fclose(lines);
    }
    ~Server() { Kill(); }
    void Kill() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    std::string RemoteBitbang() const { return "remote_bitbang:" + rb_; }
    std::string Xvc() const { return "xvc:" + xvc_; }

private:
    pid_t pid_ = -1;
    std::string rb_;
    std::string xvc_;
};

struct Outcome {
    int32_t returned = -1;
    uint32_t code = 0;
    std::string messages;
    std::string errorFile;
};

// Plays `svf` with the table `api`, with an ERROR file (the player compares)
// or without (the controller compares).
Outcome Play(const VeltraApi* api, const std::string& svf, bool errorFile) {
    svftest::MessageLog log;
    svftest::TempDir dir;
    SvfInfo info = svftest::DefaultJob();
    const std::string errorPath = dir.PathOf("errors.txt");
    info.svfSource = svf.c_str();
    info.errorFile = errorFile ? errorPath.c_str() : nullptr;
    Outcome o;
    o.returned = Svf_Execute(api, log.report(), &info);
    o.code = log.report()->resultCode;
    o.messages = log.Dump();
    o.errorFile = svftest::ReadFile(errorPath);
    return o;
}

void ExpectSame(const Outcome& want, const Outcome& got, const std::string& what) {
    EXPECT_EQ(want.returned, got.returned) << what << "\n" << got.messages;
    EXPECT_EQ(want.code, got.code) << what;
    EXPECT_EQ(want.messages, got.messages) << what;
    EXPECT_EQ(want.errorFile, got.errorFile) << what;
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
    std::vector<std::pair<std::string, std::string>> files;
    for (const Example& e : kExampleFiles) {
        files.emplace_back(kExamples + "/svf/" + e.svf, BoardPath(e));
    }
    const std::string boards[] = {"", kExamples + "/boards/three-devices.toml",
                                  kExamples + "/boards/three-idcodes.toml"};
    for (int seed = 1; seed <= 3; ++seed) {
        for (const char* kind : {"random", "flipped"}) {
            files.emplace_back(std::string(SVF_TEST_DATA_DIR) + "/bridge/" + kind +
                                   std::to_string(seed) + ".svf",
                               boards[seed - 1]);
        }
    }
    return files;
}

Outcome InProcess(const std::string& svf, const std::string& board, bool errorFile) {
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
        Server server(board);
        const std::string xvcSvf = WithoutTrst(svf, dir);
        for (const bool errorFile : {false, true}) {
            const Outcome want = InProcess(svf, board, errorFile);
            const std::string what =
                svf + (errorFile ? " with" : " without") + " an ERROR file through ";
            ExpectSame(want, Play(OverMpsse(board, "trst-adbus4"), svf, errorFile), what + "MPSSE");
            ExpectSame(want, Play(Over(server.RemoteBitbang()), svf, errorFile),
                       what + "remote_bitbang");
            ExpectSame(InProcess(xvcSvf, board, errorFile),
                       Play(Over(server.Xvc()), xvcSvf, errorFile), what + "XVC");
            bridge::CloseAdapter();
        }
    }
}

struct SvfplayRow {
    const char* name;
    const char* adapter;  // "rb", "xvc", "unix": the servers'; else as written
    bool inEnvironment;   // VELTRA_BRIDGE_ADAPTER and --controller instead of --adapter
    const char* svf;
    int exitCode;
    const char* output;  // expected in stdout or stderr
};

TEST(BridgeE2e, SvfplayPlaysThroughTheAdapterItIsGiven) {
    Server server("");
    const auto dir = BinaryDir();
    svftest::TempDir temp;
    const std::string errors = temp.PathOf("errors.txt");
    const std::string socketPath = temp.PathOf("rb.sock");
    Server unixServer("", "unix:" + socketPath);
    const SvfplayRow rows[] = {
        {"remote_bitbang", "rb", false, "idcode.svf", 0, "STATUS\tPASS"},
        {"xvc", "xvc", false, "idcode.svf", 0, "STATUS\tPASS"},
        {"unix socket", "unix", false, "idcode.svf", 0, "STATUS\tPASS"},
        {"environment", "xvc", true, "idcode.svf", 0, "STATUS\tPASS"},
        {"unknown kind", "jlink:1", false, "idcode.svf", 2,
         "svfplay: error: cannot open adapter 'jlink:1': unknown adapter kind 'jlink'"},
        {"fail", "rb", false, "idcode_fail.svf", 1, "STATUS\tFAIL"},
    };
    for (const SvfplayRow& row : rows) {
        const std::string name = row.adapter;
        const std::string adapter =
            name == "rb"     ? server.RemoteBitbang()
            : name == "xvc"  ? server.Xvc()
            : name == "unix" ? "unix:" + socketPath
                             : name;
        std::vector<std::string> args = {(dir / "svfplay").string(), "--adapter", adapter};
        if (row.inEnvironment) {
            args = {"VELTRA_BRIDGE_ADAPTER=" + adapter, args[0], "--controller",
                    (dir / "libveltra_bridge.so.2").string()};
        }
        args.insert(args.end(), {"--error-file", errors, kExamples + "/svf/" + row.svf});
        const auto run = row.inEnvironment ? svftest::RunProcess("/usr/bin/env", args)
                                           : svftest::RunProcess(args[0], {args.begin() + 1, args.end()});
        EXPECT_EQ(run.exitCode, row.exitCode) << row.name << "\n" << run.out << run.err;
        EXPECT_NE((run.out + run.err).find(row.output), std::string::npos) << row.name;
    }
    // idcode_fail's ERROR file (the last run) as in-process.
    svftest::SimSession sim;
    EXPECT_EQ(svftest::ReadFile(errors),
              Play(Veltra_GetApi(), kExamples + "/svf/idcode_fail.svf", true).errorFile);
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

struct FaultRow {
    const char* name;
    // Points the bridge at a faulty adapter; may start a fault of its own.
    std::function<const VeltraApi*(std::function<void()>& fault)> setUp;
    const char* text;  // what the transport says
};

TEST(BridgeE2e, TransportFaultsEndTheRunWithTheControllerFailure) {
    Server server("");
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

    const FaultRow rows[] = {
        {"server killed mid-shift",
         [&](std::function<void()>& fault) {
             fault = [&] {
                 std::this_thread::sleep_for(std::chrono::milliseconds(100));
                 server.Kill();
             };
             return Over(server.RemoteBitbang());
         },
         "Error: Shift DR failed; "},
        {"no answer",
         [&](std::function<void()>&) {
             return Over("remote_bitbang:127.0.0.1:" + silentPort + ",timeout=200");
         },
         "Error: Shift DR failed; the adapter did not answer within 200 ms"},
        {"USB read fails", [](std::function<void()>&) { return OverMpsse("", "generic", 3); },
         "Error: Shift DR failed; MPSSE: USB read: emulated device gone"},
    };
    svftest::TempDir dir;
    const std::string svf = dir.Write("long.svf", LongScans(8));
    for (const FaultRow& row : rows) {
        std::function<void()> fault;
        const VeltraApi* api = row.setUp(fault);
        std::thread faulty(fault ? fault : [] {});
        const Outcome o = Play(api, svf, false);
        faulty.join();
        EXPECT_EQ(o.returned, SVF_RETURN_ERROR) << row.name;
        EXPECT_EQ(o.code, uint32_t{SVF_RESULT_CONTROLLER}) << row.name;
        EXPECT_NE(o.messages.find(row.text), std::string::npos) << row.name << "\n" << o.messages;
        bridge::CloseAdapter();
    }
    close(silent);
}

}  // namespace
