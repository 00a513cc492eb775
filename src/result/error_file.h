// The ERROR file: a header with two blank fields written before the run,
// failure records appended while it runs, the verdict and the failure count
// filled in place at the end. Written in text mode.
#pragma once

#include <cstdint>

#include "session.h"
#include "status.h"

namespace svf {

// Opens session.paths.errorPath and writes the header. kOk, kFileNotOpened or
// kWriteFailed (the file is then closed and deleted).
Status CreateErrorFile(SvfSession& session);

// Scan failure records for a mismatch vector of `words` 16-bit words: add one
// to failureCount per set bit (file or not) and, when the file is open,
// append the record of the 1.3 form (SVF line and bit positions) or the S1.2
// form (one line per bit with the command number). kOk or kWriteFailed.
Status WriteScanFailure(SvfSession& session, const uint16_t* mismatch, uint32_t words);
Status WriteNumberedScanFailure(SvfSession& session, const uint16_t* mismatch, uint32_t words);

// PIO failure record of the 1.3 form: `failed` holds one flag per PIOMAP
// entry (pioMapCount of them, nonzero = failed); adds `count` to failureCount.
// kOk or kWriteFailed.
Status WritePioFailure(SvfSession& session, const uint8_t* failed, uint32_t count);

// Appends "END_ERRORS", fills the STATUS and ERRORS fields, closes the file.
// kOk or kWriteFailed.
Status FinishErrorFile(SvfSession& session);

}  // namespace svf
