#include "output.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <string_view>

#include "slots.h"

namespace svfplay {

namespace {

constexpr size_t kBarWidth = 30;
constexpr uint32_t kPercent = 100;
constexpr char kErrorsNote[] = "ERRORS\t";
constexpr double kMicrosecondsPerSecond = 1e6;
constexpr unsigned kSecondsPerMinute = 60;
constexpr double kMinimumElapsedSeconds = 0.5;  // below, a rate means little
constexpr char kSvfLinePrefix[] = "SVF line";

struct CodeName {
    uint32_t code;
    const char* name;
};

constexpr CodeName kCodeNames[] = {
    {SVF_RESULT_PASS, "no mismatch"},
    {SVF_RESULT_NOT_OPENED, "file not opened"},
    {SVF_RESULT_PIO_MAP_UNREADABLE, "PIO mapping file unreadable"},
    {SVF_RESULT_WRITE_FAILED, "ERROR file not written"},
    {SVF_RESULT_END_OF_FILE, "end of file inside a statement"},
    {SVF_RESULT_SYNTAX, "syntax error"},
    {SVF_RESULT_IR_LENGTH, "IR length varies on an indirect connection"},
    {SVF_RESULT_GANGING, "ganging not possible"},
    {SVF_RESULT_STATE, "illegal state transition"},
    {SVF_RESULT_CONNECTION_BITS, "connection bits undefined"},
    {SVF_RESULT_INTERNAL, "internal error"},
    {SVF_RESULT_CONTROLLER, "controller call failed"},
    {SVF_RESULT_ABORTED, "aborted"},
    {SVF_RESULT_CNN, "CNN file or connection not usable"},
    {SVF_RESULT_BAD_JOB, "bad job or option"},
    {SVF_RESULT_NO_MEMORY, "out of memory"},
    {SVF_RESULT_FAILURES, "mismatches found by the player"},
    {SVF_RESULT_PIO_TOO_MANY_PINS, "too many PIO pins"},
    {SVF_RESULT_PIO_PIN_DEFINED, "PIO pin defined twice"},
    {SVF_RESULT_PIO_NAME_DEFINED, "PIO name defined twice"},
    {SVF_RESULT_PIO_MAP_SYNTAX, "PIO mapping syntax error"},
    {SVF_RESULT_PIO_DRIVE_ON_READ, "PIO drives an input pin"},
    {SVF_RESULT_PIO_READ_ON_DRIVE, "PIO reads an output pin"},
    {SVF_RESULT_PIO_PIN_IN_USE, "PIO pin used by the TAP"},
};

// "1234 lines/s  ETA 0:07" once enough time has passed to tell.
std::string RateAndEta(uint32_t line, uint32_t totalLines, double elapsedSeconds) {
    if (elapsedSeconds < kMinimumElapsedSeconds || line == 0) return "";
    const double rate = line / elapsedSeconds;
    char text[64];
    int length = std::snprintf(text, sizeof text, "  %.0f lines/s", rate);
    if (totalLines > line && length > 0) {
        const auto eta = static_cast<unsigned long>((totalLines - line) / rate);
        std::snprintf(text + length, sizeof text - static_cast<size_t>(length), "  ETA %lu:%02lu",
                      eta / kSecondsPerMinute, eta % kSecondsPerMinute);
    }
    return text;
}

std::string FrequencyLine(const RunOutcome& outcome) {
    std::string line = "Frequency: ";
    if (outcome.frequencyKhz == 0) {
        line += "the controller's own";
        if (outcome.controllerFrequencyKhz) {
            line += ", " + std::to_string(*outcome.controllerFrequencyKhz) + " kHz";
        }
        return line;
    }
    line += std::to_string(outcome.frequencyKhz) + " kHz";
    if (outcome.controllerFrequencyKhz && *outcome.controllerFrequencyKhz != outcome.frequencyKhz) {
        line += " requested, limited by the controller to " +
                std::to_string(*outcome.controllerFrequencyKhz) + " kHz";
    }
    return line;
}

std::string FailureLine(const RunOutcome& outcome, const std::vector<HostMessage>& messages) {
    if (const auto count = ErrorsNoteCount(messages)) {
        return "Failures: " + std::to_string(*count) + " failing bit(s)";
    }
    if (outcome.returnValue == SVF_RETURN_PASS) return "Failures: none";
    std::string line = "Failures: the controller's compare found mismatches";
    if (outcome.gangFailMask != 0) {
        char mask[32];
        std::snprintf(mask, sizeof mask, " (failing TAP mask 0x%X)", outcome.gangFailMask);
        line += mask;
    }
    return line;
}

nlohmann::json StatsJson(const VeltraSimStats& stats) {
    nlohmann::json calls = nlohmann::json::object();
    for (size_t slot = 0; slot < kSlotCount; ++slot) {
        if (stats.calls[slot] == 0) continue;
        const char* name = SlotName(slot);
        calls[name != nullptr ? name : "slot" + std::to_string(slot)] = stats.calls[slot];
    }
    return {{"calls", calls},
            {"irBits", stats.irBits},
            {"drBits", stats.drBits},
            {"tckCycles", stats.tckCycles},
            {"virtualTimeUs", stats.virtualTimeUs}};
}

}  // namespace

MessageRecorder::MessageRecorder(int32_t verbosity, Listener onMessage)
    : onMessage_(std::move(onMessage)) {
    report_.messageCallback = &MessageRecorder::Deliver;
    report_.messageContext = this;
    report_.verbosity = verbosity;
}

// Called from inside the player: nothing may escape.
void MessageRecorder::Deliver(void* context, const SvfMessage* message) {
    auto* self = static_cast<MessageRecorder*>(context);
    if (self == nullptr || message == nullptr) return;
    try {
        HostMessage copy{message->kind, message->level, message->sequence, message->line,
                         message->text != nullptr ? message->text : ""};
        self->messages_.push_back(std::move(copy));
        if (self->onMessage_) self->onMessage_(self->messages_.back());
    } catch (...) {
        self->complete_ = false;
    }
}

const char* Verdict(int32_t returnValue) {
    switch (returnValue) {
        case SVF_RETURN_PASS: return "PASS";
        case SVF_RETURN_FAIL: return "FAIL";
        default: return "ERROR";
    }
}

const char* ResultCodeName(int32_t returnValue, uint32_t resultCode) {
    if (resultCode == SVF_RESULT_MISMATCH) {
        return returnValue == SVF_RETURN_FAIL ? "mismatches found by the controller"
                                              : "stopped inside a scan statement or on FLAG";
    }
    for (const auto& entry : kCodeNames) {
        if (entry.code == resultCode) return entry.name;
    }
    return "unknown";
}

std::optional<uint32_t> SvfLineOf(const HostMessage& message) {
    if (message.kind == SVF_MESSAGE_LINE) return message.line;
    if (message.text.rfind(kSvfLinePrefix, 0) != 0) return std::nullopt;
    const char* digits = message.text.c_str() + sizeof kSvfLinePrefix - 1;
    char* end = nullptr;
    const unsigned long line = std::strtoul(digits, &end, 10);
    if (end == digits || std::string_view(end).rfind(" : ", 0) != 0) return std::nullopt;
    return static_cast<uint32_t>(line);
}

std::string FormatProgress(uint32_t line, uint32_t totalLines, double elapsedSeconds) {
    if (totalLines == 0)
        return "line " + std::to_string(line) + RateAndEta(line, 0, elapsedSeconds);
    const uint32_t shown = std::min(line, totalLines);
    const auto filled = static_cast<size_t>(uint64_t{shown} * kBarWidth / totalLines);
    const auto percent = static_cast<uint32_t>(uint64_t{shown} * kPercent / totalLines);
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "] %3u%%  line %u of %u", percent, shown, totalLines);
    std::string bar = "[";
    bar.append(filled, '#').append(kBarWidth - filled, '.').append(numbers);
    return bar + RateAndEta(shown, totalLines, elapsedSeconds);
}

