// Typed access to the controller's function table. Every call goes through
// Call<&VeltraApi::Slot>(api, ...), which answers VELTRA_NOT_SUPPORTED for a
// slot the host left null instead of jumping through it.
#pragma once

#include <cstdint>
#include <optional>

#include "svfplayer/svf_player.h"

namespace svf {

template <auto Slot, class... Args>
uint32_t Call(const VeltraApi* api, Args... args) {
    const auto function = api->*Slot;
    if (function == nullptr) return VELTRA_NOT_SUPPORTED;
    return function(args...);
}

// The %s of every "Error: (action) failed; %s" message: "function not
// supported" for VELTRA_NOT_SUPPORTED, else the controller's own text.
const char* FailureText(const VeltraApi* api, uint32_t result);

// The controller's last error text; "" when it has none.
const char* ControllerErrorText(const VeltraApi* api);

// Version of the controller library that implements `api`, major in the high
// 16 bits and minor in the low 16 bits; 0 when it cannot be found.
uint32_t ControllerLibraryVersion(const VeltraApi* api);

inline constexpr uint32_t MakeVersion(uint32_t major, uint32_t minor) {
    return (major << 16) | (minor & 0xFFFF);
}
inline constexpr uint32_t kVersionPio = MakeVersion(1, 7);
inline constexpr uint32_t kVersionLongShifts = MakeVersion(1, 9);
inline constexpr uint32_t kVersionSetTrst = MakeVersion(2, 2);

// Test seam (not exported from the shipped library): a set value replaces the
// probe's answer until reset with std::nullopt.
void SetControllerVersionOverride(std::optional<uint32_t> version);

}  // namespace svf
