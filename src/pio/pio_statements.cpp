#include "pio/pio_statements.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>

#include "controller/controller.h"
#include "pio/pod_pins.h"
#include "report/report.h"
#include "result/error_file.h"
#include "svf/reader/reader.h"

namespace svf {
namespace {

constexpr const char* kPatternCharacters = "HLZUDX";
constexpr const char* kNotSupportedMessage = "Error: PIO is not supported on the used controller";

// The words of a PIOMAP entry: a direction or a column number, then the name.
enum class MapForm { kUnknown, kDirection, kColumn };

const SvfReport* ReportOf(const SvfSession& session) { return session.host.report; }

bool IsDriven(const PodPin& pin) {
    return pin.direction == kDirectionIn || pin.direction == kDirectionInOut;
}
bool IsSensed(const PodPin& pin) {
    return pin.direction == kDirectionOut || pin.direction == kDirectionInOut;
}

bool SameNameIgnoringCase(const std::string& name, std::string_view word) {
    if (name.size() != word.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) !=
            std::toupper(static_cast<unsigned char>(word[i]))) {
            return false;
        }
    }
    return true;
}

PodPin* FindMappedPin(PodPins& pod, std::string_view logicalName) {
    for (const auto& pin : pod.pins) {
        if (SameNameIgnoringCase(pin->logicalName, logicalName)) return pin.get();
    }
    return nullptr;
}

// Value of an all-digit word, saturated above the highest column so that a
// long number cannot wrap into range.
uint32_t ColumnValue(const char* digits) {
    uint32_t value = 0;
    for (const char* c = digits; *c != '\0' && value <= kMaxPodPins; ++c) {
        value = value * 10 + static_cast<uint32_t>(*c - '0');
    }
    return value;
}

// Skips a PIO or PIOMAP statement up to its ";" when PIO is not enabled.
Status SkipPioStatement(SvfSession& session) {
    for (;;) {
        const Token token = NextToken(session);
        if (token.status != kOk) {
            ReportLineError(ReportOf(session), LineOf(session),
                            "could not read PIO(MAP) statement");
            return kSyntax;
        }
        if (token.code == kTokenSemicolon) return kOk;
    }
}

// Direction of an entry in direction form; false for any other word.
bool DirectionOf(int code, uint32_t& direction) {
    switch (code) {
        case kPioWordIn: direction = kDirectionIn; return true;
        case kPioWordOut: direction = kDirectionOut; return true;
        case kPioWordInOut: direction = kDirectionInOut; return true;
        default: return false;
    }
}

Status ReportMapMismatch(const SvfSession& session) {
    ReportLineError(ReportOf(session), LineOf(session), "PIOMAP mismatch with PIO mapping file");
    return kSyntax;
}

// One PIOMAP entry whose first word (code `code`, text `first`) was read.
Status ParseMapEntry(SvfSession& session, MapForm& form, int code, const char* first) {
    const SvfReport* report = ReportOf(session);
    PioState& pio = session.pio;
    ++pio.pioMapCount;
    const bool digits = code == kPioWordDigits;
    if (form == MapForm::kUnknown) form = digits ? MapForm::kColumn : MapForm::kDirection;
    if (form == MapForm::kDirection && digits) {
        ReportLineError(report, LineOf(session), "syntax must be consistent");
        return kSyntax;
    }
    if (form == MapForm::kColumn && !digits) {
        ReportLineError(report, LineOf(session), "column number expected, found '%s'", first);
        return kSyntax;
    }

    const Token name = NextPioWord(session);
    if (name.status != kOk) return kEndOfFile;
    PodPin* pin = FindMappedPin(pio.pod, {name.text, name.length});
    if (pin == nullptr) {
        ReportLineError(report, LineOf(session),
                        "logical name '%s' is not defined in the PIO mapping file", name.text);
        return kSyntax;
    }
    const uint32_t column = form == MapForm::kColumn ? ColumnValue(first) : pio.pioMapCount;
    if (column < 1 || column > kMaxPodPins) return ReportMapMismatch(session);
    if (pio.pod.byColumn[column - 1] != nullptr) {
        ReportLineError(report, LineOf(session), "column number %d redefinition",
                        static_cast<int>(column));
        return kSyntax;
    }
    pio.pod.byColumn[column - 1] = pin;
    pin->column = column;

    pin->direction = kDirectionInOut;
    if (form == MapForm::kDirection && !DirectionOf(code, pin->direction)) {
        ReportLineError(report, LineOf(session), "direction or column number expected, found '%s'",
                        first);
        return kSyntax;
    }
    return kOk;
}

