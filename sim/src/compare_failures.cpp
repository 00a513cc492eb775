#include "compare_failures.h"

#include "trace.h"

namespace veltrasim {

namespace {

constexpr unsigned kBitsPerWord = 16;

bool BitOf(const uint16_t* words, uint64_t bit) {
    return words != nullptr && ((words[bit / kBitsPerWord] >> (bit % kBitsPerWord)) & 1u) != 0;
}

}  // namespace

void CompareFailures::Add(const ComparedShift& shift) {
    ++total_;
    if (kept_.size() >= kMaxKept) return;
    CompareFailure failure;
    failure.tap = shift.tap;
    failure.instructionRegister = shift.instructionRegister;
    failure.bitCount = shift.bitCount;
    std::vector<uint16_t> compared((shift.bitCount + kBitsPerWord - 1) / kBitsPerWord);
    for (uint64_t i = 0; i < shift.bitCount; ++i) {
        if (BitOf(shift.ignore, i)) continue;
        compared[i / kBitsPerWord] |= static_cast<uint16_t>(1u << (i % kBitsPerWord));
        if (BitOf(shift.captured, i) == BitOf(shift.expected, i)) continue;
        if (failure.failingBits.size() < kMaxBitsListed) failure.failingBits.push_back(i);
        ++failure.failingBitCount;
    }
    if (shift.bitCount <= kMaxBitsShown) {
        const std::vector<uint16_t> zeros(compared.size());
        failure.tdi = HexOfBits(shift.tdi != nullptr ? shift.tdi : zeros.data(), shift.bitCount);
        failure.expected = HexOfBits(shift.expected, shift.bitCount);
        failure.mask = HexOfBits(compared.data(), shift.bitCount);
        failure.captured = HexOfBits(shift.captured, shift.bitCount);
    }
    kept_.push_back(std::move(failure));
}

}  // namespace veltrasim
