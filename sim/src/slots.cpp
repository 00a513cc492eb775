#include "slots.h"

namespace veltrasim {
namespace {

constexpr std::array<std::string_view, kSlotCount> MakeNames() {
    std::array<std::string_view, kSlotCount> names{};
    names[Index(Slot::kGetErrorText)] = "GetErrorText";
    names[Index(Slot::kResetTap)] = "ResetTap";
    names[Index(Slot::kPulseTrst)] = "PulseTrst";
    names[Index(Slot::kSetTapState)] = "SetTapState";
    names[Index(Slot::kShiftDr)] = "ShiftDr";
    names[Index(Slot::kShiftIr)] = "ShiftIr";
    names[Index(Slot::kShiftDrToPause)] = "ShiftDrToPause";
    names[Index(Slot::kShiftIrToPause)] = "ShiftIrToPause";
    names[Index(Slot::kWaitTck)] = "WaitTck";
    names[Index(Slot::kSetStopState)] = "SetStopState";
    names[Index(Slot::kSetFrequency)] = "SetFrequency";
    names[Index(Slot::kSetTckIdleState)] = "SetTckIdleState";
    names[Index(Slot::kWaitTime)] = "WaitTime";
    names[Index(Slot::kSetBuffering)] = "SetBuffering";
    names[Index(Slot::kSetFlagLength)] = "SetFlagLength";
    names[Index(Slot::kGetPodInfo)] = "GetPodInfo";
    names[Index(Slot::kSetStartState)] = "SetStartState";
    names[Index(Slot::kSetGanging)] = "SetGanging";
    names[Index(Slot::kShiftDrCompare)] = "ShiftDrCompare";
    names[Index(Slot::kShiftIrCompare)] = "ShiftIrCompare";
    names[Index(Slot::kShiftDrCompareToPause)] = "ShiftDrCompareToPause";
    names[Index(Slot::kShiftIrCompareToPause)] = "ShiftIrCompareToPause";
    names[Index(Slot::kGetCompareResult)] = "GetCompareResult";
    names[Index(Slot::kSetCompareMode)] = "SetCompareMode";
    names[Index(Slot::kAccessPioPins)] = "AccessPioPins";
    names[Index(Slot::kGetControllerInfo)] = "GetControllerInfo";
    names[Index(Slot::kSetPodSignal)] = "SetPodSignal";
    names[Index(Slot::kShiftDrLong)] = "ShiftDrLong";
    names[Index(Slot::kShiftDrLongToPause)] = "ShiftDrLongToPause";
    names[Index(Slot::kSetTrst)] = "SetTrst";
    return names;
}

constexpr std::array<std::string_view, kSlotCount> kNames = MakeNames();

}  // namespace

std::string_view SlotName(std::size_t slot) { return slot < kSlotCount ? kNames[slot] : ""; }

std::optional<Slot> SlotByName(std::string_view name) {
    if (name.empty()) return std::nullopt;
    for (std::size_t i = 0; i < kSlotCount; ++i) {
        if (kNames[i] == name) return static_cast<Slot>(i);
    }
    return std::nullopt;
}

}  // namespace veltrasim
