// The one thing the JTAG engine needs from an adapter: clock a batch of TCKs
// with given TMS and TDI levels and hand back TDO where it was asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bridge {

// Packed bit string: bit i is bit (i % 8) of byte i / 8, bit 0 clocked first.
class Bits {
  public:
    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    bool operator[](size_t i) const { return (bytes_[i / 8] >> (i % 8)) & 1u; }
    void Set(size_t i, bool value);
    void PushBack(bool value);
    // Appends `n` copies of `value`.
    void Append(bool value, size_t n);
    // Appends n bits of a 16-bit-word buffer starting at bit `first`, each
    // inverted with `invert`; `fill` copies when `words` is null.
    void AppendWords(const uint16_t* words, size_t first, size_t n, bool fill = false,
                     bool invert = false);
    // Copies bits [first, first + n) into a 16-bit-word buffer at bit `to`.
    void CopyToWords(size_t first, size_t n, uint16_t* words, size_t to) const;
    void Clear();
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t>& bytes() { return bytes_; }
    void Resize(size_t n);

  private:
    std::vector<uint8_t> bytes_;
    size_t count_ = 0;
};

// One batch of clocks: TMS and TDI per clock, and which TDO levels are wanted.
struct ClockBatch {
    Bits tms;
    Bits tdi;
    Bits read;
    size_t size() const { return tms.size(); }
    void Clear() {
        tms.Clear();
        tdi.Clear();
        read.Clear();
    }
};

class Transport {
  public:
    virtual ~Transport() = default;

    // Clocks the whole batch and waits for it; `tdo` gets one bit per clock
    // (those not marked in batch.read may hold anything). False on a failure,
    // whose text Error() gives; the transport is then unusable.
    virtual bool Run(const ClockBatch& batch, Bits& tdo) = 0;
    // Sets TCK as near to `khz` as the adapter can and returns what it set;
    // none when the adapter has no clock of its own.
    virtual std::optional<uint32_t> SetFrequency(uint32_t khz) = 0;
    // TRST line, where the adapter has one.
    virtual bool HasTrst() const { return false; }
    virtual bool SetTrst(bool /*asserted*/) { return false; }
    // Said once before the connection goes away.
    virtual void Leave() {}

    const std::string& Error() const { return error_; }

  protected:
    bool Fail(std::string text) {
        error_ = std::move(text);
        return false;
    }

  private:
    std::string error_;
};

}  // namespace bridge
