#include "trace.h"

#include <cassert>
#include <initializer_list>
#include <utility>

namespace svfplay {

namespace {

constexpr uint32_t kWordBits = 16;
constexpr uint32_t kDigitBits = 4;
constexpr char kNull[] = "-";

TraceRecorder* activeRecorder = nullptr;

std::string Dec(uint32_t value) { return std::to_string(value); }

std::string OutValue(const uint32_t* value) { return value != nullptr ? Dec(*value) : kNull; }

std::string Line(const char* slot, std::initializer_list<std::string> args,
                 const std::string& result) {
    std::string line = slot;
    for (const auto& arg : args) {
        line += ' ';
        line += arg;
    }
    line += " = ";
    line += result;
    return line;
}

const VeltraApi& Target() { return TraceRecorder::Active().target(); }

template <typename BuildLine>
void Record(BuildLine build) {
    TraceRecorder::Active().Record(build);
}

// Slot names with linkage, so they can be template arguments.
constexpr char kResetTap[] = "ResetTap";
constexpr char kPulseTrst[] = "PulseTrst";
constexpr char kSetTapState[] = "SetTapState";
constexpr char kShiftDr[] = "ShiftDr";
constexpr char kShiftIr[] = "ShiftIr";
constexpr char kShiftDrToPause[] = "ShiftDrToPause";
constexpr char kShiftIrToPause[] = "ShiftIrToPause";
constexpr char kWaitTck[] = "WaitTck";
constexpr char kSetStopState[] = "SetStopState";
constexpr char kSetFrequency[] = "SetFrequency";
constexpr char kSetTckIdleState[] = "SetTckIdleState";
constexpr char kWaitTime[] = "WaitTime";
constexpr char kSetBuffering[] = "SetBuffering";
constexpr char kSetFlagLength[] = "SetFlagLength";
constexpr char kSetStartState[] = "SetStartState";
constexpr char kSetGanging[] = "SetGanging";
constexpr char kShiftDrCompare[] = "ShiftDrCompare";
constexpr char kShiftIrCompare[] = "ShiftIrCompare";
constexpr char kShiftDrCompareToPause[] = "ShiftDrCompareToPause";
constexpr char kShiftIrCompareToPause[] = "ShiftIrCompareToPause";
constexpr char kSetCompareMode[] = "SetCompareMode";
constexpr char kShiftDrLong[] = "ShiftDrLong";
constexpr char kShiftDrLongToPause[] = "ShiftDrLongToPause";
constexpr char kSetTrst[] = "SetTrst";

template <VeltraValueCall VeltraApi::*Slot, const char* Name>
uint32_t TracedValue(uint32_t value) {
    const uint32_t result = (Target().*Slot)(value);
    Record([&] { return Line(Name, {Dec(value)}, Dec(result)); });
    return result;
}

template <VeltraTapCall VeltraApi::*Slot, const char* Name>
uint32_t TracedTap(uint32_t tap) {
    const uint32_t result = (Target().*Slot)(tap);
    Record([&] { return Line(Name, {Dec(tap)}, Dec(result)); });
    return result;
}

// Two plain numbers: (tap, state), (tap, mask), (amount, unit), ...
template <typename Function, Function VeltraApi::*Slot, const char* Name>
uint32_t TracedPair(uint32_t first, uint32_t second) {
    const uint32_t result = (Target().*Slot)(first, second);
    Record([&] { return Line(Name, {Dec(first), Dec(second)}, Dec(result)); });
    return result;
}

template <VeltraShift VeltraApi::*Slot, const char* Name>
uint32_t TracedShift(uint32_t tap, const uint16_t* tdi, uint32_t bits, uint16_t* tdo) {
    const uint32_t result = (Target().*Slot)(tap, tdi, bits, tdo);
    Record([&] {
        return Line(Name, {Dec(tap), HexOfBits(tdi, bits), Dec(bits), HexOfBits(tdo, bits)},
                    Dec(result));
    });
    return result;
}

template <VeltraShiftCompare VeltraApi::*Slot, const char* Name>
uint32_t TracedCompare(uint32_t tap, const uint16_t* tdi, uint32_t bits, uint16_t* tdo,
                       const uint16_t* expected, const uint16_t* mask) {
    const uint32_t result = (Target().*Slot)(tap, tdi, bits, tdo, expected, mask);
    Record([&] {
        return Line(Name,
                    {Dec(tap), HexOfBits(tdi, bits), Dec(bits), HexOfBits(tdo, bits),
                     HexOfBits(expected, bits), HexOfBits(mask, bits)},
                    Dec(result));
    });
    return result;
}

const char* TracedGetErrorText() {
    const char* text = Target().GetErrorText();
    Record([&] { return std::string("GetErrorText = ") + (text != nullptr ? text : kNull); });
    return text;
}

uint32_t TracedGetPodInfo(uint32_t tap, uint32_t* pinMask, uint32_t* levelMask) {
    const uint32_t result = Target().GetPodInfo(tap, pinMask, levelMask);
    Record([&] {
        return Line("GetPodInfo", {Dec(tap), OutValue(pinMask), OutValue(levelMask)}, Dec(result));
    });
    return result;
}

uint32_t TracedGetCompareResult(uint32_t* failMask) {
    const uint32_t result = Target().GetCompareResult(failMask);
    Record([&] { return Line("GetCompareResult", {OutValue(failMask)}, Dec(result)); });
    return result;
}

uint32_t TracedAccessPioPins(uint32_t tap, uint32_t used, uint32_t drive, uint32_t high,
                             uint32_t* readBack) {
    const uint32_t result = Target().AccessPioPins(tap, used, drive, high, readBack);
    Record([&] {
        return Line("AccessPioPins",
                    {Dec(tap), Dec(used), Dec(drive), Dec(high), OutValue(readBack)}, Dec(result));
    });
    return result;
}

uint32_t TracedGetControllerInfo(const uint32_t** record) {
    const uint32_t result = Target().GetControllerInfo(record);
    Record([&] { return Line("GetControllerInfo", {"*"}, Dec(result)); });
    return result;
}

uint32_t TracedSetPodSignal(uint32_t tap, uint32_t signal, uint32_t level) {
    const uint32_t result = Target().SetPodSignal(tap, signal, level);
    Record([&] { return Line("SetPodSignal", {Dec(tap), Dec(signal), Dec(level)}, Dec(result)); });
    return result;
}

// Puts `traced` into the table only where the target has the slot.
template <typename Function>
void Hook(VeltraApi& table, const VeltraApi& target, Function VeltraApi::*slot, Function traced) {
    table.*slot = target.*slot != nullptr ? traced : nullptr;
}

void HookAll(VeltraApi& t, const VeltraApi& target) {
    Hook(t, target, &VeltraApi::GetErrorText, &TracedGetErrorText);
    Hook(t, target, &VeltraApi::ResetTap, &TracedTap<&VeltraApi::ResetTap, kResetTap>);
    Hook(t, target, &VeltraApi::PulseTrst, &TracedTap<&VeltraApi::PulseTrst, kPulseTrst>);
    Hook(t, target, &VeltraApi::SetTapState,
         &TracedPair<VeltraTapStateCall, &VeltraApi::SetTapState, kSetTapState>);
    Hook(t, target, &VeltraApi::ShiftDr, &TracedShift<&VeltraApi::ShiftDr, kShiftDr>);
    Hook(t, target, &VeltraApi::ShiftIr, &TracedShift<&VeltraApi::ShiftIr, kShiftIr>);
    Hook(t, target, &VeltraApi::ShiftDrToPause,
         &TracedShift<&VeltraApi::ShiftDrToPause, kShiftDrToPause>);
    Hook(t, target, &VeltraApi::ShiftIrToPause,
         &TracedShift<&VeltraApi::ShiftIrToPause, kShiftIrToPause>);
    Hook(t, target, &VeltraApi::WaitTck, &TracedValue<&VeltraApi::WaitTck, kWaitTck>);
    Hook(t, target, &VeltraApi::SetStopState,
         &TracedValue<&VeltraApi::SetStopState, kSetStopState>);
    Hook(t, target, &VeltraApi::SetFrequency,
         &TracedValue<&VeltraApi::SetFrequency, kSetFrequency>);
    Hook(t, target, &VeltraApi::SetTckIdleState,
         &TracedValue<&VeltraApi::SetTckIdleState, kSetTckIdleState>);
    Hook(t, target, &VeltraApi::WaitTime,
         &TracedPair<VeltraWaitTime, &VeltraApi::WaitTime, kWaitTime>);
    Hook(t, target, &VeltraApi::SetBuffering,
         &TracedValue<&VeltraApi::SetBuffering, kSetBuffering>);
    Hook(t, target, &VeltraApi::SetFlagLength,
         &TracedPair<VeltraTapValueCall, &VeltraApi::SetFlagLength, kSetFlagLength>);
    Hook(t, target, &VeltraApi::GetPodInfo, &TracedGetPodInfo);
    Hook(t, target, &VeltraApi::SetStartState,
         &TracedPair<VeltraTapStateCall, &VeltraApi::SetStartState, kSetStartState>);
    Hook(t, target, &VeltraApi::SetGanging,
         &TracedPair<VeltraTapValueCall, &VeltraApi::SetGanging, kSetGanging>);
    Hook(t, target, &VeltraApi::ShiftDrCompare,
         &TracedCompare<&VeltraApi::ShiftDrCompare, kShiftDrCompare>);
    Hook(t, target, &VeltraApi::ShiftIrCompare,
         &TracedCompare<&VeltraApi::ShiftIrCompare, kShiftIrCompare>);
    Hook(t, target, &VeltraApi::ShiftDrCompareToPause,
         &TracedCompare<&VeltraApi::ShiftDrCompareToPause, kShiftDrCompareToPause>);
    Hook(t, target, &VeltraApi::ShiftIrCompareToPause,
         &TracedCompare<&VeltraApi::ShiftIrCompareToPause, kShiftIrCompareToPause>);
    Hook(t, target, &VeltraApi::GetCompareResult, &TracedGetCompareResult);
    Hook(t, target, &VeltraApi::SetCompareMode,
         &TracedValue<&VeltraApi::SetCompareMode, kSetCompareMode>);
    Hook(t, target, &VeltraApi::AccessPioPins, &TracedAccessPioPins);
    Hook(t, target, &VeltraApi::GetControllerInfo, &TracedGetControllerInfo);
    Hook(t, target, &VeltraApi::SetPodSignal, &TracedSetPodSignal);
    Hook(t, target, &VeltraApi::ShiftDrLong, &TracedCompare<&VeltraApi::ShiftDrLong, kShiftDrLong>);
    Hook(t, target, &VeltraApi::ShiftDrLongToPause,
         &TracedCompare<&VeltraApi::ShiftDrLongToPause, kShiftDrLongToPause>);
    Hook(t, target, &VeltraApi::SetTrst,
         &TracedPair<VeltraTapValueCall, &VeltraApi::SetTrst, kSetTrst>);
}

}  // namespace

std::string HexOfBits(const uint16_t* words, uint32_t bitCount) {
    if (words == nullptr) return kNull;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const uint32_t digits = (bitCount + kDigitBits - 1) / kDigitBits;
    std::string text(digits, '0');
    for (uint32_t d = 0; d < digits; ++d) {
        const uint32_t first = d * kDigitBits;
        unsigned value = 0;
        for (uint32_t b = first; b < first + kDigitBits && b < bitCount; ++b) {
            const unsigned bit = (words[b / kWordBits] >> (b % kWordBits)) & 1u;
            value |= bit << (b - first);
        }
        text[digits - 1 - d] = kDigits[value];
    }
    return text;
}

TraceRecorder::TraceRecorder(const VeltraApi* target, Sink sink)
    : target_(target), sink_(std::move(sink)) {
    assert(activeRecorder == nullptr && "one trace recorder at a time");
    activeRecorder = this;
    HookAll(table_, *target_);
}

TraceRecorder::~TraceRecorder() { activeRecorder = nullptr; }

TraceRecorder& TraceRecorder::Active() { return *activeRecorder; }

bool TraceFile::Open(const std::string& path, std::string& error) {
    path_ = path;
    stream_.open(path, std::ios::binary | std::ios::trunc);
    if (!stream_) {
        error = "cannot create trace file '" + path + "'";
        return false;
    }
    return true;
}

void TraceFile::Write(const std::string& line) { stream_ << line << '\n'; }

bool TraceFile::Close(std::string& error) {
    stream_.close();
    if (!stream_) {
        error = "cannot write trace file '" + path_ + "'";
        return false;
    }
    return true;
}

}  // namespace svfplay
