// The VeltraSim_ functions for hosts that drive the board pin by pin
// (veltra-serve) and for the update log that players are compared on.
#include <fstream>

#include "simulator.h"
#include "veltra_sim.h"

using veltrasim::Sim;

namespace {

constexpr int32_t kWriteFailed = 1;

bool ValidTap(uint32_t tap) { return tap >= 1 && tap <= veltrasim::kTapCount; }

const veltrasim::UpdateLog* LogOf(uint32_t tap, uint32_t device) {
    return ValidTap(tap) ? Sim().controller->Port(tap).Updates(device) : nullptr;
}

}  // namespace

extern "C" {

int32_t VeltraSim_Tdo(uint32_t tap) {
    if (!ValidTap(tap)) return -1;
    try {
        return Sim().controller->Port(tap).Tdo() ? 1 : 0;
    } catch (...) {
        return -1;
    }
}

void VeltraSim_EnableUpdateLog(int32_t enabled) {
    try {
        veltrasim::Simulator& sim = Sim();
        sim.logUpdates = enabled != 0;
        for (uint32_t tap = 1; tap <= veltrasim::kTapCount; ++tap) {
            sim.controller->Port(tap).LogUpdates(sim.logUpdates);
        }
    } catch (...) {
    }
}

uint32_t VeltraSim_UpdateCount(uint32_t tap, uint32_t device) {
    try {
        const veltrasim::UpdateLog* log = LogOf(tap, device);
        return log ? static_cast<uint32_t>(log->Lines().size()) : 0;
    } catch (...) {
        return 0;
    }
}

const char* VeltraSim_UpdateLine(uint32_t tap, uint32_t device, uint32_t index) {
    try {
        const veltrasim::UpdateLog* log = LogOf(tap, device);
        if (!log || index >= log->Lines().size()) return "";
        return log->Lines()[index].c_str();
    } catch (...) {
        return "";
    }
}

int32_t VeltraSim_WriteUpdateLog(const char* path) {
    try {
        std::ofstream out(path ? path : "", std::ios::binary | std::ios::trunc);
        for (uint32_t tap = 1; tap <= veltrasim::kTapCount; ++tap) {
            const veltrasim::TapPort& port = Sim().controller->Port(tap);
            for (uint32_t device = 0; const veltrasim::UpdateLog* log = port.Updates(device);
                 ++device) {
                for (const std::string& line : log->Lines()) {
                    out << tap << '.' << device << ' ' << line << '\n';
                }
            }
        }
        out.close();
        if (out) return 0;
        Sim().lastError =
            std::string("cannot write the update log to '") + (path ? path : "") + "'";
    } catch (...) {
        Sim().lastError = "out of memory writing the update log";
    }
    return kWriteFailed;
}

}  // extern "C"
