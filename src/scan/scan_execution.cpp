#include "scan/scan_execution.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>

#include "controller/controller.h"
#include "report/report.h"
#include "result/error_file.h"

namespace svf {
namespace {

inline constexpr uint16_t kAllOnes = 0xFFFF;
inline constexpr size_t kChunkWords = kChunkBits / kBitsPerWord;
static_assert(kChunkBits % kBitsPerWord == 0, "chunks must start on a word boundary");

// ------------------------------------------------------------- insertion

// Writes n bits, produced word by word by wordAt(i) for the ceil(n/16) source
// words, into `destination` at bit `offset`. The low bits of the first word
// below the offset are kept; bits of the last word above offset + n may be
// overwritten.
template <class WordAt>
void InsertWords(uint16_t* destination, uint32_t offset, uint32_t n, WordAt wordAt) {
    if (n == 0) return;
    uint16_t* out = destination + offset / kBitsPerWord;
    const uint32_t shift = offset % kBitsPerWord;
    const size_t sourceWords = WordsFor(n);
    if (shift == 0) {
        for (size_t i = 0; i < sourceWords; ++i) out[i] = wordAt(i);
        return;
    }
    const uint32_t keptBits = (1u << shift) - 1;
    uint32_t carry = out[0] & keptBits;
    for (size_t i = 0; i < sourceWords; ++i) {
        const uint32_t word = wordAt(i);
        out[i] = static_cast<uint16_t>(carry | (word << shift));
        carry = word >> (kBitsPerWord - shift);
    }
    // The source's last word may spill into one more destination word.
    const size_t lastWord = (shift + n - 1) / kBitsPerWord;
    if (lastWord == sourceWords) out[sourceWords] = static_cast<uint16_t>(carry);
}

void FillBits(uint16_t* destination, uint32_t offset, uint32_t n, uint16_t value) {
    InsertWords(destination, offset, n, [value](size_t) { return value; });
}

// ---------------------------------------------------------- chunked shifts

// The vectors of one shift; each present one advances with the chunks.
struct ShiftVectors {
    const uint16_t* tdi = nullptr;
    uint16_t* capture = nullptr;
    const uint16_t* expected = nullptr;
    const uint16_t* mask = nullptr;

