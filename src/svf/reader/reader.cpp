#include "svf/reader/reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/platform.h"
#include "report/report.h"

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

constexpr char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr bool IsUpperLetter(char c) { return c >= 'A' && c <= 'Z'; }

// A word is compared only with the keywords of its length and first letter,
// mostly none or one: a linear search of a length group cost more than the
// rest of reading a short statement.
constexpr size_t kBuckets = (kLongestKeyword + 1) * kLetters;
constexpr size_t BucketOf(size_t length, char upperFirst) {
    return length * kLetters + static_cast<size_t>(upperFirst - 'A');
}

// A word of up to 16 characters as two 8-byte numbers, byte i of the word in
// bits 8i to 8i + 7 of the first, byte 8 + i likewise in the second: a
// keyword is then found with two compares instead of one per character.
struct PackedWord {
    uint64_t low = 0;
    uint64_t high = 0;
    friend constexpr bool operator==(const PackedWord&, const PackedWord&) = default;
};

constexpr size_t kPackBytes = sizeof(uint64_t);
constexpr uint64_t kEveryByte = 0x0101010101010101;
constexpr uint64_t kByteTopBits = 0x80 * kEveryByte;
constexpr uint64_t kByteLowBits = 0x7F * kEveryByte;
constexpr uint64_t kCaseBit = 0x20;
constexpr unsigned kBitsPerByte = 8;
static_assert(std::endian::native == std::endian::little,
              "words are packed from memory in this order");

constexpr PackedWord PackKeyword(std::string_view name) {
    PackedWord packed;
    for (size_t i = 0; i < name.size(); ++i) {
        uint64_t& half = i < kPackBytes ? packed.low : packed.high;
        half |= uint64_t{static_cast<unsigned char>(name[i])} << (kBitsPerByte * (i % kPackBytes));
    }
    return packed;
}

// Upper case of the ASCII letters among eight bytes at once; other bytes,
// those above 127 included, stay as they are.
constexpr uint64_t UpperBytes(uint64_t bytes) {
    const uint64_t low7 = bytes & kByteLowBits;
    const uint64_t fromA = low7 + (0x80 - 'a') * kEveryByte;        // top bit set where >= 'a'
    const uint64_t beyondZ = low7 + (0x80 - 'z' - 1) * kEveryByte;  // top bit set where > 'z'
    const uint64_t lower = fromA & ~beyondZ & ~bytes & kByteTopBits;
    return bytes ^ (lower >> 2);  // 0x80 >> 2 is the case bit
}
static_assert(kByteTopBits >> 2 == kCaseBit * kEveryByte);
static_assert(UpperBytes(PackKeyword("az{`@_Zm").low) == PackKeyword("AZ{`@_ZM").low);

// The first `length` (at most 16) bytes of `word` in upper case. `word` must
// have 16 readable bytes: it is the reader's word buffer.
PackedWord PackWord(const char* word, size_t length) {
    uint64_t halves[2];
    std::memcpy(halves, word, sizeof halves);
    const size_t lowBytes = std::min(length, kPackBytes);
    const size_t highBytes = length - lowBytes;
    const auto keep = [](size_t bytes) {
        return bytes >= kPackBytes ? ~uint64_t{0} : (uint64_t{1} << (kBitsPerByte * bytes)) - 1;
    };
    return PackedWord{UpperBytes(halves[0] & keep(lowBytes)),
                      UpperBytes(halves[1] & keep(highBytes))};
}

struct KeywordIndex {
    std::array<uint8_t, kKeywordCount> order{};  // keyword numbers, bucket by bucket
    std::array<uint8_t, kBuckets + 1> first{};   // bucket b: order[first[b]] .. order[first[b + 1]]
    std::array<PackedWord, kKeywordCount> packed{};  // by keyword number
};

static_assert(kKeywordCount <= UINT8_MAX, "keyword numbers must fit the index");
static_assert(
    [] {
        for (const Keyword& keyword : kKeywords) {
            const size_t length = keyword.name.size();
            if (length == 0 || length > kLongestKeyword || !IsUpperLetter(keyword.name[0]))
                return false;
        }
        return true;
    }(),
    "keywords must start with a letter and fit kLongestKeyword");
static_assert(kLongestKeyword <= 2 * kPackBytes, "keywords must fit a PackedWord");

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
    for (size_t k = 0; k < kKeywordCount; ++k) index.packed[k] = PackKeyword(kKeywords[k].name);
    return index;
}();

