// A connected stream socket (TCP or unix) that sends and receives at the same
// time, so a long pipelined request never deadlocks against the answers
// filling the peer's buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace bridge {

class Socket {
  public:
    Socket() = default;
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // "HOST:PORT" over TCP or a unix socket path; `timeoutMs` bounds every
    // wait for the peer. False and the reason in `error` when it fails.
    bool ConnectTcp(const std::string& host, const std::string& port, int timeoutMs,
                    std::string& error);
    bool ConnectUnix(const std::string& path, int timeoutMs, std::string& error);

    // Sends `out` while receiving exactly `inSize` bytes into `in`.
    bool Exchange(const uint8_t* out, size_t outSize, uint8_t* in, size_t inSize,
                  std::string& error);
    bool IsOpen() const { return fd_ >= 0; }

  private:
    void Close();
    int fd_ = -1;
    int timeoutMs_ = 0;
};

}  // namespace bridge
