#include "slots.h"

#include <array>
#include <cstddef>

#include "svfplayer/svf_player.h"

namespace svfplay {

namespace {

struct NamedSlot {
    size_t offset;
    const char* name;
};

#define SVFPLAY_SLOT(field) (NamedSlot{offsetof(VeltraApi, field), #field})

constexpr NamedSlot kNamedSlots[] = {
    SVFPLAY_SLOT(GetErrorText),
    SVFPLAY_SLOT(ResetTap),
    SVFPLAY_SLOT(PulseTrst),
    SVFPLAY_SLOT(SetTapState),
    SVFPLAY_SLOT(ShiftDr),
    SVFPLAY_SLOT(ShiftIr),
    SVFPLAY_SLOT(ShiftDrToPause),
    SVFPLAY_SLOT(ShiftIrToPause),
    SVFPLAY_SLOT(WaitTck),
    SVFPLAY_SLOT(SetStopState),
    SVFPLAY_SLOT(SetFrequency),
    SVFPLAY_SLOT(SetTckIdleState),
    SVFPLAY_SLOT(WaitTime),
    SVFPLAY_SLOT(SetBuffering),
    SVFPLAY_SLOT(SetFlagLength),
    SVFPLAY_SLOT(GetPodInfo),
    SVFPLAY_SLOT(SetStartState),
    SVFPLAY_SLOT(SetGanging),
    SVFPLAY_SLOT(ShiftDrCompare),
    SVFPLAY_SLOT(ShiftIrCompare),
    SVFPLAY_SLOT(ShiftDrCompareToPause),
    SVFPLAY_SLOT(ShiftIrCompareToPause),
    SVFPLAY_SLOT(GetCompareResult),
    SVFPLAY_SLOT(SetCompareMode),
    SVFPLAY_SLOT(AccessPioPins),
    SVFPLAY_SLOT(GetControllerInfo),
    SVFPLAY_SLOT(SetPodSignal),
    SVFPLAY_SLOT(ShiftDrLong),
    SVFPLAY_SLOT(ShiftDrLongToPause),
    SVFPLAY_SLOT(SetTrst),
};

#undef SVFPLAY_SLOT

constexpr std::array<const char*, kSlotCount> MakeNames() {
    std::array<const char*, kSlotCount> names{};
    for (const auto& slot : kNamedSlots) names[slot.offset / sizeof(void*)] = slot.name;
    return names;
}

constexpr auto kNames = MakeNames();

}  // namespace

const char* SlotName(size_t slot) { return slot < kSlotCount ? kNames[slot] : nullptr; }

}  // namespace svfplay
