// The IEEE 1149.1 TAP controller: its sixteen states, the next-state
// function and the walker that picks TMS to reach a target state.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace veltrasim {

// Numbered like the player's state numbers: the four stable states first.
enum class TapState : uint8_t {
    kReset = 0,
    kIdle = 1,
    kDrPause = 2,
    kIrPause = 3,
    kDrSelect = 4,
    kDrCapture = 5,
    kDrShift = 6,
    kDrExit1 = 7,
    kDrExit2 = 8,
    kDrUpdate = 9,
    kIrSelect = 10,
    kIrCapture = 11,
    kIrShift = 12,
    kIrExit1 = 13,
    kIrExit2 = 14,
    kIrUpdate = 15,
};

inline constexpr std::size_t kTapStateCount = 16;

// The state after one TCK with the given TMS level.
TapState NextState(TapState state, bool tms);

// The TMS level of the first step on a shortest path from `from` to `to`
// (from != to).
bool TmsToward(TapState from, TapState to);

// Length of the longest shortest path between any two states: no walk may
// take more TCKs than this.
int LongestWalk();

// TMS that keeps a stable state where it is (1 in Test-Logic-Reset, else 0).
bool HoldTms(TapState stable);

// The stable state of a controller state code (1 RESET, 2 IDLE, 3 DRPAUSE,
// 4 IRPAUSE); none for other codes.
std::optional<TapState> StateOfCode(uint32_t code);

std::string_view StateName(TapState state);

}  // namespace veltrasim
