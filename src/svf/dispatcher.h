// The command dispatcher: plays the SVF text statement by statement.
#pragma once

#include "session.h"
#include "status.h"

namespace svf {

// 0 at the end of the file without failures, 100 with failures, else the
// status of the statement or tokenizer that stopped the run.
Status RunStatements(SvfSession& session);

}  // namespace svf
