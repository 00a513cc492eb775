// FTDI MPSSE transport (FT2232H, FT4232H, FT232H): clock-data commands for
// runs of TMS low, TMS commands elsewhere, reads only where TDO is wanted.
// Each write is cut so that its answers fit the chip's read buffer: a chip
// with a full read buffer stops taking commands.
#include <algorithm>
#include <array>
#include <vector>

#include "transports.h"

namespace bridge {
namespace {

// Opcodes (FTDI AN_108). Clock-data: write on the falling edge, read on the
// rising edge, LSB first.
constexpr uint8_t kWriteBytes = 0x19;
constexpr uint8_t kWriteReadBytes = 0x39;
constexpr uint8_t kWriteBits = 0x1B;
constexpr uint8_t kWriteReadBits = 0x3B;
constexpr uint8_t kWriteTms = 0x4B;
constexpr uint8_t kWriteTmsRead = 0x6B;
constexpr uint8_t kSetLow = 0x80;
constexpr uint8_t kSetHigh = 0x82;
constexpr uint8_t kDivisor = 0x86;
constexpr uint8_t kSendImmediate = 0x87;
constexpr uint8_t kDivideBy5Off = 0x8A;
constexpr uint8_t kThreePhaseOff = 0x8D;
constexpr uint8_t kAdaptiveOff = 0x97;
constexpr uint8_t kLoopbackOff = 0x85;
constexpr uint8_t kBogus = 0xAA;  // answered by 0xFA and itself: the sync check
constexpr uint8_t kBadCommand = 0xFA;

constexpr size_t kMaxBytesPerCommand = 65536;
constexpr size_t kMaxTmsBits = 7;
constexpr size_t kChipReadBuffer = 4096;  // smallest read buffer of the three chips
constexpr size_t kMaxAnswerPerCommand = 1024;
constexpr uint32_t kBaseKhz = 30000;  // 60 MHz / 2, divide-by-5 off
constexpr uint32_t kMaxDivisor = 0xFFFF;
constexpr uint8_t kTmsPin = 0x08;
constexpr uint8_t kTdiHeld = 0x80;  // TMS commands: TDI during the clocks

// One read in the answer stream: `bits` TDO levels for the batch clocks from
// `first`; byte reads come LSB first, bit reads in the high bits of a byte.
struct ReadSpan {
    size_t first;
    size_t bits;
    bool whole;  // byte command
};

uint8_t ByteAt(const Bits& bits, size_t first, size_t n) {
    uint8_t value = 0;
    for (size_t i = 0; i < n; ++i) value |= static_cast<uint8_t>(bits[first + i] << i);
    return value;
}

class Mpsse final : public Transport {
  public:
    Mpsse(std::unique_ptr<FtdiPort> port, const MpsseLayout& layout)
        : port_(std::move(port)), layout_(layout), low_(layout.lowValue), high_(layout.highValue) {}

    bool Start() {
        const std::array<uint8_t, 1> sync = {kBogus};
        std::array<uint8_t, 2> answer{};
        std::string error;
        if (!port_->Write(sync.data(), sync.size(), error) ||
            !port_->Read(answer.data(), answer.size(), error)) {
            return Fail("MPSSE: " + error);
        }
        if (answer[0] != kBadCommand || answer[1] != kBogus) {
            return Fail("MPSSE: the chip does not answer as an MPSSE");
        }
        const std::vector<uint8_t> setup = {kDivideBy5Off, kAdaptiveOff, kThreePhaseOff,
                                            kLoopbackOff};
        return Send(setup) && SendPins();
    }

    bool Run(const ClockBatch& batch, Bits& tdo) override {
        tdo.Clear();
        tdo.Resize(batch.size());
        for (size_t i = 0; i < batch.size();) {
            if (answerBytes_ + kMaxAnswerPerCommand > kChipReadBuffer && !Exchange(tdo)) {
                return false;
            }
            i = batch.tms[i] ? EncodeTms(batch, i) : EncodeData(batch, i);
        }
        return Exchange(tdo);
    }

    std::optional<uint32_t> SetFrequency(uint32_t khz) override {
        const uint32_t divisor = std::min(kMaxDivisor, (kBaseKhz + khz - 1) / khz - 1);
        const std::vector<uint8_t> command = {kDivisor, static_cast<uint8_t>(divisor & 0xFF),
                                              static_cast<uint8_t>(divisor >> 8)};
        if (!Send(command)) return std::nullopt;
        return std::max<uint32_t>(1, kBaseKhz / (divisor + 1));
    }

    bool HasTrst() const override { return layout_.trstPin.has_value(); }

    bool SetTrst(bool asserted) override {
        const uint8_t pin = *layout_.trstPin;
        uint8_t& port = pin < 8 ? low_ : high_;
        const auto bit = static_cast<uint8_t>(1u << (pin % 8));
        port = asserted ? static_cast<uint8_t>(port & ~bit) : static_cast<uint8_t>(port | bit);
        return SendPins();
    }

  private:
    bool Send(const std::vector<uint8_t>& bytes) {
        std::string error;
        return port_->Write(bytes.data(), bytes.size(), error) || Fail("MPSSE: " + error);
    }

    bool SendPins() {
        return Send({kSetLow, low_, layout_.lowDirection, kSetHigh, high_, layout_.highDirection});
    }

