#include "report/report.h"

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdio>

namespace svf {
namespace {

// Process-wide, never reset; one run at a time per process is assumed.
uint32_t messageSequence = 0;

bool Admits(const SvfReport* report, uint32_t level) {
    return report != nullptr && report->verbosity >= static_cast<int32_t>(level) &&
           report->messageCallback != nullptr;
}

void Deliver(const SvfReport* report, SvfMessage& message) {
    message.sequence = messageSequence++;
    report->messageCallback(report->messageContext, &message);
}

void ReportFormatted(const SvfReport* report, uint32_t kind, uint32_t level, const char* format,
                     std::va_list args) {
    if (!Admits(report, level)) return;
    char text[kMessageBufferSize];
    std::vsnprintf(text, sizeof text, format, args);
    SvfMessage message{};
    message.kind = kind;
    message.level = level;
    message.text = text;
    Deliver(report, message);
}

// The statement prefix, then the caller's text after it in the same buffer:
// cut exactly as one format holding both would be.
void ReportLineMessage(const SvfReport* report, uint32_t kind, uint32_t level, const char* prefix,
                       long line, const char* format, std::va_list args) {
    if (!Admits(report, level)) return;
    char text[kMessageBufferSize];
    const int length = std::snprintf(text, sizeof text, "%s %6ld : %s", kSvfLine, line, prefix);
    const size_t used = length < 0 ? 0 : std::min(static_cast<size_t>(length), sizeof text - 1);
    std::vsnprintf(text + used, sizeof text - used, format, args);
    SvfMessage message{};
    message.kind = kind;
    message.level = level;
    message.text = text;
    Deliver(report, message);
}

}  // namespace

void ReportError(const SvfReport* report, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    ReportFormatted(report, SVF_MESSAGE_ERROR, SVF_LEVEL_ERROR, format, args);
    va_end(args);
}

void ReportWarning(const SvfReport* report, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    ReportFormatted(report, SVF_MESSAGE_WARNING, SVF_LEVEL_WARNING, format, args);
    va_end(args);
}

void ReportNote(const SvfReport* report, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    ReportFormatted(report, SVF_MESSAGE_NOTE, SVF_LEVEL_NOTE, format, args);
    va_end(args);
}

void ReportLineError(const SvfReport* report, long line, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    ReportLineMessage(report, SVF_MESSAGE_ERROR, SVF_LEVEL_ERROR, "Error\t: ", line, format, args);
    va_end(args);
}

void ReportLineWarning(const SvfReport* report, long line, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    ReportLineMessage(report, SVF_MESSAGE_WARNING, SVF_LEVEL_WARNING, "Warning\t: ", line, format,
                      args);
    va_end(args);
}

void ReportLine(const SvfReport* report, uint32_t lineNumber) {
    if (!Admits(report, SVF_LEVEL_NOTE)) return;
    char text[kMessageBufferSize];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(lineNumber));
    SvfMessage message{};
    message.kind = SVF_MESSAGE_LINE;
    message.level = SVF_LEVEL_NOTE;
    message.text = text;
    message.line = lineNumber;
    Deliver(report, message);
}

void ReportCnnMessage(const SvfReport* report, uint32_t kind, uint32_t level, uint32_t sequence,
                      uint32_t line, const char* format, ...) {
    if (report == nullptr || report->messageCallback == nullptr) return;
    char text[kCnnMessageBufferSize];
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    SvfMessage message{};
    message.kind = kind;
    message.level = level;
    message.sequence = sequence;
    message.line = line;
    message.text = text;
    report->messageCallback(report->messageContext, &message);
}

}  // namespace svf
