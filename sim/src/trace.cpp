#include "trace.h"

namespace veltrasim {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr unsigned kBitsPerWord = 16;
constexpr unsigned kBitsPerDigit = 4;
}  // namespace

std::string HexOfBits(const uint16_t* words, uint64_t bitCount) {
    const uint64_t digits = (bitCount + kBitsPerDigit - 1) / kBitsPerDigit;
    std::string hex(digits, '0');
    for (uint64_t d = 0; d < digits; ++d) {
        unsigned value = 0;
        for (unsigned b = 0; b < kBitsPerDigit; ++b) {
            const uint64_t bit = d * kBitsPerDigit + b;
            if (bit >= bitCount) break;
            if ((words[bit / kBitsPerWord] >> (bit % kBitsPerWord)) & 1u) value |= 1u << b;
        }
        hex[digits - 1 - d] = kHexDigits[value];
    }
    return hex;
}

void TraceLine::Number(uint64_t value) {
    text_ += ' ';
    text_ += std::to_string(value);
}

void TraceLine::Bits(const uint16_t* words, uint64_t bitCount) {
    text_ += ' ';
    text_ += words ? HexOfBits(words, bitCount) : "-";
}

void TraceLine::OutWord(const uint32_t* word) {
    if (word) {
        Number(*word);
    } else {
        Text("-");
    }
}

void TraceLine::Text(std::string_view text) {
    text_ += ' ';
    text_ += text;
}

std::string TraceLine::Finish(uint64_t result) { return FinishText(std::to_string(result)); }

std::string TraceLine::FinishText(std::string_view result) {
    text_ += " = ";
    text_ += result;
    return std::move(text_);
}

const char* Trace::Line(std::size_t index) const {
    return index < lines_.size() ? lines_[index].c_str() : "";
}

}  // namespace veltrasim
