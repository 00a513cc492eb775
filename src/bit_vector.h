// Bit strings of the player: arrays of 16-bit words, bit i is bit (i % 16) of
// word i / 16; bit 0 is the first bit shifted into TDI and out of TDO.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include "platform/platform.h"

namespace svf {

// Large bit vectors take their storage from the platform (on huge pages where
// there are any), the others from operator new.
template <class T>
struct BlockAllocator {
    using value_type = T;
    BlockAllocator() = default;
    template <class U>
    BlockAllocator(const BlockAllocator<U>&) noexcept {}  // NOLINT: rebinding converts implicitly
    T* allocate(size_t n) {
        if (n < platform::kLargeBlockBytes / sizeof(T)) return std::allocator<T>().allocate(n);
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
        void* block = platform::AllocateLargeBlock(n * sizeof(T));
        if (block == nullptr) throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    void deallocate(T* block, size_t n) noexcept {
        if (n < platform::kLargeBlockBytes / sizeof(T)) {
            std::allocator<T>().deallocate(block, n);
        } else {
            platform::FreeLargeBlock(block);
        }
    }
    friend bool operator==(const BlockAllocator&, const BlockAllocator&) { return true; }
};

using BitVector = std::vector<uint16_t, BlockAllocator<uint16_t>>;

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