    void Advance(size_t words) {
        if (tdi != nullptr) tdi += words;
        if (capture != nullptr) capture += words;
        if (expected != nullptr) expected += words;
        if (mask != nullptr) mask += words;
    }
};

using ShiftCall = uint32_t (*)(const VeltraApi*, uint32_t tap, const ShiftVectors&, uint32_t);

// One controller slot behind a uniform signature: the capture forms take the
// capture vector, the compare and long forms all six arguments.
template <auto Slot>
uint32_t Invoke(const VeltraApi* api, uint32_t tap, const ShiftVectors& v, uint32_t bitCount) {
    using Function = std::remove_reference_t<decltype(std::declval<VeltraApi>().*Slot)>;
    if constexpr (std::is_same_v<Function, VeltraShift>) {
        return Call<Slot>(api, tap, v.tdi, bitCount, v.capture);
    } else {
        return Call<Slot>(api, tap, v.tdi, bitCount, v.capture, v.expected, v.mask);
    }
}

// The slots of one register and comparison mode. Every chunk but the last
// stays in Pause; the last one ends by the ShiftEnd asked for.
struct ShiftFamily {
    ShiftCall toPause;
    ShiftCall toStop;
    ShiftCall longToPause;  // null: no long form (IR)
    ShiftCall longToStop;
    const char* failureFormat;
};

constexpr const char* kShiftIrFailed = "Error: Shift IR failed; %s";
constexpr const char* kShiftDrFailed = "Error: Shift DR failed; %s";

constexpr ShiftFamily kIrCapture{&Invoke<&VeltraApi::ShiftIrToPause>, &Invoke<&VeltraApi::ShiftIr>,
                                 nullptr, nullptr, kShiftIrFailed};
constexpr ShiftFamily kIrCompare{&Invoke<&VeltraApi::ShiftIrCompareToPause>,
                                 &Invoke<&VeltraApi::ShiftIrCompare>, nullptr, nullptr,
                                 kShiftIrFailed};
constexpr ShiftFamily kDrCapture{&Invoke<&VeltraApi::ShiftDrToPause>, &Invoke<&VeltraApi::ShiftDr>,
                                 &Invoke<&VeltraApi::ShiftDrLongToPause>,
                                 &Invoke<&VeltraApi::ShiftDrLong>, kShiftDrFailed};
constexpr ShiftFamily kDrCompare{
    &Invoke<&VeltraApi::ShiftDrCompareToPause>, &Invoke<&VeltraApi::ShiftDrCompare>,
    &Invoke<&VeltraApi::ShiftDrLongToPause>, &Invoke<&VeltraApi::ShiftDrLong>, kShiftDrFailed};

uint32_t ShiftInChunks(const ShiftFamily& family, const VeltraApi* api, const SvfReport* report,
                       uint32_t tap, ShiftVectors vectors, uint32_t bitCount, ShiftEnd end,
                       bool longShift) {
    const bool pause = end == ShiftEnd::kPause;
    uint32_t result = VELTRA_OK;
    if (bitCount == 0) return result;
    if (longShift && family.longToPause != nullptr) {
        result = (pause ? family.longToPause : family.longToStop)(api, tap, vectors, bitCount);
    } else {
        while (bitCount > kMaxShiftBits && result == VELTRA_OK) {
            result = family.toPause(api, tap, vectors, kChunkBits);
            bitCount -= kChunkBits;
            vectors.Advance(kChunkWords);
        }
        if (result == VELTRA_OK) {
            result = (pause ? family.toPause : family.toStop)(api, tap, vectors, bitCount);
        }
    }
    if (result != VELTRA_OK) ReportError(report, family.failureFormat, FailureText(api, result));
    return result;
}

// ------------------------------------------------------------ composition

struct ScanSurvey {
    std::array<const ScanPart*, 3> parts{};  // the non-empty parts, in order
    std::array<bool, 3> compared{};
    size_t count = 0;
    uint64_t totalBits = 0;
    size_t comparedCount = 0;
    bool comparedHasMask = false;
    bool anySmask = false;
};

ScanSurvey Survey(const SvfSession& session, const std::array<ScanKind, 3>& order, ScanKind body,
                  uint32_t statementFlags) {
    ScanSurvey survey;
    for (ScanKind kind : order) {
        const ScanPart& part = session.scanParts[kind];
        if (part.partLength == 0) continue;
        // A header or trailer compares while its last statement's TDO stands;
        // the body only when this statement gave TDO.
        const bool compared =
            kind == body ? (statementFlags & kGivenTdo) != 0 : part.tdo.defined != 0;
        survey.parts[survey.count] = &part;
        survey.compared[survey.count] = compared;
        ++survey.count;
        survey.totalBits += part.partLength;
        if (compared) {
            ++survey.comparedCount;
            if (part.mask.defined != 0) survey.comparedHasMask = true;
        }
        if (part.smask.defined != 0) survey.anySmask = true;
    }
    return survey;
}

// Sizes a work buffer for `words`; reuses its storage when large enough.
uint16_t* WorkBuffer(BitVector& buffer, size_t words) {
    if (buffer.size() < words && !TryResize(buffer, words)) return nullptr;
    return buffer.data();
}

// The composed vectors of one scan; null where none is passed.
struct Composition {
    const uint16_t* tdi = nullptr;
    const uint16_t* expected = nullptr;
    const uint16_t* mask = nullptr;
    uint16_t* capture = nullptr;
};

enum class MaskSense { kCompareOnes, kIgnoreOnes };

const uint16_t* ComposeTdi(const ScanSurvey& survey, BitVector& buffer, size_t words) {
    if (survey.count == 1 && !survey.anySmask) return survey.parts[0]->tdi.bits.data();
    uint16_t* out = WorkBuffer(buffer, words);
    if (out == nullptr) return nullptr;
    uint32_t offset = 0;
    for (size_t i = 0; i < survey.count; ++i) {
        const ScanPart& part = *survey.parts[i];
        const uint16_t* tdi = part.tdi.bits.data();
        if (part.smask.defined != 0) {
            InsertMaskedBits(out, offset, tdi, part.smask.bits.data(), part.partLength);
        } else {
            InsertBits(out, offset, tdi, part.partLength);
        }
        offset += part.partLength;
    }
    return out;
}

// Sets *result to the expected vector, or leaves it null when nothing is
// compared. False when the buffer cannot be allocated.
bool ComposeExpected(const ScanSurvey& survey, BitVector& buffer, size_t words,
                     const uint16_t** result) {
    if (survey.comparedCount == 0) return true;
    if (survey.count == 1) {
        *result = survey.parts[0]->tdo.bits.data();
        return true;
    }
    uint16_t* out = WorkBuffer(buffer, words);
    if (out == nullptr) return false;
    uint32_t offset = 0;
    for (size_t i = 0; i < survey.count; ++i) {
        const ScanPart& part = *survey.parts[i];
        // Uncompared parts keep whatever the buffer held: the mask hides them.
        if (survey.compared[i]) InsertBits(out, offset, part.tdo.bits.data(), part.partLength);
        offset += part.partLength;
    }
    *result = out;
    return true;
}

// Sets *result to the mask vector in the given sense, or leaves it null when
// every bit of the expected vector counts. False when out of memory.
bool ComposeMask(const ScanSurvey& survey, MaskSense sense, BitVector& buffer, size_t words,
                 const uint16_t** result) {
    const bool partlyCompared = survey.comparedCount > 0 && survey.comparedCount < survey.count;
    if (!survey.comparedHasMask && !partlyCompared) return true;
    const bool ignoreOnes = sense == MaskSense::kIgnoreOnes;
    // The player's own sense needs no copy for a single part: its MASK is it.
    if (survey.count == 1 && !ignoreOnes) {
        *result = survey.parts[0]->mask.bits.data();
        return true;
    }
    uint16_t* out = WorkBuffer(buffer, words);
    if (out == nullptr) return false;
    const uint16_t compareAll = ignoreOnes ? 0 : kAllOnes;
    uint32_t offset = 0;
    for (size_t i = 0; i < survey.count; ++i) {
        const ScanPart& part = *survey.parts[i];
        const uint32_t n = part.partLength;
        if (!survey.compared[i]) {
            FillBits(out, offset, n, static_cast<uint16_t>(~compareAll));
        } else if (part.mask.defined == 0) {
            FillBits(out, offset, n, compareAll);
        } else if (ignoreOnes) {
            InsertInvertedBits(out, offset, part.mask.bits.data(), n);
        } else {
            InsertBits(out, offset, part.mask.bits.data(), n);
        }
        offset += n;
    }
    *result = out;
    return true;
}

// ----------------------------------------------------------------- a scan

// What one scan register needs: its parts in composition order (header,
// body, trailer), its lead and tail, its end and Pause states, its shifts.
struct Register {
    std::array<ScanKind, 3> order;
    ScanKind body;
    LeadTail Connection::*lead;
    LeadTail Connection::*tail;
    int32_t TapStates::*endState;
    int32_t pauseState;
    const ShiftFamily& capture;
    const ShiftFamily& compare;
    bool longForms;  // the register has long shifts (DR)
};

const Register kIr{{kIrHeader, kIrBody, kIrTrailer},
                   kIrBody,
                   &Connection::irLead,
                   &Connection::irTail,
                   &TapStates::endIrState,
                   kStateIrPause,
                   kIrCapture,
                   kIrCompare,
                   false};
const Register kDr{{kDrHeader, kDrBody, kDrTrailer},
                   kDrBody,
                   &Connection::drLead,
                   &Connection::drTail,
                   &TapStates::endDrState,
                   kStateDrPause,
                   kDrCapture,
                   kDrCompare,
                   true};

void HandMismatches(SvfSession& session, const uint16_t* mismatch, size_t words) {
    const auto count = static_cast<uint32_t>(words);
    // The writer reports its own failures; a lost record does not fail the scan.
    if (session.errorFile.numberedErrorFormat) {
        WriteNumberedScanFailure(session, mismatch, count);
    } else {
        WriteScanFailure(session, mismatch, count);
    }
}

Status ExecuteScan(SvfSession& session, uint32_t statementFlags, const Register& reg,
                   bool controllerCompare) {
    const VeltraApi* api = session.host.api;
    const SvfReport* report = session.host.report;
    const uint32_t tap = session.connection.testerTap;
    const bool longShifts = reg.longForms && session.compare.longDrShifts;
    const LeadTail& lead = session.connection.*reg.lead;
    const LeadTail& tail = session.connection.*reg.tail;
    const bool endInPause = session.tap.*reg.endState == reg.pauseState;
    const ShiftFamily& family = controllerCompare ? reg.compare : reg.capture;

    if (lead.bitCount != 0 && ShiftInChunks(family, api, report, tap, ShiftVectors{lead.bits},
                                            lead.bitCount, ShiftEnd::kPause, longShifts) != 0) {
        return kControllerFailed;
    }

    const ScanSurvey survey = Survey(session, reg.order, reg.body, statementFlags);
    if (survey.count == 0) return kOk;  // not reached from a statement: the body has a length
    if (survey.totalBits > std::numeric_limits<uint32_t>::max()) return kNoMemory;
    const auto n = static_cast<uint32_t>(survey.totalBits);
    const size_t words = WordsFor(n);
    ScanWorkBuffers& work = session.scanWork;

    Composition scan;
    scan.tdi = ComposeTdi(survey, work.tdi, words);
    if (scan.tdi == nullptr) return kNoMemory;
    const MaskSense sense = controllerCompare ? MaskSense::kIgnoreOnes : MaskSense::kCompareOnes;
    if (!ComposeExpected(survey, work.expected, words, &scan.expected) ||
        !ComposeMask(survey, sense, work.mask, words, &scan.mask)) {
        return kNoMemory;
    }
    if (!controllerCompare && survey.comparedCount > 0) {
        scan.capture = WorkBuffer(work.capture, words);
        if (scan.capture == nullptr) return kNoMemory;
    }

    ShiftVectors body{scan.tdi, scan.capture, nullptr, nullptr};
    if (controllerCompare) {
        body.expected = scan.expected;
        body.mask = scan.mask;
    }
    const ShiftEnd bodyEnd = endInPause || tail.bitCount != 0 ? ShiftEnd::kPause : ShiftEnd::kStop;
    if (ShiftInChunks(family, api, report, tap, body, n, bodyEnd, longShifts) != 0) {
        return kControllerFailed;
    }

    if (scan.capture != nullptr &&
        CompareBits(scan.capture, scan.capture, scan.expected, scan.mask, n)) {
        HandMismatches(session, scan.capture, words);
    }

    const ShiftEnd tailEnd = endInPause ? ShiftEnd::kPause : ShiftEnd::kStop;
    if (tail.bitCount != 0 && ShiftInChunks(family, api, report, tap, ShiftVectors{tail.bits},
                                            tail.bitCount, tailEnd, longShifts) != 0) {
        return kControllerFailed;
    }
    session.tap.tapState = session.tap.stopState;
    return kOk;
}

}  // namespace

Status ExecuteIrScan(SvfSession& session, uint32_t statementFlags) {
    return ExecuteScan(session, statementFlags, kIr, false);
}

Status ExecuteDrScan(SvfSession& session, uint32_t statementFlags) {
    return ExecuteScan(session, statementFlags, kDr, false);
}

Status ExecuteIrScanControllerCompare(SvfSession& session, uint32_t statementFlags) {
    return ExecuteScan(session, statementFlags, kIr, true);
}

Status ExecuteDrScanControllerCompare(SvfSession& session, uint32_t statementFlags) {
    return ExecuteScan(session, statementFlags, kDr, true);
}

uint32_t ShiftIrInChunks(const VeltraApi* api, const SvfReport* report, uint32_t tap,
                         const uint16_t* tdi, uint32_t bitCount, uint16_t* capture, ShiftEnd end) {
    return ShiftInChunks(kIrCapture, api, report, tap, ShiftVectors{tdi, capture}, bitCount, end,
                         false);
}

uint32_t ShiftIrCompareInChunks(const VeltraApi* api, const SvfReport* report, uint32_t tap,
                                const uint16_t* tdi, uint32_t bitCount, const uint16_t* expected,
                                const uint16_t* mask, ShiftEnd end) {
    return ShiftInChunks(kIrCompare, api, report, tap, ShiftVectors{tdi, nullptr, expected, mask},
                         bitCount, end, false);
}

uint32_t ShiftDrInChunks(const VeltraApi* api, const SvfReport* report, uint32_t tap,
                         const uint16_t* tdi, uint32_t bitCount, uint16_t* capture, ShiftEnd end,
                         bool longDrShifts) {
    return ShiftInChunks(kDrCapture, api, report, tap, ShiftVectors{tdi, capture}, bitCount, end,
                         longDrShifts);
}

uint32_t ShiftDrCompareInChunks(const VeltraApi* api, const SvfReport* report, uint32_t tap,
                                const uint16_t* tdi, uint32_t bitCount, const uint16_t* expected,
                                const uint16_t* mask, ShiftEnd end, bool longDrShifts) {
    return ShiftInChunks(kDrCompare, api, report, tap, ShiftVectors{tdi, nullptr, expected, mask},
                         bitCount, end, longDrShifts);
}

void InsertBits(uint16_t* destination, uint32_t offset, const uint16_t* source, uint32_t n) {
    if (n != 0 && offset % kBitsPerWord == 0) {
        std::copy_n(source, WordsFor(n), destination + offset / kBitsPerWord);
        return;
    }
    InsertWords(destination, offset, n, [source](size_t i) { return source[i]; });
}

void InsertInvertedBits(uint16_t* destination, uint32_t offset, const uint16_t* source,
                        uint32_t n) {
    InsertWords(destination, offset, n,
                [source](size_t i) { return static_cast<uint16_t>(~source[i]); });
}

void InsertMaskedBits(uint16_t* destination, uint32_t offset, const uint16_t* a, const uint16_t* b,
                      uint32_t n) {
    InsertWords(destination, offset, n,
                [a, b](size_t i) { return static_cast<uint16_t>(a[i] & b[i]); });
}

bool CompareBits(uint16_t* output, const uint16_t* captured, const uint16_t* expected,
                 const uint16_t* mask, uint32_t n) {
    const size_t words = WordsFor(n);
    const uint32_t tailBits = n % kBitsPerWord;
    uint32_t any = 0;
    for (size_t i = 0; i < words; ++i) {
        uint32_t difference = static_cast<uint32_t>(captured[i] ^ expected[i]);
        if (mask != nullptr) difference &= mask[i];
        if (i + 1 == words && tailBits != 0) difference &= kAllOnes >> (kBitsPerWord - tailBits);
        if (output != nullptr) output[i] = static_cast<uint16_t>(difference);
        any |= difference;
    }
    return any != 0;
}

}  // namespace svf
