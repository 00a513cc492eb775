#include "transport.h"

namespace bridge {

namespace {
constexpr size_t kWordBits = 16;
}

void Bits::Set(size_t i, bool value) {
    const auto flag = static_cast<uint8_t>(1u << (i % 8));
    if (value) {
        bytes_[i / 8] |= flag;
    } else {
        bytes_[i / 8] &= static_cast<uint8_t>(~flag);
    }
}

void Bits::Resize(size_t n) {
    bytes_.resize((n + 7) / 8, 0);
    count_ = n;
}

void Bits::PushBack(bool value) {
    if (count_ % 8 == 0) bytes_.push_back(0);
    if (value) bytes_.back() |= static_cast<uint8_t>(1u << (count_ % 8));
    ++count_;
}

void Bits::Append(bool value, size_t n) {
    // Finish the partial byte, then whole bytes at once.
    while (n > 0 && count_ % 8 != 0) {
        PushBack(value);
        --n;
    }
    bytes_.insert(bytes_.end(), n / 8, value ? 0xFF : 0x00);
    count_ += n / 8 * 8;
    for (size_t i = 0; i < n % 8; ++i) PushBack(value);
}

void Bits::AppendWords(const uint16_t* words, size_t first, size_t n, bool fill, bool invert) {
    if (words == nullptr) {
        Append(fill, n);
        return;
    }
    Resize(count_ + n);
    size_t at = count_ - n;
    for (size_t i = first; i < first + n; ++i, ++at) {
        if ((((words[i / kWordBits] >> (i % kWordBits)) & 1u) != 0) != invert) {
            bytes_[at / 8] |= static_cast<uint8_t>(1u << (at % 8));
        }
    }
}

void Bits::CopyToWords(size_t first, size_t n, uint16_t* words, size_t to) const {
    for (size_t i = 0; i < n; ++i, ++to) {
        const auto flag = static_cast<uint16_t>(1u << (to % kWordBits));
        if ((*this)[first + i]) {
            words[to / kWordBits] |= flag;
        } else {
            words[to / kWordBits] &= static_cast<uint16_t>(~flag);
        }
    }
}

void Bits::Clear() {
    bytes_.clear();
    count_ = 0;
}

}  // namespace bridge
