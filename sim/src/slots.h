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
    GetErrorText = 6,
    ResetTap = 8,
    PulseTrst = 9,
    SetTapState = 10,
    ShiftDr = 11,
    ShiftIr = 12,
    ShiftDrToPause = 13,
    ShiftIrToPause = 14,
    WaitTck = 18,
    SetStopState = 19,
    SetFrequency = 20,
    SetTckIdleState = 23,
    WaitTime = 24,
    SetBuffering = 25,
    SetFlagLength = 27,
    GetPodInfo = 31,
    SetStartState = 34,
    SetGanging = 39,
    ShiftDrCompare = 40,
    ShiftIrCompare = 41,
    ShiftDrCompareToPause = 42,
    ShiftIrCompareToPause = 43,
    GetCompareResult = 45,
    SetCompareMode = 46,
    AccessPioPins = 47,
    GetControllerInfo = 48,
    SetPodSignal = 49,
    ShiftDrLong = 52,
    ShiftDrLongToPause = 54,
    SetTrst = 57,
};

// The VeltraApi field name of a slot; empty for reserved slots.
std::string_view SlotName(std::size_t slot);
// The slot of a field name, if it is one the simulator implements.
std::optional<Slot> SlotByName(std::string_view name);

inline constexpr std::size_t Index(Slot slot) { return static_cast<std::size_t>(slot); }

}  // namespace veltrasim
