// Init and terminate sequences of an indirect connection. Each step is one
// scan: its segments are shifted back to back, every call ending in Pause so
// that the scan goes on across them, and the move to IDLE closes it.
#include "scan/connection_sequence.h"

#include "controller/controller.h"
#include "report/report.h"
#include "scan/scan_execution.h"

namespace svf {
namespace {

struct SequenceContext {
    SvfSession& session;
    const char* wording;  // names the sequence in messages
    bool controllerCompare;
};

Status ShiftIrPattern(const SequenceContext& context, const ChainSegment& segment) {
    const SvfSession& session = context.session;
    const uint32_t tap = session.connection.testerTap;
    const uint32_t result =
        context.controllerCompare
            ? ShiftIrCompareInChunks(session.host.api, session.host.report, tap,
                                     segment.driveBits.data(), segment.bitCount, nullptr, nullptr,
                                     ShiftEnd::kPause)
            : ShiftIrInChunks(session.host.api, session.host.report, tap, segment.driveBits.data(),
                              segment.bitCount, nullptr, ShiftEnd::kPause);
    return result == VELTRA_OK ? kOk : kControllerFailed;
}

Status ShiftDrPattern(const SequenceContext& context, const ChainSegment& segment) {
    const SvfSession& session = context.session;
    const uint32_t tap = session.connection.testerTap;
    const bool longDr = session.compare.longDrShifts;
    const uint32_t result =
        context.controllerCompare
            ? ShiftDrCompareInChunks(session.host.api, session.host.report, tap,
                                     segment.driveBits.data(), segment.bitCount, nullptr, nullptr,
                                     ShiftEnd::kPause, longDr)
            : ShiftDrInChunks(session.host.api, session.host.report, tap, segment.driveBits.data(),
                              segment.bitCount, nullptr, ShiftEnd::kPause, longDr);
    return result == VELTRA_OK ? kOk : kControllerFailed;
}

// The board in place of a board-TAP reference: BYPASS through its whole IR.
// The IR length comes from the first SIR or, before any, from the job.
Status ShiftIrBoardTap(const SequenceContext& context) {
    Connection& connection = context.session.connection;
    if (connection.irTotalLength == 0) connection.irTotalLength = connection.irSpecifiedLength;
    if (connection.irTotalLength == 0) {
        ReportError(context.session.host.report,
                    "Error: Instruction Register bits undefined for %s", context.wording);
        return kConnectionBitsUndefined;
    }
    return ShiftIrBypassFill(context.session);
}

Status ShiftDrBoardTap(const SequenceContext& context) {
    if (context.session.connection.bypassBits == 0) {
        ReportError(context.session.host.report, "Error: Bypass Register bits undefined for %s",
                    context.wording);
        return kConnectionBitsUndefined;
    }
    return ShiftDrBypassFill(context.session);
}

// A step is written in chain order, TDI side first, and the scan shifts the
// TDO side first: the segments are played from the last one written back to
// the first.
Status ShiftSegments(const SequenceContext& context, const ShiftStep& step) {
    const bool ir = step.kind == kStepIr;
    for (auto segment = step.segments.rbegin(); segment != step.segments.rend(); ++segment) {
        Status status;
        if (segment->IsPattern()) {
            status = ir ? ShiftIrPattern(context, *segment) : ShiftDrPattern(context, *segment);
        } else {
            status = ir ? ShiftIrBoardTap(context) : ShiftDrBoardTap(context);
        }
        if (status != kOk) return status;
    }
    return kOk;
}

Status EndStepInIdle(SvfSession& session) {
    const uint32_t result = Call<&VeltraApi::SetTapState>(
        session.host.api, session.connection.testerTap, uint32_t{SVF_STATE_CODE_IDLE});
    if (result != VELTRA_OK) {
        ReportError(session.host.report, "Error: Unable to set TAP state; %s",
                    FailureText(session.host.api, result));
        return kControllerFailed;
    }
    session.tap.tapState = kStateIdle;
    return kOk;
}

Status PlayStep(const SequenceContext& context, const ShiftStep& step) {
    if (step.kind != kStepIr && step.kind != kStepDr) {
        // The reader makes no kinds but IR, DR and TDIO.
        ReportError(context.session.host.report, "Error: TDIO not supported");
        return kTdioStep;
    }
    const Status status = ShiftSegments(context, step);
    if (status != kOk) return status;
    return EndStepInIdle(context.session);
}

}  // namespace

Status PlayConnectionSequence(SvfSession& session, Sequence which) {
    if (session.connection.cnnModel.empty()) return kOk;
    const TesterChannel& channel = session.connection.cnnModel.front();
    const bool init = which == Sequence::kInit;
    const SequenceContext context{session, init ? "CNN Init" : "CNN Terminate",
                                  session.compare.controllerCompare};
    // The steps are played in the order of the file.
    for (const ShiftStep& step : init ? channel.initSeq : channel.termSeq) {
        const Status status = PlayStep(context, step);
        if (status != kOk) return status;
    }
    return kOk;
}

// Both fills use the plain shifts in either compare mode: there is nothing
// to compare in a BYPASS fill.
Status ShiftIrBypassFill(SvfSession& session) {
    const uint32_t bitCount = session.connection.irTotalLength;
    if (bitCount == 0) return kOk;
    BitVector ones;
    if (!TryResize(ones, WordsFor(bitCount), 0xFFFF)) return kNoMemory;
    const uint32_t result =
        ShiftIrInChunks(session.host.api, session.host.report, session.connection.testerTap,
                        ones.data(), bitCount, nullptr, ShiftEnd::kPause);
    return result == VELTRA_OK ? kOk : kControllerFailed;
}

Status ShiftDrBypassFill(SvfSession& session) {
    const uint32_t bitCount = session.connection.bypassBits;
    if (bitCount == 0) return kOk;
    BitVector zeros;
    if (!TryResize(zeros, WordsFor(bitCount))) return kNoMemory;
    const uint32_t result = ShiftDrInChunks(
        session.host.api, session.host.report, session.connection.testerTap, zeros.data(), bitCount,
        nullptr, ShiftEnd::kPause, session.compare.longDrShifts);
    return result == VELTRA_OK ? kOk : kControllerFailed;
}

}  // namespace svf
