// Bit strings packed into 16-bit words, as the controller table passes them
// (bit i is bit i % 16 of word i / 16): copies at any bit offset, a word at
// a time, for the shifts that move whole words.
#pragma once

#include <algorithm>
#include <cstdint>

namespace veltrasim {

inline constexpr unsigned kWordBits = 16;

inline uint64_t WordsFor(uint64_t bits) { return (bits + kWordBits - 1) / kWordBits; }

// `width` (1 to 16) bits of `words` from bit `bit` on, in the low bits.
inline uint32_t BitsAt(const uint16_t* words, uint64_t bit, unsigned width) {
    const uint64_t word = bit / kWordBits;
    const unsigned shift = bit % kWordBits;
    uint32_t value = static_cast<uint32_t>(words[word]) >> shift;
    if (shift + width > kWordBits)
        value |= static_cast<uint32_t>(words[word + 1]) << (kWordBits - shift);
    return value & ((1u << width) - 1);
}

// Copies n bits of `from` (null: zeros) from bit `fromBit` to bit `toBit` of
// `to`; the other bits of `to` keep their values.
inline void CopyBits(uint16_t* to, uint64_t toBit, const uint16_t* from, uint64_t fromBit,
                     uint64_t n) {
    while (n > 0) {
        const unsigned shift = toBit % kWordBits;
        const auto width = static_cast<unsigned>(std::min<uint64_t>(kWordBits - shift, n));
        const uint32_t value = from != nullptr ? BitsAt(from, fromBit, width) : 0;
        const uint32_t field = ((1u << width) - 1) << shift;
        uint16_t& word = to[toBit / kWordBits];
        word = static_cast<uint16_t>((word & ~field) | value << shift);
        toBit += width;
        fromBit += width;
        n -= width;
    }
}

// True when a and b differ in any of their first n bits that `ignore` (null:
// none) does not mark with a 1.
inline bool DiffersUnder(const uint16_t* a, const uint16_t* b, const uint16_t* ignore, uint64_t n) {
    for (uint64_t word = 0; word < WordsFor(n); ++word) {
        uint32_t difference = static_cast<uint32_t>(a[word] ^ b[word]);
        if (ignore != nullptr) difference &= ~static_cast<uint32_t>(ignore[word]);
        const uint64_t left = n - word * kWordBits;
        if (left < kWordBits) difference &= (1u << left) - 1;
        if (difference != 0) return true;
    }
    return false;
}

}  // namespace veltrasim
