#include "result/error_file.h"

#include <array>
#include <bit>
#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"
#include "report/report.h"

namespace svf {
namespace {

constexpr const char* kWriteFailedMessage = "Error: Unable to write file '%s'";
constexpr const char* kStatusBlanks = "    ";                              // PASS or FAIL
constexpr const char* kErrorsBlanks = "                                ";  // the count
constexpr size_t kPositionsPerLine = 10;
constexpr uint32_t kPioNumbersPerLine = 10;

// Writes formatted text; false when the stream refuses it.
bool Print(std::FILE* stream, const char* format, ...) SVF_PRINTF_FORMAT(2, 3);
bool Print(std::FILE* stream, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const int written = std::vfprintf(stream, format, args);
    va_end(args);
    return written >= 0;
}

Status WriteFailed(const SvfSession& session) {
    ReportError(session.host.report, kWriteFailedMessage, session.paths.errorPath);
    return kWriteFailed;
}

// Lines 1 to 11; records statusPos and errorsPos on the way.
bool WriteHeader(SvfSession& session, std::FILE* stream) {
    const char* version = session.errorFile.numberedErrorFormat ? "S1.2" : "1.3";
    if (!Print(stream,
               "SYNTAX_VERSION   %s\nDESIGN           svf\nTEST             SVF\n\n"
               "INPUT_FILES\n    SVF_FILE    \"%s\"\nEND_INPUT_FILES\n\nSTATUS    ",
               version, session.paths.svfPath != nullptr ? session.paths.svfPath : "")) {
        return false;
    }
    const long statusPos = std::ftell(stream);
    if (statusPos < 0 || !Print(stream, "%s\n\nERRORS    ", kStatusBlanks)) return false;
    const long errorsPos = std::ftell(stream);
    if (errorsPos < 0 || !Print(stream, "%s\n", kErrorsBlanks)) return false;
    session.errorFile.statusPos = static_cast<uint32_t>(statusPos);
    session.errorFile.errorsPos = static_cast<uint32_t>(errorsPos);
    return std::fflush(stream) == 0;
}

uint32_t CountBits(const uint16_t* words, uint32_t count) {
    uint32_t bits = 0;
    for (uint32_t i = 0; i < count; ++i) bits += static_cast<uint32_t>(std::popcount(words[i]));
    return bits;
}

// Calls visit(position) for every set bit, in rising order; stops at the
// first false.
template <class Visit>
bool ForEachSetBit(const uint16_t* words, uint32_t count, Visit visit) {
    for (uint32_t w = 0; w < count; ++w) {
        for (uint32_t word = words[w]; word != 0; word &= word - 1) {
            const auto bit = static_cast<uint32_t>(std::countr_zero(word));
            if (!visit(static_cast<unsigned long>(w) * kBitsPerWord + bit)) return false;
        }
    }
    return true;
}

// One line of positions, each right-aligned in nine columns ("%9lu"); a
// full line separates them by blanks, a shorter last line follows each with a
// blank. Formatted by hand: a board that fails every bit of a long scan writes
// millions of positions.
class PositionLine {
  public:
    void Add(unsigned long position) {
        char digits[kMaxDigits];
        size_t count = 0;
        do {
            digits[count++] = static_cast<char>('0' + position % 10);
            position /= 10;
        } while (position != 0);
        for (size_t pad = count; pad < kPositionWidth; ++pad) text_[length_++] = ' ';
        while (count > 0) text_[length_++] = digits[--count];
        text_[length_++] = ' ';
        ++positions_;
    }
    bool Full() const { return positions_ == kPositionsPerLine; }
    bool Empty() const { return positions_ == 0; }
    // Writes the line; a full line drops the blank after its last position.
    bool Flush(std::FILE* stream) {
        if (Full()) --length_;
        text_[length_++] = '\n';
        const bool written = std::fwrite(text_.data(), 1, length_, stream) == length_;
        length_ = 0;
        positions_ = 0;
        return written;
    }

