// Loopback listening sockets (TCP on 127.0.0.1, or a unix socket) and the
// few socket calls the server needs, with RAII descriptors.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace veltraserve {

class Socket {
  public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket();

    int fd() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// A listening socket; a unix socket's file is removed with it.
class Listener {
  public:
    // `where` is a TCP port (0: the system picks one) or "unix:PATH". False
    // (and `error`) when it cannot listen there.
    bool Open(const std::string& where, std::string& error);
    ~Listener();

    int fd() const { return socket_.fd(); }
    // "127.0.0.1:PORT" or "unix:PATH", the port being the one actually bound.
    const std::string& Address() const { return address_; }

  private:
    Socket socket_;
    std::string address_;
    std::string unixPath_;
};

// The next waiting client of a listener, non-blocking, answers sent at
// once (no Nagle delay: every 'R' answer is waited for); invalid when none.
Socket Accept(int listenerFd);

// Waits up to `timeoutMs` for `fd` to be readable: 1 readable, 0 not yet,
// -1 error (an interrupted wait counts as not yet).
int WaitReadable(int fd, int timeoutMs);

// Sends all of `data`, waiting at most `timeoutMs` for each part to go out.
bool SendAll(int fd, std::string_view data, int timeoutMs);

}  // namespace veltraserve
