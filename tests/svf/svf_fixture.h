// Shared set-up of the statement tests: veltra-sim reset, a recording host
// report, a session reading lines from memory, and a table of statement runs.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "support/messages.h"
#include "support/sim.h"
#include "support/test_session.h"
#include "svf/dispatcher.h"

namespace svftest {

using Strings = std::vector<std::string>;
using Setup = void (*)(svf::SvfSession&);

// Lines played through the dispatcher, and what the run shows.
struct StatementRun {
    StatementRun(Strings in = {}, svf::Status out = svf::kOk, Strings shown = {}, Strings made = {})
        : lines(std::move(in)), status(out), texts(std::move(shown)), calls(std::move(made)) {}
    StatementRun& With(Setup more) {
        setup = more;
        return *this;
    }
    // `slot` answers `answer` on call `onCall` (1 for the first, 0 for every call).
    StatementRun& Failing(const char* slot, uint32_t answer = VELTRA_FAILED, uint32_t onCall = 0) {
        fail = slot;
        result = answer;
        call = onCall;
        return *this;
    }

    Strings lines;
    svf::Status status;
    Strings texts;  // the messages; "End of SVF file" ends every completed run
    Strings calls;  // the controller calls, error-text queries left out
    Setup setup = nullptr;
    const char* fail = nullptr;
    uint32_t result = VELTRA_FAILED;
    uint32_t call = 0;
};

// The abort poll's clock stands still unless a test moves it, so that no
// progress record or poll depends on how fast the test runs.
class SvfFixture : public ::testing::Test {
  protected:
    SvfFixture() { svf::platform::SetMillisecondClockOverride(StoppedClock); }
    ~SvfFixture() override { svf::platform::SetMillisecondClockOverride(nullptr); }

    static int32_t StoppedClock() { return 0; }

    svf::SvfSession& Start(std::vector<std::string> lines) {
        session_ = std::make_unique<TestSession>(log, std::move(lines));
        return **session_;
    }
    svf::SvfSession& session() { return **session_; }

    // Each run on a fresh simulator and session; the controller's error text is "boom".
    void Check(const std::vector<StatementRun>& runs) {
        for (const StatementRun& run : runs) {
            SCOPED_TRACE(run.lines.empty() ? "(no lines)" : run.lines.front());
            SimSession fresh;
            log.Clear();
            VeltraSim_SetErrorText("boom");
            if (run.fail != nullptr) fresh.Script(run.fail, run.result, run.call);
            svf::SvfSession& s = Start(run.lines);
            s.tap.stopState = svf::kStateIdle;
            s.freq.tckFrequency = 1000;
            if (run.setup != nullptr) run.setup(s);
            EXPECT_EQ(svf::RunStatements(s), run.status);
            Strings texts = run.texts;
            if (run.status == svf::kOk || run.status == svf::kRunFailures) {
                texts.push_back("End of SVF file");
            }
            EXPECT_EQ(log.Texts(), texts);
            Strings calls;
            for (const std::string& call : Trace()) {
                if (call.rfind("GetErrorText", 0) != 0) calls.push_back(call);
            }
            EXPECT_EQ(calls, run.calls);
        }
    }

    SimSession sim;
    MessageLog log;

  private:
    std::unique_ptr<TestSession> session_;
};

// Test names of table-driven cases: the case's `name` field.
template <class Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& param) {
    return param.param.name;
}

// "SVF line <n> : <text>" as every statement message begins.
inline std::string AtLine(long line, const std::string& text) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "SVF line %6ld : ", line);
    return prefix + text;
}
inline std::string ErrorAt(long line, const std::string& text) {
    return AtLine(line, "Error\t: " + text);
}
inline std::string WarningAt(long line, const std::string& text) {
    return AtLine(line, "Warning\t: " + text);
}

}  // namespace svftest
