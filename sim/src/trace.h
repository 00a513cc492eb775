// The call trace: one text line per controller call,
// "Slot arg arg ... = result" (see docs/board-format.md).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace veltrasim {

// Builds one trace line argument by argument.
class TraceLine {
  public:
    explicit TraceLine(std::string_view slot) : text_(slot) {}

    void Number(uint64_t value);
    // The bits a call uses, as SVF-style hex (most significant digit first);
    // "-" for a null buffer.
    void Bits(const uint16_t* words, uint64_t bitCount);
    // An out-parameter word: its value, or "-" when the pointer is null.
    void OutWord(const uint32_t* word);
    void Text(std::string_view text);
    std::string Finish(uint64_t result);
    std::string FinishText(std::string_view result);

  private:
    std::string text_;
};

// The hex text of `bitCount` bits of a packed 16-bit-word buffer.
std::string HexOfBits(const uint16_t* words, uint64_t bitCount);

class Trace {
  public:
    void Enable(bool on) { enabled_ = on; }
    bool Enabled() const { return enabled_; }
    void Add(std::string line) { lines_.push_back(std::move(line)); }
    void Clear() { lines_.clear(); }
    std::size_t Count() const { return lines_.size(); }
    // Empty text for an index past the end.
    const char* Line(std::size_t index) const;

  private:
    bool enabled_ = true;
    std::vector<std::string> lines_;
};

}  // namespace veltrasim
