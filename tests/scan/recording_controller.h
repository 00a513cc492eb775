// A controller table for scan-engine tests that records every shift with the
// exact buffers it was given, answers captures from a scripted TDO stream and
// fails a chosen call. Finer-grained than the simulator's trace: it sees the
// pointers and the bits beyond what a trace line shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "svfplayer/svf_player.h"

namespace scantest {

struct ShiftRecord {
    std::string slot;
    uint32_t tap = 0;
    uint32_t count = 0;
    const uint16_t* tdiPointer = nullptr;
    std::string tdi;       // hex of the bits used, most significant digit first
    bool capture = false;  // a capture buffer was passed
    std::string expected;  // "-" when none was passed
    std::string mask;      // "-" when none was passed
};

class RecordingController {
public:
    RecordingController();  // becomes the current controller
    ~RecordingController();
    RecordingController(const RecordingController&) = delete;
    RecordingController& operator=(const RecordingController&) = delete;

    const VeltraApi* api() const { return &api_; }
    const std::vector<ShiftRecord>& shifts() const { return shifts_; }
    // "Slot count" per call, for checking call sequences.
    std::vector<std::string> Calls() const;

    // Bits that TDO delivers from the next call on, one after the other
    // across calls (missing bits are 0); SVF hex, bit 0 the lowest bit of the
    // last digit.
    void SetTdo(const std::string& hex, uint32_t bitCount);
    // Call number `index` (0-based, over every shift) returns `result`.
    void FailCall(size_t index, uint32_t result) {
        failIndex_ = index;
        failResult_ = result;
    }
    // Removes a slot from the table (the player then sees "not supported").
    void RemoveSlot(VeltraShift VeltraApi::*slot) { api_.*slot = nullptr; }

private:
    template <int Slot>
    static uint32_t Shift(uint32_t tap, const uint16_t* tdi, uint32_t count, uint16_t* tdo);
    template <int Slot>
    static uint32_t ShiftCompare(uint32_t tap, const uint16_t* tdi, uint32_t count, uint16_t* tdo,
                                 const uint16_t* expected, const uint16_t* mask);
    uint32_t Record(const char* slot, uint32_t tap, const uint16_t* tdi, uint32_t count,
                    uint16_t* tdo, const uint16_t* expected, const uint16_t* mask);

    VeltraApi api_{};
    std::vector<ShiftRecord> shifts_;
    std::vector<uint16_t> tdo_;
    uint32_t tdoBits_ = 0;
    uint64_t shiftedBits_ = 0;
    size_t failIndex_ = SIZE_MAX;
    uint32_t failResult_ = 0;
};

// Test bit helpers, written bit by bit on purpose: they are the reference
// the word-wise engine is checked against.
std::vector<uint16_t> FromHex(const std::string& hex, uint32_t bitCount);
std::string ToHex(const uint16_t* words, uint32_t bitCount);
bool BitAt(const uint16_t* words, uint64_t bit);
void SetBit(uint16_t* words, uint64_t bit, bool value);

}  // namespace scantest
