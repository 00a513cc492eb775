#include "board_port.h"

#include <cstdio>

#include "veltra_sim.h"

namespace veltraserve {
namespace {

constexpr uint32_t kTrstOn = 0;  // SetTrst levels: 0 asserts, 1 releases
constexpr uint32_t kTrstOff = 1;

}  // namespace

BoardPort::BoardPort(std::string boardFile, uint32_t tap, std::string updateLog)
    : boardFile_(std::move(boardFile)), tap_(tap), updateLog_(std::move(updateLog)) {}

bool BoardPort::Restart(std::string& error) {
    if (boardFile_.empty()) {
        VeltraSim_Reset();
    } else if (VeltraSim_LoadBoardFile(boardFile_.c_str()) != 0) {
        error = VeltraSim_LastError();
        return false;
    }
    // Nobody reads the call trace here; the pin-level path does not use it anyway.
    VeltraSim_EnableTrace(0);
    VeltraSim_EnableUpdateLog(updateLog_.empty() ? 0 : 1);
    trstAsserted_ = false;
    return true;
}

bool BoardPort::Clock(bool tms, bool tdi) { return VeltraSim_Clock(tap_, tms, tdi) == 1; }

bool BoardPort::Tdo() const { return VeltraSim_Tdo(tap_) == 1; }

void BoardPort::SetTrst(bool asserted) {
    if (asserted == trstAsserted_) return;
    trstAsserted_ = asserted;
    Veltra_GetApi()->SetTrst(tap_, asserted ? kTrstOn : kTrstOff);
}

bool BoardPort::WriteUpdateLog(std::string& error) const {
    if (updateLog_.empty()) return true;
    // Written aside and renamed, so a reader that waits for the file never
    // sees half of it.
    const std::string partial = updateLog_ + ".part";
    if (VeltraSim_WriteUpdateLog(partial.c_str()) != 0) {
        error = VeltraSim_LastError();
        return false;
    }
    if (std::rename(partial.c_str(), updateLog_.c_str()) == 0) return true;
    error = "cannot rename " + partial + " to " + updateLog_;
    return false;
}

}  // namespace veltraserve
