// Message reporting: every error, warning, note and progress mark of the
// player becomes one SvfMessage handed to the host's callback. The player
// never prints anything itself.
#pragma once

#include <cstdint>

#include "svfplayer/svf_player.h"

#if defined(__MINGW32__)
#define SVF_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define SVF_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#endif

namespace svf {

// First argument of every "%s %6ld : ..." statement message.
inline constexpr const char* kSvfLine = "SVF line";

// Text of a controller slot that answered VELTRA_NOT_SUPPORTED.
inline constexpr const char* kNotSupportedText = "function not supported";

inline constexpr int kMessageBufferSize = 1008;
inline constexpr int kCnnMessageBufferSize = 304;

// Each of these delivers one message when `report` is present, has a
// callback and its verbosity admits the level; filtered messages neither get
// a sequence number nor advance the counter. Texts longer than the buffer are
// cut at the buffer's end.
void ReportError(const SvfReport* report, const char* format, ...) SVF_PRINTF_FORMAT(2, 3);
void ReportWarning(const SvfReport* report, const char* format, ...) SVF_PRINTF_FORMAT(2, 3);
void ReportNote(const SvfReport* report, const char* format, ...) SVF_PRINTF_FORMAT(2, 3);
void ReportLine(const SvfReport* report, uint32_t lineNumber);

// Statement messages: "SVF line", the line number in six columns and the
// kind word, then the text: "SVF line     12 : Error\t: semicolon expected".
// Filtered and cut like ReportError and ReportWarning.
void ReportLineError(const SvfReport* report, long line, const char* format, ...)
    SVF_PRINTF_FORMAT(3, 4);
void ReportLineWarning(const SvfReport* report, long line, const char* format, ...)
    SVF_PRINTF_FORMAT(3, 4);

// The CNN file reader's channel: every field comes from the caller, no
// verbosity filter, the sequence counter is neither read nor advanced.
void ReportCnnMessage(const SvfReport* report, uint32_t kind, uint32_t level, uint32_t sequence,
                      uint32_t line, const char* format, ...) SVF_PRINTF_FORMAT(6, 7);

}  // namespace svf
