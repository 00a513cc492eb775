#include "svf/reader/reader.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "api/report/report.h"
#include "platform/platform.h"

namespace svf {
namespace {

// fgets reads at most this many characters: a full line of kMaxLineLength
// characters plus its line end. A read that fills it without ending in the
// line end means the line is longer than allowed.
constexpr int kFileReadLimit = kLineBufferSize - 1;

// ------------------------------------------------------------- keywords

// The token code of a TAP state keyword.
constexpr int StateToken(TapState state) { return kTokenReset + static_cast<int>(state); }

struct Keyword {
    std::string_view name;  // upper case
    int code;
};

// Looked up through kKeywordIndex: no allocation and no hashing per token.
constexpr Keyword kKeywords[] = {
    {"Z", kTokenZ},
    {"ON", kTokenOn},
    {"US", kTokenUsec},
    {"HZ", kTokenHz},
    {"IN", kTokenIn},
    {"HDR", kTokenHdr},
    {"HIR", kTokenHir},
    {"PIO", kTokenPio},
    {"SDR", kTokenSdr},
    {"SIR", kTokenSir},
    {"TDR", kTokenTdr},
    {"TIR", kTokenTir},
    {"TDI", kTokenTdi},
    {"TDO", kTokenTdo},
    {"OFF", kTokenOff},
    {"SCK", kTokenSck},
    {"TCK", kTokenTck},
    {"SEC", kTokenSec},
    {"KHZ", kTokenKhz},
    {"MHZ", kTokenMhz},
    {"OUT", kTokenOut},
    {"TRST", kTokenTrst},
    {"IDLE", kTokenIdle},
    {"MASK", kTokenMask},
    {"USEC", kTokenUsec},
    {"MSEC", kTokenMsec},
    {"FLAG", kTokenFlag},
    {"ENDDR", kTokenEndDr},
    {"ENDIR", kTokenEndIr},
    {"STATE", kTokenState},
    {"RESET", kTokenReset},
    {"SMASK", kTokenSmask},
    {"CLOCK", kTokenFrequency},
    {"INOUT", kTokenInOut},
    {"PIOMAP", kTokenPioMap},
    {"ABSENT", kTokenAbsent},
    {"RUNTEST", kTokenRunTest},
    {"DRPAUSE", kTokenDrPause},
    {"IRPAUSE", kTokenIrPause},
    {"DRSHIFT", StateToken(kStateDrShift)},
    {"DREXIT1", StateToken(kStateDrExit1)},
    {"DREXIT2", StateToken(kStateDrExit2)},
    {"IRSHIFT", StateToken(kStateIrShift)},
    {"IREXIT1", StateToken(kStateIrExit1)},
    {"IREXIT2", StateToken(kStateIrExit2)},
    {"MAXIMUM", kTokenMaximum},
    {"DRSELECT", StateToken(kStateDrSelect)},
    {"DRUPDATE", StateToken(kStateDrUpdate)},
    {"IRSELECT", StateToken(kStateIrSelect)},
    {"IRUPDATE", kTokenIrUpdate},
    {"ENDSTATE", kTokenEndState},
    {"DRCAPTURE", StateToken(kStateDrCapture)},
    {"IRCAPTURE", StateToken(kStateIrCapture)},
    {"FREQUENCY", kTokenFrequency},
    {"MERLO_CORRECTION", kTokenCorrection},
};

constexpr size_t kKeywordCount = std::size(kKeywords);
constexpr size_t kLongestKeyword = 16;
constexpr size_t kLetters = 26;

constexpr char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr bool IsUpperLetter(char c) { return c >= 'A' && c <= 'Z'; }

// A word is compared only with the keywords of its length and first letter,
// mostly none or one: a linear search of a length group cost more than the
// rest of reading a short statement.
constexpr size_t kBuckets = (kLongestKeyword + 1) * kLetters;
constexpr size_t BucketOf(size_t length, char upperFirst) {
    return length * kLetters + static_cast<size_t>(upperFirst - 'A');
}

struct KeywordIndex {
    std::array<uint8_t, kKeywordCount> order{};  // keyword numbers, bucket by bucket
    std::array<uint8_t, kBuckets + 1> first{};   // bucket b: order[first[b]] .. order[first[b + 1]]
};

static_assert(kKeywordCount <= UINT8_MAX, "keyword numbers must fit the index");
static_assert([] {
    for (const Keyword& keyword : kKeywords) {
        const size_t length = keyword.name.size();
        if (length == 0 || length > kLongestKeyword || !IsUpperLetter(keyword.name[0])) return false;
    }
    return true;
}(), "keywords must start with a letter and fit kLongestKeyword");

constexpr KeywordIndex kKeywordIndex = [] {
    KeywordIndex index;
    size_t next = 0;
    for (size_t bucket = 0; bucket < kBuckets; ++bucket) {
        index.first[bucket] = static_cast<uint8_t>(next);
        for (size_t k = 0; k < kKeywordCount; ++k) {
            if (BucketOf(kKeywords[k].name.size(), kKeywords[k].name[0]) == bucket) {
                index.order[next++] = static_cast<uint8_t>(k);
            }
        }
    }
    index.first[kBuckets] = static_cast<uint8_t>(next);
    return index;
}();

bool EqualsIgnoringCase(const char* word, std::string_view upper) {
    for (size_t i = 0; i < upper.size(); ++i) {
        if (UpperAscii(word[i]) != upper[i]) return false;
    }
    return true;
}

int LookUpKeyword(const char* word, size_t length) {
    const char first = UpperAscii(word[0]);
    if (length == 0 || length > kLongestKeyword || !IsUpperLetter(first)) return kTokenUnknown;
    const size_t bucket = BucketOf(length, first);
    for (size_t i = kKeywordIndex.first[bucket]; i < kKeywordIndex.first[bucket + 1]; ++i) {
        const Keyword& keyword = kKeywords[kKeywordIndex.order[i]];
        if (EqualsIgnoringCase(word, keyword.name)) return keyword.code;
    }
    return kTokenUnknown;
}

// ------------------------------------------------------------ characters

constexpr bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsPunctuation(char c) { return c == '(' || c == ')' || c == ';'; }
// The characters that end a word: white space (as IsSpace) and punctuation.
constexpr char kWordEnds[] = " \t\r\n\v\f();";

constexpr size_t kMarkerLength = 3;

// "!//" or "//!" with at least one more character: a marked comment line.
// The line is NUL-terminated, so the three looks never pass its end.
bool IsMarker(const char* p, size_t remaining) {
    const bool bang = p[0] == '!' && p[1] == '/' && p[2] == '/';
    const bool slashes = p[0] == '/' && p[1] == '/' && p[2] == '!';
    return (bang || slashes) && remaining > kMarkerLength;
}

bool IsCommentStart(const char* p) { return p[0] == '!' || (p[0] == '/' && p[1] == '/'); }

void SkipSpaces(ReaderState& reader) {
    while (IsSpace(reader.lineBuffer[reader.readPos])) ++reader.readPos;
}

const char* Current(const ReaderState& reader) { return reader.lineBuffer + reader.readPos; }
size_t Remaining(const ReaderState& reader) {
    return static_cast<size_t>(reader.lineLength - reader.readPos);
}

// Copies `length` characters at readPos into wordBuffer and moves past them
// and the white space after them.
void TakeWord(ReaderState& reader, size_t length) {
    std::memcpy(reader.wordBuffer, Current(reader), length);
    reader.wordBuffer[length] = '\0';
    reader.readPos += static_cast<int32_t>(length);
    SkipSpaces(reader);
}

// --------------------------------------------------------------- lines

// The host is asked at most once per poll interval, and only here, when a
// new line comes in: a call per token would cost far more than the reading.
Status PollForAbort(SvfSession& session) {
    ReaderState& reader = session.reader;
    const auto elapsed = static_cast<int32_t>(static_cast<uint32_t>(platform::MillisecondClock()) -
                                              static_cast<uint32_t>(reader.lastPollTime));
    if (elapsed <= kAbortPollIntervalMs) return kOk;
    const SvfReport* report = session.host.report;
    if (report != nullptr && report->abortCallback != nullptr &&
        report->abortCallback(report->abortContext) == SVF_ABORT_REQUEST) {
        ReportError(report, "SVF Aborted !");
        ReleasePatterns(session);
        return kAborted;
    }
    ReportLine(report, reader.lineNumber);
    reader.lastPollTime = platform::MillisecondClock();
    return kOk;
}

Status LineTooLong(const SvfSession& session) {
    ReportLineError(session.host.report, static_cast<long>(session.reader.lineNumber),
                    "maximum line length of %ld exceeded", static_cast<long>(kMaxLineLength));
    return kSyntax;
}

// Memory lines are taken as the host wrote them. One that does not fit the
// line buffer is refused rather than played cut short.
Status FetchMemoryLine(ReaderState& reader, bool& tooLong) {
    const char* line = reader.memoryLines != nullptr ? reader.memoryLines[reader.lineNumber] : nullptr;
    if (line == nullptr) return kEndOfFile;
    size_t length = 0;
    while (line[length] != '\0' && length < kLineBufferSize - 1) ++length;
    tooLong = line[length] != '\0';
    std::memcpy(reader.lineBuffer, line, length);
    reader.lineBuffer[length] = '\0';
    reader.lineLength = static_cast<int32_t>(length);
    return kOk;
}

Status FetchFileLine(ReaderState& reader, bool& tooLong) {
    size_t length = reader.svfFile == nullptr ? 0
                    : platform::ReadTextLine(reader.svfFile.get(), reader.lineBuffer,
                                             kLineBufferSize);
    if (length == 0) return kEndOfFile;
    tooLong = length == kFileReadLimit && reader.lineBuffer[length - 1] != '\n';
    while (length > 0 && (reader.lineBuffer[length - 1] == '\n' || reader.lineBuffer[length - 1] == '\r')) {
        reader.lineBuffer[--length] = '\0';
    }
    reader.lineLength = static_cast<int32_t>(length);
    return kOk;
}

// Reads the next line into lineBuffer: kOk, kEndOfFile at the end of the input
// (no message), kSyntax for a line too long, kAborted when the host aborts.
Status ReadNextLine(SvfSession& session) {
    ReaderState& reader = session.reader;
    reader.embeddedStatement = false;
    bool tooLong = false;
    const Status fetched =
        reader.linesInMemory ? FetchMemoryLine(reader, tooLong) : FetchFileLine(reader, tooLong);
    reader.readPos = 0;
    if (fetched != kOk) {
        reader.lineBuffer[0] = '\0';  // every later call ends the same way
        reader.lineLength = 0;
        return fetched;
    }
    ++reader.lineNumber;
    if (const Status polled = PollForAbort(session); polled != kOk) return polled;
    if (tooLong) return LineTooLong(session);
    SkipSpaces(reader);
    return kOk;
}

Token Failure(SvfSession& session, Status status) {
    session.reader.wordBuffer[0] = '\0';
    return Token{status, kTokenUnknown, session.reader.wordBuffer, 0};
}

// ---------------------------------------------------------- classifying

int ClassifyToken(const char* word, size_t length) {
    if (IsDigit(word[0])) return kTokenNumber;
    if (length == 1) {
        switch (word[0]) {
            case '(': return kTokenOpen;
            case ')': return kTokenClose;
            case ';': return kTokenSemicolon;
            default: break;
        }
    }
    return LookUpKeyword(word, length);
}

// The length of the token at `p`: a punctuation character alone, else the
// word up to white space or punctuation, NUL bytes included.
size_t TokenLength(const char* p, size_t remaining) {
    if (IsPunctuation(p[0])) return 1;
    // strcspn scans many characters a step; a loop over IsSpace and
    // IsPunctuation cost more than all other reading of a digit line.
    size_t length = std::strcspn(p, kWordEnds);
    while (length < remaining && p[length] == '\0') {
        length += 1 + std::strcspn(p + length + 1, kWordEnds);
    }
    return length;
}

int ClassifyPioWord(const char* word, size_t length) {
    bool digitsOnly = true;
    for (size_t i = 0; i < length; ++i) digitsOnly = digitsOnly && IsDigit(word[i]);
    if (digitsOnly) return kPioWordDigits;
    const std::string_view text(word, length);
    if (text == "(") return kPioWordOpen;
    if (text == ");") return kPioWordCloseSemicolon;
    switch (LookUpKeyword(word, length)) {
        case kTokenIn: return kPioWordIn;
        case kTokenOut: return kPioWordOut;
        case kTokenInOut: return kPioWordInOut;
        default: return kPioWordOther;
    }
}

// A PIOMAP word runs to white space; only a leading "(" and a trailing ");"
// are split off, so pin names may hold any other character.
size_t PioWordLength(const char* p, size_t remaining) {
    if (p[0] == '(') return 1;
    size_t length = 0;
    while (length < remaining && !IsSpace(p[length])) ++length;
    constexpr size_t kCloseLength = 2;
    if (length > kCloseLength && p[length - 2] == ')' && p[length - 1] == ';') length -= kCloseLength;
    return length;
}

}  // namespace

Token NextToken(SvfSession& session) {
    ReaderState& reader = session.reader;
    for (;;) {
        SkipSpaces(reader);
        const char* p = Current(reader);
        const size_t remaining = Remaining(reader);
        if (IsMarker(p, remaining)) {
            reader.embeddedStatement = true;
            reader.readPos += static_cast<int32_t>(kMarkerLength);
            continue;
        }
        if (remaining != 0 && !IsCommentStart(p)) {
            const size_t length = TokenLength(p, remaining);
            TakeWord(reader, length);
            const int code = ClassifyToken(reader.wordBuffer, length);
            // On a marked comment line the first word that is no keyword
            // turns the rest of the line back into a comment.
            if (code != kTokenUnknown || !reader.embeddedStatement) {
                return Token{kOk, code, reader.wordBuffer, length};
            }
        }
        const Status status = ReadNextLine(session);
        if (status == kEndOfFile) ReportLine(session.host.report, reader.lineNumber);
        if (status != kOk) return Failure(session, status);
    }
}

Token NextPioWord(SvfSession& session) {
    ReaderState& reader = session.reader;
    for (;;) {
        SkipSpaces(reader);
        const char* p = Current(reader);
        const size_t remaining = Remaining(reader);
        if (remaining != 0 && !IsCommentStart(p)) {
            const size_t length = PioWordLength(p, remaining);
            TakeWord(reader, length);
            return Token{kOk, ClassifyPioWord(reader.wordBuffer, length), reader.wordBuffer,
                         length};
        }
        const Status status = ReadNextLine(session);
        if (status == kEndOfFile) {
            ReportError(session.host.report, "Unexpected end of file at line %ld",
                        static_cast<long>(reader.lineNumber));
        }
        if (status != kOk) return Failure(session, status);
    }
}

void ReportStatementError(const SvfSession& session, const char* text) {
    ReportLineError(session.host.report, LineOf(session), "%s", text);
}

Status SyntaxError(const SvfSession& session, const char* text) {
    ReportStatementError(session, text);
    return kSyntax;
}

}  // namespace svf
