#include "support/sim.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace svftest {

SimSession::SimSession() { VeltraSim_Reset(); }
SimSession::~SimSession() { VeltraSim_Reset(); }

void SimSession::LoadBoard(const std::string& toml) const {
    ASSERT_EQ(VeltraSim_LoadBoardText(toml.c_str()), 0) << VeltraSim_LastError();
}

std::vector<std::string> Trace() {
    std::vector<std::string> lines;
    const uint32_t count = VeltraSim_TraceCount();
    for (uint32_t i = 0; i < count; ++i) lines.emplace_back(VeltraSim_TraceLine(i));
    return lines;
}

std::vector<std::string> TraceOf(const std::vector<std::string>& slots) {
    std::vector<std::string> lines;
    for (const std::string& line : Trace()) {
        const std::string slot = line.substr(0, line.find(' '));
        if (std::find(slots.begin(), slots.end(), slot) != slots.end()) lines.push_back(line);
    }
    return lines;
}

void ClearTrace() { VeltraSim_ClearTrace(); }

}  // namespace svftest
