#include "scan/tap_state.h"

#include "controller/controller.h"
#include "report/report.h"

namespace svf {

Status RunStatePath(SvfSession& session) {
    TapStates& tap = session.tap;
    const VeltraApi* api = session.host.api;
    // Only stable states are sent: the controller picks its own path between
    // them, so the states in between are merely recorded.
    for (int32_t i = 0; i < tap.statePathLength; ++i) {
        tap.tapState = tap.statePath[static_cast<size_t>(i)];
        if (!IsStableState(tap.tapState)) continue;
        const uint32_t result = Call<&VeltraApi::SetTapState>(api, session.connection.testerTap,
                                                              StateCodeOf(tap.tapState));
        if (result != VELTRA_OK) {
            ReportLineError(session.host.report, static_cast<long>(session.reader.lineNumber),
                            "unable to set TAP state; %s", FailureText(api, result));
            return kControllerFailed;
        }
    }
    if (!IsStableState(tap.tapState)) {
        ReportLineError(session.host.report, static_cast<long>(session.reader.lineNumber),
                        "illegal state transition");
        return kIllegalState;
    }
    return kOk;
}

Status SelectStopState(SvfSession& session, ScanRegister reg) {
    TapStates& tap = session.tap;
    const int32_t wanted = reg == ScanRegister::kIr ? tap.endIrState : tap.endDrState;
    if (tap.stopState == wanted) return kOk;
    const VeltraApi* api = session.host.api;
    if (Call<&VeltraApi::SetStopState>(api, StateCodeOf(wanted)) != VELTRA_OK) {
        // Left unchanged, so that the next scan tries again.
        ReportError(session.host.report, "Error: Setting stop state failed; %s",
                    ControllerErrorText(api));
        return kControllerFailed;
    }
    tap.stopState = wanted;
    return kOk;
}

}  // namespace svf
