// Slot numbers and names of the controller table, for statistics, the trace
// and scripted results.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace veltrasim {

inline constexpr std::size_t kSlotCount = 58;

enum class Slot : uint8_t {
    kGetErrorText = 6,
    kResetTap = 8,
    kPulseTrst = 9,
    kSetTapState = 10,
    kShiftDr = 11,
    kShiftIr = 12,
    kShiftDrToPause = 13,
    kShiftIrToPause = 14,
    kWaitTck = 18,
    kSetStopState = 19,
    kSetFrequency = 20,
    kSetTckIdleState = 23,
    kWaitTime = 24,
    kSetBuffering = 25,
    kSetFlagLength = 27,
    kGetPodInfo = 31,
    kSetStartState = 34,
    kSetGanging = 39,
    kShiftDrCompare = 40,
    kShiftIrCompare = 41,
    kShiftDrCompareToPause = 42,
    kShiftIrCompareToPause = 43,
    kGetCompareResult = 45,
    kSetCompareMode = 46,
    kAccessPioPins = 47,
    kGetControllerInfo = 48,
    kSetPodSignal = 49,
    kShiftDrLong = 52,
    kShiftDrLongToPause = 54,
    kSetTrst = 57,
};

// The VeltraApi field name of a slot; empty for reserved slots.
std::string_view SlotName(std::size_t slot);
// The slot of a field name, if it is one the simulator implements.
std::optional<Slot> SlotByName(std::string_view name);

inline constexpr std::size_t Index(Slot slot) { return static_cast<std::size_t>(slot); }

}  // namespace veltrasim
