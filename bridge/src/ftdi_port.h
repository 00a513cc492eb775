// The seam between the MPSSE transport and libftdi1: raw bytes to and from an
// FTDI channel already in MPSSE mode. Tests put an emulator behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace bridge {

class FtdiPort {
  public:
    virtual ~FtdiPort() = default;
    // Every byte written, or false and the reason.
    virtual bool Write(const uint8_t* data, size_t size, std::string& error) = 0;
    // Exactly `size` bytes, or false and the reason (USB error, timeout).
    virtual bool Read(uint8_t* data, size_t size, std::string& error) = 0;
};

// Which device to open: VID:PID and channel, optionally narrowed by serial
// number or USB bus path.
struct FtdiSelector {
    uint16_t vendor = 0;
    uint16_t product = 0;
    int channel = 0;  // 0 = A ... 3 = D
    std::string serial;
    int bus = -1;
    int address = -1;
    int timeoutMs = 0;
};

// The channel opened through libftdi1 and put into MPSSE mode; null and the
// reason when it fails or the bridge was built without libftdi1.
std::unique_ptr<FtdiPort> OpenFtdi(const FtdiSelector& selector, std::string& error);

}  // namespace bridge
