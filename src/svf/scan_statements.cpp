#include "svf/scan_statements.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>

#include "api/report/report.h"
#include "scan/scan_execution.h"
#include "scan/tap_state.h"
#include "svf/reader/reader.h"

namespace svf {
namespace {

constexpr size_t kMinPatternWords = 2;
constexpr uint32_t kDigitBits = 4;
constexpr uint32_t kDigitsPerWord = kBitsPerWord / kDigitBits;
// Zero digits ahead of the first stored one, so that packing the last,
// incomplete group of four never reads before the work area.
constexpr size_t kDigitLead = kDigitsPerWord - 1;

long LineOf(const SvfSession& session) { return static_cast<long>(session.reader.lineNumber); }

void ReportStatementError(const SvfSession& session, const char* text) {
    ReportError(session.host.report, "%s %6ld : Error\t: %s", kSvfLine, LineOf(session), text);
}

// A tokenizer failure ends the statement; only the end of the input is ours
// to report, the tokenizer reported the others.
void ReportTokenFailure(const SvfSession& session, Status status) {
    if (status == kEndOfFile) ReportStatementError(session, "illegal end of file");
}

// The patterns of a kind in field order (TDI, TDO, MASK, SMASK).
struct Field {
    int token;
    PatternFlag flag;
    Pattern ScanPart::*pattern;
    const char* alreadyDefined;
};

constexpr Field kFields[] = {
    {kTokenTdi, kGivenTdi, &ScanPart::tdi, "TDI already defined"},
    {kTokenTdo, kGivenTdo, &ScanPart::tdo, "TDO already defined"},
    {kTokenMask, kGivenMask, &ScanPart::mask, "MASK already defined"},
    {kTokenSmask, kGivenSmask, &ScanPart::smask, "SMASK already defined"},
};

const Field* FieldOf(int token) {
    for (const Field& field : kFields) {
        if (field.token == token) return &field;
    }
    return nullptr;
}

// Value of a hexadecimal digit of either case, or -1.
int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The digits of one pattern as they arrive, one byte per digit.
class DigitArea {
public:
    bool Allocate(uint32_t digitCount) {
        capacity_ = digitCount;
        digits_.reset(new (std::nothrow) uint8_t[kDigitLead + digitCount + 1]);
        if (!digits_) return false;
        std::fill_n(digits_.get(), kDigitLead, uint8_t{0});
        return true;
    }

    // Stores one group's digits; 0 or 10 after reporting.
    Status Append(const char* group, const SvfSession& session) {
        for (const char* c = group; *c != '\0'; ++c) {
            if (stored_ == 0 && *c == '0') continue;  // surplus leading zeros
            if (stored_ == capacity_) {
                if (capacity_ == 0) continue;  // a zero-length pattern takes anything
                ReportStatementError(session, "shift pattern too long");
                return kSyntax;
            }
            const int value = DigitValue(*c);
            if (value < 0) {
                ReportError(session.host.report,
                            "%s %6ld : Error\t: illegal character '%c' in pattern", kSvfLine,
                            LineOf(session), *c);
                return kSyntax;
            }
            digits_[kDigitLead + stored_++] = static_cast<uint8_t>(value);
        }
        return kOk;
    }

