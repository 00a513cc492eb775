#include "job.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace svfplay {

namespace {

const char* NullIfEmpty(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

}  // namespace

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos) end = text.size();
        if (end > start && text[end - 1] == '\r') --end;
        lines.emplace_back(text, start, end - start);
        start = next;
    }
    return lines;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) return false;
    std::ostringstream buffer;
    buffer << stream.rdbuf();
    if (stream.bad()) return false;
    text = std::move(buffer).str();
    return true;
}

uint32_t CountFileLines(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) return 0;
    uint32_t count = 0;
    char last = '\n';
    for (auto it = std::istreambuf_iterator<char>(stream); it != std::istreambuf_iterator<char>();
         ++it) {
        last = *it;
        if (last == '\n') ++count;
    }
    return last == '\n' ? count : count + 1;
}

Job::Job(const Options& options) : options_(options) {
    info_.flags = Flags();
    info_.svfSource = options_.svfFile.c_str();
    info_.errorFile = NullIfEmpty(options_.errorFile);
    info_.cnnFile = NullIfEmpty(options_.cnnFile);
    info_.pioMapFile = NullIfEmpty(options_.pioMapFile);
    info_.totalBypassLength = options_.bypassLength;
    info_.totalIrLength = options_.irLength;
    info_.frequencyKhz = options_.frequencyKhz.value_or(0);
    info_.tap = options_.tap;
    info_.startState = options_.startIdle ? SVF_START_STATE_IDLE : 0;
    info_.finalState = options_.finalStateCode;
    info_.ganging = options_.gang ? options_.gang->c_str() : nullptr;
    if (options_.connection) SetConnection();
}

uint32_t Job::Flags() const {
    uint32_t flags = options_.rawFlags;
    if (!options_.frequencyKhz) flags |= SVF_FLAG_KEEP_FREQUENCY;
    if (options_.numberedErrors) flags |= SVF_FLAG_NUMBERED_ERRORS;
    if (options_.connection) flags |= SVF_FLAG_CONNECTION_STRINGS;
    if (options_.pio) flags |= SVF_FLAG_PIO;
    if (options_.keepMappedPins) flags |= SVF_FLAG_KEEP_MAPPED_PINS;
    if (options_.fromMemory) flags |= SVF_FLAG_LINES_IN_MEMORY;
    return flags;
}

void Job::SetConnection() {
    const ConnectionSpec& kept = *options_.connection;  // the copy this Job owns
    connection_.flags = (options_.noTrst ? SVF_CONNECTION_NO_TRST : 0u) |
                        (options_.avoidReset ? SVF_CONNECTION_AVOID_RESET : 0u);
    connection_.irLead = NullIfEmpty(kept.irLead);
    connection_.irTail = NullIfEmpty(kept.irTail);
    connection_.drLead = NullIfEmpty(kept.drLead);
    connection_.drTail = NullIfEmpty(kept.drTail);
    info_.cnnFile = &connection_;
}

std::unique_ptr<Job> Job::Build(const Options& options, std::string& error) {
    std::unique_ptr<Job> job(new Job(options));
    if (options.fromMemory) {
        std::string text;
        if (!ReadWholeFile(options.svfFile, text)) {
            error = "cannot read '" + options.svfFile + "'";
            return nullptr;
        }
        job->lines_ = SplitLines(text);
        job->linePointers_.reserve(job->lines_.size() + 1);
        for (const auto& line : job->lines_) job->linePointers_.push_back(line.c_str());
        job->linePointers_.push_back(nullptr);
        job->info_.svfSource = job->linePointers_.data();
    }
    return job;
}

}  // namespace svfplay
