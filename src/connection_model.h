// The connection model read from a CNN file: a list of tester channels, each
// with its init and terminate sequences and the IR and DR blocks that frame
// every scan. Plain data; the reader builds it, the connection set-up and the
// sequence player read it. Each node owns its successors; destruction walks
// the lists iteratively, so a file with very many items cannot exhaust the
// stack.
#pragma once

#include <cstdint>
#include <memory>

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
    std::unique_ptr<ChainSegment> next;

    bool IsPattern() const { return !driveBits.empty(); }
    ~ChainSegment() {
        while (next) next = std::move(next->next);
    }
};

// One scan of a sequence, or the IR or DR block of a channel. Segments are
// kept in the reverse of their order in the file (each item is put at the
// head of the list).
struct ShiftStep {
    uint32_t kind = 0;  // StepKind
    std::unique_ptr<ChainSegment> segments;
    std::unique_ptr<ShiftStep> next;

    ~ShiftStep() {
        while (next) next = std::move(next->next);
    }
};

struct TesterChannel {
    uint32_t testerTap = 0;
    std::unique_ptr<ShiftStep> initSeq;
    std::unique_ptr<ShiftStep> termSeq;
    std::unique_ptr<ShiftStep> irShift;
    std::unique_ptr<ShiftStep> drShift;
    std::unique_ptr<TesterChannel> next;
    uint32_t trstRestricted = 0;
    uint32_t trstFree = 0;

    ~TesterChannel() {
        while (next) next = std::move(next->next);
    }
};

using CnnModel = std::unique_ptr<TesterChannel>;

}  // namespace svf
