#include "api/session_flow.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "cnn/cnn_file.h"
#include "cnn/connection_setup.h"
#include "controller/controller.h"
#include "pio/pio_map_file.h"
#include "pio/pod_pins.h"
#include "platform/platform.h"
#include "report/report.h"
#include "report/result_code.h"
#include "result/error_file.h"
#include "scan/connection_sequence.h"
#include "scan/tap_state.h"
#include "scan/waits.h"
#include "session.h"
#include "svf/dispatcher.h"

namespace svf {
namespace {

constexpr uint32_t kMaxTaps = 32;
constexpr uint32_t kBufferingDepth = 128;
constexpr uint32_t kBufferingFallbackDepth = 1;
constexpr uint32_t kBufferingFlush = 0;
constexpr uint32_t kTckIdleAtStart = 1;
constexpr uint32_t kTckIdleAtEnd = 2;
constexpr uint32_t kCompareInController = 1;
constexpr size_t kSvfStreamBuffer = 1 << 16;
// After a mismatch was collected the controller's compare is switched off,
// which also clears its failure record for the next job.
constexpr uint32_t kCompareOff = 0;

// Releases everything the session owns, in a fixed order. Runs on every exit
// once the session exists (a scope guard in ExecuteJob).
void CleanUp(SvfSession& session) {
    session.errorFile.errorStream.reset();
    session.reader.svfFile.reset();
    FreeCnnModel(session.connection.cnnModel);
    FreePodPins(session.pio.pod);
    session.pio.pioPattern.reset();
    if (session.connection.connectionStrings != nullptr) {
        for (BitVector& bits : session.connection.packed) Release(bits);
    }
}

class CleanUpGuard {
  public:
    explicit CleanUpGuard(SvfSession& session) : session_(session) {}
    ~CleanUpGuard() { CleanUp(session_); }
    CleanUpGuard(const CleanUpGuard&) = delete;
    CleanUpGuard& operator=(const CleanUpGuard&) = delete;

