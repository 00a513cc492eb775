// veltra-serve over its sockets, byte by byte: remote_bitbang and XVC 1.0
// on the default board, malformed input, one client after another, shutdown.
// Linux only, like the server. Every wait is bounded.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "sim/serve_process.h"

namespace {

using simtest::ServeProcess;
constexpr uint32_t kIdcode = 0x0123A093;
constexpr uint32_t kMaxVector = 16;  // bytes, as the server is started here

// "0".."7" for one pin setting; a TCK cycle is the low byte, then the high one.
std::string Tick(int tms, int tdi, bool read = false) {
    const char low = static_cast<char>('0' + (tms << 1 | tdi));
    return std::string(1, low) + (read ? "R" : "") + static_cast<char>(low + 4);
}

// `bits` bits of `value` as '0' and '1', LSB first.
std::string BitText(uint64_t value, int bits) {
    std::string text;
    for (int i = 0; i < bits; ++i) text += static_cast<char>('0' + (value >> i & 1));
    return text;
}

// One XVC shift of the TMS and TDI levels in `tms` and `tdi` ('0' and '1').
std::string XvcShift(const std::string& tms, const std::string& tdi) {
    const auto bits = static_cast<uint32_t>(tms.size());
    std::string command = "shift:";
    for (int i = 0; i < 4; ++i) command += static_cast<char>(bits >> (8 * i) & 0xFF);
    for (const std::string* levels : {&tms, &tdi}) {
        std::string bytes((bits + 7) / 8, '\0');
        for (uint32_t i = 0; i < bits; ++i) {
            bytes[i / 8] = static_cast<char>(bytes[i / 8] | ((*levels)[i] - '0') << (i % 8));
        }
        command += bytes;
    }
    return command;
}

// A client of "unix:PATH" or of a loopback TCP port.
class Connection {
  public:
    explicit Connection(const std::string& endpoint) {
        sockaddr_storage address{};
        socklen_t length = sizeof(sockaddr_in);
        if (endpoint.rfind("unix:", 0) == 0) {
            auto* local = reinterpret_cast<sockaddr_un*>(&address);
            local->sun_family = AF_UNIX;
            endpoint.copy(local->sun_path, sizeof local->sun_path - 1, 5);
            length = sizeof(sockaddr_un);
        } else {
            auto* inet = reinterpret_cast<sockaddr_in*>(&address);
            inet->sin_family = AF_INET;
            inet->sin_port = htons(static_cast<uint16_t>(std::stoi(endpoint)));
            inet->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        }
        fd_ = socket(address.ss_family, SOCK_STREAM, 0);
        EXPECT_EQ(connect(fd_, reinterpret_cast<sockaddr*>(&address), length), 0) << endpoint;
    }
    ~Connection() { close(fd_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void Send(const std::string& bytes) const {
        ASSERT_EQ(send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    // Up to `count` bytes, less when the server closes or does not answer in time.
    std::string Receive(size_t count) const {
        std::string bytes;
        char buffer[4096];
        pollfd entry{fd_, POLLIN, 0};
        while (bytes.size() < count && poll(&entry, 1, simtest::kServeWaitMs) == 1) {
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
        return poll(&entry, 1, simtest::kServeWaitMs) == 1 && recv(fd_, &byte, 1, 0) <= 0;
    }

  private:
    int fd_ = -1;
};

// Test-Logic-Reset, Shift-DR and 32 TDO bits read: the IDCODE as '0' and '1'.
std::string ReadIdcodeBitbang(const Connection& c) {
    std::string bytes;
    for (const int tms : {1, 1, 1, 1, 1, 0, 1, 0, 0}) bytes += Tick(tms, 0);
    for (int i = 0; i < 32; ++i) bytes += Tick(i == 31, 0, true);
    c.Send(bytes);
    return c.Receive(32);
}

TEST(SimServe, RemoteBitbangOnAUnixSocketReadsTheIdcodeAndIgnoresUnknownBytes) {
    svftest::TempDir dir;
    const std::string path = "unix:" + dir.PathOf("jtag.sock");
    ServeProcess server({"--remote-bitbang", path, "--update-log", dir.PathOf("log")});
    ASSERT_NE(server.Output().find("remote_bitbang listening on " + path), std::string::npos)
        << server.Output() << server.Errors();
    {
        Connection c(path);
        c.Send("Bbxxz");  // blink, and two unknown bytes (one noted)
        EXPECT_EQ(ReadIdcodeBitbang(c), BitText(kIdcode, 32));
        c.Send(Tick(1, 0));  // Update-DR
        c.Send("tur");       // TRST pulse (with SRST, which has nothing to reset)
        c.Send("Q");
        EXPECT_TRUE(c.Closed());
    }
    EXPECT_EQ(server.Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.PathOf("jtag.sock")));
    const std::string errors = server.Errors();
    EXPECT_NE(errors.find("ignoring unknown byte 0x78"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("0x78"), errors.rfind("0x78")) << errors;
    // The session's update log: the IDCODE scan's Update-DR, then TRST.
    EXPECT_EQ(svftest::ReadFile(dir.PathOf("log")), "1.0 DR 32 00000000\n1.0 TRST\n");
}

TEST(SimServe, XvcAnswersAndEachClientStartsFromTheBoardAsLoaded) {
    ServeProcess server({"--max-vector", "16"});  // both protocols on ports the system picks
    const int port = server.Port("xvc");
    ASSERT_NE(port, 0) << server.Output() << server.Errors();
    ASSERT_NE(server.Port("remote_bitbang"), 0) << server.Output();
    // Reset, IR <- 02 (the scratch register), two clocks in Idle, a DR scan
    // of DEADBEEF and back to Idle: the DR's TDO is bytes 3 to 6 of the answer.
    const std::string tms =
        "11111"
        "01100"
        "00000001"
        "100100" +
        std::string(31, '0') + "110";
    const std::string tdi = std::string(10, '0') + BitText(0x02, 8) + std::string(6, '0') +
                            BitText(0xDEADBEEF, 32) + "00";
    for (int client = 0; client < 2; ++client) {
        Connection c(std::to_string(port));
        c.Send("getinfo:");
        EXPECT_EQ(c.Receive(18), "xvcServer_v1.0:16\n");
        c.Send(std::string("settck:") + std::string("\x64\0\0\0", 4));
        EXPECT_EQ(c.Receive(4), std::string("\x64\0\0\0", 4));
        // The scratch register starts at 0 for every client, and keeps a write.
        const std::string shift = XvcShift(tms, tdi);
        c.Send(shift + shift);  // two commands in one go
        const std::string tdo = c.Receive(16);
        ASSERT_EQ(tdo.size(), 16u) << client;
        EXPECT_EQ(tdo.substr(3, 4), std::string(4, '\0')) << client;
        EXPECT_EQ(tdo.substr(11, 4), "\xEF\xBE\xAD\xDE") << client;
    }
    EXPECT_EQ(server.Stop(), 0);
}

TEST(SimServe, MalformedInputClosesOnlyThatConnection) {
    ServeProcess server(
        {"--remote-bitbang", "0", "--xvc", "0", "--max-vector", std::to_string(kMaxVector)});
    const int bitbang = server.Port("remote_bitbang");
    const int xvc = server.Port("xvc");
    ASSERT_NE(xvc, 0) << server.Output() << server.Errors();
    std::mt19937 random(12);
    std::string noise(1 << 14, '\0');
    for (char& byte : noise) byte = static_cast<char>(random());
    const std::string oversize =
        XvcShift(std::string(kMaxVector * 8 + 1, '0'), std::string(kMaxVector * 8 + 1, '0'));
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
            Connection c(std::to_string(test.port));
            c.Send(test.bytes);
            if (test.closedByServer) {
                EXPECT_TRUE(c.Closed()) << test.name;
            }
        }  // the client leaves, answers unread
        Connection next(std::to_string(bitbang));
        EXPECT_EQ(ReadIdcodeBitbang(next), BitText(kIdcode, 32)) << "after " << test.name;
    }
    EXPECT_EQ(server.Stop(), 0);
    const std::string errors = server.Errors();
    for (const char* message : {"unknown command 'getinfo!'", "exceed the maximum vector of 16",
                                "connection closed inside a command"}) {
        EXPECT_NE(errors.find(message), std::string::npos) << message << "\n" << errors;
    }
}

TEST(SimServe, RefusesBadCommandLines) {
    const struct {
        std::vector<std::string> args;
        int status;  // 2 from veltra-serve, others are CLI11's own
        const char* error;
    } rows[] = {
        {{"--xvc", "unix:/tmp/x"}, 2, "veltra-serve: --xvc takes a TCP port\n"},
        {{"--remote-bitbang", "99999"},
         2,
         "veltra-serve: '99999' is neither a TCP port nor unix:PATH\n"},
        {{"--tap", "33"}, 105, "--tap: Value 33 not in range 1 to 32\n"},
        {{"--board", "/no/such/board.toml"},
         105,
         "--board: File does not exist: /no/such/board.toml\n"},
    };
    for (const auto& row : rows) {
        ServeProcess server(row.args);
        EXPECT_EQ(server.Stop(), row.status) << row.args[0];
        EXPECT_EQ(server.Errors().rfind(row.error, 0), 0u) << server.Errors();
        EXPECT_EQ(server.Port("remote_bitbang"), 0) << row.args[0];
    }
    ServeProcess first({"--remote-bitbang", "0"});
    const std::string port = std::to_string(first.Port("remote_bitbang"));
    usleep(500000);  // several of the server's idle polls: it keeps its port
    ServeProcess second({"--remote-bitbang", port});
    EXPECT_EQ(second.Stop(), 2);
    EXPECT_EQ(second.Errors(), "veltra-serve: cannot bind 127.0.0.1:" + port + ": " +
                                   std::strerror(EADDRINUSE) + "\n");
}

TEST(SimServe, HelpDescribesEveryOption) {
    ServeProcess server({"--help"});
    EXPECT_EQ(server.Stop(), 0);
    const std::string help = server.Output();
    for (const char* line :
         {"--board TEXT:FILE           board file (TOML); default: the built-in board",
          "--remote-bitbang TEXT       remote_bitbang on this 127.0.0.1 port (0: any) or unix:PATH",
          "--xvc TEXT                  XVC 1.0 on this 127.0.0.1 port (0: any)"}) {
        EXPECT_NE(help.find(line), std::string::npos) << line << "\n" << help;
    }
}

}  // namespace
