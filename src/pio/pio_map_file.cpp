#include "pio/pio_map_file.h"

#include <cctype>
#include <cstring>
#include <string_view>

#include "pio/pod_pins.h"
#include "platform/platform.h"
#include "report/report.h"
#include "report/result_code.h"
#include "session.h"

namespace svf {
namespace {

constexpr const char* kListStartWord = "PIO_PIN_LIST";
constexpr const char* kListEndWord = "END_PIO_PIN_LIST";
constexpr const char* kTapPinPrefix = "KWZ_PIO_";  // then TAP digit, '_', pin digit
constexpr size_t kTapPinWordLength = 11;
constexpr char kCommentStart = '!';

struct NamedCode {
    const char* word;
    uint32_t code;
};

// Every fixed word the classifier knows, besides the KWZ_PIO_t_p family.
constexpr NamedCode kFixedWords[] = {
    {"VPP_E", kPinCodeVppE},        {"USER0", kPinCodeUser0},
    {"USER1", kPinCodeUser1},       {kListStartWord, kPioMapListStart},
    {kListEndWord, kPioMapListEnd},
};

bool IsLineEnd(int c) { return c == '\n' || c == '\r'; }
bool IsBlank(int c) { return c == ' ' || c == '\t'; }

bool EqualsIgnoringCase(const char* a, const char* b, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// Consumes a comment up to and including its line end; true when a line end
// (rather than the end of the file) closed it.
bool SkipComment(std::FILE* file) {
    for (int c = platform::GetTextChar(file); c != EOF; c = platform::GetTextChar(file)) {
        if (IsLineEnd(c)) return true;
    }
    return false;
}

// 1..4 for the digits '1'..'4', else 0.
uint32_t SmallDigit(char c) { return c >= '1' && c <= '4' ? static_cast<uint32_t>(c - '0') : 0; }

uint32_t ClassifyTapPinWord(const char* word) {
    const size_t prefixLength = std::strlen(kTapPinPrefix);
    if (!EqualsIgnoringCase(word, kTapPinPrefix, prefixLength)) return kPioMapOtherWord;
    const uint32_t tap = SmallDigit(word[prefixLength]);
    const uint32_t pin = SmallDigit(word[prefixLength + 2]);
    if (tap == 0 || pin == 0 || word[prefixLength + 1] != '_') return kPioMapOtherWord;
    return (tap - 1) * kPinsPerTap + pin;
}

bool IsPinCode(uint32_t code) { return code >= 1 && code <= kPinCodeUser1; }

int LineOf(const PioMapReader& reader) { return static_cast<int>(reader.lineNumber); }

// After END_PIO_PIN_LIST only blanks and comments may follow.
Status FinishPinList(const SvfReport* report, PioMapReader& reader, uint32_t pairs) {
    if (ReadPioMapWord(reader) == PioMapWordResult::kWord) {
        ReportError(report,
                    "Error line %d of PIO mapping file: keyword <END_PIO_PIN_LIST> expected, "
                    "found '%s'",
                    LineOf(reader), reader.word);
        return kPioMapSyntax;
    }
    if (pairs == 0) {
        ReportError(report, "Error: No information found while reading PIO mapping file");
        return kPioMapSyntax;
    }
    return kOk;
}

// Reads the logical name for the pin word just read and registers the pair.
Status ReadPair(const SvfReport* report, PodPins* pod, PioMapReader& reader) {
    const uint32_t code = ClassifyPioMapWord(reader);
    char pinWord[kPioMapWordSize];
    std::memcpy(pinWord, reader.word, sizeof pinWord);
    if (ReadPioMapWord(reader) != PioMapWordResult::kWord) {
        ReportError(report, "Error line %d of PIO mapping file: <logical_name> expected",
                    LineOf(reader));
        return kPioMapSyntax;
    }
    // The name as read: a NUL byte is one of its characters.
    const Status status =
        AddPodPin(pod, report, code, std::string_view(reader.word, reader.wordLength));
    if (status == kPioPinDefined) {
        ReportError(report, "Error line %d of PIO mapping file: <pin_name> '%s' is already defined",
                    LineOf(reader), pinWord);
    } else if (status == kPioNameDefined) {
        ReportError(report,
                    "Error line %d of PIO mapping file: <logical_name> '%s' is already defined",
                    LineOf(reader), reader.word);
    }
    return status;
}

}  // namespace

PioMapWordResult ReadPioMapWord(PioMapReader& reader) {
    if (reader.pendingNewline) {
        ++reader.lineNumber;
        reader.pendingNewline = false;
    }
    reader.wordLength = 0;
    reader.word[0] = '\0';

    int c = platform::GetTextChar(reader.file);
    for (;; c = platform::GetTextChar(reader.file)) {
        if (c == EOF) return PioMapWordResult::kEnd;
        if (IsLineEnd(c)) {
            ++reader.lineNumber;
        } else if (c == kCommentStart) {
            if (!SkipComment(reader.file)) return PioMapWordResult::kEnd;
            ++reader.lineNumber;
        } else if (!IsBlank(c)) {
            break;
        }
    }

    for (; c != EOF && !IsBlank(c); c = platform::GetTextChar(reader.file)) {
        if (IsLineEnd(c)) {
            reader.pendingNewline = true;
            break;
        }
        if (c == kCommentStart) {
            reader.pendingNewline = SkipComment(reader.file);
            break;
        }
        if (reader.wordLength + 1 >= reader.wordSize) {
            reader.word[reader.wordLength] = '\0';
            return PioMapWordResult::kTooLong;
        }
        reader.word[reader.wordLength++] = static_cast<char>(c);
    }
    reader.word[reader.wordLength] = '\0';
    return PioMapWordResult::kWord;
}

uint32_t ClassifyPioMapWord(const PioMapReader& reader) {
    const size_t length = reader.wordLength;
    if (length == 0) return kPioMapNoWord;
    if (length == kTapPinWordLength) return ClassifyTapPinWord(reader.word);
    for (const NamedCode& named : kFixedWords) {
        if (std::strlen(named.word) == length &&
            EqualsIgnoringCase(reader.word, named.word, length)) {
            return named.code;
        }
    }
    return kPioMapOtherWord;
}

Status ParsePioMapFile(PodPins* pod, const SvfReport* report, PioMapReader& reader,
                       const char* path) {
    if (ReadPioMapWord(reader) != PioMapWordResult::kWord) {
        ReportError(report, "Error: Unable to read file '%s'", path);
        return kPioMapUnreadable;
    }
    if (ClassifyPioMapWord(reader) != kPioMapListStart) {
        ReportError(report, "Error line %d of PIO mapping file: keyword <PIO_PIN_LIST> expected",
                    LineOf(reader));
        return kPioMapSyntax;
    }
    for (uint32_t pairs = 0;; ++pairs) {
        if (ReadPioMapWord(reader) != PioMapWordResult::kWord) {
            ReportError(report, "Error line %d of PIO mapping file: <pod_pin_name> expected",
                        LineOf(reader));
            return kPioMapSyntax;
        }
        const uint32_t code = ClassifyPioMapWord(reader);
        if (code == kPioMapListEnd) return FinishPinList(report, reader, pairs);
        if (!IsPinCode(code)) {
            ReportError(report,
                        "Error line %d of PIO mapping file: <pod_pin_name> or <END_PIO_PIN_LIST> "
                        "expected, found '%s'",
                        LineOf(reader), reader.word);
            return kPioMapSyntax;
        }
        const Status status = ReadPair(report, pod, reader);
        if (status != kOk) return status;
    }
}

Status ReadPioMapFile(PodPins* pod, SvfReport* report, const char* path) {
    if (path == nullptr || pod == nullptr) {
        ReportError(report, "Error: Internal error");
        return kInternal;
    }
    FilePtr file(platform::OpenInputFile(path));
    if (!file) {
        ReportError(report, "Error: Unable to open PIO mapping file '%s'", path);
        StoreResultCode(report, kFileNotOpened);
        return kFileNotOpened;
    }
    PioMapReader reader;
    reader.file = file.get();
    return ParsePioMapFile(pod, report, reader, path);
}

}  // namespace svf