  private:
    static constexpr size_t kPositionWidth = 9;
    static constexpr size_t kMaxDigits = 20;
    std::array<char, kPositionsPerLine*(kMaxDigits + 1) + 1> text_{};
    size_t length_ = 0;
    size_t positions_ = 0;
};

bool WritePositions(std::FILE* stream, const uint16_t* mismatch, uint32_t words) {
    PositionLine line;
    const bool written = ForEachSetBit(mismatch, words, [&](unsigned long position) {
        line.Add(position);
        return !line.Full() || line.Flush(stream);
    });
    return written && (line.Empty() || line.Flush(stream));
}

// Every piece of the file is flushed as soon as it is written: a failure
// then belongs to the record that met it, and is not left in the buffer to
// surface with a later record (or inside a seek, where it would pass for a
// field that cannot be reached).
bool Flushed(std::FILE* stream, bool written) {
    return written && std::fflush(stream) == 0 && std::ferror(stream) == 0;
}

// A record is written as a whole or reported; the stream stays open either way.
Status RecordDone(const SvfSession& session, bool written) {
    std::FILE* stream = session.errorFile.errorStream.get();
    if (Flushed(stream, written)) return kOk;
    std::clearerr(stream);
    return WriteFailed(session);
}

// Overwrites the blanks at `position`. A failed move leaves the field blank.
bool FillField(std::FILE* stream, uint32_t position, const char* text) {
    if (std::fseek(stream, static_cast<long>(position), SEEK_SET) != 0) return true;
    return Flushed(stream, std::fputs(text, stream) >= 0);
}

}  // namespace

Status CreateErrorFile(SvfSession& session) {
    const char* path = session.paths.errorPath;
    FilePtr stream(std::fopen(path, "w"));
    if (!stream) {
        ReportError(session.host.report, "Error: Unable to open file '%s'", path);
        return kFileNotOpened;
    }
    if (!WriteHeader(session, stream.get())) {
        stream.reset();
        platform::RemoveFile(path);
        return WriteFailed(session);
    }
    session.errorFile.errorStream = std::move(stream);
    return kOk;
}

Status WriteScanFailure(SvfSession& session, const uint16_t* mismatch, uint32_t words) {
    session.counters.failureCount += CountBits(mismatch, words);
    std::FILE* stream = session.errorFile.errorStream.get();
    if (stream == nullptr) return kOk;
    const bool written =
        Print(stream, "TAP%d\nSVF_LINE %ld\n\n", static_cast<int>(session.connection.boardTap),
              static_cast<long>(session.reader.statementLine)) &&
        WritePositions(stream, mismatch, words);
    return RecordDone(session, written);
}

Status WriteNumberedScanFailure(SvfSession& session, const uint16_t* mismatch, uint32_t words) {
    session.counters.failureCount += CountBits(mismatch, words);
    std::FILE* stream = session.errorFile.errorStream.get();
    if (stream == nullptr) return kOk;
    const int tap = static_cast<int>(session.connection.boardTap);
    const int command = static_cast<int>(session.counters.commandCount - 1);
    const bool written = ForEachSetBit(mismatch, words, [&](unsigned long position) {
        return Print(stream, "TAP%d CMD_ID %d PIN TDO BIT_OFFSET %d LOOP_CNT 0\n", tap, command,
                     static_cast<int>(position));
    });
    return RecordDone(session, written);
}

Status WritePioFailure(SvfSession& session, const uint8_t* failed, uint32_t count) {
    session.counters.failureCount += count;
    std::FILE* stream = session.errorFile.errorStream.get();
    if (stream == nullptr || count == 0) return kOk;
    bool written =
        Print(stream, "PAR\nSVF_LINE %ld\n", static_cast<long>(session.reader.statementLine));
    // Entries are examined from the last to the first, so the numbers rise.
    const uint32_t entries = session.pio.pioMapCount;
    uint32_t numbers = 0;
    for (uint32_t i = entries; written && i-- > 0;) {
        if (failed[i] == 0) continue;
        if (numbers != 0 && numbers % kPioNumbersPerLine == 0) written = Print(stream, "\n");
        written = written && Print(stream, "%9d", static_cast<int>(entries - 1 - i));
        ++numbers;
    }
    if (written && numbers != 0) written = Print(stream, "\n");
    return RecordDone(session, written);
}

Status FinishErrorFile(SvfSession& session) {
    std::FILE* stream = session.errorFile.errorStream.get();
    if (stream == nullptr) return kOk;
    const uint32_t failures = session.counters.failureCount;
    std::array<char, 24> count{};
    std::snprintf(count.data(), count.size(), "%ld", static_cast<long>(failures));
    const bool written =
        Flushed(stream, Print(stream, "END_ERRORS\n")) &&
        FillField(stream, session.errorFile.statusPos, failures != 0 ? "FAIL" : "PASS") &&
        FillField(stream, session.errorFile.errorsPos, count.data());
    // On a failure the stream stays open; the session's clean-up closes it.
    if (!written) return WriteFailed(session);
    const bool closed = std::fclose(session.errorFile.errorStream.release()) == 0;
    return closed ? kOk : WriteFailed(session);
}

}  // namespace svf
