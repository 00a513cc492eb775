#include "tap_state.h"

#include <algorithm>

namespace veltrasim {
namespace {

using S = TapState;

struct Edge {
    S onZero;
    S onOne;
};

// IEEE 1149.1 state diagram, indexed by state number.
constexpr std::array<Edge, kTapStateCount> kEdges = {{
    {S::Idle, S::Reset},          // Reset
    {S::Idle, S::DrSelect},       // Idle
    {S::DrPause, S::DrExit2},     // DrPause
    {S::IrPause, S::IrExit2},     // IrPause
    {S::DrCapture, S::IrSelect},  // DrSelect
    {S::DrShift, S::DrExit1},     // DrCapture
    {S::DrShift, S::DrExit1},     // DrShift
    {S::DrPause, S::DrUpdate},    // DrExit1
    {S::DrShift, S::DrUpdate},    // DrExit2
    {S::Idle, S::DrSelect},       // DrUpdate
    {S::IrCapture, S::Reset},     // IrSelect
    {S::IrShift, S::IrExit1},     // IrCapture
    {S::IrShift, S::IrExit1},     // IrShift
    {S::IrPause, S::IrUpdate},    // IrExit1
    {S::IrShift, S::IrUpdate},    // IrExit2
    {S::Idle, S::DrSelect},       // IrUpdate
}};

constexpr std::size_t N(S s) { return static_cast<std::size_t>(s); }

using DistanceTable = std::array<std::array<int, kTapStateCount>, kTapStateCount>;

// distance[from][to]: fewest TCKs from `from` to `to` (Floyd-Warshall over
// the sixteen states; every state reaches every other).
constexpr DistanceTable MakeDistances() {
    constexpr int kFar = 1000;
    DistanceTable d{};
    for (std::size_t i = 0; i < kTapStateCount; ++i) {
        for (std::size_t j = 0; j < kTapStateCount; ++j) d[i][j] = i == j ? 0 : kFar;
        d[i][N(kEdges[i].onZero)] = std::min(d[i][N(kEdges[i].onZero)], 1);
        d[i][N(kEdges[i].onOne)] = std::min(d[i][N(kEdges[i].onOne)], 1);
    }
    for (std::size_t k = 0; k < kTapStateCount; ++k) {
        for (std::size_t i = 0; i < kTapStateCount; ++i) {
            for (std::size_t j = 0; j < kTapStateCount; ++j) {
                d[i][j] = std::min(d[i][j], d[i][k] + d[k][j]);
            }
        }
    }
    return d;
}

constexpr DistanceTable kDistance = MakeDistances();

constexpr int MaxDistance() {
    int longest = 0;
    for (const auto& row : kDistance) {
        for (int d : row) longest = std::max(longest, d);
    }
    return longest;
}

constexpr std::array<std::string_view, kTapStateCount> kNames = {
    "RESET",   "IDLE",     "DRPAUSE",  "IRPAUSE",   "DRSELECT", "DRCAPTURE", "DRSHIFT", "DREXIT1",
    "DREXIT2", "DRUPDATE", "IRSELECT", "IRCAPTURE", "IRSHIFT",  "IREXIT1",   "IREXIT2", "IRUPDATE",
};

}  // namespace

TapState NextState(TapState state, bool tms) {
    const Edge& edge = kEdges[N(state)];
    return tms ? edge.onOne : edge.onZero;
}

bool TmsToward(TapState from, TapState to) {
    // Take TMS 0 when it lies on a shortest path, else TMS 1 (which then must).
    const int remaining = kDistance[N(from)][N(to)];
    return kDistance[N(kEdges[N(from)].onZero)][N(to)] != remaining - 1;
}

int LongestWalk() { return MaxDistance(); }

bool HoldTms(TapState stable) { return stable == TapState::Reset; }

std::optional<TapState> StateOfCode(uint32_t code) {
    constexpr uint32_t kFirstCode = 1;
    constexpr uint32_t kLastCode = 4;
    if (code < kFirstCode || code > kLastCode) return std::nullopt;
    return static_cast<TapState>(code - kFirstCode);
}

std::string_view StateName(TapState state) { return kNames[N(state)]; }

}  // namespace veltrasim
