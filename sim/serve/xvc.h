// Xilinx Virtual Cable 1.0: "getinfo:", "settck:<period>", "shift:<bits>
// <tms><tdi>" with 4-byte little-endian integers and vectors LSB first.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "board_port.h"

namespace veltraserve {

inline constexpr uint32_t kDefaultMaxVectorBytes = 2048;

class XvcSession {
  public:
    XvcSession(BoardPort& board, uint32_t maxVectorBytes)
        : board_(board), maxVectorBytes_(maxVectorBytes) {}

    // Carries out every complete command of what came so far, appending the
    // answers to `reply`. False (and `error`) on a protocol error: an unknown
    // command, or a shift longer than the advertised maximum; the connection
    // is then to be closed.
    bool Feed(std::string_view data, std::string& reply, std::string& error);
    // Part of a command is waiting for the rest.
    bool MidCommand() const { return !pending_.empty(); }

  private:
    // The length of the command at the start of `in` once carried out; 0
    // when `in` does not hold a whole command yet; -1 on a protocol error.
    int64_t Execute(std::string_view in, std::string& reply, std::string& error);

    BoardPort& board_;
    uint32_t maxVectorBytes_;
    std::string pending_;
};

}  // namespace veltraserve
