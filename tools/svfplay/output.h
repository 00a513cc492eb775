// What svfplay shows: the player's messages as they arrive, a progress bar,
// the closing summary, or the whole run as one JSON object.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "svfplayer/svf_player.h"
#include "veltra_sim.h"

namespace svfplay {

// A delivered message, copied out of the player's record.
struct HostMessage {
    uint32_t kind = 0;
    uint32_t level = 0;
    uint32_t sequence = 0;
    uint32_t line = 0;
    std::string text;
};

// The host side of SvfReport: keeps every delivered message in order and
// hands each to `onMessage` as it arrives.
class MessageRecorder {
  public:
    using Listener = std::function<void(const HostMessage&)>;

    MessageRecorder(int32_t verbosity, Listener onMessage);
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    SvfReport* report() { return &report_; }
    const std::vector<HostMessage>& messages() const { return messages_; }
    // False when memory ran out and a message was dropped.
    bool complete() const { return complete_; }

  private:
    static void Deliver(void* context, const SvfMessage* message);

    SvfReport report_{};
    Listener onMessage_;
    std::vector<HostMessage> messages_;
    bool complete_ = true;
};

// "[#########...........]  45%  line 123 of 272  1200 lines/s  ETA 0:07";
// the line count past the total is clamped, an unknown total (0) shows the
// line alone, and the rate and ETA need some elapsed time.
std::string FormatProgress(uint32_t line, uint32_t totalLines, double elapsedSeconds = 0);

// A progress line on a terminal, redrawn in place; cleared before other
// output is written and at the end.
class ProgressBar {
  public:
    ProgressBar(std::ostream& stream, uint32_t totalLines, bool enabled);
    ~ProgressBar();
    void Update(uint32_t line);
    void Clear();

  private:
    std::ostream& stream_;
    uint32_t totalLines_;
    bool enabled_;
    size_t shownWidth_ = 0;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// What Svf_Execute left behind.
struct RunOutcome {
    int32_t returnValue = SVF_RETURN_ERROR;
    uint32_t resultCode = 0;
    uint32_t frequencyKhz = 0;
    uint32_t gangFailMask = 0;
    std::optional<VeltraSimStats> stats;             // veltra-sim only
    std::optional<uint32_t> controllerFrequencyKhz;  // what the controller reports running at
};

// "PASS", "FAIL" or "ERROR".
const char* Verdict(int32_t returnValue);

// What a result code means, in a few words ("syntax error").
const char* ResultCodeName(int32_t returnValue, uint32_t resultCode);

// The SVF line a message refers to: the line of a line-number record or the
// number of a "SVF line %6ld : " message.
std::optional<uint32_t> SvfLineOf(const HostMessage& message);

// The count of the last "ERRORS\t%ld" note, if the player sent one.
std::optional<long> ErrorsNoteCount(const std::vector<HostMessage>& messages);

// The closing lines: verdict with result code, failure count, frequency,
// simulated time.
std::string FormatSummary(const RunOutcome& outcome, const std::vector<HostMessage>& messages);

// The --json object: exactly return, resultCode, verdict, frequencyKhz,
// gangFailMask, messages, failures and stats.
nlohmann::json BuildJson(const RunOutcome& outcome, const std::vector<HostMessage>& messages,
                         nlohmann::json failures = nlohmann::json::array());

}  // namespace svfplay
