#include "scan/waits.h"

#include <cmath>

#include "controller/controller.h"
#include "number_conversion.h"
#include "report/report.h"
#include "scan/tap_state.h"

namespace svf {
namespace {

constexpr double kMicrosecondsPerMillisecond = 1000.0;

Status MoveTo(SvfSession& session, int32_t state) {
    session.tap.statePath[0] = state;
    session.tap.statePathLength = 1;
    return RunStatePath(session);
}

// The frequency TCK cycles run at, in kHz (0 = unknown). Asked from the
// controller once after every frequency change, as the controller may have
// rounded the frequency it was given.
uint32_t TckFrequency(SvfSession& session) {
    FrequencyState& freq = session.freq;
    if (freq.tckFrequency != 0) return freq.tckFrequency;
    const uint32_t* record = nullptr;
    if (Call<&VeltraApi::GetControllerInfo>(session.host.api, &record) == VELTRA_OK &&
        record != nullptr && (record[0] & VELTRA_INFO_FREQUENCY_VALID) != 0) {
        freq.tckFrequency = record[VELTRA_INFO_WORD_FREQUENCY];
    } else {
        freq.tckFrequency = static_cast<uint32_t>(freq.frequency);
    }
    return freq.tckFrequency;
}

// Clocks `count` TCK cycles and gives the microseconds they take.
Status ClockCycles(SvfSession& session, uint32_t count, double& microseconds) {
    microseconds = 0.0;
    if (count == 0) return kOk;
    const VeltraApi* api = session.host.api;
    if (Call<&VeltraApi::WaitTck>(api, count) != VELTRA_OK) {
        ReportError(session.host.report, "Error: Wait TCK failed; %s", ControllerErrorText(api));
        return kControllerFailed;
    }
    const uint32_t khz = TckFrequency(session);
    if (khz != 0) microseconds = std::trunc(count * kMicrosecondsPerMillisecond / khz);
    return kOk;
}

}  // namespace

Status ExecuteRunTest(SvfSession& session) {
    TapStates& tap = session.tap;
    uint32_t cycles = tap.runTckCount;
    if (tap.runState != tap.tapState) {
        if (const Status status = MoveTo(session, tap.runState); status != kOk) return status;
        // Entering the run state takes one of the requested cycles.
        if (cycles != 0) --cycles;
    }
    double elapsed = 0.0;
    if (const Status status = ClockCycles(session, cycles, elapsed); status != kOk) return status;
    // Only the part of the minimum time that the cycles did not cover is waited.
    if (elapsed < tap.runMinTime) {
        const VeltraApi* api = session.host.api;
        const auto shortfall = SaturatingCast<uint32_t>(tap.runMinTime - elapsed);
        if (Call<&VeltraApi::WaitTime>(api, shortfall, VELTRA_TIME_MICROSECONDS) != VELTRA_OK) {
            ReportError(session.host.report, "Error: Wait time failed; %s",
                        ControllerErrorText(api));
            return kControllerFailed;
        }
    }
    if (tap.runEndState != tap.tapState) return MoveTo(session, tap.runEndState);
    return kOk;
}

Status ApplyFrequency(SvfSession& session, int32_t khz) {
    FrequencyState& freq = session.freq;
    const SvfReport* report = session.host.report;
    const auto line = static_cast<long>(session.reader.lineNumber);
    if (freq.fixedFrequency) {
        if (khz < freq.maxFrequency) {
            ReportLineWarning(report, line, "FREQUENCY statement ignored");
        }
        return kOk;
    }
    int32_t wanted = khz;
    if (khz > freq.maxFrequency) {
        wanted = freq.maxFrequency;
        if (freq.frequencyLimitNote) {
            ReportNote(report, "%s %6ld : Note\t: Frequency limited to %d kHz", kSvfLine, line,
                       freq.maxFrequency);
            freq.frequencyLimitNote = false;
        }
    }
    if (wanted == freq.frequency) return kOk;
    const VeltraApi* api = session.host.api;
    const uint32_t result = Call<&VeltraApi::SetFrequency>(api, static_cast<uint32_t>(wanted));
    if (result == VELTRA_FAILED) {
        // Not recorded: the same value is tried again by the next statement.
        ReportError(report, "Error: Setting frequency %d kHz failed; %s", wanted,
                    ControllerErrorText(api));
        return kControllerFailed;
    }
    if (result == VELTRA_OK) {
        ReportNote(report, "%s %6ld : Note\t: Frequency set to %d kHz", kSvfLine, line, wanted);
        freq.tckFrequency = 0;
    }
    freq.frequency = wanted;
    return kOk;
}

Status SwitchCorrection(SvfSession& session, uint16_t mode) {
    const VeltraApi* api = session.host.api;
    const uint32_t result = Call<&VeltraApi::SetFlagLength>(api, VELTRA_ALL_TAPS, uint32_t{mode});
    if (result == VELTRA_FAILED) {
        ReportError(session.host.report, "Error: Switching MERLO correction failed; %s",
                    ControllerErrorText(api));
        return kControllerFailed;
    }
    if (result == VELTRA_OK) session.freq.correctionMode = mode;
    return kOk;
}

}  // namespace svf
