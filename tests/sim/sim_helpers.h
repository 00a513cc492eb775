// Small helpers shared by the veltra-sim tests: bit buffers from numbers and
// back, the statistics, the controller information record and a fixture.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/sim.h"
#include "veltra_sim.h"

namespace simtest {

// `bits` bits of `value` as packed 16-bit words (bit 0 first).
inline std::vector<uint16_t> Words(uint64_t value, uint32_t bits) {
    std::vector<uint16_t> words((bits + 15) / 16, 0);
    for (uint32_t i = 0; i < bits && i < 64; ++i) {
        if ((value >> i) & 1u)
            words[i / 16] = static_cast<uint16_t>(words[i / 16] | 1u << (i % 16));
    }
    return words;
}

inline VeltraSimStats Stats() {
    VeltraSimStats stats{};
    VeltraSim_GetStats(&stats);
    return stats;
}

// One word of the controller information record; ~0 when it cannot be read.
inline uint32_t InfoWord(const VeltraApi& api, int word) {
    const uint32_t* record = nullptr;
    return api.GetControllerInfo(&record) == 0 && record != nullptr ? record[word] : ~0u;
}

// Shifts `bits` bits of `value` through the IR or DR of `tap` with the plain
// shift (ending in the stop state) and returns the captured bits.
inline uint64_t ShiftValue(const VeltraApi& api, bool ir, uint32_t tap, uint64_t value,
                           uint32_t bits) {
    const std::vector<uint16_t> tdi = Words(value, bits);
    std::vector<uint16_t> tdo(tdi.size(), 0xFFFF);
    const auto shift = ir ? api.ShiftIr : api.ShiftDr;
    if (shift(tap, tdi.data(), bits, tdo.data()) != 0) return ~uint64_t{0};
    uint64_t captured = 0;
    for (uint32_t i = 0; i < bits && i < 64; ++i) {
        if ((tdo[i / 16] >> (i % 16)) & 1u) captured |= uint64_t{1} << i;
    }
    return captured;
}

inline uint64_t Ir(const VeltraApi& api, uint64_t value, uint32_t bits, uint32_t tap = 1) {
    return ShiftValue(api, true, tap, value, bits);
}

inline uint64_t Dr(const VeltraApi& api, uint64_t value, uint32_t bits, uint32_t tap = 1) {
    return ShiftValue(api, false, tap, value, bits);
}

// A test on a freshly reset simulator (the default board).
class SimTest : public testing::Test {
  protected:
    svftest::SimSession sim;
    const VeltraApi& api = *sim.api();
};

}  // namespace simtest
