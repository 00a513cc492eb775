#include "svf/state_statements.h"

#include <cmath>
#include <cstdint>

#include "controller/controller.h"
#include "number_conversion.h"
#include "report/report.h"
#include "scan/tap_state.h"
#include "scan/waits.h"
#include "svf/reader/reader.h"

namespace svf {
namespace {

constexpr const char* kResetWarning = "RESET state may cause problems";
constexpr const char* kChangedToIdle = "Changed to IDLE";
constexpr double kMaxRunSeconds = 4000.0;
constexpr double kMicrosecondsPerSecond = 1000000.0;
constexpr uint32_t kTrstAsserted = 0;
constexpr uint32_t kTrstReleased = 1;

// A tokenizer failure inside TRST, ENDIR, ENDDR or STATE: the end of the
// file is reported here, other failures were reported by the reader.
Status EndOfStatement(const SvfSession& session, Status status) {
    if (status == kEndOfFile) SyntaxError(session, "illegal end of file");
    return status;
}

// Stable state word: false when `code` is none. RESET is reported because
// it may upset the board; a connection that must avoid it gets IDLE instead.
bool StableStateOf(const SvfSession& session, int code, int32_t& state) {
    if (!IsStateToken(code) || !IsStableState(StateOf(code))) return false;
    state = StateOf(code);
    if (state != kStateReset) return true;
    const SvfReport* report = session.host.report;
    if (session.connection.avoidResetState) {
        ReportWarning(report, "%s %6ld : %s %s", kSvfLine, LineOf(session), kResetWarning,
                      kChangedToIdle);
        state = kStateIdle;
    } else {
        ReportWarning(report, "%s %6ld : %s", kSvfLine, LineOf(session), kResetWarning);
    }
    return true;
}

bool IsNumberToken(const Token& token, double& value) {
    return token.code == kTokenNumber && ParseSvfNumber({token.text, token.length}, value);
}

// ---------------------------------------------------------------- TRST

Status TrstFailed(const SvfSession& session, const char* value, uint32_t result) {
    ReportLineError(session.host.report, LineOf(session), "executing TRST %s failed; %s", value,
                    FailureText(session.host.api, result));
    return kControllerFailed;
}

Status TrstOn(SvfSession& session) {
    if (session.connection.trstForbidden) {
        ReportWarning(session.host.report, "%s %6ld : TRST reset not allowed (ignored)", kSvfLine,
                      LineOf(session));
        return kOk;
    }
    const VeltraApi* api = session.host.api;
    const uint32_t tap = session.connection.testerTap;
    uint32_t result = VELTRA_NOT_SUPPORTED;
    if (session.host.libraryVersion >= kVersionSetTrst) {
        result = Call<&VeltraApi::SetTrst>(api, tap, kTrstAsserted);
    }
    if (result == VELTRA_NOT_SUPPORTED) result = Call<&VeltraApi::PulseTrst>(api, tap);
    return result == VELTRA_OK ? kOk : TrstFailed(session, "ON", result);
}

Status TrstOff(SvfSession& session) {
    if (session.connection.trstForbidden || session.host.libraryVersion < kVersionSetTrst)
        return kOk;
    const uint32_t result =
        Call<&VeltraApi::SetTrst>(session.host.api, session.connection.testerTap, kTrstReleased);
    return result == VELTRA_FAILED ? TrstFailed(session, "OFF", result) : kOk;
}

Status ApplyTrst(SvfSession& session, int code) {
    switch (code) {
        case kTokenOn: return TrstOn(session);
        case kTokenOff: return TrstOff(session);
        case kTokenAbsent:
            if (session.reader.executedCount != 0) {
                return SyntaxError(session, "TRST ABSENT should be the first SVF command");
            }
            return kOk;
        default: return kOk;  // Z, and any other word, change nothing
    }
}

Status ExpectSemicolon(SvfSession& session) {
    const Token token = NextToken(session);
    if (token.status != kOk) return EndOfStatement(session, token.status);
    return token.code == kTokenSemicolon ? kOk : SyntaxError(session, "semicolon expected");
}

// ------------------------------------------------------------- RUNTEST

// RUNTEST reports the end of the file itself and turns every tokenizer
// failure into a syntax error.
bool TakeRunTestToken(SvfSession& session, Token& token) {
    token = NextToken(session);
    if (token.status == kOk) return true;
    if (token.status == kEndOfFile) SyntaxError(session, "illegal end of file");
    return false;
}

// Seconds to microseconds, limited to 4000 s; a time that rounds to 0 is 1.
uint32_t MinTimeOf(const SvfSession& session, double seconds) {
    if (seconds >= kMaxRunSeconds) {
        ReportWarning(session.host.report, "%s %6ld : Max supported value 4000 sec, truncated!",
                      kSvfLine, LineOf(session));
        seconds = kMaxRunSeconds;
    }
    const auto microseconds = SaturatingCast<uint32_t>(seconds * kMicrosecondsPerSecond);
    return microseconds == 0 ? 1 : microseconds;
}

uint32_t TckCountOf(double count) {
    const auto whole = SaturatingCast<uint32_t>(count);
    return whole == 0 ? 1 : whole;
}

// run_count unit: TCK or SEC.
Status ParseRunUnit(SvfSession& session, double value) {
    Token token;
    if (!TakeRunTestToken(session, token)) return kSyntax;
    TapStates& tap = session.tap;
    switch (token.code) {
        case kTokenSck: return SyntaxError(session, "\"SCK\" units not supported");
        case kTokenTck: tap.runTckCount = TckCountOf(value); return kOk;
        case kTokenSec: tap.runMinTime = MinTimeOf(session, value); return kOk;
        default: return SyntaxError(session, "\"TCK\", \"SEC\" expected");
    }
}

// [min_time SEC] after a TCK count; `token` is the word after the count and
// becomes the word after the time.
Status ParseMinTime(SvfSession& session, Token& token) {
    double seconds = 0.0;
    if (session.tap.runMinTime != 0 || !IsNumberToken(token, seconds)) return kOk;
    if (seconds <= 0.0) return SyntaxError(session, "min_time greater than zero");
    if (!TakeRunTestToken(session, token)) return kSyntax;
    if (token.code != kTokenSec) return SyntaxError(session, "\"SEC\" expected");
    session.tap.runMinTime = MinTimeOf(session, seconds);
    return TakeRunTestToken(session, token) ? kOk : kSyntax;
}

// [ENDSTATE end_state] ;
Status ParseRunTestEnd(SvfSession& session, const Token& token) {
    TapStates& tap = session.tap;
    if (token.code == kTokenMaximum && tap.runMinTime != 0) {
        return SyntaxError(session, "\"MAXIMUM\" not supported");
    }
    if (token.code == kTokenEndState) {
        Token next;
        if (!TakeRunTestToken(session, next)) return kSyntax;
        int32_t state = 0;
        if (!StableStateOf(session, next.code, state))
            return SyntaxError(session, "stable state expected");
        tap.runEndState = state;
        if (!TakeRunTestToken(session, next)) return kSyntax;
        return next.code == kTokenSemicolon ? kOk : SyntaxError(session, "semicolon expected");
    }
    if (token.code == kTokenSemicolon) return kOk;
    return SyntaxError(session, tap.runMinTime == 0 ? "\"min_time\", \"ENDSTATE\" or \";\" expected"
                                                    : "\"ENDSTATE\" or \";\" expected");
}

Status ParseRunTestFields(SvfSession& session) {
    TapStates& tap = session.tap;
    Token token;
    if (!TakeRunTestToken(session, token)) return kSyntax;
    int32_t state = 0;
    if (StableStateOf(session, token.code, state)) {
        tap.runState = state;
        tap.runEndState = state;
        if (!TakeRunTestToken(session, token)) return kSyntax;
    }
    double value = 0.0;
    if (!IsNumberToken(token, value))
        return SyntaxError(session, "run_count/min_time or stable state expected");
    if (value <= 0.0) return SyntaxError(session, "run_count/min_time greater than zero");
    if (const Status status = ParseRunUnit(session, value); status != kOk) return status;
    if (!TakeRunTestToken(session, token)) return kSyntax;
    if (const Status status = ParseMinTime(session, token); status != kOk) return status;
    return ParseRunTestEnd(session, token);
}

// ------------------------------------------------------------- numbers

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Appends the digits at `p` to `value`; false when there is none.
bool ReadDigits(const char*& p, const char* end, double& value) {
    const char* start = p;
    for (; p != end && IsDigit(*p); ++p) value = value * 10.0 + (*p - '0');
    return p != start;
}

}  // namespace

Status ParseTrst(SvfSession& session) {
    const Token value = NextToken(session);
    if (value.status != kOk) return EndOfStatement(session, value.status);
    TapStates& tap = session.tap;
    if (tap.trstMode == kTokenAbsent)
        return SyntaxError(session, "TRST is already defined as ABSENT");
    tap.trstMode = static_cast<uint32_t>(value.code);
    if (const Status status = ApplyTrst(session, value.code); status != kOk) return status;
    return ExpectSemicolon(session);
}

Status ParseEndState(int code, SvfSession& session) {
    const Token token = NextToken(session);
    if (token.status != kOk) return EndOfStatement(session, token.status);
    int32_t state = 0;
    if (!StableStateOf(session, token.code, state))
        return SyntaxError(session, "stable state expected");
    if (const Status status = ExpectSemicolon(session); status != kOk) return status;
    (code == kTokenEndIr ? session.tap.endIrState : session.tap.endDrState) = state;
    return kOk;
}

Status ParseState(SvfSession& session) {
    TapStates& tap = session.tap;
    tap.statePathLength = 0;
    int32_t last = kStateReset;
    for (;;) {
        const Token token = NextToken(session);
        if (token.status != kOk) return EndOfStatement(session, token.status);
        if (token.code == kTokenSemicolon) {
            if (!IsStableState(last))
                return SyntaxError(session, "last state must be a stable state");
            return RunStatePath(session);
        }
        if (!IsStateToken(token.code))
            return SyntaxError(session, "TAP state or semicolon expected");
        if (!StableStateOf(session, token.code, last)) last = StateOf(token.code);
        if (tap.statePathLength >= kMaxStatePath) {
            ReportLineError(session.host.report, LineOf(session), "too many states, %d allowed",
                            kMaxStatePath);
            return kSyntax;
        }
        tap.statePath[static_cast<size_t>(tap.statePathLength++)] = last;
    }
}

Status ParseRunTest(SvfSession& session) {
    TapStates& tap = session.tap;
    tap.runTckCount = 0;
    tap.runMinTime = 0;
    Status status = ParseRunTestFields(session);
    if (status == kOk) status = ExecuteRunTest(session);
    tap.runTckCount = 0;
    tap.runMinTime = 0;
    return status;
}

bool ParseSvfNumber(std::string_view text, double& value) {
    const char* p = text.data();
    const char* const end = p + text.size();
    double mantissa = 0.0;
    const bool integerDigits = ReadDigits(p, end, mantissa);
    bool fractionDigits = false;
    if (p != end && *p == '.') {
        ++p;
        double scale = 1.0;
        for (; p != end && IsDigit(*p); ++p) {
            scale *= 10.0;
            mantissa += (*p - '0') / scale;
            fractionDigits = true;
        }
        if (!fractionDigits) return false;
    }
    if (!integerDigits && !fractionDigits) return false;
    double exponent = 0.0;
    if (p != end && (*p == 'E' || *p == 'e')) {
        ++p;
        if (p != end && *p == '+') ++p;
        const bool negative = p != end && *p == '-';
        if (negative) ++p;
        if (!ReadDigits(p, end, exponent)) return false;
        if (negative) exponent = -exponent;
    }
    if (p != end) return false;
    // 0 x 10^huge would be 0 x infinity = NaN, which passes every "0 or less" check.
    value = mantissa == 0.0 ? 0.0 : mantissa * std::pow(10.0, exponent);
    return true;
}

}  // namespace svf
