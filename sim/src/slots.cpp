#include "slots.h"

namespace veltrasim {
namespace {

constexpr std::array<std::string_view, kSlotCount> MakeNames() {
    std::array<std::string_view, kSlotCount> names{};
    names[Index(Slot::GetErrorText)] = "GetErrorText";
    names[Index(Slot::ResetTap)] = "ResetTap";
    names[Index(Slot::PulseTrst)] = "PulseTrst";
    names[Index(Slot::SetTapState)] = "SetTapState";
    names[Index(Slot::ShiftDr)] = "ShiftDr";
    names[Index(Slot::ShiftIr)] = "ShiftIr";
    names[Index(Slot::ShiftDrToPause)] = "ShiftDrToPause";
    names[Index(Slot::ShiftIrToPause)] = "ShiftIrToPause";
    names[Index(Slot::WaitTck)] = "WaitTck";
    names[Index(Slot::SetStopState)] = "SetStopState";
    names[Index(Slot::SetFrequency)] = "SetFrequency";
    names[Index(Slot::SetTckIdleState)] = "SetTckIdleState";
    names[Index(Slot::WaitTime)] = "WaitTime";
    names[Index(Slot::SetBuffering)] = "SetBuffering";
    names[Index(Slot::SetFlagLength)] = "SetFlagLength";
    names[Index(Slot::GetPodInfo)] = "GetPodInfo";
    names[Index(Slot::SetStartState)] = "SetStartState";
    names[Index(Slot::SetGanging)] = "SetGanging";
    names[Index(Slot::ShiftDrCompare)] = "ShiftDrCompare";
    names[Index(Slot::ShiftIrCompare)] = "ShiftIrCompare";
    names[Index(Slot::ShiftDrCompareToPause)] = "ShiftDrCompareToPause";
    names[Index(Slot::ShiftIrCompareToPause)] = "ShiftIrCompareToPause";
    names[Index(Slot::GetCompareResult)] = "GetCompareResult";
    names[Index(Slot::SetCompareMode)] = "SetCompareMode";
    names[Index(Slot::AccessPioPins)] = "AccessPioPins";
    names[Index(Slot::GetControllerInfo)] = "GetControllerInfo";
    names[Index(Slot::SetPodSignal)] = "SetPodSignal";
    names[Index(Slot::ShiftDrLong)] = "ShiftDrLong";
    names[Index(Slot::ShiftDrLongToPause)] = "ShiftDrLongToPause";
    names[Index(Slot::SetTrst)] = "SetTrst";
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
