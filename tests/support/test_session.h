// Sessions and jobs for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "session.h"
#include "support/files.h"
#include "support/messages.h"
#include "support/sim.h"

namespace svftest {

// A session as the set-up leaves it for a direct connection on TAP 1 at
// 1000 kHz, with the TAP just reset, reading `lines` from memory. The
// controller is veltra-sim (reset it with a SimSession first).
class TestSession {
  public:
    TestSession(MessageLog& log, std::vector<std::string> lines = {});
    TestSession(const TestSession&) = delete;
    TestSession& operator=(const TestSession&) = delete;

    svf::SvfSession& operator*() { return session_; }
    svf::SvfSession* operator->() { return &session_; }
    // Replaces the remaining input with `lines` (line numbers go on).
    void SetLines(std::vector<std::string> lines);

  private:
    std::vector<std::string> lines_;
    std::vector<const char*> pointers_;
    svf::SvfSession session_;
};

// A job record with the defaults of these tests: TAP 1, 1000 kHz.
SvfInfo DefaultJob();

// Plays `svfText` through Svf_Execute against veltra-sim: from the file
// dir/"test.svf" or, with SVF_FLAG_LINES_IN_MEMORY in info.flags, from memory.
int32_t RunSvf(const std::string& svfText, SvfInfo& info, MessageLog& log, const TempDir& dir);

// What most whole-run tests hold: a clean veltra-sim, a message log, a
// temporary folder and the default job. Test fixtures derive from it.
struct JobParts {
    SimSession sim;
    MessageLog log;
    TempDir dir;
    SvfInfo info = DefaultJob();
};

#if !defined(_WIN32)
// What a job run in a child process returned and reported.
struct ChildRun {
    int32_t result = -1;
    uint32_t resultCode = 0;
    std::vector<std::string> errors;
};

// Runs `job` in a child process whose files cannot grow beyond `limitBytes`
// (RLIMIT_FSIZE, SIGXFSZ ignored: a write past the limit fails as on a full
// disk). `log` is the job's message log.
ChildRun RunWithFileSizeLimit(long limitBytes, MessageLog& log,
                              const std::function<int32_t()>& job);
#endif

}  // namespace svftest
