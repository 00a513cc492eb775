// Shared set-up of the statement tests: veltra-sim reset, a recording host
// report and a session reading lines from memory.
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

namespace svftest {

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
inline std::string ErrorAt(long line, const std::string& text) { return AtLine(line, "Error\t: " + text); }
inline std::string WarningAt(long line, const std::string& text) {
    return AtLine(line, "Warning\t: " + text);
}

}  // namespace svftest
