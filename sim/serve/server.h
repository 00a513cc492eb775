// The serving loop: waits on every listener, serves one client at a time to
// the end of its connection, and gives each client the board as loaded.
#pragma once

#include <csignal>
#include <cstdint>
#include <ostream>
#include <string>

#include "board_port.h"

namespace veltraserve {

struct ServerOptions {
    std::string remoteBitbang;  // "PORT" or "unix:PATH"; empty: not served
    std::string xvc;            // "PORT"; empty: not served
    uint32_t maxVectorBytes = 0;
};

// Serves until `stop` becomes nonzero. Prints one "<protocol> listening on
// <address>" line per listener on `out` once all listen; notes and
// per-client errors go to `err`. Returns the process exit status.
int Serve(BoardPort& board, const ServerOptions& options, const volatile std::sig_atomic_t& stop,
          std::ostream& out, std::ostream& err);

}  // namespace veltraserve
