// The pod pin model: the PIO pins an SVF file may drive or sense, by logical
// name, and the I/O pins the controller reports as used by a TAP. Plain data;
// the PIO mapping file and the PIO statements fill and read it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace svf {

inline constexpr uint32_t kMaxPodPins = 20;  // mapped pins, and PIOMAP columns
inline constexpr uint32_t kPodTaps = 4;      // TAPs with I/O pins (1..4); 0 = pod signals
inline constexpr uint32_t kPinsPerTap = 4;

enum PinDirection : uint32_t { kDirectionIn = 0, kDirectionOut = 1, kDirectionInOut = 2 };

struct PodPin {
    uint32_t tap = 0;         // 0 (pod signals) to 4
    uint32_t pin = 0;         // 1 to 4
    std::string logicalName;  // empty for a TAP I/O pin
    char value = '0';         // last pattern character; 'H'/'L' for a TAP I/O pin
    uint32_t direction = kDirectionInOut;
    uint32_t column = 0;  // PIOMAP column 1..20; 0 for a TAP I/O pin
};

// byTap table of one TAP: the mapped pins placed in PIOMAP columns, by pin
// number (index 1..4; index 0 unused).
struct TapPinTable {
    uint32_t tap = 0;
    std::array<PodPin*, kPinsPerTap + 1> pins{};
};

struct PodPins {
    uint32_t pinCount = 0;
    uint32_t tapIoPinCount = 0;
    std::array<std::unique_ptr<TapPinTable>, kPodTaps + 1> byTap;  // TAP 0..4
    std::array<PodPin*, kMaxPodPins> byColumn{};                   // column c at index c - 1
    std::vector<std::unique_ptr<PodPin>> pins;       // mapped pins, registration order
    std::vector<std::unique_ptr<PodPin>> tapIoPins;  // pins the controller uses
};

}  // namespace svf
