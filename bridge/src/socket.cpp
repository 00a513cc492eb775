#include "socket.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace bridge {

namespace {

std::string SystemText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

Socket::~Socket() { Close(); }

Socket::Socket(Socket&& other) noexcept : fd_(other.fd_), timeoutMs_(other.timeoutMs_) {
    other.fd_ = -1;
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        timeoutMs_ = other.timeoutMs_;
        other.fd_ = -1;
    }
    return *this;
}

void Socket::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool Socket::ConnectTcp(const std::string& host, const std::string& port, int timeoutMs,
                        std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        error = "cannot resolve '" + host + ":" + port + "': " + ::gai_strerror(rc);
        return false;
    }
    error = "cannot connect to " + host + ":" + port;
    for (addrinfo* a = found; a != nullptr && fd_ < 0; a = a->ai_next) {
        fd_ = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd_ < 0) continue;
        if (::connect(fd_, a->ai_addr, a->ai_addrlen) != 0) {
            error = SystemText(("cannot connect to " + host + ":" + port).c_str());
            Close();
        }
    }
    ::freeaddrinfo(found);
    if (fd_ < 0) return false;
    // Batches are sent whole; do not hold back their tails.
    const int on = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    timeoutMs_ = timeoutMs;
    return true;
}

bool Socket::ConnectUnix(const std::string& path, int timeoutMs, std::string& error) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        error = "unix socket path '" + path + "' is empty or too long";
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = SystemText(("cannot connect to " + path).c_str());
        Close();
        return false;
    }
    timeoutMs_ = timeoutMs;
    return true;
}

bool Socket::Exchange(const uint8_t* out, size_t outSize, uint8_t* in, size_t inSize,
                      std::string& error) {
    if (fd_ < 0) {
        error = "the connection is closed";
        return false;
    }
    size_t sent = 0;
    size_t received = 0;
    while (sent < outSize || received < inSize) {
        pollfd p{
            fd_,
            static_cast<short>((sent < outSize ? POLLOUT : 0) | (received < inSize ? POLLIN : 0)),
            0};
        const int ready = ::poll(&p, 1, timeoutMs_);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) {
            error = SystemText("poll");
            return false;
        }
        if (ready == 0) {
            error = "the adapter did not answer within " + std::to_string(timeoutMs_) + " ms";
            return false;
        }
        if ((p.revents & POLLIN) != 0 || ((p.revents & (POLLHUP | POLLERR)) && received < inSize)) {
            const ssize_t n = ::recv(fd_, in + received, inSize - received, MSG_DONTWAIT);
            if (n == 0) {
                error = "the adapter closed the connection";
                return false;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                error = SystemText("receiving from the adapter");
                return false;
            }
            if (n > 0) received += static_cast<size_t>(n);
        }
        if ((p.revents & (POLLOUT | POLLERR | POLLHUP)) != 0 && sent < outSize) {
            const ssize_t n = ::send(fd_, out + sent, outSize - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                error = SystemText("sending to the adapter");
                return false;
            }
            if (n > 0) sent += static_cast<size_t>(n);
        }
    }
    return true;
}

}  // namespace bridge
