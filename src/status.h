// Statuses that travel between the operations of a run. Every operation
// returns one of these; 0 is success. Svf_Execute hands the status that ended
// a run to the host as its result code, so the values are part of the
// interface and must not change.
#pragma once

#include <cstdint>

namespace svf {

using Status = int32_t;

inline constexpr Status kOk = 0;
// Tokenizer stopped inside the fields of a scan statement; FLAG length
// refused; as a result code also: the controller's compare found mismatches.
inline constexpr Status kFieldsInterrupted = 1;
inline constexpr Status kNotSupported = 2;  // also: a file could not be opened
inline constexpr Status kPioMapUnreadable = 3;
inline constexpr Status kWriteFailed = 4;
inline constexpr Status kEndOfFile = 5;
inline constexpr Status kSyntax = 10;  // syntax error, unknown command, line too long
inline constexpr Status kIrLengthVaries = 11;
inline constexpr Status kGanging = 13;  // bad ganging string or mode, TDIO step
inline constexpr Status kIllegalState = 14;
inline constexpr Status kConnectionBitsUndefined = 16;
inline constexpr Status kInternal = 17;
inline constexpr Status kControllerFailed = 31;
inline constexpr Status kAborted = 32;
inline constexpr Status kCnnFile = 40;
inline constexpr Status kBadJob = 52;
inline constexpr Status kNoMemory = 53;
inline constexpr Status kRunFailures = 100;  // run completed, mismatches counted
inline constexpr Status kPioTooManyPins = 101;
inline constexpr Status kPioPinDefined = 102;
inline constexpr Status kPioNameDefined = 103;
inline constexpr Status kPioMapSyntax = 104;
inline constexpr Status kPioDriveOnReadPin = 105;
inline constexpr Status kPioReadOnDrivePin = 106;
inline constexpr Status kPioPinInUse = 108;

}  // namespace svf
