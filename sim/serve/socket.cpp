#include "socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace veltraserve {
namespace {

constexpr std::string_view kUnixPrefix = "unix:";
constexpr int kBacklog = 8;  // clients waiting their turn
constexpr unsigned kMaxPort = 65535;

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

Socket::~Socket() {
    if (fd_ >= 0) ::close(fd_);
}

Listener::~Listener() {
    if (!unixPath_.empty()) ::unlink(unixPath_.c_str());
}

bool Listener::Open(const std::string& where, std::string& error) {
    if (where.starts_with(kUnixPrefix)) {
        const std::string path = where.substr(kUnixPrefix.size());
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.empty() || path.size() >= sizeof address.sun_path) {
            error = "unix socket path '" + path + "' is empty or too long";
            return false;
        }
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        socket_ = Socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!socket_.valid()) return error = SystemError("socket"), false;
        // A socket file left by an earlier run would make bind fail.
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) ::unlink(path.c_str());
        if (::bind(socket_.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
            0) {
            return error = SystemError("cannot bind " + where), false;
        }
        unixPath_ = path;
        address_ = where;
    } else {
        char* end = nullptr;
        errno = 0;
        const unsigned long port = std::strtoul(where.c_str(), &end, 10);
        if (where.empty() || *end != '\0' || errno != 0 || port > kMaxPort) {
            error = "'" + where + "' is neither a TCP port nor unix:PATH";
            return false;
        }
        socket_ = Socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!socket_.valid()) return error = SystemError("socket"), false;
        const int on = 1;
        ::setsockopt(socket_.fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        if (::bind(socket_.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
            0) {
            return error = SystemError("cannot bind 127.0.0.1:" + where), false;
        }
        socklen_t length = sizeof address;
        ::getsockname(socket_.fd(), reinterpret_cast<sockaddr*>(&address), &length);
        address_ = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    }
    if (::listen(socket_.fd(), kBacklog) != 0) return error = SystemError("listen"), false;
    return true;
}

Socket Accept(int listenerFd) {
    Socket client(::accept4(listenerFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    const int on = 1;
    // Fails harmlessly on a unix socket.
    if (client.valid()) ::setsockopt(client.fd(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return client;
}

int WaitReadable(int fd, int timeoutMs) {
    pollfd entry{fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, timeoutMs);
    if (ready < 0) return errno == EINTR ? 0 : -1;
    return ready;
}

bool SendAll(int fd, std::string_view data, int timeoutMs) {
    while (!data.empty()) {
        pollfd entry{fd, POLLOUT, 0};
        const int ready = ::poll(&entry, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

}  // namespace veltraserve