// After ");": the entries must fit the mapping file and fill the columns
// 1..pioMapCount, since every PIO pattern gives one character per column.
Status FinishPioMap(SvfSession& session) {
    PioState& pio = session.pio;
    if (pio.pioMapCount > pio.pod.pinCount) return ReportMapMismatch(session);
    for (uint32_t column = 1; column <= pio.pioMapCount; ++column) {
        if (pio.pod.byColumn[column - 1] == nullptr) {
            ReportLineError(ReportOf(session), LineOf(session),
                            "PIOMAP column %d is missing; columns must be "
                            "numbered 1 to %d without gaps",
                            static_cast<int>(column), static_cast<int>(pio.pioMapCount));
            return kSyntax;
        }
    }
    try {
        pio.pioPattern = std::make_unique<char[]>(pio.pioMapCount + 1);
    } catch (const std::bad_alloc&) {
        ReportLineError(ReportOf(session), LineOf(session), "memory alloc failed");
        return kNoMemory;
    }
    return kOk;
}

// Records the controller's own use of the TAPs' I/O pins, then indexes the
// mapped pins by TAP.
Status CollectTapPins(SvfSession& session) {
    const VeltraApi* api = session.host.api;
    for (uint32_t tap = 1; tap <= kPodTaps; ++tap) {
        uint32_t pinMask = 0;
        uint32_t levelMask = 0;
        if (Call<&VeltraApi::GetPodInfo>(api, tap, &pinMask, &levelMask) != VELTRA_OK ||
            pinMask == 0) {
            continue;
        }
        const Status status = AddTapIoPins(&session.pio.pod, ReportOf(session),
                                           session.options.keepMappedPins, tap, pinMask, levelMask);
        if (status != kOk) return status;
    }
    return BuildTapTables(&session.pio.pod, ReportOf(session));
}

Status HandlePioMap(SvfSession& session) {
    if (session.reader.executedCount != 0) {
        ReportLineError(ReportOf(session), LineOf(session),
                        "PIOMAP must be defined before test commands");
        return kSyntax;
    }
    if (ParsePioMap(session) != kOk) return kPioStatementFailed;
    return CollectTapPins(session);
}

Status HandlePio(SvfSession& session) {
    if (ParsePio(session) != kOk) return kPioStatementFailed;
    const Status status = ApplyPioPattern(session.pio.pod, session.pio.pioPattern.get());
    const SvfReport* report = ReportOf(session);
    switch (status) {
        case kOk: return ExecutePio(session);
        case kSyntax: ReportLineError(report, LineOf(session), "PIO illegal character"); break;
        case kPioDriveOnReadPin:
            ReportLineError(report, LineOf(session), "PIO drive on read pin");
            break;
        case kPioReadOnDrivePin:
            ReportLineError(report, LineOf(session), "PIO read on drive pin");
            break;
        default: ReportError(report, "Error: Internal error"); break;
    }
    return status;
}

// The tokenizer's failures inside PIO: the end of the input is reported
// here, anything else was reported by the tokenizer.
Status TokenFailure(const SvfSession& session, Status status) {
    if (status == kEndOfFile) {
        ReportLineError(ReportOf(session), LineOf(session), "illegal end of file");
    }
    return status;
}

// Reads the next token and checks its code; `expected` names it in the
// message when it differs.
Status ExpectToken(SvfSession& session, int code, const char* expected) {
    const Token token = NextToken(session);
    if (token.status != kOk) return TokenFailure(session, token.status);
    return token.code == code ? kOk : SyntaxError(session, expected);
}

