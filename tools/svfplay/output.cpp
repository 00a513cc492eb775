#include "output.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <sstream>

#include "slots.h"

namespace svfplay {

namespace {

constexpr size_t kBarWidth = 30;
constexpr uint32_t kPercent = 100;
constexpr char kErrorsNote[] = "ERRORS\t";
constexpr double kMicrosecondsPerSecond = 1e6;

const char* Verdict(int32_t returnValue) {
    switch (returnValue) {
        case SVF_RETURN_PASS: return "PASS";
        case SVF_RETURN_FAIL: return "FAIL";
        default: return "ERROR";
    }
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

std::string FormatProgress(uint32_t line, uint32_t totalLines) {
    if (totalLines == 0) return "line " + std::to_string(line);
    const uint32_t shown = std::min(line, totalLines);
    const auto filled = static_cast<size_t>(uint64_t{shown} * kBarWidth / totalLines);
    const auto percent = static_cast<uint32_t>(uint64_t{shown} * kPercent / totalLines);
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "] %3u%%  line %u of %u", percent, shown, totalLines);
    std::string bar = "[";
    bar.append(filled, '#').append(kBarWidth - filled, '.').append(numbers);
    return bar;
}

ProgressBar::ProgressBar(std::ostream& stream, uint32_t totalLines, bool enabled)
    : stream_(stream), totalLines_(totalLines), enabled_(enabled) {}

ProgressBar::~ProgressBar() { Clear(); }

void ProgressBar::Update(uint32_t line) {
    if (!enabled_) return;
    const std::string text = FormatProgress(line, totalLines_);
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
         << ")\n";
    if (outcome.returnValue != SVF_RETURN_ERROR) text << FailureLine(outcome, messages) << '\n';
    if (outcome.stats) {
        const uint64_t us = outcome.stats->virtualTimeUs;
        char seconds[48];
        std::snprintf(seconds, sizeof seconds, "%.6f s",
                      static_cast<double>(us) / kMicrosecondsPerSecond);
        text << "Simulated time: " << seconds << " (" << us << " us, "
             << outcome.stats->tckCycles << " TCK cycles)\n";
    }
    return text.str();
}

nlohmann::json BuildJson(const RunOutcome& outcome, const std::vector<HostMessage>& messages) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& m : messages) {
        list.push_back({{"kind", m.kind},
                        {"level", m.level},
                        {"sequence", m.sequence},
                        {"line", m.line},
                        {"text", m.text}});
    }
    return {{"return", outcome.returnValue},
            {"resultCode", outcome.resultCode},
            {"frequencyKhz", outcome.frequencyKhz},
            {"gangFailMask", outcome.gangFailMask},
            {"messages", std::move(list)},
            {"stats", outcome.stats ? StatsJson(*outcome.stats) : nlohmann::json(nullptr)}};
}

}  // namespace svfplay
