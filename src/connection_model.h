// The connection model read from a CNN file: the tester channels, each with
// its init and terminate sequences and the IR and DR blocks that frame every
// scan. Plain data; the reader builds it, the connection set-up and the
// sequence player read it. Every sequence is kept in the order of the file.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "bit_vector.h"

namespace svf {

enum StepKind : uint32_t { kStepDr = 1, kStepIr = 2, kStepTdio = 3 };

// One item of a step: a bit pattern (boardTap 0) or a reference to the board
// TAP (no bits). Bit arrays hold ceil(bitCount / 16) words or are empty when
// absent; compareBits and expectedBits are present together.
struct ChainSegment {
    uint32_t boardTap = 0;
    uint32_t bitCount = 0;
    BitVector driveBits;
    BitVector compareBits;
    BitVector expectedBits;

    bool IsPattern() const { return !driveBits.empty(); }
};

// One scan of a sequence, or the IR or DR block of a channel. The segments
// are in file order, which is chain order from the TDI side: the last one is
// the first to be shifted.
struct ShiftStep {
    uint32_t kind = 0;  // StepKind
    std::vector<ChainSegment> segments;
};

struct TesterChannel {
    uint32_t testerTap = 0;
    std::vector<ShiftStep> initSeq;  // empty: no init sequence
    std::vector<ShiftStep> termSeq;  // empty: no terminate sequence
    std::unique_ptr<ShiftStep> irShift;
    std::unique_ptr<ShiftStep> drShift;
    uint32_t trstRestricted = 0;
    uint32_t trstFree = 0;
};

// The channels in file order; empty when there is no model (none was read,
// or the read failed).
using CnnModel = std::vector<TesterChannel>;

}  // namespace svf
