// Number conversions that give the same result on every platform: the player
// runs as a Windows (LLP64) library, so a C `long` is 32 bits wide there and
// 64 bits on Linux; and a double outside an integer's range converts to
// anything at all.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace svf {

// `value` cut toward zero to an Int, saturated at Int's limits; NaN gives 0.
template <class Int>
inline Int SaturatingCast(double value) {
    static_assert(sizeof(Int) <= sizeof(int32_t), "the limits must be exact as doubles");
    constexpr Int kLowest = std::numeric_limits<Int>::min();
    constexpr Int kHighest = std::numeric_limits<Int>::max();
    if (std::isnan(value)) return 0;
    if (value <= static_cast<double>(kLowest)) return kLowest;
    if (value >= static_cast<double>(kHighest)) return kHighest;
    return static_cast<Int>(value);
}

// strtol(text, &end, 10) with a 32-bit long: an optional sign and decimal
// digits at the start of `text`, saturated at INT32_MIN / INT32_MAX. Returns
// false when no digit starts the text.
inline bool ParseLeadingInt32(const char* text, int32_t& value) {
    const char* p = text;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (*p < '0' || *p > '9') return false;
    constexpr int64_t kBeyond = int64_t{std::numeric_limits<int32_t>::max()} + 2;
    int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (magnitude < kBeyond) magnitude = magnitude * 10 + (*p - '0');
    }
    const int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > std::numeric_limits<int32_t>::max()) {
        value = std::numeric_limits<int32_t>::max();
    } else if (signedValue < std::numeric_limits<int32_t>::min()) {
        value = std::numeric_limits<int32_t>::min();
    } else {
        value = static_cast<int32_t>(signedValue);
    }
    return true;
}

}  // namespace svf