Status ReadPattern(SvfSession& session) {
    PioState& pio = session.pio;
    const Token token = NextToken(session);
    if (token.status != kOk) return TokenFailure(session, token.status);
    const size_t length = token.length;  // NUL bytes included
    if (length != pio.pioMapCount) {
        ReportLineError(ReportOf(session), LineOf(session), "PIO pattern length = %d (incorrect)",
                        static_cast<int>(length));
        return kSyntax;
    }
    if (!pio.pioPattern) {
        ReportError(ReportOf(session), "Error: Internal error");
        return kInternal;
    }
    char* pattern = pio.pioPattern.get();
    for (size_t i = 0; i < length; ++i) {
        pattern[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(token.text[i])));
    }
    pattern[length] = '\0';
    for (size_t i = 0; i < length; ++i) {
        if (std::string_view(kPatternCharacters).find(pattern[i]) == std::string_view::npos) {
            ReportLineError(ReportOf(session), LineOf(session), "illegal character '%c' in pattern",
                            pattern[i]);
            return kSyntax;
        }
    }
    return kOk;
}

// Pod signals (TAP 0) can only be driven high or low.
Status SetPodSignals(SvfSession& session) {
    const TapPinTable* table = session.pio.pod.byTap[0].get();
    if (table == nullptr) return kOk;
    const SvfReport* report = ReportOf(session);
    const VeltraApi* api = session.host.api;
    for (uint32_t pinNumber = 1; pinNumber <= kPinsPerTap; ++pinNumber) {
        const PodPin* pin = table->pins[pinNumber];
        if (pin == nullptr) continue;
        if (pin->value == 'Z') {
            ReportLineError(report, LineOf(session),
                            "Pod pins USER0, USER1 and VPP_E cannot drive high "
                            "impedance");
            return kPioReadOnDrivePin;
        }
        if (pin->value != 'H' && pin->value != 'L') {
            ReportLineError(report, LineOf(session),
                            "Pod pins USER0, USER1 and VPP_E cannot sense");
            return kPioReadOnDrivePin;
        }
        const uint32_t high = pin->value == 'H' ? 1 : 0;
        const uint32_t result =
            Call<&VeltraApi::SetPodSignal>(api, session.connection.testerTap, pinNumber - 1, high);
        if (result == VELTRA_NOT_SUPPORTED) {
            ReportError(report, "%s", kNotSupportedMessage);
            return kNotSupported;
        }
        if (result != VELTRA_OK) {
            ReportError(report, "Error: Setting pod signal failed; %s", FailureText(api, result));
            session.pio.controllerAnswer = result;
            return kPioControllerFailed;
        }
    }
    return kOk;
}

struct PioMasks {
    uint32_t used = 0;
    uint32_t drive = 0;
    uint32_t high = 0;
};

PioMasks MasksOf(const TapPinTable& table) {
    PioMasks masks;
    for (uint32_t pinNumber = 1; pinNumber <= kPinsPerTap; ++pinNumber) {
        const PodPin* pin = table.pins[pinNumber];
        if (pin == nullptr) continue;
        const uint32_t bit = 1u << (pinNumber - 1);
        masks.used |= bit;
        if (!IsDriven(*pin)) continue;
        if (pin->value == 'H' || pin->value == 'L') masks.drive |= bit;
        if (pin->value == 'H') masks.high |= bit;
    }
    return masks;
}

// Column flags (index column - 1) of the PIO pins whose sensed level
// differs from the expected one.
struct PioMismatches {
    uint8_t failed[kMaxPodPins] = {};
    uint32_t count = 0;
};

void CompareTap(const TapPinTable& table, uint32_t readBack, PioMismatches& mismatches) {
    for (uint32_t pinNumber = 1; pinNumber <= kPinsPerTap; ++pinNumber) {
        const PodPin* pin = table.pins[pinNumber];
        if (pin == nullptr || !IsSensed(*pin)) continue;
        if (pin->value != 'U' && pin->value != 'D') continue;
        const bool high = (readBack >> (pinNumber - 1) & 1u) != 0;
        if (high == (pin->value == 'U')) continue;
        mismatches.failed[pin->column - 1] = 1;
        ++mismatches.count;
    }
}

Status AccessTapPins(SvfSession& session, PioMismatches& mismatches) {
    const SvfReport* report = ReportOf(session);
    const VeltraApi* api = session.host.api;
    for (uint32_t tap = 1; tap <= kPodTaps; ++tap) {
        const TapPinTable* table = session.pio.pod.byTap[tap].get();
        if (table == nullptr) continue;
        if (session.options.gangingActive) {
            ReportError(report, "Error: PIO on TAP%d is not supported in ganging mode",
                        static_cast<int>(tap));
            return kNotSupported;
        }
        const PioMasks masks = MasksOf(*table);
        uint32_t readBack = 0;
        const uint32_t result = Call<&VeltraApi::AccessPioPins>(api, tap, masks.used, masks.drive,
                                                                masks.high, &readBack);
        if (result == VELTRA_NOT_SUPPORTED) {
            ReportError(report, "%s", kNotSupportedMessage);
            return kNotSupported;
        }
        if (result != VELTRA_OK) {
            ReportError(report, "Error: Unable to write to PIO pins; %s", FailureText(api, result));
            session.pio.controllerAnswer = result;
            return kPioControllerFailed;
        }
        CompareTap(*table, readBack, mismatches);
    }
    return kOk;
}

