// The board one client drives: veltra-sim's chain on one tester TAP, clocked
// pin by pin through the simulator's own TAP model (the same one the
// controller table shifts through).
#pragma once

#include <cstdint>
#include <string>

namespace veltraserve {

class BoardPort {
  public:
    // `boardFile` empty: the built-in default board. `updateLog` empty: no
    // update log is kept.
    BoardPort(std::string boardFile, uint32_t tap, std::string updateLog);

    // The board as loaded: fresh devices in Test-Logic-Reset, empty update
    // log, TRST released. False (and `error`) when the board file does not load.
    bool Restart(std::string& error);

    // One TCK rising edge with these TMS and TDI levels; the TDO level the
    // edge sampled.
    bool Clock(bool tms, bool tdi);
    // The TDO level now, between clocks.
    bool Tdo() const;
    // Drives TRST (a chain without a TRST line ignores it).
    void SetTrst(bool asserted);

    // Writes what the devices saw in the session that ended, when asked to;
    // the file appears whole.
    bool WriteUpdateLog(std::string& error) const;

  private:
    std::string boardFile_;
    uint32_t tap_;
    std::string updateLog_;
    bool trstAsserted_ = false;
};

}  // namespace veltraserve
