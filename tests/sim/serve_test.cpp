// veltra-serve over its sockets, byte by byte: remote_bitbang and XVC 1.0
// on the default board, malformed input, one client after another, shutdown.
// Linux only, like the server. Every wait is bounded.
#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/files.h"

extern char** environ;

namespace {

constexpr int kWaitMs = 5000;
constexpr uint32_t kIdcode = 0x0123A093;
constexpr uint32_t kMaxVector = 16;  // bytes, as the server is started here

// "0".."7" for one pin setting; a TCK cycle is the low byte, then the high one.
std::string Tick(int tms, int tdi, bool read = false) {
    const char low = static_cast<char>('0' + (tms << 1 | tdi));
    return std::string(1, low) + (read ? "R" : "") + static_cast<char>(low + 4);
}

// Test-Logic-Reset, then Shift-DR: the IDCODE is shifted out next.
std::string ToShiftDr() {
    std::string bytes;
    for (const int tms : {1, 1, 1, 1, 1, 0, 1, 0, 0}) bytes += Tick(tms, 0);
    return bytes;
}

// One XVC shift: LSB-first TMS and TDI vectors of `bits` bits.
std::string XvcShift(const std::vector<int>& tms, const std::vector<int>& tdi) {
    const auto bits = static_cast<uint32_t>(tms.size());
    std::string command = "shift:";
    for (int i = 0; i < 4; ++i) command += static_cast<char>(bits >> (8 * i) & 0xFF);
    for (const auto* vector : {&tms, &tdi}) {
        std::string bytes((bits + 7) / 8, '\0');
        for (uint32_t i = 0; i < bits; ++i) {
            if ((*vector)[i]) bytes[i / 8] = static_cast<char>(bytes[i / 8] | 1 << (i % 8));
        }
        command += bytes;
    }
    return command;
}

// Reset, IR <- `opcode`, then a 32-bit DR scan of `value` back to Idle, as
// TMS/TDI bit lists; the DR bits come out from bit `kDrFirstBit` on.
constexpr uint32_t kDrFirstBit = 5 + 5 + 8 + 4;
void ResetIrDr(uint32_t opcode, uint32_t value, std::vector<int>& tms, std::vector<int>& tdi) {
    auto add = [&](int m, int d) { tms.push_back(m); tdi.push_back(d); };
    for (int i = 0; i < 5; ++i) add(1, 0);
    for (const int m : {0, 1, 1, 0, 0}) add(m, 0);             // Idle .. Shift-IR
    for (int i = 0; i < 8; ++i) add(i == 7, opcode >> i & 1);  // the last bit leaves it
    for (const int m : {1, 1, 0, 0}) add(m, 0);                // Update-IR .. Shift-DR
    for (int i = 0; i < 32; ++i) add(i == 31, value >> i & 1);
    add(1, 0), add(0, 0);                                      // Update-DR, Idle
}

uint32_t BitsAt(const std::string& vector, uint32_t first) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < 32; ++i) {
        const uint32_t bit = first + i;
        value |= static_cast<uint32_t>(vector[bit / 8] >> (bit % 8) & 1) << i;
    }
    return value;
}

