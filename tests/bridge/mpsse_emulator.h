// An FTDI MPSSE chip as libftdi1 would reach it, wired to veltra-sim's chain
// on TAP 1: it interprets the command bytes (FTDI AN_108) the MPSSE transport
// sends and clocks the simulated board, so the transport runs without
// hardware. Each write holds whole commands, as the transport sends them.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "ftdi_port.h"
#include "veltra_sim.h"

namespace bridgetest {

class MpsseEmulator final : public bridge::FtdiPort {
  public:
    // `trstPin`: the layout's nTRST pin (low byte 0-7, high byte 8-15);
    // `readsBeforeFault`: reads that succeed before every read fails.
    explicit MpsseEmulator(std::optional<uint8_t> trstPin, int readsBeforeFault = -1)
        : trstPin_(trstPin), readsLeft_(readsBeforeFault) {}

    bool Write(const uint8_t* data, size_t size, std::string&) override {
        for (size_t at = 0; at < size;) at += Execute(data + at);
        return true;
    }

    bool Read(uint8_t* data, size_t size, std::string& error) override {
        if (readsLeft_ == 0) {
            error = "USB read: emulated device gone";
            return false;
        }
        if (readsLeft_ > 0) --readsLeft_;
        if (answers_.size() < size) {
            error =
                "short read: " + std::to_string(answers_.size()) + " of " + std::to_string(size);
            return false;
        }
        for (size_t i = 0; i < size; ++i, answers_.pop_front()) data[i] = answers_.front();
        return true;
    }

  private:
    static constexpr uint8_t kReadTdo = 0x20;  // clock-data opcode bits
    static constexpr uint8_t kWriteTms = 0x40;
    static constexpr uint8_t kBitMode = 0x02;

    // Pins that are not outputs do not reach the board: TDO floats high.
    bool Clock(bool tms, bool tdi) {
        if ((directions_[0] & 0x0B) != 0x0B) return true;  // TCK, TDI, TMS
        return VeltraSim_Clock(1, tms ? 1 : 0, tdi ? 1 : 0) == 1;
    }

    void SetPins(bool high, uint8_t value, uint8_t direction) {
        directions_[high ? 1 : 0] = direction;
        if (!trstPin_ || (*trstPin_ >= 8) != high) return;
        const auto bit = static_cast<uint8_t>(1u << (*trstPin_ % 8));
        const bool asserted = (direction & bit) && !(value & bit);
        if (asserted == trstAsserted_) return;
        trstAsserted_ = asserted;
        Veltra_GetApi()->SetTrst(1, asserted ? 0 : 1);
    }

    // Runs the command at `p` and returns its length.
    size_t Execute(const uint8_t* p) {
        const uint8_t op = p[0];
        // Write on the falling edge, read on the rising, LSB first: the JTAG forms.
        const auto base = static_cast<uint8_t>(op & ~kReadTdo);
        const bool clockData = base == 0x19 || base == 0x1B || base == 0x4B;
        if (op == 0x80 || op == 0x82) {
            SetPins(op == 0x82, p[1], p[2]);
            return 3;
        }
        if (op == 0x86) return 3;  // TCK divisor: a simulated chain keeps up with any clock
        if (op == 0x85 || op == 0x87 || op == 0x8A || op == 0x8D || op == 0x97) return 1;
        if (!clockData) {  // what a chip answers to an unknown opcode
            answers_.insert(answers_.end(), {0xFA, op});
            return 1;
        }
        if (!(op & kBitMode)) {
            const size_t bytes = size_t{p[1]} + (size_t{p[2]} << 8) + 1;
            for (size_t k = 0; k < bytes; ++k) {
                uint8_t in = 0;
                for (int i = 0; i < 8; ++i) {
                    in = static_cast<uint8_t>(in | Clock(false, (p[3 + k] >> i) & 1u) << i);
                }
                if (op & kReadTdo) answers_.push_back(in);
            }
            return 3 + bytes;
        }
        const bool tmsCommand = (op & kWriteTms) != 0;
        uint8_t in = 0;
        for (int i = 0; i <= p[1]; ++i) {
            const bool bit = (p[2] >> i) & 1u;
            // TMS commands hold TDI at bit 7; bits read shift in from the top.
            const bool tdi = tmsCommand ? (p[2] & 0x80) != 0 : bit;
            in = static_cast<uint8_t>((in >> 1) | (Clock(tmsCommand && bit, tdi) ? 0x80 : 0));
        }
        if (op & kReadTdo) answers_.push_back(in);
        return 3;
    }

    std::deque<uint8_t> answers_;
    std::optional<uint8_t> trstPin_;
    int readsLeft_;
    uint8_t directions_[2] = {};
    bool trstAsserted_ = false;
};

}  // namespace bridgetest
