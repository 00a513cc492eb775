// Statuses that travel between the operations of a run: one name for each
// meaning. kOk is success; every other status ends the run. The values are
// not the host's result codes: ResultCodeOf (src/report/result_code.h)
// maps each status to its code in one table.
#pragma once

#include <cstdint>

namespace svf {

enum class Status : uint8_t {
    kOk,
    kScanFieldsInterrupted,  // the tokenizer stopped inside the fields of a scan statement
    kFlagRefused,            // the controller refused a FLAG length
    kPioStatementFailed,     // a PIOMAP or PIO statement is wrongly written (reported)
    kControllerMismatch,     // run completed, the controller's compare found mismatches
    kNotSupported,           // the controller does not offer PIO, or not in ganging mode
    kFileNotOpened,          // the SVF, ERROR or PIO mapping file could not be opened
    kPioMapUnreadable,       // the PIO mapping file holds no word
    kWriteFailed,            // the ERROR file could not be written
    kEndOfFile,              // the SVF text ended inside a statement
    kSyntax,                 // syntax error, unknown command, line too long
    kIrLengthVaries,         // IR length varies on an indirect connection
    kGanging,                // bad ganging string; ganging could not be enabled
    kTdioStep,               // a connection sequence holds a TDIO step
    kIllegalState,           // illegal state transition
    kConnectionBitsUndefined,
    kInternal,
    kControllerFailed,  // a controller call failed (reported with its text)
    kAborted,           // the host asked to abort
    kCnnFile,           // the CNN file or its connection is not usable
    kBadJob,            // the job record is not usable
    kLibraryTooOld,     // PIO asked of a controller library older than 1.7
    kNoMemory,
    kRunFailures,  // run completed, the player counted mismatches
    kPioTooManyPins,
    kPioPinDefined,   // the pod pin is mapped already
    kPioNameDefined,  // the logical name is used already
    kPioMapSyntax,
    kPioDriveOnReadPin,
    kPioReadOnDrivePin,
    kPioPinInUse,          // a PIOMAP column holds an I/O pin the controller uses
    kPioControllerFailed,  // SetPodSignal or AccessPioPins failed: the code is its answer
};
using enum Status;

}  // namespace svf