// The numbered ERROR file form: one line per failing column, in column order.
Status WriteNumberedPioFailure(SvfSession& session, const PioMismatches& mismatches) {
    if (mismatches.count == 0) return kOk;
    session.counters.failureCount += mismatches.count;
    std::FILE* stream = session.errorFile.errorStream.get();
    if (stream == nullptr) return kOk;
    const int commandId = static_cast<int>(session.counters.commandCount) - 1;
    bool written = true;
    for (uint32_t column = 1; column <= kMaxPodPins && written; ++column) {
        if (mismatches.failed[column - 1] == 0) continue;
        const PodPin* pin = session.pio.pod.byColumn[column - 1];
        const char* name = pin != nullptr ? pin->logicalName.c_str() : "";
        written = std::fprintf(stream, "PAR CMD_ID %d PIN %s BIT_OFFSET 0 LOOP_CNT 0\n", commandId,
                               name) >= 0;
    }
    // Some runtimes buffer a write they cannot do and fail only when flushing.
    if (!written || std::fflush(stream) != 0) {
        ReportError(ReportOf(session), "Error: Unable to write file '%s'",
                    session.paths.errorPath != nullptr ? session.paths.errorPath : "");
        return kWriteFailed;
    }
    return kOk;
}

}  // namespace

Status HandlePioStatement(int code, SvfSession& session) {
    if (!session.pio.pioEnabled) return SkipPioStatement(session);
    switch (code) {
        case kTokenPioMap: return HandlePioMap(session);
        case kTokenPio: return HandlePio(session);
        default: return kOk;
    }
}

Status ParsePioMap(SvfSession& session) {
    PioState& pio = session.pio;
    if (pio.pioMapDefined) {
        ReportLineError(ReportOf(session), LineOf(session), "PIOMAP already defined");
        return kPioStatementFailed;
    }
    pio.pod.byColumn.fill(nullptr);
    pio.pioMapDefined = true;

    Token token = NextPioWord(session);
    if (token.status != kOk) return kEndOfFile;
    if (token.code != kPioWordOpen) {
        ReportLineError(ReportOf(session), LineOf(session), "opening bracket expected");
        return kSyntax;
    }
    MapForm form = MapForm::kUnknown;
    for (token = NextPioWord(session); token.status == kOk; token = NextPioWord(session)) {
        if (token.code == kPioWordCloseSemicolon) return FinishPioMap(session);
        // The word buffer is overwritten by the next read: keep the first word.
        char first[kLineBufferSize];
        std::snprintf(first, sizeof first, "%s", token.text);
        const Status status = ParseMapEntry(session, form, token.code, first);
        if (status != kOk) return status;
    }
    return kEndOfFile;
}

Status ParsePio(SvfSession& session) {
    if (!session.pio.pioMapDefined) {
        ReportLineError(ReportOf(session), LineOf(session),
                        "PIOMAP must be defined before PIO statement");
        return kSyntax;
    }
    Status status = ExpectToken(session, kTokenOpen, "opening bracket expected");
    if (status == kOk) status = ReadPattern(session);
    if (status == kOk) status = ExpectToken(session, kTokenClose, "closing bracket expected");
    if (status == kOk) status = ExpectToken(session, kTokenSemicolon, "semicolon expected");
    return status;
}

Status ExecutePio(SvfSession& session) {
    Status status = SetPodSignals(session);
    if (status != kOk) return status;
    PioMismatches mismatches;
    status = AccessTapPins(session, mismatches);
    if (status != kOk) return status;
    if (session.errorFile.numberedErrorFormat) return WriteNumberedPioFailure(session, mismatches);
    return WritePioFailure(session, mismatches.failed, mismatches.count);
}

}  // namespace svf
