// The transports: one file each (remote_bitbang.cpp, xvc.cpp, mpsse.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ftdi_port.h"
#include "socket.h"
#include "transport.h"

namespace bridge {

// remote_bitbang over a connected socket: no clock of its own, TRST by 't'/'r'.
std::unique_ptr<Transport> MakeRemoteBitbang(Socket socket);

// XVC 1.0 over a connected socket; asks the server for its vector size first.
std::unique_ptr<Transport> MakeXvc(Socket socket, std::string& error);

// Pins of an MPSSE board beyond TCK, TDI, TDO and TMS (ADBUS 0 to 3).
struct MpsseLayout {
    const char* name;
    uint8_t lowValue;  // ADBUS levels and directions (1 = output) at start
    uint8_t lowDirection;
    uint8_t highValue;  // ACBUS
    uint8_t highDirection;
    // nTRST (active low) as a bit of the low (0 to 7) or high (8 to 15) byte.
    std::optional<uint8_t> trstPin;
};

// The layouts known by name; none for an unknown name.
std::optional<MpsseLayout> FindMpsseLayout(const std::string& name);

// MPSSE over an open FTDI port: synchronises, sets the pins and the clock.
std::unique_ptr<Transport> MakeMpsse(std::unique_ptr<FtdiPort> port, const MpsseLayout& layout,
                                     std::string& error);

}  // namespace bridge
