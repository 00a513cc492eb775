#include "report/result_code.h"

#include <array>
#include <cstddef>

namespace svf {
namespace {

struct ResultCodeRow {
    Status status;
    uint32_t code;
};

// In the order of Status, so that a status indexes its own row.
constexpr std::array kResultCodes = {
    ResultCodeRow{kOk, SVF_RESULT_PASS},
    ResultCodeRow{kScanFieldsInterrupted, SVF_RESULT_MISMATCH},
    ResultCodeRow{kFlagRefused, SVF_RESULT_MISMATCH},
    ResultCodeRow{kPioStatementFailed, SVF_RESULT_MISMATCH},
    ResultCodeRow{kControllerMismatch, SVF_RESULT_MISMATCH},
    ResultCodeRow{kNotSupported, SVF_RESULT_NOT_OPENED},
    ResultCodeRow{kFileNotOpened, SVF_RESULT_NOT_OPENED},
    ResultCodeRow{kPioMapUnreadable, SVF_RESULT_PIO_MAP_UNREADABLE},
    ResultCodeRow{kWriteFailed, SVF_RESULT_WRITE_FAILED},
    ResultCodeRow{kEndOfFile, SVF_RESULT_END_OF_FILE},
    ResultCodeRow{kSyntax, SVF_RESULT_SYNTAX},
    ResultCodeRow{kIrLengthVaries, SVF_RESULT_IR_LENGTH},
    ResultCodeRow{kGanging, SVF_RESULT_GANGING},
    ResultCodeRow{kTdioStep, SVF_RESULT_GANGING},
    ResultCodeRow{kIllegalState, SVF_RESULT_STATE},
    ResultCodeRow{kConnectionBitsUndefined, SVF_RESULT_CONNECTION_BITS},
    ResultCodeRow{kInternal, SVF_RESULT_INTERNAL},
    ResultCodeRow{kControllerFailed, SVF_RESULT_CONTROLLER},
    ResultCodeRow{kAborted, SVF_RESULT_ABORTED},
    ResultCodeRow{kCnnFile, SVF_RESULT_CNN},
    ResultCodeRow{kBadJob, SVF_RESULT_BAD_JOB},
    ResultCodeRow{kLibraryTooOld, SVF_RESULT_BAD_JOB},
    ResultCodeRow{kNoMemory, SVF_RESULT_NO_MEMORY},
    ResultCodeRow{kRunFailures, SVF_RESULT_FAILURES},
    ResultCodeRow{kPioTooManyPins, SVF_RESULT_PIO_TOO_MANY_PINS},
    ResultCodeRow{kPioPinDefined, SVF_RESULT_PIO_PIN_DEFINED},
    ResultCodeRow{kPioNameDefined, SVF_RESULT_PIO_NAME_DEFINED},
    ResultCodeRow{kPioMapSyntax, SVF_RESULT_PIO_MAP_SYNTAX},
    ResultCodeRow{kPioDriveOnReadPin, SVF_RESULT_PIO_DRIVE_ON_READ},
    ResultCodeRow{kPioReadOnDrivePin, SVF_RESULT_PIO_READ_ON_DRIVE},
    ResultCodeRow{kPioPinInUse, SVF_RESULT_PIO_PIN_IN_USE},
    ResultCodeRow{kPioControllerFailed, 0},  // the controller's answer, see ResultCodeOf
};

constexpr bool RowsFollowStatusOrder() {
    for (size_t i = 0; i < kResultCodes.size(); ++i) {
        if (static_cast<size_t>(kResultCodes[i].status) != i) return false;
    }
    return true;
}
static_assert(RowsFollowStatusOrder(), "one row per Status, in its order");
static_assert(kResultCodes.size() == static_cast<size_t>(kPioControllerFailed) + 1,
              "every Status has a result code");

}  // namespace

uint32_t ResultCodeOf(Status status, uint32_t controllerAnswer) {
    if (status == kPioControllerFailed) return controllerAnswer;
    return kResultCodes[static_cast<size_t>(status)].code;
}

void StoreResultCode(SvfReport* report, Status status, uint32_t controllerAnswer) {
    if (report != nullptr) report->resultCode = ResultCodeOf(status, controllerAnswer);
}

}  // namespace svf
