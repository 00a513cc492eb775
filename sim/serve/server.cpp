#include "server.h"

#include <poll.h>
#include <sys/socket.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <memory>
#include <vector>

#include "remote_bitbang.h"
#include "socket.h"
#include "xvc.h"

namespace veltraserve {
namespace {

constexpr int kPollMs = 200;           // how soon a stop request is seen
constexpr int kSendTimeoutMs = 10000;  // a client that stops reading is dropped
constexpr auto kStalledCommand = std::chrono::seconds(10);  // half an XVC command, then silence
constexpr std::size_t kReceiveBytes = 1 << 16;
constexpr int kExitOk = 0;
constexpr int kExitError = 2;

enum class Protocol { RemoteBitbang, Xvc };

struct Endpoint {
    Protocol protocol = Protocol::RemoteBitbang;
    const char* name = "";
    Listener listener;
};

// One connection, from accept to close.
void ServeClient(Socket client, Protocol protocol, BoardPort& board, uint32_t maxVectorBytes,
                 const volatile std::sig_atomic_t& stop, std::ostream& err) {
    RemoteBitbangSession bitbang(board);
    XvcSession xvc(board, maxVectorBytes);
    std::vector<char> buffer(kReceiveBytes);
    std::string reply;
    std::string notes;
    auto lastData = std::chrono::steady_clock::now();
    while (!stop) {
        const int ready = WaitReadable(client.fd(), kPollMs);
        if (ready < 0) return;
        if (ready == 0) {
            if (protocol == Protocol::Xvc && xvc.MidCommand() &&
                std::chrono::steady_clock::now() - lastData > kStalledCommand) {
                err << "veltra-serve: xvc: truncated command (no more data), closing the "
                       "connection\n";
                return;
            }
            continue;
        }
        const ssize_t received = ::recv(client.fd(), buffer.data(), buffer.size(), 0);
        if (received < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (received <= 0) {
            if (protocol == Protocol::Xvc && xvc.MidCommand()) {
                err << "veltra-serve: xvc: connection closed inside a command (truncated)\n";
            }
            return;
        }
        lastData = std::chrono::steady_clock::now();
        const std::string_view data(buffer.data(), static_cast<std::size_t>(received));
        reply.clear();
        bool open = true;
        std::string error;
        if (protocol == Protocol::RemoteBitbang) {
            open = bitbang.Feed(data, reply, notes);
            err << notes;
            notes.clear();
        } else {
            open = xvc.Feed(data, reply, error);
        }
        if (!reply.empty() && !SendAll(client.fd(), reply, kSendTimeoutMs)) {
            err << "veltra-serve: the client does not take its answers, closing the connection\n";
            return;
        }
        if (!error.empty()) {
            err << "veltra-serve: xvc: " << error << ", closing the connection\n";
        }
        if (!open) return;
    }
}

}  // namespace

int Serve(BoardPort& board, const ServerOptions& options, const volatile std::sig_atomic_t& stop,
          std::ostream& out, std::ostream& err) {
    std::vector<std::unique_ptr<Endpoint>> endpoints;
    const std::array<std::pair<Protocol, const std::string*>, 2> wanted{
        {{Protocol::RemoteBitbang, &options.remoteBitbang}, {Protocol::Xvc, &options.xvc}}};
    for (const auto& [protocol, where] : wanted) {
        if (where->empty()) continue;
        auto endpoint = std::make_unique<Endpoint>();
        endpoint->protocol = protocol;
        endpoint->name = protocol == Protocol::Xvc ? "xvc" : "remote_bitbang";
        std::string error;
        if (!endpoint->listener.Open(*where, error)) {
            err << "veltra-serve: " << error << '\n';
            return kExitError;
        }
        endpoints.push_back(std::move(endpoint));
    }
    for (const auto& endpoint : endpoints) {
        out << endpoint->name << " listening on " << endpoint->listener.Address() << '\n';
    }
    out.flush();

    std::vector<pollfd> waiting;
    for (const auto& endpoint : endpoints) waiting.push_back({endpoint->listener.fd(), POLLIN, 0});
    while (!stop) {
        const int ready = ::poll(waiting.data(), waiting.size(), kPollMs);
        if (ready < 0 && errno != EINTR) {
            err << "veltra-serve: poll failed\n";
            return kExitError;
        }
        for (std::size_t i = 0; ready > 0 && i < waiting.size() && !stop; ++i) {
            if (!(waiting[i].revents & POLLIN)) continue;
            Socket client = Accept(waiting[i].fd);
            if (!client.valid()) continue;
            std::string error;
            if (!board.Restart(error)) {
                err << "veltra-serve: " << error << '\n';
                return kExitError;
            }
            ServeClient(std::move(client), endpoints[i]->protocol, board, options.maxVectorBytes,
                        stop, err);
            if (!board.WriteUpdateLog(error)) err << "veltra-serve: " << error << '\n';
        }
    }
    return kExitOk;
}

}  // namespace veltraserve
