#include "update_log.h"

namespace veltrasim {

void UpdateLog::AddValue(const char* event, const Bits& value) {
    constexpr std::size_t kBitsPerDigit = 4;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const std::size_t digits = (value.size() + kBitsPerDigit - 1) / kBitsPerDigit;
    std::string line = std::string(event) + ' ' + std::to_string(value.size()) + ' ';
    line.reserve(line.size() + digits);
    for (std::size_t d = digits; d-- > 0;) {
        unsigned nibble = 0;
        for (std::size_t b = 0; b < kBitsPerDigit; ++b) {
            const std::size_t bit = d * kBitsPerDigit + b;
            if (bit < value.size() && value[bit]) nibble |= 1u << b;
        }
        line += kDigits[nibble];
    }
    lines_.push_back(std::move(line));
}

}  // namespace veltrasim
