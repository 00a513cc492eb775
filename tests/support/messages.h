// A host reporting context for tests: records every delivered message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "svfplayer/svf_player.h"

namespace svftest {

struct RecordedMessage {
    uint32_t kind;
    uint32_t level;
    uint32_t sequence;
    uint32_t line;
    std::string text;
};

class MessageLog {
  public:
    explicit MessageLog(int32_t verbosity = 3);
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    SvfReport* report() { return &report_; }
    const std::vector<RecordedMessage>& messages() const { return messages_; }
    // Texts of the messages of one kind (SVF_MESSAGE_*), progress records
    // excluded unless asked for.
    std::vector<std::string> Texts(int kind = -1) const;
    std::vector<std::string> Errors() const { return Texts(SVF_MESSAGE_ERROR); }
    std::vector<std::string> Warnings() const { return Texts(SVF_MESSAGE_WARNING); }
    std::vector<std::string> Notes() const { return Texts(SVF_MESSAGE_NOTE); }
    bool Contains(const std::string& text) const;
    // All non-progress texts joined by newlines: handy in failure output.
    std::string Dump() const;
    void Clear() { messages_.clear(); }

    // Abort request: the abort callback returns SVF_ABORT_REQUEST once it has
    // been polled `pollsBeforeAbort` times (never when negative).
    void AbortAfterPolls(int pollsBeforeAbort);
    int abortPolls() const { return abortPolls_; }

  private:
    static void OnMessage(void* context, const SvfMessage* message);
    static int32_t OnAbortPoll(void* context);

    SvfReport report_{};
    std::vector<RecordedMessage> messages_;
    int abortAfter_ = -1;
    int abortPolls_ = 0;
};

}  // namespace svftest