    // Packs four digits a word from the last one backwards; the words the
    // digits do not reach become 0.
    void Pack(uint16_t* words, size_t wordCount) const {
        const uint8_t* end = digits_.get() + kDigitLead + stored_;
        const uint8_t* first = digits_.get() + kDigitLead;
        size_t w = 0;
        for (; end > first; end -= kDigitsPerWord, ++w) {
            words[w] = static_cast<uint16_t>(end[-1] | end[-2] << 4 | end[-3] << 8 | end[-4] << 12);
        }
        std::fill(words + w, words + wordCount, uint16_t{0});
    }

private:
    std::unique_ptr<uint8_t[]> digits_;
    uint32_t capacity_ = 0;
    uint32_t stored_ = 0;
};

// Reads the length token: a decimal number at the start of its text.
Status ReadLength(SvfSession& session, uint32_t* length) {
    const Token token = NextToken(session);
    if (token.status != kOk) {
        ReportTokenFailure(session, token.status);
        return token.status;
    }
    uint64_t value = 0;
    const char* c = token.text;
    for (; *c >= '0' && *c <= '9' && value <= UINT32_MAX; ++c) {
        value = value * 10 + static_cast<uint64_t>(*c - '0');
    }
    // A sign, or a number beyond 32 bits, is no length either.
    if (c == token.text || value > UINT32_MAX) {
        ReportStatementError(session, "length expected");
        return kSyntax;
    }
    *length = static_cast<uint32_t>(value);
    return kOk;
}

// On an indirect connection every SIR must keep the board chain's total IR
// length, which the first SIR (or the connection set-up) fixed.
Status CheckIrLength(SvfSession& session, uint32_t length) {
    Connection& connection = session.connection;
    const uint32_t header = session.scanParts[kIrHeader].declaredLength;
    const uint32_t trailer = session.scanParts[kIrTrailer].declaredLength;
    const uint64_t total = uint64_t{header} + trailer + length;
    const SvfReport* report = session.host.report;
    if (total != connection.irTotalLength) {
        ReportError(report, "%s %6ld : IR length varies, not allowed with indirect TAP connections",
                    kSvfLine, LineOf(session));
        ReportError(report, "\t\tCurrent IR Header length:  %d", static_cast<int>(header));
        ReportError(report, "\t\tCurrent IR Trailer length: %d", static_cast<int>(trailer));
        ReportError(report, "\t\tCurrent IR Shift length:   %d", static_cast<int>(length));
        ReportError(report, "\t\tCurrent total IR length:   %d", static_cast<int>(total));
        if (connection.irSpecifiedLength != 0) {
            ReportError(report, "\t\tSpecified total IR length: %d",
                        static_cast<int>(connection.irTotalLength));
        } else {
            ReportError(report, "\t\tPrevious total IR length:  %d",
                        static_cast<int>(connection.irTotalLength));
        }
        return kIrLengthVaries;
    }
    if (connection.irSpecifiedLength != 0 && total != connection.irSpecifiedLength) {
        ReportWarning(report, "%s %6ld : Warning\t: Incorrect IR length specified", kSvfLine,
                      LineOf(session));
        ReportWarning(report, "\t\tActual total IR length:    %d", static_cast<int>(total));
        ReportWarning(report, "\t\tSpecified total IR length: %d",
                      static_cast<int>(connection.irSpecifiedLength));
        connection.irSpecifiedLength = 0;  // said once is enough
    }
    return kOk;
}

// The fields up to ";". statementFlags receives the fields given.
Status ParseFields(SvfSession& session, ScanKind kind, uint32_t length, uint32_t* statementFlags) {
    ScanPart& part = session.scanParts[kind];
    for (;;) {
        const Token token = NextToken(session);
        if (token.status != kOk) {
            ReportTokenFailure(session, token.status);
            return kFieldsInterrupted;
        }
        if (token.code == kTokenSemicolon) return kOk;
        const Field* field = FieldOf(token.code);
        if (field == nullptr) {
            ReportStatementError(session, "\"TDI\", \"TDO\", \"MASK\", \"SMASK\" or \";\" expected");
            return kSyntax;
        }
        if ((*statementFlags & field->flag) != 0) {
            ReportStatementError(session, field->alreadyDefined);
            return kSyntax;
        }
        const Status status = ParsePattern(length, kind, part.*field->pattern, session);
        if (status != kOk) return status;
        *statementFlags |= field->flag;
    }
}

Status RunScan(SvfSession& session, ScanKind kind, uint32_t statementFlags) {
    const bool controllerCompare = session.compare.controllerCompare;
    if (kind == kIrBody) {
        SelectStopState(session, ScanRegister::kIr);
        return controllerCompare ? ExecuteIrScanControllerCompare(session, statementFlags)
                                 : ExecuteIrScan(session, statementFlags);
    }
    SelectStopState(session, ScanRegister::kDr);
    return controllerCompare ? ExecuteDrScanControllerCompare(session, statementFlags)
                             : ExecuteDrScan(session, statementFlags);
}

// The host learns of a failed scan at once, through its result code.
Status ScanResult(SvfSession& session, Status status) {
    if (status != kControllerFailed && status != kNoMemory) return kOk;
    if (status == kNoMemory) ReportError(session.host.report, "Error: Unable to allocate memory");
    if (session.host.report != nullptr) {
        session.host.report->resultCode = static_cast<uint32_t>(status);
    }
    return status;
}

ScanKind KindOf(int code) {
    switch (code) {
        case kTokenHir: return kIrHeader;
        case kTokenTir: return kIrTrailer;
        case kTokenSir: return kIrBody;
        case kTokenHdr: return kDrHeader;
        case kTokenTdr: return kDrTrailer;
        default: return kDrBody;
    }
}

}  // namespace

Status ParseScanStatement(int code, SvfSession& session) {
    const ScanKind kind = KindOf(code);
    const bool isBody = kind == kIrBody || kind == kDrBody;
    ScanPart& part = session.scanParts[kind];

    uint32_t length = 0;
    Status status = ReadLength(session, &length);
    if (status != kOk) return status;
    if (isBody && length == 0) {
        ReportStatementError(session, "illegal shift length 0");
        return kSyntax;
    }
    if (kind == kIrBody) {
        Connection& connection = session.connection;
        if (connection.irTotalLength == 0) {
            connection.irTotalLength = session.scanParts[kIrHeader].declaredLength +
                                       session.scanParts[kIrTrailer].declaredLength + length;
        }
        if (connection.cnnModel) {
            status = CheckIrLength(session, length);
            if (status != kOk) return status;
        }
    }
    part.tdo.defined = 0;  // an expected TDO holds for its own statement only
    if (length != part.declaredLength) {
        status = ResizePatterns(length, kind, session);
        if (status != kOk) return status;
    }

    uint32_t statementFlags = 0;
    status = ParseFields(session, kind, length, &statementFlags);
    if (status != kOk) return status;
    if (part.tdi.defined == 0 && length != 0) {
        ReportStatementError(session, "TDI must be defined at start and after length change");
        return kSyntax;
    }
    part.declaredLength = length;
    if (!isBody) return kOk;
    return ScanResult(session, RunScan(session, kind, statementFlags));
}

Status ParsePattern(uint32_t length, ScanKind kind, Pattern& pattern, SvfSession& session) {
    (void)kind;  // every kind's patterns are parsed alike
    Token token = NextToken(session);
    if (token.status != kOk) {
        ReportTokenFailure(session, token.status);
        return token.status;
    }
    if (token.code != kTokenOpen) {
        ReportStatementError(session, "opening bracket expected");
        return kSyntax;
    }
    const uint32_t digitCount = static_cast<uint32_t>((uint64_t{length} + 3) / kDigitBits);
    const size_t words = WordsFor(length);
    DigitArea area;
    if (!area.Allocate(digitCount) ||
        (pattern.bits.size() < words && !TryResize(pattern.bits, words))) {
        ReportStatementError(session, "memory alloc failed");
        return kNoMemory;
    }
    for (;;) {
        token = NextToken(session);
        if (token.status != kOk) {
            ReportTokenFailure(session, token.status);
            return token.status;
        }
        if (token.code == kTokenClose) break;
        const Status status = area.Append(token.text, session);
        if (status != kOk) return status;
    }
    pattern.defined = 1;
    area.Pack(pattern.bits.data(), words);
    return kOk;
}

Status ResizePatterns(uint32_t length, ScanKind kind, SvfSession& session) {
    ScanPart& part = session.scanParts[kind];
    const size_t words = std::max(WordsFor(length), kMinPatternWords);
    // The vectors keep their capacity, so a shorter length reuses the storage.
    for (Pattern* pattern : {&part.tdo, &part.tdi, &part.mask, &part.smask}) {
        if (!TryResize(pattern->bits, words)) {
            ReportStatementError(session, "memory alloc failed");
            return kNoMemory;
        }
    }
    part.partLength = length;
    for (Pattern* pattern : {&part.tdi, &part.tdo}) {
        pattern->defined = 0;
        std::fill(pattern->bits.begin(), pattern->bits.end(), uint16_t{0});
    }
    for (Pattern* pattern : {&part.mask, &part.smask}) {
        pattern->defined = 0;
        std::fill(pattern->bits.begin(), pattern->bits.end(), uint16_t{0xFFFF});
    }
    return kOk;
}

}  // namespace svf
