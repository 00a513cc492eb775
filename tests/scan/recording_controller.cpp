#include "recording_controller.h"

#include <cctype>

namespace scantest {
namespace {

RecordingController* current = nullptr;

const char* ErrorText() { return "chain broken"; }

enum SlotId { kShiftDr, kShiftIr, kShiftDrToPause, kShiftIrToPause };
enum CompareSlotId {
    kShiftDrCompare,
    kShiftIrCompare,
    kShiftDrCompareToPause,
    kShiftIrCompareToPause,
    kShiftDrLong,
    kShiftDrLongToPause
};
constexpr const char* kShiftNames[] = {"ShiftDr", "ShiftIr", "ShiftDrToPause", "ShiftIrToPause"};
constexpr const char* kCompareNames[] = {"ShiftDrCompare",        "ShiftIrCompare",
                                         "ShiftDrCompareToPause", "ShiftIrCompareToPause",
                                         "ShiftDrLong",           "ShiftDrLongToPause"};

}  // namespace

bool BitAt(const uint16_t* words, uint64_t bit) { return (words[bit / 16] >> (bit % 16)) & 1u; }

void SetBit(uint16_t* words, uint64_t bit, bool value) {
    const auto one = static_cast<uint16_t>(1u << (bit % 16));
    if (value) {
        words[bit / 16] = static_cast<uint16_t>(words[bit / 16] | one);
    } else {
        words[bit / 16] = static_cast<uint16_t>(words[bit / 16] & ~one);
    }
}

std::vector<uint16_t> FromHex(const std::string& hex, uint32_t bitCount) {
    std::vector<uint16_t> words((bitCount + 15) / 16 + 1, 0);
    uint64_t bit = 0;
    for (auto c = hex.rbegin(); c != hex.rend(); ++c) {
        const int digit = std::isdigit(static_cast<unsigned char>(*c))
                              ? *c - '0'
                              : std::toupper(static_cast<unsigned char>(*c)) - 'A' + 10;
        for (int b = 0; b < 4; ++b, ++bit) {
            if (bit < bitCount) SetBit(words.data(), bit, (digit >> b) & 1);
        }
    }
    return words;
}

std::string ToHex(const uint16_t* words, uint32_t bitCount) {
    std::string hex;
    for (int64_t digit = (static_cast<int64_t>(bitCount) + 3) / 4 - 1; digit >= 0; --digit) {
        int value = 0;
        for (int b = 3; b >= 0; --b) {
            const uint64_t bit = static_cast<uint64_t>(digit) * 4 + static_cast<uint64_t>(b);
            value = value * 2 + (bit < bitCount && BitAt(words, bit) ? 1 : 0);
        }
        hex += "0123456789ABCDEF"[value];
    }
    return hex;
}

RecordingController::RecordingController() {
    current = this;
    api_.GetErrorText = ErrorText;
    api_.ShiftDr = Shift<kShiftDr>;
    api_.ShiftIr = Shift<kShiftIr>;
    api_.ShiftDrToPause = Shift<kShiftDrToPause>;
    api_.ShiftIrToPause = Shift<kShiftIrToPause>;
    api_.ShiftDrCompare = ShiftCompare<kShiftDrCompare>;
    api_.ShiftIrCompare = ShiftCompare<kShiftIrCompare>;
    api_.ShiftDrCompareToPause = ShiftCompare<kShiftDrCompareToPause>;
    api_.ShiftIrCompareToPause = ShiftCompare<kShiftIrCompareToPause>;
    api_.ShiftDrLong = ShiftCompare<kShiftDrLong>;
    api_.ShiftDrLongToPause = ShiftCompare<kShiftDrLongToPause>;
}

RecordingController::~RecordingController() { current = nullptr; }

std::vector<std::string> RecordingController::Calls() const {
    std::vector<std::string> calls;
    for (const ShiftRecord& shift : shifts_) {
        calls.push_back(shift.slot + " " + std::to_string(shift.count));
    }
    return calls;
}

void RecordingController::SetTdo(const std::string& hex, uint32_t bitCount) {
    tdo_ = FromHex(hex, bitCount);
    tdoBits_ = bitCount;
    shiftedBits_ = 0;
}

template <int Slot>
uint32_t RecordingController::Shift(uint32_t tap, const uint16_t* tdi, uint32_t count,
                                    uint16_t* tdo) {
    return current->Record(kShiftNames[Slot], tap, tdi, count, tdo, nullptr, nullptr);
}

template <int Slot>
uint32_t RecordingController::ShiftCompare(uint32_t tap, const uint16_t* tdi, uint32_t count,
                                           uint16_t* tdo, const uint16_t* expected,
                                           const uint16_t* mask) {
    return current->Record(kCompareNames[Slot], tap, tdi, count, tdo, expected, mask);
}

uint32_t RecordingController::Record(const char* slot, uint32_t tap, const uint16_t* tdi,
                                     uint32_t count, uint16_t* tdo, const uint16_t* expected,
                                     const uint16_t* mask) {
    ShiftRecord record;
    record.slot = slot;
    record.tap = tap;
    record.count = count;
    record.tdiPointer = tdi;
    record.tdi = tdi != nullptr ? ToHex(tdi, count) : "-";
    record.capture = tdo != nullptr;
    record.expected = expected != nullptr ? ToHex(expected, count) : "-";
    record.mask = mask != nullptr ? ToHex(mask, count) : "-";
    const bool fail = shifts_.size() == failIndex_;
    shifts_.push_back(record);
    if (fail) return failResult_;
    for (uint32_t i = 0; tdo != nullptr && i < count; ++i) {
        const uint64_t bit = shiftedBits_ + i;
        SetBit(tdo, i, bit < tdoBits_ && BitAt(tdo_.data(), bit));
    }
    shiftedBits_ += count;
    return VELTRA_OK;
}

}  // namespace scantest
