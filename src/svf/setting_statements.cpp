#include "svf/setting_statements.h"

#include <cstdint>
#include <cstring>

#include "controller/controller.h"
#include "number_conversion.h"
#include "report/report.h"
#include "scan/waits.h"
#include "svf/reader/reader.h"
#include "svf/state_statements.h"

namespace svf {
namespace {

constexpr double kHzPerKhz = 1000.0;
constexpr double kMinimumKhz = 1.0;

void Warn(const SvfSession& session, const char* text) {
    ReportLineWarning(session.host.report, LineOf(session), "%s", text);
}

// FREQUENCY and merlo_correction report the end of the file and turn every
// tokenizer failure into a syntax error.
bool TakeToken(SvfSession& session, Token& token) {
    token = NextToken(session);
    if (token.status == kOk) return true;
    if (token.status == kEndOfFile) SyntaxError(session, "illegal end of file");
    return false;
}

// The value in kHz after its unit; false (reported) for a unit other than
// HZ, KHZ or MHZ.
bool ScaleToKhz(SvfSession& session, int unit, double& value) {
    switch (unit) {
        case kTokenHz: value /= kHzPerKhz; return true;
        case kTokenMhz:
            value *= kHzPerKhz;
            Warn(session, "HZ expected after frequency value");
            return true;
        case kTokenKhz: Warn(session, "HZ expected after frequency value"); return true;
        default: SyntaxError(session, "HZ expected after frequency value"); return false;
    }
}

}  // namespace

Status ParseFrequency(SvfSession& session) {
    Token token;
    if (!TakeToken(session, token)) return kSyntax;
    // Without a value the statement returns to the highest allowed frequency.
    if (token.code == kTokenSemicolon) return ApplyFrequency(session, session.freq.maxFrequency);
    double value = 0.0;
    if (token.code != kTokenNumber || !ParseSvfNumber({token.text, token.length}, value)) {
        return SyntaxError(session, "frequency value expected or semicolon");
    }
    char written[kLineBufferSize];  // the value as written, for the warning below
    std::strcpy(written, token.text);
    if (value <= 0.0) return SyntaxError(session, "frequency value must be greater than zero");
    if (!TakeToken(session, token)) return kSyntax;
    if (!ScaleToKhz(session, token.code, value)) return kSyntax;
    if (value < kMinimumKhz) {
        value = kMinimumKhz;
        if (!session.freq.fixedFrequency) {
            ReportLineWarning(session.host.report, LineOf(session),
                              "Frequency value of %s is unsupported, minimum "
                              "frequency is 1.0E3 HZ",
                              written);
        }
    }
    if (!TakeToken(session, token)) return kSyntax;
    if (token.code != kTokenSemicolon) return SyntaxError(session, "semicolon expected");
    return ApplyFrequency(session, SaturatingCast<int32_t>(value));
}

// Reads only its value: the ";" after it belongs to the marked comment line
// the statement is written on, and the dispatcher accepts it there.
Status ParseCorrection(SvfSession& session) {
    Token token;
    if (!TakeToken(session, token)) return kSyntax;
    switch (token.code) {
        case kTokenOn: return SwitchCorrection(session, kCorrectionOn);
        case kTokenOff: return SwitchCorrection(session, kCorrectionOff);
        default: Warn(session, "Flag value ON or OFF expected"); return kOk;
    }
}

Status ParseFlag(SvfSession& session) {
    Token token = NextToken(session);
    if (token.status != kOk) return token.status;
    int32_t length = 0;
    if (!ParseLeadingInt32(token.text, length)) return SyntaxError(session, "length expected");
    token = NextToken(session);
    if (token.status != kOk) return token.status;
    if (token.code != kTokenSemicolon) return SyntaxError(session, "semicolon expected");
    const VeltraApi* api = session.host.api;
    // The controller takes the length as a 16-bit value: -1 becomes 0xFFFF.
    const auto flagLength = static_cast<uint16_t>(length);
    if (Call<&VeltraApi::SetFlagLength>(api, session.connection.testerTap, uint32_t{flagLength}) ==
        VELTRA_FAILED) {
        ReportError(session.host.report, "Error: Setting flag length failed; %s",
                    ControllerErrorText(api));
        return kFlagRefused;
    }
    return kOk;
}

}  // namespace svf