// `word` is the reader's word buffer (see PackWord).
int LookUpKeyword(const char* word, size_t length) {
    const char first = UpperAscii(word[0]);
    if (length == 0 || length > kLongestKeyword || !IsUpperLetter(first)) return kTokenUnknown;
    const size_t bucket = BucketOf(length, first);
    const size_t begin = kKeywordIndex.first[bucket];
    const size_t end = kKeywordIndex.first[bucket + 1];
    if (begin == end) return kTokenUnknown;
    const PackedWord packed = PackWord(word, length);
    for (size_t i = begin; i < end; ++i) {
        const size_t k = kKeywordIndex.order[i];
        if (kKeywordIndex.packed[k] == packed) return kKeywords[k].code;
    }
    return kTokenUnknown;
}

// ------------------------------------------------------------ characters

// One table look-up classifies a character: a per-character chain of
// compares cost more than all the rest of reading a short statement.
enum CharClass : uint8_t {
    kClassSpace = 1,        // ends a word and is skipped
    kClassWordEnd = 2,      // ends a word: white space, "(", ")", ";" and NUL
    kClassCommentLead = 4,  // "!" or "/": may start a comment or a marker
};

constexpr std::array<uint8_t, 256> kCharClasses = [] {
    std::array<uint8_t, 256> classes{};
    for (const char c : {' ', '\t', '\r', '\n', '\v', '\f'}) {
        classes[static_cast<unsigned char>(c)] = kClassSpace | kClassWordEnd;
    }
    for (const char c : {'(', ')', ';', '\0'})
        classes[static_cast<unsigned char>(c)] = kClassWordEnd;
    for (const char c : {'!', '/'}) classes[static_cast<unsigned char>(c)] = kClassCommentLead;
    return classes;
}();

constexpr bool HasClass(char c, CharClass charClass) {
    return (kCharClasses[static_cast<unsigned char>(c)] & charClass) != 0;
}
constexpr bool IsSpace(char c) { return HasClass(c, kClassSpace); }
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsPunctuation(char c) { return c == '(' || c == ')' || c == ';'; }
// The characters that end a word: white space (as IsSpace) and punctuation.
constexpr char kWordEnds[] = " \t\r\n\v\f();";

// Words up to this long are measured by a table loop; strcspn, which needs
// a few dozen instructions to start, takes over for longer digit groups.
constexpr size_t kShortWord = 16;

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
    const char* word = Current(reader);
    // A short word is copied with a fixed-size copy (two moves) when the line
    // buffer has that many bytes left, rather than by a call of memcpy.
    if (length <= kShortWord &&
        static_cast<size_t>(reader.readPos) + kShortWord <= kLineBufferSize) {
        std::memcpy(reader.wordBuffer, word, kShortWord);
    } else {
        std::memcpy(reader.wordBuffer, word, length);
    }
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
    const char* line =
        reader.memoryLines != nullptr ? reader.memoryLines[reader.lineNumber] : nullptr;
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
    size_t length =
        reader.svfFile == nullptr
            ? 0
            : platform::ReadTextLine(reader.svfFile.get(), reader.lineBuffer, kLineBufferSize);
    if (length == 0) return kEndOfFile;
    tooLong = length == kFileReadLimit && reader.lineBuffer[length - 1] != '\n';
    while (length > 0 &&
           (reader.lineBuffer[length - 1] == '\n' || reader.lineBuffer[length - 1] == '\r')) {
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
    size_t length = 0;
    for (;;) {
        const size_t shortEnd = length + kShortWord;
        while (length < shortEnd && !HasClass(p[length], kClassWordEnd)) ++length;
        if (length == shortEnd) length += std::strcspn(p + length, kWordEnds);
        // strcspn and the table both stop at a NUL byte: the line's end, or
        // a character of the word.
        if (length >= remaining || p[length] != '\0') return length;
        ++length;
    }
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
    if (length > kCloseLength && p[length - 2] == ')' && p[length - 1] == ';')
        length -= kCloseLength;
    return length;
}

}  // namespace

Token NextToken(SvfSession& session) {
    ReaderState& reader = session.reader;
    for (;;) {
        SkipSpaces(reader);
        const char* p = Current(reader);
        const size_t remaining = Remaining(reader);
        const bool commentLead = HasClass(p[0], kClassCommentLead);
        if (commentLead && IsMarker(p, remaining)) {
            reader.embeddedStatement = true;
            reader.readPos += static_cast<int32_t>(kMarkerLength);
            continue;
        }
        if (remaining != 0 && !(commentLead && IsCommentStart(p))) {
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