class Connection {
public:
    explicit Connection(int port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ok_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    explicit Connection(const std::string& unixPath) : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        unixPath.copy(address.sun_path, sizeof address.sun_path - 1);
        ok_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Connection() { close(fd_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool ok() const { return ok_; }
    void Send(const std::string& bytes) const {
        ASSERT_EQ(send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // Up to `count` bytes, less when the server closes or does not answer in time.
    std::string Receive(size_t count) const {
        std::string bytes;
        char buffer[4096];
        pollfd entry{fd_, POLLIN, 0};
        while (bytes.size() < count && poll(&entry, 1, kWaitMs) == 1) {
            const ssize_t got = recv(fd_, buffer, std::min(sizeof buffer, count - bytes.size()), 0);
            if (got <= 0) break;
            bytes.append(buffer, static_cast<size_t>(got));
        }
        return bytes;
    }
    // The server closed the connection (end of stream within the wait).
    bool Closed() const {
        pollfd entry{fd_, POLLIN, 0};
        char byte = 0;
        return poll(&entry, 1, kWaitMs) == 1 && recv(fd_, &byte, 1, 0) <= 0;
    }

private:
    int fd_;
    bool ok_ = false;
};

// veltra-serve as a child process, its output in files.
class Server {
public:
    explicit Server(std::vector<std::string> args) {
        const auto exe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "veltra-serve";
        args.insert(args.begin(), exe.string());
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, dir_.PathOf("out").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, dir_.PathOf("err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        for (int waited = 0; waited < kWaitMs && pid_ > 0; waited += 10) {
            const std::string out = Output();
            if (std::count(out.begin(), out.end(), '\n') >= Listeners(args)) break;
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {  // refused to start
                exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                pid_ = -1;
            }
            usleep(10000);
        }
    }
    ~Server() {
        if (pid_ > 0) Stop();
    }

    // The port of the "<name> listening on 127.0.0.1:PORT" line; 0 if none.
    int Port(const std::string& name) const {
        const std::string out = Output();
        const std::string key = name + " listening on 127.0.0.1:";
        const size_t at = out.find(key);
        return at == std::string::npos ? 0 : std::stoi(out.substr(at + key.size()));
    }
    std::string Output() const { return svftest::ReadFile(dir_.PathOf("out")); }
    std::string Errors() const { return svftest::ReadFile(dir_.PathOf("err")); }

    // SIGTERM; the exit status, -1 when it did not end in time.
    int Stop() {
        if (pid_ <= 0) return exitStatus_;
        kill(pid_, SIGTERM);
        int status = 0;
        for (int waited = 0; waited < kWaitMs; waited += 10) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(10000);
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
    }

private:
    static long Listeners(const std::vector<std::string>& args) {
        const long named = std::count(args.begin(), args.end(), "--remote-bitbang") +
                           std::count(args.begin(), args.end(), "--xvc");
        return named == 0 ? 2 : named;
    }

    svftest::TempDir dir_;
    pid_t pid_ = -1;
    int exitStatus_ = -1;
};

uint32_t ReadIdcodeBitbang(const Connection& c) {
    std::string bytes = ToShiftDr();
    for (int i = 0; i < 32; ++i) bytes += Tick(i == 31, 0, true);
    c.Send(bytes);
    const std::string answer = c.Receive(32);
    uint32_t value = 0;
    for (size_t i = 0; i < answer.size(); ++i) value |= static_cast<uint32_t>(answer[i] == '1') << i;
    return answer.size() == 32 ? value : 0;
}

TEST(SimServe, RemoteBitbangReadsTheIdcodeAndIgnoresUnknownBytes) {
    svftest::TempDir dir;
    Server server({"--update-log", dir.PathOf("log")});
    ASSERT_NE(server.Port("remote_bitbang"), 0) << server.Output() << server.Errors();
    ASSERT_NE(server.Port("xvc"), 0) << server.Output();
    {
        Connection c(server.Port("remote_bitbang"));
        ASSERT_TRUE(c.ok());
        c.Send("Bbxxz");  // blink, and two unknown bytes (one noted)
        EXPECT_EQ(ReadIdcodeBitbang(c), kIdcode);
        c.Send(Tick(1, 0));  // Update-DR
        c.Send("tur");  // TRST pulse (with SRST, which has nothing to reset)
        c.Send("Q");
        EXPECT_TRUE(c.Closed());
    }
    EXPECT_EQ(server.Stop(), 0);
    const std::string errors = server.Errors();
    EXPECT_NE(errors.find("ignoring unknown byte 0x78"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("0x78"), errors.rfind("0x78")) << errors;
    // The session's update log: the IDCODE scan's Update-DR, then TRST.
    EXPECT_EQ(svftest::ReadFile(dir.PathOf("log")), "1.0 DR 32 00000000\n1.0 TRST\n");
}

TEST(SimServe, XvcAnswersAndEachClientStartsFromTheBoardAsLoaded) {
    Server server({"--xvc", "0", "--max-vector", "16"});
    const int port = server.Port("xvc");
    ASSERT_NE(port, 0) << server.Output() << server.Errors();
    std::vector<int> tms, tdi;
    constexpr uint32_t kScratchOpcode = 0x02;
    ResetIrDr(kScratchOpcode, 0xDEADBEEF, tms, tdi);
    for (int client = 0; client < 2; ++client) {
        Connection c(port);
        ASSERT_TRUE(c.ok());
        c.Send("getinfo:");
        EXPECT_EQ(c.Receive(18), "xvcServer_v1.0:16\n");
        c.Send(std::string("settck:") + std::string("\x64\0\0\0", 4));
        EXPECT_EQ(c.Receive(4), std::string("\x64\0\0\0", 4));
        // The scratch register starts at 0 for every client, and keeps a write.
        const std::string shift = XvcShift(tms, tdi);
        c.Send(shift + shift);  // two commands in one go
        const std::string tdo = c.Receive(2 * ((tms.size() + 7) / 8));
        ASSERT_EQ(tdo.size(), 2 * ((tms.size() + 7) / 8)) << client;
        EXPECT_EQ(BitsAt(tdo, kDrFirstBit), 0u) << client;
        EXPECT_EQ(BitsAt(tdo.substr(tdo.size() / 2), kDrFirstBit), 0xDEADBEEFu) << client;
    }
    EXPECT_EQ(server.Stop(), 0);
}

TEST(SimServe, MalformedInputClosesOnlyThatConnection) {
    Server server({"--remote-bitbang", "0", "--xvc", "0", "--max-vector",
                   std::to_string(kMaxVector)});
    const int bitbang = server.Port("remote_bitbang");
    const int xvc = server.Port("xvc");
    ASSERT_NE(xvc, 0) << server.Output() << server.Errors();
    std::mt19937 random(12);
    std::string noise(1 << 14, '\0');
    for (char& byte : noise) byte = static_cast<char>(random());
    const std::string oversize = XvcShift(std::vector<int>(kMaxVector * 8 + 1, 0),
                                          std::vector<int>(kMaxVector * 8 + 1, 0));
    struct Case {
        const char* name;
        int port;
        std::string bytes;
        bool closedByServer;
    };
    const std::vector<Case> cases = {
        {"random bytes, remote_bitbang", bitbang, noise, false},
        {"random bytes, xvc", xvc, noise, true},
        {"unknown xvc command", xvc, "getinfo!", true},
        {"oversize shift", xvc, oversize, true},
        {"truncated shift header", xvc, std::string("shift:\x05\0", 8), false},
        {"truncated shift vectors", xvc, std::string("shift:\x10\0\0\0\xFF", 11), false},
        {"truncated command name", xvc, "sett", false},
    };
    for (const Case& test : cases) {
        {
            Connection c(test.port);
            ASSERT_TRUE(c.ok()) << test.name;
            c.Send(test.bytes);
            if (test.closedByServer) {
                EXPECT_TRUE(c.Closed()) << test.name;
            }
        }  // the client leaves, answers unread
        Connection next(bitbang);
        EXPECT_EQ(ReadIdcodeBitbang(next), kIdcode) << "after " << test.name;
    }
    EXPECT_EQ(server.Stop(), 0);
    const std::string errors = server.Errors();
    for (const char* message : {"unknown command 'getinfo!'", "exceed the maximum vector of 16",
                                "connection closed inside a command"}) {
        EXPECT_NE(errors.find(message), std::string::npos) << message << "\n" << errors;
    }
}

TEST(SimServe, UnixSocketAndCleanShutdown) {
    svftest::TempDir dir;
    const std::string path = dir.PathOf("jtag.sock");
    Server server({"--remote-bitbang", "unix:" + path});
    ASSERT_NE(server.Output().find("remote_bitbang listening on unix:" + path), std::string::npos)
        << server.Output() << server.Errors();
    {
        Connection c(path);
        ASSERT_TRUE(c.ok());
        EXPECT_EQ(ReadIdcodeBitbang(c), kIdcode);
    }
    EXPECT_EQ(server.Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(SimServe, RefusesBadCommandLines) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--xvc", "unix:/tmp/x"}, {"--remote-bitbang", "99999"},
          {"--tap", "33"}, {"--board", "/no/such/board.toml"}}) {
        Server server(args);
        EXPECT_NE(server.Stop(), 0) << args[0];
        EXPECT_EQ(server.Port("remote_bitbang"), 0) << args[0];
    }
}

}  // namespace