    // A run of TMS-low clocks with one read flag: whole bytes, then the rest
    // as bits. Returns where the run ends.
    size_t EncodeData(const ClockBatch& b, size_t i) {
        const bool read = b.read[i];
        size_t end = i;
        const size_t longest = (read ? kMaxAnswerPerCommand : kMaxBytesPerCommand) * 8;
        while (end < b.size() && !b.tms[end] && b.read[end] == read && end - i < longest) {
            ++end;
        }
        const size_t bytes = (end - i) / 8;
        if (bytes > 0) {
            out_.push_back(read ? kWriteReadBytes : kWriteBytes);
            out_.push_back(static_cast<uint8_t>((bytes - 1) & 0xFF));
            out_.push_back(static_cast<uint8_t>((bytes - 1) >> 8));
            for (size_t k = 0; k < bytes; ++k) out_.push_back(ByteAt(b.tdi, i + 8 * k, 8));
            if (read) AddSpan({i, bytes * 8, true});
        }
        const size_t rest = end - i - bytes * 8;
        if (rest > 0) {
            const size_t from = i + bytes * 8;
            out_.push_back(read ? kWriteReadBits : kWriteBits);
            out_.push_back(static_cast<uint8_t>(rest - 1));
            out_.push_back(ByteAt(b.tdi, from, rest));
            if (read) AddSpan({from, rest, false});
        }
        return end;
    }

    // Up to seven clocks with any TMS, one TDI level and one read flag.
    size_t EncodeTms(const ClockBatch& b, size_t i) {
        const bool read = b.read[i];
        const bool tdi = b.tdi[i];
        size_t end = i;
        while (end < b.size() && end - i < kMaxTmsBits && b.tdi[end] == tdi &&
               b.read[end] == read) {
            ++end;
        }
        const size_t n = end - i;
        out_.push_back(read ? kWriteTmsRead : kWriteTms);
        out_.push_back(static_cast<uint8_t>(n - 1));
        out_.push_back(static_cast<uint8_t>(ByteAt(b.tms, i, n) | (tdi ? kTdiHeld : 0)));
        if (read) AddSpan({i, n, false});
        return end;
    }

    void AddSpan(const ReadSpan& span) {
        spans_.push_back(span);
        answerBytes_ += span.whole ? span.bits / 8 : 1;
    }

    // Sends what is encoded, with a flush of the chip's read buffer, and
    // places the answers into `tdo`.
    bool Exchange(Bits& tdo) {
        if (out_.empty()) return true;
        if (answerBytes_ > 0) out_.push_back(kSendImmediate);
        in_.resize(answerBytes_);
        std::string error;
        const bool sent = port_->Write(out_.data(), out_.size(), error) &&
                          (answerBytes_ == 0 || port_->Read(in_.data(), in_.size(), error));
        out_.clear();
        answerBytes_ = 0;
        if (!sent) {
            spans_.clear();
            return Fail("MPSSE: " + error);
        }
        size_t at = 0;
        for (const ReadSpan& s : spans_) {
            if (s.whole) {
                for (size_t k = 0; k < s.bits; ++k) {
                    tdo.Set(s.first + k, (in_[at + k / 8] >> (k % 8)) & 1u);
                }
                at += s.bits / 8;
            } else {
                const uint8_t value = static_cast<uint8_t>(in_[at++] >> (8 - s.bits));
                for (size_t k = 0; k < s.bits; ++k) tdo.Set(s.first + k, (value >> k) & 1u);
            }
        }
        spans_.clear();
        return true;
    }

    std::unique_ptr<FtdiPort> port_;
    MpsseLayout layout_;
    uint8_t low_;
    uint8_t high_;
    std::vector<uint8_t> out_;
    std::vector<uint8_t> in_;
    std::vector<ReadSpan> spans_;
    size_t answerBytes_ = 0;  // answers to the commands in out_
};

// TCK, TDI, TMS outputs, TDO input, TMS high at rest; boards add their pins.
constexpr uint8_t kJtagValue = kTmsPin;
constexpr uint8_t kJtagDirection = 0x0B;
constexpr uint8_t kAdbus4 = 0x10;

const std::array<MpsseLayout, 3> kLayouts = {{
    // ADBUS 0 to 3 only (FT232H and FT2232H breakout boards).
    {"generic", kJtagValue, kJtagDirection, 0x00, 0x00, std::nullopt},
    // nTRST on ADBUS4 (GPIOL0), the usual spare pin of breakout wiring.
    {"trst-adbus4", kJtagValue | kAdbus4, kJtagDirection | kAdbus4, 0x00, 0x00, uint8_t{4}},
    // Buffered probes of the ARM-USB-OCD-H kind: ADBUS4 low enables the
    // output buffers, nTRST on ACBUS0, nSRST on ACBUS1 (kept released), LED
    // on ACBUS3.
    {"buffered", kJtagValue, kJtagDirection | kAdbus4, 0x03, 0x0B, uint8_t{8}},
}};

}  // namespace

std::optional<MpsseLayout> FindMpsseLayout(const std::string& name) {
    for (const MpsseLayout& layout : kLayouts) {
        if (name == layout.name) return layout;
    }
    return std::nullopt;
}

std::unique_ptr<Transport> MakeMpsse(std::unique_ptr<FtdiPort> port, const MpsseLayout& layout,
                                     std::string& error) {
    auto mpsse = std::make_unique<Mpsse>(std::move(port), layout);
    if (!mpsse->Start()) {
        error = mpsse->Error();
        return nullptr;
    }
    return mpsse;
}

}  // namespace bridge
