// veltra-sim access for tests: a clean simulator per test and its trace.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "veltra_sim.h"

namespace svftest {

// Resets veltra-sim (default board, empty trace, no scripts) on construction
// and again on destruction.
class SimSession {
  public:
    SimSession();
    ~SimSession();
    SimSession(const SimSession&) = delete;
    SimSession& operator=(const SimSession&) = delete;

    const VeltraApi* api() const { return Veltra_GetApi(); }
    // Loads a board from TOML text; fails the test when it does not load.
    void LoadBoard(const std::string& toml) const;
    void Script(const char* slot, uint32_t result, uint32_t onCall = 0) const {
        VeltraSim_ScriptResult(slot, result, onCall);
    }
};

// The whole trace, or only the lines of the given slots.
std::vector<std::string> Trace();
std::vector<std::string> TraceOf(const std::vector<std::string>& slots);
void ClearTrace();

}  // namespace svftest