  private:
    SvfSession& session_;
};

const VeltraApi* Api(const SvfSession& session) { return session.host.api; }

// ------------------------------------------------------------- restoring

void GangingOff(SvfSession& session) {
    if (session.options.gangingActive) {
        Call<&VeltraApi::SetGanging>(Api(session), session.connection.testerTap, 0u);
    }
}

void TckRestore(SvfSession& session) {
    if (session.options.tckIdleControl) {
        Call<&VeltraApi::SetTckIdleState>(Api(session), kTckIdleAtEnd);
        Call<&VeltraApi::WaitTck>(Api(session), 1u);
    }
}

void PlayTerminateSequence(SvfSession& session) {
    PlayConnectionSequence(session, Sequence::kTerminate);
}

// ----------------------------------------------------------------- set-up

// Bits of the ganged TAPs from a string of digits '1'..'9'; false when the
// string is empty or holds anything else.
bool ParseGanging(const char* ganging, uint32_t& mask) {
    mask = 0;
    if (*ganging == '\0') return false;
    for (const char* c = ganging; *c != '\0'; ++c) {
        if (*c < '1' || *c > '9') return false;
        mask |= 1u << (*c - '1');
    }
    return true;
}

void ReadControllerInfo(SvfSession& session) {
    const uint32_t* record = nullptr;
    if (Call<&VeltraApi::GetControllerInfo>(Api(session), &record) != VELTRA_OK ||
        record == nullptr) {
        return;
    }
    const uint32_t valid = record[0];
    if (valid & VELTRA_INFO_TYPE_VALID) {
        session.options.tckIdleControl = record[VELTRA_INFO_WORD_TYPE] == VELTRA_TYPE_TCK_IDLE;
    }
    if ((valid & VELTRA_INFO_LONG_SHIFT_VALID) &&
        (record[VELTRA_INFO_WORD_LONG_SHIFT_A] & VELTRA_INFO_LONG_SHIFT_BIT) &&
        (record[VELTRA_INFO_WORD_LONG_SHIFT_B] & VELTRA_INFO_LONG_SHIFT_BIT)) {
        session.compare.longDrShifts = true;
    }
    if (valid & VELTRA_INFO_FREQUENCY_VALID) {
        session.freq.tckFrequency = record[VELTRA_INFO_WORD_FREQUENCY];
        session.options.initialFrequency = record[VELTRA_INFO_WORD_FREQUENCY];
    }
}

// Builds the session from the job record. Fails only on the ganging string.
Status SetUpSession(SvfSession& session, const VeltraApi* api, SvfReport* report,
                    const SvfInfo& info) {
    const uint32_t flags = info.flags;
    session.host.api = api;
    session.host.report = report;

    if (flags & SVF_FLAG_LINES_IN_MEMORY) {
        session.reader.linesInMemory = true;
        session.reader.memoryLines = static_cast<const char* const*>(info.svfSource);
    } else {
        session.paths.svfPath = static_cast<const char*>(info.svfSource);
        session.paths.errorPath = info.errorFile;
    }
    session.paths.pioMapPath = info.pioMapFile;
    if (flags & SVF_FLAG_CONNECTION_STRINGS) {
        session.connection.connectionStrings = static_cast<const ConnectionStrings*>(info.cnnFile);
    } else {
        session.paths.cnnPath = static_cast<const char*>(info.cnnFile);
    }

    session.pio.pioEnabled = (flags & SVF_FLAG_PIO) != 0;
    session.connection.boardTap = info.tap;
    session.connection.testerTap = info.tap;
    session.freq.maxFrequency = static_cast<int32_t>(info.frequencyKhz);
    session.freq.frequency = static_cast<int32_t>(info.frequencyKhz);
    session.freq.fixedFrequency = (flags & SVF_FLAG_FIXED_FREQUENCY) != 0;
    session.freq.frequencyLimitNote = (flags & SVF_FLAG_FREQUENCY_NOTE) != 0;
    session.options.restoreFrequency = (flags & SVF_FLAG_RESTORE_FREQUENCY) != 0;
    session.options.keepControllerFrequency = (flags & SVF_FLAG_KEEP_FREQUENCY) != 0;
    session.options.useBuffering = (flags & SVF_FLAG_NO_BUFFERING) == 0;
    session.compare.longDrShifts = (flags & SVF_FLAG_LONG_DR_SHIFTS) != 0;

    ReadControllerInfo(session);

    if (session.options.keepControllerFrequency) {
        if (session.options.initialFrequency != 0) {
            session.freq.maxFrequency = static_cast<int32_t>(session.options.initialFrequency);
            session.freq.frequency = static_cast<int32_t>(session.options.initialFrequency);
        } else {
            session.freq.maxFrequency = static_cast<int32_t>(kMaxFrequencyUnlimited);
            session.freq.frequency = 0;
        }
    }

    session.connection.bypassBits = info.totalBypassLength;
    session.connection.irSpecifiedLength = info.totalIrLength;
    session.connection.allowReset = (flags & SVF_FLAG_ALLOW_RESET) != 0;
    session.errorFile.numberedErrorFormat = (flags & SVF_FLAG_NUMBERED_ERRORS) != 0;
    session.options.startStateCode = info.startState;
    session.options.finalStateCode = info.finalState;
    session.options.trstAtStart = (flags & SVF_FLAG_TRST_AT_START) != 0;
    session.options.trstAtEnd = (flags & SVF_FLAG_TRST_AT_END) != 0;

    if (info.ganging != nullptr) {
        session.options.gangingActive = true;
        if (!ParseGanging(info.ganging, session.options.gangMask)) {
            ReportError(report, "Error: Incorrect ganging parameter '%s'", info.ganging);
            return kGanging;
        }
        if (session.paths.errorPath != nullptr) {
            ReportWarning(report, "Warning: No ERROR file generated");
            session.paths.errorPath = nullptr;
        }
    }
    session.compare.controllerCompare = session.options.gangingActive || info.errorFile == nullptr;

    session.host.libraryVersion = ControllerLibraryVersion(api);
    if (session.host.libraryVersion < kVersionLongShifts) session.compare.longDrShifts = false;

    session.freq.correctionMode = kCorrectionOn;
    session.options.keepMappedPins = (flags & SVF_FLAG_KEEP_MAPPED_PINS) != 0;
    session.reader.lastPollTime = platform::MillisecondClock();
    return kOk;
}

// ----------------------------------------------------- side files, connection

Status SetUpPio(SvfSession& session) {
    SvfReport* report = session.host.report;
    if (session.host.libraryVersion < kVersionPio) {
        ReportError(report, "Error: VELTRA does not support PIO and VPPE / USER0 / USER1");
        ReportError(report, "VELTRA version 1.7 or higher is required");
        return kLibraryTooOld;
    }
    if (session.paths.pioMapPath != nullptr) {
        const Status status = ReadPioMapFile(&session.pio.pod, report, session.paths.pioMapPath);
        if (status != kOk) {
            return status;
        }
    }
    // Default names for the pod signals; a name the file gave wins.
    AddPodPin(&session.pio.pod, report, kPinCodeUser0, "User0");
    AddPodPin(&session.pio.pod, report, kPinCodeUser1, "User1");
    AddPodPin(&session.pio.pod, report, kPinCodeVppE, "Vpp_E");
    return kOk;
}

Status SetUpConnection(SvfSession& session) {
    if (session.connection.connectionStrings != nullptr) {
        return TakeConnectionFromStrings(session);
    }
    if (session.paths.cnnPath != nullptr) {
        session.connection.cnnModel = ReadCnnFile(session.paths.cnnPath, session.host.report);
        if (!CheckConnection(session)) return kCnnFile;
        TakeConnectionFromCnn(session);
    }
    return kOk;
}

Status SetUpSideFiles(SvfSession& session) {
    if (session.pio.pioEnabled) {
        if (const Status status = SetUpPio(session); status != kOk) return status;
    }
    return SetUpConnection(session);
}

// ------------------------------------------------- controller preparation

// Which restoring steps a failed preparation step still needs.
struct PreparationFailure {
    Status code = kOk;
    bool gangingOff = false;
    bool tckRestore = false;
};

void SetUpBuffering(SvfSession& session) {
    if (!session.options.useBuffering) return;
    if (Call<&VeltraApi::SetBuffering>(Api(session), kBufferingDepth) == VELTRA_DEPTH_REFUSED) {
        Call<&VeltraApi::SetBuffering>(Api(session), kBufferingFallbackDepth);
    }
}

Status SetStartFrequency(SvfSession& session) {
    FrequencyState& freq = session.freq;
    if (session.options.keepControllerFrequency) return kOk;
    if (freq.tckFrequency != 0 && freq.tckFrequency == static_cast<uint32_t>(freq.frequency)) {
        return kOk;
    }
    const uint32_t result =
        Call<&VeltraApi::SetFrequency>(Api(session), static_cast<uint32_t>(freq.frequency));
    if (result == VELTRA_FAILED) {
        ReportError(session.host.report, "Error: Setting frequency %d kHz failed; %s",
                    static_cast<int>(freq.frequency), ControllerErrorText(Api(session)));
        return kControllerFailed;
    }
    if (result == VELTRA_OK) freq.tckFrequency = 0;
    return kOk;
}

Status SetTckIdleAtStart(SvfSession& session) {
    if (!session.options.tckIdleControl) return kOk;
    if (Call<&VeltraApi::SetTckIdleState>(Api(session), kTckIdleAtStart) == VELTRA_FAILED) {
        ReportError(session.host.report, "Error: Unable to set TCK idle state; %s",
                    ControllerErrorText(Api(session)));
        return kControllerFailed;
    }
    return kOk;
}

bool IsGanged(const SvfSession& session, uint32_t tap) {
    return (session.options.gangMask >> (tap - 1)) & 1u;
}

Status StartTaps(SvfSession& session) {
    const VeltraApi* api = Api(session);
    SvfReport* report = session.host.report;
    const uint32_t testerTap = session.connection.testerTap;
    if (session.options.startStateCode == SVF_START_STATE_IDLE) {
        if (session.options.gangingActive) {
            for (uint32_t tap = 1; tap <= kMaxTaps; ++tap) {
                if (IsGanged(session, tap)) {
                    Call<&VeltraApi::SetStartState>(api, tap, uint32_t{SVF_STATE_CODE_IDLE});
                }
            }
        } else {
            Call<&VeltraApi::SetStartState>(api, testerTap, uint32_t{SVF_STATE_CODE_IDLE});
        }
        session.tap.tapState = kStateIdle;
        return kOk;
    }
    if (session.options.gangingActive) {
        for (uint32_t tap = 1; tap <= kMaxTaps; ++tap) {
            if (!IsGanged(session, tap)) continue;
            if (const uint32_t result = Call<&VeltraApi::ResetTap>(api, tap)) {
                ReportError(report, "Error: Resetting TAP%d failed; %s", static_cast<int>(tap),
                            FailureText(api, result));
                return kControllerFailed;
            }
        }
    } else if (const uint32_t result = Call<&VeltraApi::ResetTap>(api, testerTap)) {
        ReportError(report, "Error: Resetting TAP failed; %s", FailureText(api, result));
        return kControllerFailed;
    }
    session.tap.tapState = kStateReset;
    return kOk;
}

Status EnableGanging(SvfSession& session) {
    if (!session.options.gangingActive) return kOk;
    const uint32_t result = Call<&VeltraApi::SetGanging>(Api(session), session.connection.testerTap,
                                                         session.options.gangMask);
    if (result == VELTRA_OK) return kOk;
    if (result == VELTRA_FAILED) {
        ReportError(session.host.report, "Error: Enable ganging mode mode failed; %s",
                    ControllerErrorText(Api(session)));
    } else {
        ReportError(session.host.report,
                    "Error: Ganging mode is not supported on the used controller");
    }
    return kGanging;
}

void SelectCompareMode(SvfSession& session) {
    if (!session.compare.controllerCompare) return;
    if (Call<&VeltraApi::SetCompareMode>(Api(session), kCompareInController) ==
        VELTRA_NOT_SUPPORTED) {
        session.compare.controllerCompare = false;  // the player compares itself
    }
}

Status PulseTrstAtStart(SvfSession& session) {
    if (!session.options.trstAtStart) return kOk;
    const VeltraApi* api = Api(session);
    const uint32_t testerTap = session.connection.testerTap;
    uint32_t result = Call<&VeltraApi::PulseTrst>(api, testerTap);
    if (result == VELTRA_OK) result = Call<&VeltraApi::ResetTap>(api, testerTap);
    if (result != VELTRA_OK) {
        ReportError(session.host.report, "Error: Resetting TAP failed; %s",
                    FailureText(api, result));
        return kControllerFailed;
    }
    return kOk;
}

PreparationFailure PrepareController(SvfSession& session) {
    SetUpBuffering(session);
    if (const Status status = SetStartFrequency(session); status != kOk) return {status};
    if (const Status status = SetTckIdleAtStart(session); status != kOk) return {status};
    if (const Status status = StartTaps(session); status != kOk) return {status, false, true};
    if (const Status status = EnableGanging(session); status != kOk) return {status};
    SelectCompareMode(session);
    if (const Status status = PulseTrstAtStart(session); status != kOk) {
        return {status, false, true};
    }
    if (const Status status = PlayConnectionSequence(session, Sequence::kInit); status != kOk) {
        return {status, true, true};
    }
    return {};
}

// ------------------------------------------------------------ input, run

Status OpenInput(SvfSession& session) {
    if (session.paths.svfPath != nullptr) {
        session.reader.svfFile.reset(platform::OpenInputFile(session.paths.svfPath));
        // A large stream buffer of our own (the C library may ignore a size
        // without one and read the file in 4 KB pieces, one system call each).
        // Without the memory the default buffer does.
        ReaderState& reader = session.reader;
        if (reader.svfFile) {
            reader.svfStreamBuffer.reset(new (std::nothrow) char[kSvfStreamBuffer]);
            if (reader.svfStreamBuffer) {
                std::setvbuf(reader.svfFile.get(), reader.svfStreamBuffer.get(), _IOFBF,
                             kSvfStreamBuffer);
            }
        }
    }
    if (!session.reader.svfFile && session.reader.memoryLines == nullptr) {
        PlayTerminateSequence(session);
        ReportError(session.host.report, "Error: Unable to open file '%s'", session.paths.svfPath);
        return kFileNotOpened;
    }
    return kOk;
}

int32_t EndWithError(SvfSession& session, Status code) {
    StoreResultCode(session.host.report, code, session.pio.controllerAnswer);
    return SVF_RETURN_ERROR;
}

int32_t EndFailedRun(SvfSession& session, Status runResult) {
    if (session.paths.errorPath != nullptr) platform::RemoveFile(session.paths.errorPath);
    PlayTerminateSequence(session);
    GangingOff(session);
    TckRestore(session);
    Call<&VeltraApi::ResetTap>(Api(session), session.connection.testerTap);
    return EndWithError(session, runResult);
}

int32_t EndCompletedRun(SvfSession& session, SvfInfo& info, Status runResult) {
    const VeltraApi* api = Api(session);
    SvfReport* report = session.host.report;
    const uint32_t testerTap = session.connection.testerTap;

    if (session.compare.controllerCompare) {
        uint32_t failMask = 0;
        Call<&VeltraApi::GetCompareResult>(api, &failMask);
        if (failMask != 0) {
            if (session.options.gangingActive) {
                info.gangFailMask = failMask;
            } else {
                session.counters.failureCount = 1;
            }
            Call<&VeltraApi::SetCompareMode>(api, kCompareOff);
            runResult = kControllerMismatch;
        }
    }
    if (!session.options.gangingActive) {
        ReportNote(report, "STATUS\t%s", session.counters.failureCount != 0 ? "FAIL" : "PASS");
    }
    if (!session.compare.controllerCompare) {
        ReportNote(report, "ERRORS\t%ld", static_cast<long>(session.counters.failureCount));
    }

    if (session.options.finalStateCode == 0) {
        session.options.finalStateCode = StateCodeOf(session.tap.tapState);
    }
    PlayTerminateSequence(session);
    if (session.tap.stopState != kStateUnknown && session.tap.stopState != kStateIdle) {
        Call<&VeltraApi::SetStopState>(api, uint32_t{SVF_STATE_CODE_IDLE});
    }
    if (StateCodeOf(session.tap.tapState) != session.options.finalStateCode) {
        Call<&VeltraApi::SetTapState>(api, testerTap, session.options.finalStateCode);
    }
    if (session.options.trstAtEnd) {
        if (const uint32_t result = Call<&VeltraApi::PulseTrst>(api, testerTap)) {
            ReportError(report, "Error: Resetting TAP failed; %s", FailureText(api, result));
        }
    }
    GangingOff(session);
    TckRestore(session);
    const uint32_t initial = session.options.initialFrequency;
    if (session.options.restoreFrequency && initial != 0 &&
        initial != static_cast<uint32_t>(session.freq.frequency)) {
        Call<&VeltraApi::SetFrequency>(api, initial);
    }
    if (session.options.useBuffering &&
        Call<&VeltraApi::SetBuffering>(api, kBufferingFlush) == VELTRA_FAILED) {
        ReportError(report, "Error: Flushing buffers failed; %s", ControllerErrorText(api));
    }
    StoreResultCode(report, runResult);
    return runResult == kOk ? SVF_RETURN_PASS : SVF_RETURN_FAIL;
}

int32_t RunSession(SvfSession& session, SvfInfo& info) {
    if (const Status status = SetUpSideFiles(session); status != kOk) {
        return EndWithError(session, status);
    }

    const PreparationFailure failure = PrepareController(session);
    if (failure.code != kOk) {
        if (failure.gangingOff) GangingOff(session);
        if (failure.tckRestore) TckRestore(session);
        return EndWithError(session, failure.code);
    }

    if (const Status status = OpenInput(session); status != kOk) {
        GangingOff(session);
        TckRestore(session);
        return EndWithError(session, status);
    }
    if (session.paths.errorPath != nullptr) {
        if (const Status status = CreateErrorFile(session); status != kOk) {
            GangingOff(session);
            TckRestore(session);
            return EndWithError(session, status);
        }
    }

    ReportNote(session.host.report, "Start executing SVF File");
    const Status runResult = RunStatements(session);
    info.frequencyKhz = static_cast<uint32_t>(session.freq.frequency);
    session.reader.svfFile.reset();
    if (session.errorFile.errorStream) FinishErrorFile(session);

    if (runResult != kOk && runResult != kRunFailures) return EndFailedRun(session, runResult);
    return EndCompletedRun(session, info, runResult);
}

}  // namespace

int32_t ExecuteJob(const VeltraApi* api, SvfReport* report, SvfInfo* info) {
    if (info == nullptr) {
        ReportError(report, "Error: Bad SvfInfo parameter in Svf_Execute() call");
        StoreResultCode(report, kBadJob);
        return SVF_RETURN_ERROR;
    }
    info->gangFailMask = 0;
    if (info->errorFile != nullptr) platform::RemoveFile(info->errorFile);
    if (report != nullptr) report->started = 1;
    if (info->svfSource == nullptr) {
        ReportError(report, "Error: No SVF file specified");
        StoreResultCode(report, kBadJob);
        return SVF_RETURN_ERROR;
    }
    if (api == nullptr) {
        ReportError(report, "Error: No controller function table in Svf_Execute() call");
        StoreResultCode(report, kBadJob);
        return SVF_RETURN_ERROR;
    }

    SvfSession session;
    const CleanUpGuard guard(session);
    if (const Status status = SetUpSession(session, api, report, *info); status != kOk) {
        return EndWithError(session, status);
    }
    return RunSession(session, *info);
}

int32_t AbandonJob(SvfReport* report, Status code) {
    ReportError(report,
                code == kNoMemory ? "Error: Unable to allocate memory" : "Error: Internal error");
    StoreResultCode(report, code);
    return SVF_RETURN_ERROR;
}

}  // namespace svf