ProgressBar::ProgressBar(std::ostream& stream, uint32_t totalLines, bool enabled)
    : stream_(stream), totalLines_(totalLines), enabled_(enabled) {}

ProgressBar::~ProgressBar() { Clear(); }

void ProgressBar::Update(uint32_t line) {
    if (!enabled_) return;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
    const std::string text = FormatProgress(line, totalLines_, elapsed.count());
    // Pad over a longer previous text.
    const size_t pad = shownWidth_ > text.size() ? shownWidth_ - text.size() : 0;
    stream_ << '\r' << text << std::string(pad, ' ') << std::flush;
    shownWidth_ = text.size();
}

void ProgressBar::Clear() {
    if (!enabled_ || shownWidth_ == 0) return;
    stream_ << '\r' << std::string(shownWidth_, ' ') << '\r' << std::flush;
    shownWidth_ = 0;
}

std::optional<long> ErrorsNoteCount(const std::vector<HostMessage>& messages) {
    const auto it = std::find_if(messages.rbegin(), messages.rend(), [](const HostMessage& m) {
        return m.kind == SVF_MESSAGE_NOTE && m.text.rfind(kErrorsNote, 0) == 0;
    });
    if (it == messages.rend()) return std::nullopt;
    const char* digits = it->text.c_str() + sizeof kErrorsNote - 1;
    char* end = nullptr;
    const long count = std::strtol(digits, &end, 10);
    if (end == digits) return std::nullopt;
    return count;
}

std::string FormatSummary(const RunOutcome& outcome, const std::vector<HostMessage>& messages) {
    std::ostringstream text;
    text << "Result: " << Verdict(outcome.returnValue) << " (result code " << outcome.resultCode
         << ": " << ResultCodeName(outcome.returnValue, outcome.resultCode) << ")\n";
    if (outcome.returnValue != SVF_RETURN_ERROR) text << FailureLine(outcome, messages) << '\n';
    text << FrequencyLine(outcome) << '\n';
    if (outcome.stats) {
        const uint64_t us = outcome.stats->virtualTimeUs;
        char seconds[48];
        std::snprintf(seconds, sizeof seconds, "%.6f s",
                      static_cast<double>(us) / kMicrosecondsPerSecond);
        text << "Simulated time: " << seconds << " (" << us << " us, " << outcome.stats->tckCycles
             << " TCK cycles)\n";
    }
    return text.str();
}

nlohmann::json BuildJson(const RunOutcome& outcome, const std::vector<HostMessage>& messages,
                         nlohmann::json failures) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& m : messages) {
        const auto svfLine = SvfLineOf(m);
        list.push_back({{"kind", m.kind},
                        {"level", m.level},
                        {"sequence", m.sequence},
                        {"line", m.line},
                        {"svfLine", svfLine ? nlohmann::json(*svfLine) : nlohmann::json(nullptr)},
                        {"text", m.text}});
    }
    return {{"return", outcome.returnValue},
            {"resultCode", outcome.resultCode},
            {"verdict", Verdict(outcome.returnValue)},
            {"failures", std::move(failures)},
            {"frequencyKhz", outcome.frequencyKhz},
            {"gangFailMask", outcome.gangFailMask},
            {"messages", std::move(list)},
            {"stats", outcome.stats ? StatsJson(*outcome.stats) : nlohmann::json(nullptr)}};
}

}  // namespace svfplay
