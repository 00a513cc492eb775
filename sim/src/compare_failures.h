// The failing compare shifts the controller has seen. When the player leaves
// the compare to the controller, only the controller knows which bits
// failed; hosts read these records to show them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace veltrasim {

struct CompareFailure {
    uint32_t tap = 0;
    bool instructionRegister = false;
    uint64_t bitCount = 0;
    uint64_t failingBitCount = 0;
    std::vector<uint64_t> failingBits;  // the first positions, rising
    // SVF-style hex, most significant digit first; empty for scans too long
    // to keep. `mask` has a 1 for every compared bit, as SVF's MASK.
    std::string tdi;
    std::string expected;
    std::string mask;
    std::string captured;
};

// What one compare shift saw: the controller's buffers (mask 1 = ignore,
// null = compare all; tdi null = zeros) and the TDO it captured.
struct ComparedShift {
    uint32_t tap = 0;
    bool instructionRegister = false;
    uint64_t bitCount = 0;
    const uint16_t* tdi = nullptr;
    const uint16_t* expected = nullptr;
    const uint16_t* ignore = nullptr;
    const uint16_t* captured = nullptr;
};

// Keeps the first kMaxKept failures; counts them all.
class CompareFailures {
  public:
    static constexpr std::size_t kMaxKept = 100;
    static constexpr std::size_t kMaxBitsListed = 64;
    static constexpr uint64_t kMaxBitsShown = 4096;

    void Add(const ComparedShift& shift);
    void Clear() { *this = CompareFailures(); }
    std::size_t Count() const { return kept_.size(); }
    uint64_t Total() const { return total_; }
    const CompareFailure* At(std::size_t index) const {
        return index < kept_.size() ? &kept_[index] : nullptr;
    }

  private:
    std::vector<CompareFailure> kept_;
    uint64_t total_ = 0;
};

}  // namespace veltrasim
