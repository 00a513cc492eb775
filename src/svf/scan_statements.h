// SIR, SDR, HIR, HDR, TIR and TDR: parsing with the persistence rules, and
// execution of SIR and SDR.
#pragma once

#include <cstdint>

#include "session.h"
#include "status.h"

namespace svf {

Status ParseScanStatement(int code, SvfSession& session);
Status ParsePattern(uint32_t length, ScanKind kind, Pattern& pattern, SvfSession& session);
Status ResizePatterns(uint32_t length, ScanKind kind, SvfSession& session);

}  // namespace svf
