#include "bridge/mpsse_emulator.h"

#include "veltra_sim.h"

namespace bridgetest {
namespace {

constexpr uint32_t kTap = 1;
constexpr uint8_t kJtagOutputs = 0x0B;  // TCK, TDI, TMS
constexpr uint8_t kBadCommand = 0xFA;
// Clock-data opcode bits.
constexpr uint8_t kBitMode = 0x02;
constexpr uint8_t kReadTdo = 0x20;
constexpr uint8_t kWriteTms = 0x40;
constexpr uint8_t kTdiHeld = 0x80;  // TMS commands: bit 7 is TDI

bool IsClockData(uint8_t op) {
    // Write on the falling edge, read on the rising, LSB first: the JTAG forms.
    const uint8_t base = op & static_cast<uint8_t>(~kReadTdo);
    return base == 0x19 || base == 0x1B || base == 0x4B;
}

}  // namespace

MpsseEmulator::MpsseEmulator(std::optional<uint8_t> trstPin, int readsBeforeFault)
    : trstPin_(trstPin), readsLeft_(readsBeforeFault) {}

bool MpsseEmulator::Write(const uint8_t* data, size_t size, std::string&) {
    pending_.insert(pending_.end(), data, data + size);
    size_t done = 0;
    for (size_t used = 1; done < pending_.size() && used > 0; done += used) {
        used = Execute(pending_.data() + done, pending_.size() - done);
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(done));
    return true;
}

bool MpsseEmulator::Read(uint8_t* data, size_t size, std::string& error) {
    if (readsLeft_ == 0) {
        error = "USB read: emulated device gone";
        return false;
    }
    if (readsLeft_ > 0) --readsLeft_;
    if (answers_.size() < size) {
        error = "short read: " + std::to_string(answers_.size()) + " of " + std::to_string(size);
        return false;
    }
    for (size_t i = 0; i < size; ++i, answers_.pop_front()) data[i] = answers_.front();
    return true;
}

bool MpsseEmulator::Clock(bool tms, bool tdi) {
    // Pins that are not outputs do not reach the board: TDO floats high.
    if ((directions_[0] & kJtagOutputs) != kJtagOutputs) return true;
    return VeltraSim_Clock(kTap, tms ? 1 : 0, tdi ? 1 : 0) == 1;
}

void MpsseEmulator::SetPins(bool high, uint8_t value, uint8_t direction) {
    const auto bank = high ? 1 : 0;
    pins_[bank] = value;
    directions_[bank] = direction;
    if (!trstPin_ || (*trstPin_ >= 8) != high) return;
    const auto bit = static_cast<uint8_t>(1u << (*trstPin_ % 8));
    const bool asserted = (direction & bit) && !(value & bit);
    if (asserted == trstAsserted_) return;
    trstAsserted_ = asserted;
    Veltra_GetApi()->SetTrst(kTap, asserted ? 0 : 1);
}

size_t MpsseEmulator::Execute(const uint8_t* p, size_t size) {
    const uint8_t op = p[0];
    size_t used = 1;
    auto need = [&](size_t n) { return size >= n; };
    if (op == 0x80 || op == 0x82) {
        if (!need(3)) return 0;
        SetPins(op == 0x82, p[1], p[2]);
        used = 3;
    } else if (op == 0x81 || op == 0x83) {
        answers_.push_back(pins_[op == 0x83 ? 1 : 0]);
    } else if (op == 0x86) {
        if (!need(3)) return 0;
        used = 3;  // TCK divisor: a simulated chain keeps up with any clock
    } else if (op == 0x84 || op == 0x85 || op == 0x87 || (op >= 0x8A && op <= 0x8D) ||
               op == 0x96 || op == 0x97) {
        // Loop-back, flush, clock options: nothing to model.
    } else if (IsClockData(op) && !(op & kBitMode)) {
        if (!need(3)) return 0;
        const size_t bytes = size_t{p[1]} + (size_t{p[2]} << 8) + 1;
        if (!need(3 + bytes)) return 0;
        for (size_t k = 0; k < bytes; ++k) {
            uint8_t in = 0;
            for (int i = 0; i < 8; ++i) {
                in = static_cast<uint8_t>(in | Clock(false, (p[3 + k] >> i) & 1u) << i);
            }
            if (op & kReadTdo) answers_.push_back(in);
        }
        used = 3 + bytes;
    } else if (IsClockData(op)) {
        if (!need(3)) return 0;
        const int bits = p[1] + 1;
        const uint8_t data = p[2];
        const bool tmsCommand = (op & kWriteTms) != 0;
        uint8_t in = 0;
        for (int i = 0; i < bits; ++i) {
            const bool tms = tmsCommand && ((data >> i) & 1u);
            const bool tdi = tmsCommand ? (data & kTdiHeld) != 0 : ((data >> i) & 1u);
            // Bits read shift in from the top of the answer byte.
            in = static_cast<uint8_t>((in >> 1) | (Clock(tms, tdi) ? 0x80 : 0));
        }
        if (op & kReadTdo) answers_.push_back(in);
        used = 3;
    } else {
        answers_.push_back(kBadCommand);
        answers_.push_back(op);
    }
    return used;
}

}  // namespace bridgetest
