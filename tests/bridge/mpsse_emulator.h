// An FTDI MPSSE chip as libftdi1 would reach it, wired to veltra-sim's chain
// on TAP 1: it interprets the command bytes (FTDI AN_108) and clocks the
// simulated board, so the MPSSE transport runs without hardware.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ftdi_port.h"

namespace bridgetest {

class MpsseEmulator final : public bridge::FtdiPort {
public:
    // `trstPin`: the layout's nTRST pin (low byte 0-7, high byte 8-15);
    // `readsBeforeFault`: reads that succeed before every read fails.
    explicit MpsseEmulator(std::optional<uint8_t> trstPin = std::nullopt,
                           int readsBeforeFault = -1);

    bool Write(const uint8_t* data, size_t size, std::string& error) override;
    bool Read(uint8_t* data, size_t size, std::string& error) override;

private:
    // Runs the command at `p` and returns its length; 0 while it is incomplete.
    size_t Execute(const uint8_t* p, size_t size);
    bool Clock(bool tms, bool tdi);
    void SetPins(bool high, uint8_t value, uint8_t direction);

    std::vector<uint8_t> pending_;
    std::deque<uint8_t> answers_;
    std::optional<uint8_t> trstPin_;
    int readsLeft_;
    uint8_t pins_[2] = {};
    uint8_t directions_[2] = {};
    bool trstAsserted_ = false;
};

}  // namespace bridgetest
