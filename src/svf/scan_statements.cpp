#include "svf/scan_statements.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

#include "report/report.h"
#include "report/result_code.h"
#include "scan/scan_execution.h"
#include "scan/tap_state.h"
#include "svf/reader/reader.h"

namespace svf {
namespace {

constexpr size_t kMinPatternWords = 2;
constexpr uint32_t kDigitBits = 4;
constexpr uint32_t kDigitsPerWord = kBitsPerWord / kDigitBits;

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

constexpr uint32_t kDigitsPerPair = 2 * kDigitsPerWord;
constexpr uint64_t kEveryByte = 0x0101010101010101;
constexpr uint64_t kByteTopBits = 0x80 * kEveryByte;
constexpr uint64_t kCaseBits = 0x20 * kEveryByte;
constexpr uint64_t kLowNibbles = 0x0F * kEveryByte;
constexpr uint64_t kEvenBytes = 0x00FF00FF00FF00FF;
constexpr uint64_t kEvenHalves = 0x0000FFFF0000FFFF;
static_assert(std::endian::native == std::endian::little,
              "digits are read from memory in this order");

// The top bit of each of eight bytes set where the byte lies in [first, last]
// (never for bytes above 127).
constexpr uint64_t BytesInRange(uint64_t bytes, unsigned first, unsigned last) {
    const uint64_t low7 = bytes & ~kByteTopBits;
    const uint64_t fromFirst = low7 + (0x80 - first) * kEveryByte;
    const uint64_t beyondLast = low7 + (0x7F - last) * kEveryByte;
    return fromFirst & ~beyondLast & ~bytes & kByteTopBits;
}

// Value of each character as a hexadecimal digit of either case, or -1.
constexpr std::array<int8_t, 256> kDigitValues = [] {
    std::array<int8_t, 256> values{};
    values.fill(-1);
    for (int i = 0; i < 10; ++i) values['0' + i] = static_cast<int8_t>(i);
    for (int i = 0; i < 6; ++i) {
        values['A' + i] = static_cast<int8_t>(10 + i);
        values['a' + i] = static_cast<int8_t>(10 + i);
    }
    return values;
}();

// Packs the digits of one pattern straight into its words as they arrive,
// so that no digit is stored twice. The length fixes the digit count D, and
// the k-th digit read lands as digit D-1-k counted from the right; a pattern
// given with fewer digits is moved down once at its end.
class PatternPacker {
  public:
    PatternPacker(uint16_t* words, size_t wordCount, uint32_t digitCount)
        : words_(words), wordCount_(wordCount), capacity_(digitCount) {}

    // Stores one group's digits; 0 or 10 after reporting.
    Status Append(const char* group, size_t length, const SvfSession& session) {
        const char* c = group;
        const char* const groupEnd = group + length;  // a NUL byte is a character too
        if (stored_ == 0) {
            while (c != groupEnd && *c == '0') ++c;  // surplus leading zeros
        }
        if (capacity_ == 0) return kOk;  // a zero-length pattern takes anything
        const auto count = static_cast<size_t>(groupEnd - c);
        const char* const end = c + std::min<size_t>(count, capacity_ - stored_);
        // Digit by digit up to the start of a word, then whole words (nearly
        // every digit of a long pattern), then the rest. A word holding a
        // character that is no digit is left to the last loop to report.
        for (; c != end && (capacity_ - stored_) % kDigitsPerWord != 0; ++c) {
            if (!StoreDigit(*c, session)) return kSyntax;
        }
        if ((capacity_ - stored_) % kDigitsPerWord == 0) {
            uint16_t* word = words_ + (capacity_ - stored_) / kDigitsPerWord;  // past the next
            for (; end - c >= std::ptrdiff_t{kDigitsPerPair}; c += kDigitsPerPair) {
                uint32_t high = 0;
                uint32_t low = 0;
                if (!PairValue(c, &high, &low)) break;
                *--word = static_cast<uint16_t>(high);
                *--word = static_cast<uint16_t>(low);
            }
            for (; end - c >= std::ptrdiff_t{kDigitsPerWord}; c += kDigitsPerWord) {
                const int32_t value = WordValue(c);
                if (value < 0) break;
                *--word = static_cast<uint16_t>(value);
            }
            stored_ = capacity_ - static_cast<uint32_t>(word - words_) * kDigitsPerWord;
        }
        for (; c != end; ++c) {
            if (!StoreDigit(*c, session)) return kSyntax;
        }
        if (c != groupEnd) {
            ReportStatementError(session, "shift pattern too long");
            return kSyntax;
        }
        return kOk;
    }

    // Completes the words once the pattern is closed; the words the digits do
    // not reach become 0.
    void Finish() {
        const uint32_t missing = capacity_ - stored_;
        if (missing == 0) return;  // every word was written
        if (stored_ == 0) {
            std::fill_n(words_, wordCount_, uint16_t{0});
            return;
        }
        // The digits read sit as if `missing` zero digits followed: write the
        // word in progress (if any) so, then shift them all down into place.
        // The words below it are shifted out: their old contents do not matter.
        const uint32_t low = missing % kDigitsPerWord;
        if (low != 0) {
            words_[missing / kDigitsPerWord] =
                static_cast<uint16_t>(pending_ << (low * kDigitBits));
        }
        ShiftDown(uint64_t{missing} * kDigitBits);
    }

