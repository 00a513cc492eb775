#include "support/messages.h"

#include <algorithm>

namespace svftest {

MessageLog::MessageLog(int32_t verbosity) {
    report_.messageCallback = &MessageLog::OnMessage;
    report_.messageContext = this;
    report_.abortCallback = &MessageLog::OnAbortPoll;
    report_.abortContext = this;
    report_.verbosity = verbosity;
}

void MessageLog::OnMessage(void* context, const SvfMessage* message) {
    auto* self = static_cast<MessageLog*>(context);
    self->messages_.push_back(RecordedMessage{message->kind, message->level, message->sequence,
                                              message->line, message->text});
}

int32_t MessageLog::OnAbortPoll(void* context) {
    auto* self = static_cast<MessageLog*>(context);
    ++self->abortPolls_;
    if (self->abortAfter_ >= 0 && self->abortPolls_ > self->abortAfter_) return SVF_ABORT_REQUEST;
    return 0;
}

void MessageLog::AbortAfterPolls(int pollsBeforeAbort) { abortAfter_ = pollsBeforeAbort; }

std::vector<std::string> MessageLog::Texts(int kind) const {
    std::vector<std::string> texts;
    for (const RecordedMessage& message : messages_) {
        if (kind < 0 ? message.kind != SVF_MESSAGE_LINE
                     : message.kind == static_cast<uint32_t>(kind)) {
            texts.push_back(message.text);
        }
    }
    return texts;
}

bool MessageLog::Contains(const std::string& text) const {
    return std::any_of(messages_.begin(), messages_.end(),
                       [&](const RecordedMessage& message) { return message.text == text; });
}

std::string MessageLog::Dump() const {
    std::string dump;
    for (const std::string& text : Texts()) dump += text + "\n";
    return dump;
}

}  // namespace svftest
