// Names of the controller table's slots, as the call trace and the
// statistics show them.
#pragma once

#include <cstddef>

namespace svfplay {

inline constexpr size_t kSlotCount = 58;

// The VeltraApi field name of slot `slot`, or null for a reserved slot.
const char* SlotName(size_t slot);

}  // namespace svfplay
