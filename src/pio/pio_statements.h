// The PIOMAP and PIO statements.
#pragma once

#include "session.h"
#include "status.h"

namespace svf {

// Parses the statement after its keyword (kTokenPio or kTokenPioMap) up to and
// including its ";" and executes it.
Status HandlePioStatement(int code, SvfSession& session);
Status ParsePioMap(SvfSession& session);
Status ParsePio(SvfSession& session);
Status ExecutePio(SvfSession& session);

}  // namespace svf
