// OpenOCD's remote_bitbang protocol: one ASCII byte per command, only 'R'
// answered. '0'-'7' set TCK/TMS/TDI (a TCK rising edge clocks the chain),
// 'R' reads TDO, 'r'-'u' set TRST/SRST, 'B'/'b' blink, 'Q' ends the session.
#pragma once

#include <bitset>
#include <string>
#include <string_view>

#include "board_port.h"

namespace veltraserve {

class RemoteBitbangSession {
  public:
    explicit RemoteBitbangSession(BoardPort& board) : board_(board) {}

    // Carries out `data` in order, appending the answers to `reply`, without
    // waiting for anything. False once 'Q' came (the rest is dropped). An
    // unknown byte is ignored, and named in `notes` the first time it comes.
    bool Feed(std::string_view data, std::string& reply, std::string& notes);

  private:
    BoardPort& board_;
    bool tck_ = false;
    std::bitset<256> noted_;  // unknown bytes already reported
};

}  // namespace veltraserve
