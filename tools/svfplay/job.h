// The job record handed to Svf_Execute, built from the options. It owns
// every string and array the record points to, so it must stay in place
// (no copy, no move) while the player runs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "options.h"
#include "svfplayer/svf_player.h"

namespace svfplay {

class Job {
  public:
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // Fills the record from `options`; with --from-memory reads the SVF file
    // first. Null (and `error` set) when that file cannot be read.
    static std::unique_ptr<Job> Build(const Options& options, std::string& error);

    // The record to hand to Svf_Execute (it writes the output fields).
    SvfInfo* record() { return &info_; }
    const SvfInfo& info() const { return info_; }
    const ConnectionStrings& connection() const { return connection_; }
    // The lines passed in memory (empty without --from-memory).
    const std::vector<std::string>& lines() const { return lines_; }

  private:
    explicit Job(const Options& options);
    uint32_t Flags() const;
    void SetConnection();

    const Options options_;
    SvfInfo info_{};
    ConnectionStrings connection_{};
    std::vector<std::string> lines_;
    std::vector<const char*> linePointers_;
};

// Splits text into lines at "\n", dropping a "\r" before it; a last line
// without a line end counts too.
std::vector<std::string> SplitLines(const std::string& text);

// The file's lines as SplitLines sees them; 0 when it cannot be read.
uint32_t CountFileLines(const std::string& path);

bool ReadWholeFile(const std::string& path, std::string& text);

}  // namespace svfplay
