// The description of a simulated board: the controller's properties, the
// scan chain of devices on each tester TAP and the pod's pins and wiring.
// Plain data, filled by DefaultBoard() or by a board file.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace veltrasim {

inline constexpr uint32_t kTapCount = 32;
inline constexpr uint32_t kPodTapCount = 4;  // TAPs 1 to 4 carry I/O pins
inline constexpr uint32_t kPinsPerTap = 4;
inline constexpr uint32_t kPodSignalCount = 3;  // USER0, USER1, VPP_E

// A bit string, bit 0 first (nearest TDO for a register).
using Bits = std::vector<uint8_t>;

struct RegisterConfig {
    std::string name;
    uint32_t length = 0;
    bool readBack = false;                  // captures what was last updated into it
    Bits capture;                           // fixed capture value, or the read-back start value
    std::vector<std::string> instructions;  // further instructions selecting it
};

struct DeviceConfig {
    std::string name;
    uint32_t irLength = 0;
    Bits irCapture;  // ends in binary 01
    std::optional<uint32_t> idcode;
    std::map<std::string, Bits> instructions;  // name -> opcode (irLength bits)
    std::vector<RegisterConfig> registers;
};

struct TapConfig {
    std::vector<DeviceConfig> devices;  // from TDI to TDO
    bool trstWired = true;              // TRST reaches the devices
};

struct ControllerConfig {
    uint32_t version = 0x20002;  // major << 16 | minor
    uint32_t type = 6;
    uint32_t frequencyKhz = 1000;
    uint32_t maxFrequencyKhz = UINT32_MAX;  // higher requests are limited to this
    bool longShifts = true;
    bool infoRecord = true;      // GetControllerInfo answers
    uint32_t infoValidBits = 0;  // validity bits of word 0
    bool buffering = true;
    std::vector<uint32_t> bufferDepths{1, 128};  // accepted depths; 0 always flushes
    bool tckIdleState = true;
    bool flagLength = true;
    bool compareMode = true;
    bool ganging = true;
    bool trst = true;
    bool pio = true;
};

// A pin of the pod: TAP 1 to 4, pin 1 to 4; or a pod signal.
struct PinRef {
    enum class Kind : uint8_t { Pin, Signal } kind = Kind::Pin;
    uint32_t tap = 0;
    uint32_t pin = 0;     // 1 to 4
    uint32_t signal = 0;  // 0 USER0, 1 USER1, 2 VPP_E
};

enum class Pull : uint8_t { High, Low, None };

struct PodConfig {
    Pull pull = Pull::High;  // what an undriven, unwired pin reads
    struct Wire {
        PinRef from;  // a pod pin or signal that drives
        PinRef to;    // a pod pin that senses it
    };
    std::vector<Wire> wires;
    struct Level {
        PinRef pin;  // a pod pin the board itself drives
        bool high = false;
    };
    std::vector<Level> levels;
    std::array<uint32_t, kPodTapCount> inUse{};  // per TAP: pins reported by GetPodInfo
};

struct BoardConfig {
    ControllerConfig controller;
    std::array<TapConfig, kTapCount> taps;  // index tap - 1
    PodConfig pod;
};

// The board used when no board file is loaded (see docs/board-format.md).
BoardConfig DefaultBoard();

// `value` as `length` bits, bit 0 first.
Bits BitsOf(uint64_t value, uint32_t length);

// The bits as '0'/'1' characters, bit 0 first: a key for opcode tables.
std::string KeyOf(const Bits& bits);

}  // namespace veltrasim
