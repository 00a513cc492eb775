#include "simulator.h"

namespace veltrasim {

Simulator::Simulator() { Reset(); }

void Simulator::Reset() {
    logUpdates = false;
    UseBoard(std::make_shared<const BoardConfig>(DefaultBoard()));
    trace = Trace();
    scripts = Scripts();
    lastError.clear();
}

void Simulator::UseBoard(std::shared_ptr<const BoardConfig> newBoard) {
    auto fresh = std::make_unique<Controller>(newBoard);
    for (uint32_t tap = 1; tap <= kTapCount; ++tap) fresh->Port(tap).LogUpdates(logUpdates);
    board = std::move(newBoard);
    controller = std::move(fresh);
    calls.fill(0);
}

Simulator& Sim() {
    static Simulator simulator;
    return simulator;
}

}  // namespace veltrasim
