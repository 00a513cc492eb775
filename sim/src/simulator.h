// The one simulator instance behind the exported C functions: the board,
// the controller working on it, the call trace, scripted results and call
// statistics. Single-threaded like the controller table it serves.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "board.h"
#include "controller.h"
#include "scripts.h"
#include "slots.h"
#include "trace.h"

namespace veltrasim {

struct Simulator {
    Simulator();

    // Back to the default board with everything cleared.
    void Reset();
    // Puts `board` in place with a fresh controller and statistics; the trace
    // and the scripts stay.
    void UseBoard(std::shared_ptr<const BoardConfig> newBoard);

    std::shared_ptr<const BoardConfig> board;
    std::unique_ptr<Controller> controller;
    Trace trace;
    Scripts scripts;
    std::array<uint64_t, kSlotCount> calls{};
    std::string lastError;
    bool logUpdates = false;  // every device keeps its update log
};

Simulator& Sim();

}  // namespace veltrasim
