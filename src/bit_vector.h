// Bit strings of the player: arrays of 16-bit words, bit i is bit (i % 16) of
// word i / 16; bit 0 is the first bit shifted into TDI and out of TDO.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <vector>

namespace svf {

using BitVector = std::vector<uint16_t>;

inline constexpr uint32_t kBitsPerWord = 16;

// Words needed for n bits; 64-bit so that a length near 2^32 cannot wrap.
constexpr size_t WordsFor(uint64_t bits) { return static_cast<size_t>((bits + 15) >> 4); }

// Resizes without throwing: false when memory is exhausted. New words take
// `fill`; existing words are kept.
inline bool TryResize(BitVector& vector, size_t words, uint16_t fill = 0) noexcept {
    try {
        vector.resize(words, fill);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
}

// Frees the storage of a vector (clear() alone keeps the capacity).
inline void Release(BitVector& vector) noexcept { BitVector().swap(vector); }

}  // namespace svf