  private:
    // Eight digits as two words (high: the first four), all at once in one
    // 8-byte number; false when one of them is no digit.
    static bool PairValue(const char* c, uint32_t* high, uint32_t* low) {
        uint64_t bytes = 0;
        std::memcpy(&bytes, c, sizeof bytes);  // byte i is c[i]
        const uint64_t decimal = BytesInRange(bytes, '0', '9');
        const uint64_t letter = BytesInRange(bytes | kCaseBits, 'a', 'f');  // either case
        if ((decimal | letter) != kByteTopBits) return false;
        // '0'..'9' have bit 6 clear, the letters set: their low four bits plus 9.
        const uint64_t nibbles = (bytes & kLowNibbles) + (bytes >> 6 & kEveryByte) * 9;
        // Byte 2i becomes digit 2i and 2i + 1, then bits 0-15 and 32-47 the
        // digits 0-3 and 4-7, the first one highest.
        const uint64_t pairs = (nibbles << 4 | nibbles >> 8) & kEvenBytes;
        const uint64_t quads = (pairs << 8 | pairs >> 16) & kEvenHalves;
        *high = static_cast<uint32_t>(quads & 0xFFFF);
        *low = static_cast<uint32_t>(quads >> 32 & 0xFFFF);
        return true;
    }

    // The value of four digits, or -1 when one of them is no digit.
    static int32_t WordValue(const char* c) {
        const int32_t d0 = kDigitValues[static_cast<unsigned char>(c[0])];
        const int32_t d1 = kDigitValues[static_cast<unsigned char>(c[1])];
        const int32_t d2 = kDigitValues[static_cast<unsigned char>(c[2])];
        const int32_t d3 = kDigitValues[static_cast<unsigned char>(c[3])];
        if ((d0 | d1 | d2 | d3) < 0) return -1;
        return d0 << 12 | d1 << 8 | d2 << 4 | d3;
    }

    // Stores one digit, writing its word when the digit completes it; false
    // after reporting a character that is no digit.
    bool StoreDigit(char c, const SvfSession& session) {
        const int8_t value = kDigitValues[static_cast<unsigned char>(c)];
        if (value < 0) {
            ReportLineError(session.host.report, LineOf(session),
                            "illegal character '%c' in pattern", c);
            return false;
        }
        pending_ = pending_ << kDigitBits | static_cast<uint32_t>(value);
        ++stored_;
        const uint32_t position = capacity_ - stored_;  // of this digit, from the right
        if (position % kDigitsPerWord == 0) {
            words_[position / kDigitsPerWord] = static_cast<uint16_t>(pending_);
            pending_ = 0;
        }
        return true;
    }

    // words_ >>= bits, zeros coming in at the top.
    void ShiftDown(uint64_t bits) {
        const size_t wordShift = static_cast<size_t>(bits / kBitsPerWord);
        const auto bitShift = static_cast<uint32_t>(bits % kBitsPerWord);
        for (size_t i = 0; i < wordCount_; ++i) {
            const size_t from = i + wordShift;
            const uint32_t low = from < wordCount_ ? words_[from] : 0u;
            const uint32_t high = from + 1 < wordCount_ ? words_[from + 1] : 0u;
            words_[i] = static_cast<uint16_t>((low | high << kBitsPerWord) >> bitShift);
        }
    }

    uint16_t* words_;
    size_t wordCount_;
    uint32_t capacity_;     // digits the length allows
    uint32_t stored_ = 0;   // digits read so far
    uint32_t pending_ = 0;  // digits read of the word not yet written
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
        ReportLineWarning(report, LineOf(session), "Incorrect IR length specified");
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
            return kScanFieldsInterrupted;
        }
        if (token.code == kTokenSemicolon) return kOk;
        const Field* field = FieldOf(token.code);
        if (field == nullptr) {
            ReportStatementError(session,
                                 "\"TDI\", \"TDO\", \"MASK\", \"SMASK\" or \";\" expected");
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
    StoreResultCode(session.host.report, status);
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
        if (!connection.cnnModel.empty()) {
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
    if (pattern.bits.size() < words && !TryResize(pattern.bits, words)) {
        ReportStatementError(session, "memory alloc failed");
        return kNoMemory;
    }
    // A failed pattern leaves its words half written: the run ends with it.
    PatternPacker packer(pattern.bits.data(), words, digitCount);
    for (;;) {
        token = NextToken(session);
        if (token.status != kOk) {
            ReportTokenFailure(session, token.status);
            return token.status;
        }
        if (token.code == kTokenClose) break;
        const Status status = packer.Append(token.text, token.length, session);
        if (status != kOk) return status;
    }
    packer.Finish();
    pattern.defined = 1;
    return kOk;
}

Status ResizePatterns(uint32_t length, ScanKind kind, SvfSession& session) {
    ScanPart& part = session.scanParts[kind];
    const size_t words = std::max(WordsFor(length), kMinPatternWords);
    // TDI and TDO start as zeros, MASK and SMASK as ones. Words a resize adds
    // get that value from it, so that a long pattern's storage is written
    // once rather than cleared and then filled. The vectors keep their
    // capacity, so a shorter length reuses the storage.
    const struct {
        Pattern* pattern;
        uint16_t value;
    } starts[] = {{&part.tdo, 0}, {&part.tdi, 0}, {&part.mask, 0xFFFF}, {&part.smask, 0xFFFF}};
    for (const auto& start : starts) {
        BitVector& bits = start.pattern->bits;
        const size_t kept = std::min(bits.size(), words);
        if (!TryResize(bits, words, start.value)) {
            ReportStatementError(session, "memory alloc failed");
            return kNoMemory;
        }
        std::fill_n(bits.begin(), kept, start.value);
        start.pattern->defined = 0;
    }
    part.partLength = length;
    return kOk;
}

}  // namespace svf
